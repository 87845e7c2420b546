#ifndef MCSTAT_FRONTEND_LOGISTICFIT_H_
#define MCSTAT_FRONTEND_LOGISTICFIT_H_

#include <string>

#include "frontend/FitResult.h"
#include "frontend/ModelRequest.h"
#include "MCCancelInfo.h"
#include "frontend/CodedModel.h"
#include "frontend/Fit.h"
#include "MCLogRegSettings.h"
#include "ProgressListener.h"

namespace MCFrontEnd {

// The estimation's stop reason (1 to 9) in words.
std::string StopReasonWords(int reason);

// Sets the logistic settings of the model (its coded data's settings, the reference of the
// formula or of the options, the iteration limits and criteria). InputError for a bad option or
// a reference category the data do not have.
void SetLogisticSettings(CodedModel& model, const LogisticOptions& options,
                         MCLogRegSettings& settings);

// Fits the multinomial logistic model (the model's dependent coded as categories) through the
// library's factory and component, then classifies every record the fit used (and predicts
// every record when the choices ask). The reference is the formula's (C(y, ref=...)) or the
// options'. cancel and progress may be null. InputError for a bad option or a reference
// category the data do not have, FitError for an error status, Cancelled when the build was
// cancelled.
FitResult FitLogistic(CodedModel& model, const FitChoices& choices,
                      MCCommon::MCQueryCancel* cancel, ProgressListener* progress);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_LOGISTICFIT_H_

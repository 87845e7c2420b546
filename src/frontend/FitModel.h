#ifndef MCSTAT_FRONTEND_FITMODEL_H_
#define MCSTAT_FRONTEND_FITMODEL_H_

#include "MCCancelInfo.h"
#include "ModelSetup.h"
#include "ProgressListener.h"
#include "frontend/Commands.h"
#include "frontend/FitResult.h"

namespace MCFrontEnd {

// Fits the model the options ask for (linear or logistic, with the collinearity diagnostics
// when asked) on the coded data; the fitting step of RunFit, also for each split. cancel and
// progress may be null. Throws InputError, FitError and Cancelled.
FitResult FitModel(CodedModel& model, const FitOptions& options, MCCommon::MCQueryCancel* cancel,
                   ProgressListener* progress);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_FITMODEL_H_

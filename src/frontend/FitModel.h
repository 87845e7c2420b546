#ifndef MCSTAT_FRONTEND_FITMODEL_H_
#define MCSTAT_FRONTEND_FITMODEL_H_

#include "MCCancelInfo.h"
#include "ProgressListener.h"
#include "frontend/CodedModel.h"
#include "frontend/Commands.h"
#include "frontend/Fit.h"

namespace MCFrontEnd {

// FitModel with the choices of mcfit's options; the fitting step of RunFit, also for each
// split. predictions may be null.
FitResult FitModel(CodedModel& model, const FitOptions& options, MCCommon::MCQueryCancel* cancel,
                   ProgressListener* progress, PredictionSink* predictions);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_FITMODEL_H_

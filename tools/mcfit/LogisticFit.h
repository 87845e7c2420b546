#ifndef MCFIT_LOGISTICFIT_H_
#define MCFIT_LOGISTICFIT_H_

#include <string>

#include "FitResult.h"
#include "MCCancelInfo.h"
#include "ModelSetup.h"
#include "ProgressListener.h"

namespace mcfit {

// The choices of a multinomial logistic fit; the defaults are the library's.
struct LogisticOptions {
  std::string reference = "last";  // "last", "first" or a response category as in the data
  int maxIterations = 100;
  int maxStepHalving = 5;
  double llCriterion = 0.0;
  double paramCriterion = 1e-6;
  bool patterns = false;  // group the records into covariate patterns first
};

// The estimation's stop reason (1 to 9) in words.
std::string StopReasonWords(int reason);

// Fits the multinomial logistic model (the model's dependent coded as categories) through the
// library's factory and component, then classifies every record. cancel and progress may be
// null. InputError for a bad option or a reference category the data do not have, FitError
// for an error status, Cancelled when the build was cancelled.
FitResult FitLogistic(CodedModel& model, const LogisticOptions& options,
                      MCCommon::MCQueryCancel* cancel, ProgressListener* progress);

}  // namespace mcfit

#endif  // MCFIT_LOGISTICFIT_H_

#ifndef MCSTAT_FRONTEND_LINEARFIT_H_
#define MCSTAT_FRONTEND_LINEARFIT_H_

#include <memory>
#include <string>

#include "IMCRegComponent.h"
#include "MCCancelInfo.h"
#include "MCStatus.h"
#include "Parallel.h"
#include "frontend/CodedModel.h"
#include "frontend/Fit.h"
#include "frontend/FitResult.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// A status in words, with its code: "error 307: no valid record to fit the model with".
std::string StatusWords(const MCCommon::MCStatus& status);

// The error statistics of a linear fit as other packages count them.
struct ErrorStats {
  double df = 0.0;        // sum of the frequency weights used minus non-redundant parameters
  double rss = 0.0;       // weighted residual sum of squares
  double variance = 0.0;  // rss / df (0 when df is not positive)
};
// From the library's fit: rmse is the square root of the residual sum with weights scaled
// by 1 / total frequency weight, so rss = rmse^2 x total weight.
MCFRONTEND_EXPORT ErrorStats ComputeErrorStats(double rmse, double totalFreqWeight, int nNonRedundant);

// Fills estimate, standard error sqrt(cov_kk x variance), t, df and the two-sided p-value
// from the t distribution; a redundant parameter keeps only its estimate.
MCFRONTEND_EXPORT void FillTStatistics(ParameterResult& p, double covKK, const ErrorStats& error);

// A model built by the library: the component (which owns the statistics) and its statistics.
struct BuiltModel {
  std::unique_ptr<IMCRegComponent> component;
  IMCRegOutputStats* stats = nullptr;
  MCCommon::MCStatus status;  // of the build: OK or a warning
  // The parts of the records the passes ran on, each with its worker; null for one stream.
  std::unique_ptr<ThreadRunner> runner;
};
// Creates the component for the settings through the library's factory and builds it on the
// model's records: in one stream, or with threads above 1 (and more than one record of known
// number) every pass on as many threads over ranges of the records, which gives the same model.
// The settings must outlive the result; cancel (may be null) is what the settings ask. Throws
// FitError for an error status, InputError for records that could not be read and Cancelled
// when cancelled.
// With parts, the parts' host runs every pass.
BuiltModel BuildComponent(MCRegSettings& settings, CodedModel& model, const FitChoices& choices,
                          MCCommon::MCQueryCancel* cancel);

// The summary every fit starts from: model kind, data name, dependent, terms, intercept,
// record counts, total weight, the formula and what reading the formula noticed.
FitResult StartResult(const std::string& kind, CodedModel& model, const MCRegSettings& settings,
                      IMCRegOutputStats& stats);

// The parameters of a fit (estimates, names, cells, terms, redundancy); the statistics are
// the caller's to fill.
void AddParameters(CodedModel& model, IMCRegOutputStats& stats, FitResult& result);

// What the covariance matrix gives, in the result: the matrix itself (cov x scale, NaN rows
// and columns for redundant parameters), each parameter's interval at level (Student t on df
// degrees of freedom, normal when df is infinite; with odds ratios then) and the Wald test of
// each term (F on (q, df) with a finite df, chi-square otherwise). Standard errors must be
// filled.
void AddCovarianceInference(const MCCommonMath::MCSymMatrixData* cov, double scale, double df,
                            double level, FitResult& result);

// Adds the warnings of AliasWarnings for the fit's parameters.
void AddAliasWarnings(const CodedModel& model, FitResult& result);

// Fits the linear model through the library's factory and component; cancel (may be null)
// is asked before every record. Throws FitError for an error status and Cancelled when the
// build was cancelled.
FitResult FitLinear(CodedModel& model, const FitChoices& choices, MCCommon::MCQueryCancel* cancel);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_LINEARFIT_H_

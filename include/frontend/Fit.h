#ifndef MCSTAT_FRONTEND_FIT_H_
#define MCSTAT_FRONTEND_FIT_H_

#include <ostream>
#include <string>

#include "MCCancelInfo.h"
#include "ProgressListener.h"
#include "frontend/CodedModel.h"
#include "frontend/FitResult.h"
#include "frontend/ModelRequest.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// Fits the model of the coded data through the library's factory and component: linear or
// multinomial logistic as the request says (the logistic choices apply to the latter), with
// the collinearity diagnostics when asked. cancel is asked before every record and progress
// hears every iteration; both may be null. InputError for a bad logistic choice (or data that
// became unreadable), FitError for the library's error status in words, Cancelled.
MCFRONTEND_EXPORT FitResult FitModel(CodedModel& model, const LogisticOptions& logistic,
                                     bool collinearity, MCCommon::MCQueryCancel* cancel,
                                     ProgressListener* progress);

// The R-like text report: summary of the records, coefficient table (one per non-reference
// category for a logistic model; aliased parameters shown as such), fit statistics (for a
// logistic model with the stop reason and the classification table), the collinearity
// diagnostics when asked, and warnings.
MCFRONTEND_EXPORT void WriteReport(const FitResult& result, std::ostream& out);

// The JSON document of a fit, indented, with a final line end: model, records, total weight,
// categories, parameters, fit statistics, reference category, classification table,
// collinearity and warnings, in that order; what does not apply is null.
MCFRONTEND_EXPORT std::string JsonText(const FitResult& result);

// Writes the PMML 3.2 document of a fitted model: header, data dictionary, and a
// "GeneralRegressionModel" ("regression" or "multinomialLogistic") with its mining schema,
// univariate statistics of the records used (two passes over them), the response categories
// as "Targets" (logistic), parameter, factor and covariate lists, PP matrix and parameter
// matrix. Estimates are written with 17 significant digits so that scores reproduce the fit;
// the reference category of a logistic model is the one without parameter cells. InputError
// when the library's PMML writer refuses the data.
MCFRONTEND_EXPORT void WritePmml(const FitResult& result, CodedModel& model, std::ostream& os);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_FIT_H_

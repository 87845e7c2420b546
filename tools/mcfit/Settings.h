#ifndef MCFIT_SETTINGS_H_
#define MCFIT_SETTINGS_H_

#include <istream>
#include <string>

#include "Commands.h"

namespace mcfit {

// Fills the choices of a fit that the command line left open from a settings document read
// with the library's settings reader. Parameters (all optional):
//   "target"               the dependent (first entry)
//   "CatPredictors"        factors
//   "ContPredictors"       covariates
//   "FrequencyWeightVar"   frequency weight
//   "RegressionWeightVar"  regression weight
//   "Effects"              terms such as "A", "A*B", "x1*x1"
//   "Intercept"            boolean
//   "Tolerance"            double
//   "ModelType"            "linear" or "logistic"
// InputError naming `source` and the status in words when the document cannot be read or a
// parameter is malformed.
void ApplySettings(std::istream& in, const std::string& source, FitOptions& options);
// The same from a file; InputError when it cannot be opened.
void ApplySettingsFile(const std::string& path, FitOptions& options);

}  // namespace mcfit

#endif  // MCFIT_SETTINGS_H_

#ifndef MCSTAT_FRONTEND_SETTINGS_H_
#define MCSTAT_FRONTEND_SETTINGS_H_

#include <istream>
#include <string>

#include "frontend/Commands.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

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
MCFRONTEND_EXPORT void ApplySettings(std::istream& in, const std::string& source, FitOptions& options);
// The same from a file; InputError when it cannot be opened.
MCFRONTEND_EXPORT void ApplySettingsFile(const std::string& path, FitOptions& options);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_SETTINGS_H_

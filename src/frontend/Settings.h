#ifndef MCSTAT_FRONTEND_SETTINGS_H_
#define MCSTAT_FRONTEND_SETTINGS_H_

#include <istream>
#include <string>

#include "frontend/Commands.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// Fills the choices of a fit that the command line left open from a settings document read
// with the library's settings reader: an XML document whose parameters are
// <PMML><MiningBuildTask><Extension><Parameters><Parameter name=... value=.../>... (a list as
// isList="true" with <ListValue><Value value=.../>...). Parameters (all optional):
//   "Formula"              the model formula (without the four lists below)
//   "target"               the dependent (first entry)
//   "CatPredictors"        factors
//   "ContPredictors"       covariates
//   "FrequencyWeightVar"   frequency weight
//   "RegressionWeightVar"  regression weight
//   "Effects"              terms such as "A", "A*B", "x1*x1"
//   "Intercept"            boolean
//   "Tolerance"            double
//   "ModelType"            "linear" or "logistic"
//   "ConfLevel"            double
//   and the logistic choices "ReferenceCategory", "MaxIterations", "MaxStepHalving",
//   "LLCriterion", "ParamCriterion", "Patterns".
// InputError naming `source` and saying what is wrong when the document is JSON, is not XML,
// has no parameters where they belong, or a parameter is malformed.
MCFRONTEND_EXPORT void ApplySettings(std::istream& in, const std::string& source, FitOptions& options);
// The same from a file; InputError when it cannot be opened.
MCFRONTEND_EXPORT void ApplySettingsFile(const std::string& path, FitOptions& options);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_SETTINGS_H_

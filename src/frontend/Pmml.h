#ifndef MCSTAT_FRONTEND_PMML_H_
#define MCSTAT_FRONTEND_PMML_H_

#include <ostream>
#include <string>

#include "DataTable.h"
#include "frontend/FitResult.h"
#include "ModelSetup.h"

namespace MCFrontEnd {

// The text of a data value as the fit names categories and split values: a number with up
// to 15 significant digits in the classic locale, text as it stands; empty when missing.
std::string ValueText(const Column& column, std::size_t row);

// Writes the PMML 3.2 document of a fitted model: header, data dictionary, and a
// "GeneralRegressionModel" ("regression" or "multinomialLogistic") with its mining schema,
// univariate statistics of the records used, the response categories as "Targets" (logistic),
// parameter, factor and covariate lists, PP matrix and parameter matrix. Estimates are
// written with 17 significant digits so that scores reproduce the fit. The reference
// category of a logistic model is the one without parameter cells. InputError when the
// library's PMML writer refuses the data.
void WritePmml(const FitResult& result, CodedModel& model, const DataTable& data, std::ostream& os);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PMML_H_

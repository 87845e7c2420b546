#ifndef MCSTAT_FRONTEND_REPORT_H_
#define MCSTAT_FRONTEND_REPORT_H_

#include <ostream>
#include <string>

#include "frontend/FitResult.h"
#include "nlohmann/json.hpp"

namespace MCFrontEnd {

// The R-like text report: summary of the records, coefficient table (one per non-reference
// category for a logistic model; aliased parameters shown as such), fit statistics (for a
// logistic model with the stop reason and the classification table), the collinearity
// diagnostics when asked, and warnings.
void WriteReport(const FitResult& result, std::ostream& out);

// The JSON document of a fit: model, records, total weight, categories, parameters, fit
// statistics, reference category, classification table and collinearity, in that order;
// what does not apply is null.
nlohmann::ordered_json ToJson(const FitResult& result);

// A p-value as R prints it: "< 2e-16" below that, else 4 significant digits.
std::string FormatPValue(double p);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_REPORT_H_

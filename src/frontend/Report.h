#ifndef MCSTAT_FRONTEND_REPORT_H_
#define MCSTAT_FRONTEND_REPORT_H_

#include <ostream>
#include <string>

#include "frontend/Fit.h"
#include "frontend/FitResult.h"
#include "nlohmann/json.hpp"

namespace MCFrontEnd {

// The JSON document of a fit: model, records, total weight, categories, parameters, fit
// statistics, reference category, classification table and collinearity, in that order;
// what does not apply is null.
nlohmann::ordered_json ToJson(const FitResult& result);

// A p-value as R prints it: "< 2e-16" below that, else 4 significant digits.
std::string FormatPValue(double p);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_REPORT_H_

#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <vector>

namespace mcfit {

namespace {

std::string Num(double x, int digits = 6) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", digits, x);
  return buf;
}

std::string Opt(const std::optional<double>& x, int digits = 6) {
  return x ? Num(*x, digits) : std::string("NA");
}

nlohmann::ordered_json OptJson(const std::optional<double>& x) {
  return x ? nlohmann::ordered_json(*x) : nlohmann::ordered_json(nullptr);
}

}  // namespace

std::string FormatPValue(double p) {
  if (p < 2e-16) return "< 2e-16";
  return Num(p, 4);
}

void WriteReport(const FitResult& r, std::ostream& out) {
  out << (r.model == "linear" ? "Linear model" : "Multinomial logistic model") << ": " << r.formula
      << (r.intercept ? "" : "  (no intercept)") << "\n";
  if (!r.source.empty()) out << "Data: " << r.source << "\n";
  out << "Records: " << r.recordsRead << " read, " << r.recordsUsed << " used; total weight "
      << Num(r.totalWeight, 10) << "\n\n";

  const bool linear = r.model == "linear";
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"", "Estimate", "Std. Error", linear ? "t value" : "Wald", "df",
                  linear ? "Pr(>|t|)" : "Sig."});
  int aliased = 0;
  for (const ParameterResult& p : r.parameters) {
    const std::string name = p.target ? *p.target + ": " + p.name : p.name;
    if (p.redundant) {
      rows.push_back({name, "(aliased)", "", "", "", ""});
      ++aliased;
      continue;
    }
    rows.push_back({name, Num(p.estimate), Opt(p.stdError), Opt(p.statistic, 4), Opt(p.df, 8),
                    p.pValue ? FormatPValue(*p.pValue) : std::string("NA")});
  }
  std::vector<std::size_t> width(6, 0);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  }
  out << "Coefficients:\n";
  for (const auto& row : rows) {
    std::ostringstream line;
    line << std::left << std::setw(static_cast<int>(width[0])) << row[0];
    for (std::size_t c = 1; c < row.size(); ++c) {
      line << "  " << std::right << std::setw(static_cast<int>(width[c])) << row[c];
    }
    std::string text = line.str();
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << "\n";
  }
  if (aliased > 0) {
    out << "(" << aliased << (aliased == 1 ? " parameter is" : " parameters are")
        << " aliased: redundant given the earlier ones, estimate set to 0)\n";
  }
  out << "\n";
  if (linear) {
    out << "Residual standard error: " << Opt(r.residualStdError) << " on " << Opt(r.dfError, 10)
        << " degrees of freedom\n";
    out << "R squared: " << Opt(r.rSquared) << "\n";
  } else {
    out << "-2 log-likelihood: " << Opt(r.minus2LogLikelihood) << " (initial "
        << Opt(r.initialMinus2LogLikelihood) << ")\n";
    out << "Pseudo R squared: Cox and Snell " << Opt(r.coxSnell) << ", Nagelkerke "
        << Opt(r.nagelkerke) << ", McFadden " << Opt(r.mcFadden) << "\n";
  }
  for (const std::string& w : r.warnings) out << "Warning: " << w << "\n";
}

nlohmann::ordered_json ToJson(const FitResult& r) {
  using J = nlohmann::ordered_json;
  J doc;
  doc["model"] = r.model;
  doc["records"] = J{{"read", r.recordsRead}, {"used", r.recordsUsed}};
  doc["total_weight"] = r.totalWeight;
  doc["categories"] = r.categories;
  J params = J::array();
  for (const ParameterResult& p : r.parameters) {
    J item;
    item["name"] = p.name;
    item["target"] = p.target ? J(*p.target) : J(nullptr);
    item["estimate"] = p.estimate;
    item["std_error"] = OptJson(p.stdError);
    item["redundant"] = p.redundant;
    item["statistic"] = OptJson(p.statistic);
    item["df"] = OptJson(p.df);
    item["p_value"] = OptJson(p.pValue);
    params.push_back(item);
  }
  doc["parameters"] = params;
  J fit;
  fit["r_squared"] = OptJson(r.rSquared);
  fit["rmse"] = OptJson(r.rmse);
  fit["residual_std_error"] = OptJson(r.residualStdError);
  fit["df_error"] = OptJson(r.dfError);
  fit["minus2_log_likelihood"] = OptJson(r.minus2LogLikelihood);
  fit["initial_minus2_log_likelihood"] = OptJson(r.initialMinus2LogLikelihood);
  fit["cox_snell"] = OptJson(r.coxSnell);
  fit["nagelkerke"] = OptJson(r.nagelkerke);
  fit["mcfadden"] = OptJson(r.mcFadden);
  fit["iterations"] = r.iterations ? J(*r.iterations) : J(nullptr);
  fit["stop_reason"] = r.stopReason ? J(*r.stopReason) : J(nullptr);
  doc["fit"] = fit;
  return doc;
}

}  // namespace mcfit

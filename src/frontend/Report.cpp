#include "Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <vector>

#include "Text.h"

namespace MCFrontEnd {

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

std::optional<double> Finite(double x) {
  return std::isfinite(x) ? std::optional<double>(x) : std::nullopt;
}

}  // namespace

std::string FormatPValue(double p) {
  if (p < 2e-16) return "< 2e-16";
  return Num(p, 4);
}

namespace {

// Prints the rows as a table: the first column left-aligned, the others right-aligned.
void WriteTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out) {
  std::vector<std::size_t> width;
  for (const auto& row : rows) {
    if (width.size() < row.size()) width.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  }
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
}

// The coefficient table of the parameters with the given target (none for a linear model);
// returns the number of aliased ones.
int WriteCoefficients(const FitResult& r, const std::optional<std::string>& target,
                      std::ostream& out) {
  const bool linear = r.model == "linear";
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"", "Estimate", "Std. Error", linear ? "t value" : "Wald", "df",
                  linear ? "Pr(>|t|)" : "Pr(>Chi)"});
  int aliased = 0;
  for (const ParameterResult& p : r.parameters) {
    if (p.target != target) continue;
    if (p.redundant) {
      rows.push_back({p.name, "(aliased)", "", "", "", ""});
      ++aliased;
      continue;
    }
    rows.push_back({p.name, Num(p.estimate), Opt(p.stdError), Opt(p.statistic, 4), Opt(p.df, 8),
                    p.pValue ? FormatPValue(*p.pValue) : std::string("NA")});
  }
  WriteTable(rows, out);
  return aliased;
}

void WriteClassification(const FitResult& r, std::ostream& out) {
  const std::size_t K = r.categories.size();
  if (r.classification.size() != K || K == 0) return;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> head{"Observed \\ Predicted"};
  head.insert(head.end(), r.categories.begin(), r.categories.end());
  head.push_back("% correct");
  rows.push_back(head);
  double right = 0.0;
  double total = 0.0;
  for (std::size_t i = 0; i < K; ++i) {
    std::vector<std::string> row{r.categories[i]};
    double sum = 0.0;
    for (std::size_t j = 0; j < K; ++j) {
      row.push_back(Num(r.classification[i][j], 10));
      sum += r.classification[i][j];
    }
    right += r.classification[i][i];
    total += sum;
    row.push_back(sum > 0.0 ? Num(100.0 * r.classification[i][i] / sum, 4) : "NA");
    rows.push_back(row);
  }
  out << "Classification table (weighted counts):\n";
  WriteTable(rows, out);
  out << "Overall percent correct: " << (total > 0.0 ? Num(100.0 * right / total, 4) : "NA")
      << "\n";
}

}  // namespace

void WriteReport(const FitResult& r, std::ostream& out) {
  const bool linear = r.model == "linear";
  out << (linear ? "Linear model" : "Multinomial logistic model") << ": " << r.formula
      << (r.intercept ? "" : "  (no intercept)") << "\n";
  if (!r.source.empty()) out << "Data: " << r.source << "\n";
  out << "Records: " << r.recordsRead << " read, " << r.recordsUsed << " used; total weight "
      << Num(r.totalWeight, 10) << "\n";
  if (!linear) {
    out << "Response categories:";
    for (const std::string& c : r.categories) out << " " << c;
    out << "; reference " << (r.reference ? *r.reference : std::string("NA")) << "\n";
  }
  out << "\n";

  int aliased = 0;
  if (linear) {
    out << "Coefficients:\n";
    aliased = WriteCoefficients(r, std::nullopt, out);
  } else {
    bool first = true;
    for (const std::string& c : r.categories) {
      if (r.reference && c == *r.reference) continue;
      out << (first ? "" : "\n") << "Coefficients for " << c << " against "
          << (r.reference ? *r.reference : "") << ":\n";
      first = false;
      aliased += WriteCoefficients(r, c, out);
    }
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
    out << "-2 log-likelihood: " << Opt(r.minus2LogLikelihood, 10) << " (initial "
        << Opt(r.initialMinus2LogLikelihood, 10) << ")\n";
    out << "Pseudo R squared: Cox and Snell " << Opt(r.coxSnell) << ", Nagelkerke "
        << Opt(r.nagelkerke) << ", McFadden " << Opt(r.mcFadden) << "\n";
    out << "Iterations: " << (r.iterations ? std::to_string(*r.iterations) : "NA") << "; "
        << (r.stopReason ? *r.stopReason : std::string("NA")) << "\n\n";
    WriteClassification(r, out);
  }
  if (r.collinearity) {
    out << "\nCollinearity diagnostics (scaled cross products):\n";
    std::vector<std::vector<std::string>> rows{{"Dimension", "Eigenvalue", "Condition index"}};
    for (std::size_t k = 0; k < r.eigenvalues.size(); ++k) {
      const double ci = k < r.conditionIndices.size() ? r.conditionIndices[k] : NAN;
      rows.push_back({std::to_string(k + 1), Num(r.eigenvalues[k]),
                      std::isnan(ci) ? std::string("Inf") : Num(ci, 5)});
    }
    if (r.eigenvalues.empty()) rows.push_back({"(not available)", "", ""});
    WriteTable(rows, out);
  }
  for (const std::string& w : r.warnings) out << "Warning: " << w << "\n";
}

std::string JsonText(const FitResult& result) {
  return ToJson(result).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
         "\n";
}

nlohmann::ordered_json ToJson(const FitResult& r) {
  using J = nlohmann::ordered_json;
  J doc;
  doc["model"] = r.model;
  doc["records"] = J{{"read", r.recordsRead}, {"used", r.recordsUsed}};
  doc["total_weight"] = r.totalWeight;
  J categories = J::array();
  for (const std::string& c : r.categories) categories.push_back(ToUtf8(c));
  doc["categories"] = categories;
  J params = J::array();
  for (const ParameterResult& p : r.parameters) {
    J item;
    item["name"] = p.name;
    item["target"] = p.target ? J(ToUtf8(*p.target)) : J(nullptr);
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
  doc["reference"] = r.reference ? J(ToUtf8(*r.reference)) : J(nullptr);
  doc["classification"] = r.model == "logistic" ? J(r.classification) : J(nullptr);
  if (r.collinearity) {
    J ci = J::array();
    for (const double c : r.conditionIndices) ci.push_back(OptJson(Finite(c)));
    doc["collinearity"] = J{{"eigenvalues", r.eigenvalues}, {"condition_indices", ci}};
  } else {
    doc["collinearity"] = nullptr;
  }
  doc["warnings"] = r.warnings;
  return doc;
}

}  // namespace MCFrontEnd

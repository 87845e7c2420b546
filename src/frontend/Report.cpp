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

// A cell of a table: labels longer than this are shortened in the report (never in JSON).
constexpr std::size_t kLabelWidth = 40;

// Prints the rows as a table: the first column left-aligned, the others right-aligned, by
// display width (a UTF-8 character is one column); cells wider than kLabelWidth shortened.
void WriteTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out) {
  std::vector<std::vector<std::string>> cells = rows;
  std::vector<std::size_t> width;
  for (auto& row : cells) {
    if (width.size() < row.size()) width.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c) {
      row[c] = Shorten(ToUtf8(row[c]), kLabelWidth);
      width[c] = std::max(width[c], DisplayWidth(row[c]));
    }
  }
  for (const auto& row : cells) {
    std::string line = row[0] + std::string(width[0] - DisplayWidth(row[0]), ' ');
    for (std::size_t c = 1; c < row.size(); ++c) {
      line += "  " + std::string(width[c] - DisplayWidth(row[c]), ' ') + row[c];
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << "\n";
  }
}

// "2.5 %" and "97.5 %" for a level of 0.95, as R heads its intervals.
std::vector<std::string> IntervalHeads(double level) {
  const double a = (1.0 - level) / 2.0;
  return {Num(100.0 * a, 3) + " %", Num(100.0 * (1.0 - a), 3) + " %"};
}

// The coefficient table of the parameters with the given target (none for a linear model):
// estimates, tests and intervals (of the odds ratios for a logistic model); returns the number
// of aliased ones.
int WriteCoefficients(const FitResult& r, const std::optional<std::string>& target,
                      std::ostream& out) {
  const bool linear = r.model == "linear";
  const std::vector<std::string> heads = IntervalHeads(r.confLevel);
  std::vector<std::vector<std::string>> rows;
  if (linear) {
    rows.push_back({"", "Estimate", "Std. Error", "t value", "df", "Pr(>|t|)", heads[0], heads[1]});
  } else {
    rows.push_back({"", "Estimate", "Std. Error", "Wald", "df", "Pr(>Chi)", "Odds ratio",
                    heads[0], heads[1]});
  }
  int aliased = 0;
  for (const ParameterResult& p : r.parameters) {
    if (p.target != target) continue;
    if (p.redundant) {
      rows.push_back({p.name, "(aliased)"});
      ++aliased;
      continue;
    }
    std::vector<std::string> row{p.name,          Num(p.estimate), Opt(p.stdError),
                                 Opt(p.statistic, 4), Opt(p.df, 8),
                                 p.pValue ? FormatPValue(*p.pValue) : std::string("NA")};
    if (linear) {
      row.insert(row.end(), {Opt(p.confLow), Opt(p.confHigh)});
    } else {
      row.insert(row.end(), {Opt(p.oddsRatio), Opt(p.oddsRatioLow), Opt(p.oddsRatioHigh)});
    }
    rows.push_back(row);
  }
  WriteTable(rows, out);
  return aliased;
}

// The Wald tests of the terms.
void WriteEffectTests(const FitResult& r, std::ostream& out) {
  if (r.effectTests.empty()) return;
  const bool f = r.model == "linear";
  out << "\nTests of effects (Wald " << (f ? "F" : "chi-square")
      << ", all parameters of the term jointly):\n";
  std::vector<std::vector<std::string>> rows;
  if (f) {
    rows.push_back({"Effect", "F value", "Df", "Df error", "Pr(>F)"});
  } else {
    rows.push_back({"Effect", "Chi-square", "Df", "Pr(>Chi)"});
  }
  for (const EffectTest& t : r.effectTests) {
    std::vector<std::string> row{t.effect, Num(t.statistic, 5), Num(t.df1, 8)};
    if (f) row.push_back(Opt(t.df2, 10));
    row.push_back(FormatPValue(t.pValue));
    rows.push_back(row);
  }
  WriteTable(rows, out);
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
  out << (linear ? "Linear model" : "Multinomial logistic model") << ": " << ToUtf8(r.formula)
      << (r.intercept ? "" : "  (no intercept)") << "\n";
  if (!r.source.empty()) out << "Data: " << ToUtf8(r.source) << "\n";
  out << "Records: " << r.recordsRead << " read, " << r.recordsUsed << " used; total weight "
      << Num(r.totalWeight, 10) << "\n";
  if (r.recordsNotFinite > 0) {
    out << "(" << r.recordsNotFinite << (r.recordsNotFinite == 1 ? " record" : " records")
        << " not used: a derived covariate is not finite there)\n";
  }
  if (!linear) {
    out << "Response categories:";
    for (const std::string& c : r.categories) out << " " << ToUtf8(c);
    out << "; reference " << (r.reference ? ToUtf8(*r.reference) : std::string("NA")) << "\n";
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
      out << (first ? "" : "\n") << "Coefficients for " << ToUtf8(c) << " against "
          << (r.reference ? ToUtf8(*r.reference) : "") << ":\n";
      first = false;
      aliased += WriteCoefficients(r, c, out);
    }
  }
  if (aliased > 0) {
    out << "(" << aliased << (aliased == 1 ? " parameter is" : " parameters are")
        << " aliased: redundant given the earlier ones, estimate set to 0)\n";
  }
  WriteEffectTests(r, out);
  out << "\n";
  const std::string likelihood = "Log-likelihood: " + Opt(r.logLikelihood, 10) + "; AIC " +
                                 Opt(r.aic, 10) + "; BIC " + Opt(r.bic, 10) + "\n";
  if (linear) {
    out << "Residual standard error: " << Opt(r.residualStdError) << " on " << Opt(r.dfError, 10)
        << " degrees of freedom\n";
    out << "R squared: " << Opt(r.rSquared) << "; adjusted R squared: " << Opt(r.rSquaredAdj)
        << "\n";
    if (r.fStatistic) {
      out << "F statistic: " << Num(*r.fStatistic) << " on " << Opt(r.fDf1, 10) << " and "
          << Opt(r.fDf2, 10) << " degrees of freedom, p-value: "
          << (r.fPValue ? FormatPValue(*r.fPValue) : std::string("NA")) << "\n";
    }
    out << likelihood;
  } else {
    out << "-2 log-likelihood: " << Opt(r.minus2LogLikelihood, 10) << " (initial "
        << Opt(r.initialMinus2LogLikelihood, 10) << ")\n";
    out << likelihood;
    if (r.lrStatistic) {
      out << "Likelihood-ratio test against the intercept-only model: chi-square "
          << Num(*r.lrStatistic) << " on " << Opt(r.lrDf, 10) << " degrees of freedom, p-value: "
          << (r.lrPValue ? FormatPValue(*r.lrPValue) : std::string("NA")) << "\n";
    }
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
  for (const std::string& w : r.warnings) out << "Warning: " << ToUtf8(w) << "\n";
}

std::string JsonText(const FitResult& result) {
  return ToJson(result).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
         "\n";
}

nlohmann::ordered_json ToJson(const FitResult& r) {
  using J = nlohmann::ordered_json;
  const bool logistic = r.model == "logistic";
  J doc;
  doc["model"] = r.model;
  doc["dependent"] = ToUtf8(r.dependent);
  doc["formula"] = ToUtf8(r.formula);
  doc["records"] = J{{"read", r.recordsRead}, {"used", r.recordsUsed},
                     {"not_finite", r.recordsNotFinite}};
  doc["total_weight"] = r.totalWeight;
  J categories = J::array();
  for (const std::string& c : r.categories) categories.push_back(ToUtf8(c));
  doc["categories"] = categories;
  J terms = J::array();
  for (const std::string& t : r.terms) terms.push_back(ToUtf8(t));
  doc["terms"] = terms;
  doc["conf_level"] = r.confLevel;
  J params = J::array();
  for (const ParameterResult& p : r.parameters) {
    J item;
    item["name"] = p.name;
    item["target"] = p.target ? J(ToUtf8(*p.target)) : J(nullptr);
    item["term"] = p.term >= 0 && p.term < static_cast<int>(r.terms.size())
                       ? J(ToUtf8(r.terms[static_cast<std::size_t>(p.term)]))
                       : J(nullptr);
    item["estimate"] = p.estimate;
    item["std_error"] = OptJson(p.stdError);
    item["redundant"] = p.redundant;
    item["statistic"] = OptJson(p.statistic);
    item["df"] = OptJson(p.df);
    item["p_value"] = OptJson(p.pValue);
    item["conf_low"] = OptJson(p.confLow);
    item["conf_high"] = OptJson(p.confHigh);
    if (logistic) {
      item["odds_ratio"] = OptJson(p.oddsRatio);
      item["odds_ratio_low"] = OptJson(p.oddsRatioLow);
      item["odds_ratio_high"] = OptJson(p.oddsRatioHigh);
    }
    params.push_back(item);
  }
  doc["parameters"] = params;
  const std::size_t n = r.parameters.size();
  if (r.covariance.size() == n * n && n > 0) {
    J rows = J::array();
    for (std::size_t i = 0; i < n; ++i) {
      J row = J::array();
      for (std::size_t j = 0; j < n; ++j) row.push_back(OptJson(Finite(r.covariance[i * n + j])));
      rows.push_back(row);
    }
    doc["covariance"] = rows;
  } else {
    doc["covariance"] = nullptr;
  }
  J tests = J::array();
  for (const EffectTest& t : r.effectTests) {
    tests.push_back(J{{"effect", ToUtf8(t.effect)},
                      {"statistic", t.statistic},
                      {"df1", t.df1},
                      {"df2", OptJson(t.df2)},
                      {"p_value", t.pValue}});
  }
  doc["effect_tests"] = tests;
  J fit;
  fit["r_squared"] = OptJson(r.rSquared);
  fit["r_squared_adj"] = OptJson(r.rSquaredAdj);
  fit["f_statistic"] = OptJson(r.fStatistic);
  fit["f_df1"] = OptJson(r.fDf1);
  fit["f_df2"] = OptJson(r.fDf2);
  fit["f_p_value"] = OptJson(r.fPValue);
  fit["rmse"] = OptJson(r.rmse);
  fit["residual_std_error"] = OptJson(r.residualStdError);
  fit["df_error"] = OptJson(r.dfError);
  fit["log_likelihood"] = OptJson(r.logLikelihood);
  fit["aic"] = OptJson(r.aic);
  fit["bic"] = OptJson(r.bic);
  fit["lr_statistic"] = OptJson(r.lrStatistic);
  fit["lr_df"] = OptJson(r.lrDf);
  fit["lr_p_value"] = OptJson(r.lrPValue);
  fit["minus2_log_likelihood"] = OptJson(r.minus2LogLikelihood);
  fit["initial_minus2_log_likelihood"] = OptJson(r.initialMinus2LogLikelihood);
  fit["cox_snell"] = OptJson(r.coxSnell);
  fit["nagelkerke"] = OptJson(r.nagelkerke);
  fit["mcfadden"] = OptJson(r.mcFadden);
  fit["iterations"] = r.iterations ? J(*r.iterations) : J(nullptr);
  fit["stop_reason"] = r.stopReason ? J(*r.stopReason) : J(nullptr);
  doc["fit"] = fit;
  doc["converged"] = r.converged;
  doc["reference"] = r.reference ? J(ToUtf8(*r.reference)) : J(nullptr);
  doc["classification"] = logistic ? J(r.classification) : J(nullptr);
  if (r.collinearity) {
    J ci = J::array();
    for (const double c : r.conditionIndices) ci.push_back(OptJson(Finite(c)));
    doc["collinearity"] = J{{"eigenvalues", r.eigenvalues}, {"condition_indices", ci}};
  } else {
    doc["collinearity"] = nullptr;
  }
  J warnings = J::array();
  for (const std::string& w : r.warnings) warnings.push_back(ToUtf8(w));
  doc["warnings"] = warnings;
  return doc;
}

}  // namespace MCFrontEnd

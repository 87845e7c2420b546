// Derived columns: arithmetic as written in a formula, evaluated record by record.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Expression.h"
#include "Formula.h"
#include "MCMV.h"

namespace MCFrontEnd {
namespace {

TEST(ExpressionProgramTest, EvaluatesAsArithmetic) {
  const double a = 1.7, b = -0.3, c = 2.5;
  const double row[] = {a, b, c};
  const auto slot = [](const std::string& n) {
    return n == "a" ? 0 : n == "b" ? 1 : n == "c" ? 2 : -1;
  };
  const std::pair<const char*, double> cases[] = {
      {"I(a * b + 3)", a * b + 3},
      {"I(-a^2)", -(a * a)},
      {"I(2^3^2)", 512.0},
      {"I(a - b - c)", (a - b) - c},
      {"I(a - (b - c))", a - (b - c)},
      {"I(a / b / c)", (a / b) / c},
      {"I((a + b) * c^-1)", (a + b) * std::pow(c, -1.0)},
      {"log(a) + exp(b)", std::log(a)},  // the first term only
      {"sqrt(abs(b)) ", std::sqrt(std::fabs(b))},
      {"I(log10(c) + log2(c))", std::log10(c) + std::log2(c)},
      {"I(a^c)", std::pow(a, c)},
  };
  for (const auto& [text, expected] : cases) {
    const Formula f = ParseFormula(std::string("y ~ ") + text);
    const Variable& v = f.variables[static_cast<std::size_t>(f.terms[0].parts[0].variable)];
    ASSERT_EQ(v.kind, Variable::Kind::kDerived) << text;
    double value = 0.0;
    ASSERT_EQ(ExpressionProgram(v.expression, slot).Evaluate(row, value),
              ExpressionProgram::Outcome::kValue)
        << text;
    EXPECT_EQ(value, expected) << text;
    EXPECT_EQ(ParseFormula("y ~ " + f.terms[0].label).terms[0].label, f.terms[0].label) << text;
  }
}

TEST(ExpressionProgramTest, MissingAndNonFiniteRecords) {
  const auto slot = [](const std::string& n) { return n == "x" ? 0 : n == "w" ? 1 : -1; };
  const auto run = [&](const char* text, double x, double w) {
    const Formula f = ParseFormula(std::string("y ~ ") + text);
    const ExpressionProgram p(f.variables[1].expression, slot);
    const double row[] = {x, w};
    double value = 0.0;
    return p.Evaluate(row, value);
  };
  using O = ExpressionProgram::Outcome;
  EXPECT_EQ(run("log(x)", 0.0, 1.0), O::kNotFinite);
  EXPECT_EQ(run("sqrt(x)", -1.0, 1.0), O::kNotFinite);
  EXPECT_EQ(run("I(w / (x - x))", 3.0, 1.0), O::kNotFinite);
  EXPECT_EQ(run("exp(x)", 1000.0, 1.0), O::kNotFinite);
  EXPECT_EQ(run("I(x + w)", 1.0, MCMV::Missing()), O::kMissing);
  EXPECT_EQ(run("I(exp(-1/x^2))", 1e-200, 1.0), O::kValue);  // underflow to 0 is finite
  try {
    ExpressionProgram(ParseFormula("y ~ log(x + q)").variables[1].expression, slot);
    ADD_FAILURE() << "unknown column accepted";
  } catch (const FormulaError& e) {
    EXPECT_EQ(e.GetPosition(), 12u);
  }
}

}  // namespace
}  // namespace MCFrontEnd

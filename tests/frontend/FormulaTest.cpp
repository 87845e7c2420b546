// Formula reading against R's terms().
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Formula.h"

namespace MCFrontEnd {
namespace {

std::vector<std::string> Labels(const Formula& f) {
  std::vector<std::string> out;
  for (const FormulaTerm& t : f.terms) out.push_back(t.label);
  return out;
}

struct ExpansionCase {
  const char* formula;
  std::vector<std::string> labels;
  bool intercept;
};

class ExpansionTest : public ::testing::TestWithParam<ExpansionCase> {};

// Unlike R, x^k on one variable is its power, as I(x^k).
TEST_P(ExpansionTest, TermsAndInterceptAsR) {
  const ExpansionCase& c = GetParam();
  const Formula f = ParseFormula(c.formula);
  EXPECT_EQ(Labels(f), c.labels) << c.formula;
  EXPECT_EQ(f.intercept, c.intercept) << c.formula;
}

INSTANTIATE_TEST_SUITE_P(
    AsR, ExpansionTest,
    ::testing::Values(
        ExpansionCase{"y ~ a:b + c + a", {"c", "a", "a:b"}, true},
        ExpansionCase{"y ~ b:a + a", {"a", "b:a"}, true},
        ExpansionCase{"y ~ b + a + a:b + c:b", {"b", "a", "b:a", "b:c"}, true},
        ExpansionCase{"y ~ (a+b):(c+d)", {"a:c", "a:d", "b:c", "b:d"}, true},
        ExpansionCase{"y ~ (a+b)*(c+d)", {"a", "b", "c", "d", "a:c", "a:d", "b:c", "b:d"}, true},
        ExpansionCase{"y ~ (a+b+c)^2", {"a", "b", "c", "a:b", "a:c", "b:c"}, true},
        ExpansionCase{"y ~ (a+b+c)**3", {"a", "b", "c", "a:b", "a:c", "b:c", "a:b:c"}, true},
        ExpansionCase{"y ~ (a*b)^2", {"a", "b", "a:b"}, true},
        ExpansionCase{"y ~ a*b*c - a:b:c", {"a", "b", "c", "a:b", "a:c", "b:c"}, true},
        ExpansionCase{"y ~ (a+b)^2 - a:b", {"a", "b"}, true},
        ExpansionCase{"y ~ a*b - a", {"b", "a:b"}, true},
        ExpansionCase{"y ~ a*b - b:a", {"a", "b"}, true},
        ExpansionCase{"y ~ a + b + a - a + a", {"b", "a"}, true},
        ExpansionCase{"y ~ a:b:c + a:b + b", {"b", "a:b", "a:b:c"}, true},
        ExpansionCase{"y ~ a:a:b", {"a:b"}, true}, ExpansionCase{"y ~ -a + b", {"b"}, true},
        ExpansionCase{"y ~ a/b", {"a", "a:b"}, true},
        ExpansionCase{"y ~ a/b/c", {"a", "a:b", "a:b:c"}, true},
        ExpansionCase{"y ~ (a+b)/c", {"a", "b", "a:b:c"}, true},
        ExpansionCase{"y ~ a/(b+c)", {"a", "a:b", "a:c"}, true},
        ExpansionCase{"y ~ (a+b)/(c+d)", {"a", "b", "a:b:c", "a:b:d"}, true},
        ExpansionCase{"y ~ a * b / c", {"a", "b", "a:b", "a:b:c"}, true},
        ExpansionCase{"y ~ a / b:c", {"a", "a:b:c"}, true},
        ExpansionCase{"y ~ b %in% a", {"b:a"}, true},
        ExpansionCase{"y ~ a + b %in% a", {"a", "a:b"}, true},
        ExpansionCase{"y ~ a*b + b %in% a", {"a", "b", "a:b"}, true},
        ExpansionCase{"y ~ a %in% (b + c)", {"a:b:c"}, true},
        ExpansionCase{"y ~ (a + b) %in% c", {"a:c", "b:c"}, true},
        ExpansionCase{"y ~ 0 + a + 1", {"a"}, true}, ExpansionCase{"y ~ a - 1 + 1", {"a"}, true},
        ExpansionCase{"y ~ -1 + a", {"a"}, false}, ExpansionCase{"y ~ a + 0", {"a"}, false},
        ExpansionCase{"y ~ a - 0", {"a"}, true},
        ExpansionCase{"y ~ a + (b - 1)", {"a", "b"}, false}, ExpansionCase{"y ~ 1", {}, true},
        ExpansionCase{"y ~ 0", {}, false}, ExpansionCase{"y ~ x:x", {"x"}, true},
        ExpansionCase{
            "y ~ x + I(x^2) + log(x) + x:log(x)", {"x", "x^2", "log(x)", "x:log(x)"}, true},
        ExpansionCase{"y ~ x^2 + I(x^2) + I(x)^2", {"x^2"}, true},
        ExpansionCase{"y ~ x:x^2 + I(x^3)", {"x^3", "x:x^2"}, true},
        ExpansionCase{"y ~ log( x ) + log(x) + I(log(x))", {"log(x)"}, true},
        ExpansionCase{"y ~ I(a*b + 1) + I((a - b) - c) + I(a - (b - c))",
                      {"I(a * b + 1)", "I(a - b - c)", "I(a - (b - c))"},
                      true},
        ExpansionCase{"y ~ I(-a^2) + I((-a)^2) + I(2^-a) + I(a/b/c) + I(a/(b/c))",
                      {"I(-a^2)", "I(-a)^2", "I(2^-a)", "I(a/b/c)", "I(a/(b/c))"},
                      true},
        ExpansionCase{"y ~ sqrt(exp(x) + abs(z)) + log10(x)^2 + log2(`odd name`)",
                      {"sqrt(exp(x) + abs(z))", "log10(x)^2", "log2(`odd name`)"},
                      true},
        ExpansionCase{"y ~ C(g, ref='b') * `my x` + C(g)", {"C(g)", "my x", "C(g):my x"}, true}));

struct ErrorCase {
  const char* formula;
  std::size_t position;
  const char* words;
};

class FormulaErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FormulaErrorTest, PointsAtTheCharacter) {
  const ErrorCase& c = GetParam();
  try {
    ParseFormula(c.formula);
    ADD_FAILURE() << c.formula << " was accepted";
  } catch (const FormulaError& e) {
    EXPECT_EQ(e.GetPosition(), c.position) << c.formula << ": " << e.what();
    EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos)
        << c.formula << ": " << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormulaErrorTest,
    ::testing::Values(
        ErrorCase{"y ~ A + + B", 8, "found '+'"}, ErrorCase{"", 0, "empty"},
        ErrorCase{"y ~", 3, "terms after '~'"}, ErrorCase{"y ~ ~ x", 4, "found '~'"},
        ErrorCase{"y + x ~ z", 2, "expected '~'"}, ErrorCase{"1 ~ x", 0, "one variable"},
        ErrorCase{"y ~ (a + b", 4, "not closed"}, ErrorCase{"y ~ a + b)", 9, "found ')'"},
        ErrorCase{"y ~ a b", 6, "found 'b'"}, ErrorCase{"y ~ foo(x)", 4, "unknown function"},
        ErrorCase{"y ~ log(x, 2)", 9, "one argument"}, ErrorCase{"y ~ log()", 8, "argument"},
        ErrorCase{"y ~ (a+b)^1.5", 10, "whole number"}, ErrorCase{"y ~ x^0", 6, "whole number"},
        ErrorCase{"y ~ x + 2", 8, "0 or 1"}, ErrorCase{"y ~ a:(b + 1)", 11, "top of the formula"},
        ErrorCase{"y ~ (a - 1)*b", 9, "top of the formula"},
        ErrorCase{"y ~ C(log(x))", 6, "column name"}, ErrorCase{"y ~ C(x, ref=b)", 13, "quotes"},
        ErrorCase{"y ~ C(x, ref=1) + C(x, ref=2)", 18, "two reference levels"},
        ErrorCase{"y ~ C(x)^2", 8, "factor"}, ErrorCase{"y ~ I(C(x))", 6, "factor"},
        ErrorCase{"y ~ `a b", 4, "not closed"}, ErrorCase{"y ~ C(x, ref='a)", 13, "not closed"},
        ErrorCase{"y ~ a $ b", 6, "unexpected character '$'"},
        ErrorCase{"y ~ a \xC3\xA9 b", 6, "'\xC3\xA9'"},  // a UTF-8 name is read whole
        ErrorCase{"y ~ a %foo% b", 6, "%foo%"}, ErrorCase{"y ~ .", 4, "list of columns"},
        ErrorCase{"y ~ I(x +)", 9, "expected a number"}, ErrorCase{"y ~ 1e999", 4, "range"},
        ErrorCase{"y ~ I(1.2.3)", 6, "malformed"}, ErrorCase{"y ~ I(log(.))", 10, "'.'"}));

TEST(FormulaErrorTest, DeepNestingAndHugeExpansionsAreRefused) {
  EXPECT_THROW(ParseFormula("y ~ (a+b+c+d+e+f+g+h+i+j+k+l+m+n+o+p)^16"), FormulaError);
  for (const std::string open : {"(", "I(", "I(-", "I(2^"}) {
    std::string text = "y ~ ";
    for (int i = 0; i < 5000; ++i) text += open;
    EXPECT_THROW(ParseFormula(text), FormulaError) << open;
  }
}

// The caret sits under the character, counted in characters, with tabs kept.
TEST(ShowFormulaErrorTest, CaretUnderTheCharacter) {
  struct Case {
    std::string text;
    std::size_t position;
    std::string shown;
  };
  const Case cases[] = {
      {"y ~ A + + B", 8, "y ~ A + + B\n        ^ m"},
      {"y ~ `h\xC3\xB6he` + + B", 14, "y ~ `h\xC3\xB6he` + + B\n             ^ m"},
      {"y ~\ta + + b", 8, "y ~\ta + + b\n   \t    ^ m"},
      {"y ~ a +\n  + b\n", 10, "  + b\n  ^ m"},
      {"y ~ a +", 7, "y ~ a +\n       ^ m"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShowFormulaError(c.text, FormulaError(c.position, "m")), c.shown) << c.text;
  }
}

TEST(FormulaTest, ResponseDotAndWarnings) {
  const std::vector<std::string> columns{"y", "a", "b", "c"};
  const Formula f = ParseFormula("log(y) ~ .^2 - c", &columns);
  ASSERT_TRUE(f.response);
  EXPECT_EQ(f.variables[static_cast<std::size_t>(f.response->variable)].label, "log(y)");
  EXPECT_EQ(Labels(f), (std::vector<std::string>{"a", "b", "a:b", "a:c", "b:c"}));
  EXPECT_TRUE(f.warnings.empty());
  EXPECT_FALSE(ParseFormula("~ x").response);
  const Formula squared = ParseFormula("y^2 ~ x");
  EXPECT_EQ(squared.variables[static_cast<std::size_t>(squared.response->variable)].label,
            "I(y^2)");
  const Formula w = ParseFormula("y ~ a - z + (x)^2");
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"a", "x"}));
  ASSERT_EQ(w.warnings.size(), 2u);
  EXPECT_NE(w.warnings[0].find("'- z' removes nothing"), std::string::npos);
  EXPECT_NE(w.warnings[1].find("write x^2"), std::string::npos);
  const Formula r = ParseFormula("C(y, ref=-1.5) ~ C(g, Treatment(reference=\"lo\")) + C(h, 'x')");
  const Variable& y = r.variables[static_cast<std::size_t>(r.response->variable)];
  EXPECT_TRUE(y.referenceIsNumber);
  EXPECT_EQ(y.referenceNumber, -1.5);
  EXPECT_EQ(*r.variables[1].reference, "lo");
  EXPECT_FALSE(r.variables[1].referenceIsNumber);
  EXPECT_EQ(*r.variables[2].reference, "x");
}

TEST(EffectsListTest, OlderSyntax) {
  const Formula f = ParseEffects("A, B ,A*B, A:x1,x1*x1, `a,b*c`*A");
  EXPECT_EQ(Labels(f), (std::vector<std::string>{"A", "B", "A*B", "A*x1", "x1*x1", "a,b*c*A"}));
  EXPECT_EQ(f.terms[4].parts.size(), 1u);
  EXPECT_EQ(f.terms[4].parts[0].power, 2);
  EXPECT_EQ(f.variables.back().column, "a,b*c");
  const std::pair<const char*, std::size_t> errors[] = {{"A**B", 2}, {"A,,B", 2}, {"A*B,x, B*A", 7},
                                                        {" ", 0},    {"A,", 2},   {"`A", 0}};
  for (const auto& [text, position] : errors) {
    try {
      ParseEffects(text);
      ADD_FAILURE() << text << " was accepted";
    } catch (const FormulaError& e) {
      EXPECT_EQ(e.GetPosition(), position) << text << ": " << e.what();
    }
  }
}


ColumnType TypeOf(const std::string& name) {
  static const std::map<std::string, ColumnType> kColumns = {
      {"y", ColumnType::kNumber}, {"x", ColumnType::kNumber}, {"z", ColumnType::kNumber},
      {"g", ColumnType::kNumber}, {"A", ColumnType::kText},   {"B", ColumnType::kText},
      {"C", ColumnType::kText}};
  const auto it = kColumns.find(name);
  return it == kColumns.end() ? ColumnType::kAbsent : it->second;
}

// Per model factor its nesting level or -1, per model covariate its power.
std::vector<std::vector<int>> MainVectors(const std::string& formula, EffectPlan& plan,
                                          std::vector<int>& positions) {
  plan = PlanEffects(ParseFormula(formula), TypeOf);
  positions.clear();
  for (std::size_t i = 0; i < plan.factors.size() + plan.covariates.size(); ++i) {
    positions.push_back(static_cast<int>(10 + i));
  }
  std::vector<std::vector<int>> out;
  for (const MCModelEffect& e : MakeModelEffects(plan, &positions)) {
    out.push_back(e.GetModelEffect());
  }
  return out;
}

TEST(PlanEffectsTest, LibraryEffects) {
  struct Case {
    const char* formula;
    std::vector<std::vector<int>> effects;
    std::size_t nFactors;
  };
  const Case cases[] = {
      // Factors A, C(g); covariate x.
      {"y ~ A*x + I(x^2) + C(g, ref=2):x",
       {{0, -1, 0}, {-1, -1, 1}, {-1, -1, 2}, {0, -1, 1}, {-1, 0, 1}},
       2},
      // Nesting: C within B within A.
      {"y ~ A/B/C", {{0, -1, -1}, {1, 0, -1}, {2, 1, 0}}, 3},
      {"y ~ B %in% A", {{0, 1}}, 2},
      {"y ~ (A + B)/C", {{0, -1, -1}, {-1, 0, -1}, {1, 1, 0}}, 3},
      // A text column named bare and in C() is one factor; products of covariates.
      {"y ~ A + C(A):x + x:z:log(x)", {{0, 0, 0, 0}, {0, 1, 0, 0}, {-1, 1, 1, 1}}, 1},
  };
  for (const Case& c : cases) {
    EffectPlan plan;
    std::vector<int> positions;
    EXPECT_EQ(MainVectors(c.formula, plan, positions), c.effects) << c.formula;
    EXPECT_EQ(plan.factors.size(), c.nFactors) << c.formula;
  }
}

TEST(PlanEffectsTest, ReferenceAndNestedCovariate) {
  const Formula f = ParseFormula("y ~ A + C(A, ref='b'):x + A/z");
  const EffectPlan plan = PlanEffects(f, TypeOf);
  ASSERT_EQ(plan.factors.size(), 1u);
  EXPECT_EQ(*f.variables[static_cast<std::size_t>(plan.factors[0])].reference, "b");
  ASSERT_EQ(plan.effects.size(), 3u);
  EXPECT_FALSE(plan.effects[1].factorsInParens);  // A:x crossed
  EXPECT_TRUE(plan.effects[2].factorsInParens);   // z within A
  EXPECT_THROW(MakeModelEffects(plan, nullptr), std::invalid_argument);
}

TEST(PlanEffectsTest, ErrorsPointAtTheVariableOrTerm) {
  const std::pair<const char*, std::size_t> cases[] = {
      {"y ~ x + zz", 8},            // unknown column
      {"y ~ log(x) + log(A)", 17},  // arithmetic over text
      {"y ~ x + A^2", 8},           // power of a factor
      {"y ~ A:C(A)", 4},            // the same factor twice in a term
      {"y ~ A + C(A)", 8},          // the same effect twice
      {"y ~ x:x^2 + I(x^3)", 4},    // x^3 twice (I(x^3) comes first, of order 1)
      {"y ~ x + log(y)", 12},       // the response among the terms
      {"log(y) ~ x + y", 13},
      {"log(y) ~ x + log(y)", 13},
      {"q ~ x", 0},  // unknown response
      {"y ~ 0", 4},  // nothing to fit
      {"y ~ 0 + x - x", 4},
  };
  for (const auto& [text, position] : cases) {
    try {
      PlanEffects(ParseFormula(text), TypeOf);
      ADD_FAILURE() << text << " was accepted";
    } catch (const FormulaError& e) {
      EXPECT_EQ(e.GetPosition(), position) << text << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace MCFrontEnd

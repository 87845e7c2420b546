// How many estimates each term should have, and the warnings when the data identify fewer.
#include "Aliasing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace MCFrontEnd {
namespace {

std::vector<Term> Terms(const std::vector<std::string>& texts) {
  std::vector<Term> terms;
  for (const std::string& t : texts) {
    Term term;
    for (std::size_t from = 0; from <= t.size();) {
      const std::size_t star = std::min(t.find('*', from), t.size());
      term.names.push_back(t.substr(from, star - from));
      from = star + 1;
    }
    terms.push_back(term);
  }
  return terms;
}

struct CountCase {
  const char* name;
  std::vector<int> categories;  // of the factors A, B, C
  std::vector<std::string> terms;
  bool intercept;
  std::vector<int> counts;  // the estimates each term adds to those before it
};

class Counts : public ::testing::TestWithParam<CountCase> {};

TEST_P(Counts, EachTermAddsWhatTheEarlierOnesDoNotSpan) {
  const CountCase& c = GetParam();
  const std::vector<std::string> factors = {"A", "B", "C"};
  EXPECT_EQ(IdentifiableCounts(Terms(c.terms), factors, c.categories, c.intercept), c.counts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Counts,
    ::testing::Values(
        CountCase{"main_effects_and_interaction", {4, 3, 1}, {"A", "B", "A*B"}, true, {3, 2, 6}},
        CountCase{"no_intercept", {4, 3, 1}, {"A", "B"}, false, {4, 2}},
        CountCase{"interaction_alone", {4, 3, 1}, {"A*B"}, true, {11}},
        CountCase{"interaction_first", {4, 3, 1}, {"A*B", "A", "B"}, true, {11, 0, 0}},
        CountCase{"three_way", {2, 2, 3}, {"A", "B", "C", "A*B", "A*C", "B*C", "A*B*C"}, true,
                  {1, 1, 2, 1, 2, 2, 2}},
        CountCase{"covariates_and_powers", {1, 1, 1}, {"x", "z", "x*x", "x*z", "z*x"}, true,
                  {1, 1, 1, 1, 0}},
        CountCase{"slopes_by_factor", {4, 1, 1}, {"x", "A*x"}, true, {1, 3}},
        CountCase{"slopes_by_factor_alone", {4, 1, 1}, {"A*x"}, false, {4}},
        CountCase{"one_category", {1, 1, 1}, {"A"}, true, {0}}),
    [](const auto& info) { return std::string(info.param.name); });

ParameterResult Param(int term, std::vector<PredictorCell> cells, bool redundant) {
  ParameterResult p;
  p.term = term;
  p.cells = std::move(cells);
  p.redundant = redundant;
  return p;
}

PredictorCell A(const char* v) { return {"A", v, true}; }
PredictorCell B(const char* v) { return {"B", v, true}; }

// A 2 x 2 design: every cell present gives no warning; a cell without records leaves the
// interaction unidentified; a covariate repeated under another name is aliased as a whole.
TEST(AliasWarningsTest, NameTheTermsTheDataDoNotIdentify) {
  const std::vector<std::string> factors = {"A", "B"};
  const std::vector<Term> terms = Terms({"A", "B", "A*B"});
  std::vector<ParameterResult> full = {
      Param(-1, {}, false),         Param(0, {A("a")}, false),          Param(0, {A("b")}, true),
      Param(1, {B("x")}, false),    Param(1, {B("y")}, true),           Param(2, {A("a"), B("x")}, false),
      Param(2, {A("a"), B("y")}, true), Param(2, {A("b"), B("x")}, true), Param(2, {A("b"), B("y")}, true)};
  EXPECT_TRUE(AliasWarnings(terms, factors, full, true).empty());

  std::vector<ParameterResult> empty = full;
  empty.pop_back();        // no records in cell (b, y)
  empty[5].redundant = true;  // so (a, x) is no longer identified
  const auto warnings = AliasWarnings(terms, factors, empty, true);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("term 'A*B' is aliased", 0), 0u) << warnings[0];

  const std::vector<ParameterResult> covariates = {
      Param(-1, {}, false), Param(0, {{"x", "", false}}, false), Param(1, {{"x2", "", false}}, true)};
  const auto aliased = AliasWarnings(Terms({"x", "x2"}), {}, covariates, true);
  ASSERT_EQ(aliased.size(), 1u);
  EXPECT_EQ(aliased[0].rfind("term 'x2' is aliased", 0), 0u) << aliased[0];
}

}  // namespace
}  // namespace MCFrontEnd

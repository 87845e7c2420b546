// How many estimates each term should have; the warnings built on it are checked through mcfit.
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

}  // namespace
}  // namespace MCFrontEnd

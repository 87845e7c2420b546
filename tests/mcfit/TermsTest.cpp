#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataTable.h"
#include "Terms.h"

namespace mcfit {
namespace {

TEST(ParseTermTest, SplitsOnStarsKeepingOrder) {
  EXPECT_EQ(ParseTerm("A").names, (std::vector<std::string>{"A"}));
  EXPECT_EQ(ParseTerm(" B * A ").names, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(ParseTerm("x1*x1*A").Text(), "x1*x1*A");
  for (const char* bad : {"", "*A", "A*", "A**B", " "}) {
    EXPECT_THROW(ParseTerm(bad), InputError) << bad;
  }
}

class CheckTermsTest : public ::testing::Test {
 protected:
  void Check(const std::vector<std::string>& texts) {
    std::vector<Term> terms;
    for (const std::string& t : texts) terms.push_back(ParseTerm(t));
    CheckTerms(terms, {"A", "B"}, {"x", "z"});
  }
};

TEST_F(CheckTermsTest, AcceptsProductsAndPowers) {
  EXPECT_NO_THROW(Check({"A", "B", "A*B", "x", "x*x", "A*x", "x*z"}));
}

TEST_F(CheckTermsTest, RefusesUnknownNamesRepeatedFactorsAndRepeatedTerms) {
  EXPECT_THROW(Check({"C"}), InputError);
  EXPECT_THROW(Check({"A*A"}), InputError);
  EXPECT_THROW(Check({"A*B", "B*A"}), InputError);
  EXPECT_THROW(Check({"x*z", "z*x"}), InputError);
  // x*x and x are different terms.
  EXPECT_NO_THROW(Check({"x", "x*x"}));
}

TEST(DefaultTermsTest, FactorsThenCovariates) {
  const std::vector<Term> terms = DefaultTerms({"A", "B"}, {"x"});
  ASSERT_EQ(terms.size(), 3u);
  EXPECT_EQ(terms[0].Text(), "A");
  EXPECT_EQ(terms[2].Text(), "x");
}

}  // namespace
}  // namespace mcfit

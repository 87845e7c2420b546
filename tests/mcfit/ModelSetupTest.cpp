// In-process checks of mcfit parts the program tests cannot reach: the t statistics of a
// parameter and a cancel at every stage of a fit. Coding, reading and bad input are covered by
// the program tests (McfitProgramTest, McfitHostileTest).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "Commands.h"
#include "LinearFit.h"

namespace mcfit {
namespace {

TEST(ErrorStatsTest, ResidualVarianceAndTStatistics) {
  // rmse^2 x W is the weighted residual sum: 0.5^2 x 12 = 3, on 12 - 2 = 10 df.
  const ErrorStats e = ComputeErrorStats(0.5, 12.0, 2);
  EXPECT_DOUBLE_EQ(e.df, 10.0);
  EXPECT_DOUBLE_EQ(e.rss, 3.0);
  EXPECT_DOUBLE_EQ(e.variance, 0.3);
  ParameterResult p;
  p.estimate = 2.0;
  FillTStatistics(p, 0.3, e);  // se = sqrt(0.3 x 0.3) = 0.3
  ASSERT_TRUE(p.stdError && p.statistic && p.pValue && p.df);
  EXPECT_DOUBLE_EQ(*p.stdError, 0.3);
  EXPECT_DOUBLE_EQ(*p.statistic, 2.0 / 0.3);
  // Two-sided p of t = 20/3 on 10 df, from the closed form for even df:
  // 1 - sin(a) (1 + c/2 + 3c^2/8 + 15c^3/48 + 105c^4/384), a = atan(t / sqrt(10)), c = cos(a)^2.
  EXPECT_NEAR(*p.pValue, 5.5918369660012957e-05, 1e-15);
  ParameterResult aliased;
  aliased.redundant = true;
  FillTStatistics(aliased, 0.3, e);
  EXPECT_FALSE(aliased.stdError || aliased.statistic || aliased.pValue || aliased.df);
  ParameterResult noDf;
  FillTStatistics(noDf, 0.3, ComputeErrorStats(0.5, 2.0, 2));
  EXPECT_FALSE(noDf.stdError);
}

// Answers yes from the n-th question on.
class CancelAfter : public MCCommon::MCQueryCancel {
 public:
  explicit CancelAfter(int n) : fLeft(n) {}
  bool IsCancel() override { return WillCancel(); }
  bool WillCancel() override { return --fLeft < 0; }

 private:
  int fLeft;
};

// A cancel while reading, building or writing: exit code 130 and no file beside the data.
TEST(RunFitTest, CancelAtAnyStageLeavesNoFile) {
  const std::string dir = ::testing::TempDir() + "mcfit_runfit_" + std::to_string(::getpid());
  ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
  std::ofstream(dir + "/d.csv") << "y,x\n1,1\n2,2.5\n3,2.9\n4,4.2\n5,5\n";
  FitOptions options;
  options.data = dir + "/d.csv";
  options.request.dependent = "y";
  options.request.covariates = {"x"};
  options.jsonFile = dir + "/out.json";
  // True when anything besides the data (the JSON or a temporary file) is in the folder.
  const auto files = [&dir] {
    return std::system(("test $(ls -A '" + dir + "' | wc -l) -ne 1").c_str()) == 0;
  };
  std::ostringstream out, err;
  for (int after : {0, 3, 8, 12}) {
    CancelAfter cancel(after);
    EXPECT_EQ(RunFit(options, out, err, &cancel), kExitCancelled) << after;
    EXPECT_FALSE(files()) << after;
  }
  EXPECT_NE(err.str().find("cancelled"), std::string::npos);
  EXPECT_EQ(RunFit(options, out, err, nullptr), kExitOK) << err.str();
  EXPECT_TRUE(files());
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace mcfit

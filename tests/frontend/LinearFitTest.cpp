// The t statistics of a parameter from the library's fit statistics.
#include <gtest/gtest.h>

#include "LinearFit.h"

namespace MCFrontEnd {
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

}  // namespace
}  // namespace MCFrontEnd

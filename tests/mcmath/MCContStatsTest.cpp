#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "MCContStats.h"
#include "MCExtremeNum.h"

using MCCommonMath::MCContStats;

namespace {

const double kMissing = std::numeric_limits<double>::lowest();

// Large mean, small spread: the one-pass update must not lose the variance to cancellation.
TEST(MCContStats, WelfordAndPooledHalvesMatchTwoPass) {
  std::mt19937 rng(42);
  std::normal_distribution<double> g(1e3, 2.0);
  std::uniform_int_distribution<int> fi(1, 4);
  std::uniform_real_distribution<double> wi(0.5, 2.0);
  std::vector<double> x, f, w;
  MCContStats all, lo, hi;
  double sw = 0, swx = 0, sumF = 0, ss = 0;
  for (int i = 0; i < 501; ++i) {
    x.push_back(g(rng)), f.push_back(fi(rng)), w.push_back(wi(rng));
    ASSERT_TRUE(all.Update(x[i], f[i], w[i]));
    (i < 200 ? lo : hi).Update(x[i], f[i], w[i]);
    sw += f[i] * w[i], swx += f[i] * w[i] * x[i], sumF += f[i];
  }
  const double mean = swx / sw;
  for (int i = 0; i < 501; ++i) ss += f[i] * w[i] * (x[i] - mean) * (x[i] - mean);
  EXPECT_NEAR(all.GetMean(), mean, 1e-12 * mean);
  EXPECT_NEAR(all.GetVariance(), ss / (sumF - 1), 1e-10 * ss / sumF);
  EXPECT_EQ(all.GetSumFreqWeights(), sumF);
  EXPECT_EQ(all.GetExtrema(), std::make_pair(*std::min_element(x.begin(), x.end()),
                                             *std::max_element(x.begin(), x.end())));
  lo.Pool(hi);
  EXPECT_NEAR(lo.GetMean(), all.GetMean(), 1e-12 * all.GetMean());
  EXPECT_NEAR(lo.GetVariance(), all.GetVariance(), 1e-12 * all.GetVariance());
  EXPECT_EQ(lo.GetSumFreqWeights(), all.GetSumFreqWeights());
  EXPECT_EQ(lo.GetExtrema(), all.GetExtrema());
}


TEST(MCContStats, ZeroWeightsCountAsOneAndMissingIsRejected) {
  MCContStats a, b;
  for (double v : {1.0, 4.0, 10.0}) {
    EXPECT_TRUE(a.Update(v, 0, 0));
    EXPECT_TRUE(b.Update(v));
  }
  EXPECT_EQ(a.GetSumFreqWeights(), 3.0);
  EXPECT_EQ(a.GetMean(), b.GetMean());
  EXPECT_DOUBLE_EQ(a.GetVariance(), 21.0);  // mean 5, squares 16 + 1 + 25 over 2
  EXPECT_FALSE(a.Update(kMissing));
  EXPECT_FALSE(a.Update(1.0, kMissing, 1.0));
  EXPECT_FALSE(a.Update(1.0, 1.0, kMissing));
  EXPECT_EQ(a.GetSumFreqWeights(), 3.0);
}

// An empty object has no extrema and no variance, nor has one of frequency sum 1; pooling it
// changes nothing, pooling into it copies.
TEST(MCContStats, EmptyAndSingleValueObjects) {
  MCContStats empty, full, target, single;
  EXPECT_EQ(empty.GetExtrema(), std::make_pair(kMissing, kMissing));
  EXPECT_EQ(empty.GetVariance(), kMissing);
  EXPECT_TRUE(single.Update(-3.5));
  EXPECT_EQ(single.GetVariance(), kMissing);
  EXPECT_EQ(single.GetExtrema(), std::make_pair(-3.5, -3.5));
  full.Update(2.0);
  full.Update(6.0);
  target.Pool(full);  // empty this: becomes a copy
  EXPECT_EQ(target.GetMean(), 4.0);
  EXPECT_EQ(target.GetVariance(), 8.0);
  EXPECT_EQ(target.GetExtrema(), full.GetExtrema());
  full.Pool(empty);  // empty other: nothing changes
  EXPECT_EQ(full.GetMean(), 4.0);
  EXPECT_EQ(full.GetSumFreqWeights(), 2.0);
  EXPECT_EQ(full.GetExtrema().first, 2.0);
}

TEST(MCExtremeNum, SumSqRootWithoutOverflow) {
  using MCCommonMath::MCExtremeNum;
  double r = 0;
  EXPECT_TRUE(MCExtremeNum::SumSqRoot(3e200, 1.0, 4e200, 1.0, r));
  EXPECT_DOUBLE_EQ(r, 5e200);
  EXPECT_TRUE(MCExtremeNum::SumSqRoot(3e-200, 2.0, 1e-200, -2.0, r));
  EXPECT_DOUBLE_EQ(r, 4e-200);
  EXPECT_TRUE(MCExtremeNum::SumSqRoot(0.0, 5.0, 0.0, -1.0, r));
  EXPECT_EQ(r, 0.0);
  EXPECT_FALSE(MCExtremeNum::SumSqRoot(1.0, 1.0, 2.0, -1.0, r));
  EXPECT_EQ(r, kMissing);
  EXPECT_FALSE(MCExtremeNum::SumSqRoot(1e300, 1e300, 0.0, 0.0, r));
  EXPECT_FALSE(MCExtremeNum::SumSqRoot(kMissing, 1.0, 0.0, 0.0, r));
}

}  // namespace

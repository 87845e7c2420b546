#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "MCComponentDisplay.h"
#include "MCContStats.h"
#include "MCExtremeNum.h"

using MCCommonMath::MCContStats;

namespace {

const double kMissing = std::numeric_limits<double>::lowest();

struct TwoPass {
  double mean = 0, ss = 0, sumF = 0;
};

// Weighted mean and sum of squared deviations computed the textbook way.
TwoPass Reference(const std::vector<double>& x, const std::vector<double>& f,
                  const std::vector<double>& w) {
  TwoPass r;
  double sw = 0, swx = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sw += f[i] * w[i];
    swx += f[i] * w[i] * x[i];
    r.sumF += f[i];
  }
  r.mean = swx / sw;
  for (size_t i = 0; i < x.size(); ++i) r.ss += f[i] * w[i] * (x[i] - r.mean) * (x[i] - r.mean);
  return r;
}

class ContStatsData : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 rng(42);
    std::normal_distribution<double> g(1e3, 2.0);  // large mean, small spread
    std::uniform_int_distribution<int> fi(1, 4);
    std::uniform_real_distribution<double> wi(0.5, 2.0);
    for (int i = 0; i < 501; ++i) {
      x.push_back(g(rng));
      f.push_back(fi(rng));
      w.push_back(wi(rng));
    }
  }
  std::vector<double> x, f, w;
};

TEST_F(ContStatsData, WelfordMatchesTwoPass) {
  MCContStats s;
  for (size_t i = 0; i < x.size(); ++i) ASSERT_TRUE(s.Update(x[i], f[i], w[i]));
  TwoPass ref = Reference(x, f, w);
  EXPECT_NEAR(s.GetMean(), ref.mean, 1e-12 * std::fabs(ref.mean));
  EXPECT_NEAR(s.GetVariance(), ref.ss / (ref.sumF - 1), 1e-10 * ref.ss / ref.sumF);
  EXPECT_EQ(s.GetSumFreqWeights(), ref.sumF);
  auto ext = s.GetExtrema();
  EXPECT_EQ(ext.first, *std::min_element(x.begin(), x.end()));
  EXPECT_EQ(ext.second, *std::max_element(x.begin(), x.end()));
}

TEST_F(ContStatsData, PooledHalvesEqualOnePass) {
  MCContStats all, lo, hi;
  for (size_t i = 0; i < x.size(); ++i) {
    all.Update(x[i], f[i], w[i]);
    (i < 200 ? lo : hi).Update(x[i], f[i], w[i]);
  }
  lo.Pool(hi);
  EXPECT_NEAR(lo.GetMean(), all.GetMean(), 1e-12 * std::fabs(all.GetMean()));
  EXPECT_NEAR(lo.GetVariance(), all.GetVariance(), 1e-12 * all.GetVariance());
  EXPECT_EQ(lo.GetSumFreqWeights(), all.GetSumFreqWeights());
  EXPECT_EQ(lo.GetExtrema(), all.GetExtrema());
}

TEST(MCContStats, NewObjectAndSingleValue) {
  MCContStats s;
  EXPECT_EQ(s.GetSumFreqWeights(), 0.0);
  EXPECT_EQ(s.GetMean(), 0.0);
  EXPECT_EQ(s.GetExtrema().first, kMissing);
  EXPECT_EQ(s.GetExtrema().second, kMissing);
  EXPECT_EQ(s.GetVariance(), kMissing);
  EXPECT_TRUE(s.Update(-3.5));
  EXPECT_EQ(s.GetVariance(), kMissing);  // frequency sum 1
  EXPECT_EQ(s.GetExtrema().first, -3.5);
  EXPECT_EQ(s.GetExtrema().second, -3.5);
}

TEST(MCContStats, ZeroWeightsCountAsOneAndMissingIsRejected) {
  MCContStats a, b;
  for (double v : {1.0, 4.0, 10.0}) {
    EXPECT_TRUE(a.Update(v, 0, 0));
    EXPECT_TRUE(b.Update(v));
  }
  EXPECT_EQ(a.GetSumFreqWeights(), 3.0);
  EXPECT_EQ(a.GetMean(), b.GetMean());
  EXPECT_EQ(a.GetVariance(), b.GetVariance());
  EXPECT_DOUBLE_EQ(a.GetVariance(), 21.0);  // mean 5, squares 16 + 1 + 25 over 2
  EXPECT_FALSE(a.Update(kMissing));
  EXPECT_FALSE(a.Update(1.0, kMissing, 1.0));
  EXPECT_FALSE(a.Update(1.0, 1.0, kMissing));
  EXPECT_EQ(a.GetSumFreqWeights(), 3.0);
  // A frequency weight of 3 is three copies.
  MCContStats c, d;
  c.Update(2.0, 3, 1);
  c.Update(8.0);
  for (int i = 0; i < 3; ++i) d.Update(2.0);
  d.Update(8.0);
  EXPECT_DOUBLE_EQ(c.GetMean(), d.GetMean());
  EXPECT_DOUBLE_EQ(c.GetVariance(), d.GetVariance());
}

TEST(MCContStats, PoolingWithEmptyObjects) {
  MCContStats empty, full;
  full.Update(2.0);
  full.Update(6.0);
  MCContStats target;
  target.Pool(full);  // empty this: becomes a copy
  EXPECT_EQ(target.GetMean(), 4.0);
  EXPECT_EQ(target.GetVariance(), 8.0);
  EXPECT_EQ(target.GetExtrema(), full.GetExtrema());
  full.Pool(empty);  // empty other: nothing changes
  EXPECT_EQ(full.GetMean(), 4.0);
  EXPECT_EQ(full.GetSumFreqWeights(), 2.0);
  EXPECT_EQ(full.GetExtrema().first, 2.0);
}

TEST(MCContStats, DisplayWritesBracketedFields) {
  std::ostringstream out;
  std::ostream& old = MCCommon::MCComponentDisplay::GetOutStream();
  MCCommon::MCComponentDisplay::SetOutStream(out);
  MCContStats s;
  s.Update(1.5);
  s.Display();
  MCCommon::MCComponentDisplay::SetOutStream(old);
  EXPECT_NE(out.str().find("MCContStats display start"), std::string::npos);
  EXPECT_NE(out.str().find("fMean"), std::string::npos);
  EXPECT_NE(out.str().find("MCContStats display end"), std::string::npos);
}

TEST(MCExtremeNum, SumSqRootWithoutOverflow) {
  double r = 0;
  EXPECT_TRUE(MCCommonMath::MCExtremeNum::SumSqRoot(3e200, 1.0, 4e200, 1.0, r));
  EXPECT_DOUBLE_EQ(r, 5e200);
  EXPECT_TRUE(MCCommonMath::MCExtremeNum::SumSqRoot(3e-200, 2.0, 1e-200, -2.0, r));
  EXPECT_DOUBLE_EQ(r, 4e-200);
  EXPECT_TRUE(MCCommonMath::MCExtremeNum::SumSqRoot(0.0, 5.0, 0.0, -1.0, r));
  EXPECT_EQ(r, 0.0);
  EXPECT_FALSE(MCCommonMath::MCExtremeNum::SumSqRoot(1.0, 1.0, 2.0, -1.0, r));
  EXPECT_EQ(r, kMissing);
  EXPECT_FALSE(MCCommonMath::MCExtremeNum::SumSqRoot(1e300, 1e300, 0.0, 0.0, r));
  EXPECT_FALSE(MCCommonMath::MCExtremeNum::SumSqRoot(kMissing, 1.0, 0.0, 0.0, r));
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "MCBinningEncoder.h"
#include "MCMV.h"

namespace {

using MCCommonMetadata::MCBinningEncoder;

constexpr double kLowest = std::numeric_limits<double>::lowest();
constexpr double kHighest = std::numeric_limits<double>::max();

TEST(MCBinningEncoderTest, EqualWidthBins) {
  MCBinningEncoder b(0, 10, 5);
  EXPECT_EQ(b.GetNumberOfCategories(), 5);
  EXPECT_EQ(b.GetBinningCutpoints(), (std::vector<double>{2, 4, 6, 8}));
  EXPECT_EQ(b.Encode(2), 0);
  EXPECT_EQ(b.Encode(2.0001), 1);
  EXPECT_EQ(b.Encode(8), 3);
  EXPECT_EQ(b.Encode(8.5), 4);
  EXPECT_EQ(b.Encode(11), 4);
  EXPECT_EQ(b.Encode(-5), 0);
  EXPECT_EQ(b.Encode(MCMV::Missing()), -1);
  EXPECT_EQ(b.Encode(std::nan("")), -1);
  EXPECT_TRUE(MCBinningEncoder(0, 1, 1).GetBinningCutpoints().empty());
  EXPECT_EQ(MCBinningEncoder(std::vector<double>{}).Encode(1e300), 0);
}

// The binary search must agree with a plain count of the cut points below x, at every cut
// point, between them and outside, for every number of cut points.
class BinarySearchTest : public ::testing::TestWithParam<int> {};

TEST_P(BinarySearchTest, CountsCutPointsStrictlyBelow) {
  std::vector<double> cuts;
  for (int k = 0; k < GetParam(); ++k) cuts.push_back(1.5 * k * k - 4);
  const MCBinningEncoder b(cuts);
  std::vector<double> probes = {-1e9, 1e9};
  for (double c : cuts) {
    probes.push_back(c);
    probes.push_back(std::nextafter(c, -kHighest));
    probes.push_back(std::nextafter(c, kHighest));
  }
  for (double x : probes) {
    int below = 0;
    for (double c : cuts) below += c < x ? 1 : 0;
    EXPECT_EQ(b.Encode(x), below) << "x = " << x << " with " << cuts.size() << " cut points";
  }
}

INSTANTIATE_TEST_SUITE_P(CutCounts, BinarySearchTest, ::testing::Range(0, 10));

TEST(RebinningTest, EmptyRunBetweenTwoBinsIsSplitInItsMiddle) {
  // Bins: (-inf,1] (1,2] (2,3] (3,4] (4,5] (5,inf); only (1,2] and (4,5] hold cases.
  MCBinningEncoder b(std::vector<double>{1, 2, 3, 4, 5});
  const std::vector<double> freqs = {0, 3, 0, 0, 2, 0};
  std::vector<double> cuts;
  ASSERT_TRUE(b.ComputeCutpoints(freqs, cuts));
  EXPECT_EQ(cuts, (std::vector<double>{kLowest, 3, 3, 3, kHighest}));
  std::unique_ptr<MCBinningEncoder> rebinned(b.CreateRebinned(freqs));
  EXPECT_EQ(b.GetNumberOfCategories(), 6);
  ASSERT_TRUE(b.AdjustBinning(freqs));
  EXPECT_EQ(b.GetBinningCutpoints(), std::vector<double>{3});
  EXPECT_EQ(b.GetNumberOfCategories(), 2);
  EXPECT_EQ(*rebinned, b);
}

TEST(RebinningTest, AdjacentFilledBinsKeepTheirCut) {
  MCBinningEncoder b(std::vector<double>{1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(b.AdjustBinning({1, 0, 2, 3, 0, 0, 1}));
  // Runs: bins 0|2 split at (1+2)/2, 2|3 keep 3, 3|6 split at (4+6)/2.
  EXPECT_EQ(b.GetBinningCutpoints(), (std::vector<double>{1.5, 3, 5}));
  EXPECT_EQ(b.GetNumberOfCategories(), 4);
}

TEST(RebinningTest, LeadingEmptyBinsAreDropped) {
  MCBinningEncoder b(std::vector<double>{10, 20, 30, 40});
  std::vector<double> cuts;
  ASSERT_TRUE(b.ComputeCutpoints({0, 0, 4, 0, 1}, cuts));
  EXPECT_EQ(cuts, (std::vector<double>{kLowest, kLowest, 35, 35}));
  ASSERT_TRUE(b.AdjustBinning({0, 0, 4, 0, 1}));
  EXPECT_EQ(b.GetBinningCutpoints(), std::vector<double>{35});
}

TEST(RebinningTest, RefusesWhenNothingToDrop) {
  MCBinningEncoder b(std::vector<double>{1, 2});
  std::vector<double> cuts = {42};
  EXPECT_FALSE(b.ComputeCutpoints({1, 1, 1}, cuts));  // every bin filled
  EXPECT_FALSE(b.ComputeCutpoints({0, 5, 0}, cuts));  // one filled bin
  EXPECT_FALSE(b.ComputeCutpoints({1, 0}, cuts));     // wrong number of frequencies
  EXPECT_EQ(cuts, std::vector<double>{42});
  EXPECT_FALSE(b.AdjustBinning({0, 5, 0}));
  std::unique_ptr<MCBinningEncoder> same(b.CreateRebinned({1, 1, 1}));
  EXPECT_NE(same.get(), &b);
  EXPECT_EQ(*same, b);
}

}  // namespace

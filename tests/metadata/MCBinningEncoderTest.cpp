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

// Where a value falls is the binary search's test below.
TEST(MCBinningEncoderTest, EqualWidthBinsAndMissingValues) {
  MCBinningEncoder b(0, 10, 5);
  EXPECT_EQ(b.GetNumberOfCategories(), 5);
  EXPECT_EQ(b.GetBinningCutpoints(), (std::vector<double>{2, 4, 6, 8}));
  EXPECT_EQ(b.Encode(MCMV::Missing()), -1);
  EXPECT_EQ(b.Encode(std::nan("")), -1);
  EXPECT_TRUE(MCBinningEncoder(0, 1, 1).GetBinningCutpoints().empty());
  EXPECT_EQ(MCBinningEncoder(std::vector<double>{}).Encode(1e300), 0);
}

// The binary search against a plain count of the cut points below x.
TEST(BinarySearchTest, CountsCutPointsStrictlyBelow) {
  for (int n = 0; n < 10; ++n) {
    std::vector<double> cuts;
    for (int k = 0; k < n; ++k) cuts.push_back(1.5 * k * k - 4);
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
}

// A run of empty bins splits in the middle; an empty list: nothing dropped, the binning stays.
struct RebinCase {
  std::vector<double> cuts, freqs, computed, adjusted;
};

TEST(RebinningTest, EmptyBinsAreMerged) {
  const RebinCase cases[] = {
      {{1, 2, 3, 4, 5}, {0, 3, 0, 0, 2, 0}, {kLowest, 3, 3, 3, kHighest}, {3}},
      {{1, 2, 3, 4, 5, 6}, {1, 0, 2, 3, 0, 0, 1}, {1.5, 1.5, 3, 5, 5, 5}, {1.5, 3, 5}},
      {{10, 20, 30, 40}, {0, 0, 4, 0, 1}, {kLowest, kLowest, 35, 35}, {35}},
      {{1, 2}, {1, 1, 1}, {}, {1, 2}},  // every bin filled
      {{1, 2}, {0, 5, 0}, {}, {1, 2}},  // one filled bin
      {{1, 2}, {1, 0}, {}, {1, 2}}};    // a frequency missing
  for (const RebinCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.freqs));
    MCBinningEncoder b(c.cuts);
    std::vector<double> cuts = {42};
    EXPECT_EQ(b.ComputeCutpoints(c.freqs, cuts), !c.computed.empty());
    EXPECT_EQ(cuts, c.computed.empty() ? std::vector<double>{42} : c.computed);
    std::unique_ptr<MCBinningEncoder> rebinned(b.CreateRebinned(c.freqs));
    EXPECT_NE(rebinned.get(), &b);
    EXPECT_EQ(b.GetNumberOfCategories(), static_cast<int>(c.cuts.size()) + 1);
    EXPECT_EQ(b.AdjustBinning(c.freqs), !c.computed.empty());
    EXPECT_EQ(b.GetBinningCutpoints(), c.adjusted);
    EXPECT_EQ(b.GetNumberOfCategories(), static_cast<int>(c.adjusted.size()) + 1);
    EXPECT_EQ(*rebinned, b);
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <limits>

#include "MCUniStats.h"

namespace {

using MCCommonMetadata::MCUniStats;

const double kMiss = MCMV::Missing();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

MCUniStats::SummStats Summary(double min, double max, double mean, double sd) {
  MCUniStats::SummStats s;
  s.fMinimum = min;
  s.fMaximum = max;
  s.fMean = mean;
  s.fStdDev = sd;
  return s;
}

const MCUniStats::SummStats kNone;

// The rules a document's statistics must keep; a copy judges alike.
TEST(UniStatsValidityTest, FollowsTheExportRules) {
  const struct {
    const char* name;
    MCUniStats stats;
    bool valid;
  } cases[] = {
      {"Default", MCUniStats(), false},
      {"Categorical", MCUniStats("c", 5.0, {2.0, 0.0, 3.0}), true},
      {"NegativeCases", MCUniStats("c", -1.0, {}), false},
      {"NegativeFrequency", MCUniStats("c", 5.0, {6.0, -1.0}), false},
      {"MissingFrequency", MCUniStats("c", 5.0, {kMiss}), false},
      {"InfiniteCases", MCUniStats("c", kInf, {}), false},
      {"InfiniteFrequency", MCUniStats("c", 5.0, {kInf}), false},
      {"InfiniteCut", MCUniStats("x", 6.0, kNone, {0.0, kInf}, {6.0}), false},
      {"InfiniteMaximum", MCUniStats("x", 6.0, Summary(0.0, kInf, 1.0, 1.0), {}, {}), false},
      {"InfiniteStdDev", MCUniStats("x", 6.0, Summary(kMiss, kMiss, kMiss, kInf), {}, {}), false},
      {"ContinuousPlain", MCUniStats("x", 3.0, kNone, {}, {}), true},
      {"CutsWithoutFrequencies", MCUniStats("x", 3.0, kNone, {1.0, 2.0}, {}), false},
      {"OneCutTooMany", MCUniStats("x", 3.0, kNone, {1.0, 2.0, 3.0}, {3.0}), false},
      {"OpenEnds", MCUniStats("x", 6.0, kNone, {kMiss, 0.0, kMiss}, {2.0, 4.0}), true},
      {"MissingInside", MCUniStats("x", 6.0, kNone, {0.0, kMiss, 2.0}, {2.0, 4.0}), false},
      {"EqualCuts", MCUniStats("x", 6.0, kNone, {0.0, 1.0, 1.0}, {2.0, 4.0}), false},
      {"FallingCuts", MCUniStats("x", 6.0, kNone, {kMiss, 2.0, 1.0}, {2.0, 4.0}), false},
      {"FullSummary", MCUniStats("x", 6.0, Summary(1.0, 5.0, 2.5, 0.5), {}, {}), true},
      {"NegativeStdDev", MCUniStats("x", 6.0, Summary(kMiss, kMiss, kMiss, -0.1), {}, {}), false},
      {"MinAboveMax", MCUniStats("x", 6.0, Summary(5.0, 1.0, kMiss, kMiss), {}, {}), false},
      {"MeanOutsideRange", MCUniStats("x", 6.0, Summary(1.0, kMiss, 0.5, kMiss), {}, {}), false},
      {"NaNMean", MCUniStats("x", 6.0, Summary(kMiss, kMiss, kNaN, kMiss), {}, {}), false}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.stats.IsValid(), c.valid) << c.name;
    EXPECT_EQ(MCUniStats(c.stats).IsValid(), c.valid) << c.name;
  }
}

}  // namespace

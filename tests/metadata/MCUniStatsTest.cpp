#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

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

struct ValidityCase {
  const char* name;
  MCUniStats stats;
  bool valid;
};

class UniStatsValidityTest : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(UniStatsValidityTest, FollowsTheExportRules) {
  EXPECT_EQ(GetParam().stats.IsValid(), GetParam().valid);
  const MCUniStats copy(GetParam().stats);
  EXPECT_EQ(copy.IsValid(), GetParam().valid);
}

const MCUniStats::SummStats kNone;

INSTANTIATE_TEST_SUITE_P(
    Rules, UniStatsValidityTest,
    ::testing::Values(
        ValidityCase{"Default", MCUniStats(), false},
        ValidityCase{"Categorical", MCUniStats("c", 5.0, {2.0, 0.0, 3.0}), true},
        ValidityCase{"NegativeCases", MCUniStats("c", -1.0, {}), false},
        ValidityCase{"NegativeFrequency", MCUniStats("c", 5.0, {6.0, -1.0}), false},
        ValidityCase{"MissingFrequency", MCUniStats("c", 5.0, {kMiss}), false},
        ValidityCase{"InfiniteCases", MCUniStats("c", kInf, {}), false},
        ValidityCase{"InfiniteFrequency", MCUniStats("c", 5.0, {kInf}), false},
        ValidityCase{"InfiniteCut", MCUniStats("x", 6.0, kNone, {0.0, kInf}, {6.0}), false},
        ValidityCase{"InfiniteMaximum", MCUniStats("x", 6.0, Summary(0.0, kInf, 1.0, 1.0), {}, {}),
                     false},
        ValidityCase{"InfiniteStdDev",
                     MCUniStats("x", 6.0, Summary(kMiss, kMiss, kMiss, kInf), {}, {}), false},
        ValidityCase{"ContinuousPlain", MCUniStats("x", 3.0, kNone, {}, {}), true},
        ValidityCase{"CutsWithoutFrequencies", MCUniStats("x", 3.0, kNone, {1.0, 2.0}, {}), false},
        ValidityCase{"OneCutTooMany", MCUniStats("x", 3.0, kNone, {1.0, 2.0, 3.0}, {3.0}), false},
        ValidityCase{"OpenEnds", MCUniStats("x", 6.0, kNone, {kMiss, 0.0, kMiss}, {2.0, 4.0}),
                     true},
        ValidityCase{"MissingInside", MCUniStats("x", 6.0, kNone, {0.0, kMiss, 2.0}, {2.0, 4.0}),
                     false},
        ValidityCase{"EqualCuts", MCUniStats("x", 6.0, kNone, {0.0, 1.0, 1.0}, {2.0, 4.0}), false},
        ValidityCase{"FallingCuts", MCUniStats("x", 6.0, kNone, {kMiss, 2.0, 1.0}, {2.0, 4.0}),
                     false},
        ValidityCase{"FullSummary", MCUniStats("x", 6.0, Summary(1.0, 5.0, 2.5, 0.5), {}, {}),
                     true},
        ValidityCase{"NegativeStdDev",
                     MCUniStats("x", 6.0, Summary(kMiss, kMiss, kMiss, -0.1), {}, {}), false},
        ValidityCase{"MinAboveMax", MCUniStats("x", 6.0, Summary(5.0, 1.0, kMiss, kMiss), {}, {}),
                     false},
        ValidityCase{"MeanOutsideRange",
                     MCUniStats("x", 6.0, Summary(1.0, kMiss, 0.5, kMiss), {}, {}), false},
        ValidityCase{"NaNMean", MCUniStats("x", 6.0, Summary(kMiss, kMiss, kNaN, kMiss), {}, {}),
                     false}),
    [](const ::testing::TestParamInfo<ValidityCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace

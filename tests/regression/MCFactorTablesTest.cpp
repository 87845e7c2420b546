#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MCFactorTables.h"
#include "MCMV.h"
#include "RegTestSupport.h"

namespace {

using regtest::MakeRecord;

// Factor tables as the linear model sets them up: no counted dependent, base 0, no offset.
MCFactorTables LinearTables(const std::vector<int>& factors, const std::vector<int>& sizes,
                            int freqWeight = -1) {
  return MCFactorTables(factors, sizes, freqWeight, -1, 0, 0, -1, 0.0, MCConst::kNoOffset);
}

TEST(MCFactorCountsTest, OutOfRangeCodesAreNotCountedButEarlierFactorsAre) {
  // Factor A at 0 (3 categories), factor B at 1 (2 categories), frequency weight at 2.
  MCFactorCounts counts({0, 1}, {3, 2}, 2, -1, 0, 0, -1, 0.0, MCConst::kNoOffset);
  EXPECT_TRUE(counts.Update(MakeRecord({2, 1, 2.5})));
  EXPECT_FALSE(counts.Update(MakeRecord({1, 2, 1.0})));  // B = 2 equals its size
  EXPECT_FALSE(counts.Update(MakeRecord({3, 0, 4.0})));  // A = 3 equals its size, B counted
  EXPECT_FALSE(counts.Update(MakeRecord({0, 0})));       // too short to hold the weight
  EXPECT_EQ(*counts.GetCountsPtr(0), (MCFactorCounts::CountList{{0, 0}, {1.0, 1}, {2.5, 1}}));
  EXPECT_EQ(*counts.GetCountsPtr(1), (MCFactorCounts::CountList{{4.0, 1}, {2.5, 1}}));
  EXPECT_EQ(counts.GetNActiveCategories(0), 2);
  EXPECT_EQ(counts.GetNCategories(2), -1);
  EXPECT_EQ(counts.GetNActiveCategories(-1), -1);
  EXPECT_EQ(counts.GetCountsPtr(2), nullptr);
  EXPECT_EQ(counts.GetDependCountsPtr(), nullptr);
}

class DependentCountsTest
    : public ::testing::TestWithParam<std::pair<MCConst::MCOffsetType, double>> {};

// Dependent at 0 with 3 categories coded 1..3, frequency weight at 1, offset variable at 2; the
// parameter's second value is the offset sum of code 2 after both records.
TEST_P(DependentCountsTest, CountsTheDependentWithItsOffset) {
  MCFactorCounts counts({}, {}, 1, 0, 3, 1, 2, 0.5, GetParam().first);
  EXPECT_TRUE(counts.Update(MakeRecord({2, 2.0, 3.0})));
  EXPECT_TRUE(counts.Update(MakeRecord({2, 1.0, -1.0})));
  EXPECT_FALSE(counts.Update(MakeRecord({4, 1.0, 0.0})));
  EXPECT_FALSE(counts.Update(MakeRecord({0, 1.0, 0.0})));
  ASSERT_NE(counts.GetDependCountsPtr(), nullptr);
  EXPECT_EQ((*counts.GetDependCountsPtr())[1], (MCFactorCounts::CountPair{3.0, 2.0}));
  EXPECT_EQ((*counts.GetDependCountsPtr())[0], (MCFactorCounts::CountPair{0.0, 0.0}));
  EXPECT_EQ((*counts.GetDepCountsWithOffsetPtr())[1],
            (MCFactorCounts::CountPair{GetParam().second, 3.0}));
}

INSTANTIATE_TEST_SUITE_P(Offsets, DependentCountsTest,
                         ::testing::Values(std::make_pair(MCConst::kNoOffset, 0.0),
                                           std::make_pair(MCConst::kOffsetVariable, 5.0),
                                           std::make_pair(MCConst::kOffsetValue, 1.5)));

// Factors A (position 0) and B (position 1), two categories each; covariate x at 2.
// Effects: intercept, A, x (no factors), A*B; cells (0, 1), (1, 0), (0, 0) occur.
class InteractionTest : public ::testing::Test {
 protected:
  InteractionTest() : fTables(LinearTables({0, 1}, {2, 2})) {
    EXPECT_TRUE(fTables.SetModelEffectFactors({{}, {0}, {}, {0, 1}}, {0, 1}));
    fTables.SetCovariates({2});
    for (const std::vector<double>& r : regtest::Rows{{0, 1, 1}, {1, 0, 2}, {0, 0, 3}, {0, 1, 4}}) {
      EXPECT_TRUE(fTables.UpdateAll(MakeRecord(r)));
    }
    fNParameters = fTables.CreateParameterIndices();
  }
  MCFactorTables fTables;
  int fNParameters = 0;
};

TEST_F(InteractionTest, OnlyOccurringCellsBecomeParametersInKeyOrder) {
  EXPECT_EQ(fNParameters, 1 + 2 + 1 + 3);
  EXPECT_EQ(fTables.GetParameterOffsets(), (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(fTables.GetNEffectParameters(3), 3);
  EXPECT_EQ(fTables.GetNEffectParameters(4), 0);
  const std::vector<std::vector<int>> cells = {{0, 0}, {0, 1}, {1, 0}};
  std::vector<int> categories = {9};
  for (int k = 0; k < 3; ++k) {
    ASSERT_TRUE(fTables.GetParameterFactorValues(categories, 3, k));
    EXPECT_EQ(categories, cells[k]);
    EXPECT_EQ(fTables.GetEffectParameterIndex(3, cells[k]), 4 + k);
  }
  EXPECT_FALSE(fTables.GetParameterFactorValues(categories, 3, 3));
  EXPECT_FALSE(fTables.GetParameterFactorValues(categories, 5, 0));
  ASSERT_TRUE(fTables.GetParameterFactorValues(categories, 2, 0));
  EXPECT_TRUE(categories.empty());
  EXPECT_EQ(fTables.GetEffectParameterIndex(3, {1, 1}), -1);
  EXPECT_EQ(fTables.GetEffectParameterIndex(1, {1}), 2);
  EXPECT_EQ(fTables.GetEffectParameterIndex(2, {}), 3);
  EXPECT_EQ(fTables.GetModelEffectIndices(), (std::vector<int>{1, 3}));
  EXPECT_EQ(fTables.GetLocalEffectIndices(), (std::vector<int>{-1, 0, -1, 1}));
}

TEST_F(InteractionTest, RowLookupsGiveGlobalAndLocalIndices) {
  bool ok = false;
  const double row[] = {1.0, 0.0, 5.0}, emptyCell[] = {1.0, 1.0, 5.0}, outside[] = {2.0, 0, 5};
  EXPECT_EQ(fTables.GetRowParameterIndices(row, ok), (std::vector<int>{0, 2, 3, 6}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(fTables.GetRowLocalParamIndices(row, ok), (std::vector<int>{1, 2}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(fTables.GetIncompleteEffectIndex(row), -1);
  EXPECT_EQ(fTables.GetRowParameterIndices(emptyCell, ok), (std::vector<int>{0, 2, 3, -1}));
  EXPECT_FALSE(ok);
  EXPECT_EQ(fTables.GetIncompleteEffectIndex(emptyCell), 3);
  fTables.GetRowParameterIndices(outside, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(fTables.GetIncompleteEffectIndex(outside), 1);
  std::vector<int> indices;
  EXPECT_TRUE(fTables.GetParameterIndices({0, 1}, indices));
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 3, 5}));
  EXPECT_FALSE(fTables.GetParameterIndices({1, 1}, indices));
  EXPECT_EQ(indices[3], -1);
}

TEST(MCFactorTablesTest, WeightedMeansMatchADirectWeightedAverage) {
  // Frequency weight at 2, regression weight at 3, covariates at 1 and 4.
  MCFactorTables tables = LinearTables({0}, {3}, 2);
  tables.SetRegrWeightVar(3);
  ASSERT_TRUE(tables.SetModelEffectFactors({{0}}, {0}));
  tables.SetCovariates({1, 4});
  double sw = 0.0, swx = 0.0, swz = 0.0, sf = 0.0;
  for (int i = 0; i < 40; ++i) {
    const double x = std::sin(1.0 + i) * 100.0, z = 1e6 + 0.25 * i;
    const double f = 1 + i % 3, r = 0.5 + 0.125 * (i % 5);
    ASSERT_TRUE(tables.UpdateAll(MakeRecord({double(i % 3), x, f, r, z})));
    sf += f, sw += f * r, swx += f * r * x, swz += f * r * z;
  }
  EXPECT_EQ(tables.GetTotalWeight(), sf);
  EXPECT_DOUBLE_EQ(tables.GetTotalRegrWeight(), sw);
  const std::vector<double>& means = tables.GetCovariateMeans();
  ASSERT_EQ(means.size(), 2u);
  EXPECT_NEAR(means[0], swx / sw, 1e-10);  // the values are of order 100
  EXPECT_NEAR(means[1], swz / sw, 1e-12 * (swz / sw));
  EXPECT_EQ((*tables.GetCountsPtr(0))[1], (MCFactorCounts::CountPair{26.0, 13.0}));
}

TEST(MCFactorTablesTest, MeansAreMissingWhenEveryRegressionWeightIsZero) {
  MCFactorTables tables = LinearTables({}, {});
  tables.SetRegrWeightVar(1);
  ASSERT_TRUE(tables.SetModelEffectFactors({{}}, {}));
  tables.SetCovariates({0, 2});
  ASSERT_TRUE(tables.UpdateAll(MakeRecord({3.0, 0.0, 4.0})));
  ASSERT_TRUE(tables.UpdateAll(MakeRecord({5.0, 0.0, 6.0})));
  EXPECT_EQ(tables.GetTotalWeight(), 2.0);
  EXPECT_EQ(tables.GetCovariateMeans(), std::vector<double>(2, MCMV::Missing()));
}

TEST(MCFactorTablesTest, NestedOrderAndCategoryBaseAreKept) {
  // B (position 1) listed before A (position 0), as a parameter of B within A lists them.
  MCFactorTables tables = LinearTables({0, 1}, {2, 2});
  ASSERT_TRUE(tables.SetModelEffectFactors({{1, 0}}, {0, 1}));
  ASSERT_TRUE(tables.UpdateAll(MakeRecord({0, 1})));
  ASSERT_TRUE(tables.UpdateAll(MakeRecord({1, 0})));
  EXPECT_EQ(tables.CreateParameterIndices(), 2);
  std::vector<int> categories;
  ASSERT_TRUE(tables.GetParameterFactorValues(categories, 0, 0));
  EXPECT_EQ(categories, (std::vector<int>{0, 1}));  // B = 0, A = 1
  EXPECT_EQ(tables.GetEffectParameterIndex(0, {1, 0}), 1);
  // Base 1: codes 1..3 are indices 0..2, code 0 is out of range.
  MCFactorTables based({0}, {3}, -1, -1, 0, 1, -1, 0.0, MCConst::kNoOffset);
  ASSERT_TRUE(based.SetModelEffectFactors({{0}}, {0}));
  EXPECT_FALSE(based.UpdateAll(MakeRecord({0})));
  ASSERT_TRUE(based.UpdateAll(MakeRecord({3})));
  ASSERT_TRUE(based.UpdateAll(MakeRecord({1})));
  EXPECT_EQ(based.CreateParameterIndices(), 2);
  ASSERT_TRUE(based.GetParameterFactorValues(categories, 0, 1));
  EXPECT_EQ(categories, std::vector<int>{3});
  EXPECT_EQ(based.GetEffectParameterIndex(0, {1}), 0);
}

TEST(MCFactorTablesTest, UnknownEffectFactorIsRefused) {
  MCFactorTables tables = LinearTables({0, 3}, {2, 2});
  EXPECT_FALSE(tables.SetModelEffectFactors({{}, {2}}, {0, 3}));
  EXPECT_EQ(tables.GetNModelEffects(), 0);
  EXPECT_FALSE(tables.SetModelEffectFactors({{0}}, {3, 0}));
  EXPECT_TRUE(tables.SetModelEffectFactors({{3}}, {0, 3}));
  EXPECT_EQ(tables.GetNEffects(), 1);
}

// The dependent's counts, which fits in parts do not use (MCPartialStatsTest checks the rest).
TEST(MCFactorTablesTest, MergedPartsCountTheDependentAsTheWholeOtherLayoutsDoNotMerge) {
  // Dependent at 0 (3 categories), factor at 1 (3 categories), frequency weight at 2.
  const auto make = [] {
    MCFactorTables tables({1}, {3}, 2, 0, 3, 0, -1, 0.0, MCConst::kNoOffset);
    EXPECT_TRUE(tables.SetModelEffectFactors({{}, {1}}, {1}));
    return tables;
  };
  const std::vector<double> u = regtest::Uniforms(2 * 60, 3);
  MCFactorTables whole = make(), merged = make();
  for (int p = 0; p < 3; ++p) {
    MCFactorTables part = make();
    for (std::size_t i = 2 * p; i < u.size(); i += 6) {
      const MCCommon::Record r = MakeRecord({std::floor(3 * u[i]), std::floor(3 * u[i + 1]), 1.0 + p});
      ASSERT_TRUE(whole.UpdateAll(r) && part.UpdateAll(r));
    }
    ASSERT_TRUE(merged.Merge(part));
  }
  EXPECT_EQ(*merged.GetDependCountsPtr(), *whole.GetDependCountsPtr());
  MCFactorTables copy = whole;
  EXPECT_FALSE(copy.Merge(LinearTables({1}, {3}, 2)));
  EXPECT_EQ(*copy.GetCountsPtr(0), *whole.GetCountsPtr(0));
}

}  // namespace

// Fits where plain double sums lose digits or rank (exact solves: make_exact_slopes.py).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../../bench/LinearBenchModel.h"
#include "MCRegSettings.h"
#include "RegTestSupport.h"

namespace {

// y ~ x with the intercept; columns y, x.
MCRegSettings LineSettings(std::vector<int>& indices) {
  MCRegSettings settings;
  settings.SetDependent(0);
  settings.AddCovariate(1);
  indices = {1};
  MCModelEffect effect(0, 1, &indices);
  effect.AddCovariate(1);
  settings.AddModelEffect(effect);
  return settings;
}

class ExactLineTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ExactLineTest, InterceptAndSlopeAreTheExactSolution) {
  const std::string base = std::string(MCSTAT_FIXTURES_DIR) + "/lm/" + GetParam();
  const regtest::Rows rows = regtest::ReadCsvRows(base + ".csv");
  const regtest::FixtureFields exact(base + ".exact");
  ASSERT_GT(rows.size(), 100u);
  ASSERT_TRUE(exact.present);

  std::vector<int> indices;
  const regtest::Built b(LineSettings(indices), rows);
  ASSERT_NE(b.stats, nullptr);
  EXPECT_EQ(b.stats->GetRedundancyIndicators().InSet(), 2);
  const std::vector<double>& estimates = b.stats->GetParamEstimates();
  const double intercept = exact.Number("intercept"), slope = exact.Number("slope");
  EXPECT_NEAR(estimates[0], intercept, 1e-12 * std::fabs(intercept));
  EXPECT_NEAR(estimates[1], slope, 1e-12 * std::fabs(slope));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ExactLineTest,
                         ::testing::Values("large_offset", "date_covariate"));

TEST(GLMExactSumsTest, FrequencyWeightsEqualRepeatedRecords) {
  regtest::Rows weighted, repeated;
  for (int i = 1; i <= 300; ++i) {
    const double x = 1e6 + i, y = 0.25 * i + ((i * 37) % 11) / 7.0;
    const int k = 1 + i % 4;
    weighted.push_back({y, x, static_cast<double>(k)});
    for (int c = 0; c < k; ++c) repeated.push_back({y, x, 1.0});
  }
  std::vector<int> indices;
  MCRegSettings settings = LineSettings(indices);
  settings.SetFrequencyWeightVar(2);
  const regtest::Built fa(settings, weighted), fb(settings, repeated);
  ASSERT_NE(fa.stats, nullptr);
  ASSERT_NE(fb.stats, nullptr);
  EXPECT_EQ(fa.stats->GetRedundancyIndicators().InSet(), 2);
  const auto same = [](double u, double v) { EXPECT_NEAR(u, v, 4e-16 * std::fabs(v)); };
  for (int k = 0; k < 2; ++k) {
    same(fa.stats->GetParamEstimates()[k], fb.stats->GetParamEstimates()[k]);
    same(fa.stats->GetCovarianceMatrix()->GetElem(k, k),
         fb.stats->GetCovarianceMatrix()->GetElem(k, k));
  }
  same(fa.stats->GetModelFitStat(MCConst::kRSquare), fb.stats->GetModelFitStat(MCConst::kRSquare));
  same(fa.stats->GetModelFitStat(MCConst::kRMSE), fb.stats->GetModelFitStat(MCConst::kRMSE));
}

// 1 + 9 + 19 + 49 + 8 + 9 x 19 non-redundant parameters: every A*B cell of the last level of
// A or B is aliased exactly, and exact sums leave their pivots at rounding size.
TEST(GLMExactSumsTest, BenchmarkModelHasTheRankOfItsDesign) {
  regtest::Rows rows(300000, std::vector<double>(linbench::kNValues));
  linbench::RecordMaker maker;
  for (std::vector<double>& row : rows) maker.Next(row.data());
  std::vector<int> indices;
  const regtest::Built b(linbench::MakeSettings(indices), rows);
  ASSERT_NE(b.stats, nullptr);
  const MCCommonMath::MCBitSet& kept = b.stats->GetRedundancyIndicators();
  EXPECT_EQ(kept.InSet(), 257);
  // Cells in (A, B) order after the intercept, A (10), B (20), C (50) and x1..x8.
  for (int cell = 0; cell < 200; ++cell) {
    const int a = cell / 20, bLevel = cell % 20;
    EXPECT_EQ(kept.IsIn(89 + cell), a < 9 && bLevel < 19) << "cell " << cell;
  }
  for (int last : {10, 30, 80}) EXPECT_FALSE(kept.IsIn(last));
}

}  // namespace

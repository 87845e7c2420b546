// The linear component on small data.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "../../src/regression/MCGLMAlgorithm.h"
#include "MCMV.h"
#include "MCRegFactory.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;
using regtest::Built;
using regtest::kA;
using regtest::kX;
using regtest::kX2;
using regtest::Linear;
using regtest::MemoryRecords;
using regtest::Rows;

// y = 2 + 3x on x = 0..9 (A = 0, x2 = x squared, weight 1).
Rows ExactLine() {
  Rows rows;
  for (int i = 0; i < 10; ++i) rows.push_back({2.0 + 3.0 * i, 0, double(i), double(i * i), 1});
  return rows;
}

TEST(MCGLMComponentTest, ExactLineGivesTwoAndThree) {
  Built fit(Linear({kX}), ExactLine());
  ASSERT_NE(fit.stats, nullptr);
  EXPECT_EQ(fit.data.Passes(), 3);
  EXPECT_TRUE(MCMV::IsMissing(fit.stats->GetModelFitStat(MCConst::kCoxSnellRSquare)));
  EXPECT_EQ(fit.stats->GetMeanValues(), (std::vector<double>{4.5, 28.5, 15.5}));  // x, x2, y
  EXPECT_EQ(fit.stats->GetNDegFreedom(), 8.0);
  EXPECT_NEAR(fit.Predict({MCMV::Missing(), 0, 20.0, 0, 1}), 62.0, 1e-10);
  EXPECT_TRUE(fit.scored.IsOK());
  // A level that never occurred scores as the missing value.
  EXPECT_TRUE(MCMV::IsMissing(Built(Linear({kA}), ExactLine()).Predict({0, 2, 1.0, 0, 1})));
  // Given degrees of freedom replace weight minus parameters.
  MCRegSettings s = Linear({kX, kX2});
  s.SetDF(4.5);
  EXPECT_EQ(Built(s, ExactLine()).stats->GetNDegFreedom(), 4.5);
}

TEST(MCGLMStatusTest, FactoryRefusesSettingsWithoutADependent301) {
  MCRegFactory factory;
  MCRegSettings none, linearSettings = Linear({kX});
  EXPECT_EQ(factory.CreateRegAlgorithm(none), nullptr);
  EXPECT_EQ(factory.GetStatus().GetErrorCode(), 301);
  std::unique_ptr<IMCRegComponent> linear(factory.CreateRegAlgorithm(linearSettings));
  EXPECT_TRUE(linear != nullptr && factory.GetStatus().IsOK());
}

TEST(MCGLMStatusTest, TooManyParametersGive305BeforeAnyMatrix) {
  const int levels = 23170;  // 23170 occurring levels plus the intercept
  MCRegSettings settings = regtest::OneFactor<MCRegSettings>(levels);
  Rows rows;
  for (int i = 0; i < levels; ++i) rows.push_back({0.5 * i, double(i)});
  MCGLMAlgorithm algorithm(&settings);
  MemoryRecords data(rows);
  ASSERT_TRUE(algorithm.ProcessData(data).IsOK());
  const MCStatus status = algorithm.SetupParameters();
  EXPECT_EQ(status.GetErrorCode(), 305);
  EXPECT_EQ(status.GetDiscreteDatum(0), levels + 1);
  EXPECT_EQ(status.GetDiscreteDatum(1), 23169);
  EXPECT_EQ(algorithm.GetModel().GetZPrimeZ(), nullptr);
  EXPECT_FALSE(algorithm.AreParametersReady());
}

}  // namespace

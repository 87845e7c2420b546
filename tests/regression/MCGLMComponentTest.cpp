#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "../../src/regression/MCGLMAlgorithm.h"
#include "GLMTestSupport.h"
#include "MCGLMComponent.h"
#include "MCGLMOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegFactory.h"

namespace {

using glmtest::CancelAfter;
using glmtest::MemoryRecords;
using MCCommon::MCStatus;
using MCCommon::Record;
using Rows = std::vector<std::vector<double>>;

// Record layout of the small models: y at 0, factor A at 1, covariates x at 2 and x2 at 3,
// frequency weight at 4.
constexpr int kY = 0, kA = 1, kX = 2, kX2 = 3, kF = 4;

// y = dependent; the listed effects over factor A (size aSize) and covariates x, x2.
class Model {
 public:
  explicit Model(int aSize = 3) {
    settings.SetDependent(kY);
    settings.AddFactor(kA, aSize);
    settings.AddCovariate(kX);
    settings.AddCovariate(kX2);
    indices = {kA, kX, kX2};
  }
  Model& Factor() {
    MCModelEffect e(1, 2, &indices);
    e.AddNewFactor(kA, false);
    settings.AddModelEffect(e);
    return *this;
  }
  Model& Cov(int position) {
    MCModelEffect e(1, 2, &indices);
    e.AddCovariate(position);
    settings.AddModelEffect(e);
    return *this;
  }
  Model& FreqWeight() {
    settings.SetFrequencyWeightVar(kF);
    return *this;
  }

  std::vector<int> indices;
  MCRegSettings settings;
};

Record MakeRecord(const std::vector<double>& v) {
  Record r(static_cast<int>(v.size()));
  for (int i = 0; i < r.Size(); ++i) r[i] = v[i];
  return r;
}

// y = 2 + 3x on x = 0..9 (A = 0, x2 = x squared, weight 1).
Rows ExactLine() {
  Rows rows;
  for (int i = 0; i < 10; ++i) rows.push_back({2.0 + 3.0 * i, 0, double(i), double(i * i), 1});
  return rows;
}

// A noisy data set with three levels of A.
Rows Noisy(int n = 30) {
  Rows rows;
  for (int i = 0; i < n; ++i) {
    const double x = 0.37 * i - 2.0;
    const double a = i % 3;
    const double y = 1.0 + 0.5 * a + 2.0 * x + 0.1 * std::sin(7.0 * i);
    rows.push_back({y, a, x, std::cos(1.3 * i), 1.0 + i % 2});
  }
  return rows;
}

IMCRegOutputStats* Stats(MCGLMComponent& c) {
  IMCRegOutputStats* stats = nullptr;
  EXPECT_FALSE(c.GetOutputStats(stats).IsError());
  return stats;
}

// ----------------------------------------------------------------------------------------
// Fits

TEST(MCGLMComponentTest, ExactLineGivesTwoAndThree) {
  Model m;
  m.Cov(kX);
  MCGLMComponent c(m.settings);
  MemoryRecords data(ExactLine());
  ASSERT_TRUE(c.BuildModel(data).IsOK());
  EXPECT_EQ(data.Passes(), 3);
  IMCRegOutputStats* s = Stats(c);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->GetParamEstimates().size(), 2u);
  EXPECT_NEAR(s->GetParamEstimates()[0], 2.0, 1e-12);
  EXPECT_NEAR(s->GetParamEstimates()[1], 3.0, 1e-12);
  EXPECT_NEAR(s->GetModelFitStat(MCConst::kRSquare), 1.0, 1e-14);
  EXPECT_NEAR(s->GetModelFitStat(MCConst::kRMSE), 0.0, 1e-12);
  EXPECT_TRUE(MCMV::IsMissing(s->GetModelFitStat(MCConst::kCoxSnellRSquare)));
  // Means: x, x2, then y.
  const std::vector<double> means = {4.5, 28.5, 15.5};
  EXPECT_EQ(s->GetMeanValues(), means);
  double prediction = 0.0;
  std::vector<double> unused;
  ASSERT_TRUE(c.Score(MakeRecord({MCMV::Missing(), 0, 20.0, 0, 1}), prediction, unused).IsOK());
  EXPECT_NEAR(prediction, 62.0, 1e-10);
}

TEST(MCGLMComponentTest, DegreesOfFreedomAreWeightMinusParametersUnlessGiven) {
  Model m;
  m.Cov(kX).Cov(kX2);  // 3 parameters with the intercept
  MCGLMComponent c(m.settings);
  MemoryRecords data(ExactLine());
  ASSERT_FALSE(c.BuildModel(data).IsError());
  EXPECT_EQ(Stats(c)->GetNDegFreedom(), 7.0);

  m.settings.SetDF(4.5);
  MCGLMComponent given(m.settings);
  MemoryRecords again(ExactLine());
  ASSERT_FALSE(given.BuildModel(again).IsError());
  EXPECT_EQ(Stats(given)->GetNDegFreedom(), 4.5);
}

TEST(MCGLMComponentTest, FrequencyWeightsOfTwoEqualUnitWeights) {
  Rows unit = Noisy();
  Rows doubled = unit;
  for (auto& r : unit) r[kF] = 1;
  for (auto& r : doubled) r[kF] = 2;
  Model m1, m2;
  m1.Factor().Cov(kX).FreqWeight();
  m2.Factor().Cov(kX).FreqWeight();
  MCGLMComponent c1(m1.settings), c2(m2.settings);
  MemoryRecords d1(unit), d2(doubled);
  ASSERT_TRUE(c1.BuildModel(d1).IsOK());
  ASSERT_TRUE(c2.BuildModel(d2).IsOK());
  IMCRegOutputStats* s1 = Stats(c1);
  IMCRegOutputStats* s2 = Stats(c2);
  ASSERT_EQ(s1->GetParamEstimates().size(), 5u);
  for (std::size_t k = 0; k < 5; ++k) {
    EXPECT_NEAR(s1->GetParamEstimates()[k], s2->GetParamEstimates()[k], 1e-12);
    // Doubling every record halves the unscaled covariance.
    EXPECT_NEAR(s1->GetCovarianceMatrix()->GetElem(k, k),
                2.0 * s2->GetCovarianceMatrix()->GetElem(k, k), 1e-12);
  }
  EXPECT_EQ(s1->GetRedundancyIndicators(), s2->GetRedundancyIndicators());
  EXPECT_NEAR(s1->GetModelFitStat(MCConst::kRSquare), s2->GetModelFitStat(MCConst::kRSquare),
              1e-13);
  EXPECT_EQ(s2->GetTotalFreqWeight(), 2.0 * s1->GetTotalFreqWeight());
}

TEST(MCGLMComponentTest, DuplicatedCovariateIsRedundantAndLeavesTheFitAlone) {
  Rows rows = Noisy();
  for (auto& r : rows) r[kX2] = r[kX];
  Model one, two;
  one.Cov(kX);
  two.Cov(kX).Cov(kX2);
  MCGLMComponent c1(one.settings), c2(two.settings);
  MemoryRecords d1(rows), d2(rows);
  ASSERT_TRUE(c1.BuildModel(d1).IsOK());
  ASSERT_TRUE(c2.BuildModel(d2).IsOK());
  IMCRegOutputStats* s1 = Stats(c1);
  IMCRegOutputStats* s2 = Stats(c2);
  ASSERT_EQ(s2->GetParamStats().size(), 3u);
  EXPECT_TRUE(s2->GetRedundancyIndicators().IsIn(1));
  EXPECT_FALSE(s2->GetRedundancyIndicators().IsIn(2));  // clear bit: redundant
  EXPECT_EQ(s2->GetParamStats()[2].fNotRedundant, 0);
  EXPECT_EQ(s2->GetParamStats()[1].fNotRedundant, 1);
  EXPECT_EQ(s2->GetParamStats()[2].fEffectIndex, 1);
  EXPECT_EQ(s2->GetParamEstimates()[2], 0.0);
  EXPECT_EQ(s2->GetCovarianceMatrix()->GetElem(2, 2), 0.0);
  EXPECT_NEAR(s2->GetParamEstimates()[1], s1->GetParamEstimates()[1], 1e-12);
  EXPECT_NEAR(s2->GetModelFitStat(MCConst::kRSquare), s1->GetModelFitStat(MCConst::kRSquare),
              1e-13);
  EXPECT_NEAR(s2->GetModelFitStat(MCConst::kRMSE), s1->GetModelFitStat(MCConst::kRMSE), 1e-13);
}

// Records that no pass may use leave the fit as if they were absent: a missing covariate, a
// zero weight, and a factor code equal to the factor size (valid, but never tabulated).
TEST(MCGLMComponentTest, UnusableRecordsAreSkippedInEveryPass) {
  const Rows clean = Noisy();
  Rows dirty = clean;
  dirty.insert(dirty.begin() + 3, {100.0, 1, MCMV::Missing(), 0.0, 1});
  dirty.insert(dirty.begin() + 7, {100.0, 1, 5.0, 0.0, 0});
  dirty.push_back({100.0, 3, 5.0, 0.0, 1});
  Model a, b;
  a.Factor().Cov(kX).FreqWeight();
  b.Factor().Cov(kX).FreqWeight();
  MCGLMComponent c1(a.settings), c2(b.settings);
  MemoryRecords d1(clean), d2(dirty);
  ASSERT_TRUE(c1.BuildModel(d1).IsOK());
  ASSERT_TRUE(c2.BuildModel(d2).IsOK());
  EXPECT_EQ(Stats(c1)->GetParamEstimates(), Stats(c2)->GetParamEstimates());
  EXPECT_EQ(Stats(c1)->GetModelFitStat(MCConst::kRSquare),
            Stats(c2)->GetModelFitStat(MCConst::kRSquare));
  // Scoring a level that never occurred gives the missing value.
  double prediction = 0.0;
  std::vector<double> unused;
  ASSERT_TRUE(c2.Score(MakeRecord({0, 3, 1.0, 0, 1}), prediction, unused).IsOK());
  EXPECT_TRUE(MCMV::IsMissing(prediction));
}

TEST(MCGLMComponentTest, ExpandRowRefusesARecordWithAMissingCovariate) {
  Model m;
  m.Factor().Cov(kX);
  MCGLMComponent c(m.settings);
  MemoryRecords data(Noisy());
  ASSERT_TRUE(c.BuildModel(data).IsOK());
  IMCRegOutputStats* s = Stats(c);
  std::vector<double> row = {7.0};
  EXPECT_FALSE(s->ExpandRow(MakeRecord({1, 2, MCMV::Missing(), 0, 1}), row));
  EXPECT_EQ(row, std::vector<double>{7.0});
  ASSERT_TRUE(s->ExpandRow(MakeRecord({MCMV::Missing(), 2, 1.5, 0, 0}), row));
  const std::vector<double> expected = {1, 0, 0, 1, 1.5};  // intercept, A = 0..2, x
  EXPECT_EQ(row, expected);
}

// The sparse accumulation gives exactly the dense sums over the design rows.
TEST(MCGLMAlgorithmTest, SparseCrossProductsEqualTheDenseUpdate) {
  Model m;
  m.Factor().Cov(kX).Cov(kX2).FreqWeight();
  Rows rows = Noisy(40);
  rows[5][kX] = 0.0;  // a zero design value
  rows[6][kY] = 0.0;  // a zero dependent
  MCGLMAlgorithm algorithm(&m.settings);
  MemoryRecords data(rows);
  ASSERT_TRUE(algorithm.ProcessData(data).IsOK());
  ASSERT_TRUE(algorithm.SetupParameters().IsOK());
  MCGLMModel& model = algorithm.GetModel();
  const double total = algorithm.GetFactorTables().GetTotalWeight();
  model.SetMeanAndTotalWeight(algorithm.GetMeanValues().back(), total);
  MCCommonMath::MCSymMatrix dense(model.GetNParameters() + 1);
  for (const auto& v : rows) {
    const Record r = MakeRecord(v);
    bool added = false;
    ASSERT_TRUE(model.AddToMatrix(r, added).IsOK());
    ASSERT_TRUE(added);
    std::vector<double> z;
    ASSERT_TRUE(model.ExpandRow(r, z));
    z.push_back(v[kY]);
    ASSERT_TRUE(dense.UpdateXX(z, (1.0 / total) * v[kF]));
  }
  EXPECT_EQ(model.GetZPrimeZ()->AsVectorConst(), dense.AsVectorConst());
  EXPECT_EQ(model.GetNRecordsAdded(), 40);
}

// ----------------------------------------------------------------------------------------
// Statuses

TEST(MCGLMStatusTest, SettingsErrors301And302) {
  MCRegSettings none;
  MCRegFactory factory;
  EXPECT_EQ(factory.CreateRegAlgorithm(none), nullptr);
  EXPECT_EQ(factory.GetStatus().GetErrorCode(), 301);
  EXPECT_TRUE(factory.GetStatus().IsError());

  MCRegSettings noEffects;
  noEffects.SetDependent(0);
  noEffects.SetInterceptUse(false);
  MCGLMComponent c(noEffects);
  EXPECT_EQ(c.GetStatus().GetErrorCode(), 302);
  MemoryRecords data(ExactLine());
  EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 302);
  EXPECT_FALSE(c.IsModelBuilt());
  EXPECT_TRUE(c.GetWarnings().empty());
  EXPECT_EQ(data.Passes(), 0);
}

TEST(MCGLMStatusTest, FactoryMakesALinearComponentForLinearSettings) {
  Model m;
  m.Cov(kX);
  MCRegFactory factory;
  std::unique_ptr<IMCRegComponent> c(factory.CreateRegAlgorithm(m.settings));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->GetModelType(), MCConst::kLinearModel);
  EXPECT_TRUE(factory.GetStatus().IsOK());
  // Valid logistic settings give the logistic component.
  MCLogRegSettings logistic;
  logistic.SetDependent(0);
  std::unique_ptr<IMCRegComponent> l(factory.CreateRegAlgorithm(logistic));
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->GetModelType(), MCConst::kLogisticModel);
  EXPECT_TRUE(factory.GetStatus().IsOK());
}

TEST(MCGLMStatusTest, ResidualsBeforeTheSolveGive303) {
  Model m;
  m.Cov(kX);
  MCGLMAlgorithm algorithm(&m.settings);
  MemoryRecords data(ExactLine());
  ASSERT_TRUE(algorithm.ProcessData(data).IsOK());
  ASSERT_TRUE(algorithm.SetupParameters().IsOK());
  EXPECT_EQ(algorithm.GetModel().AddResidual(MakeRecord(ExactLine()[0])).GetErrorCode(), 303);
}

TEST(MCGLMStatusTest, TooManyParametersGive305BeforeAnyMatrix) {
  // 23170 occurring levels plus the intercept.
  const int levels = 23170;
  MCRegSettings settings;
  settings.SetDependent(0);
  settings.AddFactor(1, levels);
  std::vector<int> indices = {1};
  MCModelEffect effect(1, 0, &indices);
  effect.AddNewFactor(1, false);
  settings.AddModelEffect(effect);
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

  MCGLMComponent c(settings);
  MemoryRecords again(rows);
  EXPECT_EQ(c.BuildModel(again).GetErrorCode(), 305);
  EXPECT_EQ(c.GetStatus().GetErrorCode(), 305);
}

TEST(MCGLMStatusTest, SecondCreateParametersGives306AndTheBuildStillWorks) {
  Model m;
  m.Factor();
  MCGLMComponent c(m.settings);
  MemoryRecords data(Noisy());
  std::vector<MCRegrParameter> parameters;
  ASSERT_TRUE(c.CreateParameters(data, parameters).IsOK());
  ASSERT_EQ(parameters.size(), 4u);  // intercept and A = 0, 1, 2
  EXPECT_EQ(parameters[3].GetCategories(), std::vector<int>{2});
  EXPECT_EQ(parameters[3].GetEffectIndex(), 0);
  std::vector<MCRegrParameter> second;
  EXPECT_EQ(c.CreateParameters(data, second).GetErrorCode(), 306);
  EXPECT_TRUE(second.empty());
  EXPECT_TRUE(c.GetStatus().IsOK());
  EXPECT_TRUE(c.BuildModel(data).IsOK());
  EXPECT_EQ(c.CreateParameters(data, second).GetErrorCode(), 306);
  EXPECT_TRUE(c.IsModelBuilt());
}

struct EmptyCase {
  const char* name;
  Rows rows;
};

class NoValidRecordTest : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(NoValidRecordTest, Gives307) {
  Model m;
  m.Cov(kX);
  MCGLMComponent c(m.settings);
  MemoryRecords data(GetParam().rows);
  EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 307);
  EXPECT_EQ(c.GetStatus().GetErrorCode(), 307);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoValidRecordTest,
    ::testing::Values(EmptyCase{"NoRecords", {}},
                      EmptyCase{"OnlyMissing",
                                {{1, 0, MCMV::Missing(), 0, 1}, {MCMV::Missing(), 0, 1, 0, 1}}}),
    [](const ::testing::TestParamInfo<EmptyCase>& info) { return std::string(info.param.name); });

// A host whose records cannot be read again after `passes` passes.
struct PassLimitCase {
  int passes;
  long expected;
};

class PassLimitTest : public ::testing::TestWithParam<PassLimitCase> {};

TEST_P(PassLimitTest, MissingPassesGiveTheirStatus) {
  Model m;
  m.Cov(kX);
  MCGLMComponent c(m.settings);
  MemoryRecords data(ExactLine());
  data.SetMaxPasses(GetParam().passes);
  EXPECT_EQ(c.BuildModel(data).GetErrorCode(), GetParam().expected);
  EXPECT_FALSE(c.IsModelBuilt());
}

// Only the first pass: nothing reaches the matrix (309). Two passes: no residual (308).
INSTANTIATE_TEST_SUITE_P(Cases, PassLimitTest,
                         ::testing::Values(PassLimitCase{1, 309}, PassLimitCase{2, 308}));

TEST(MCGLMStatusTest, SecondBuildGives310AndKeepsTheModel) {
  Model m;
  m.Factor().Cov(kX);
  MCGLMComponent c(m.settings);
  MemoryRecords data(Noisy());
  ASSERT_TRUE(c.BuildModel(data).IsOK());
  const std::vector<double> first = Stats(c)->GetParamEstimates();
  const MCStatus again = c.BuildModel(data);
  EXPECT_EQ(again.GetErrorCode(), 310);
  EXPECT_TRUE(again.IsError());
  EXPECT_TRUE(c.GetStatus().IsOK());
  EXPECT_TRUE(c.IsModelBuilt());
  EXPECT_EQ(Stats(c)->GetParamEstimates(), first);
}

TEST(MCGLMStatusTest, NoModelYetGives311) {
  Model m;
  m.Cov(kX);
  MCGLMComponent c(m.settings);
  IMCRegOutputStats* stats = reinterpret_cast<IMCRegOutputStats*>(&m);
  IMCRegOutputStats* const before = stats;
  EXPECT_EQ(c.GetOutputStats(stats).GetErrorCode(), 311);
  EXPECT_EQ(stats, before);
  double prediction = 0.0;
  std::vector<double> unused;
  EXPECT_EQ(c.Score(MakeRecord({0, 0, 1, 0, 1}), prediction, unused).GetErrorCode(), 311);
  EXPECT_TRUE(c.GetStatus().IsOK());
}

TEST(MCGLMStatusTest, NullRecordGives312) {
  Model m;
  m.Cov(kX);
  MCGLMComponent c(m.settings);
  MemoryRecords data(ExactLine());
  data.SetNullAt(4);
  EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 312);
}

TEST(MCGLMStatusTest, RowThatCannotBeAddedGives313) {
  // Frequency weights so large that their total overflows: every record weight becomes 0,
  // which the matrix refuses.
  Rows rows = Noisy(5);
  for (auto& r : rows) r[kF] = 1e308;
  Model m;
  m.Cov(kX).FreqWeight();
  MCGLMComponent c(m.settings);
  MemoryRecords data(rows);
  EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 313);
}

TEST(MCGLMStatusTest, ShortRecordGives315) {
  Rows rows = ExactLine();
  rows[2] = {1.0, 0.0, 2.0};  // 3 values against 5 roles
  Model m;
  m.Cov(kX).FreqWeight();
  MCGLMComponent c(m.settings);
  MemoryRecords data(rows);
  EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 315);
  ASSERT_EQ(c.GetWarnings().size(), 1u);
  EXPECT_EQ(c.GetWarnings()[0].GetErrorCode(), 315);
}

// The first error stays: every later step returns it, whatever the step.
TEST(MCGLMStatusTest, BadFactorCodeGives316AndStays) {
  Rows rows = Noisy();
  rows[6][kA] = 2.5;
  Model m;
  m.Factor();
  MCGLMComponent c(m.settings);
  MemoryRecords data(rows);
  const MCStatus status = c.BuildModel(data);
  EXPECT_EQ(status.GetErrorCode(), 316);
  EXPECT_EQ(status.GetDiscreteDatum(1), kA);
  EXPECT_EQ(status.GetScaleDatum(1), 2.5);
  EXPECT_EQ(c.GetStatus(), status);
  std::vector<MCRegrParameter> parameters;
  EXPECT_EQ(c.CreateParameters(data, parameters), status);
  EXPECT_EQ(c.BuildModel(data), status);
  IMCRegOutputStats* stats = nullptr;
  EXPECT_EQ(c.GetOutputStats(stats), status);
  EXPECT_EQ(stats, nullptr);
  double prediction = 0.0;
  std::vector<double> unused;
  EXPECT_EQ(c.Score(MakeRecord(Noisy()[0]), prediction, unused), status);
  EXPECT_FALSE(c.IsModelBuilt());
}

// A host that answers yes after k records stops the build in the pass where that happens.
class CancelTest : public ::testing::TestWithParam<int> {};

TEST_P(CancelTest, CancelQueryGives1) {
  Model m;
  m.Cov(kX);
  MemoryRecords data(ExactLine());
  CancelAfter query(&data, GetParam());
  m.settings.SetCancelPointer(&query);
  MCGLMComponent c(m.settings);
  const MCStatus status = c.BuildModel(data);
  EXPECT_EQ(status.GetErrorCode(), 1);
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(data.Delivered(), GetParam());
  EXPECT_FALSE(c.IsModelBuilt());
  std::vector<MCRegrParameter> parameters;
  EXPECT_EQ(c.CreateParameters(data, parameters).GetErrorCode(), 1);
}

// In the first, the second and the third pass.
INSTANTIATE_TEST_SUITE_P(Passes, CancelTest, ::testing::Values(3, 14, 27));

TEST(MCGLMStatusTest, CancelBeforeTheBuildAndAfterIt) {
  Model m;
  m.Cov(kX);
  MCGLMComponent before(m.settings);
  before.Cancel();
  MemoryRecords data(ExactLine());
  EXPECT_EQ(before.BuildModel(data).GetErrorCode(), 1);
  EXPECT_EQ(data.Delivered(), 0);

  MCGLMComponent after(m.settings);
  ASSERT_TRUE(after.BuildModel(data).IsOK());
  Stats(after)->Cancel();
  double prediction = 0.0;
  std::vector<double> unused;
  EXPECT_EQ(after.Score(MakeRecord(ExactLine()[0]), prediction, unused).GetErrorCode(), 1);
}

// ----------------------------------------------------------------------------------------
// Logistic settings

TEST(MCLogRegSettingsTest, Defaults) {
  const MCLogRegSettings s;
  EXPECT_EQ(s.GetDependentNCategs(), 2);
  EXPECT_EQ(s.GetDependentRefCateg(), -1);
  EXPECT_EQ(s.GetLLConCriterion(), 0.0);
  EXPECT_EQ(s.GetParamEstConCriterion(), 1e-6);
  EXPECT_EQ(s.GetMaxIterations(), 100);
  EXPECT_EQ(s.GetMaxStepHalvingValue(), 5);
  EXPECT_EQ(s.GetStartingIteration(), 20);
  EXPECT_FALSE(s.GetLLFuncChange());
  EXPECT_FALSE(s.GetParamEstChange());
  EXPECT_FALSE(s.GetUsePatternTabulator());
  EXPECT_EQ(s.GetIterationFrequency(), 1);
  EXPECT_EQ(s.GetModelType(), MCConst::kLogisticModel);
  const MCRegSettings& base = s;
  EXPECT_EQ(base.GetModelType(), MCConst::kLogisticModel);
  EXPECT_EQ(base.IsValidSettings().GetErrorCode(), 301);
}

TEST(MCLogRegSettingsTest, SettersRefuseBadValuesAndChangeNothing) {
  MCLogRegSettings s;
  EXPECT_TRUE(s.SetDependentRefCat(-2, 2));
  EXPECT_TRUE(s.SetDependentRefCat(1, 2));
  EXPECT_FALSE(s.SetDependentRefCat(2, 2));
  EXPECT_FALSE(s.SetDependentRefCat(-3, 5));
  EXPECT_FALSE(s.SetDependentRefCat(0, 1));
  EXPECT_EQ(s.GetDependentRefCateg(), 1);
  EXPECT_EQ(s.GetDependentNCategs(), 2);
  EXPECT_TRUE(s.SetMaxIterations(0));
  EXPECT_TRUE(s.SetStartingIteration(0));
  EXPECT_FALSE(s.SetMaxStepHalvingValue(0));
  EXPECT_FALSE(s.SetIterationFrequency(0));
  EXPECT_TRUE(s.SetLLConCriterion(0.0));
  EXPECT_FALSE(s.SetLLConCriterion(-1e-12));
  EXPECT_FALSE(s.SetParamEstConCriterion(std::nan("")));
  EXPECT_FALSE(s.SetMaxIterations(-1));
  EXPECT_EQ(s.GetMaxIterations(), 0);
  EXPECT_EQ(s.GetMaxStepHalvingValue(), 5);
  EXPECT_EQ(s.GetIterationFrequency(), 1);
  EXPECT_EQ(s.GetParamEstConCriterion(), 1e-6);
}

TEST(MCLogRegSettingsTest, CopiesCarryEveryField) {
  MCLogRegSettings s;
  s.SetDependent(3);
  s.SetUsePatternTabulator(true);
  s.SetDependentRefCat(0, 4);
  s.SetParamEstChange(true);
  s.SetIterationFrequency(7);
  const MCLogRegSettings copy(s);
  MCLogRegSettings assigned;
  assigned = s;
  for (const MCLogRegSettings* c : std::vector<const MCLogRegSettings*>{&copy, &assigned}) {
    EXPECT_TRUE(c->GetUsePatternTabulator());
    EXPECT_EQ(c->GetDependentNCategs(), 4);
    EXPECT_EQ(c->GetDependentRefCateg(), 0);
    EXPECT_TRUE(c->GetParamEstChange());
    EXPECT_EQ(c->GetIterationFrequency(), 7);
    EXPECT_EQ(c->GetDependent(), 3);
  }
}

}  // namespace

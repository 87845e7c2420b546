// The logistic model on R's Titanic table (tests/fixtures/titanic, with the R script that made
// the references): Survived ~ Class + Sex + Age against glm and Class ~ Sex + Age + Survived
// against a full-precision Newton fit checked with nnet, each as the frequency-weighted table
// and as its 2,201 (passengers: 1,316) expanded records, with and without covariate patterns.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "MCLogComponent.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCRegFactory.h"
#include "RegTestSupport.h"

namespace {

// Columns of titanic.csv.
enum { kClass, kSex, kAge, kSurvived, kFreq };

std::string Dir() { return std::string(MCSTAT_FIXTURES_DIR) + "/titanic/"; }

regtest::Rows TableRows() { return regtest::ReadCsvRows(Dir() + "titanic.csv"); }

struct Model {
  const char* name;
  int dependent, nCategories;
  std::vector<int> factors;  // positions; every factor of the table has two levels but class
  bool passengersOnly;
};

const Model kBinary{"binary", kSurvived, 2, {kClass, kSex, kAge}, false};
const Model kClassModel{"class", kClass, 3, {kSex, kAge, kSurvived}, true};

struct Fitted {
  std::unique_ptr<IMCRegComponent> component;
  MCLogOutputStats* stats = nullptr;
};

// expanded: every cell as freq records of weight 1.
Fitted FitTitanic(const Model& model, bool expanded, bool patterns) {
  regtest::Rows rows;
  for (const std::vector<double>& r : TableRows()) {
    if (model.passengersOnly && r[kClass] == 3) continue;
    if (!expanded) {
      rows.push_back(r);
      continue;
    }
    std::vector<double> one = r;
    one[kFreq] = 1.0;
    for (int c = 0; c < static_cast<int>(r[kFreq]); ++c) rows.push_back(one);
  }
  MCLogRegSettings settings;
  settings.SetDependent(model.dependent);
  settings.SetDependentRefCat(-1, model.nCategories);
  std::vector<int> indices;
  for (int f : model.factors) {
    settings.AddFactor(f, f == kClass ? 4 : 2);
    indices.push_back(f);
  }
  settings.SetFrequencyWeightVar(kFreq);
  for (int f : model.factors) {
    MCModelEffect effect(static_cast<int>(model.factors.size()), 0, &indices);
    effect.AddNewFactor(f, false);
    settings.AddModelEffect(effect);
  }
  settings.SetParamEstConCriterion(1e-12);
  settings.SetUsePatternTabulator(patterns);
  Fitted fit;
  MCRegFactory factory;
  fit.component.reset(factory.CreateRegAlgorithm(settings));
  if (fit.component == nullptr) return fit;
  regtest::MemoryRecords data(rows);
  const MCCommon::MCStatus built = fit.component->BuildModel(data);
  EXPECT_FALSE(built.IsError()) << built.GetErrorCode();
  IMCRegOutputStats* out = nullptr;
  if (!built.IsError()) fit.component->GetOutputStats(out);
  fit.stats = dynamic_cast<MCLogOutputStats*>(out);
  return fit;
}

class TitanicTest : public ::testing::TestWithParam<std::tuple<const Model*, bool, bool>> {};

// Estimates and standard errors to 1e-10 of the peers', the log-likelihood to 1e-13, and the
// fit stops because the parameters stopped changing, not because step halving ran out.
TEST_P(TitanicTest, AgreesWithRToConvergence) {
  const Model& model = *std::get<0>(GetParam());
  const Fitted fit = FitTitanic(model, std::get<1>(GetParam()), std::get<2>(GetParam()));
  ASSERT_NE(fit.stats, nullptr);
  const regtest::FixtureFields ref(Dir() + model.name + ".ref");
  ASSERT_TRUE(ref.present);
  EXPECT_EQ(fit.stats->GetStopReason(), 2);
  const double ll = ref.Number("ll");
  EXPECT_NEAR(fit.stats->GetFinalLogLikelihood(), ll, 1e-13 * std::fabs(ll));
  const std::vector<double>& b = fit.stats->GetParamEstimates();
  const MCCommonMath::MCSymMatrixData* cov = fit.stats->GetCovarianceMatrix();
  ASSERT_NE(cov, nullptr);
  ASSERT_EQ(b.size(), ref.params.size());
  for (const std::vector<std::string>& w : ref.params) {
    const int k = std::stoi(w[0]);
    SCOPED_TRACE("parameter " + w[0]);
    EXPECT_EQ(fit.stats->GetRedundancyIndicators().IsIn(k), w[1] != "NA");
    if (w[1] == "NA") {
      EXPECT_EQ(b[k], 0.0);
      continue;
    }
    const double estimate = std::stod(w[1]), se = std::stod(w[2]);
    EXPECT_NEAR(b[k], estimate, 1e-10 * std::fabs(estimate));
    EXPECT_NEAR(std::sqrt(cov->GetElem(k, k)), se, 1e-10 * se);
  }
}

INSTANTIATE_TEST_SUITE_P(Models, TitanicTest,
                         ::testing::Combine(::testing::Values(&kBinary, &kClassModel),
                                            ::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)->name) +
                                  (std::get<1>(info.param) ? "_records" : "_table") +
                                  (std::get<2>(info.param) ? "_patterns" : "");
                         });

// The table and its records add the same terms, so the two fits take the same steps.
TEST(TitanicTableTest, TableAndRecordsGiveTheSameFit) {
  for (const Model* model : {&kBinary, &kClassModel}) {
    const Fitted table = FitTitanic(*model, false, false);
    const Fitted records = FitTitanic(*model, true, false);
    ASSERT_NE(table.stats, nullptr);
    ASSERT_NE(records.stats, nullptr);
    EXPECT_EQ(table.stats->GetNIterations(), records.stats->GetNIterations()) << model->name;
    const std::vector<double>& a = table.stats->GetParamEstimates();
    const std::vector<double>& b = records.stats->GetParamEstimates();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t k = 0; k < a.size(); ++k) {
      EXPECT_NEAR(a[k], b[k], 1e-14 * std::max(1.0, std::fabs(b[k]))) << model->name << " " << k;
    }
  }
}

}  // namespace

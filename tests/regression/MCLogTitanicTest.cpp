// R's Titanic table (tests/fixtures/titanic) as a weighted table and as expanded records.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
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

// expanded: every cell as freq records of weight 1.
std::unique_ptr<regtest::Built> FitTitanic(const Model& model, bool expanded, bool patterns) {
  regtest::Rows rows;
  for (const std::vector<double>& r : TableRows()) {
    if (model.passengersOnly && r[kClass] == 3) continue;
    std::vector<double> one = r;
    if (expanded) one[kFreq] = 1.0;
    for (int c = 0; c < (expanded ? static_cast<int>(r[kFreq]) : 1); ++c) rows.push_back(one);
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
  return std::make_unique<regtest::Built>(settings, rows);
}

class TitanicTest : public ::testing::TestWithParam<const Model*> {};

// The table and its records add the same terms, so their fits take the same steps.
TEST_P(TitanicTest, AgreesWithRToConvergence) {
  const Model& model = *GetParam();
  const regtest::FixtureFields ref(Dir() + model.name + ".ref");
  ASSERT_TRUE(ref.present);
  const std::unique_ptr<regtest::Built> table = FitTitanic(model, false, false);
  ASSERT_NE(table->log, nullptr);
  for (bool expanded : {false, true}) {
    for (bool patterns : {false, true}) {
      SCOPED_TRACE(std::string(expanded ? "records" : "table") + (patterns ? " patterns" : ""));
      const std::unique_ptr<regtest::Built> fit = FitTitanic(model, expanded, patterns);
      ASSERT_NE(fit->log, nullptr);
      EXPECT_EQ(fit->log->GetStopReason(), 2);
      const double ll = ref.Number("ll");
      EXPECT_NEAR(fit->log->GetFinalLogLikelihood(), ll, 1e-13 * std::fabs(ll));
      const std::vector<double>& b = fit->log->GetParamEstimates();
      const MCCommonMath::MCSymMatrixData* cov = fit->log->GetCovarianceMatrix();
      ASSERT_NE(cov, nullptr);
      ASSERT_EQ(b.size(), ref.params.size());
      for (const std::vector<std::string>& w : ref.params) {
        const int k = std::stoi(w[0]);
        SCOPED_TRACE("parameter " + w[0]);
        EXPECT_EQ(fit->log->GetRedundancyIndicators().IsIn(k), w[1] != "NA");
        if (w[1] == "NA") {
          EXPECT_EQ(b[k], 0.0);
          continue;
        }
        const double estimate = std::stod(w[1]), se = std::stod(w[2]);
        EXPECT_NEAR(b[k], estimate, 1e-10 * std::fabs(estimate));
        EXPECT_NEAR(std::sqrt(cov->GetElem(k, k)), se, 1e-10 * se);
        EXPECT_NEAR(b[k], table->log->GetParamEstimates()[k],
                    1e-14 * std::max(1.0, std::fabs(b[k])));
      }
      EXPECT_EQ(fit->log->GetNIterations(), table->log->GetNIterations());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Models, TitanicTest, ::testing::Values(&kBinary, &kClassModel),
                         [](const auto& info) { return std::string(info.param->name); });

}  // namespace

// The data and model of the logistic benchmark, shared with the tests that fit it in parts:
// records of a response y with 4 categories, factors A and B (5 and 8 levels) and covariates
// x1..x5, and the model A + B + x1..x5 with the intercept (19 basic parameters per logit, 57 in
// all), the last category the reference.
#ifndef MCSTAT_BENCH_LOGISTICBENCHMODEL_H_
#define MCSTAT_BENCH_LOGISTICBENCHMODEL_H_

#include <vector>

#include "../src/frontend/BenchmarkRecords.h"
#include "BenchNumbers.h"
#include "MCLogRegSettings.h"
#include "MCModelEffect.h"

namespace logbench {

// Record layout: y, A, B, x1..x5 (the records of `mcfit gen --kind logistic`).
constexpr int kNValues = 8;
constexpr int kNCategories = MCFrontEnd::kLogisticCategories;
inline constexpr const int (&kLevels)[2] = MCFrontEnd::kLogisticLevels;
constexpr int kNCovariates = MCFrontEnd::kLogisticCovariates;
constexpr int kNParameters = (kNCategories - 1) * (1 + kLevels[0] + kLevels[1] + kNCovariates);

// Reproducible records of the front end's benchmark model, drawn from bench::Numbers. Each
// maker starts the same sequence.
class RecordMaker {
 public:
  // Writes the next record's kNValues values.
  void Next(double* record) { MCFrontEnd::LogisticBenchmarkRecord(fNumbers, record); }

 private:
  bench::Numbers fNumbers{20261206u};
};

// The settings of the benchmark model (parameter criterion 1e-10, covariate patterns); indices
// must outlive them.
inline MCLogRegSettings MakeSettings(std::vector<int>& indices) {
  MCLogRegSettings settings;
  settings.SetDependent(0);
  settings.SetDependentRefCat(-1, kNCategories);
  for (int f = 0; f < 2; ++f) settings.AddFactor(1 + f, kLevels[f]);
  for (int k = 0; k < kNCovariates; ++k) settings.AddCovariate(3 + k);
  settings.SetParamEstConCriterion(1e-10);
  settings.SetUsePatternTabulator(true);
  indices = {1, 2, 3, 4, 5, 6, 7};
  for (int f = 0; f < 2; ++f) {
    MCModelEffect e(2, kNCovariates, &indices);
    e.AddNewFactor(1 + f, false);
    settings.AddModelEffect(e);
  }
  for (int k = 0; k < kNCovariates; ++k) {
    MCModelEffect e(2, kNCovariates, &indices);
    e.AddCovariate(3 + k);
    settings.AddModelEffect(e);
  }
  return settings;
}

}  // namespace logbench

#endif  // MCSTAT_BENCH_LOGISTICBENCHMODEL_H_

// The data and model of the logistic benchmark, shared with the tests that fit it in parts:
// records of a response y with 4 categories, factors A and B (5 and 8 levels) and covariates
// x1..x5, and the model A + B + x1..x5 with the intercept (19 basic parameters per logit, 57 in
// all), the last category the reference.
#ifndef MCSTAT_BENCH_LOGISTICBENCHMODEL_H_
#define MCSTAT_BENCH_LOGISTICBENCHMODEL_H_

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "MCLogRegSettings.h"
#include "MCModelEffect.h"

namespace logbench {

// Record layout: y, A, B, x1..x5.
constexpr int kNValues = 8;
constexpr int kNCategories = 4;
constexpr int kLevels[2] = {5, 8};
constexpr int kNCovariates = 5;
constexpr int kNParameters = (kNCategories - 1) * (1 + kLevels[0] + kLevels[1] + kNCovariates);

// Reproducible records: factor levels uniform, covariates standard normal (Box-Muller on the
// generator's 53-bit uniforms, so the numbers do not depend on the standard library), and the
// response drawn from a true multinomial logit with the last category as reference, so the fit
// has a finite maximum and converges. Each maker starts the same sequence.
class RecordMaker {
 public:
  RecordMaker() : fGen(20261206u) {}
  // Writes the next record's kNValues values.
  void Next(double* record) {
    constexpr int kLogits = kNCategories - 1;
    const double intercept[kLogits] = {0.3, -0.2, 0.5};
    const double slope[kLogits][kNCovariates] = {
        {0.6, -0.4, 0.2, 0.0, 0.3}, {-0.3, 0.5, 0.1, -0.6, 0.2}, {0.2, 0.2, -0.5, 0.4, -0.1}};
    const int a = static_cast<int>(fGen() % kLevels[0]);
    const int b = static_cast<int>(fGen() % kLevels[1]);
    for (int k = 0; k < kNCovariates; ++k) record[3 + k] = Normal();
    double expEta[kNCategories];
    double sum = 1.0;  // the reference's exp(0)
    for (int j = 0; j < kLogits; ++j) {
      double eta = intercept[j] + 0.15 * (j + 1) * (a - 2) - 0.08 * (j - 1) * (b - 3.5);
      for (int k = 0; k < kNCovariates; ++k) eta += slope[j][k] * record[3 + k];
      expEta[j] = std::exp(eta);
      sum += expEta[j];
    }
    expEta[kLogits] = 1.0;
    // Inverse distribution function on one uniform.
    const double u = Uniform() * sum;
    int y = 0;
    double cumulative = expEta[0];
    while (y < kLogits && u > cumulative) cumulative += expEta[++y];
    record[0] = y;
    record[1] = a;
    record[2] = b;
  }

 private:
  double Uniform() { return (static_cast<double>(fGen() >> 11) + 0.5) * 0x1.0p-53; }
  double Normal() {
    const double r = std::sqrt(-2.0 * std::log(Uniform()));
    return r * std::cos(6.283185307179586 * Uniform());
  }
  std::mt19937_64 fGen;
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

// The data and model of the linear-model benchmark, shared with the test that pins its rank:
// records of y, factors A, B, C (10, 20 and 50 levels) and covariates x1..x8, and the model
// A + B + C + x1..x8 + A*B with the intercept (289 parameters, rank 257).
#ifndef MCSTAT_BENCH_LINEARBENCHMODEL_H_
#define MCSTAT_BENCH_LINEARBENCHMODEL_H_

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "MCModelEffect.h"
#include "MCRegSettings.h"

namespace linbench {

// Record layout: y, A, B, C, x1..x8.
constexpr int kNValues = 12;
constexpr int kLevels[3] = {10, 20, 50};
constexpr int kNParameters = 289;

// Reproducible records: factor levels uniform, covariates standard normal (Box-Muller on the
// generator's 53-bit uniforms, so the numbers do not depend on the standard library), and y
// linear in all of them plus an A*B term and noise. Each maker starts the same sequence.
class RecordMaker {
 public:
  RecordMaker() : fGen(20261205u) {}
  // Writes the next record's kNValues values.
  void Next(double* record) {
    const int a = static_cast<int>(fGen() % kLevels[0]);
    const int b = static_cast<int>(fGen() % kLevels[1]);
    const int c = static_cast<int>(fGen() % kLevels[2]);
    const double beta[8] = {0.8, -0.5, 0.3, 1.2, -0.7, 0.05, 0.4, -1.1};
    double y = 1.0 + 0.1 * a - 0.05 * b + 0.02 * c + 0.01 * a * b;
    for (int k = 0; k < 8; ++k) {
      record[4 + k] = Normal();
      y += beta[k] * record[4 + k];
    }
    record[0] = y + Normal();
    record[1] = a;
    record[2] = b;
    record[3] = c;
  }

 private:
  double Uniform() { return (static_cast<double>(fGen() >> 11) + 0.5) * 0x1.0p-53; }
  double Normal() {
    const double r = std::sqrt(-2.0 * std::log(Uniform()));
    return r * std::cos(6.283185307179586 * Uniform());
  }
  std::mt19937_64 fGen;
};

// The settings of the model; indices must outlive them.
inline MCRegSettings MakeSettings(std::vector<int>& indices) {
  MCRegSettings settings;
  settings.SetDependent(0);
  for (int f = 0; f < 3; ++f) settings.AddFactor(1 + f, kLevels[f]);
  for (int k = 0; k < 8; ++k) settings.AddCovariate(4 + k);
  indices = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  for (int f = 0; f < 3; ++f) {
    MCModelEffect e(3, 8, &indices);
    e.AddNewFactor(1 + f, false);
    settings.AddModelEffect(e);
  }
  for (int k = 0; k < 8; ++k) {
    MCModelEffect e(3, 8, &indices);
    e.AddCovariate(4 + k);
    settings.AddModelEffect(e);
  }
  MCModelEffect ab(3, 8, &indices);
  ab.AddNewFactor(1, false);
  ab.AddNewFactor(2, false);
  settings.AddModelEffect(ab);
  return settings;
}

}  // namespace linbench

#endif  // MCSTAT_BENCH_LINEARBENCHMODEL_H_

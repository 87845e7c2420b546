// The data and model of the linear-model benchmark, shared with the test that pins its rank:
// records of y, factors A, B, C (10, 20 and 50 levels) and covariates x1..x8, and the model
// A + B + C + x1..x8 + A*B with the intercept (289 parameters, rank 257).
#ifndef MCSTAT_BENCH_LINEARBENCHMODEL_H_
#define MCSTAT_BENCH_LINEARBENCHMODEL_H_

#include <vector>

#include "../src/frontend/BenchmarkRecords.h"
#include "BenchNumbers.h"
#include "MCModelEffect.h"
#include "MCRegSettings.h"

namespace linbench {

// Record layout: y, A, B, C, x1..x8 (the records of `mcfit gen --kind linear`).
constexpr int kNValues = 12;
inline constexpr const int (&kLevels)[3] = MCFrontEnd::kLinearLevels;
constexpr int kNParameters = 289;

// Reproducible records of the front end's benchmark model, drawn from bench::Numbers. Each maker
// starts the same sequence.
class RecordMaker {
 public:
  // Writes the next record's kNValues values.
  void Next(double* record) { MCFrontEnd::LinearBenchmarkRecord(fNumbers, record); }

 private:
  bench::Numbers fNumbers{20261205u};
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

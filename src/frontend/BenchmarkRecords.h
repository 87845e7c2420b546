// The records of the benchmark data sets, shared by `mcfit gen` and the C++ benchmarks so that
// both draw the same model: each maker takes the source of its numbers, an object whose
// Uniform() gives a uniform on [0, 1) and Normal() a standard normal, drawn in the order the
// records consume them.
#ifndef MCSTAT_FRONTEND_BENCHMARKRECORDS_H_
#define MCSTAT_FRONTEND_BENCHMARKRECORDS_H_

#include <cmath>

namespace MCFrontEnd {

// Linear: y, A, B, C (10, 20 and 50 levels), x1..x8.
inline constexpr int kLinearLevels[3] = {10, 20, 50};
// Logistic: y (4 categories), A, B (5 and 8 levels), x1..x5.
inline constexpr int kLogisticCategories = 4;
inline constexpr int kLogisticLevels[2] = {5, 8};
inline constexpr int kLogisticCovariates = 5;

// A level 0..levels-1 from a uniform.
inline int BenchmarkLevel(double u, int levels) {
  const int level = static_cast<int>(u * levels);
  return level < levels ? level : levels - 1;
}

// y normal around a linear model with an A*B interaction.
template <class Numbers>
void LinearBenchmarkRecord(Numbers& numbers, double* record) {
  const double beta[8] = {0.8, -0.5, 0.3, 1.2, -0.7, 0.05, 0.4, -1.1};
  const int a = BenchmarkLevel(numbers.Uniform(), kLinearLevels[0]);
  const int b = BenchmarkLevel(numbers.Uniform(), kLinearLevels[1]);
  const int c = BenchmarkLevel(numbers.Uniform(), kLinearLevels[2]);
  double y = 1.0 + 0.1 * a - 0.05 * b + 0.02 * c + 0.01 * a * b;
  for (int k = 0; k < 8; ++k) {
    record[4 + k] = numbers.Normal();
    y += beta[k] * record[4 + k];
  }
  record[0] = y + numbers.Normal();
  record[1] = a;
  record[2] = b;
  record[3] = c;
}

// y drawn from a true multinomial logit (the last category the reference), so that the fit has
// a finite maximum.
template <class Numbers>
void LogisticBenchmarkRecord(Numbers& numbers, double* record) {
  constexpr int kLogits = kLogisticCategories - 1;
  const double intercept[kLogits] = {0.3, -0.2, 0.5};
  const double slope[kLogits][kLogisticCovariates] = {
      {0.6, -0.4, 0.2, 0.0, 0.3}, {-0.3, 0.5, 0.1, -0.6, 0.2}, {0.2, 0.2, -0.5, 0.4, -0.1}};
  const int a = BenchmarkLevel(numbers.Uniform(), kLogisticLevels[0]);
  const int b = BenchmarkLevel(numbers.Uniform(), kLogisticLevels[1]);
  for (int k = 0; k < kLogisticCovariates; ++k) record[3 + k] = numbers.Normal();
  double expEta[kLogisticCategories];
  double sum = 1.0;  // the reference's exp(0)
  for (int j = 0; j < kLogits; ++j) {
    double eta = intercept[j] + 0.15 * (j + 1) * (a - 2) - 0.08 * (j - 1) * (b - 3.5);
    for (int k = 0; k < kLogisticCovariates; ++k) eta += slope[j][k] * record[3 + k];
    expEta[j] = std::exp(eta);
    sum += expEta[j];
  }
  expEta[kLogits] = 1.0;
  // The category by the inverse distribution function of one uniform.
  const double u = numbers.Uniform() * sum;
  int y = 0;
  double cumulative = expEta[0];
  while (y < kLogits && u > cumulative) cumulative += expEta[++y];
  record[0] = y;
  record[1] = a;
  record[2] = b;
}

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_BENCHMARKRECORDS_H_

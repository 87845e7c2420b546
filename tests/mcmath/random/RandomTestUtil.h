#ifndef MCSTAT_TESTS_MCMATH_RANDOM_RANDOMTESTUTIL_H_
#define MCSTAT_TESTS_MCMATH_RANDOM_RANDOMTESTUTIL_H_

// Scripted uniform sources and goodness-of-fit helpers for the generator tests. The
// distribution functions here are written independently of the library's.

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "MCRNGenerator.h"
#include "MCRandom.h"

namespace randomtest {

// Returns the listed values in turn, starting over at the end; counts the draws.
class ScriptedValues {
 public:
  explicit ScriptedValues(std::vector<double> v) : fvValues(std::move(v)) {}
  double Next() { return fvValues[fCalls++ % fvValues.size()]; }
  long Calls() const { return fCalls; }

 private:
  std::vector<double> fvValues;
  long fCalls = 0;
};

class ScriptedRNG : public MCCommonMath::MCRNGenerator, public ScriptedValues {
 public:
  explicit ScriptedRNG(std::vector<double> v) : ScriptedValues(std::move(v)) {}
  void SetSeed(double) override {}
  double GetNext() override { return Next(); }
};

class ScriptedHost : public MCCommon::MCRandom, public ScriptedValues {
 public:
  explicit ScriptedHost(std::vector<double> v) : ScriptedValues(std::move(v)) {}
  double GetRandom() override { return Next(); }
};

inline double NormalCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// Regularised lower incomplete gamma P(a, x): series below a + 1, continued fraction above.
inline double GammaP(double a, double x) {
  if (x <= 0) return 0.0;
  const double lead = a * std::log(x) - x - std::lgamma(a);
  if (x < a + 1) {
    double term = 1.0 / a, sum = term;
    for (int n = 1; n < 1000 && term > sum * 1e-16; ++n) sum += term *= x / (a + n);
    return sum * std::exp(lead);
  }
  double b = x + 1 - a, c = 1e300, d = 1 / b, h = d;
  for (int i = 1; i < 1000; ++i) {
    const double an = -i * (i - a);
    b += 2;
    d = 1 / (an * d + b);
    c = b + an / c;
    h *= d * c;
    if (std::fabs(d * c - 1) < 1e-16) break;
  }
  return 1.0 - std::exp(lead) * h;
}

// Regularised incomplete beta I_x(a, b) by its continued fraction (Lentz).
inline double BetaI(double x, double a, double b) {
  if (x <= 0) return 0.0;
  if (x >= 1) return 1.0;
  if (x > (a + 1) / (a + b + 2)) return 1.0 - BetaI(1 - x, b, a);
  const double lead =
      std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log(1 - x);
  double c = 1, d = 1 - (a + b) * x / (a + 1), h;
  d = 1 / d;
  h = d;
  for (int m = 1; m < 1000; ++m) {
    for (int odd = 0; odd < 2; ++odd) {
      const double num = odd ? -(a + m) * (a + b + m) * x / ((a + 2 * m) * (a + 2 * m + 1))
                             : m * (b - m) * x / ((a + 2 * m - 1) * (a + 2 * m));
      d = 1 / (1 + num * d);
      c = 1 + num / c;
      h *= d * c;
    }
    if (std::fabs(d * c - 1) < 1e-15) break;
  }
  return std::exp(lead) * h / a;
}

// Kolmogorov-Smirnov distance between the sample and the continuous cdf.
inline double KSDistance(std::vector<double> x, const std::function<double(double)>& cdf) {
  std::sort(x.begin(), x.end());
  const double n = static_cast<double>(x.size());
  double d = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double f = cdf(x[i]);
    d = std::max({d, f - i / n, (i + 1) / n - f});
  }
  return d;
}

// The 0.1% critical value of the KS distance for n draws.
inline double KSCritical(std::size_t n) { return 1.95 / std::sqrt(static_cast<double>(n)); }

// The upper 0.1% point of chi-square with df degrees of freedom (Wilson-Hilferty).
inline double ChiSquareCritical(int df) {
  const double v = 2.0 / (9.0 * df);
  return df * std::pow(1 - v + 3.09 * std::sqrt(v), 3);
}

}  // namespace randomtest

#endif  // MCSTAT_TESTS_MCMATH_RANDOM_RANDOMTESTUTIL_H_

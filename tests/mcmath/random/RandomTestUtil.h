#ifndef MCSTAT_TESTS_MCMATH_RANDOM_RANDOMTESTUTIL_H_
#define MCSTAT_TESTS_MCMATH_RANDOM_RANDOMTESTUTIL_H_

// Scripted uniform sources and a goodness-of-fit check for the generator tests. The
// distribution functions come from MCDistFun, which its own tests hold against R.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "MCRNGenerator.h"
#include "MCRandom.h"

namespace randomtest {

// Returns the listed values in turn, starting over at the end, as a generator or as a host's
// source; counts the draws.
class Scripted : public MCCommonMath::MCRNGenerator, public MCCommon::MCRandom {
 public:
  explicit Scripted(std::vector<double> v) : fvValues(std::move(v)) {}
  void SetSeed(double) override {}
  double GetNext() override { return fvValues[fCalls++ % fvValues.size()]; }
  double GetRandom() override { return GetNext(); }
  long Calls() const { return fCalls; }

 private:
  std::vector<double> fvValues;
  long fCalls = 0;
};

// One variate from scripted uniforms: its value (within tol) and how many uniforms it took.
struct ScriptedCase {
  const char* name;
  std::vector<double> params, uniforms;
  double expected, tol;
  long draws;
};

// draw(params, source) gives one variate from the source.
template <class Draw>
void ExpectScripted(const std::vector<ScriptedCase>& cases, Draw draw) {
  for (const ScriptedCase& c : cases) {
    SCOPED_TRACE(c.name);
    Scripted source(c.uniforms);
    EXPECT_NEAR(draw(c.params, source), c.expected, c.tol);
    EXPECT_EQ(source.Calls(), c.draws);
  }
}

// 100,000 draws pass a Kolmogorov-Smirnov test at the 0.1% level against the cdf.
template <class Draw, class Cdf>
void ExpectFits(Draw draw, Cdf cdf) {
  std::vector<double> x(100000);
  for (double& v : x) v = draw();
  std::sort(x.begin(), x.end());
  const double n = static_cast<double>(x.size());
  double d = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double f = cdf(x[i]);
    d = std::max({d, f - i / n, (i + 1) / n - f});
  }
  EXPECT_LT(d, 1.95 / std::sqrt(n));
}

}  // namespace randomtest

#endif  // MCSTAT_TESTS_MCMATH_RANDOM_RANDOMTESTUTIL_H_

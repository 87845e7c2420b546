#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "MCDistFun.h"
#include "MCRNGVariates.h"
#include "RandomTestUtil.h"

using MCCommonMath::MCDistFun;
using MCCommonMath::MCRNGBeta;
using MCCommonMath::MCRNGBinomial;
using MCCommonMath::MCRNGNormal;
using MCCommonMath::MCRNGUCongruential;
using randomtest::Scripted;

namespace {

constexpr double kA = 2.216035867166471;
constexpr double kPi = 3.141592653589793;

TEST(MCRNGUCongruentialTest, SeedMappingAndSequence) {
  MCRNGUCongruential c;
  EXPECT_EQ(c.GetNext(), 397204094 * std::ldexp(1.0, -31));  // from state 1
  const std::pair<double, int32_t> seeds[] = {
      {-7.9, 7}, {0.4, 1}, {1e12, 2147483647}, {std::nan(""), 1}, {2147483646, 2147483646}};
  for (const auto& s : seeds) {
    c.SetSeed(s.first);
    EXPECT_EQ(c.GetState(), s.second) << s.first;
  }
  // -1 mod 2^31 - 1: the product needs 64 bits.
  EXPECT_EQ(c.GetNext(), (2147483647.0 - 397204094.0) * std::ldexp(1.0, -31));
}

// Every region of Kinderman and Ramage's method: the value's sign and range, and the draws.
TEST(KindermanRamageTest, RegionRangeSignAndDraws) {
  const double tail = (kA + 10) / 2, tailTol = (10 - kA) / 2;
  randomtest::ExpectScripted(
      {{"central", {}, {0.5, 0.25}, -0.4085, 5e-4, 2},
       {"tail", {}, {0.98, 0.5, 0.5}, tail, tailTol, 3},
       {"tailRejectNegative", {}, {0.99, 0.99, 0.01, 0.5, 0.5}, -tail, tailTol, 5},
       {"region3Box", {}, {0.96, 0.2, 0.5}, 2.08985, 5e-5, 3},
       {"region4Box", {}, {0.93, 0.5, 0.3}, -0.8115, 5e-4, 3},
       {"region4ByDensity", {}, {0.93, 0.95, 0.95}, -1.53, 1e-3, 3},
       {"region4DensityReject", {}, {0.93, 0.95, 0.99, 0.5, 0.3}, -0.8115, 5e-4, 5},
       {"region5NegativeT", {}, {0.9, 0.9, 0.95, 0.1, 0.2}, 0.42015, 1.5e-4, 5}},
      [](const std::vector<double>&, Scripted& u) {
        MCRNGNormal n;
        n.SetURNGenerator(u);
        return n.GetNext();
      });
}

TEST(MCRNGNormalTest, ParametersOwnedSourcesAndFit) {
  Scripted u({0.5, 0.25});
  MCRNGNormal n(3.0, -1.0);  // sd < 0: standard
  n.SetURNGenerator(u);
  const double z = n.GetNext();
  EXPECT_EQ(n.GetNext(10.0, 2.0), 10.0 + 2.0 * z);
  MCRNGNormal a, b;
  a.SetSeed(77);
  b.SetSeed(77);
  MCRNGNormal c(a);  // owns its own copy of the source
  const double first = a.GetNext();
  EXPECT_EQ(b.GetNext(), first);
  EXPECT_EQ(c.GetNext(), first);
  MCRNGNormal fit(1.0, 2.0);
  fit.SetSeed(20240611);
  randomtest::ExpectFits([&fit] { return fit.GetNext(); },
                         [](double v) { return MCDistFun::CdfNorm(v, 1.0, 2.0); });
}

TEST(MCRNGBetaTest, ParametersPerCallAndInvalidShapes) {
  Scripted u({0.25});
  MCRNGBeta b, invalid(0, 2);  // becomes (1, 1)
  b.SetURNGenerator(u);
  invalid.SetURNGenerator(u);
  EXPECT_DOUBLE_EQ(b.GetNext(2, 1), 0.5);
  EXPECT_EQ(b.GetNext(0.5, -1), -1.0);
  EXPECT_EQ(invalid.GetNext(), 0.25);
  EXPECT_EQ(u.Calls(), 2);
}

// A shape of 1 inverts the distribution (u^(1/a), 1 - u^(1/b)). Johnk (shapes below 1) redraws a
// zero and accepts X + Y <= 1; after 5000 rejections both methods fall back on the inverse (the
// arcsine quantile; the Beta(2, 2) cdf 3x^2 - 2x^3 = 0.2). The normal envelope at u = 0.5:
// z = A(1.1311 * 0.5 + 0.5 - 1), x = 0.5 + z/(2 sqrt 2).
TEST(BetaBranchTest, ValueAndDraws) {
  const double envelope = 0.5 + kA * (1.13113163544418 * 0.5 - 0.5) / std::sqrt(8.0);
  randomtest::ExpectScripted(
      {{"uniform", {1, 1}, {0.3}, 0.3, 0, 1},
       {"power", {2, 1}, {0.25}, 0.5, 1e-16, 1},
       {"powerOfZero", {2, 1}, {0.0}, 0.0, 0, 1},
       {"reflected", {1, 2}, {0.25}, 0.5, 1e-16, 1},
       {"reflectedOfZero", {1, 2}, {0.0}, 1.0, 0, 1},
       {"underflow", {1e-3, 1}, {0.1}, 0.0, 0, 1},
       {"johnk", {0.5, 0.5}, {0.0, 0.25, 0.81}, 0.0625 / (0.0625 + 0.6561), 1e-16, 3},
       {"johnkFallback", {0.5, 0.5}, {0.9}, std::pow(std::sin(kPi * 0.45), 2), 1e-8, 10001},
       {"envelope", {2, 2}, {0.5}, envelope, 1e-15, 3},
       {"envelopeFallback", {2, 2}, {0.2, 0.2, 0.9}, 0.28714072541674047, 1e-8, 15001}},
      [](const std::vector<double>& p, Scripted& u) {
        MCRNGBeta b(p[0], p[1]);
        b.SetURNGenerator(u);
        return b.GetNext();
      });
}

TEST(MCRNGBetaFitTest, GoodnessOfFit) {
  for (const auto& [a, b] :
       {std::make_pair(2.5, 3.5), {40.0, 7.0}, {0.5, 0.7}, {3.0, 0.4}, {1.0, 3.0}}) {
    SCOPED_TRACE(testing::PrintToString(std::make_pair(a, b)));
    MCRNGBeta g(a, b);
    g.SetSeed(8675309);
    // X ~ beta(a, b) <=> (b X) / (a (1 - X)) ~ F(2a, 2b).
    randomtest::ExpectFits(
        [&g] { return g.GetNext(); },
        [a = a, b = b](double x) { return MCDistFun::CdfF(b * x / (a * (1 - x)), 2 * a, 2 * b); });
  }
}

TEST(MCRNGBinomialTest, EdgeCases) {
  MCRNGBinomial b(10.5, 0.3);  // stored as (0, 0)
  EXPECT_EQ(b.GetNext(), 0.0);
  const double cases[][3] = {{-1, 0.5, 0}, {5, 1.5, 0}, {5, 0, 0}, {10, 1, 10}, {1001, 1, 1001}};
  for (const auto& c : cases) EXPECT_EQ(b.GetNext(c[0], c[1]), c[2]) << c[0] << " " << c[1];
  Scripted u({0.1, 0.5, 0.2, 0.31, 0.3});
  b.SetURNGenerator(u);
  b.SetParameters(5, 0.3);
  EXPECT_EQ(b.GetNext(), 3.0);  // uniforms at or below p succeed
  EXPECT_EQ(u.Calls(), 5);
}

// The randomised probability transform F(k - 1) + V P(k) of a draw k (V uniform) is uniform.
TEST(MCRNGBinomialFitTest, RandomisedProbabilityTransformIsUniform) {
  std::mt19937_64 v(99);
  for (const auto& [n, p] : {std::make_pair(20, 0.4), {1000, 0.3}, {250, 0.02}}) {
    SCOPED_TRACE(testing::PrintToString(std::make_pair(n, p)));
    MCRNGBinomial b(n, p);
    b.SetSeed(4242);
    long code = 0;
    randomtest::ExpectFits(
        [&, n = n, p = p] {
          const double k = b.GetNext();
          EXPECT_TRUE(k >= 0 && k <= n && k == std::floor(k)) << k;
          return MCDistFun::CdfBin(k - 1, n, p, code) +
                 std::generate_canonical<double, 53>(v) * MCDistFun::PdfBin(k, n, p, code);
        },
        [](double u) { return u; });
  }
}

}  // namespace

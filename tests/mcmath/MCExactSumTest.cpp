// The exact sum and the squares about the mean against integer arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "MCExactSum.h"

namespace {

using MCCommonMath::MCExactSum;

TEST(MCExactSumTest, AnyOrderAndAnySplitGiveTheExactSum) {
  // Terms k / 1024 times 2^30 or 2^-10: plain double sums lose the small ones, and the exact
  // sum, a multiple of 2^-20 below 2^62, is known in integers.
  std::mt19937_64 gen(5);
  std::vector<std::pair<double, double>> terms;
  std::int64_t exact = 0;  // in units of 2^-20
  for (int i = 0; i < 4000; ++i) {
    const std::int64_t k = static_cast<std::int64_t>(gen() % 2001) - 1000;
    const bool big = i % 2 == 0;
    terms.emplace_back(static_cast<double>(k) / 1024.0, big ? 0x1p30 : 0x1p-10);
    exact += k * (big ? (std::int64_t{1} << 40) : 1);
  }
  const double expected = std::ldexp(static_cast<double>(exact), -20);
  for (int split : {1, 2, 7}) {
    std::shuffle(terms.begin(), terms.end(), gen);
    MCExactSum total;
    for (int p = 0; p < split; ++p) {
      MCExactSum part;
      for (std::size_t i = p; i < terms.size(); i += split)
        part.AddProduct(terms[i].first, terms[i].second);
      total.Merge(part);
    }
    EXPECT_EQ(total.Value(), expected) << split << " parts";
  }
}

TEST(MCExactSumTest, SquaresAboutTheMeanOfValuesFarFromZero) {
  // x = 1e6 + d / 8 with weights 1..3: sum w (x - mean)^2 = (S2 S0 - S1^2) / S0 / 64 exactly,
  // with S0, S1, S2 the weighted sums of 1, d and d^2 (the shift 1e6 changes nothing).
  MCExactSum w, wx, wxx;
  std::int64_t s0 = 0, s1 = 0, s2 = 0;
  for (int i = 0; i < 1000; ++i) {
    const std::int64_t d = (i * 37) % 101;
    const double x = 1e6 + static_cast<double>(d) / 8.0;
    const std::int64_t weight = 1 + i % 3;
    w.Add(static_cast<double>(weight));
    wx.AddProduct(static_cast<double>(weight), x);
    wxx.AddProduct(static_cast<double>(weight) * x, x);
    s0 += weight;
    s1 += weight * d;
    s2 += weight * d * d;
  }
  const long double exact =
      static_cast<long double>(s2 * s0 - s1 * s1) / static_cast<long double>(s0) / 64.0L;
  const double value = wxx.SquaresAboutMean(wx, w);
  EXPECT_LE(std::fabs(value - static_cast<double>(exact)), 1e-15 * std::fabs(value));
  EXPECT_EQ(wx.Over(w), static_cast<double>(1e6L + static_cast<long double>(s1) / s0 / 8.0L));
  EXPECT_EQ(MCExactSum().SquaresAboutMean(wx, MCExactSum()), 0.0);
}

}  // namespace

// The double-double kernels against exact arithmetic done here: sums of dyadic numbers held as
// 128-bit integers, and sweeps, factors and inverses of integer matrices in 128-bit rationals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "../../src/mcmath/MCDDKernels.h"

namespace {

namespace dd = MCCommonMath::ddkernels;
using dd::DD;
__extension__ typedef __int128 int128;

// Dyadic numbers k 2^-kShift, exact as 128-bit integers in units of 2^-kShift.
constexpr int kShift = 50;

int128 Units(double x) { return static_cast<int128>(std::ldexp(x, kShift)); }
// The exact value of a pair in units; every part of the pairs below is a multiple of a unit.
int128 Units(const DD& x) { return Units(x.hi) + Units(x.lo); }
// k of a value k 2^-25 drawn below.
int128 K(double x) { return static_cast<int128>(std::ldexp(x, 25)); }

// Values k 2^-25 with |k| < 2^30: products are whole units, sums of many stay below 2^127.
std::vector<double> Dyadics(std::mt19937_64& g, int n, int bits) {
  std::vector<double> v(static_cast<std::size_t>(n));
  for (double& x : v) {
    const int64_t k = static_cast<int64_t>(g() % (1ull << bits)) - (1ll << (bits - 1));
    x = std::ldexp(static_cast<double>(k), -25);
  }
  return v;
}

// A row over about two in three of the columns [0, n), a whole weight in [1, maxWeight].
struct Row {
  std::vector<int> idx;
  std::vector<double> val;
  double w;
};

Row RandomRow(std::mt19937_64& g, int n, int bits, uint64_t maxWeight) {
  Row r;
  for (int c = 0; c < n; ++c)
    if (g() % 3 != 0) r.idx.push_back(c);
  r.val = Dyadics(g, static_cast<int>(r.idx.size()), bits);
  r.w = static_cast<double>(1 + g() % maxWeight);
  return r;
}

class DDBlocksTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

// nb matrices kept together (fixed-size paths 1, 3, 6, the general one, vector paths where the
// processor has them): every sum of coef[t] x x' exact, also from two merged halves; so is each
// sum of w x x' (its rounding the nearest double), and each logit score w residual[j] x[k],
// which AddScaledColumns gives to the bit.
TEST_P(DDBlocksTest, OuterProductSumsAreExactAndMergeExactly) {
  const int nb = std::get<0>(GetParam()), path = std::get<1>(GetParam()), n = 7;
  std::vector<double> probe(2 * nb);
  const DD one{1.0, 0.0};
  const std::vector<DD> ones(nb, one);
  const int zero = 0;
  if (!dd::AddOuterSparseBlocksOn(path, 1, &zero, &one.hi, nb, ones.data(), probe.data())) {
    GTEST_SKIP() << "the processor lacks path " << path;
  }
  const auto add = [path](int m, const int* i, const double* v, int b, const DD* c, double* s) {
    dd::AddOuterSparseBlocksOn(path, m, i, v, b, c, s);
  };
  std::mt19937_64 g(23);
  const auto units = [](double x) { return static_cast<int128>(std::ldexp(x, 75)); };
  const std::size_t positions = dd::PackedRowStart(n);
  std::vector<double> whole(2 * nb * positions), half[2] = {whole, whole};
  std::vector<int128> exact(nb * positions, 0), exactW(positions, 0);
  dd::DDSums sums(positions), parts[2] = {sums, sums};
  const int nLogits = 3;
  std::vector<int128> exactS(nLogits * n, 0);
  std::vector<DD> scores(nLogits * n), logitCoef(6), coefR(nLogits);
  std::vector<double> information(2 * 6 * positions), apart(2 * nLogits * n);
  for (int t = 0; t < 200; ++t) {
    // w c and val bigW longer than a double: the pairs carrying them have low parts.
    const Row r = RandomRow(g, n, 20, 1ull << 30);
    const double bigW = static_cast<double>(1 + g() % (1ull << 36));
    const std::vector<double> c = Dyadics(g, nb, 28);
    std::vector<DD> coef;
    for (double x : c) coef.push_back(dd::TwoProd(r.w, x));
    const int m = static_cast<int>(r.idx.size());
    add(m, r.idx.data(), r.val.data(), nb, coef.data(), whole.data());
    add(m, r.idx.data(), r.val.data(), nb, coef.data(), half[t % 2].data());
    dd::AddOuterSparse(m, r.idx.data(), r.val.data(), bigW, sums.Data());
    dd::AddOuterSparse(m, r.idx.data(), r.val.data(), bigW, parts[t % 2].Data());
    const std::vector<double> residual = Dyadics(g, nLogits, 26);
    std::vector<double> dense(n, 0.0);
    for (int k = 0; k < m; ++k) dense[r.idx[k]] = r.val[k];
    dd::AddLogitRow(m, r.idx.data(), r.val.data(), nLogits, n, r.w, residual.data(),
                    Dyadics(g, 6, 26).data(), logitCoef.data(), scores.data(), information.data());
    dd::TwoProducts(nLogits, r.w, residual.data(), coefR.data());
    dd::AddScaledColumnsOn(path, n, dense.data(), nLogits, coefR.data(), apart.data(),
                           apart.data() + nLogits * n);
    for (int k = 0; k < m; ++k) {
      for (int j = 0; j < nLogits; ++j)
        exactS[j * n + r.idx[k]] += K(residual[j]) * static_cast<int128>(r.w) * K(r.val[k]);
      for (int l = 0; l <= k; ++l) {
        const std::size_t e = dd::PackedRowStart(r.idx[k]) + r.idx[l];
        exactW[e] += K(r.val[k]) * K(r.val[l]) * static_cast<int128>(bigW);
        for (int b = 0; b < nb; ++b)
          exact[e * nb + b] += K(c[b]) * static_cast<int128>(r.w) * K(r.val[k]) * K(r.val[l]);
      }
    }
  }
  dd::MergeBlocks(positions, nb, half[1].data(), half[0].data());
  parts[0].Merge(parts[1]);
  for (std::size_t e = 0; e < positions; ++e) {
    EXPECT_EQ(Units(sums.Value(e)), exactW[e]) << e;
    EXPECT_EQ(sums.Rounded(e), std::ldexp(static_cast<double>(exactW[e]), -kShift)) << e;
    EXPECT_EQ(Units(parts[0].Value(e)), exactW[e]) << e;
    for (int t = 0; t < nb; ++t) {
      const DD a = dd::BlockSum(whole.data(), nb, e, t), b = dd::BlockSum(half[0].data(), nb, e, t);
      EXPECT_EQ(units(a.hi) + units(a.lo), exact[e * nb + t]) << e << " " << t;
      EXPECT_EQ(units(b.hi) + units(b.lo), exact[e * nb + t]) << e << " " << t;
    }
  }
  for (int e = 0; e < nLogits * n; ++e) {
    EXPECT_EQ(Units(dd::Normalised(scores[e])), exactS[e]) << e;
    EXPECT_EQ(apart[e], scores[e].hi) << e;
    EXPECT_EQ(apart[nLogits * n + e], scores[e].lo) << e;
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, DDBlocksTest,
                         ::testing::Combine(::testing::Values(1, 3, 4, 6, 7, 11),
                                            ::testing::Values(0, 1)));

// The rounding error of a product enters the sum (the sums' own errors: MCExactSumTest):
// (1 + 2^-30)^2 - (1 + 2^-29) = 2^-60.
TEST(DDKernelsTest, ProductErrorsEnterTheSum) {
  const double u = 1.0 + std::ldexp(1.0, -30);
  DD square;
  dd::AddProduct(square, u, u);
  dd::AddProduct(square, -(1.0 + std::ldexp(1.0, -29)), 1.0);
  EXPECT_EQ(dd::ToDouble(dd::Normalised(square)), std::ldexp(1.0, -60));
}

// 128-bit rationals, reduced; an overflow fails the test instead of giving a wrong reference.
struct Q {
  int128 n = 0, d = 1;
};

int128 Gcd(int128 a, int128 b) {
  if (b != 0) return Gcd(b, a % b);
  return a == 0 ? 1 : a < 0 ? -a : a;
}
int128 MulChecked(int128 a, int128 b) {
  int128 r = 0;
  if (__builtin_mul_overflow(a, b, &r)) ADD_FAILURE() << "rational overflow";
  return r;
}
Q Make(int128 n, int128 d) {
  if (d < 0) n = -n, d = -d;
  const int128 g = Gcd(n, d);
  return {n / g, d / g};
}
Q operator+(const Q& a, const Q& b) {
  const int128 g = Gcd(a.d, b.d);
  return Make(MulChecked(a.n, b.d / g) + MulChecked(b.n, a.d / g), MulChecked(a.d, b.d / g));
}
Q operator-(const Q& a) { return {-a.n, a.d}; }
Q operator-(const Q& a, const Q& b) { return a + (-b); }
Q operator*(const Q& a, const Q& b) {
  const Q x = Make(a.n, b.d), y = Make(b.n, a.d);
  return Make(MulChecked(x.n, y.n), MulChecked(x.d, y.d));
}
Q operator/(const Q& a, const Q& b) { return a * Make(b.d, b.n); }

DD ToDD(int128 v) {
  const double hi = static_cast<double>(v);
  return dd::Add(DD{hi, 0.0}, static_cast<double>(v - static_cast<int128>(hi)));
}
double RelativeError(const DD& x, const Q& q) {
  const DD exact = dd::Div(ToDD(q.n), ToDD(q.d));
  const double diff = std::fabs(dd::ToDouble(dd::Sub(x, exact)));
  return exact.hi == 0.0 ? diff : diff / std::fabs(exact.hi);
}

using QMatrix = std::vector<std::vector<Q>>;

// Inverse by Gauss-Jordan elimination (the matrix must be non-singular).
QMatrix Inverse(QMatrix a) {
  const std::size_t n = a.size();
  QMatrix inv(n, std::vector<Q>(n));
  for (std::size_t i = 0; i < n; ++i) inv[i][i] = Q{1, 1};
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    while (a[p][c].n == 0) ++p;
    std::swap(a[p], a[c]);
    std::swap(inv[p], inv[c]);
    const Q f = a[c][c];
    for (std::size_t j = 0; j < n; ++j) a[c][j] = a[c][j] / f, inv[c][j] = inv[c][j] / f;
    for (std::size_t r = 0; r < n; ++r) {
      if (r == c || a[r][c].n == 0) continue;
      const Q m = a[r][c];
      for (std::size_t j = 0; j < n; ++j)
        a[r][j] = a[r][j] - m * a[c][j], inv[r][j] = inv[r][j] - m * inv[c][j];
    }
  }
  return inv;
}

// X'X (y last) of the rows (1, x, ..., x^degree, y), x = x0, x0 + 1, ...: badly conditioned.
QMatrix PolynomialCrossProducts(int64_t x0, int degree, int count) {
  QMatrix a(degree + 2, std::vector<Q>(degree + 2));
  for (int t = 0; t < count; ++t) {
    std::vector<int64_t> r;
    int64_t x = x0 + t, p = 1;
    for (int k = 0; k <= degree; ++k, p *= x) r.push_back(p);
    r.push_back(7 + 3 * (t % 5) - (t * t) % 11);  // y
    for (int i = 0; i <= degree + 1; ++i)
      for (int j = 0; j <= degree + 1; ++j) a[i][j] = a[i][j] + Q{MulChecked(r[i], r[j]), 1};
  }
  return a;
}

std::vector<DD> Packed(const QMatrix& a) {
  std::vector<DD> out;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (std::size_t j = 0; j <= i; ++j) out.push_back(dd::Div(ToDD(a[i][j].n), ToDD(a[i][j].d)));
  }
  return out;
}

struct SweepCase {
  int64_t x0;
  int degree, count;
  double worst;  // largest relative error allowed
};

class DDSweepTest : public ::testing::TestWithParam<SweepCase> {};

// Sweeping [[A, b], [b', c]] gives -inv(A), inv(A) b and c - b' inv(A) b; the Cholesky factor of
// A solves A x = b and gives inv(A). The pivot ratios go down to 1e-13, where double keeps few
// digits.
TEST_P(DDSweepTest, SweepAndCholeskyGiveTheExactInverseAndSolution) {
  const SweepCase& c = GetParam();
  const QMatrix full = PolynomialCrossProducts(c.x0, c.degree, c.count);
  const int n = static_cast<int>(full.size());
  const int p = n - 1;
  QMatrix a(full.begin(), full.end() - 1);
  for (std::vector<Q>& row : a) row.pop_back();
  const QMatrix inv = Inverse(a);
  std::vector<DD> m = Packed(full);
  std::vector<DD> chol(m.begin(), m.begin() + dd::PackedRowStart(p)), b(p), x(p);
  for (int i = 0; i < p; ++i) {
    b[i] = m[dd::PackedRowStart(p) + i];
    ASSERT_TRUE(dd::CholeskyRow(chol.data(), i, chol[dd::PackedRowStart(i) + i], 1e-30)) << i;
  }
  dd::ForwardSubstitute(p, chol.data(), b.data(), x.data());
  dd::BackSubstitute(p, chol.data(), x.data(), x.data());
  dd::InverseFromFactor(p, chol.data());
  std::vector<DD> ref(n);
  for (int i = 0; i < n; ++i) ref[i] = m[dd::PackedRowStart(i) + i];
  std::vector<unsigned char> swept(n, 0);
  for (int k = 0; k < p; ++k)
    ASSERT_TRUE(dd::SweepPivot(n, m.data(), k, 1e-20, ref.data(), swept.data())) << k;
  double worst = 0.0;
  Q rss = full[p][p];
  for (int i = 0; i < p; ++i) {
    Q bi;
    for (int j = 0; j < p; ++j) bi = bi + inv[i][j] * full[j][p];
    rss = rss - bi * full[i][p];
    worst = std::max({worst, RelativeError(m[dd::PackedRowStart(p) + i], bi),
                      RelativeError(x[i], bi)});
    for (int j = 0; j <= i; ++j) {
      worst = std::max({worst, RelativeError(m[dd::PackedRowStart(i) + j], -inv[i][j]),
                        RelativeError(chol[dd::PackedRowStart(i) + j], inv[i][j])});
    }
  }
  worst = std::max(worst, RelativeError(m[dd::PackedRowStart(p) + p], rss));
  EXPECT_LT(worst, c.worst);
  // Sweeping every pivot back gives the matrix again.
  for (int k = p - 1; k >= 0; --k)
    ASSERT_TRUE(dd::SweepPivot(n, m.data(), k, 1e-20, ref.data(), swept.data()));
  const std::vector<DD> again = Packed(full);
  for (std::size_t e = 0; e < m.size(); ++e) {
    EXPECT_LE(std::fabs(dd::ToDouble(dd::Sub(m[e], again[e]))), 1e-12 * std::fabs(again[e].hi))
        << e;
  }
  for (unsigned char bit : swept) EXPECT_EQ(bit, 0);
}

INSTANTIATE_TEST_SUITE_P(Designs, DDSweepTest,
                         ::testing::Values(SweepCase{0, 2, 8, 1e-28}, SweepCase{-3, 4, 9, 1e-27},
                                           SweepCase{1000, 2, 12, 1e-22},
                                           SweepCase{100000, 1, 30, 1e-22}));

// An aliased column's pivot of rounding size is refused (by the sweep and by the Cholesky
// factor, whose inverse gets a zero row); a pivot ratio r is kept for tol < r.
TEST(DDKernelsTest, SweepAndCholeskyRefuseAliasedAndSmallPivots) {
  // Columns 1, x, 2 + 3x for x = 0.1 k: aliased up to the rounding of the third column.
  std::vector<DD> m(dd::PackedRowStart(3));
  for (int k = 0; k < 50; ++k) {
    const double x = 0.1 * k;
    const double row[3] = {1.0, x, 2.0 + 3.0 * x};
    const int idx[3] = {0, 1, 2};
    dd::AddOuterSparse(3, idx, row, 1.0, m.data());
  }
  for (DD& e : m) e = dd::Normalised(e);
  std::vector<DD> ref = {m[0], m[2], m[5]}, chol = m;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(dd::CholeskyRow(chol.data(), i, ref[i], 1e-12), i < 2);
  dd::InverseFromFactor(3, chol.data());
  for (int j = 0; j < 3; ++j) EXPECT_EQ(chol[dd::PackedRowStart(2) + j].hi, 0.0);
  std::vector<unsigned char> swept(3, 0);
  EXPECT_TRUE(dd::SweepPivot(3, m.data(), 0, 1e-12, ref.data(), swept.data()));
  EXPECT_TRUE(dd::SweepPivot(3, m.data(), 1, 1e-12, ref.data(), swept.data()));
  const std::vector<DD> before = m;
  // The third pivot is about 1e-32 of its diagonal.
  EXPECT_FALSE(dd::SweepPivot(3, m.data(), 2, 1e-12, ref.data(), swept.data()));
  EXPECT_EQ(swept[2], 0);
  for (std::size_t e = 0; e < m.size(); ++e) EXPECT_EQ(m[e].hi, before[e].hi);

  // diag(4, 1) with off-diagonal 1.5: the second pivot is exactly 1 - 2.25 / 4 = 0.4375.
  const double below = std::nextafter(0.4375, 0.0);
  for (const double tol : {below, 0.4375, 0.5}) {
    std::vector<DD> a = {{4.0, 0.0}, {1.5, 0.0}, {1.0, 0.0}};
    std::vector<DD> r = {{4.0, 0.0}, {1.0, 0.0}};
    std::vector<unsigned char> s(2, 0);
    ASSERT_TRUE(dd::SweepPivot(2, a.data(), 0, tol, r.data(), s.data()));
    EXPECT_EQ(dd::SweepPivot(2, a.data(), 1, tol, r.data(), s.data()), tol == below) << tol;
    EXPECT_EQ(s[1], tol == below ? 1 : 0);
    // The Cholesky row takes the same pivot, and a refused one is left zero.
    std::vector<DD> c = {{4.0, 0.0}, {1.5, 0.0}, {1.0, 0.0}};
    ASSERT_TRUE(dd::CholeskyRow(c.data(), 0, r[0], tol));
    EXPECT_EQ(dd::CholeskyRow(c.data(), 1, r[1], tol), tol == below) << tol;
    EXPECT_EQ(c[2].hi == 0.0, tol != below) << tol;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "LapackOracle.h"
#include "Linpack.h"

using MCCommonMath::Linpack;
using mctest::Dense;

namespace {

constexpr double kPad = 1e300;  // fills the unused rows of every array, so stray writes show

// Accuracy to expect of a backward-stable solve with this reciprocal condition.
double Tol(int n, double rcond) { return 1e3 * n * DBL_EPSILON / rcond; }

double MatRelDiff(const Dense& a, const Dense& b) { return mctest::RelDiff(a.v, b.v); }

// The matrix kinds by their LINPACK prefixes (si: every third eigenvalue negative).
enum Kind { kGe, kGb, kPo, kPb, kSi, kTrl, kTru, kGt, kPt };

// A matrix of the kind: the dense kinds of condition cond; the others random entries on lo sub-
// and hi superdiagonals (the symmetric kinds mirror their upper ones) with a diagonal of order
// 1/cond for gb and gt, so that they pivot, else a dominant one.
Dense Make(Kind kind, int n, double cond, std::mt19937& rng) {
  std::vector<int> signs(n, 1);
  for (int i = 1; kind == kSi && i < n; i += 3) signs[i] = -1;
  if (kind == kGe) return mctest::GeneralWithCondition(n, cond, rng);
  if (kind == kPo || kind == kSi) return mctest::SymmetricWithCondition(n, cond, rng, signs);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const bool pivots = kind == kGb || kind == kGt, mirrored = kind == kPb || kind == kPt;
  const int lo = kind == kGb ? 2 : kind == kGt ? 1 : kind == kTrl ? n : 0;
  const int hi = kind == kPb ? 2 : kind == kTru ? n : kind == kTrl ? 0 : 1;
  Dense a(n, n);
  for (int j = 0; j < n; ++j)
    for (int i = std::max(0, j - hi); i <= std::min(n - 1, j + lo); ++i)
      if (i != j) a(i, j) = mirrored ? a(j, i) = u(rng) : u(rng);
  for (int i = 0; i < n; ++i) {
    double off = 0.0;
    for (int j = 0; j < n; ++j) off += j != i ? std::fabs(a(i, j)) : 0.0;
    a(i, i) = pivots ? u(rng) / cond : 0.1 + 1.0 / cond + off;
  }
  return a;
}

// How a scheme stores the matrix: the packed upper triangle column by column; a band in row
// i - j + ml + mu of column j (the ml rows above for the fill-in); tridiagonal: the sub-, main
// and superdiagonal one after another.
enum Store { kFull, kPacked, kBand, kTridiagonal };

// A storage scheme, and whether its solver also solves the transposed system.
struct Scheme {
  const char* name;
  Kind kind;
  Store store;
  bool transposes;
};

const Scheme kSchemes[] = {
    {"ge", kGe, kFull, true},         {"gb", kGb, kBand, true},        {"po", kPo, kFull, false},
    {"pp", kPo, kPacked, false},      {"pb", kPb, kBand, false},       {"si", kSi, kFull, false},
    {"sp", kSi, kPacked, false},      {"trl", kTrl, kFull, true},      {"tru", kTru, kFull, true},
    {"gt", kGt, kTridiagonal, false}, {"pt", kPt, kTridiagonal, false}};

struct Work {
  int n = 0, ld = 0, ml = 0, mu = 0;
  Store store = kFull;
  std::vector<double> a, z;
  std::vector<int> piv;
  double det[2] = {0, 0};
  int inert[3] = {-1, -1, -1};
  double* A() { return a.data(); }
  int* P() { return piv.data(); }
  double* Z() { return z.data(); }
  // Where element (i, j) is kept, -1 where nowhere.
  long Where(int i, int j) const {
    const long col = static_cast<long>(j) * ld;
    if (store == kFull) return i + col;
    if (store == kPacked) return i <= j ? i + j * (j + 1L) / 2 : -1;
    if (store == kBand) return j - mu <= i && i <= j + ml ? i - j + ml + mu + col : -1;
    return i == j + 1 ? i : i == j ? n + i : i + 1 == j ? 2 * n + i : -1;
  }
  // Its upper (part 1), lower (-1) or whole (0) matrix; 2: the upper one mirrored.
  Dense Read(int part) const {
    Dense m(n, n);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        if ((part == 0 || (part > 0 ? i <= j : i >= j)) && Where(i, j) >= 0)
          m(i, j) = m(part == 2 ? j : i, part == 2 ? i : j) = a[Where(i, j)];
    return m;
  }
};

// a in the scheme's array; every other place holds kPad, the band's fill-in rows -kPad, so
// that reading them before writing shows. The general band has 2 sub- and 1 superdiagonal,
// the positive one 2 superdiagonals.
void Lay(const Scheme& s, const Dense& a, Work& w) {
  const int n = w.n;
  w.store = s.store, w.ml = s.kind == kGb ? std::min(2, n - 1) : 0;
  w.mu = std::min(s.kind == kGb ? 1 : 2, n - 1);
  w.ld = s.store == kBand ? 2 * w.ml + w.mu + 2 : n + 3;  // also room for the other schemes
  w.a.assign(static_cast<size_t>(w.ld) * n, kPad);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; s.store == kBand && i < w.ml; ++i)
      w.a[i + static_cast<size_t>(j) * w.ld] = -kPad;
    for (int i = 0; i < n; ++i)
      if (w.Where(i, j) >= 0) w.a[w.Where(i, j)] = a(i, j);
  }
  if (s.store == kTridiagonal) w.a[0] = w.a[3 * n - 1] = 0.0;  // c(1), e(n): outside the matrix
}

// R'R of the triangle R in a column-major array.
Dense RtR(const std::vector<double>& a, int ld, int n) {
  Work w;
  w.n = n, w.ld = ld, w.a = a;
  const Dense r = w.Read(1);
  return mctest::Multiply(mctest::Transpose(r), r);
}

// The scheme's condition estimator, which factors (the tridiagonal solvers factor as they solve).
double Condition(const std::string& s, Work& w) {
  if (s == "ge") return Linpack::Dgeco(w.A(), w.ld, w.n, w.P(), w.Z());
  if (s == "gb") return Linpack::Dgbco(w.A(), w.ld, w.n, w.ml, w.mu, w.P(), w.Z());
  if (s == "po") return Linpack::Dpoco(w.A(), w.ld, w.n, w.Z());
  if (s == "pp") return Linpack::Dppco(w.A(), w.n, w.Z());
  if (s == "pb") return Linpack::Dpbco(w.A(), w.ld, w.n, w.mu, w.Z());
  if (s == "si") return Linpack::Dsico(w.A(), w.ld, w.n, w.P(), w.Z());
  if (s == "sp") return Linpack::Dspco(w.A(), w.n, w.P(), w.Z());
  return Linpack::Dtrco(w.A(), w.ld, w.n, w.Z(), s == "tru");
}

// Solves in place (the transposed system for trans 1); the status where the solver gives one.
int Solve(const std::string& s, Work& w, double* b, int trans) {
  if (s == "ge") Linpack::Dgesl(w.A(), w.ld, w.n, w.P(), b, trans);
  if (s == "gb") Linpack::Dgbsl(w.A(), w.ld, w.n, w.ml, w.mu, w.P(), b, trans);
  if (s == "po") Linpack::Dposl(w.A(), w.ld, w.n, b);
  if (s == "pp") Linpack::Dppsl(w.A(), w.n, b);
  if (s == "pb") Linpack::Dpbsl(w.A(), w.ld, w.n, w.mu, b);
  if (s == "si") Linpack::Dsisl(w.A(), w.ld, w.n, w.P(), b);
  if (s == "sp") Linpack::Dspsl(w.A(), w.n, w.P(), b);
  if (s == "pt") Linpack::Dptsl(w.n, w.A() + w.n, w.A() + 2 * w.n, b);
  if (s == "gt") return Linpack::Dgtsl(w.n, w.A(), w.A() + w.n, w.A() + 2 * w.n, b);
  if (s[0] == 't') return Linpack::Dtrsl(w.A(), w.ld, w.n, b, 10 * trans + (s == "tru"));
  return 0;
}

// The determinant (and inertia) into w; the inverse where the scheme has one, else empty.
Dense Determinant(const std::string& s, Work& w) {
  if (s == "ge") Linpack::Dgedi(w.A(), w.ld, w.n, w.P(), w.det, w.Z(), 11);
  if (s == "gb") Linpack::Dgbdi(w.A(), w.ld, w.n, w.ml, w.mu, w.P(), w.det);
  if (s == "po") Linpack::Dpodi(w.A(), w.ld, w.n, w.det, 11);
  if (s == "pp") Linpack::Dppdi(w.A(), w.n, w.det, 11);
  if (s == "pb") Linpack::Dpbdi(w.A(), w.ld, w.n, w.mu, w.det);
  if (s == "si") Linpack::Dsidi(w.A(), w.ld, w.n, w.P(), w.det, w.inert, w.Z(), 111);
  if (s == "sp") Linpack::Dspdi(w.A(), w.n, w.P(), w.det, w.inert, w.Z(), 111);
  if (s[0] == 't') {
    EXPECT_EQ(Linpack::Dtrdi(w.A(), w.ld, w.n, w.det, 110 + (s == "tru")), 0);
  }
  if (s == "gb" || s == "pb") return Dense(0, 0);
  return w.Read(s == "ge" ? 0 : s == "trl" ? -1 : s == "tru" ? 1 : 2);
}

class LinpackSchemes : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(LinpackSchemes, ConditionSolveDeterminantAndInverseMatchLapack) {
  const auto [s, n, logCond] = GetParam();
  const Scheme& scheme = kSchemes[s];
  std::mt19937 rng(977 + 13 * n + logCond);
  const Dense a = Make(scheme.kind, n, std::pow(10.0, logCond), rng);
  const double truth = mctest::TrueRcond(a), tol = Tol(n, truth);
  Work w;
  w.n = n, w.piv.resize(n), w.z.resize(n);
  Lay(scheme, a, w);
  const auto pads = std::count(w.a.begin(), w.a.end(), kPad);

  const std::string name = scheme.name;
  const bool tridiagonal = scheme.store == kTridiagonal;
  if (!tridiagonal) {  // norm(inverse) is estimated from below: rcond at or above the truth
    const double rcond = Condition(name, w);
    EXPECT_GE(rcond, truth * (1.0 - 1e-6));
    EXPECT_LE(rcond, 10.0 * truth);
    // Entries far below one make the estimator rescale its vectors, which changes nothing.
    Dense tiny = a;
    for (double& v : tiny.v) v = std::ldexp(v, -40);
    Work scaled;
    scaled.n = n, scaled.piv.resize(n), scaled.z.resize(n);
    Lay(scheme, tiny, scaled);
    EXPECT_NEAR(Condition(name, scaled), rcond, 1e-9 * rcond);
  }
  for (int trans = 0; trans <= (scheme.transposes ? 1 : 0); ++trans) {
    const std::vector<double> want = mctest::RandomVector(n, rng);
    std::vector<double> x = mctest::Apply(trans ? mctest::Transpose(a) : a, want);
    EXPECT_EQ(Solve(name, w, x.data(), trans), 0);
    EXPECT_LE(mctest::RelDiff(x, want), tol) << "transposed " << trans;
  }
  if (!tridiagonal) {
    const Dense inverse = Determinant(name, w);
    const double det = mctest::LapackDet(a);
    EXPECT_GE(std::fabs(w.det[0]), 1.0);
    EXPECT_LT(std::fabs(w.det[0]), 10.0);
    EXPECT_NEAR(w.det[0] * std::pow(10.0, w.det[1]), det, tol * std::fabs(det));
    if (inverse.rows > 0) {
      EXPECT_LE(MatRelDiff(inverse, mctest::LapackInverse(a)), tol);
    }
  }
  if (scheme.kind == kSi) {
    EXPECT_EQ(std::vector<int>(w.inert, w.inert + 3),
              (std::vector<int>{n - (n + 1) / 3, (n + 1) / 3, 0}));
  }
  EXPECT_EQ(std::count(w.a.begin(), w.a.end(), kPad), pads);  // nothing written outside
}

INSTANTIATE_TEST_SUITE_P(
    SchemesSizesConditions, LinpackSchemes,
    ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kSchemes))),
                       ::testing::Values(1, 2, 5, 17, 40), ::testing::Values(1, 6)),
    [](const ::testing::TestParamInfo<std::tuple<int, int, int>>& i) {
      return std::string(kSchemes[std::get<0>(i.param)].name) + "_n" +
             std::to_string(std::get<1>(i.param)) + "_cond1e" +
             std::to_string(std::get<2>(i.param));
    });

class LinpackSolvers : public ::testing::TestWithParam<std::tuple<int, int>> {
 protected:
  int n = std::get<0>(GetParam()), ld = n + 3, logCond = std::get<1>(GetParam());
  double cond = std::pow(10.0, logCond);
  std::mt19937 rng{static_cast<unsigned>(977 + 13 * n + logCond)};
};

TEST_P(LinpackSolvers, QrLeastSquaresWithAndWithoutPivoting) {
  int rows = n + 3;
  Dense X = mctest::GeneralWithCondition(rows, cond, rng);
  X.cols = n;
  X.v.resize(static_cast<size_t>(rows) * n);
  std::vector<double> y = mctest::RandomVector(rows, rng);
  std::vector<double> ref = y;
  {
    Dense xc = X;
    int one = 1, info = 0, lwork = 64 * (rows + n);
    std::vector<double> work(lwork);
    dgels_("N", &rows, &n, &one, xc.v.data(), &rows, ref.data(), &rows, work.data(), &lwork, &info,
           1);
    ASSERT_EQ(info, 0);
  }
  int lx = rows + 2;
  for (int job : {0, 1}) {
    std::vector<double> x = mctest::WithLeadingDim(X, lx), qraux(n), work(n);
    std::vector<int> jpvt(n, 0);
    Linpack::Dqrdc(x.data(), lx, rows, n, qraux.data(), jpvt.data(), work.data(), job);
    std::vector<double> qty(rows), b(n), rsd(rows), xb(rows);
    EXPECT_EQ(Linpack::Dqrsl(x.data(), lx, rows, n, qraux.data(), y.data(), nullptr, qty.data(),
                             b.data(), rsd.data(), xb.data(), 111),
              0);
    std::vector<double> coef(n);  // a wrong permutation misplaces coefficients
    for (int j = 0; j < n; ++j) coef[job ? jpvt[j] - 1 : j] = b[j];
    std::vector<double> refCoef(ref.begin(), ref.begin() + n);
    EXPECT_LE(mctest::RelDiff(coef, refCoef), Tol(rows, 1.0 / cond)) << "job " << job;
    std::vector<double> fit = mctest::Apply(X, coef);
    for (int i = 0; i < rows; ++i) {
      EXPECT_NEAR(xb[i] + rsd[i], y[i], 1e-13);
      EXPECT_NEAR(xb[i], fit[i], 1e-10);
    }
    // Residual orthogonal to the columns; Q (Q'y) gives y back.
    std::vector<double> xtr = mctest::Apply(mctest::Transpose(X), rsd);
    EXPECT_LE(mctest::MaxAbs(xtr), 1e-12);
    std::vector<double> back(rows);
    Linpack::Dqrsl(x.data(), lx, rows, n, qraux.data(), qty.data(), back.data(), nullptr, nullptr,
                   nullptr, nullptr, 10000);
    EXPECT_LE(mctest::RelDiff(back, y), 1e-13);
  }
}

TEST_P(LinpackSolvers, SvdValuesAndVectorsMatchLapack) {
  for (int shape = 0; shape < 2; ++shape) {
    int rows = shape == 0 ? n + 3 : n, cols = shape == 0 ? n : n + 2;
    Dense X(rows, cols);
    for (double& e : X.v) e = std::uniform_real_distribution<double>(-1, 1)(rng);
    int k = std::min(rows, cols);
    std::vector<double> refS(k);
    {
      Dense xc = X;
      int lwork = 64 * (rows + cols), info = 0, one = 1;
      std::vector<double> work(lwork);
      double dummy = 0;
      dgesvd_("N", "N", &rows, &cols, xc.v.data(), &rows, refS.data(), &dummy, &one, &dummy, &one,
              work.data(), &lwork, &info, 1, 1);
      ASSERT_EQ(info, 0);
    }
    for (int job : {11, 21}) {
      int ncu = job == 11 ? rows : k;
      std::vector<double> x = X.v, s(std::min(rows + 1, cols)), e(cols), work(rows);
      std::vector<double> u(static_cast<size_t>(rows) * ncu), v(static_cast<size_t>(cols) * cols);
      EXPECT_EQ(Linpack::Dsvdc(x.data(), rows, rows, cols, s.data(), e.data(), u.data(), rows,
                               v.data(), cols, work.data(), job),
                0);
      s.resize(k);
      EXPECT_LE(mctest::RelDiff(s, refS), 1e3 * (rows + cols) * DBL_EPSILON);
      // U(:, 1:k) diag(s) V(:, 1:k)' = X
      Dense rec(rows, cols);
      for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i)
          for (int l = 0; l < k; ++l)
            rec(i, j) +=
                u[i + static_cast<size_t>(l) * rows] * s[l] * v[j + static_cast<size_t>(l) * cols];
      EXPECT_LE(MatRelDiff(rec, X), 1e3 * (rows + cols) * DBL_EPSILON);
    }
  }
}

TEST_P(LinpackSolvers, PivotedCholeskyReproducesPermutedMatrix) {
  Dense A = mctest::SymmetricWithCondition(n, cond, rng, std::vector<int>(n, 1));
  std::vector<double> a = mctest::WithLeadingDim(A, ld), work(n);
  std::vector<int> jpvt(n, 0);
  EXPECT_EQ(Linpack::Dchdc(a.data(), ld, n, work.data(), jpvt.data(), 1), n);
  const Dense rtr = RtR(a, ld, n);
  Dense perm(n, n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) perm(i, j) = A(jpvt[i] - 1, jpvt[j] - 1);
  EXPECT_LE(MatRelDiff(rtr, perm), 100 * n * DBL_EPSILON);
  for (int i = 1; i < n; ++i) EXPECT_LE(a[i * (ld + 1)], a[(i - 1) * (ld + 1)] * (1 + 1e-12));
}

TEST_P(LinpackSolvers, CholeskyUpdateDowndateAndExchange) {
  int p = n, rows = n + 4;
  Dense X(rows, p);
  for (double& e : X.v) e = std::uniform_real_distribution<double>(-1, 1)(rng);
  std::vector<double> y = mctest::RandomVector(rows, rng);
  // R from X'X, z = R^-T X'y and rho = residual norm: the triangular part of X's QR.
  Dense A = mctest::Multiply(mctest::Transpose(X), X);
  std::vector<double> r = mctest::WithLeadingDim(A, ld);
  ASSERT_EQ(Linpack::Dpofa(r.data(), ld, p), 0);
  std::vector<double> zv = mctest::Apply(mctest::Transpose(X), y);
  ASSERT_EQ(Linpack::Dtrsl(r.data(), ld, p, zv.data(), 11), 0);
  // y'y = z'z + rho^2 before and (with the new observation) after the update.
  auto dot = [](const std::vector<double>& u) {
    return std::inner_product(u.begin(), u.end(), u.begin(), 0.0);
  };
  double rho = std::sqrt(dot(y) - dot(zv));
  auto rtr = [&](const std::vector<double>& rr) { return RtR(rr, ld, p); };

  // Append the observation (x, yNew): R'R gains x x'.
  std::vector<double> x = mctest::RandomVector(p, rng), c(p), s(p);
  double yNew = 0.3;
  std::vector<double> z0 = zv;
  double rho0 = rho;
  Linpack::Dchud(r.data(), ld, p, x.data(), zv.data(), p, 1, &yNew, &rho, c.data(), s.data());
  Dense Aa = A;
  for (int j = 0; j < p; ++j)
    for (int i = 0; i < p; ++i) Aa(i, j) += x[i] * x[j];
  EXPECT_LE(MatRelDiff(rtr(r), Aa), 1e3 * DBL_EPSILON);
  EXPECT_NEAR(rho * rho + dot(zv), dot(y) + yNew * yNew, 1e-10 * dot(y));

  // Removing it again restores the factorisation's product and the residual norm.
  EXPECT_EQ(
      Linpack::Dchdd(r.data(), ld, p, x.data(), zv.data(), p, 1, &yNew, &rho, c.data(), s.data()),
      0);
  EXPECT_LE(MatRelDiff(rtr(r), A), 1e-10);
  EXPECT_NEAR(rho, rho0, 1e-9 * (1 + rho0));
  EXPECT_LE(mctest::RelDiff(zv, z0), 1e-9);

  // A row that cannot be removed leaves everything unaltered: R^-T x has norm 2.
  std::vector<double> big(p, 0.0);
  for (int j = 0; j < p; ++j) big[j] = 2.0 * r[0 + static_cast<size_t>(j) * ld];
  std::vector<double> before = r;
  EXPECT_EQ(
      Linpack::Dchdd(r.data(), ld, p, big.data(), zv.data(), p, 0, &yNew, &rho, c.data(), s.data()),
      -1);
  EXPECT_EQ(r, before);

  // Circular shifts (job 1: last column first, job 2: first last): R'R becomes E'AE, and
  // the parts below the diagonal stay.
  const Dense Ar = rtr(r);
  for (int job : {1, 2}) {
    std::vector<double> rr = r;
    Linpack::Dchex(rr.data(), ld, p, 1, p, nullptr, 1, 0, c.data(), s.data(), job);
    const auto from = [&](int i) { return (job == 1 ? i + p - 1 : i + 1) % p; };
    Dense expect(p, p);
    for (int j = 0; j < p; ++j)
      for (int i = 0; i < p; ++i) expect(i, j) = Ar(from(i), from(j));
    EXPECT_LE(MatRelDiff(rtr(rr), expect), 1e3 * DBL_EPSILON) << "job " << job;
    for (int j = 0; j < p; ++j)
      for (int i = j + 1; i < p; ++i)
        EXPECT_EQ(rr[i + static_cast<size_t>(j) * ld], r[i + static_cast<size_t>(j) * ld]);
  }
}

INSTANTIATE_TEST_SUITE_P(SizesAndConditions, LinpackSolvers,
                         ::testing::Combine(::testing::Values(1, 2, 5, 17, 40),
                                            ::testing::Values(1, 6)));

// Each factorisation reports the order of the first zero pivot (or non-positive leading minor)
// and each condition estimator gives rcond 0.
TEST(LinpackSingular, InfoNamesTheFirstZeroPivotAndRcondIsZero) {
  using V = std::vector<double>;
  const auto A = [](V&& v) { return v.data(); };  // an array that lives for the statement
  int p[4] = {0, 0, 0, 0};
  double z[4], w[4], det[2], q[3], b[3] = {1, 2, 3};
  EXPECT_EQ(Linpack::Dgefa(A({1, 2, 2, 4}), 2, 2, p), 2);  // columns (1, 2) and (2, 4)
  EXPECT_EQ(std::vector<int>(p, p + 2), (std::vector<int>{2, 2}));
  EXPECT_EQ(Linpack::Dgeco(A({1, 2, 2, 4}), 2, 2, p, z), 0.0);
  EXPECT_EQ(Linpack::Dgefa(A({0, 0, 1, 3}), 2, 2, p), 1);
  EXPECT_EQ(Linpack::Dgbfa(A(V(6)), 3, 2, 1, 0, p), 2);
  EXPECT_EQ(Linpack::Dgbfa(A({0, 0, 0, 0, 1, 0}), 3, 2, 1, 0, p), 1);  // only a(2, 2) = 1
  EXPECT_EQ(Linpack::Dpofa(A({1, 2, 2, 1}), 2, 2), 2);
  EXPECT_EQ(Linpack::Dpoco(A({1, 2, 2, 1}), 2, 2, z), 0.0);
  EXPECT_EQ(Linpack::Dppfa(A({1, 2, 1}), 2), 2);
  EXPECT_EQ(Linpack::Dppco(A({1, 2, 1}), 2, z), 0.0);
  EXPECT_EQ(Linpack::Dpbfa(A({0, -1, 2, 1}), 2, 2, 1), 1);  // diagonal (-1, 1)
  EXPECT_EQ(Linpack::Dsifa(A(V(9)), 3, 3, p), 1);
  EXPECT_EQ(Linpack::Dsico(A(V(9)), 3, 3, p, z), 0.0);
  EXPECT_EQ(Linpack::Dspfa(A(V(6)), 3, p), 1);
  const V lower = {2, 1, 1, 0, 3, 1, 0, 0, 0};  // t(3, 3) = 0
  EXPECT_EQ(Linpack::Dtrsl(A(V(lower)), 3, 3, b, 0), 3);
  EXPECT_EQ(V(b, b + 3), (V{1, 2, 3}));
  EXPECT_EQ(Linpack::Dtrdi(A(V(lower)), 3, 3, det, 110), 3);
  EXPECT_EQ(Linpack::Dtrco(A(V(lower)), 3, 3, z, 0), 0.0);
  // Subdiagonal only: every step pivots on it and the last pivot is 0; a zero first column.
  EXPECT_EQ(Linpack::Dgtsl(3, A({0, 1, 1}), A(V(3)), A(V(3)), A({1, 1, 1})), 3);
  EXPECT_EQ(Linpack::Dgtsl(3, A({0, 0, 1}), A({0, 1, 1}), A({1, 1, 0}), A({1, 1, 1})), 1);
  // Second column zero, no pivoting: the least-squares solve reports column 2.
  V x = {1, 2, 3, 0, 0, 0};
  Linpack::Dqrdc(x.data(), 3, 3, 2, q, p, w, 0);
  EXPECT_EQ(Linpack::Dqrsl(x.data(), 3, 3, 2, q, b, nullptr, w, z, nullptr, nullptr, 100), 2);
}

TEST(LinpackSingular, SemidefiniteCholeskyStopsAtRankAndHonoursFinalColumns) {
  // A 2 x 2 positive definite block in rows and columns 2, 3 (1-based), zeros elsewhere.
  std::vector<double> a = {0, 0, 0, 0, 0, 4, 1, 0, 0, 1, 3, 0, 0, 0, 0, 0}, work(4);
  std::vector<int> jpvt = {0, 0, 0, 0};
  EXPECT_EQ(Linpack::Dchdc(a.data(), 4, 4, work.data(), jpvt.data(), 1), 2);
  EXPECT_EQ(std::vector<int>(jpvt.begin(), jpvt.begin() + 2), (std::vector<int>{2, 3}));
  EXPECT_DOUBLE_EQ(a[0], 2.0);  // sqrt(4)
  // A final element stays at the end even when it is the largest.
  std::vector<double> d = {9, 0, 0, 0, 1, 0, 0, 0, 4}, w3(3);
  std::vector<int> piv = {-1, 0, 0};
  EXPECT_EQ(Linpack::Dchdc(d.data(), 3, 3, w3.data(), piv.data(), 1), 3);
  EXPECT_EQ(piv[2], 1);
  EXPECT_EQ(piv[0], 3);
}

}  // namespace

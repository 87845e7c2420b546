#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "Blas1.h"
#include "LapackOracle.h"
#include "MCMathFun.h"

using MCCommonMath::Blas1;
using MCCommonMath::MCMathFun;

namespace {

// (n, incx, incy): every level-1 routine against the reference BLAS on the same data.
class Blas1VsReference : public ::testing::TestWithParam<std::tuple<int, int, int>> {
 protected:
  void SetUp() override {
    std::tie(n, incx, incy) = GetParam();
    std::mt19937 rng(1234 + n * 31 + incx * 7 + incy);
    x = mctest::RandomVector(1 + (n + 1) * std::abs(incx), rng);
    y = mctest::RandomVector(1 + (n + 1) * std::abs(incy), rng);
  }
  // Ours and the reference, each on its own copies of x and y, leave the same elements (to
  // 4 ulps when asked: the reference may fuse the rotation's products).
  template <class Mine, class Ref>
  void ExpectSame(Mine mine, Ref ref, bool ulps = false) {
    std::vector<double> m[2] = {x, y}, r[2] = {x, y};
    mine(m[0].data(), m[1].data());
    ref(r[0].data(), r[1].data());
    for (int v = 0; v < 2; ++v)
      for (std::size_t i = 0; i < m[v].size(); ++i)
        EXPECT_NEAR(m[v][i], r[v][i], ulps ? 4 * DBL_EPSILON * std::fabs(r[v][i]) : 0.0) << i;
  }
  int n = 0, incx = 1, incy = 1;
  std::vector<double> x, y;
};

TEST_P(Blas1VsReference, DotAxpyCopySwapRotMatchReference) {
  EXPECT_DOUBLE_EQ(Blas1::DDot(n, x.data(), incx, y.data(), incy),
                   ddot_(&n, x.data(), &incx, y.data(), &incy));

  double a = -0.75, c = 0.6, s = -0.8;
  ExpectSame([&](double* u, double* v) { Blas1::Daxpy(n, a, u, incx, v, incy); },
             [&](double* u, double* v) { daxpy_(&n, &a, u, &incx, v, &incy); });
  ExpectSame([&](double* u, double* v) { Blas1::DCopy(n, u, incx, v, incy); },
             [&](double* u, double* v) { dcopy_(&n, u, &incx, v, &incy); });
  ExpectSame([&](double* u, double* v) { Blas1::DSwap(n, u, incx, v, incy); },
             [&](double* u, double* v) { dswap_(&n, u, &incx, v, &incy); });
  ExpectSame([&](double* u, double* v) { Blas1::DRot(n, u, incx, v, incy, c, s); },
             [&](double* u, double* v) { drot_(&n, u, &incx, v, &incy, &c, &s); }, true);
  // MCMathFun's offset forms start at element 1 of the same arrays.
  EXPECT_DOUBLE_EQ(MCMathFun::DDot(n, x, 1, incx, y, 1, incy),
                   ddot_(&n, x.data() + 1, &incx, y.data() + 1, &incy));
  ExpectSame([&](double* u, double* v) { MCMathFun::Daxpy(n, a, u, 1, incx, v, 1, incy); },
             [&](double* u, double* v) { daxpy_(&n, &a, u + 1, &incx, v + 1, &incy); });
  // DLoad sets exactly the walked elements, in either direction.
  std::vector<double> loaded = x, want = x;
  MCMathFun::DLoad(n, 7.0, loaded, 1, incx);
  for (int i = 0; i < n; ++i) want[1 + i * std::abs(incx)] = 7.0;
  EXPECT_EQ(loaded, want);
}

TEST_P(Blas1VsReference, SingleVectorRoutinesMatchReferenceForPositiveStrides) {
  if (incx < 1) {
    // The published routines do nothing for a non-positive stride.
    EXPECT_EQ(Blas1::DASum(n, x.data(), incx), 0.0);
    EXPECT_EQ(Blas1::IDAMax(n, x.data(), incx), 0);
    std::vector<double> copy = x;
    Blas1::DScal(n, 3.0, copy.data(), incx);
    EXPECT_EQ(copy, x);
    return;
  }
  EXPECT_DOUBLE_EQ(Blas1::DASum(n, x.data(), incx), dasum_(&n, x.data(), &incx));
  EXPECT_DOUBLE_EQ(MCMathFun::DASum(n, x, 1, incx), dasum_(&n, x.data() + 1, &incx));
  double refNorm = dnrm2_(&n, x.data(), &incx), offNorm = dnrm2_(&n, x.data() + 1, &incx);
  EXPECT_NEAR(Blas1::DNrm2(n, x.data(), incx), refNorm, 1e-14 * refNorm);
  EXPECT_NEAR(MCMathFun::DNrm2(n, x, 1, incx), offNorm, 1e-14 * offNorm);
  EXPECT_EQ(Blas1::IDAMax(n, x.data(), incx), idamax_(&n, x.data(), &incx));
  double a = 2.5;
  ExpectSame([&](double* u, double*) { Blas1::DScal(n, a, u, incx); },
             [&](double* u, double*) { dscal_(&n, &a, u, &incx); });
  ExpectSame([&](double* u, double*) { MCMathFun::DScal(n, a, u, 1, incx); },
             [&](double* u, double*) { dscal_(&n, &a, u + 1, &incx); });
}

INSTANTIATE_TEST_SUITE_P(SizesAndStrides, Blas1VsReference,
                         ::testing::Combine(::testing::Values(0, 1, 5, 17),
                                            ::testing::Values(1, 2, -1, -3),
                                            ::testing::Values(1, 3, -2)));

// r, z, c and s against the reference for each branch: |a| > |b| (z = s), |b| >= |a| (z = 1/c,
// or 1 when c = 0), both zero (z = 0), and magnitudes whose squares overflow.
TEST(Blas1, RotGMatchesReferenceIncludingDegenerateCases) {
  const double pairs[][2] = {{-4.0, 3.0}, {1.0, -2.0}, {0.0, 2.0},
                             {5.0, 0.0},  {0.0, 0.0},  {1e300, -2e300}};
  for (const auto& p : pairs) {
    double mine[4] = {p[0], p[1], 0, 0}, ref[4] = {p[0], p[1], 0, 0};
    Blas1::DRotG(&mine[0], &mine[1], &mine[2], &mine[3]);
    drotg_(&ref[0], &ref[1], &ref[2], &ref[3]);
    for (int k = 0; k < 4; ++k)
      EXPECT_DOUBLE_EQ(mine[k], ref[k]) << p[0] << "," << p[1] << " " << k;
  }
}

TEST(Blas1, Nrm2AvoidsOverflowAndUnderflowAndIDAMaxTakesFirstTie) {
  std::vector<double> big = {3e200, 4e200}, tiny = {3e-200, 4e-200}, v = {1.0, -4.0, 4.0, 2.0};
  EXPECT_DOUBLE_EQ(Blas1::DNrm2(2, big.data(), 1), 5e200);
  EXPECT_DOUBLE_EQ(Blas1::DNrm2(2, tiny.data(), 1), 5e-200);
  EXPECT_EQ(Blas1::IDAMax(4, v.data(), 1), 2);
}

TEST(Blas1, DMachGivesRunTimeMachineConstants) {
  EXPECT_EQ(Blas1::DMach(1), DBL_EPSILON);
  // The smallest nonzero power of 16 is 2^-1072 (a subnormal); tiny = that / eps * 100.
  EXPECT_EQ(Blas1::DMach(2), std::ldexp(100.0, -1072 + 52));
  EXPECT_EQ(Blas1::DMach(3), 1.0 / Blas1::DMach(2));
}

TEST(Blas1DeathTest, XErBlaPrintsMessageAndExitsWithStatusOne) {
  // The message goes to standard output; the child sends it to stderr for the matcher.
  EXPECT_EXIT(
      {
        dup2(2, 1);
        Blas1::XErBla("DGEFA", 3);
      },
      ::testing::ExitedWithCode(1),
      "\nXERBLA - Fatal error!\n  On entry to routine DGEFA\n  input parameter number 3 had "
      "an illegal value\\.\n");
}

}  // namespace

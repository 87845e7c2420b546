#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "Blas1.h"
#include "LapackOracle.h"

using MCCommonMath::Blas1;

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
  int n = 0, incx = 1, incy = 1;
  std::vector<double> x, y;
};

TEST_P(Blas1VsReference, DotAxpyCopySwapRotMatchReference) {
  EXPECT_DOUBLE_EQ(Blas1::DDot(n, x.data(), incx, y.data(), incy),
                   ddot_(&n, x.data(), &incx, y.data(), &incy));

  double a = -0.75;
  std::vector<double> mine = y, ref = y;
  Blas1::Daxpy(n, a, x.data(), incx, mine.data(), incy);
  daxpy_(&n, &a, x.data(), &incx, ref.data(), &incy);
  EXPECT_EQ(mine, ref);

  mine = ref = y;
  Blas1::DCopy(n, x.data(), incx, mine.data(), incy);
  dcopy_(&n, x.data(), &incx, ref.data(), &incy);
  EXPECT_EQ(mine, ref);

  std::vector<double> mx = x, my = y, rx = x, ry = y;
  Blas1::DSwap(n, mx.data(), incx, my.data(), incy);
  dswap_(&n, rx.data(), &incx, ry.data(), &incy);
  EXPECT_EQ(mx, rx);
  EXPECT_EQ(my, ry);

  double c = 0.6, s = -0.8;
  mx = rx = x;
  my = ry = y;
  Blas1::DRot(n, mx.data(), incx, my.data(), incy, c, s);
  drot_(&n, rx.data(), &incx, ry.data(), &incy, &c, &s);
  for (std::size_t i = 0; i < mx.size(); ++i) EXPECT_DOUBLE_EQ(mx[i], rx[i]);
  for (std::size_t i = 0; i < my.size(); ++i) EXPECT_DOUBLE_EQ(my[i], ry[i]);
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
  double refNorm = dnrm2_(&n, x.data(), &incx);
  EXPECT_NEAR(Blas1::DNrm2(n, x.data(), incx), refNorm, 1e-14 * refNorm);
  EXPECT_EQ(Blas1::IDAMax(n, x.data(), incx), idamax_(&n, x.data(), &incx));
  double a = 2.5;
  std::vector<double> mine = x, ref = x;
  Blas1::DScal(n, a, mine.data(), incx);
  dscal_(&n, &a, ref.data(), &incx);
  EXPECT_EQ(mine, ref);
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
    // The rotation zeroes the second component: -s*a0 + c*b0 = 0.
    EXPECT_NEAR(-mine[3] * p[0] + mine[2] * p[1], 0.0, 1e-15 * std::fabs(mine[0]) + 1e-300);
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

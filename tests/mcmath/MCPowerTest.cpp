#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "MCPower.h"

using MCCommonMath::MCPower;

namespace {

const double kMissing = std::numeric_limits<double>::lowest();

struct PowerCase {
  double a, b;
  int status;
  double expected;  // compared exactly when missing, 0 or 1, otherwise to 1e-14 relative
};

class PowerStatuses : public ::testing::TestWithParam<PowerCase> {};

TEST_P(PowerStatuses, GivesStatusAndResult) {
  const PowerCase& c = GetParam();
  double r = 12345.0;
  EXPECT_EQ(MCPower::Power(c.a, c.b, r), c.status) << c.a << "^" << c.b;
  if (c.expected == kMissing || c.expected == 0.0 || c.expected == 1.0) {
    EXPECT_EQ(r, c.expected) << c.a << "^" << c.b;
  } else {
    EXPECT_NEAR(r, c.expected, 1e-14 * std::fabs(c.expected)) << c.a << "^" << c.b;
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllEight, PowerStatuses,
    ::testing::Values(PowerCase{2.0, 10.0, 0, 1024.0}, PowerCase{2.0, 0.0, 0, 1.0},
                      PowerCase{0.0, 3.0, 0, 0.0}, PowerCase{-2.0, 3.0, 0, -8.0},
                      PowerCase{-3.0, 2.0, 0, 9.0}, PowerCase{-8.0, 1.0 / 3.0, 0, -2.0},
                      PowerCase{10.0, -400.0, 1, 0.0}, PowerCase{10.0, 400.0, 2, kMissing},
                      PowerCase{-10.0, 401.0, 3, kMissing}, PowerCase{-10.0, -401.0, 1, 0.0},
                      PowerCase{-10.0, 400.0, 2, kMissing}, PowerCase{-2.0, 0.5, 4, kMissing},
                      PowerCase{-2.0, 1.0 / 35.0, 4, kMissing}, PowerCase{-2.0, 0.0, 5, 1.0},
                      PowerCase{0.0, -1.0, 6, kMissing}, PowerCase{0.0, 0.0, 7, 1.0}));

TEST(MCPower, ExponentLimitsAndMultiply) {
  double r = 0;
  EXPECT_EQ(MCPower::Exponent(710.0, r), MCPower::kPowerOverflow);
  EXPECT_EQ(r, kMissing);
  EXPECT_EQ(MCPower::Exponent(-709.0, r), MCPower::kPowerUnderflow);
  EXPECT_EQ(r, 0.0);
  EXPECT_EQ(MCPower::Exponent(709.0, r), MCPower::kPowerOK);
  EXPECT_DOUBLE_EQ(r, std::exp(709.0));
  EXPECT_EQ(MCPower::Exponent(-708.39, r), MCPower::kPowerOK);
  EXPECT_TRUE(MCPower::ExpOverflow(709.0001) && !MCPower::ExpOverflow(709.0));
  EXPECT_TRUE(MCPower::ExpUnderflow(-708.4));
  EXPECT_EQ(MCPower::Multiply(0.0, 1e308), 0.0);
  EXPECT_NEAR(MCPower::Multiply(-3.0, 7.0), -21.0, 1e-13);
  EXPECT_NEAR(MCPower::Multiply(-3.0, -7.0), 21.0, 1e-13);
  EXPECT_EQ(MCPower::Multiply(1e200, 1e200), kMissing);
  EXPECT_EQ(MCPower::Multiply(1e-200, 1e-200), 0.0);
}

TEST(MCPower, AlmostEqualUsesRelativeEpsilons) {
  EXPECT_TRUE(MCPower::AlmostEqual(0.0, 0.0, 1.0));
  EXPECT_TRUE(MCPower::AlmostEqual(1.0, 1.0 + 2 * DBL_EPSILON, 2.0));
  EXPECT_FALSE(MCPower::AlmostEqual(1.0, 1.0 + 4 * DBL_EPSILON, 2.0));
  EXPECT_TRUE(MCPower::AlmostEqual(-1e300, -1e300 * (1 + 1e-15), 10.0));
  EXPECT_FALSE(MCPower::AlmostEqual(1e-300, -1e-300, 1e20));  // opposite signs
  EXPECT_FALSE(MCPower::AlmostEqual(0.0, 1e-300, 1e20));
}

TEST(MCPower, IntegerAndReciprocalParity) {
  EXPECT_TRUE(MCPower::IsInteger(-3.0) && MCPower::IsEvenInteger(-4.0) &&
              MCPower::IsOddInteger(-3.0));
  EXPECT_FALSE(MCPower::IsInteger(2.5) || MCPower::IsEvenInteger(3.0) ||
               MCPower::IsOddInteger(0.0));
  EXPECT_FALSE(MCPower::IsInteger(4294967296.0));  // beyond the largest 32-bit int
  EXPECT_TRUE(MCPower::IsOneOverOddInteger(1.0 / 3.0, 32.0));
  EXPECT_TRUE(MCPower::IsOneOverOddInteger(-1.0 / 31.0, 32.0));
  EXPECT_FALSE(MCPower::IsOneOverOddInteger(1.0 / 33.0, 32.0));
  EXPECT_FALSE(MCPower::IsOneOverOddInteger(0.25, 32.0));
  EXPECT_TRUE(MCPower::IsOneOverEvenInteger(0.25, 32.0));
  EXPECT_FALSE(MCPower::IsOneOverEvenInteger(0.0, 32.0));
}

}  // namespace

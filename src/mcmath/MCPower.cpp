#include "MCPower.h"

#include <cmath>
#include <limits>

namespace MCCommonMath {

namespace {

// The system-missing value: the most negative finite double.
constexpr double kMissing = std::numeric_limits<double>::lowest();

// y is within a few roundings of an integer k with abs(k) <= limit; k is returned.
bool NearInteger(double y, double limit, double& k) {
  if (!std::isfinite(y)) return false;
  k = std::round(y);
  if (std::fabs(k) > limit) return false;
  return std::fabs(y - k) <= 4.0 * MCPower::gMachineEpsilon * std::fabs(y);
}

}  // namespace

const double MCPower::gMachineMaxExp = 709.0;
const double MCPower::gMachineMinExp = -708.39;
const double MCPower::gMachineEpsilon = std::numeric_limits<double>::epsilon();
const int32_t MCPower::gMachineMaxInt = std::numeric_limits<int32_t>::max();

double MCPower::MaxExp() { return gMachineMaxExp; }
double MCPower::MinExp() { return gMachineMinExp; }
double MCPower::MEpsilon() { return gMachineEpsilon; }
int32_t MCPower::MaxInt() { return gMachineMaxInt; }
bool MCPower::ExpOverflow(double x) { return x > gMachineMaxExp; }
bool MCPower::ExpUnderflow(double x) { return x < gMachineMinExp; }

MCPower::PowerStatus MCPower::Exponent(double x, double& r) {
  if (ExpUnderflow(x)) {
    r = 0.0;
    return kPowerUnderflow;
  }
  if (ExpOverflow(x)) {
    r = kMissing;
    return kPowerOverflow;
  }
  r = std::exp(x);
  return kPowerOK;
}

MCPower::PowerStatus MCPower::Power(double a, double b, double& r) {
  r = kMissing;
  if (a == 0.0) {
    if (b == 0.0) {
      r = 1.0;
      return kPowerZeroBaseZeroExp;
    }
    if (b < 0.0) return kPowerZeroBaseNegativeExp;
    if (b > 0.0) {
      r = 0.0;
      return kPowerOK;
    }
    return kPowerNegativeBaseBadExp;  // b is NaN
  }
  if (a > 0.0) {
    if (b == 0.0) {
      r = 1.0;
      return kPowerOK;
    }
    return Exponent(b * std::log(a), r);
  }
  if (a < 0.0) {
    if (b == 0.0) {
      r = 1.0;
      return kPowerNegativeBaseZeroExp;
    }
    if (IsEvenInteger(b)) return Exponent(b * std::log(std::fabs(a)), r);
    if (IsOddInteger(b) || IsOneOverOddInteger(b, 32.0)) {
      double e = 0.0;
      PowerStatus st = Exponent(b * std::log(std::fabs(a)), e);
      if (st == kPowerOverflow) {
        r = kMissing;
        return b > 0.0 ? kPowerOverflowNegativeBase : kPowerOverflow;
      }
      r = -e;
      return st;
    }
    return kPowerNegativeBaseBadExp;
  }
  return kPowerNegativeBaseBadExp;  // a is NaN
}

double MCPower::Multiply(double a, double b) {
  if (a == 0.0 || b == 0.0) return 0.0;
  double sign = ((a < 0.0) != (b < 0.0)) ? -1.0 : 1.0;
  double r = 0.0;
  PowerStatus st = Exponent(std::log(std::fabs(a)) + std::log(std::fabs(b)), r);
  if (st == kPowerOverflow) return kMissing;
  return sign * r;
}

bool MCPower::AlmostEqual(double a, double b, double k) {
  if (a == 0.0 && b == 0.0) return true;
  bool sameSign = (a > 0.0 && b > 0.0) || (a < 0.0 && b < 0.0);
  if (!sameSign) return false;
  double aa = std::fabs(a);
  double ab = std::fabs(b);
  return std::fabs(aa - ab) / (aa > ab ? aa : ab) <= k * gMachineEpsilon;
}

bool MCPower::IsInteger(double x) { return x <= gMachineMaxInt && std::floor(x) == x; }

bool MCPower::IsEvenInteger(double x) { return IsInteger(x) && std::fmod(x, 2.0) == 0.0; }

bool MCPower::IsOddInteger(double x) { return IsInteger(x) && std::fabs(std::fmod(x, 2.0)) == 1.0; }

bool MCPower::IsOneOverEvenInteger(double x, double limit) {
  if (x == 0.0) return false;
  double k = 0.0;
  return NearInteger(1.0 / x, limit, k) && k != 0.0 && std::fmod(k, 2.0) == 0.0;
}

bool MCPower::IsOneOverOddInteger(double x, double limit) {
  if (x == 0.0) return false;
  double k = 0.0;
  return NearInteger(1.0 / x, limit, k) && std::fabs(std::fmod(k, 2.0)) == 1.0;
}

}  // namespace MCCommonMath

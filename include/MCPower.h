#ifndef MCSTAT_MCPOWER_H_
#define MCSTAT_MCPOWER_H_

#include <cstdint>

#include "mcstat_export.h"

namespace MCCommonMath {

// Guarded exponentiation and multiplication: overflow and underflow are reported as a
// status instead of producing infinities. A result that overflows is the system-missing
// value.
class MCSTAT_EXPORT MCPower {
 public:
  enum PowerStatus {
    kPowerOK = 0,
    kPowerUnderflow = 1,             // result 0
    kPowerOverflow = 2,              // result missing
    kPowerOverflowNegativeBase = 3,  // result missing
    kPowerNegativeBaseBadExp = 4,    // exponent neither integer nor 1/odd; result missing
    kPowerNegativeBaseZeroExp = 5,   // result 1
    kPowerZeroBaseNegativeExp = 6,   // result missing
    kPowerZeroBaseZeroExp = 7        // result 1
  };

  static const double gMachineMaxExp;   // 709.0
  static const double gMachineMinExp;   // -708.39
  static const double gMachineEpsilon;  // double epsilon
  static const int32_t gMachineMaxInt;  // largest 32-bit int

  static double MaxExp();
  static double MinExp();
  static double MEpsilon();
  static int32_t MaxInt();
  // x > 709.0.
  static bool ExpOverflow(double x);
  // x < -708.39.
  static bool ExpUnderflow(double x);

  // r = exp(x) with status 0; below -708.39: r = 0, status 1; above 709: r = missing,
  // status 2.
  static PowerStatus Exponent(double x, double& r);
  // r = a^b with the statuses of PowerStatus. A negative base takes an even or odd integer
  // exponent, or the reciprocal of an odd integer up to 32 (an odd root).
  static PowerStatus Power(double a, double b, double& r);
  // a*b through logarithms: 0 when either is 0, missing when the product overflows.
  static double Multiply(double a, double b);
  // True when both are 0, or they have the same sign and differ relatively by at most
  // k machine epsilons.
  static bool AlmostEqual(double a, double b, double k);

  // x <= the largest 32-bit int and floor(x) = x.
  static bool IsInteger(double x);
  static bool IsEvenInteger(double x);
  static bool IsOddInteger(double x);
  // 1/x is an even (odd) integer no larger than limit in absolute value; 1/x may miss the
  // integer by a few units of rounding.
  static bool IsOneOverEvenInteger(double x, double limit);
  static bool IsOneOverOddInteger(double x, double limit);

  // There is nothing to assign.
  MCPower& operator=(const MCPower&) { return *this; }
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCPOWER_H_

#ifndef MCSTAT_MCEXTREMENUM_H_
#define MCSTAT_MCEXTREMENUM_H_

#include "mcstat_export.h"

namespace MCCommonMath {

// Guarded arithmetic for values near the ends of the double range.
class MCSTAT_EXPORT MCExtremeNum {
 public:
  // r = sqrt(wa * a^2 + wc * c^2), computed as m * sqrt(wa (a/m)^2 + wc (c/m)^2) with
  // m = max(abs(a), abs(c)) so that no square overflows or underflows. Branches: m = 0
  // gives 0; a negative radicand (no real root), a non-finite or missing argument, or a
  // result beyond the double range give false and r = the missing value.
  static bool SumSqRoot(double a, double wa, double c, double wc, double& r);

  // There is nothing to assign.
  MCExtremeNum& operator=(const MCExtremeNum&) { return *this; }
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCEXTREMENUM_H_

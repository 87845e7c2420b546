#ifndef MCSTAT_MCMV_H_
#define MCSTAT_MCMV_H_

#include "mcstat_export.h"

// The system-missing value: the most negative finite double. A value is missing
// exactly when it compares equal to it; NaN is not missing.
class MCSTAT_EXPORT MCMV {
 public:
  // -1.7976931348623157e+308 (bit pattern 0xFFEFFFFFFFFFFFFF).
  static double Missing();
  // True exactly when x == Missing().
  static bool IsMissing(double x);
  // Does nothing; there is nothing to assign.
  MCMV& operator=(const MCMV&) { return *this; }

  static const double kMissing;
};

#endif  // MCSTAT_MCMV_H_

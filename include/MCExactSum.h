#ifndef MCSTAT_MCEXACTSUM_H_
#define MCSTAT_MCEXACTSUM_H_

#include "mcstat_export.h"

namespace MCCommonMath {

// A sum of doubles and of products of doubles, kept in double-double (about 32 significant
// digits, every product and rounding error kept): its value is the same double whatever the
// order of the terms or the parts it is merged from (but for a last-digit tie once in a great
// while), so sums of disjoint parts of some data, merged, give the sum of the whole.
class MCSTAT_EXPORT MCExactSum {
 public:
  // x added.
  void Add(double x);
  // a x b added exactly.
  void AddProduct(double a, double b);
  // The sum of other's terms added.
  void Merge(const MCExactSum& other);
  // The double rounding of the sum.
  double Value() const;
  // The double rounding of this sum over divisor's (infinite or not a number for a zero
  // divisor).
  double Over(const MCExactSum& divisor) const;
  // With this the sum of w x^2, sum that of w x and weight that of w: the weighted sum of
  // squares about the weighted mean, sum w x^2 - (sum w x)^2 / sum w, formed in double-double;
  // 0 when weight is not above 0.
  double SquaresAboutMean(const MCExactSum& sum, const MCExactSum& weight) const;

  // The sum as its two parts (to store or send it), and back.
  void GetParts(double& hi, double& lo) const {
    hi = fHi;
    lo = fLo;
  }
  static MCExactSum FromParts(double hi, double lo) {
    MCExactSum sum;
    sum.fHi = hi;
    sum.fLo = lo;
    return sum;
  }

 private:
  double fHi = 0.0;
  double fLo = 0.0;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCEXACTSUM_H_

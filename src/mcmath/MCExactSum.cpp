#include "MCExactSum.h"

#include "mcmath/MCDDKernels.h"

namespace MCCommonMath {

namespace dd = ddkernels;

namespace {

dd::DD Pair(double hi, double lo) { return dd::Normalised(dd::DD{hi, lo}); }

}  // namespace

void MCExactSum::Add(double x) {
  dd::DD acc{fHi, fLo};
  dd::AddValue(acc, x);
  fHi = acc.hi;
  fLo = acc.lo;
}

void MCExactSum::AddProduct(double a, double b) {
  dd::DD acc{fHi, fLo};
  dd::AddProduct(acc, a, b);
  fHi = acc.hi;
  fLo = acc.lo;
}

void MCExactSum::Merge(const MCExactSum& other) {
  dd::DD acc{fHi, fLo};
  const dd::DD add{other.fHi, other.fLo};
  dd::Merge(1, &add, &acc);
  fHi = acc.hi;
  fLo = acc.lo;
}

double MCExactSum::Value() const { return dd::ToDouble(Pair(fHi, fLo)); }

double MCExactSum::Over(const MCExactSum& divisor) const {
  return dd::ToDouble(dd::Div(Pair(fHi, fLo), Pair(divisor.fHi, divisor.fLo)));
}

double MCExactSum::SquaresAboutMean(const MCExactSum& sum, const MCExactSum& weight) const {
  const dd::DD w = Pair(weight.fHi, weight.fLo);
  if (!(w.hi > 0.0)) return 0.0;
  const dd::DD s = Pair(sum.fHi, sum.fLo);
  return dd::ToDouble(dd::Sub(Pair(fHi, fLo), dd::Div(dd::Mul(s, s), w)));
}

}  // namespace MCCommonMath

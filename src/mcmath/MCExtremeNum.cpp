#include "MCExtremeNum.h"

#include <cmath>
#include <limits>

namespace MCCommonMath {

namespace {
constexpr double kMissing = std::numeric_limits<double>::lowest();
}  // namespace

bool MCExtremeNum::SumSqRoot(double a, double wa, double c, double wc, double& r) {
  r = kMissing;
  if (!std::isfinite(a) || !std::isfinite(wa) || !std::isfinite(c) || !std::isfinite(wc) ||
      a == kMissing || wa == kMissing || c == kMissing || wc == kMissing) {
    return false;
  }
  double m = std::fmax(std::fabs(a), std::fabs(c));
  if (m == 0.0) {
    r = 0.0;
    return true;
  }
  double ra = a / m;
  double rc = c / m;
  double inner = wa * (ra * ra) + wc * (rc * rc);
  if (inner < 0.0) return false;
  double root = std::sqrt(inner);
  // m * root may still leave the double range when the weights are huge.
  if (root > 1.0 && m > std::numeric_limits<double>::max() / root) return false;
  r = m * root;
  return true;
}

}  // namespace MCCommonMath

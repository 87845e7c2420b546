#include "MCStatus.h"

#include <limits>

#include "MCMV.h"

namespace MCCommon {

MCStatus::MCStatus(long code, bool warning)
    : fErrorCode(static_cast<int32_t>(code)), fSeverity(warning ? 1 : -1) {}

bool MCStatus::operator==(const MCStatus& other) const {
  if (fErrorCode != other.fErrorCode || fSeverity != other.fSeverity) return false;
  for (int i = 0; i < 3; ++i) {
    if (fDiscreteData[i] != other.fDiscreteData[i]) return false;
    if (fScaleData[i] != other.fScaleData[i]) return false;
  }
  return true;
}

}  // namespace MCCommon

const double MCMV::kMissing = -std::numeric_limits<double>::max();

double MCMV::Missing() { return kMissing; }

bool MCMV::IsMissing(double x) { return x == kMissing; }

#include "IMCEncoder.h"

#include "MCComponentDisplay.h"
#include "MCMV.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

IMCEncoder::~IMCEncoder() = default;

const char* IMCEncoder::EncoderTypeWord(int type) {
  switch (type) {
    case kUnknownEncoder:
      return "Unknown";
    case kContEncoder:
      return "Binning of numeric values";
    case kCatNumEncoder:
      return "Categorical with numeric category values";
    case kStringEncoder:
      return "Categorical with string category values";
    case kRoundEncoder:
      return "ounding for frequency weights";
    default:
      return "Unrecognized encoder type";
  }
}

bool MCUserMissing::IsMissing(double x) const {
  if (MCMV::IsMissing(x)) return true;
  if (fbHasInterval && fIntervalLow <= x && x <= fIntervalHigh) return true;
  for (double v : fvDiscreteMiss) {
    if (v == x) return true;
  }
  return false;
}

void MCUserMissing::AddDiscrete(double value, const std::string& label) {
  fvDiscreteMiss.push_back(value);
  fvMissLabels.push_back(label);
}

bool MCUserMissing::SetInterval(double low, double high) {
  // NaN ends fail the comparison and are refused with the rest.
  if (fbHasInterval || !(low < high)) return false;
  fbHasInterval = true;
  fIntervalLow = low;
  fIntervalHigh = high;
  return true;
}

bool MCUserMissing::GetInterval(double& low, double& high) const {
  if (!fbHasInterval) return false;
  low = fIntervalLow;
  high = fIntervalHigh;
  return true;
}

void MCUserMissing::Clear() { *this = MCUserMissing(); }

bool MCUserMissing::operator==(const MCUserMissing& other) const {
  return fvDiscreteMiss == other.fvDiscreteMiss && fvMissLabels == other.fvMissLabels &&
         fbHasInterval == other.fbHasInterval &&
         (!fbHasInterval ||
          (fIntervalLow == other.fIntervalLow && fIntervalHigh == other.fIntervalHigh));
}

void MCUserMissing::Display() const {
  MCComponentDisplay::DisplayDV("Discrete missing values", fvDiscreteMiss);
  MCComponentDisplay::DisplaySV("Missing value labels", fvMissLabels);
  MCComponentDisplay::DisplayB("Missing interval set", fbHasInterval);
  if (fbHasInterval) {
    MCComponentDisplay::DisplayD("Missing interval low", fIntervalLow);
    MCComponentDisplay::DisplayD("Missing interval high", fIntervalHigh);
  }
}

}  // namespace MCCommonMetadata

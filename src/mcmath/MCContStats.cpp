#include "MCContStats.h"

#include <limits>

#include "MCComponentDisplay.h"

namespace MCCommonMath {

namespace {
// The system-missing value: the most negative finite double.
constexpr double kMissing = std::numeric_limits<double>::lowest();
}  // namespace

bool MCContStats::Update(double x) { return Update(x, 1.0, 1.0); }

bool MCContStats::Update(double x, double f, double w) {
  if (x == kMissing || f == kMissing || w == kMissing) return false;
  if (f <= 0.0) f = 1.0;
  if (w <= 0.0) w = 1.0;
  if (fSumFreqWeights == 0.0) {
    fMinimum = x;
    fMaximum = x;
  } else {
    if (x < fMinimum) fMinimum = x;
    if (x > fMaximum) fMaximum = x;
  }
  double g = f * w;
  double wOld = fSumTotalWeights;
  fSumFreqWeights += f;
  fSumTotalWeights += g;
  double d = x - fMean;
  fMean += d * g / fSumTotalWeights;
  fSumSqDev += (wOld * g / fSumTotalWeights) * d * d;
  return true;
}

void MCContStats::Pool(const MCContStats& o) {
  if (o.fSumFreqWeights == 0.0) return;
  if (fSumFreqWeights == 0.0) {
    *this = o;
    return;
  }
  if (o.fMinimum < fMinimum) fMinimum = o.fMinimum;
  if (o.fMaximum > fMaximum) fMaximum = o.fMaximum;
  double d = o.fMean - fMean;
  double w = fSumTotalWeights + o.fSumTotalWeights;
  fSumSqDev += o.fSumSqDev + fSumTotalWeights * o.fSumTotalWeights * d * d / w;
  fMean += o.fSumTotalWeights * d / w;
  fSumTotalWeights = w;
  fSumFreqWeights += o.fSumFreqWeights;
}

double MCContStats::GetVariance() const {
  if (!(fSumFreqWeights > 1.0)) return kMissing;
  return fSumSqDev / (fSumFreqWeights - 1.0);
}

void MCContStats::Display() const {
  using MCCommon::MCComponentDisplay;
  MCComponentDisplay::DisplayText(1, "MCContStats display start");
  MCComponentDisplay::DisplayD("fMinimum", fMinimum);
  MCComponentDisplay::DisplayD("fMaximum", fMaximum);
  MCComponentDisplay::DisplayD("fSumFreqWeights", fSumFreqWeights);
  MCComponentDisplay::DisplayD("fSumTotalWeights", fSumTotalWeights);
  MCComponentDisplay::DisplayD("fMean", fMean);
  MCComponentDisplay::DisplayD("fSumSqDev", fSumSqDev);
  MCComponentDisplay::DisplayText(1, "MCContStats display end");
}

}  // namespace MCCommonMath

#include "MCBinningEncoder.h"

#include <cmath>
#include <limits>

#include "MCComponentDisplay.h"
#include "MCMV.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr double kLowest = std::numeric_limits<double>::lowest();
constexpr double kHighest = std::numeric_limits<double>::max();

}  // namespace

MCBinningEncoder::MCBinningEncoder(double min, double max, int n) : fNBins(n) {
  if (n < 2) return;
  const double width = (max - min) / n;
  fvCutPoints.reserve(static_cast<std::size_t>(n) - 1);
  for (int k = 1; k < n; ++k) fvCutPoints.push_back(min + k * width);
}

MCBinningEncoder::MCBinningEncoder(const std::vector<double>& cuts) { SetBinningCutpoints(cuts); }

MCBinningEncoder* MCBinningEncoder::Clone() const { return new MCBinningEncoder(*this); }

void MCBinningEncoder::SetBinningCutpoints(const std::vector<double>& cuts) {
  fvCutPoints = cuts;
  fNBins = static_cast<int>(cuts.size()) + 1;
}

double MCBinningEncoder::Encode(double x) const {
  if (MCMV::IsMissing(x) || std::isnan(x)) return -1.0;
  const std::vector<double>& c = fvCutPoints;
  if (c.empty()) return 0.0;
  int lo = 0;
  int hi = static_cast<int>(c.size()) - 1;
  int mid = 0;
  while (lo <= hi) {
    mid = (lo + hi) / 2;
    const double cut = c[static_cast<std::size_t>(mid)];
    if (cut == x) return mid;
    if (cut < x) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return c[static_cast<std::size_t>(mid)] > x ? mid : mid + 1;
}

bool MCBinningEncoder::ComputeCutpoints(const std::vector<double>& freqs,
                                        std::vector<double>& cuts) const {
  const int nBins = static_cast<int>(fvCutPoints.size()) + 1;
  if (static_cast<int>(freqs.size()) != nBins) return false;
  int nFilled = 0;
  int first = -1;
  int last = -1;
  for (int k = 0; k < nBins; ++k) {
    if (freqs[static_cast<std::size_t>(k)] > 0) {
      ++nFilled;
      if (first < 0) first = k;
      last = k;
    }
  }
  if (nFilled < 2 || nFilled == nBins) return false;

  std::vector<double> out(fvCutPoints);
  for (int k = 0; k < first; ++k) out[static_cast<std::size_t>(k)] = kLowest;
  for (int k = last; k < nBins - 1; ++k) out[static_cast<std::size_t>(k)] = kHighest;
  // Between two non-empty bins a < b the cut points c[a] ... c[b-1] collapse into the
  // middle of the span, so the empty run is shared evenly by its neighbours.
  int a = first;
  for (int b = first + 1; b <= last; ++b) {
    if (!(freqs[static_cast<std::size_t>(b)] > 0)) continue;
    if (b > a + 1) {
      const double middle = (fvCutPoints[static_cast<std::size_t>(a)] +
                             fvCutPoints[static_cast<std::size_t>(b - 1)]) *
                            0.5;
      for (int k = a; k < b; ++k) out[static_cast<std::size_t>(k)] = middle;
    }
    a = b;
  }
  cuts.swap(out);
  return true;
}

bool MCBinningEncoder::AdjustBinning(const std::vector<double>& freqs) {
  std::vector<double> computed;
  if (!ComputeCutpoints(freqs, computed)) return false;
  std::vector<double> kept;
  for (double c : computed) {
    if (c == kLowest) {
      if (kept.empty()) continue;
    }
    if (c == kHighest) break;
    if (!kept.empty() && !(c > kept.back())) continue;
    kept.push_back(c);
  }
  SetBinningCutpoints(kept);
  return true;
}

MCBinningEncoder* MCBinningEncoder::CreateRebinned(const std::vector<double>& freqs) const {
  MCBinningEncoder* rebinned = Clone();
  rebinned->AdjustBinning(freqs);
  return rebinned;
}

void MCBinningEncoder::Display() const {
  MCComponentDisplay::DisplayText(1, "MCBinningEncoder display start");
  MCComponentDisplay::DisplayI("Number of bins", fNBins);
  MCComponentDisplay::DisplayDV("Cut points", fvCutPoints);
  MCComponentDisplay::DisplayText(1, "MCBinningEncoder display end");
}

}  // namespace MCCommonMetadata

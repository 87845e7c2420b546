#include "MCUniStats.h"

#include <cmath>
#include <cstddef>

namespace MCCommonMetadata {

namespace {

bool Present(double x) { return !MCMV::IsMissing(x); }

// Only the end points may be unknown (an open-ended first or last interval), at least one
// point is known, and the known ones increase strictly.
bool ValidCutPoints(const std::vector<double>& cuts) {
  const std::size_t m = cuts.size();
  bool anyPresent = false;
  bool havePrevious = false;
  double previous = 0.0;
  for (std::size_t k = 0; k < m; ++k) {
    const double c = cuts[k];
    if (!Present(c)) {
      if (k != 0 && k + 1 != m) return false;
      continue;
    }
    if (!std::isfinite(c)) return false;
    if (havePrevious && !(c > previous)) return false;
    previous = c;
    havePrevious = true;
    anyPresent = true;
  }
  return anyPresent;
}

bool ValidSummary(const MCUniStats::SummStats& s) {
  const double values[] = {s.fMinimum, s.fMaximum, s.fMean, s.fStdDev};
  for (double v : values) {
    if (Present(v) && !std::isfinite(v)) return false;
  }
  if (Present(s.fStdDev) && s.fStdDev < 0.0) return false;
  if (Present(s.fMinimum) && Present(s.fMaximum) && s.fMinimum > s.fMaximum) return false;
  if (Present(s.fMean)) {
    if (Present(s.fMinimum) && s.fMean < s.fMinimum) return false;
    if (Present(s.fMaximum) && s.fMean > s.fMaximum) return false;
  }
  return true;
}

}  // namespace

MCUniStats::MCUniStats(const std::string& name, double nCases,
                       const std::vector<double>& frequencies)
    : fVarName(name), fbCategorical(true), fNCases(nCases), fvFrequencies(frequencies) {}

MCUniStats::MCUniStats(const std::string& name, double nCases, const SummStats& summStats,
                       const std::vector<double>& cutPoints, const std::vector<double>& frequencies)
    : fVarName(name),
      fbCategorical(false),
      fNCases(nCases),
      fvFrequencies(frequencies),
      fvCutPoints(cutPoints),
      fSummStats(summStats) {}

bool MCUniStats::IsValid() const {
  if (fVarName.empty()) return false;
  // A PMML document can hold neither an infinite count nor an infinite statistic.
  if (!(fNCases >= 0.0) || !std::isfinite(fNCases)) return false;  // also rejects NaN
  for (double f : fvFrequencies) {
    if (!(f >= 0.0) || !std::isfinite(f)) return false;
  }
  if (fbCategorical) return true;
  if (fvFrequencies.empty()) {
    if (!fvCutPoints.empty()) return false;
  } else {
    if (fvCutPoints.size() != fvFrequencies.size() + 1) return false;
    if (!ValidCutPoints(fvCutPoints)) return false;
  }
  return ValidSummary(fSummStats);
}

}  // namespace MCCommonMetadata

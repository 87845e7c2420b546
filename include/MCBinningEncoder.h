#ifndef MCSTAT_MCBINNINGENCODER_H_
#define MCSTAT_MCBINNINGENCODER_H_

#include <vector>

#include "mcstat_export.h"

namespace MCCommonMetadata {

// The bins of a continuous variable, given by ascending cut points. Bins are closed on the
// right: bin k covers (c[k-1], c[k]], bin 0 everything up to c[0], the last bin everything
// above the last cut point.
class MCSTAT_EXPORT MCBinningEncoder {
 public:
  // n equal-width bins over [min, max]: cut points min + k (max - min) / n, k = 1 ... n-1
  // (none when n < 2); the number of bins is n.
  MCBinningEncoder(double min, double max, int n);
  // Bins between the given (ascending) cut points; cuts.size() + 1 bins.
  explicit MCBinningEncoder(const std::vector<double>& cuts);

  // A heap copy owned by the caller.
  MCBinningEncoder* Clone() const;

  // Replaces the cut points; the number of bins becomes cuts.size() + 1.
  void SetBinningCutpoints(const std::vector<double>& cuts);
  const std::vector<double>& GetBinningCutpoints() const { return fvCutPoints; }
  int GetNumberOfCategories() const { return fNBins; }

  // The bin of x as a double: the number of cut points strictly below x; -1 for the
  // system-missing value and for NaN.
  double Encode(double x) const;

  // Derives cut points that drop the empty bins, given one frequency per bin. False, with
  // cuts untouched, when freqs does not have one entry per bin, or when fewer than two bins
  // or every bin has a positive frequency. Otherwise cuts holds one entry per current cut
  // point: those before the first non-empty bin are the lowest double, those after the
  // last one the highest double, and each run of empty bins between two non-empty ones is
  // replaced by the middle of its span (repeated).
  bool ComputeCutpoints(const std::vector<double>& freqs, std::vector<double>& cuts) const;
  // Applies ComputeCutpoints in place, keeping only the distinct finite cut points.
  // False, changing nothing, when ComputeCutpoints refuses.
  bool AdjustBinning(const std::vector<double>& freqs);
  // A new binning (owned by the caller) as AdjustBinning would leave this one, or a plain
  // copy when nothing changes.
  MCBinningEncoder* CreateRebinned(const std::vector<double>& freqs) const;

  bool operator==(const MCBinningEncoder& other) const {
    return fNBins == other.fNBins && fvCutPoints == other.fvCutPoints;
  }
  bool operator!=(const MCBinningEncoder& other) const { return !(*this == other); }

  // Writes the number of bins and the cut points to the diagnostic stream.
  void Display() const;

 private:
  int fNBins = 0;
  std::vector<double> fvCutPoints;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_MCBINNINGENCODER_H_

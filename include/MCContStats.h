#ifndef MCSTAT_MCCONTSTATS_H_
#define MCSTAT_MCCONTSTATS_H_

#include <limits>
#include <utility>

#include "mcstat_export.h"

namespace MCCommonMath {

// Running minimum, maximum, weighted mean and sum of squared deviations of a continuous
// variable, updated one value at a time (Welford) and mergeable (Chan, Golub, LeVeque).
class MCSTAT_EXPORT MCContStats {
 public:
  // Adds x with frequency and weight 1; false (nothing changed) when x is missing.
  bool Update(double x);
  // Adds x with frequency weight f and case weight w (f <= 0 and w <= 0 count as 1); the
  // total weight is f*w. False (nothing changed) when x, f or w is missing.
  bool Update(double x, double f, double w);
  // Merges the statistics of o into this object.
  void Pool(const MCContStats& o);

  double GetMean() const { return fMean; }
  // Sum of squares / (frequency sum - 1); missing unless the frequency sum exceeds 1.
  double GetVariance() const;
  double GetSumFreqWeights() const { return fSumFreqWeights; }
  // (minimum, maximum); both missing before the first value.
  std::pair<double, double> GetExtrema() const { return {fMinimum, fMaximum}; }

  // Writes the fields to the diagnostic stream.
  void Display() const;

 private:
  // Minimum and maximum start as the system-missing value (the most negative double).
  double fMinimum = std::numeric_limits<double>::lowest();
  double fMaximum = std::numeric_limits<double>::lowest();
  double fSumFreqWeights = 0.0;
  double fSumTotalWeights = 0.0;
  double fMean = 0.0;
  double fSumSqDev = 0.0;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCCONTSTATS_H_

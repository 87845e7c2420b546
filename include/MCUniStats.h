#ifndef MCSTAT_MCUNISTATS_H_
#define MCSTAT_MCUNISTATS_H_

#include <string>
#include <vector>

#include "MCMV.h"
#include "mcstat_export.h"

namespace MCCommonMetadata {

// Univariate statistics of one variable as the PMML writer exports them: the number of
// cases and the frequencies of the categories (categorical) or of the intervals between
// consecutive cut points (continuous), with summary statistics for a continuous variable.
class MCSTAT_EXPORT MCUniStats {
 public:
  // Summary statistics of a continuous variable; a value equal to the system-missing value
  // is unknown and not exported.
  struct SummStats {
    double fMinimum = MCMV::Missing();
    double fMaximum = MCMV::Missing();
    double fMean = MCMV::Missing();
    double fStdDev = MCMV::Missing();
  };

  // An unnamed categorical variable without cases.
  MCUniStats() = default;
  // A categorical variable.
  MCUniStats(const std::string& name, double nCases, const std::vector<double>& frequencies);
  // A continuous variable: frequencies[k] counts the cases between cutPoints[k] and
  // cutPoints[k + 1].
  MCUniStats(const std::string& name, double nCases, const SummStats& summStats,
             const std::vector<double>& cutPoints, const std::vector<double>& frequencies);

  const std::string& GetVarName() const { return fVarName; }
  double GetNumberOfCases() const { return fNCases; }
  bool IsCategorical() const { return fbCategorical; }
  const std::vector<double>& GetFrequencies() const { return fvFrequencies; }
  const std::vector<double>& GetCutPoints() const { return fvCutPoints; }
  const SummStats& GetSummStats() const { return fSummStats; }
  // Whether an interval excludes its left cut point (and includes its right one).
  bool AreIntervalsOpenLeft() const { return fbIntervalsOpenLeft; }
  void SetIntervalsOpenLeft(bool openLeft) { fbIntervalsOpenLeft = openLeft; }

  // True when the statistics can be exported: the name is not empty, the number of cases and
  // every frequency are finite and >= 0. For a continuous variable, in addition: with
  // frequencies there is one cut point more than frequencies, only the first and the last
  // cut point may be missing, at least one is not, and those present are finite and increase
  // strictly; without frequencies there are no cut points; the summary statistics present
  // are finite, the standard deviation is >= 0 and minimum <= mean <= maximum holds among
  // those present.
  bool IsValid() const;

 private:
  std::string fVarName;
  bool fbCategorical = true;
  double fNCases = 0.0;
  std::vector<double> fvFrequencies;
  bool fbIntervalsOpenLeft = true;
  std::vector<double> fvCutPoints;
  SummStats fSummStats;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_MCUNISTATS_H_

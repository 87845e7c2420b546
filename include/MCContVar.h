#ifndef MCSTAT_MCCONTVAR_H_
#define MCSTAT_MCCONTVAR_H_

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "IMCVariable.h"
#include "MCMV.h"
#include "mcstat_export.h"

namespace MCCommonMetadata {

// A continuous (scale) variable with its range, summary statistics, optional cut points
// and an MCContEncoder.
//
// Object stream ("MCContVar"): String name, String label, Int bins, Double min, Double max,
// Double mean, Double standard deviation, Int storage, Int has replacement, [String
// replacement], Int encoder type (0 without encoder), [the encoder's object]. The role and
// the cut points are not written: a variable read back keeps its own.
class MCSTAT_EXPORT MCContVar : public IMCVariable {
 public:
  // Default range (lowest to highest double), -1 bins, a default encoder without binning.
  MCContVar(const std::string& name, const std::string& label, VariableRole role);
  // Stores min, max and nBins; the encoder bins [min, max] into nBins equal-width bins when
  // makeBins is set, max > min and nBins >= 2, else it has no binning.
  MCContVar(const std::string& name, const std::string& label, double min, double max,
            VariableRole role, bool makeBins, int nBins);
  // Cut points given; cuts.size() + 1 bins, binned by them when makeBins is set and there
  // are at least 2 bins.
  MCContVar(const std::string& name, const std::string& label, const std::vector<double>& cuts,
            bool makeBins, VariableRole role);
  // As above with min and max stored; binned only when also max > min.
  MCContVar(const std::string& name, const std::string& label, double min, double max,
            const std::vector<double>& cuts, bool makeBins, VariableRole role);
  MCContVar(const MCContVar& other);
  MCContVar& operator=(const MCContVar& other);
  ~MCContVar() override;

  MeasureLevel GetMeasureLevel() const override { return kContinuous; }
  std::string GetVariableName() const override { return fName; }
  std::string GetVariableLabel() const override { return fLabel; }
  void SetVariableLabel(const std::string& label) override { fLabel = label; }
  // The encoder's count, or the bin-count field without an encoder.
  int GetNumberOfCategories() const override;
  VariableRole GetVariableRole() const override { return fRole; }
  void SetVariableRole(VariableRole role) override { fRole = role; }
  VariableStorage GetVariableStorage() const override { return fStorage; }
  void SetVariableStorage(VariableStorage storage) override { fStorage = storage; }
  // Bin count := the encoder's count (unchanged without an encoder); returns it.
  int UpdateNumberOfCategories() override;
  void SetMissingValueReplacement(const std::string& text) override;
  const std::string* GetMissingValueReplacement() const override;
  IMCVariable* Clone() const override;
  IMCEncoder* GetEncoder() override { return fpEncoder.get(); }
  const IMCEncoder* GetEncoder() const override { return fpEncoder.get(); }
  // 2 when max < min, 1 when max == min, else 0 (also when either is NaN).
  VarStatus GetVarStatus() override;
  int WriteObjectXML(std::ostream& os, int tabs) const override;
  // Encoder type 1 reads a new MCContEncoder, 0 leaves none; another type prints "Wrong
  // encoder type in MCContVar!\n" on standard output and fails.
  int ReadObjectXML(std::istream& is) override;
  void Display() const override;

  double GetMean() const { return fMean; }
  void SetMean(double mean) { fMean = mean; }
  double GetStdDev() const { return fStdDev; }
  void SetStdDev(double stdDev) { fStdDev = stdDev; }
  double GetMin() const { return fMin; }
  double GetMax() const { return fMax; }
  void SetMinMax(double min, double max) {
    fMin = min;
    fMax = max;
  }
  int GetNBins() const { return fNBins; }
  void SetNBins(int nBins) { fNBins = nBins; }
  const std::vector<double>& GetCutPoints() const { return fvCutPoints; }

 private:
  std::string fName;
  std::string fLabel;
  VariableRole fRole = kUndefinedRole;
  VariableStorage fStorage = kUndefinedStorage;
  double fMin = std::numeric_limits<double>::lowest();
  double fMax = std::numeric_limits<double>::max();
  int fNBins = -1;
  double fMean = MCMV::Missing();
  double fStdDev = MCMV::Missing();
  std::vector<double> fvCutPoints;
  std::string fMissingReplacement;
  bool fbHasReplacement = false;
  std::unique_ptr<MCContEncoder> fpEncoder;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_MCCONTVAR_H_

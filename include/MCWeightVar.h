#ifndef MCSTAT_MCWEIGHTVAR_H_
#define MCSTAT_MCWEIGHTVAR_H_

#include <memory>
#include <string>

#include "IMCEncoder.h"
#include "IMCVariable.h"
#include "mcstat_export.h"

namespace MCCommonMetadata {

// A frequency weight: role 3 and measure level 4 always, no categories, no replacement,
// an MCRoundEncoder.
//
// Object stream ("MCWeightVar"): String name, String label, Int storage, the MCRoundEncoder
// object.
class MCSTAT_EXPORT MCWeightVar : public IMCVariable {
 public:
  MCWeightVar(const std::string& name, const std::string& label, WRoundingOption option);
  MCWeightVar(const MCWeightVar& other);
  MCWeightVar& operator=(const MCWeightVar& other);
  ~MCWeightVar() override;

  MeasureLevel GetMeasureLevel() const override { return kFrequencyWeightMeasure; }
  std::string GetVariableName() const override { return fName; }
  std::string GetVariableLabel() const override { return fLabel; }
  void SetVariableLabel(const std::string& label) override { fLabel = label; }
  int GetNumberOfCategories() const override { return 0; }
  VariableRole GetVariableRole() const override { return kFrequencyWeightRole; }
  // Ignored: a weight keeps role 3.
  void SetVariableRole(VariableRole /*role*/) override {}
  VariableStorage GetVariableStorage() const override { return fStorage; }
  void SetVariableStorage(VariableStorage storage) override { fStorage = storage; }
  int UpdateNumberOfCategories() override { return 0; }
  // Ignored: a weight has no replacement.
  void SetMissingValueReplacement(const std::string& /*text*/) override {}
  const std::string* GetMissingValueReplacement() const override { return nullptr; }
  IMCVariable* Clone() const override;
  IMCEncoder* GetEncoder() override { return fpEncoder.get(); }
  const IMCEncoder* GetEncoder() const override { return fpEncoder.get(); }
  VarStatus GetVarStatus() override { return kStatusOK; }
  int WriteObjectXML(std::ostream& os, int tabs) const override;
  int ReadObjectXML(std::istream& is) override;
  void Display() const override;

 private:
  std::string fName;
  std::string fLabel;
  VariableStorage fStorage = kUndefinedStorage;
  std::unique_ptr<MCRoundEncoder> fpEncoder;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_MCWEIGHTVAR_H_

#ifndef MCSTAT_MCCATVAR_H_
#define MCSTAT_MCCATVAR_H_

#include <memory>
#include <string>

#include "IMCEncoder.h"
#include "IMCVariable.h"
#include "mcstat_export.h"

namespace MCCommonMetadata {

// A categorical variable with numeric (measure level 2, MCCatNumEncoder) or string (level 3,
// MCStringEncoder) categories.
//
// Object stream ("MCCatVar"): String name, String label, Int role, Int storage, Int
// categories, Int measure level, Int ordinal, Int has replacement, [String replacement],
// Int encoder type, the encoder's object.
class MCSTAT_EXPORT MCCatVar : public IMCVariable {
 public:
  // An empty MCCatNumEncoder for level 2, else an empty MCStringEncoder; nCategories is the
  // stored count and only reserves room in the encoder.
  MCCatVar(const std::string& name, const std::string& label, int nCategories, MeasureLevel level,
           VariableRole role, bool ordinal);
  MCCatVar(const MCCatVar& other);
  MCCatVar& operator=(const MCCatVar& other);
  ~MCCatVar() override;

  MeasureLevel GetMeasureLevel() const override { return fLevel; }
  std::string GetVariableName() const override { return fName; }
  std::string GetVariableLabel() const override { return fLabel; }
  void SetVariableLabel(const std::string& label) override { fLabel = label; }
  // The stored count.
  int GetNumberOfCategories() const override { return fNCategories; }
  VariableRole GetVariableRole() const override { return fRole; }
  void SetVariableRole(VariableRole role) override { fRole = role; }
  VariableStorage GetVariableStorage() const override { return fStorage; }
  void SetVariableStorage(VariableStorage storage) override { fStorage = storage; }
  // Count := max(count, the encoder's count); returns it. The count never shrinks here.
  int UpdateNumberOfCategories() override;
  void SetMissingValueReplacement(const std::string& text) override;
  const std::string* GetMissingValueReplacement() const override;
  IMCVariable* Clone() const override;
  IMCEncoder* GetEncoder() override { return fpEncoder.get(); }
  const IMCEncoder* GetEncoder() const override { return fpEncoder.get(); }
  // Raises the count to the encoder's, then 1 "Constant" for one category, 0 for more,
  // 2 "Invalid" for none.
  VarStatus GetVarStatus() override;
  int WriteObjectXML(std::ostream& os, int tabs) const override;
  // Encoder type 2 reads a new MCCatNumEncoder, 3 a new MCStringEncoder; any other type and
  // a measure level other than 2 or 3 fail.
  int ReadObjectXML(std::istream& is) override;
  void Display() const override;

  void SetNumberOfCategories(int n) { fNCategories = n; }
  bool GetOrdinalFlag() const { return fbOrdinal; }
  void SetOrdinalFlag(bool ordinal) { fbOrdinal = ordinal; }
  // Deletes the current encoder and takes ownership of encoder (null allowed); the count
  // becomes its count (0 for null).
  void ChangeEncoder(IMCEncoder* encoder);

 private:
  std::string fName;
  std::string fLabel;
  bool fbOrdinal = false;
  VariableRole fRole = kUndefinedRole;
  VariableStorage fStorage = kUndefinedStorage;
  int fNCategories = 0;
  MeasureLevel fLevel = kNumericCategorical;
  std::string fMissingReplacement;
  bool fbHasReplacement = false;
  std::unique_ptr<IMCEncoder> fpEncoder;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_MCCATVAR_H_

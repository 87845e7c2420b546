#ifndef MCSTAT_MCVARLIST_H_
#define MCSTAT_MCVARLIST_H_

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "IMCVariable.h"
#include "mcstat_export.h"

namespace MCCommonMetadata {

// The ordered variables a model is built from; a variable's position is its column in every
// record. The list owns its variables and keeps the indexes of the target, the target
// response and the frequency weight (-1 when there is none).
//
// A slot may be empty (null) only after a failed ReadObjectXML: the list then ends with the
// empty slot of the variable that failed; every query skips it and GetVarAt answers null.
//
// Object stream ("MCVarList"): Int n; per variable Int measure level and the variable's
// object one tab deeper (Int 0 and no object for an empty slot); Int continuous count, Int
// categorical count, Int target index, Int target response index. The frequency weight index
// and the listwise-deletion flag are not written.
class MCSTAT_EXPORT MCVarList {
 public:
  using MeasureLevel = IMCVariable::MeasureLevel;
  using VariableRole = IMCVariable::VariableRole;
  using WRoundingOption = IMCVariable::WRoundingOption;

  MCVarList() = default;
  // Copies counters, indexes and flag and clones every variable.
  MCVarList(const MCVarList& other);
  MCVarList& operator=(const MCVarList& other);
  virtual ~MCVarList();

  // The Add operations append a new variable and return its index, or -1 (adding nothing)
  // when name is empty or already in the list. Role 1 makes the new variable the target,
  // role 2 the target response, replacing an earlier one.

  // Continuous variables, built as the MCContVar constructors with the same arguments; each
  // adds 1 to the continuous count.
  int AddContVar(const std::string& name, const std::string& label, VariableRole role);
  int AddContVar(const std::string& name, const std::string& label, double min, double max,
                 VariableRole role, bool makeBins, int nBins);
  int AddContVar(const std::string& name, const std::string& label, const std::vector<double>& cuts,
                 bool makeBins, VariableRole role);
  int AddContVar(const std::string& name, const std::string& label, double min, double max,
                 const std::vector<double>& cuts, bool makeBins, VariableRole role);
  // Categorical variables (not ordinal); each adds 1 to the categorical count.
  int AddCatVar(const std::string& name, const std::string& label, int nCategories,
                MeasureLevel level, VariableRole role);
  // Numeric (level 2) or string (level 3) categories: value k gets code k.
  int AddCatVar(const std::string& name, const std::string& label,
                const std::vector<double>& values, VariableRole role);
  int AddCatVar(const std::string& name, const std::string& label,
                const std::vector<std::string>& values, VariableRole role);
  // As above, then the value labels are set on the new encoder.
  int AddCatVar(const std::string& name, const std::string& label,
                const std::vector<double>& values, const std::vector<std::string>& labels,
                VariableRole role);
  int AddCatVar(const std::string& name, const std::string& label,
                const std::vector<std::string>& values, const std::vector<std::string>& labels,
                VariableRole role);

  // Appends a frequency weight, or replaces the existing one in its slot; returns the
  // frequency weight index. The name is not checked and the counts do not change.
  int SetWeightVar(const std::string& name, const std::string& label, WRoundingOption option);

  // The number of slots.
  int Size() const { return static_cast<int>(fvVariables.size()); }
  // The variable at i; null when i is out of range (or the slot is empty).
  IMCVariable* GetVarAt(int i);
  const IMCVariable* GetVarAt(int i) const;
  // The encoder of the variable at i; null when there is none.
  IMCEncoder* GetEncoderAt(int i);
  const IMCEncoder* GetEncoderAt(int i) const;
  // Index of the first variable with exactly this name; -1 when none.
  int FindVariable(const std::string& name) const;

  int GetNumContVar() const { return fNContVars; }
  int GetNumCatVar() const { return fNCatVars; }
  bool GetListwiseDeletion() const { return fbListwiseDeletion; }
  void SetListwiseDeletion(bool on) { fbListwiseDeletion = on; }
  int GetTargetIndex() const { return fTargetIndex; }
  int GetTargetRespIndex() const { return fTargetRespIndex; }
  int GetFreqWeightIndex() const { return fFreqWeightIndex; }
  // The variable at the index; null when the index is -1.
  IMCVariable* GetTargetVariable() { return GetVarAt(fTargetIndex); }
  IMCVariable* GetTargetRespVariable() { return GetVarAt(fTargetRespIndex); }
  IMCVariable* GetFreqWeightVariable() { return GetVarAt(fFreqWeightIndex); }
  const IMCVariable* GetTargetVariable() const { return GetVarAt(fTargetIndex); }
  const IMCVariable* GetTargetRespVariable() const { return GetVarAt(fTargetRespIndex); }
  const IMCVariable* GetFreqWeightVariable() const { return GetVarAt(fFreqWeightIndex); }

  // Categories of the target (target response) variable; 0 when there is none.
  int GetNTargetCats() const;
  int GetNOutputCats() const;
  // Number of variables with role 4 (input) and role 5 (possible input).
  int GetNumInputVars() const;
  int GetNumPossibleInputVars() const;
  // The category counts of the role-4 variables in list order.
  std::vector<int> GetNInputCats() const;
  // inputs := the names of the role-4 variables in list order; response := the name of the
  // last role-2 variable (unchanged when there is none).
  void GetVarNames(std::vector<std::string>& inputs, std::string& response) const;

  // The role of the variable at i; 0 when out of range.
  VariableRole GetVariableRole(int i) const;
  // Sets the role of the variable at i; false when out of range. Role 1 (2) makes it the
  // target (target response) only when there is none yet; any other role clears the target
  // index when the variable's current role is 1, the target response index when it is 2.
  bool SetVariableRole(int i, VariableRole role);
  // Forwards the replacement text to the variable at i; false when out of range.
  bool SetMissingValueReplacement(int i, const std::string& text);
  // Updates every variable's category count; returns the sum of the new counts.
  int UpdateNumbersOfCategories();
  // Hands encoder (owned from now on) to the categorical target variable. True when encoder
  // is of type 2 or 3 with at least one category. With a null encoder or no target nothing
  // changes and the result is false; a target that is not categorical cannot take the
  // encoder, which is then deleted, and the result is false.
  bool ChangeTargetEncoder(IMCEncoder* encoder);

  // Deletes the variable at i (by name: the first of that name) and shifts the indexes that
  // follow it; false when i is out of range or the name unknown.
  bool RemoveVar(int i);
  bool RemoveVar(const std::string& name);

  // Writes the list as one object whose start line is indented by tabs; returns the number
  // of lines written. A name, label or category too long for a line of the stream (65,536
  // characters once escaped) is not written and leaves os failed: check os afterwards.
  int WriteObjectXML(std::ostream& os, int tabs) const;
  // Replaces the list by the object read; returns the number of lines consumed. The
  // frequency weight index becomes the slot of the weight variable read (-1 when none); an
  // existing weight variable is reused for it and deleted when the stream has none. On a
  // failure (also a measure level outside 1 ... 4 or a target index outside the list) prints
  // "Failure reading MCVarList!\n" on standard error and throws a new IOException*, which the
  // caller deletes; a variable's own reader fails first with its own message. The variables
  // read by then are kept, followed by an empty slot when a variable failed; the counts and
  // the target and target response indexes keep their old values.
  int ReadObjectXML(std::istream& is);

  // Diagnostic listing of the counts and every variable.
  void Display() const;

 private:
  // Appends var, applies the role's index rule; returns the new index or -1 (var deleted)
  // when the name is empty or taken.
  int Append(std::unique_ptr<IMCVariable> var, bool continuous);

  std::vector<std::unique_ptr<IMCVariable>> fvVariables;
  int fNContVars = 0;
  int fNCatVars = 0;
  int fTargetIndex = -1;
  int fTargetRespIndex = -1;
  int fFreqWeightIndex = -1;
  bool fbListwiseDeletion = false;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_MCVARLIST_H_

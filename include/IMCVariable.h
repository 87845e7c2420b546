#ifndef MCSTAT_IMCVARIABLE_H_
#define MCSTAT_IMCVARIABLE_H_

#include <istream>
#include <ostream>
#include <string>

#include "mcstat_export.h"

namespace MCCommonMetadata {

class IMCEncoder;

// One column of the record stream: name, label, measurement level, model role, storage
// type and the encoder that turns raw values into model values. A variable owns its encoder.
//
// The enumerations are stored and written as plain integers; a value outside the listed
// ones is kept as it is and displays as "unrecognized".
class MCSTAT_EXPORT IMCVariable {
 public:
  enum MeasureLevel : int {
    kUnknownMeasure = 0,
    kContinuous = 1,
    kNumericCategorical = 2,
    kStringCategorical = 3,
    kFrequencyWeightMeasure = 4
  };

  enum VariableRole : int {
    kUndefinedRole = 0,
    kTarget = 1,
    kTargetResponse = 2,
    kFrequencyWeightRole = 3,
    kInput = 4,
    kPossibleInput = 5,
    kUnusedRole = 6
  };

  enum VariableStorage : int {
    kUndefinedStorage = 0,
    kIntegerStorage = 1,
    kRealStorage = 2,
    kStringStorage = 3,
    kDateStorage = 4,
    kTimeStorage = 5,
    kTimestampStorage = 6
  };

  // How a frequency weight is made integral (see MCRoundEncoder).
  enum WRoundingOption : int { kTruncate = 0, kRoundClosest = 1, kAsIs = 2 };

  enum VarStatus : int { kStatusOK = 0, kStatusConstant = 1, kStatusInvalid = 2 };

  virtual ~IMCVariable();

  // 1 continuous, 2 numeric categorical, 3 string categorical, 4 frequency weight.
  virtual MeasureLevel GetMeasureLevel() const = 0;
  // Copies of the name and the label.
  virtual std::string GetVariableName() const = 0;
  virtual std::string GetVariableLabel() const = 0;
  virtual void SetVariableLabel(const std::string& label) = 0;
  // The number of categories (or bins) the variable reports; 0 for a weight.
  virtual int GetNumberOfCategories() const = 0;
  virtual VariableRole GetVariableRole() const = 0;
  virtual void SetVariableRole(VariableRole role) = 0;
  virtual VariableStorage GetVariableStorage() const = 0;
  virtual void SetVariableStorage(VariableStorage storage) = 0;
  // Takes the category count over from the encoder (see each class); returns the new count.
  virtual int UpdateNumberOfCategories() = 0;
  // Stores the text used in place of missing values (ignored by a weight).
  virtual void SetMissingValueReplacement(const std::string& text) = 0;
  // The replacement text, or null while none is set. Points into the variable.
  virtual const std::string* GetMissingValueReplacement() const = 0;
  // A heap copy, owned by the caller; the encoder is copied too.
  virtual IMCVariable* Clone() const = 0;
  // The variable's own encoder (may be null after reading an object without one).
  virtual IMCEncoder* GetEncoder() = 0;
  virtual const IMCEncoder* GetEncoder() const = 0;
  // 0 usable, 1 constant, 2 invalid; a categorical variable first raises its count to the
  // encoder's.
  virtual VarStatus GetVarStatus() = 0;
  // Writes the variable as one object-stream object whose start line is indented by tabs;
  // returns the number of lines written, the encoder's included. A text too long for a
  // line of the stream leaves os failed (see XMLObj).
  virtual int WriteObjectXML(std::ostream& os, int tabs) const = 0;
  // Reads the object written by WriteObjectXML and returns the number of lines consumed.
  // On any failure prints "Failure reading <class>!\n" on standard error and throws a new
  // IOException*, which the caller deletes; fields read so far stay changed.
  virtual int ReadObjectXML(std::istream& is) = 0;
  // Writes the fields and the encoder to the diagnostic stream.
  virtual void Display() const = 0;

  // The words the diagnostic display prints for each value; "unrecognized" for any other.
  static const char* MeasureLevelWord(int level);
  static const char* VariableRoleWord(int role);
  static const char* VariableStorageWord(int storage);
  static const char* RoundingOptionWord(int option);
  static const char* VarStatusWord(int status);

 protected:
  IMCVariable() = default;
  IMCVariable(const IMCVariable&) = default;
  IMCVariable& operator=(const IMCVariable&) = default;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_IMCVARIABLE_H_

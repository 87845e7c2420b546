#include "IMCVariable.h"

namespace MCCommonMetadata {

namespace {

constexpr const char kUnrecognized[] = "unrecognized";

const char* WordAt(const char* const* words, int count, int value) {
  return value >= 0 && value < count ? words[value] : kUnrecognized;
}

}  // namespace

IMCVariable::~IMCVariable() = default;

const char* IMCVariable::MeasureLevelWord(int level) {
  static const char* const kWords[] = {"Unknown measure level", "Continuous", "Numeric Categorical",
                                       "String Categorical", "Frequency weight"};
  return WordAt(kWords, 5, level);
}

const char* IMCVariable::VariableRoleWord(int role) {
  static const char* const kWords[] = {"Undefined variable role", "Target", "Target Response",
                                       "Frequency weight",        "Input",  "Possible Input",
                                       "Unused variable"};
  return WordAt(kWords, 7, role);
}

const char* IMCVariable::VariableStorageWord(int storage) {
  static const char* const kWords[] = {
      "Undefined variable storage", "Integer", "Real", "String", "Date", "Time", "Timestamp"};
  return WordAt(kWords, 7, storage);
}

const char* IMCVariable::RoundingOptionWord(int option) {
  static const char* const kWords[] = {"Truncate to smaller int", "Round to closest int",
                                       "As is - no change"};
  return WordAt(kWords, 3, option);
}

const char* IMCVariable::VarStatusWord(int status) {
  static const char* const kWords[] = {"OK", "Constant", "Invalid"};
  return WordAt(kWords, 3, status);
}

}  // namespace MCCommonMetadata

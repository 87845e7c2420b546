#include "MCPMMLParser.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <xercesc/dom/DOM.hpp>

#include "IMCEncoder.h"
#include "MCMV.h"
#include "MCXMLUtil.h"
#include "mcxml/XMLText.h"

namespace MCComXPrsUtil {

using MCCommon::MCStatus;
using MCCommonMetadata::IMCEncoder;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCUniStats;
using MCCommonMetadata::MCVarList;
namespace X = xercesc;

namespace {

constexpr double kLowest = std::numeric_limits<double>::lowest();
constexpr double kHighest = std::numeric_limits<double>::max();

MCStatus Error(long code) { return MCStatus(code, false); }

// A data type: its name, the storage it gives and whether a settings document accepts it.
struct DataType {
  const char* fName;
  IMCVariable::VariableStorage fStorage;
  bool fbSettings;
};

const DataType kDataTypes[] = {
    {"string", IMCVariable::kStringStorage, true},
    {"double", IMCVariable::kRealStorage, true},
    {"float", IMCVariable::kRealStorage, true},
    {"integer", IMCVariable::kIntegerStorage, true},
    {"date", IMCVariable::kDateStorage, true},
    {"time", IMCVariable::kTimeStorage, true},
    {"dateTime", IMCVariable::kTimestampStorage, true},
    {"timeSeconds", IMCVariable::kUndefinedStorage, false},
    {"dateDaysSince[0]", IMCVariable::kUndefinedStorage, false},
    {"dateDaysSince[1960]", IMCVariable::kUndefinedStorage, false},
    {"dateDaysSince[1970]", IMCVariable::kUndefinedStorage, false},
    {"dateDaysSince[1980]", IMCVariable::kUndefinedStorage, false},
    {"dateTimeSecondsSince[0]", IMCVariable::kUndefinedStorage, false},
    {"dateTimeSecondsSince[1960]", IMCVariable::kUndefinedStorage, false},
    {"dateTimeSecondsSince[1970]", IMCVariable::kUndefinedStorage, false},
    {"dateTimeSecondsSince[1980]", IMCVariable::kUndefinedStorage, false}};

const DataType* FindDataType(const XMLCh* text, bool settings) {
  for (const DataType& type : kDataTypes) {
    if ((type.fbSettings || !settings) && XStrEqualsUTF8Str(text, type.fName)) return &type;
  }
  return nullptr;
}

// What one field of a dictionary says, gathered before the variable is made.
struct FieldData {
  std::string fName;
  std::string fLabel;
  bool fbString = false;
  bool fbContinuous = false;
  IMCVariable::VariableStorage fStorage = IMCVariable::kUndefinedStorage;
  // Categories and missing values with one label each (empty when there is none), so that a
  // value without "displayValue" does not shift the labels of the values after it.
  std::vector<std::string> fvValidStrings;
  std::vector<double> fvValidNumbers;
  std::vector<std::string> fvValidLabels;
  bool fbAnyValidLabel = false;
  std::vector<std::string> fvMissStrings;
  std::vector<double> fvMissNumbers;
  std::vector<std::string> fvMissLabels;
  // The missing interval; an end without its extension is open.
  bool fbHaveRange = false;
  double fMissLow = kLowest;
  double fMissHigh = kHighest;
  double fMin = kLowest;
  double fMax = kHighest;
};

bool IsValidProperty(const XMLCh* property) {
  return property == nullptr || XStrEqualsUTF8Str(property, "valid");
}

// Reads a double attribute as XML Schema has it, "INF" and "-INF" included: 0 read, -1
// absent, 1 not a number. "NaN" reads as the system-missing value.
int GetSchemaDoubleAttribute(const X::DOMElement* element, const char* name, double& out) {
  const XMLCh* text = GetAttribute(element, name);
  if (text == nullptr) return -1;
  const std::string word = MCCommonXML::internal::TrimXmlSpace(ToUTF8(text));
  if (word == "INF" || word == "-INF") {
    out = word[0] == '-' ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
    return 0;
  }
  return GetDoubleAttribute(element, name, out);
}

// Collects one "Value" child. A numeric value that does not read, or that cannot be a
// category (the system-missing value), is skipped; a repeated category is skipped too, so
// that codes and labels follow the first occurrence of each category.
void ReadValue(const X::DOMElement& value, FieldData& data) {
  const bool valid = IsValidProperty(GetAttribute(&value, "property"));
  const std::string label = ToUTF8(GetAttribute(&value, "displayValue"));
  if (data.fbString) {
    const XMLCh* text = GetAttribute(&value, "value");
    if (text == nullptr) return;
    const std::string category = ToUTF8(text);
    std::vector<std::string>& into = valid ? data.fvValidStrings : data.fvMissStrings;
    if (valid && std::find(into.begin(), into.end(), category) != into.end()) return;
    into.push_back(category);
  } else {
    double number = 0.0;
    if (GetSchemaDoubleAttribute(&value, "value", number) != 0) return;
    std::vector<double>& into = valid ? data.fvValidNumbers : data.fvMissNumbers;
    if (valid &&
        (MCMV::IsMissing(number) || std::find(into.begin(), into.end(), number) != into.end())) {
      return;
    }
    into.push_back(number);
  }
  (valid ? data.fvValidLabels : data.fvMissLabels).push_back(label);
  if (valid && !label.empty()) data.fbAnyValidLabel = true;
}

// An "invalidRangeLower" or "invalidRangeUpper" extension of a numeric field.
void ReadRangeExtension(const X::DOMElement& ext, FieldData& data) {
  if (data.fbString) return;
  const XMLCh* name = GetAttribute(&ext, "name");
  const bool lower = XStrEqualsUTF8Str(name, "invalidRangeLower");
  if (!lower && !XStrEqualsUTF8Str(name, "invalidRangeUpper")) return;
  double value = 0.0;
  if (GetSchemaDoubleAttribute(&ext, "value", value) != 0 || MCMV::IsMissing(value)) return;
  (lower ? data.fMissLow : data.fMissHigh) = value;
  data.fbHaveRange = true;
}

// Adds the collected user-missing values and interval to the new variable's encoder.
void AddMissing(IMCEncoder& encoder, const FieldData& data) {
  for (std::size_t k = 0; k < data.fvMissStrings.size(); ++k) {
    encoder.AddDiscreteUserMissing(data.fvMissStrings[k], data.fvMissLabels[k]);
  }
  for (std::size_t k = 0; k < data.fvMissNumbers.size(); ++k) {
    encoder.AddDiscreteUserMissing(data.fvMissNumbers[k], data.fvMissLabels[k]);
  }
  if (data.fbHaveRange) {
    encoder.SetMissingInterval(data.fMissLow, data.fMissHigh);
  }
}

// Reads the numbers of an "Array": 108 without "type", 109 for a type other than "real" and
// "int", 114 when a number does not read or is negative.
MCStatus ReadArray(const X::DOMElement& array, std::vector<double>& values) {
  const XMLCh* type = GetAttribute(&array, "type");
  if (type == nullptr) return Error(kPMMLMissingAttribute);
  if (!XStrEqualsUTF8Str(type, "real") && !XStrEqualsUTF8Str(type, "int")) {
    return Error(kPMMLBadDataType);
  }
  std::vector<double> read;
  if (!AssembleDoublesList(&array, read)) return Error(kPMMLBadArray);
  // The system-missing value is negative too.
  if (std::any_of(read.begin(), read.end(), [](double v) { return !(v >= 0.0); })) {
    return Error(kPMMLBadArray);
  }
  values.swap(read);
  return MCStatus();
}

// Reads an optional double attribute, as XML Schema writes doubles: absent (or "NaN") leaves
// the system-missing value; false when the text is not a number.
bool ReadOptionalDouble(const X::DOMElement& element, const char* name, double& out) {
  double value = MCMV::Missing();
  if (GetSchemaDoubleAttribute(&element, name, value) == 1) return false;
  out = value;
  return true;
}

}  // namespace

MCPMMLParser::MCPMMLParser() : fStatus(fReadWrite.GetInitStatus()) {}

MCPMMLParser::~MCPMMLParser() = default;

MCStatus MCPMMLParser::ParseToDOM(std::istream& in) {
  fpRoot = nullptr;
  fpDataDict = nullptr;
  fpTransDict = nullptr;
  fpModel = nullptr;
  fStatus = fReadWrite.ParseToDOM(in);
  if (!fStatus.IsOK()) return fStatus;
  fpRoot = fReadWrite.GetDocument()->getDocumentElement();
  fpDataDict = GetFirstChildElmt(fpRoot, "DataDictionary");
  fpTransDict = GetFirstChildElmt(fpRoot, "TransformationDictionary");
  return fStatus;
}

bool MCPMMLParser::SetModelElmt(const X::DOMElement& model) {
  // Only an element of the parsed document can be read later.
  if (fpRoot == nullptr || model.getOwnerDocument() != fReadWrite.GetDocument()) return false;
  fpModel = &model;
  return true;
}

MCStatus MCPMMLParser::FillVarList(MCVarList& list, const std::vector<std::string>& names,
                                   bool useBins) const {
  if (!fStatus.IsOK()) return fStatus;
  if (fpDataDict == nullptr) return Error(kPMMLNoDictionary);
  FieldOptions options;
  options.fpNames = &names;
  options.fbUseBins = useBins;
  return FillFields(list, *fpDataDict, "DataField", options);
}

MCStatus MCPMMLParser::FillFields(MCVarList& list, const X::DOMElement& parent, const char* tag,
                                  const FieldOptions& options) const {
  const bool settings = options.fbSettingsRules;
  for (const X::DOMElement* field = GetFirstChildElmt(&parent, tag); field != nullptr;
       field = GetNextSiblingElmt(field, tag)) {
    FieldData data;
    const XMLCh* name = GetAttribute(field, "name");
    if (name == nullptr) return Error(kPMMLMissingAttribute);
    data.fName = ToUTF8(name);
    if (options.fpNames != nullptr && !options.fpNames->empty() &&
        std::find(options.fpNames->begin(), options.fpNames->end(), data.fName) ==
            options.fpNames->end()) {
      continue;
    }
    data.fLabel = ToUTF8(GetAttribute(field, "displayName"));

    const XMLCh* typeText = GetAttribute(field, "dataType");
    if (typeText == nullptr) return Error(kPMMLMissingAttribute);
    const DataType* type = FindDataType(typeText, settings);
    if (type == nullptr) return Error(kPMMLBadDataType);
    data.fbString = type->fStorage == IMCVariable::kStringStorage;
    data.fStorage = type->fStorage;

    const XMLCh* optype = GetAttribute(field, "optype");
    if (optype == nullptr) return Error(kPMMLMissingAttribute);
    data.fbContinuous = XStrEqualsUTF8Str(optype, "continuous");

    bool haveRange = false;
    for (const X::DOMElement* child = GetFirstChildElmt(field, nullptr); child != nullptr;
         child = GetNextSiblingElmt(child, nullptr)) {
      if (TagNameEquals(child, "Value")) {
        ReadValue(*child, data);
      } else if (TagNameEquals(child, "Extension")) {
        ReadRangeExtension(*child, data);
      } else if (settings && !haveRange && TagNameEquals(child, "Interval")) {
        double left = MCMV::Missing();
        double right = MCMV::Missing();
        bool openLeft = false;
        const MCStatus status = ExtractInterval(left, right, openLeft, *child);
        if (!status.IsOK()) return status;
        if (!MCMV::IsMissing(left)) data.fMin = left;
        if (!MCMV::IsMissing(right)) data.fMax = right;
        haveRange = true;
      }
    }

    int index = -1;
    const IMCVariable::VariableRole role = IMCVariable::kInput;
    if (settings && !options.fWeightName.empty() && data.fName == options.fWeightName) {
      index = list.SetWeightVar(data.fName, data.fLabel, IMCVariable::kAsIs);
    } else if (data.fbContinuous) {
      std::vector<double> cuts;
      std::vector<std::string> binValues;
      if (options.fbUseBins) {
        if (fpTransDict == nullptr || !SetBinsFrTransDict(data.fName, cuts, binValues)) {
          return Error(kPMMLNoDiscretization);
        }
      }
      std::vector<double> interior;
      if (cuts.size() >= 2) interior.assign(cuts.begin() + 1, cuts.end() - 1);
      if (settings) {
        index = options.fbUseBins ? list.AddContVar(data.fName, data.fLabel, data.fMin, data.fMax,
                                                    interior, true, role)
                                  : list.AddContVar(data.fName, data.fLabel, data.fMin, data.fMax,
                                                    role, false, -1);
      } else if (cuts.size() < 3) {
        index = list.AddContVar(data.fName, data.fLabel, role);
      } else {
        index = list.AddContVar(data.fName, data.fLabel, cuts.front(), cuts.back(), interior, true,
                                role);
      }
      if (index >= 0 && !binValues.empty() && binValues.size() == interior.size() + 1 &&
          binValues.front() != "0") {
        list.GetEncoderAt(index)->SetValueLabels(binValues);
      }
    } else if (data.fbString) {
      index = data.fbAnyValidLabel
                  ? list.AddCatVar(data.fName, data.fLabel, data.fvValidStrings, data.fvValidLabels,
                                   role)
                  : list.AddCatVar(data.fName, data.fLabel, data.fvValidStrings, role);
    } else {
      index = data.fbAnyValidLabel
                  ? list.AddCatVar(data.fName, data.fLabel, data.fvValidNumbers, data.fvValidLabels,
                                   role)
                  : list.AddCatVar(data.fName, data.fLabel, data.fvValidNumbers, role);
    }
    if (index < 0) return Error(kPMMLVariableNotAdded);

    IMCVariable* var = list.GetVarAt(index);
    var->SetVariableStorage(data.fStorage);
    if (var->GetEncoder() != nullptr) AddMissing(*var->GetEncoder(), data);
  }
  return MCStatus();
}

MCStatus MCPMMLParser::ExtractInterval(double& left, double& right, bool& openLeft,
                                       const X::DOMElement& interval) const {
  double l = MCMV::Missing();
  double r = MCMV::Missing();
  if (!ReadOptionalDouble(interval, "leftMargin", l) ||
      !ReadOptionalDouble(interval, "rightMargin", r)) {
    return Error(kPMMLMissingAttribute);
  }
  const bool hasLeft = GetAttribute(&interval, "leftMargin") != nullptr;
  const bool hasRight = GetAttribute(&interval, "rightMargin") != nullptr;
  if (!hasLeft && !hasRight) return Error(kPMMLMissingAttribute);
  // An infinite margin on its own side is an open end, as an absent one; on the other side
  // it leaves the interval empty.
  const double inf = std::numeric_limits<double>::infinity();
  if (l == inf || r == -inf) return Error(kPMMLMissingAttribute);
  if (l == -inf) l = MCMV::Missing();
  if (r == inf) r = MCMV::Missing();
  if (!MCMV::IsMissing(l) && !MCMV::IsMissing(r) && l > r) return Error(kPMMLMissingAttribute);
  const XMLCh* closure = GetAttribute(&interval, "closure");
  bool open = false;
  if (XStrEqualsUTF8Str(closure, "openOpen") || XStrEqualsUTF8Str(closure, "openClosed")) {
    open = true;
  } else if (!XStrEqualsUTF8Str(closure, "closedOpen") &&
             !XStrEqualsUTF8Str(closure, "closedClosed")) {
    return Error(kPMMLMissingAttribute);
  }
  left = l;
  right = r;
  openLeft = open;
  return MCStatus();
}

MCStatus MCPMMLParser::FillCutPointsFreqs(std::vector<double>& cuts, std::vector<double>& freqs,
                                          bool& openLeft, const X::DOMElement& contStats) const {
  std::vector<double> readCuts;
  std::vector<double> readFreqs;
  bool open = openLeft;
  for (const X::DOMElement* interval = GetFirstChildElmt(&contStats, "Interval");
       interval != nullptr; interval = GetNextSiblingElmt(interval, "Interval")) {
    double left = MCMV::Missing();
    double right = MCMV::Missing();
    const MCStatus status = ExtractInterval(left, right, open, *interval);
    if (!status.IsOK()) return status;
    // The intervals must follow one another: the cut points keep one margin of each.
    if (!readCuts.empty() && left != readCuts.back()) return Error(kPMMLMissingAttribute);
    if (readCuts.empty()) readCuts.push_back(left);
    readCuts.push_back(right);
  }
  const X::DOMElement* array = GetFirstChildElmt(&contStats, "Array");
  if (array != nullptr) {
    const MCStatus status = ReadArray(*array, readFreqs);
    if (!status.IsOK()) return status;
  }
  cuts.swap(readCuts);
  freqs.swap(readFreqs);
  openLeft = open;
  return MCStatus();
}

MCStatus MCPMMLParser::FillUniStatsCat(MCUniStats& stats, const std::string& name, double nCases,
                                       const X::DOMElement& discrStats) const {
  std::vector<double> freqs;
  const X::DOMElement* array = GetFirstChildElmt(&discrStats, "Array");
  if (array != nullptr) {
    const MCStatus status = ReadArray(*array, freqs);
    if (!status.IsOK()) return status;
  }
  stats = MCUniStats(name, nCases, freqs);
  return MCStatus();
}

MCStatus MCPMMLParser::FillUniStatsCont(MCUniStats& stats, const std::string& name, double nCases,
                                        const X::DOMElement& uniStats) const {
  MCUniStats::SummStats summ;
  const X::DOMElement* info = GetFirstChildElmt(&uniStats, "NumericInfo");
  if (info != nullptr && (!ReadOptionalDouble(*info, "minimum", summ.fMinimum) ||
                          !ReadOptionalDouble(*info, "maximum", summ.fMaximum) ||
                          !ReadOptionalDouble(*info, "mean", summ.fMean) ||
                          !ReadOptionalDouble(*info, "standardDeviation", summ.fStdDev))) {
    return Error(kPMMLMissingAttribute);
  }
  std::vector<double> cuts;
  std::vector<double> freqs;
  bool openLeft = true;
  const X::DOMElement* cont = GetFirstChildElmt(&uniStats, "ContStats");
  if (cont != nullptr) {
    const MCStatus status = FillCutPointsFreqs(cuts, freqs, openLeft, *cont);
    if (!status.IsOK()) return status;
  }
  MCUniStats read(name, nCases, summ, cuts, freqs);
  read.SetIntervalsOpenLeft(openLeft);
  stats = read;
  return MCStatus();
}

MCStatus MCPMMLParser::FillUniStats(MCUniStats& stats, const X::DOMElement*& current) const {
  if (!fStatus.IsOK()) return fStatus;
  if (!TagNameEquals(current, "UnivariateStats")) return Error(kPMMLNoDictionary);
  const X::DOMElement& uni = *current;
  current = GetNextSiblingElmt(current, "UnivariateStats");

  const XMLCh* field = GetAttribute(&uni, "field");
  if (field == nullptr) return Error(kPMMLMissingAttribute);
  double nCases = 0.0;
  if (GetDoubleAttribute(GetFirstChildElmt(&uni, "Counts"), "totalFreq", nCases) != 0) {
    return Error(kPMMLMissingAttribute);
  }
  const X::DOMElement* discr = GetFirstChildElmt(&uni, "DiscrStats");
  if (discr != nullptr) return FillUniStatsCat(stats, ToUTF8(field), nCases, *discr);
  return FillUniStatsCont(stats, ToUTF8(field), nCases, uni);
}

bool MCPMMLParser::SetBinsFrTransDict(const std::string& name, std::vector<double>& cuts,
                                      std::vector<std::string>& binValues) const {
  for (const X::DOMElement* derived = GetFirstChildElmt(fpTransDict, "DerivedField");
       derived != nullptr; derived = GetNextSiblingElmt(derived, "DerivedField")) {
    const X::DOMElement* discretize = GetFirstChildElmt(derived, "Discretize");
    if (discretize == nullptr ||
        !XStrEqualsUTF8Str(GetAttribute(discretize, "field"), name.c_str())) {
      continue;
    }
    std::vector<double> readCuts;
    std::vector<std::string> readValues;
    for (const X::DOMElement* bin = GetFirstChildElmt(discretize, "DiscretizeBin"); bin != nullptr;
         bin = GetNextSiblingElmt(bin, "DiscretizeBin")) {
      const X::DOMElement* interval = GetFirstChildElmt(bin, "Interval");
      if (interval == nullptr) return false;
      if (readCuts.empty()) {
        double left = kLowest;
        if (GetDoubleAttribute(interval, "leftMargin", left) == 1) return false;
        readCuts.push_back(left);
      }
      double right = kHighest;
      if (GetDoubleAttribute(interval, "rightMargin", right) == 1) return false;
      readCuts.push_back(MCMV::IsMissing(right) ? kHighest : right);
      readValues.push_back(ToUTF8(GetAttribute(bin, "binValue")));
    }
    cuts.swap(readCuts);
    binValues.swap(readValues);
    return true;
  }
  return false;
}

}  // namespace MCComXPrsUtil

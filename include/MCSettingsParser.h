#ifndef MCSTAT_MCSETTINGSPARSER_H_
#define MCSTAT_MCSETTINGSPARSER_H_

#include <istream>
#include <string>
#include <vector>

#include "MCPMMLParser.h"
#include "MCStatus.h"
#include "MCVarList.h"
#include "mcstat_export.h"

namespace MCComXPrsUtil {

// Status codes of the settings reader (120 and 123 are warnings: the caller's default
// stands; the others are errors).
inline constexpr long kSettingsNoDocument = 107;
inline constexpr long kSettingsBadValue = 108;
inline constexpr long kSettingsNoParameterRoot = 119;
inline constexpr long kSettingsNoParameter = 120;
inline constexpr long kSettingsIsList = 121;
inline constexpr long kSettingsListMissing = 122;
inline constexpr long kSettingsNoValue = 123;

// Reads a settings document: a PMML-shaped document whose "MiningBuildTask" carries the
// build parameters in root -> "MiningBuildTask" -> "Extension" -> "Parameters".
//
// Every reader takes a parameter name and, where shown, a scope: a "ComplexParameter"
// element from GetComplexParameter, or null for the parameter root. Readers return
// 107 when nothing is parsed, 119 when the document has no parameter root, the warning 120
// when the scope has no such parameter, and leave their output unchanged on any status
// that is not OK.
class MCSTAT_EXPORT MCSettingsParser : public MCPMMLParser {
 public:
  // The declared kind of a parameter ("type" attribute).
  enum ParamType {
    kString = 0,
    kDouble = 1,
    kInteger = 2,
    kBoolean = 3,
    kEnum = 4,
    kFieldName = 5,
    kUnknownType = 6  // not found, no "type", or another type
  };

  MCSettingsParser() = default;

  // Parses as the PMML reader does, then locates the parameter root; error 119 when the
  // document has none.
  MCCommon::MCStatus ParseToDOM(std::istream& in) override;

  // The single "value" of the named "Parameter", converted. 121 when the parameter is a
  // list, warning 123 when it has neither value nor list, 108 when the value does not
  // convert (integers and doubles as the attribute readers read them; a boolean must be
  // "true" or "false").
  MCCommon::MCStatus GetParameter(const std::string& name, std::string& value,
                                  const xercesc::DOMElement* scope = nullptr) const;
  MCCommon::MCStatus GetParameter(const std::string& name, int& value,
                                  const xercesc::DOMElement* scope = nullptr) const;
  MCCommon::MCStatus GetParameter(const std::string& name, double& value,
                                  const xercesc::DOMElement* scope = nullptr) const;
  MCCommon::MCStatus GetParameter(const std::string& name, bool& value,
                                  const xercesc::DOMElement* scope = nullptr) const;

  // The "type" of the named "Parameter" as a ParamType; kUnknownType when not found.
  ParamType GetParameterType(const std::string& name,
                             const xercesc::DOMElement* scope = nullptr) const;

  // The "ComplexParameter" of that name in the scope; null when absent.
  const xercesc::DOMElement* GetComplexParameter(const std::string& name,
                                                 const xercesc::DOMElement* scope = nullptr) const;

  // The entries of the parameter's list in order; a single "value" gives one entry.
  // Warning 123 when there is neither value nor list, or the list is empty; 108 when an
  // entry has no "value" or does not convert.
  MCCommon::MCStatus GetArray(const std::string& name, std::vector<std::string>& values,
                              const xercesc::DOMElement* scope = nullptr) const;
  MCCommon::MCStatus GetArray(const std::string& name, std::vector<int>& values,
                              const xercesc::DOMElement* scope = nullptr) const;
  MCCommon::MCStatus GetArray(const std::string& name, std::vector<double>& values,
                              const xercesc::DOMElement* scope = nullptr) const;

  // The "MatrixParmeter" of that name: one row per "ArrayParameter", one entry per "Value".
  // Warning 120 when absent; 108 when an entry has no "value" or does not convert.
  MCCommon::MCStatus GetMatrix(const std::string& name, std::vector<std::vector<int>>& values,
                               const xercesc::DOMElement* scope = nullptr) const;
  MCCommon::MCStatus GetMatrix(const std::string& name, std::vector<std::vector<double>>& values,
                               const xercesc::DOMElement* scope = nullptr) const;
  MCCommon::MCStatus GetMatrix(const std::string& name,
                               std::vector<std::vector<std::string>>& values,
                               const xercesc::DOMElement* scope = nullptr) const;

  // Field names held by a parameter of the parameter root, a single value or a list.
  // 122 when "isList" is "true" but there is no "ListValue"; 108 for an entry without
  // "value"; warning 123 when there is neither value nor list. The single-name form takes a
  // one-entry list and gives 121 for a longer one.
  MCCommon::MCStatus GetVariables(const std::string& name, std::string& variable) const;
  MCCommon::MCStatus GetVariables(const std::string& name,
                                  std::vector<std::string>& variables) const;

  // The named variable lists of a build task.
  MCCommon::MCStatus GetFrequencyWeight(std::string& variable) const;  // "FrequencyWeightVar"
  MCCommon::MCStatus GetTargetVars(std::vector<std::string>& variables) const;  // "target"
  MCCommon::MCStatus GetPredictors(std::vector<std::string>& variables) const;  // "inputs"
  MCCommon::MCStatus GetCatResponseVars(std::vector<std::string>& variables) const;
  MCCommon::MCStatus GetContResponseVars(std::vector<std::string>& variables) const;
  MCCommon::MCStatus GetCatPredictors(std::vector<std::string>& variables) const;
  MCCommon::MCStatus GetContPredictors(std::vector<std::string>& variables) const;

  // The PMML reader's form stays available beside the settings form below.
  using MCPMMLParser::FillVarList;

  // Appends a variable (role 4) for each "DataField" of the data dictionary as the PMML
  // reader does, with these differences: only "string", "date", "time", "dateTime",
  // "double", "float" and "integer" are accepted (109 otherwise); an "Interval" child gives
  // a continuous variable's min and max; a continuous field is added with its range, and
  // with useBins with the interior cut points of its discretisation; the field named by
  // "FrequencyWeightVar" is added as the frequency weight (rounding "As is"). Storage:
  // "integer" 1, "double" and "float" 2, "string" 3, "date" 4, "time" 5, "dateTime" 6.
  // Statuses: the parse error when nothing is parsed (107 before any parse); 107 without a
  // data dictionary; 108 for a field without "name", "dataType" or "optype" or a malformed
  // "Interval"; 109; 110 when bins are requested and the field has no discretisation; 111
  // when the list refuses the variable. The first failing field stops the operation;
  // variables added before it stay in the list.
  MCCommon::MCStatus FillVarList(MCCommonMetadata::MCVarList& list, bool useBins) const;

  // Appends a variable for each "DerivedField" of the transformation dictionary with the
  // rules of FillVarList (without bins). 107 when there is no transformation dictionary;
  // otherwise the statuses of FillVarList.
  MCCommon::MCStatus FillTransDict(MCCommonMetadata::MCVarList& list) const;

 private:
  // Replaces a null scope by the parameter root; 107 or 119 when there is nothing to read.
  MCCommon::MCStatus ResolveScope(const xercesc::DOMElement*& scope) const;
  // Fills from the dictionary with the settings rules; the status of a missing document or
  // 107 when dictionary is null.
  MCCommon::MCStatus FillSettingsFields(MCCommonMetadata::MCVarList& list,
                                        const xercesc::DOMElement* dictionary, const char* tag,
                                        bool useBins) const;

  const xercesc::DOMElement* fpParamRoot = nullptr;
};

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_MCSETTINGSPARSER_H_

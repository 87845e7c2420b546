#include "MCSettingsParser.h"

#include <xercesc/dom/DOM.hpp>

#include "MCXMLUtil.h"

namespace MCComXPrsUtil {

using MCCommon::MCStatus;
namespace X = xercesc;

namespace {

const MCStatus kOK;

MCStatus Error(long code) { return MCStatus(code, false); }
MCStatus Warning(long code) { return MCStatus(code, true); }

// The "type" texts in ParamType order.
const MCXNamedNumber kTypeNames[] = {
    {MCSettingsParser::kString, "string"},    {MCSettingsParser::kDouble, "double"},
    {MCSettingsParser::kInteger, "integer"},  {MCSettingsParser::kBoolean, "boolean"},
    {MCSettingsParser::kEnum, "enum"},        {MCSettingsParser::kFieldName, "fieldName"},
    {MCSettingsParser::kUnknownType, nullptr}};

// The first child element with that tag whose "name" is name.
const X::DOMElement* FindNamedChild(const X::DOMElement* scope, const char* tag,
                                    const std::string& name) {
  for (const X::DOMElement* e = GetFirstChildElmt(scope, tag); e != nullptr;
       e = GetNextSiblingElmt(e, tag)) {
    if (XStrEqualsUTF8Str(GetAttribute(e, "name"), name.c_str())) return e;
  }
  return nullptr;
}

bool IsMarkedList(const X::DOMElement* parameter) {
  return XStrEqualsUTF8Str(GetAttribute(parameter, "isList"), "true");
}

// Reads the "value" attribute of an element the way the attribute readers do:
// 0 read, -1 absent, 1 not convertible.
int ReadValue(const X::DOMElement* e, std::string& out) {
  const XMLCh* text = GetAttribute(e, "value");
  if (text == nullptr) return -1;
  out = ToUTF8(text);
  return 0;
}

int ReadValue(const X::DOMElement* e, int& out) { return GetIntAttribute(e, "value", -1, out); }

int ReadValue(const X::DOMElement* e, double& out) { return GetDoubleAttribute(e, "value", out); }

int ReadValue(const X::DOMElement* e, bool& out) {
  const XMLCh* text = GetAttribute(e, "value");
  if (text == nullptr) return -1;
  if (XStrEqualsUTF8Str(text, "true")) {
    out = true;
  } else if (XStrEqualsUTF8Str(text, "false")) {
    out = false;
  } else {
    return 1;
  }
  return 0;
}

template <typename T>
MCStatus ReadSingle(const X::DOMElement* scope, const std::string& name, T& value) {
  const X::DOMElement* parameter = FindNamedChild(scope, "Parameter", name);
  if (parameter == nullptr) return Warning(kSettingsNoParameter);
  if (GetAttribute(parameter, "value") != nullptr) {
    T read{};
    if (ReadValue(parameter, read) != 0) return Error(kSettingsBadValue);
    value = read;
    return kOK;
  }
  if (IsMarkedList(parameter) && GetFirstChildElmt(parameter, "ListValue") != nullptr) {
    return Error(kSettingsIsList);
  }
  return Warning(kSettingsNoValue);
}

// Reads every "Value" child of parent into values; 108 for an entry that does not read.
template <typename T>
MCStatus ReadValues(const X::DOMElement* parent, std::vector<T>& values) {
  for (const X::DOMElement* v = GetFirstChildElmt(parent, "Value"); v != nullptr;
       v = GetNextSiblingElmt(v, "Value")) {
    T read{};
    if (ReadValue(v, read) != 0) return Error(kSettingsBadValue);
    values.push_back(read);
  }
  return kOK;
}

// The entries of a parameter, single value or list. For field-name lists a parameter
// marked as a list without one is an error (122) and an empty list is no failure.
template <typename T>
MCStatus ReadList(const X::DOMElement* scope, const std::string& name, bool fieldNames,
                  std::vector<T>& values) {
  const X::DOMElement* parameter = FindNamedChild(scope, "Parameter", name);
  if (parameter == nullptr) return Warning(kSettingsNoParameter);
  std::vector<T> read;
  if (GetAttribute(parameter, "value") != nullptr) {
    T one{};
    if (ReadValue(parameter, one) != 0) return Error(kSettingsBadValue);
    read.push_back(one);
  } else if (IsMarkedList(parameter)) {
    const X::DOMElement* list = GetFirstChildElmt(parameter, "ListValue");
    if (list == nullptr)
      return fieldNames ? Error(kSettingsListMissing) : Warning(kSettingsNoValue);
    const MCStatus status = ReadValues(list, read);
    if (!status.IsOK()) return status;
    if (read.empty() && !fieldNames) return Warning(kSettingsNoValue);
  } else {
    return Warning(kSettingsNoValue);
  }
  values.swap(read);
  return kOK;
}

template <typename T>
MCStatus ReadMatrix(const X::DOMElement* scope, const std::string& name,
                    std::vector<std::vector<T>>& values) {
  const X::DOMElement* matrix = FindNamedChild(scope, "MatrixParmeter", name);
  if (matrix == nullptr) return Warning(kSettingsNoParameter);
  std::vector<std::vector<T>> read;
  for (const X::DOMElement* row = GetFirstChildElmt(matrix, "ArrayParameter"); row != nullptr;
       row = GetNextSiblingElmt(row, "ArrayParameter")) {
    read.emplace_back();
    const MCStatus status = ReadValues(row, read.back());
    if (!status.IsOK()) return status;
  }
  values.swap(read);
  return kOK;
}

}  // namespace

MCStatus MCSettingsParser::ParseToDOM(std::istream& in) {
  fpParamRoot = nullptr;
  MCPMMLParser::ParseToDOM(in);
  if (!fStatus.IsOK()) return fStatus;
  // The first "Extension" of the build task that holds a "Parameters" element.
  const X::DOMElement* task = GetFirstChildElmt(fpRoot, "MiningBuildTask");
  for (const X::DOMElement* ext = GetFirstChildElmt(task, "Extension");
       ext != nullptr && fpParamRoot == nullptr; ext = GetNextSiblingElmt(ext, "Extension")) {
    fpParamRoot = GetFirstChildElmt(ext, "Parameters");
  }
  if (fpParamRoot == nullptr) fStatus = Error(kSettingsNoParameterRoot);
  return fStatus;
}

MCStatus MCSettingsParser::ResolveScope(const X::DOMElement*& scope) const {
  if (fReadWrite.GetDocument() == nullptr) return Error(kSettingsNoDocument);
  if (scope == nullptr) scope = fpParamRoot;
  return scope != nullptr ? kOK : Error(kSettingsNoParameterRoot);
}

MCStatus MCSettingsParser::GetParameter(const std::string& name, std::string& value,
                                        const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadSingle(scope, name, value);
}

MCStatus MCSettingsParser::GetParameter(const std::string& name, int& value,
                                        const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadSingle(scope, name, value);
}

MCStatus MCSettingsParser::GetParameter(const std::string& name, double& value,
                                        const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadSingle(scope, name, value);
}

MCStatus MCSettingsParser::GetParameter(const std::string& name, bool& value,
                                        const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadSingle(scope, name, value);
}

MCSettingsParser::ParamType MCSettingsParser::GetParameterType(const std::string& name,
                                                               const X::DOMElement* scope) const {
  if (scope == nullptr) scope = fpParamRoot;
  if (fReadWrite.GetDocument() == nullptr || scope == nullptr) return kUnknownType;
  const X::DOMElement* parameter = FindNamedChild(scope, "Parameter", name);
  const int index = FindXStrInList(GetAttribute(parameter, "type"), kTypeNames);
  return index < 0 ? kUnknownType : static_cast<ParamType>(kTypeNames[index].fNumber);
}

const X::DOMElement* MCSettingsParser::GetComplexParameter(const std::string& name,
                                                           const X::DOMElement* scope) const {
  if (scope == nullptr) scope = fpParamRoot;
  if (fReadWrite.GetDocument() == nullptr || scope == nullptr) return nullptr;
  return FindNamedChild(scope, "ComplexParameter", name);
}

MCStatus MCSettingsParser::GetArray(const std::string& name, std::vector<std::string>& values,
                                    const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadList(scope, name, false, values);
}

MCStatus MCSettingsParser::GetArray(const std::string& name, std::vector<int>& values,
                                    const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadList(scope, name, false, values);
}

MCStatus MCSettingsParser::GetArray(const std::string& name, std::vector<double>& values,
                                    const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadList(scope, name, false, values);
}

MCStatus MCSettingsParser::GetMatrix(const std::string& name, std::vector<std::vector<int>>& values,
                                     const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadMatrix(scope, name, values);
}

MCStatus MCSettingsParser::GetMatrix(const std::string& name,
                                     std::vector<std::vector<double>>& values,
                                     const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadMatrix(scope, name, values);
}

MCStatus MCSettingsParser::GetMatrix(const std::string& name,
                                     std::vector<std::vector<std::string>>& values,
                                     const X::DOMElement* scope) const {
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadMatrix(scope, name, values);
}

MCStatus MCSettingsParser::GetVariables(const std::string& name,
                                        std::vector<std::string>& variables) const {
  const X::DOMElement* scope = nullptr;
  const MCStatus status = ResolveScope(scope);
  if (!status.IsOK()) return status;
  return ReadList(scope, name, true, variables);
}

MCStatus MCSettingsParser::GetVariables(const std::string& name, std::string& variable) const {
  std::vector<std::string> names;
  const MCStatus status = GetVariables(name, names);
  if (!status.IsOK()) return status;
  if (names.empty()) return Warning(kSettingsNoValue);
  if (names.size() > 1) return Error(kSettingsIsList);
  variable = names.front();
  return kOK;
}

MCStatus MCSettingsParser::GetFrequencyWeight(std::string& variable) const {
  return GetVariables("FrequencyWeightVar", variable);
}

MCStatus MCSettingsParser::GetTargetVars(std::vector<std::string>& variables) const {
  return GetArray("target", variables);
}

MCStatus MCSettingsParser::GetPredictors(std::vector<std::string>& variables) const {
  return GetArray("inputs", variables);
}

MCStatus MCSettingsParser::GetCatResponseVars(std::vector<std::string>& variables) const {
  return GetVariables("CatResponses", variables);
}

MCStatus MCSettingsParser::GetContResponseVars(std::vector<std::string>& variables) const {
  return GetVariables("ContResponses", variables);
}

MCStatus MCSettingsParser::GetCatPredictors(std::vector<std::string>& variables) const {
  return GetVariables("CatPredictors", variables);
}

MCStatus MCSettingsParser::FillSettingsFields(MCCommonMetadata::MCVarList& list,
                                              const X::DOMElement* dictionary, const char* tag,
                                              bool useBins) const {
  // A document without parameters (119) still describes its fields.
  if (fReadWrite.GetDocument() == nullptr) {
    return fStatus.IsOK() ? Error(kSettingsNoDocument) : fStatus;
  }
  if (dictionary == nullptr) return Error(kSettingsNoDocument);
  FieldOptions options;
  options.fbSettingsRules = true;
  options.fbUseBins = useBins;
  std::string weight;
  if (fpParamRoot != nullptr && GetFrequencyWeight(weight).IsOK()) options.fWeightName = weight;
  return FillFields(list, *dictionary, tag, options);
}

MCStatus MCSettingsParser::FillVarList(MCCommonMetadata::MCVarList& list, bool useBins) const {
  return FillSettingsFields(list, fpDataDict, "DataField", useBins);
}

MCStatus MCSettingsParser::FillTransDict(MCCommonMetadata::MCVarList& list) const {
  return FillSettingsFields(list, fpTransDict, "DerivedField", false);
}

MCStatus MCSettingsParser::GetContPredictors(std::vector<std::string>& variables) const {
  return GetVariables("ContPredictors", variables);
}

}  // namespace MCComXPrsUtil

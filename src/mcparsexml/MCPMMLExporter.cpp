#include "MCPMMLExporter.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <ctime>
#include <limits>
#include <set>
#include <utility>

#include "IMCEncoder.h"
#include "MCCatVar.h"
#include "MCMV.h"
#include "mcxml/XMLText.h"

namespace MCComXPrsUtil {

using MCCommon::MCStatus;
using MCCommonMetadata::IMCEncoder;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCUniStats;
using MCCommonXML::XMLElement;
using MCCommonXML::XMLString;

namespace {

constexpr const char kPMMLVersion[] = "3.2";
constexpr const char kPMMLNamespace[] = "http://www.dmg.org/PMML-3_2";
constexpr const char kSchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
constexpr const char kPMMLSchemaFile[] = "pmml-3-2.xsd";

constexpr long kStatusCancelled = 1;
constexpr long kStatusIndexOutOfRange = 101;
constexpr long kStatusNoVariable = 102;
constexpr long kStatusInvalidUniStats = 117;
// Text that an XML 1.0 document cannot hold makes a header or an extension impossible to
// export as well.
constexpr long kStatusNotExported = 117;

using ElementPtr = std::unique_ptr<XMLElement>;

ElementPtr NewElement(const char* name) { return ElementPtr(XMLElement::Create(name)); }

MCStatus ErrorWithIndex(long code, int index) {
  MCStatus status(code, false);
  status.SetDiscreteDatum(0, index);
  return status;
}

// The numbers as attribute numbers separated by single blanks, "NaN" for a missing one.
std::string ArrayText(const std::vector<double>& values) {
  std::string text;
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (k > 0) text += ' ';
    text += MCMV::IsMissing(values[k]) ? std::string("NaN") : MCCommonXML::ReplaceSep(values[k]);
  }
  return text;
}

ElementPtr RealArray(const std::vector<double>& values) {
  ElementPtr array = NewElement("Array");
  array->AddAttribute("type", "real");
  if (!values.empty()) array->AddElement(XMLString::Create(ArrayText(values)));
  return array;
}

void AddIfPresent(XMLElement& element, const char* name, double value) {
  if (!MCMV::IsMissing(value)) element.AddAttribute(name, value);
}

// A number that identifies something, as an XML Schema double: the shortest text that reads
// back as the same double, "INF", "-INF" or "NaN".
std::string ExactSchemaNumber(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  return MCCommonXML::internal::ExactNumberText(v);
}

// Counts have at most 24 digits: XML Schema integers are unbounded, but common tools
// (libxml2) read no more, and no data set has that many cases.
constexpr double kMaxCount = 1e24;

// A finite count >= 0 as a whole number in plain digits, as a non-negative integer of XML
// Schema must be written.
std::string WholeNumber(double count) {
  char buffer[400];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, std::round(count), std::chars_format::fixed, 0);
  return std::string(buffer, r.ptr);
}

// The attributes and text of an element and of its children (the elements made here are no
// deeper) hold only characters an XML 1.0 document can carry.
bool HoldsXmlText(const XMLElement& element, bool withChildren = true) {
  for (std::size_t i = 0; i < element.GetNumAttributes(); ++i) {
    if (!MCCommonXML::internal::IsXmlText(element.GetAttribute(i)->GetValue())) return false;
  }
  for (std::size_t i = 0; i < element.GetNumChildren(); ++i) {
    const MCCommonXML::XMLInterface* child = element.GetChild(i);
    if (const auto* text = dynamic_cast<const XMLString*>(child)) {
      if (!MCCommonXML::internal::IsXmlText(text->GetText())) return false;
    } else if (const auto* e = dynamic_cast<const XMLElement*>(child)) {
      if (withChildren && !HoldsXmlText(*e, false)) return false;
    }
  }
  return true;
}

// The local time as ctime writes it, without the final line feed; empty if the clock fails.
std::string CurrentTimeText() {
  const std::time_t now = std::time(nullptr);
  char buffer[64] = {};
  if (now == static_cast<std::time_t>(-1) || ctime_r(&now, buffer) == nullptr) return "";
  std::string text(buffer);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

const char* OpType(const IMCVariable& var) {
  switch (var.GetMeasureLevel()) {
    case IMCVariable::kContinuous:
    case IMCVariable::kFrequencyWeightMeasure:
      return "continuous";
    case IMCVariable::kNumericCategorical:
    case IMCVariable::kStringCategorical: {
      const auto* cat = dynamic_cast<const MCCommonMetadata::MCCatVar*>(&var);
      return cat != nullptr && cat->GetOrdinalFlag() ? "ordinal" : "categorical";
    }
    default:
      return nullptr;
  }
}

// The entry k of a label list when there is one and it is not empty.
const std::string* LabelAt(const std::vector<std::string>* labels, std::size_t k) {
  if (labels == nullptr || k >= labels->size() || (*labels)[k].empty()) return nullptr;
  return &(*labels)[k];
}

}  // namespace

MCPMMLExporter::MCPMMLExporter(MCCommon::MCQueryCancel* cancel) : fpCancel(cancel) {}

MCPMMLExporter::~MCPMMLExporter() = default;

XMLElement* MCPMMLExporter::ExportPMMLElement() const {
  XMLElement* pmml = XMLElement::Create("PMML");
  pmml->AddAttribute("version", kPMMLVersion);
  pmml->AddAttribute("xmlns", kPMMLNamespace);
  pmml->AddAttribute("xmlns:xsi", kSchemaInstanceNamespace);
  pmml->AddAttribute("xsi:schemaLocation", std::string(kPMMLNamespace) + " " + kPMMLSchemaFile);
  return pmml;
}

MCStatus MCPMMLExporter::ExportHeader(const MCApplicInfo4XML* info, const std::string& description,
                                      bool withTimestamp, XMLElement*& out) {
  fpElement = NewElement("Header");
  const bool ownCopyright = info != nullptr && !info->fCopyright.empty();
  fpElement->AddAttribute("copyright", ownCopyright ? info->fCopyright : kPMMLDefaultCopyright);
  if (!description.empty()) fpElement->AddAttribute("description", description);
  if (info != nullptr && (!info->fAppName.empty() || !info->fAppVersion.empty())) {
    ElementPtr app = NewElement("Application");
    if (!info->fAppName.empty()) app->AddAttribute("name", info->fAppName);
    if (!info->fAppVersion.empty()) app->AddAttribute("version", info->fAppVersion);
    fpElement->AddElement(app.release());
  }
  if (withTimestamp) {
    ElementPtr stamp = NewElement("Timestamp");
    stamp->AddElement(XMLString::Create(CurrentTimeText()));
    fpElement->AddElement(stamp.release());
  }
  if (!HoldsXmlText(*fpElement)) {
    fpElement.reset();
    return MCStatus(kStatusNotExported, false);
  }
  out = fpElement.release();
  return MCStatus();
}

bool MCPMMLExporter::AddDataField(const IMCVariable& var) {
  ElementPtr field = NewElement("DataField");
  field->AddAttribute("name", var.GetVariableName());
  const std::string label = var.GetVariableLabel();
  if (!label.empty()) field->AddAttribute("displayName", label);
  const char* opType = OpType(var);
  if (opType != nullptr) field->AddAttribute("optype", opType);
  const IMCVariable::MeasureLevel level = var.GetMeasureLevel();
  field->AddAttribute("dataType", level == IMCVariable::kStringCategorical ? "string" : "float");

  const IMCEncoder* encoder = var.GetEncoder();
  if (encoder != nullptr) {
    // The schema wants extensions before the values.
    double low = 0.0;
    double high = 0.0;
    if (encoder->GetMissingInterval(low, high)) {
      XMLElement* ext = nullptr;
      // An end at the lowest or highest double is left open, but an interval over all the
      // finite numbers still needs one extension to be there at all.
      const bool highOpen = high == std::numeric_limits<double>::max();
      if (low != std::numeric_limits<double>::lowest() || highOpen) {
        ExportExtension("invalidRangeLower", ExactSchemaNumber(low), ext);
        field->AddElement(ext);
      }
      if (!highOpen) {
        ExportExtension("invalidRangeUpper", ExactSchemaNumber(high), ext);
        field->AddElement(ext);
      }
    }

    if (level == IMCVariable::kNumericCategorical || level == IMCVariable::kStringCategorical) {
      const int n = encoder->GetNumberOfCategories();
      // Labels kept for another category count would be attached to the wrong values.
      const std::vector<std::string>* labels =
          n == var.GetNumberOfCategories() ? encoder->GetValueLabels() : nullptr;
      // Categories written alike would merge when read back, and the codes after them shift.
      std::set<std::string> written;
      for (int code = 0; code < n; ++code) {
        const std::string category = level == IMCVariable::kNumericCategorical
                                         ? ExactSchemaNumber(encoder->DecodeNum(code))
                                         : encoder->Decode(code);
        if (!written.insert(MCCommonXML::internal::ToUtf8(category)).second) return false;
        ElementPtr value = NewElement("Value");
        value->AddAttribute("value", category);
        const std::string* text = LabelAt(labels, static_cast<std::size_t>(code));
        if (text != nullptr) value->AddAttribute("displayValue", *text);
        value->AddAttribute("property", "valid");
        field->AddElement(value.release());
      }
    }

    const std::vector<std::string>* missLabels = encoder->GetMissValueLabels();
    const std::vector<std::string>* missStrings = encoder->GetDiscreteMissValuesStr();
    const std::vector<double>* missNumbers = encoder->GetDiscreteMissValues();
    if (missStrings != nullptr && !missStrings->empty()) {
      for (std::size_t k = 0; k < missStrings->size(); ++k) {
        ElementPtr value = NewElement("Value");
        value->AddAttribute("value", (*missStrings)[k]);
        const std::string* text = LabelAt(missLabels, k);
        if (text != nullptr) value->AddAttribute("displayValue", *text);
        value->AddAttribute("property", "missing");
        field->AddElement(value.release());
      }
    } else if (missNumbers != nullptr && !missNumbers->empty()) {
      for (std::size_t k = 0; k < missNumbers->size(); ++k) {
        ElementPtr value = NewElement("Value");
        value->AddAttribute("value", ExactSchemaNumber((*missNumbers)[k]));
        const std::string* text = LabelAt(missLabels, k);
        if (text != nullptr) value->AddAttribute("displayValue", *text);
        value->AddAttribute("property", "missing");
        field->AddElement(value.release());
      }
    }
  }
  if (!HoldsXmlText(*field)) return false;
  fpElement->AddElement(field.release());
  return true;
}

MCStatus MCPMMLExporter::ExportDataDictionary(const MCCommonMetadata::MCVarList& list,
                                              const std::vector<int>& indices, XMLElement*& out) {
  MCStatus status;
  fpElement = NewElement("DataDictionary");
  // The holder remembers a yes, so a cancel that stopped the loop is seen again below.
  MCCommon::MCCancelInfo cancel(fpCancel);

  std::vector<int> chosen = indices;
  if (chosen.empty()) {
    for (int i = 0; i < list.Size(); ++i) {
      const IMCVariable* var = list.GetVarAt(i);
      if (var == nullptr || var->GetVariableRole() != IMCVariable::kUnusedRole) chosen.push_back(i);
    }
  }

  int count = 0;
  for (int index : chosen) {
    if (cancel.IsCancel()) break;
    if (index < 0 || index >= list.Size()) {
      status = ErrorWithIndex(kStatusIndexOutOfRange, index);
      break;
    }
    const IMCVariable* var = list.GetVarAt(index);
    if (var == nullptr) {
      status = ErrorWithIndex(kStatusNoVariable, index);
      break;
    }
    if (!AddDataField(*var)) {
      status = ErrorWithIndex(kStatusNoVariable, index);
      break;
    }
    ++count;
  }
  fpElement->AddAttribute("numberOfFields", static_cast<double>(count));

  if (cancel.IsCancel()) {
    fpElement.reset();
    out = nullptr;
    return MCStatus(kStatusCancelled, false);
  }
  out = fpElement.release();
  return status;
}

MCStatus MCPMMLExporter::ExportUniStats(const MCUniStats& stats, XMLElement*& out) {
  if (!stats.IsValid() || !MCCommonXML::internal::IsXmlText(stats.GetVarName()) ||
      !(std::round(stats.GetNumberOfCases()) < kMaxCount)) {
    return MCStatus(kStatusInvalidUniStats, false);
  }
  fpElement = NewElement("UnivariateStats");
  fpElement->AddAttribute("field", stats.GetVarName());
  ElementPtr counts = NewElement("Counts");
  counts->AddAttribute("totalFreq", WholeNumber(stats.GetNumberOfCases()));
  fpElement->AddElement(counts.release());

  if (stats.IsCategorical()) {
    ElementPtr discr = NewElement("DiscrStats");
    discr->AddElement(RealArray(stats.GetFrequencies()).release());
    fpElement->AddElement(discr.release());
  } else {
    const MCUniStats::SummStats& summ = stats.GetSummStats();
    ElementPtr numeric = NewElement("NumericInfo");
    AddIfPresent(*numeric, "minimum", summ.fMinimum);
    AddIfPresent(*numeric, "maximum", summ.fMaximum);
    AddIfPresent(*numeric, "mean", summ.fMean);
    AddIfPresent(*numeric, "standardDeviation", summ.fStdDev);
    fpElement->AddElement(numeric.release());

    ElementPtr cont = NewElement("ContStats");
    const std::vector<double>& cuts = stats.GetCutPoints();
    const char* closure = stats.AreIntervalsOpenLeft() ? "openClosed" : "closedOpen";
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
      ElementPtr interval = NewElement("Interval");
      AddIfPresent(*interval, "leftMargin", cuts[k]);
      AddIfPresent(*interval, "rightMargin", cuts[k + 1]);
      interval->AddAttribute("closure", closure);
      cont->AddElement(interval.release());
    }
    if (!stats.GetFrequencies().empty()) {
      cont->AddElement(RealArray(stats.GetFrequencies()).release());
    }
    fpElement->AddElement(cont.release());
  }
  out = fpElement.release();
  return MCStatus();
}

MCStatus MCPMMLExporter::ExportExtension(const std::string& name, const std::string& value,
                                         XMLElement*& out) {
  ElementPtr ext = NewElement("Extension");
  if (!name.empty()) ext->AddAttribute("name", name);
  if (!value.empty()) ext->AddAttribute("value", value);
  ext->AddAttribute("extender", kPMMLExtender);
  if (!HoldsXmlText(*ext)) return MCStatus(kStatusNotExported, false);
  out = ext.release();
  return MCStatus();
}

MCStatus MCPMMLExporter::ExportExtension(const std::string& name, double value, XMLElement*& out) {
  return ExportExtension(
      name, std::isfinite(value) ? MCCommonXML::ReplaceSep(value) : ExactSchemaNumber(value), out);
}

}  // namespace MCComXPrsUtil

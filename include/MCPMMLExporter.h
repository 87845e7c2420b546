#ifndef MCSTAT_MCPMMLEXPORTER_H_
#define MCSTAT_MCPMMLEXPORTER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MCCancelInfo.h"
#include "MCStatus.h"
#include "MCUniStats.h"
#include "MCVarList.h"
#include "XMLElement.h"
#include "mcstat_export.h"

namespace MCComXPrsUtil {

// The vendor name written as "extender" of every "Extension" element.
inline constexpr const char kPMMLExtender[] = "mcstat";
// The copyright of a header whose application information brings none.
inline constexpr const char kPMMLDefaultCopyright[] = "Copyright (c) mcstat developers";

// What the host tells the PMML header about itself.
class MCSTAT_EXPORT MCApplicInfo4XML {
 public:
  // Layout version of this record, for hosts that pass it across a binary boundary; the
  // writer does not read it.
  int32_t fInfoVersion = 1;
  std::string fAppName;
  std::string fAppVersion;
  // Empty: the header carries kPMMLDefaultCopyright.
  std::string fCopyright;
};

// Builds the data-describing parts of a PMML 3.2 document as XMLElement trees: the root
// "PMML" element, the "Header", the "DataDictionary", "UnivariateStats" of one variable and
// "Extension" elements. The caller owns every element handed out, assembles them with its own
// model element (the univariate statistics go into the model's "ModelStats") and writes the
// document with WriteTree or WriteTreeUTF8.
class MCSTAT_EXPORT MCPMMLExporter {
 public:
  // The cancel query (may be null) is asked while a data dictionary is exported; not owned.
  explicit MCPMMLExporter(MCCommon::MCQueryCancel* cancel = nullptr);
  ~MCPMMLExporter();
  MCPMMLExporter(const MCPMMLExporter&) = delete;
  MCPMMLExporter& operator=(const MCPMMLExporter&) = delete;

  // A new "PMML" element with version "3.2", the PMML 3.2 namespace, the schema-instance
  // namespace and the schema location.
  MCCommonXML::XMLElement* ExportPMMLElement() const;

  // out := a new "Header" with "copyright" (info's, or the default when info is null or has
  // none), "description" (when not empty), an "Application" child when info names an
  // application or a version, and with withTimestamp a "Timestamp" holding the local time in
  // the 24-character ctime form. Error 117, out unchanged, when a text holds a character an
  // XML 1.0 document cannot carry (a control character other than tab, LF and CR; U+FFFE,
  // U+FFFF).
  MCCommon::MCStatus ExportHeader(const MCApplicInfo4XML* info, const std::string& description,
                                  bool withTimestamp, MCCommonXML::XMLElement*& out);

  // out := a new "DataDictionary" with a "DataField" for each index in order; an empty
  // indices exports every variable whose role is not 6, in list order. Numeric categories,
  // missing values and missing-range ends are written as the shortest text that reads back
  // as the same double ("INF", "-INF", "NaN" for the values that are not finite); text is
  // written as the host gives it (UTF-8, or Windows-1252 converted by WriteTreeUTF8).
  // Statuses: 101 for an index outside the list; 102 for an empty slot, or for a variable
  // that cannot be written so that it reads back: a name, label, category or missing value
  // holding a character an XML 1.0 document cannot carry, or two string categories that are
  // the same text in UTF-8. The index is discrete datum 0, and out holds the fields made
  // before it. 1 when the cancel query asks to cancel (out := null).
  MCCommon::MCStatus ExportDataDictionary(const MCCommonMetadata::MCVarList& list,
                                          const std::vector<int>& indices,
                                          MCCommonXML::XMLElement*& out);

  // out := a new "UnivariateStats" for the statistics; the number of cases is written
  // rounded to a whole number, as PMML counts it. Status 117, out unchanged, when
  // stats.IsValid() fails, the name holds a character XML 1.0 cannot carry, or the rounded
  // number of cases has more than 24 digits (1e24 or more, more than XML tools read).
  MCCommon::MCStatus ExportUniStats(const MCCommonMetadata::MCUniStats& stats,
                                    MCCommonXML::XMLElement*& out);

  // out := a new "Extension" with "name" (when not empty), "value" (the string when not
  // empty; the number always, "INF", "-INF" or "NaN" when not finite) and "extender" =
  // kPMMLExtender. Error 117, out unchanged, when a text holds a character XML 1.0 cannot
  // carry.
  MCCommon::MCStatus ExportExtension(const std::string& name, const std::string& value,
                                     MCCommonXML::XMLElement*& out);
  MCCommon::MCStatus ExportExtension(const std::string& name, double value,
                                     MCCommonXML::XMLElement*& out);

 private:
  // Appends a "DataField" for var to the element under construction; false, appending
  // nothing, when the field could not be read back as it was (see ExportDataDictionary).
  bool AddDataField(const MCCommonMetadata::IMCVariable& var);

  std::unique_ptr<MCCommonXML::XMLElement> fpElement;
  MCCommon::MCQueryCancel* fpCancel = nullptr;
};

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_MCPMMLEXPORTER_H_

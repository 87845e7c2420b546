#ifndef MCSTAT_MCPMMLPARSER_H_
#define MCSTAT_MCPMMLPARSER_H_

#include <istream>
#include <string>
#include <vector>

#include "MCStatus.h"
#include "MCUniStats.h"
#include "MCVarList.h"
#include "MCXMLReadWrite.h"
#include "mcstat_export.h"

namespace MCComXPrsUtil {

// Status codes of the PMML and settings readers' fill operations.
inline constexpr long kPMMLNoDictionary = 107;
inline constexpr long kPMMLMissingAttribute = 108;
inline constexpr long kPMMLBadDataType = 109;
inline constexpr long kPMMLNoDiscretization = 110;
inline constexpr long kPMMLVariableNotAdded = 111;
inline constexpr long kPMMLBadArray = 114;

// Reads a PMML document and rebuilds from it the variable list a model was built on (from
// the "DataDictionary", with bins from the "TransformationDictionary") and univariate
// statistics. Only element and attribute names are looked at, so data dictionaries of any
// PMML version read. Element pointers are owned by the parsed document and stay valid until
// the next parse or the destruction of this object. Not copyable.
class MCSTAT_EXPORT MCPMMLParser {
 public:
  // Starts the parser library; a failure (error 103) is kept as the status.
  MCPMMLParser();
  virtual ~MCPMMLParser();
  MCPMMLParser(const MCPMMLParser&) = delete;
  MCPMMLParser& operator=(const MCPMMLParser&) = delete;

  // Parses the stream and locates the document element and the two dictionaries (null when
  // absent). Returns and keeps the status: the init status when not OK, 104 when the stream
  // holds no well-formed document.
  virtual MCCommon::MCStatus ParseToDOM(std::istream& in);

  // The status of construction or of the last parse.
  MCCommon::MCStatus GetStatus() const { return fStatus; }
  // The parser's message for the last failure (empty when there was none).
  std::string GetXercesMessage() const { return fReadWrite.GetXercesMessage(); }
  // The document element; null when nothing is parsed.
  const xercesc::DOMElement* GetRootElement() const { return fpRoot; }
  // Remembers the element of the model the host wants read; true when set, that is when
  // the element belongs to the parsed document.
  bool SetModelElmt(const xercesc::DOMElement& model);
  // The element remembered by SetModelElmt; null before.
  const xercesc::DOMElement* GetModelElmt() const { return fpModel; }

  // Appends a variable (role 4) for each "DataField" of the data dictionary, in document
  // order; with a non-empty names only the fields named there. "string" fields become
  // string variables, the other accepted data types numeric ones; "continuous" fields become
  // continuous variables (binned by the matching "Discretize" of the transformation
  // dictionary when useBins is set), all other optypes categorical ones whose categories get
  // codes in document order. "Value" children with property "valid" (or none) are the
  // categories, any other property makes a user-missing value; "displayValue" is the label.
  // A category listed again, a numeric value that does not read and "NaN" are passed over
  // with their labels, so codes and labels stay together. Numbers are read as XML Schema
  // writes doubles, "INF" and "-INF" included. "Extension" children named
  // "invalidRangeLower" / "invalidRangeUpper" give the missing interval (when either is
  // there; an end without its extension is open: the lowest or highest double). The storage
  // follows the data type ("integer" 1; "double", "float" 2; "string" 3; "date" 4; "time"
  // 5; "dateTime" 6; the others leave it undefined).
  // Returns the parse status when it is not OK; 107 without a data dictionary; 108 for a
  // field without "name", "dataType" or "optype"; 109 for a data type outside the PMML
  // list; 110 when bins are requested and the field has no discretisation; 111 when the
  // list refuses the variable (a duplicate name). The first failing field stops the
  // operation; variables added before it stay in the list.
  MCCommon::MCStatus FillVarList(MCCommonMetadata::MCVarList& list,
                                 const std::vector<std::string>& names, bool useBins) const;

  // Reads the "UnivariateStats" element current into stats and moves current to the next
  // "UnivariateStats" sibling (null after the last), also when reading fails. Categorical
  // statistics from "DiscrStats", continuous ones from "NumericInfo" and "ContStats".
  // Summary statistics may be "INF" or "-INF" (read as such; "NaN" reads as unknown); an
  // interval margin of "-INF" on the left or "INF" on the right is an open end.
  // Returns the parse status when it is not OK; 107 when current is null or not a
  // "UnivariateStats"; 108 for a missing "field" or "totalFreq", a malformed number or
  // "Interval", intervals that do not follow one another (a left margin other than the
  // previous right margin), an "Array" without "type"; 109 for an "Array" type other than
  // "real" and "int"; 114 when an array's numbers do not read or one is negative. stats is
  // unchanged unless the result is OK.
  MCCommon::MCStatus FillUniStats(MCCommonMetadata::MCUniStats& stats,
                                  const xercesc::DOMElement*& current) const;

 protected:
  // How the fields of a dictionary are turned into variables.
  struct FieldOptions {
    // The settings document's rules: its shorter list of data types, "Interval" children as
    // the range of a continuous variable, and the frequency weight.
    bool fbSettingsRules = false;
    // Names of the fields to read; all when null or empty.
    const std::vector<std::string>* fpNames = nullptr;
    // Bins of continuous fields from the transformation dictionary.
    bool fbUseBins = false;
    // The field added as the frequency weight (settings rules only; none when empty).
    std::string fWeightName;
  };

  // Appends a variable for each child of parent with the tag, as FillVarList describes;
  // same statuses, except that a null parent is not checked here.
  MCCommon::MCStatus FillFields(MCCommonMetadata::MCVarList& list,
                                const xercesc::DOMElement& parent, const char* tag,
                                const FieldOptions& options) const;

  // Reads the margins of an "Interval" (an absent margin, "-INF" on the left and "INF" on
  // the right leave the system-missing value: an open end) and whether it is open on the
  // left ("openOpen", "openClosed"). 108, outputs unchanged, when both margins are absent,
  // left > right, "INF" on the left or "-INF" on the right, a margin is not a number or the
  // closure is absent or unknown.
  MCCommon::MCStatus ExtractInterval(double& left, double& right, bool& openLeft,
                                     const xercesc::DOMElement& interval) const;
  // Reads the cut points (the left margin of the first "Interval", the right margin of each)
  // and the frequencies (the "Array") of a "ContStats" element; statuses as FillUniStats.
  MCCommon::MCStatus FillCutPointsFreqs(std::vector<double>& cuts, std::vector<double>& freqs,
                                        bool& openLeft, const xercesc::DOMElement& contStats) const;
  // Categorical statistics from the "DiscrStats" element.
  MCCommon::MCStatus FillUniStatsCat(MCCommonMetadata::MCUniStats& stats, const std::string& name,
                                     double nCases, const xercesc::DOMElement& discrStats) const;
  // Continuous statistics from the "NumericInfo" and "ContStats" children of the
  // "UnivariateStats" element.
  MCCommon::MCStatus FillUniStatsCont(MCCommonMetadata::MCUniStats& stats, const std::string& name,
                                      double nCases, const xercesc::DOMElement& uniStats) const;
  // Looks in the transformation dictionary for a "DerivedField" whose "Discretize" has
  // "field" = name and collects its bins' "binValue"s and cut points (the left margin of the
  // first bin's "Interval", the right margin of each; an open end becomes the lowest or the
  // highest double). False, outputs unchanged, when there is none or a bin has no interval.
  bool SetBinsFrTransDict(const std::string& name, std::vector<double>& cuts,
                          std::vector<std::string>& binValues) const;

  MCXMLReadWrite fReadWrite;
  MCCommon::MCStatus fStatus;
  const xercesc::DOMElement* fpRoot = nullptr;
  const xercesc::DOMElement* fpDataDict = nullptr;
  const xercesc::DOMElement* fpTransDict = nullptr;
  const xercesc::DOMElement* fpModel = nullptr;
};

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_MCPMMLPARSER_H_

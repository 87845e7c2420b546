#ifndef MCSTAT_MCXSPLITPMMLCOMBINER_H_
#define MCSTAT_MCXSPLITPMMLCOMBINER_H_

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "MCStatus.h"
#include "MCVarList.h"
#include "MCXMLReadWrite.h"
#include "mcstat_export.h"

namespace MCComXPrsUtil {

// Status codes of the combiner (besides the parser's 104 and the reader's 107 and 108).
inline constexpr long kSplitFunctionMismatch = 124;
inline constexpr long kSplitMiningModelInput = 125;
inline constexpr long kSplitValueCount = 126;

// Merges the PMML documents of models built separately for each combination of values of
// some split variables into one PMML 4.4 document: a "MiningModel" whose "Segmentation"
// ("selectFirst") holds one "Segment" per model, selected by the predicate "split variable k
// equals value k" for every k. The header comes from the first document; the data
// dictionaries and mining schemas of all documents are merged, and the split variables are
// added to both. Every copied element is moved into the PMML 4.4 namespace. Not copyable.
class MCSTAT_EXPORT MCXSplitPMMLCombiner {
 public:
  // Takes the split variables in list order: levels 2 and 3 are categorical fields of type
  // "double" and "string", others continuous "double" fields; storage 1 makes the type
  // "integer". Empty slots of the list are passed over.
  explicit MCXSplitPMMLCombiner(const MCCommonMetadata::MCVarList& splitVars);
  ~MCXSplitPMMLCombiner();
  MCXSplitPMMLCombiner(const MCXSplitPMMLCombiner&) = delete;
  MCXSplitPMMLCombiner& operator=(const MCXSplitPMMLCombiner&) = delete;

  // Parses the file and adds its model as a new segment for the split values (one per split
  // variable, in list order). Nothing happens (OK) when the file name or the values are
  // empty. Text that is not UTF-8 is taken as Windows-1252. Statuses, also kept as
  // GetStatus(): 126 when the number of values differs from the number of split variables;
  // 108 when a value, or a split variable's name or label, holds a character an XML 1.0
  // document cannot carry; the parser's status (104) when the file does not parse;
  // 107 when the document has no standard model element; 108 when the model has no
  // "functionName"; 125 when the model is a "MiningModel"; 124 when its "functionName"
  // differs from the first model's. A failing call changes nothing in the combined document.
  MCCommon::MCStatus AddModel(const std::string& pmmlFileName,
                              const std::vector<std::string>& splitValues);

  // Writes the combined document pretty-printed to the file and releases it; the next
  // AddModel starts a new document. 107 when no model was added; 118 when the file cannot be
  // written (the document is released all the same).
  MCCommon::MCStatus ExportMiningModel(const std::string& fileName);

  // The number of segments in the current document.
  int GetNModels() const { return fNModels; }
  // The status of the last operation.
  MCCommon::MCStatus GetStatus() const { return fStatus; }
  // Writes the split variables, the status, the function name and the segment count.
  void Display(std::ostream& os) const;

 private:
  struct SplitVar {
    std::string fName;
    std::string fLabel;
    std::string fOpType;
    std::string fDataType;
  };
  struct DocumentReleaser {
    void operator()(xercesc::DOMDocument* document) const;
  };

  MCCommon::MCStatus Combine(const std::vector<std::string>& splitValues);
  // True when the model element is a "MiningModel".
  bool IsMiningModel(const xercesc::DOMElement& model) const;
  // True when the function name equals the first model's.
  bool IsConsistentFunctionName(const std::string& functionName) const;
  // True when there is one value per split variable.
  bool IsEqualValues(const std::vector<std::string>& splitValues) const;
  // The model's "functionName"; 108 when absent.
  MCCommon::MCStatus GetFunctionNameAtt(const xercesc::DOMElement& model,
                                        std::string& functionName) const;
  // Creates the output document from the first source document.
  MCCommon::MCStatus StartDocument(const xercesc::DOMElement& pmml,
                                   const xercesc::DOMElement& model);

  std::vector<SplitVar> fvSplitVars;
  MCCommon::MCStatus fStatus;
  std::string fFunctionName;
  std::vector<std::string> fvModelNames;
  // The parser holds the parser library up while the output document lives, so it is
  // declared first and destroyed last.
  MCXMLReadWrite fReadWrite;
  std::unique_ptr<xercesc::DOMDocument, DocumentReleaser> fpDocument;
  xercesc::DOMElement* fpDataDict = nullptr;
  xercesc::DOMElement* fpMiningSchema = nullptr;
  xercesc::DOMElement* fpSegmentation = nullptr;
  int fNModels = 0;
};

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_MCXSPLITPMMLCOMBINER_H_

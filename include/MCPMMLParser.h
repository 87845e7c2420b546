#ifndef MCSTAT_MCPMMLPARSER_H_
#define MCSTAT_MCPMMLPARSER_H_

#include <istream>
#include <string>

#include "MCStatus.h"
#include "MCXMLReadWrite.h"
#include "mcstat_export.h"

namespace MCComXPrsUtil {

// Reads a PMML document and locates the parts the library rebuilds its metadata from: the
// document element, its "DataDictionary" and its "TransformationDictionary". Element
// pointers are owned by the parsed document and stay valid until the next parse or the
// destruction of this object. Not copyable.
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

 protected:
  MCXMLReadWrite fReadWrite;
  MCCommon::MCStatus fStatus;
  const xercesc::DOMElement* fpRoot = nullptr;
  const xercesc::DOMElement* fpDataDict = nullptr;
  const xercesc::DOMElement* fpTransDict = nullptr;
  const xercesc::DOMElement* fpModel = nullptr;
};

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_MCPMMLPARSER_H_

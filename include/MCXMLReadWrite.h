#ifndef MCSTAT_MCXMLREADWRITE_H_
#define MCSTAT_MCXMLREADWRITE_H_

// Access to the Xerces-C DOM parser: start-up and shut-down, parsing, writing, transcoding
// and lexical parsing of doubles. Only the Xerces type definitions (XMLCh and the namespace
// macros) are included here; the DOM classes are forward declared, so a host that wants to
// navigate a parsed document includes <xercesc/dom/DOM.hpp> itself.

#include <istream>
#include <memory>
#include <string>
#include <vector>
#include <xercesc/util/XercesDefs.hpp>

#include "MCStatus.h"
#include "mcstat_export.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
class DOMNode;
class InputSource;
class XMLTranscoder;
XERCES_CPP_NAMESPACE_END

namespace MCComXPrsUtil {

// Status codes of the access layer.
inline constexpr long kParserInitFailed = 103;
inline constexpr long kDocumentNotParsed = 104;
inline constexpr long kDocumentNotWritten = 118;

// The deepest nesting of elements a parsed document may have (the document element is at
// depth 1). PMML and settings documents stay far below it; deeper documents are refused.
inline constexpr int kMaxDocumentDepth = 1000;

// Parses XML documents into a DOM tree and writes DOM trees to files.
//
// Each instance holds one reference on the process-wide Xerces start-up state, so several
// instances (and hosts that start Xerces themselves) can live side by side. PMML and settings
// documents need no document type declaration, so a document that has one is refused before
// anything in it is read or expanded; the parser never reads an external DTD or entity, does
// not process XInclude, and refuses documents nested deeper than kMaxDocumentDepth while it
// reads them. Parsing time and memory are linear in the document's size, and nothing here or
// in the library's readers recurses on a document's depth. Not copyable: it owns the parser
// and with it the parsed document.
class MCSTAT_EXPORT MCXMLReadWrite {
 public:
  // Starts the parser library; on failure the init status is error 103 and the parser
  // message holds the reason.
  MCXMLReadWrite();
  // Releases the document and the parser, then this instance's hold on the parser library.
  ~MCXMLReadWrite();
  MCXMLReadWrite(const MCXMLReadWrite&) = delete;
  MCXMLReadWrite& operator=(const MCXMLReadWrite&) = delete;

  // OK when the parser library started, else error 103.
  MCCommon::MCStatus GetInitStatus() const { return fInitStatus; }
  // The text of the last parser error or exception (empty when there was none).
  std::string GetXercesMessage() const { return fParserMessage; }
  // The parsed document, owned by this object; null when nothing is parsed.
  const xercesc::DOMDocument* GetDocument() const;
  xercesc::DOMDocument* GetDocument();

  // Parses the local file (never a URL) into a new document, releasing the previous one.
  // Returns the init status when it is not OK; error 104 when the file holds no well-formed
  // document, or one with a document type declaration or nested deeper than
  // kMaxDocumentDepth (GetXercesMessage() says which), and then GetDocument() is null.
  MCCommon::MCStatus ParseToDOM(const std::string& fileName);
  // As above, reading the bytes of the stream from its current position to its end.
  MCCommon::MCStatus ParseToDOM(std::istream& in);

  // Writes the document, pretty-printed in UTF-8, to the file. Returns the init status when
  // it is not OK; error 118 when the document is null or the file cannot be written.
  MCCommon::MCStatus WriteFromDOM(const std::string& fileName,
                                  const xercesc::DOMDocument* document) const;

 private:
  struct Parser;
  MCCommon::MCStatus Parse(xercesc::InputSource& source);

  MCCommon::MCStatus fInitStatus;
  std::unique_ptr<Parser> fpParser;
  std::string fParserMessage;
};

// A transcoder of the parser's transcoding service for one encoding ("UTF-8" in all uses).
// It holds its own reference on the parser library while it lives.
class MCSTAT_EXPORT MCXTranscoder {
 public:
  explicit MCXTranscoder(const char* encoding);
  ~MCXTranscoder();
  MCXTranscoder(const MCXTranscoder&) = delete;
  MCXTranscoder& operator=(const MCXTranscoder&) = delete;

  // True when the service knows the encoding.
  bool isValid() const { return fpTranscoder != nullptr; }
  // The text in this encoding; needs a non-null source. Empty when the transcoder is not
  // valid or a character cannot be represented.
  std::string TranscodeTo(const XMLCh* sourceStr) const;
  // The zero-terminated UTF-16 code units of text in this encoding; needs a non-null source.
  // Only the terminator when the transcoder is not valid or the bytes are malformed.
  std::vector<XMLCh> TranscodeFrom(const char* sourceStr) const;

 private:
  bool fbStarted = false;
  xercesc::XMLTranscoder* fpTranscoder = nullptr;
};

// Reads a double from its XML Schema lexical form ("1.5", "-2E-3", " 7 ", "NaN").
// "NaN" reads as the system-missing value; "INF" and "-INF" are refused. A finite literal
// beyond the double range reads as the largest (or lowest) double, so that every double the
// library writes with 15 significant digits reads back; subnormal numbers read exactly.
class MCSTAT_EXPORT MCXMLDouble {
 public:
  explicit MCXMLDouble(const XMLCh* text);
  explicit MCXMLDouble(const char* text);

  // True when the text was a number (or "NaN").
  bool IsNumber() const { return fbNumber; }
  // The value read; the system-missing value when the text was not a number.
  double GetValue() const { return fValue; }

 private:
  void Read(const XMLCh* text);

  bool fbNumber = false;
  double fValue = 0.0;
};

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_MCXMLREADWRITE_H_

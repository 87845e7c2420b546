#include "MCXMLReadWrite.h"

#include <cassert>
#include <limits>
#include <mutex>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/LocalFileFormatTarget.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLDouble.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "MCMV.h"
#include "MCXMLUtil.h"
#include "mcparsexml/MCXInputSource.h"
#include "mcxml/XMLText.h"

namespace MCComXPrsUtil {

using MCCommon::MCStatus;
namespace X = xercesc;

namespace {

static_assert(sizeof(XMLCh) == sizeof(char16_t), "XMLCh is expected to be a UTF-16 code unit");

// Documents with a document type declaration are refused before its internal subset is
// read, so no entity of a document's own is ever expanded. The expansion limit stays as a
// second line of defence.
constexpr XMLSize_t kEntityExpansionLimit = 1000;

// Why the guarded parser stopped a document.
struct Refusal {
  const char* fpReason;
};

// A DOM parser that refuses, while it scans, what PMML and settings documents never need and
// what would cost more than linear time, memory or call depth: a document type declaration
// (entities of the document's own can expand quadratically) and elements nested deeper than
// kMaxDocumentDepth. Stopping throws a Refusal out of the parse; the parser is then discarded.
class GuardedDOMParser : public X::XercesDOMParser {
 public:
  void doctypeDecl(const X::DTDElementDecl& /*elemDecl*/, const XMLCh* const /*publicId*/,
                   const XMLCh* const /*systemId*/, const bool /*hasIntSubset*/,
                   const bool /*hasExtSubset*/) override {
    throw Refusal{"a document type declaration is not accepted"};
  }

  void startElement(const X::XMLElementDecl& elemDecl, const unsigned int urlId,
                    const XMLCh* const elemPrefix, const X::RefVectorOf<X::XMLAttr>& attrList,
                    const XMLSize_t attrCount, const bool isEmpty, const bool isRoot) override {
    if (++fDepth > kMaxDocumentDepth) throw Refusal{"elements are nested too deeply"};
    // An empty element's end is reported from here, through endElement below.
    X::XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isEmpty,
                                     isRoot);
  }

  void endElement(const X::XMLElementDecl& elemDecl, const unsigned int urlId, const bool isRoot,
                  const XMLCh* const elemPrefix) override {
    --fDepth;
    X::XercesDOMParser::endElement(elemDecl, urlId, isRoot, elemPrefix);
  }

 private:
  int fDepth = 0;
};

std::mutex& XercesMutex() {
  // Never destroyed, so that hosts holding static parser objects can still shut down.
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

// Every external entity and external DTD subset resolves to nothing, so the parser reads no
// file and opens no connection whatever the document names.
class EmptyEntityResolver : public X::XMLEntityResolver {
 public:
  X::InputSource* resolveEntity(X::XMLResourceIdentifier* /*resource*/) override {
    static const XMLByte kNothing[1] = {0};
    return new X::MemBufInputSource(kNothing, 0, "mcstat-blocked-entity", false);
  }
};

// Keeps the first error so that the caller can report why a document was refused.
class FirstErrorHandler : public X::ErrorHandler {
 public:
  void warning(const X::SAXParseException& /*exc*/) override {}
  void error(const X::SAXParseException& exc) override { Keep(exc); }
  void fatalError(const X::SAXParseException& exc) override { Keep(exc); }
  void resetErrors() override { fMessage.clear(); }
  const std::string& Message() const { return fMessage; }

 private:
  void Keep(const X::SAXParseException& exc) {
    if (!fMessage.empty()) return;
    fMessage = "line " + std::to_string(exc.getLineNumber()) + ", column " +
               std::to_string(exc.getColumnNumber()) + ": " + ToUTF8(exc.getMessage());
  }
  std::string fMessage;
};

template <typename T>
struct Releaser {
  void operator()(T* p) const {
    if (p != nullptr) p->release();
  }
};

}  // namespace

bool AcquireXerces(std::string* message) {
  std::lock_guard<std::mutex> lock(XercesMutex());
  try {
    X::XMLPlatformUtils::Initialize(X::XMLUni::fgXercescDefaultLocale);
    return true;
  } catch (const X::XMLException& e) {
    if (message != nullptr) *message = ToUTF8(e.getMessage());
  } catch (...) {
    if (message != nullptr) *message = "the XML parser library could not be started";
  }
  return false;
}

void ReleaseXerces() {
  std::lock_guard<std::mutex> lock(XercesMutex());
  try {
    X::XMLPlatformUtils::Terminate();
  } catch (...) {
    // Nothing sensible is left to do during shut-down.
  }
}

XMLSize_t MCXBinInputStream::readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) {
  if (!fIn.good() || maxToRead == 0) return 0;
  fIn.read(reinterpret_cast<char*>(toFill), static_cast<std::streamsize>(maxToRead));
  const std::streamsize got = fIn.gcount();
  if (got <= 0) return 0;
  fPos += static_cast<XMLFilePos>(got);
  return static_cast<XMLSize_t>(got);
}

X::BinInputStream* MCXInputSource::makeStream() const { return new MCXBinInputStream(fIn); }

// The parser with everything it borrows. Members are destroyed in reverse order, so the
// parser (and its document) goes first.
struct MCXMLReadWrite::Parser {
  EmptyEntityResolver fResolver;
  FirstErrorHandler fErrors;
  X::SecurityManager fSecurity;
  std::unique_ptr<X::XercesDOMParser> fpDOMParser;

  Parser() : fpDOMParser(new GuardedDOMParser) {
    fSecurity.setEntityExpansionLimit(kEntityExpansionLimit);
    X::XercesDOMParser& p = *fpDOMParser;
    p.setLoadExternalDTD(false);
    p.setLoadSchema(false);
    p.setDisableDefaultEntityResolution(true);
    p.setXMLEntityResolver(&fResolver);
    p.setSecurityManager(&fSecurity);
    p.setErrorHandler(&fErrors);
    // Entity text goes straight into its parent, so the readers' child navigation sees the
    // elements an internal entity expands to.
    p.setCreateEntityReferenceNodes(false);
  }
};

MCXMLReadWrite::MCXMLReadWrite() {
  if (!AcquireXerces(&fParserMessage)) fInitStatus = MCStatus(kParserInitFailed, false);
}

MCXMLReadWrite::~MCXMLReadWrite() {
  if (!fInitStatus.IsOK()) return;
  try {
    fpParser.reset();
  } catch (...) {
    // Release what can be released; the library must still be shut down below.
  }
  ReleaseXerces();
}

const X::DOMDocument* MCXMLReadWrite::GetDocument() const {
  return fpParser ? fpParser->fpDOMParser->getDocument() : nullptr;
}

X::DOMDocument* MCXMLReadWrite::GetDocument() {
  return fpParser ? fpParser->fpDOMParser->getDocument() : nullptr;
}

MCStatus MCXMLReadWrite::ParseToDOM(const std::string& fileName) {
  if (!fInitStatus.IsOK()) return fInitStatus;
  fpParser.reset();
  fParserMessage.clear();
  try {
    // An explicit local-file source, so that a name that looks like a URL is not fetched.
    std::vector<XMLCh> name = ToUTF16(fileName.c_str());
    X::LocalFileInputSource source(name.data());
    return Parse(source);
  } catch (const X::OutOfMemoryException&) {
    fParserMessage = "out of memory";
  } catch (const X::XMLException& e) {
    fParserMessage = ToUTF8(e.getMessage());
  } catch (...) {
    fParserMessage = "the file could not be opened";
  }
  return MCStatus(kDocumentNotParsed, false);
}

MCStatus MCXMLReadWrite::ParseToDOM(std::istream& in) {
  if (!fInitStatus.IsOK()) return fInitStatus;
  fpParser.reset();
  fParserMessage.clear();
  MCXInputSource source(in);
  return Parse(source);
}

MCStatus MCXMLReadWrite::Parse(X::InputSource& source) {
  std::unique_ptr<Parser> parser;
  try {
    parser.reset(new Parser);
    parser->fpDOMParser->parse(source);
    const X::DOMDocument* document = parser->fpDOMParser->getDocument();
    if (parser->fpDOMParser->getErrorCount() == 0 && document != nullptr &&
        document->getDocumentElement() != nullptr) {
      fpParser = std::move(parser);
      return MCStatus();
    }
    fParserMessage = parser->fErrors.Message();
    if (fParserMessage.empty()) fParserMessage = "no document element";
  } catch (const Refusal& refusal) {
    fParserMessage = refusal.fpReason;
  } catch (const X::OutOfMemoryException&) {
    fParserMessage = "out of memory";
  } catch (const X::XMLException& e) {
    fParserMessage = ToUTF8(e.getMessage());
  } catch (const X::DOMException& e) {
    fParserMessage = ToUTF8(e.getMessage());
  } catch (const X::SAXException& e) {
    fParserMessage = ToUTF8(e.getMessage());
  } catch (...) {
    fParserMessage = "unexpected failure while parsing";
  }
  try {
    parser.reset();
  } catch (...) {
    // Already failing; the status below says so.
  }
  return MCStatus(kDocumentNotParsed, false);
}

MCStatus MCXMLReadWrite::WriteFromDOM(const std::string& fileName,
                                      const X::DOMDocument* document) const {
  if (!fInitStatus.IsOK()) return fInitStatus;
  const MCStatus failed(kDocumentNotWritten, false);
  if (document == nullptr) return failed;
  try {
    X::DOMImplementation* impl = X::DOMImplementationRegistry::getDOMImplementation(u"LS");
    if (impl == nullptr) return failed;
    std::unique_ptr<X::DOMLSSerializer, Releaser<X::DOMLSSerializer>> serializer(
        impl->createLSSerializer());
    X::DOMConfiguration* config = serializer->getDomConfig();
    if (config->canSetParameter(X::XMLUni::fgDOMWRTFormatPrettyPrint, true)) {
      config->setParameter(X::XMLUni::fgDOMWRTFormatPrettyPrint, true);
    }
    std::unique_ptr<X::DOMLSOutput, Releaser<X::DOMLSOutput>> output(impl->createLSOutput());
    output->setEncoding(u"UTF-8");
    std::vector<XMLCh> name = ToUTF16(fileName.c_str());
    X::LocalFileFormatTarget target(name.data());
    output->setByteStream(&target);
    const bool written = serializer->write(document, output.get());
    // Flushed here, not in the destructor, so that a write error is caught below.
    target.flush();
    return written ? MCStatus() : failed;
  } catch (...) {
    // Any parser exception (file not creatable, disk full, bad node) means not written.
  }
  return failed;
}

MCXTranscoder::MCXTranscoder(const char* encoding) {
  fbStarted = AcquireXerces(nullptr);
  if (!fbStarted || encoding == nullptr) return;
  try {
    X::XMLTransService::Codes code = X::XMLTransService::Ok;
    fpTranscoder =
        X::XMLPlatformUtils::fgTransService->makeNewTranscoderFor(encoding, code, 16 * 1024);
    if (code != X::XMLTransService::Ok) {
      delete fpTranscoder;
      fpTranscoder = nullptr;
    }
  } catch (...) {
    fpTranscoder = nullptr;
  }
}

MCXTranscoder::~MCXTranscoder() {
  delete fpTranscoder;
  if (fbStarted) ReleaseXerces();
}

std::string MCXTranscoder::TranscodeTo(const XMLCh* sourceStr) const {
  assert(sourceStr);
  if (sourceStr == nullptr || fpTranscoder == nullptr) return std::string();
  try {
    X::TranscodeToStr out(sourceStr, fpTranscoder);
    return std::string(reinterpret_cast<const char*>(out.str()), out.length());
  } catch (...) {
    return std::string();
  }
}

std::vector<XMLCh> MCXTranscoder::TranscodeFrom(const char* sourceStr) const {
  assert(sourceStr);
  std::vector<XMLCh> result;
  if (sourceStr != nullptr && fpTranscoder != nullptr) {
    try {
      X::TranscodeFromStr in(reinterpret_cast<const XMLByte*>(sourceStr),
                             std::char_traits<char>::length(sourceStr), fpTranscoder);
      result.assign(in.str(), in.str() + in.length());
    } catch (...) {
      result.clear();
    }
  }
  result.push_back(0);
  return result;
}

MCXMLDouble::MCXMLDouble(const XMLCh* text) { Read(text); }

MCXMLDouble::MCXMLDouble(const char* text) {
  if (text == nullptr) {
    Read(nullptr);
    return;
  }
  const std::vector<XMLCh> wide = ToUTF16(text);
  Read(wide.data());
}

void MCXMLDouble::Read(const XMLCh* text) {
  fbNumber = false;
  fValue = MCMV::Missing();
  if (text == nullptr || !AcquireXerces(nullptr)) return;
  try {
    X::XMLDouble number(text);
    switch (number.getType()) {
      case X::XMLAbstractDoubleFloat::NaN:
        fbNumber = true;
        break;
      case X::XMLAbstractDoubleFloat::Normal:
        fValue = number.getValue();
        fbNumber = true;
        // The parser turns subnormal numbers into zero; they are read exactly instead, so
        // that every double the library writes reads back as itself.
        if (number.isDataConverted()) {
          MCCommonXML::internal::ParseNumberText(MCCommonXML::internal::TrimXmlSpace(ToUTF8(text)),
                                                 fValue);
        }
        break;
      case X::XMLAbstractDoubleFloat::PosINF:
      case X::XMLAbstractDoubleFloat::NegINF:
        // A finite literal that overflowed is clamped; a written infinity is refused.
        if (number.isDataOverflowed()) {
          const double big = std::numeric_limits<double>::max();
          fValue = number.getType() == X::XMLAbstractDoubleFloat::PosINF ? big : -big;
          fbNumber = true;
        }
        break;
      default:
        break;
    }
  } catch (...) {
    fbNumber = false;
    fValue = MCMV::Missing();
  }
  ReleaseXerces();
}

}  // namespace MCComXPrsUtil

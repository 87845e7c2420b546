#ifndef MCSTAT_SRC_MCPARSEXML_MCXINPUTSOURCE_H_
#define MCSTAT_SRC_MCPARSEXML_MCXINPUTSOURCE_H_

// Internal pieces of the parser access layer that need the Xerces class definitions.

#include <istream>
#include <string>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/util/BinInputStream.hpp>

namespace MCComXPrsUtil {

// Takes one reference on the process-wide Xerces start-up state. Xerces counts its own
// Initialize and Terminate calls; the calls are serialised here so that users on different
// threads cannot race. Returns false, with the reason in message, when start-up failed (no
// reference is then held).
bool AcquireXerces(std::string* message);
// Gives back one reference taken by a successful AcquireXerces.
void ReleaseXerces();

// Reads the bytes of a standard stream for the parser.
class MCXBinInputStream : public xercesc::BinInputStream {
 public:
  explicit MCXBinInputStream(std::istream& in) : fIn(in) {}

  XMLFilePos curPos() const override { return fPos; }
  XMLSize_t readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) override;
  const XMLCh* getContentType() const override { return nullptr; }

 private:
  std::istream& fIn;
  XMLFilePos fPos = 0;
};

// An input source over a standard stream; the stream must outlive the parse.
class MCXInputSource : public xercesc::InputSource {
 public:
  explicit MCXInputSource(std::istream& in) : fIn(in) {}

  xercesc::BinInputStream* makeStream() const override;

 private:
  std::istream& fIn;
};

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_SRC_MCPARSEXML_MCXINPUTSOURCE_H_

// Arbitrary bytes as a CSV file of the front end's reader. It either throws InputError or
// delivers records of exactly as many fields as the header has names, each field within the
// record's text.

#include "CsvParser.h"
#include "FuzzUtil.h"
#include "frontend/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  const std::string text = mcfuzz::AsString(data, size);
  try {
    MCFrontEnd::CsvParser parser(MCFrontEnd::ByteReader::FromText(text), "fuzz.csv", 0);
    const std::size_t width = parser.Names().size();
    mcfuzz::Check(width > 0, "a header without names");
    std::int64_t line = 0;
    while (parser.Next()) {
      mcfuzz::Check(parser.Line() > line, "records out of line order");
      line = parser.Line();
      std::size_t length = 0;
      for (std::size_t j = 0; j < width; ++j) length += parser.Text(j).size();
      mcfuzz::Check(length <= text.size(), "fields longer than the text");
    }
  } catch (const MCFrontEnd::InputError&) {
  }
  return 0;
}

// Arbitrary bytes as a binary record file, read with 1 to 5 values per record and three
// passes each. Every pass must deliver floor(size / (8 * count)) records holding exactly the
// file's bytes, then stop with end of data or, for a tail of at least one whole value, with
// a read error.

#include <cstring>

#include "FuzzUtil.h"
#include "MCRecord.h"

namespace {

// The fail reason once a pass has read all whole records of the file.
void CheckEndReason(int reason, size_t tail) {
  if (tail >= sizeof(double)) {
    mcfuzz::Check(reason == MCCommon::kFailRead, "short record not reported");
  } else if (tail == 0) {
    mcfuzz::Check(reason == MCCommon::kFailEndOfData, "clean end not reported");
  } else {
    // Less than one value left over: the reader sees no value at all.
    mcfuzz::Check(reason == MCCommon::kFailEndOfData || reason == MCCommon::kFailRead,
                  "fail reason of a byte tail");
  }
}

void ReadPasses(std::FILE* file, const uint8_t* data, size_t size, int count) {
  std::rewind(file);
  MCCommon::BinaryRecordIterator it(file, count);
  const size_t recordBytes = sizeof(double) * static_cast<size_t>(count);
  const size_t whole = size / recordBytes;
  const size_t tail = size % recordBytes;
  for (int pass = 0; pass < 3; ++pass) {
    if (pass > 0) {
      const int reason = it.NewPass();
      if (whole > 0) {
        mcfuzz::Check(reason == MCCommon::kFailNone, "NewPass over whole records");
      } else {
        CheckEndReason(reason, tail);
      }
    }
    size_t delivered = 0;
    while (it.HasMore()) {
      const MCCommon::Record* record = it.Next();
      mcfuzz::Check(record != nullptr, "HasMore but no record");
      mcfuzz::Check(record->Size() == count, "record size");
      mcfuzz::Check(delivered < whole, "more records than the file holds");
      mcfuzz::Check(std::memcmp(record->GetAll(), data + delivered * recordBytes, recordBytes) == 0,
                    "record bytes differ from the file");
      ++delivered;
    }
    mcfuzz::Check(delivered == whole, "fewer records than the file holds");
    mcfuzz::Check(it.Next() == nullptr, "record after the end");
    CheckEndReason(it.GetFailReason(), tail);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return 0;
  if (size > 0 && std::fwrite(data, 1, size, file) != size) {
    std::fclose(file);
    return 0;
  }
  std::fflush(file);
  for (int count = 1; count <= 5; ++count) ReadPasses(file, data, size, count);
  std::fclose(file);
  return 0;
}

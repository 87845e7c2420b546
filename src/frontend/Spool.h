#ifndef MCSTAT_FRONTEND_SPOOL_H_
#define MCSTAT_FRONTEND_SPOOL_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "frontend/DataSource.h"

namespace MCFrontEnd {

// A new file without a name in the system's temporary folder ($TMPDIR, else /tmp), open for
// reading and writing: nothing is left behind however the program ends. folder := the folder,
// for messages. InputError when no such file can be created.
int OpenTemporaryFile(std::string& folder);

// Copies what is left of the reader into a file made by OpenTemporaryFile and returns its
// descriptor, which the caller closes: a pipe or standard input can then be read again.
// cancelled (may be empty) is asked between blocks. InputError when the copy cannot be
// written, Cancelled.
int CopyToTemporaryFile(ByteReader& from, const std::function<bool()>& cancelled);

// Records of a fixed number of doubles kept in a temporary file in the system's temporary
// folder ($TMPDIR, else /tmp) so that a source read once can be read again. The file has no
// name from the start (it is removed as soon as it is created), so nothing is left behind
// however the program ends. Written in large blocks, read in large blocks by any number of
// independent readers.
class Spool {
 public:
  // InputError when no temporary file can be created.
  explicit Spool(int width);
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;
  ~Spool();

  int Width() const { return fWidth; }
  // Appends one record of Width values. InputError when the file cannot be written (a full
  // disk).
  void Append(const double* record);
  // Writes what is buffered; call before reading.
  void Finish();
  std::int64_t Records() const { return fRecords; }

  // Reads the records of a range, front to back.
  class Reader {
   public:
    Reader(const Spool& spool, RecordRange range);
    // The next record, or null at the end of the range. InputError on a read error.
    const double* Next();

   private:
    const Spool& fSpool;
    std::int64_t fNext;  // index of the next record to read from the file
    std::int64_t fEnd;
    std::vector<double> fBuffer;
    std::size_t fAt = 0;
    std::size_t fHave = 0;
  };

 private:
  void Flush();

  int fWidth;
  int fFd = -1;
  std::string fFolder;
  std::vector<double> fBuffer;
  std::int64_t fRecords = 0;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_SPOOL_H_

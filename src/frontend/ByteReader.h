#ifndef MCSTAT_FRONTEND_BYTEREADER_H_
#define MCSTAT_FRONTEND_BYTEREADER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// The bytes of a file, front to back: a plain file, a gzip file (recognised by its first
// bytes, whatever its name), or standard input (given as "-"; gzip there too).
class MCFRONTEND_EXPORT ByteReader {
 public:
  virtual ~ByteReader();
  // Opens the file; InputError (naming the file) when it cannot be opened.
  static std::unique_ptr<ByteReader> Open(const std::string& path);
  // The bytes of a text held in memory.
  static std::unique_ptr<ByteReader> FromText(std::string text);
  // The bytes of an open file from its start, read at an offset of the reader's own (the
  // descriptor stays the caller's); name is for messages.
  static std::unique_ptr<ByteReader> FromDescriptor(int fd, std::string name);

  // Up to n bytes into buf; 0 only at the end. InputError on a read error or corrupt data.
  virtual std::size_t Read(char* buf, std::size_t n) = 0;
  // Skips n bytes; false when the data end first.
  virtual bool Skip(std::uint64_t n);
  // Whether the bytes can be read again by opening the path anew (not standard input).
  virtual bool Rereadable() const = 0;
  // Whether they are decompressed on the way.
  virtual bool Compressed() const = 0;

 protected:
  explicit ByteReader(std::string path) : fPath(std::move(path)) {}
  std::string fPath;
};

// The name under which messages mention a path: "standard input" for "-".
MCFRONTEND_EXPORT std::string DisplayName(const std::string& path);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_BYTEREADER_H_

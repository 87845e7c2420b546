#include "ByteReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

// Reads until n bytes or the end; -1 on an error other than an interrupted call.
ssize_t ReadFully(int fd, char* buf, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd, buf + got, n - got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

class PlainReader : public ByteReader {
 public:
  PlainReader(std::string path, int fd, bool rereadable)
      : ByteReader(std::move(path)), fFd(fd), fbRereadable(rereadable) {}
  ~PlainReader() override {
    if (fbRereadable) ::close(fFd);
  }
  std::size_t Read(char* buf, std::size_t n) override {
    const ssize_t r = ReadFully(fFd, buf, n);
    if (r < 0) throw InputError(DisplayName(fPath) + ": read error (" + std::strerror(errno) + ")");
    return static_cast<std::size_t>(r);
  }
  bool Skip(std::uint64_t n) override {
    struct stat st {};
    if (fbRereadable && ::fstat(fFd, &st) == 0 && S_ISREG(st.st_mode)) {
      const off_t at = ::lseek(fFd, 0, SEEK_CUR);
      if (at >= 0 && static_cast<std::uint64_t>(st.st_size - at) >= n &&
          ::lseek(fFd, static_cast<off_t>(n), SEEK_CUR) >= 0) {
        return true;
      }
    }
    return ByteReader::Skip(n);
  }
  bool Rereadable() const override { return fbRereadable; }
  bool Compressed() const override { return false; }

 private:
  int fFd;
  bool fbRereadable;
};

// zlib reads gzip members one after the other, and passes data without a gzip header
// through unchanged.
class GzipReader : public ByteReader {
 public:
  GzipReader(std::string path, gzFile file, bool rereadable)
      : ByteReader(std::move(path)), fFile(file), fbRereadable(rereadable) {
    gzbuffer(fFile, 1u << 17);
  }
  ~GzipReader() override { gzclose_r(fFile); }
  std::size_t Read(char* buf, std::size_t n) override {
    std::size_t got = 0;
    while (got < n) {
      const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(n - got, 1u << 30));
      const int r = gzread(fFile, buf + got, chunk);
      if (r < 0) {
        int code = 0;
        const char* what = gzerror(fFile, &code);
        throw InputError(DisplayName(fPath) + ": cannot decompress (" +
                         (code == Z_ERRNO ? std::strerror(errno) : what) + ")");
      }
      if (r == 0) {
        // A gzip stream cut short ends without an error from gzread; gzerror tells.
        int code = 0;
        const char* what = gzerror(fFile, &code);
        if (code != Z_OK && code != Z_STREAM_END) {
          throw InputError(DisplayName(fPath) + ": cannot decompress (" + what + ")");
        }
        break;
      }
      got += static_cast<std::size_t>(r);
    }
    return got;
  }
  bool Rereadable() const override { return fbRereadable; }
  bool Compressed() const override { return true; }

 private:
  gzFile fFile;
  bool fbRereadable;
};

class DescriptorReader : public ByteReader {
 public:
  DescriptorReader(int fd, std::string name) : ByteReader(std::move(name)), fFd(fd) {}
  std::size_t Read(char* buf, std::size_t n) override {
    std::size_t got = 0;
    while (got < n) {
      const ssize_t r = ::pread(fFd, buf + got, n - got, fAt);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) throw InputError(fPath + ": read error (" + std::strerror(errno) + ")");
      if (r == 0) break;
      got += static_cast<std::size_t>(r);
      fAt += r;
    }
    return got;
  }
  bool Rereadable() const override { return false; }
  bool Compressed() const override { return false; }

 private:
  int fFd;
  off_t fAt = 0;
};

class TextReader : public ByteReader {
 public:
  explicit TextReader(std::string text) : ByteReader("text"), fText(std::move(text)) {}
  std::size_t Read(char* buf, std::size_t n) override {
    const std::size_t got = std::min(n, fText.size() - fAt);
    std::memcpy(buf, fText.data() + fAt, got);
    fAt += got;
    return got;
  }
  bool Rereadable() const override { return false; }
  bool Compressed() const override { return false; }

 private:
  std::string fText;
  std::size_t fAt = 0;
};

}  // namespace

ByteReader::~ByteReader() = default;

std::unique_ptr<ByteReader> ByteReader::FromText(std::string text) {
  return std::make_unique<TextReader>(std::move(text));
}

std::unique_ptr<ByteReader> ByteReader::FromDescriptor(int fd, std::string name) {
  return std::make_unique<DescriptorReader>(fd, std::move(name));
}

bool ByteReader::Skip(std::uint64_t n) {
  std::vector<char> scratch(1u << 16);
  while (n > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(n, scratch.size()));
    const std::size_t got = Read(scratch.data(), chunk);
    if (got == 0) return false;
    n -= got;
  }
  return true;
}

std::string DisplayName(const std::string& path) {
  return path == "-" ? std::string("standard input") : path;
}

std::unique_ptr<ByteReader> ByteReader::Open(const std::string& path) {
  if (path == "-") {
    // Standard input may be gzip too; zlib passes anything else through.
    const int fd = ::dup(STDIN_FILENO);
    gzFile file = fd >= 0 ? gzdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
      if (fd >= 0) ::close(fd);
      throw InputError("standard input: cannot be read");
    }
    return std::make_unique<GzipReader>(path, file, false);
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InputError(path + ": cannot open the file");
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw InputError(path + ": is a folder, not a file");
  }
  // A pipe or a device cannot be read twice; a regular file can.
  const bool regular = S_ISREG(st.st_mode);
  unsigned char magic[2] = {0, 0};
  const bool gzip = regular && ::pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
  if (!gzip && regular) return std::make_unique<PlainReader>(path, fd, true);
  gzFile file = gzdopen(fd, "rb");
  if (file == nullptr) {
    ::close(fd);
    throw InputError(path + ": cannot open the file");
  }
  return std::make_unique<GzipReader>(path, file, regular);
}

}  // namespace MCFrontEnd

#include "Spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

// Records per block: about 1 MiB.
std::size_t BlockRecords(int width) {
  return std::max<std::size_t>(1, (std::size_t{1} << 17) / static_cast<std::size_t>(width));
}

std::string TempFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  return error ? std::string("/tmp") : folder.string();
}

}  // namespace

int OpenTemporaryFile(std::string& folder) {
  folder = TempFolder();
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // File systems without unnamed files: create one and remove its name at once.
    std::string name = folder + "/mcstat-cache-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
  }
  if (fd < 0) {
    throw InputError(folder + ": cannot create a temporary file (" + std::strerror(errno) + ")");
  }
  return fd;
}

int CopyToTemporaryFile(ByteReader& from, const std::function<bool()>& cancelled) {
  std::string folder;
  const int fd = OpenTemporaryFile(folder);
  try {
    std::vector<char> block(1u << 20);
    while (const std::size_t got = from.Read(block.data(), block.size())) {
      if (cancelled && cancelled()) throw Cancelled();
      for (std::size_t done = 0; done < got;) {
        const ssize_t w = ::write(fd, block.data() + done, got - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
          throw InputError(folder + ": cannot write the temporary copy of the data (" +
                           std::strerror(w < 0 ? errno : ENOSPC) + ")");
        }
        done += static_cast<std::size_t>(w);
      }
    }
  } catch (...) {
    ::close(fd);
    throw;
  }
  return fd;
}

Spool::Spool(int width) : fWidth(std::max(1, width)) {
  fFd = OpenTemporaryFile(fFolder);
  fBuffer.reserve(BlockRecords(fWidth) * static_cast<std::size_t>(fWidth));
}

Spool::~Spool() {
  if (fFd >= 0) ::close(fFd);
}

void Spool::Append(const double* record) {
  fBuffer.insert(fBuffer.end(), record, record + fWidth);
  ++fRecords;
  if (fBuffer.size() == fBuffer.capacity()) Flush();
}

void Spool::Finish() { Flush(); }

void Spool::Flush() {
  const char* data = reinterpret_cast<const char*>(fBuffer.data());
  std::size_t left = fBuffer.size() * sizeof(double);
  while (left > 0) {
    const ssize_t n = ::write(fFd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      throw InputError(fFolder + ": cannot write the temporary copy of the data (" +
                       std::strerror(n < 0 ? errno : ENOSPC) + ")");
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  fBuffer.clear();
}

Spool::Reader::Reader(const Spool& spool, RecordRange range)
    : fSpool(spool), fNext(std::min(std::max<std::int64_t>(range.first, 0), spool.fRecords)) {
  fEnd = range.count < 0 ? spool.fRecords : std::min(spool.fRecords, fNext + range.count);
  fBuffer.resize(BlockRecords(spool.fWidth) * static_cast<std::size_t>(spool.fWidth));
}

const double* Spool::Reader::Next() {
  const std::size_t width = static_cast<std::size_t>(fSpool.fWidth);
  if (fAt == fHave) {
    if (fNext >= fEnd) return nullptr;
    const std::int64_t records =
        std::min<std::int64_t>(fEnd - fNext, static_cast<std::int64_t>(fBuffer.size() / width));
    const std::size_t bytes = static_cast<std::size_t>(records) * width * sizeof(double);
    const off_t offset = static_cast<off_t>(fNext) * static_cast<off_t>(width * sizeof(double));
    std::size_t got = 0;
    while (got < bytes) {
      const ssize_t n = ::pread(fSpool.fFd, reinterpret_cast<char*>(fBuffer.data()) + got,
                                bytes - got, offset + static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        throw InputError(fSpool.fFolder + ": cannot read the temporary copy of the data");
      }
      got += static_cast<std::size_t>(n);
    }
    fNext += records;
    fAt = 0;
    fHave = static_cast<std::size_t>(records) * width;
  }
  const double* record = fBuffer.data() + fAt;
  fAt += width;
  return record;
}

}  // namespace MCFrontEnd

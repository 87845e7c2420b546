#include "frontend/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

std::string Folder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path with symbolic links followed to their end, even to a file that does not exist
// yet; the path itself when it is no link.
std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n < 0) return at;
    target.resize(static_cast<std::size_t>(n));
    at = target.front() == '/' ? target : Folder(at) + "/" + target;
  }
  throw InputError(path + ": too many levels of symbolic links");
}

// A new file beside `target` with a name no other file has, created with mode 0666 so that
// the umask decides.
std::string CreateTemporary(const std::string& target, int& fd) {
  std::random_device device;
  std::mt19937_64 bits((static_cast<std::uint64_t>(device()) << 32) ^ device() ^
                       static_cast<std::uint64_t>(::getpid()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".tmp%012llx",
                  static_cast<unsigned long long>(bits() & 0xffffffffffffULL));
    const std::string name = target + suffix;
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return name;
    if (errno != EEXIST) break;
  }
  return std::string();
}

}  // namespace

OutputFile::OutputFile(const std::string& path, std::ostream& standardOutput, bool buffered)
    : fPath(path) {
  if (path == "-") {
    fbStandardOutput = true;
    fpDirect = &standardOutput;
    fpStream = buffered ? static_cast<std::ostream*>(&fHeld) : fpDirect;
    return;
  }
  fTarget = FollowLinks(path);
  struct stat st {};
  const bool exists = ::stat(fTarget.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) throw InputError(path + ": is a folder");
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a FIFO: written as it is, never replaced.
    fpFile = std::make_unique<std::ofstream>(fTarget, std::ios::binary | std::ios::out);
    if (!*fpFile) throw InputError(path + ": cannot write the file");
    fpDirect = fpFile.get();
    fpStream = buffered ? static_cast<std::ostream*>(&fHeld) : fpDirect;
    return;
  }
  int fd = -1;
  fTemp = CreateTemporary(fTarget, fd);
  if (fTemp.empty()) {
    throw InputError(path + ": cannot create the file (" + std::strerror(errno) + ")");
  }
  // A file replaced keeps its permissions.
  if (exists) ::fchmod(fd, st.st_mode & 07777);
  ::close(fd);
  fpFile = std::make_unique<std::ofstream>(fTemp, std::ios::binary | std::ios::out);
  if (!*fpFile) {
    std::remove(fTemp.c_str());
    throw InputError(path + ": cannot write the file");
  }
  fpStream = fpFile.get();
}

OutputFile::~OutputFile() {
  if (!fbDone && !fTemp.empty()) {
    fpFile.reset();
    std::remove(fTemp.c_str());
  }
}

void OutputFile::Commit() {
  if (fpStream == &fHeld) {
    const std::string held = fHeld.str();
    fpDirect->write(held.data(), static_cast<std::streamsize>(held.size()));
  }
  const std::string name = fbStandardOutput ? std::string("standard output") : fPath;
  if (fpDirect != nullptr) {
    fpDirect->flush();
    if (!*fpDirect) throw InputError(name + ": cannot write");
    fbDone = true;
    return;
  }
  fpFile->flush();
  const bool good = fpFile->good();
  fpFile->close();
  if (!good || fpFile->fail()) throw InputError(name + ": cannot write the file");
  if (std::rename(fTemp.c_str(), fTarget.c_str()) != 0) {
    throw InputError(name + ": cannot move the finished file into place");
  }
  fbDone = true;
}

}  // namespace MCFrontEnd

#include "PendingFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "frontend/Errors.h"

namespace MCFrontEnd {

PendingFile::PendingFile(const std::string& path) : fPath(path) {
  std::vector<char> name(path.begin(), path.end());
  const std::string suffix = ".tmpXXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) throw InputError(path + ": cannot create the file");
  close(fd);
  fTemp = name.data();
  fpStream = std::make_unique<std::ofstream>(fTemp, std::ios::binary | std::ios::trunc);
  if (!*fpStream) {
    std::remove(fTemp.c_str());
    throw InputError(path + ": cannot write the file");
  }
}

PendingFile::~PendingFile() {
  if (!fbDone) {
    fpStream.reset();
    std::remove(fTemp.c_str());
  }
}

std::ostream& PendingFile::Stream() { return *fpStream; }

void PendingFile::Commit() {
  auto* file = static_cast<std::ofstream*>(fpStream.get());
  file->flush();
  const bool good = file->good();
  file->close();
  if (!good || file->fail()) throw InputError(fPath + ": cannot write the file");
  if (std::rename(fTemp.c_str(), fPath.c_str()) != 0) {
    throw InputError(fPath + ": cannot move the finished file into place");
  }
  fbDone = true;
}

}  // namespace MCFrontEnd

#ifndef MCSTAT_FRONTEND_PENDINGFILE_H_
#define MCSTAT_FRONTEND_PENDINGFILE_H_

#include <memory>
#include <ostream>
#include <string>

namespace MCFrontEnd {

// A file written under a temporary name beside its destination and renamed into place by
// Commit; dropped (the temporary removed) otherwise.
class PendingFile {
 public:
  // InputError when the temporary file cannot be created.
  explicit PendingFile(const std::string& path);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  std::ostream& Stream();
  const std::string& TempPath() const { return fTemp; }
  // Flushes, closes and renames; InputError when any of that fails.
  void Commit();

 private:
  std::string fPath;
  std::string fTemp;
  std::unique_ptr<std::ostream> fpStream;
  bool fbDone = false;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PENDINGFILE_H_

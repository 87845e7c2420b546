#ifndef MCSTAT_FRONTEND_OUTPUTFILE_H_
#define MCSTAT_FRONTEND_OUTPUTFILE_H_

#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// A file a command writes, safely:
// - "-" is the given standard output stream;
// - an existing target that is not a regular file (a device, a FIFO) is written in place and
//   never replaced;
// - a symbolic link is followed: its target is written, the link stays;
// - a regular file is written under a temporary name in the target's folder and renamed over
//   the target by Commit, with the mode of the file it replaces, or for a new file the mode
//   the umask gives. Without Commit (an error, Ctrl-C) the temporary file is removed.
// With `buffered`, what goes to standard output or in place is held in memory until Commit,
// so that an error leaves them untouched too (for small documents).
class MCFRONTEND_EXPORT OutputFile {
 public:
  // InputError (naming the path) when the target's folder does not exist or the file cannot
  // be created or opened.
  OutputFile(const std::string& path, std::ostream& standardOutput, bool buffered);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  std::ostream& Stream() { return *fpStream; }
  // Whether the path names standard output.
  bool IsStandardOutput() const { return fbStandardOutput; }
  // Finishes the file: writes what was held, flushes, renames a temporary file into place.
  // InputError when any of that fails.
  void Commit();

 private:
  std::string fPath;    // as given, for messages
  std::string fTarget;  // the file written, links followed
  std::string fTemp;    // the temporary file, or empty
  std::ostream* fpDirect = nullptr;  // standard output or the file written in place
  std::unique_ptr<std::ofstream> fpFile;
  std::ostringstream fHeld;
  std::ostream* fpStream = nullptr;
  bool fbStandardOutput = false;
  bool fbDone = false;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_OUTPUTFILE_H_

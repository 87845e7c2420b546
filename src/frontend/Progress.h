#ifndef MCSTAT_FRONTEND_PROGRESS_H_
#define MCSTAT_FRONTEND_PROGRESS_H_

#include <cstddef>
#include <ostream>
#include <string>

#include "MCCancelInfo.h"
#include "ProgressListener.h"

namespace MCFrontEnd {

// The progress line on a terminal: the library asks its cancel query before every record, so
// the line counts those questions (passing them on to the real query) for the data passes and
// record counts, and it listens to the iteration reports. It rewrites one line with '\r'
// at most every few thousand records and at every iteration, and blanks it when done.
class ProgressLine : public MCCommon::MCQueryCancel, public ProgressListener {
 public:
  // inner (may be null) answers the cancel questions; recordsPerPass > 0 turns counts into
  // passes.
  ProgressLine(MCCommon::MCQueryCancel* inner, std::ostream& err, std::size_t recordsPerPass);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() override;

  // Whether a progress line belongs on standard error: not quiet, and a terminal.
  static bool Wanted(bool quiet);

  bool IsCancel() override;
  bool WillCancel() override;
  // n questions at once (those of a thread, passed on in a batch): counted, then answered as
  // one.
  bool WillCancelAfter(std::size_t n);
  bool Report(ProgressReport* report) override;
  // Blanks the line (once something was written).
  void Clear();

 private:
  void Count();
  void Show();

  MCCommon::MCQueryCancel* fpInner = nullptr;
  std::ostream& fErr;
  std::size_t fRecordsPerPass = 0;
  std::size_t fAsked = 0;
  int fIteration = -1;
  double fLogLik = 0.0;
  std::size_t fWidth = 0;  // of the line on screen
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PROGRESS_H_

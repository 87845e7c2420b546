#ifndef MCSTAT_FRONTEND_PARALLEL_H_
#define MCSTAT_FRONTEND_PARALLEL_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "MCCancelInfo.h"
#include "MCPartialStats.h"
#include "MCRegSettings.h"
#include "frontend/CodedModel.h"
#include "frontend/DataSource.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// The number of threads "all the cores" means: what the system reports, at least 1.
int CoreCount();

// n ranges of the records 0 .. count - 1 in order, of sizes differing by at most one (fewer
// when there are fewer records, but always one); a single range of all records when count is
// not known (negative) or n is below 2.
MCFRONTEND_EXPORT std::vector<RecordRange> SplitRecords(std::int64_t count, int n);

// f(0) .. f(n - 1), each on a thread of its own (f(n - 1) on the calling thread). After every
// call has ended, the exception of the lowest index that threw is thrown again.
void RunParallel(int n, const std::function<void(int)>& f);

// Cancel questions of one thread for a query that several threads share: answered from the
// last answer, and passed on to the shared query (under the common lock) once in a batch of
// questions, and at Flush. A progress line among the queries counts every question.
class ThreadQuery : public MCCommon::MCQueryCancel {
 public:
  ThreadQuery(MCCommon::MCQueryCancel* shared, std::mutex& lock) : fpShared(shared), fLock(lock) {}
  bool IsCancel() override { return WillCancel(); }
  bool WillCancel() override;
  // Passes the questions asked since the last batch on.
  void Flush();

 private:
  MCCommon::MCQueryCancel* fpShared;
  std::mutex& fLock;
  std::size_t fPending = 0;
  bool fbAnswer = false;
};

// The passes of a fit run on threads: the model's records in ranges, one part per range with
// its own record iterator and worker, which live through the fit (so that a worker keeps its
// part's covariate patterns from pass to pass). The first part's error stands, as in one
// stream.
class ThreadRunner : public MCPassRunner {
 public:
  // settings: the component's (or alike), which must outlive the runner; cancel (may be null)
  // is asked by every part through a ThreadQuery of its own.
  ThreadRunner(const CodedModel& model, const MCRegSettings& settings,
               const std::vector<RecordRange>& ranges, MCCommon::MCQueryCancel* cancel);
  ~ThreadRunner() override;

  MCCommon::MCStatus RunPass(const MCPassPlan& plan, MCPartialStats& merged) override;

  int Parts() const { return static_cast<int>(fvParts.size()); }
  // f(part, its records, its worker) for every part: each on a thread of its own (see
  // RunParallel), or with inOrder one after the other on the calling thread.
  void ForEachPart(const std::function<void(int, MCCommon::MultiPassRecordIter&, MCPartWorker&)>& f,
                   bool inOrder = false);
  // Throws the InputError of a part whose records could not be read, the first one's.
  void CheckRecords() const;

 private:
  struct Part;
  const CodedModel& fModel;
  std::mutex fLock;
  std::vector<std::unique_ptr<Part>> fvParts;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PARALLEL_H_

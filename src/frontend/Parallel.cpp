#include "Parallel.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "Progress.h"

namespace MCFrontEnd {

namespace {

// Questions answered from the last answer before the shared query is asked again.
constexpr std::size_t kBatch = 4096;

}  // namespace

int CoreCount() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

std::vector<RecordRange> SplitRecords(std::int64_t count, int n) {
  if (count < 0 || n < 2) return {RecordRange{}};
  const std::int64_t parts = std::max<std::int64_t>(1, std::min<std::int64_t>(n, count));
  std::vector<RecordRange> ranges;
  std::int64_t first = 0;
  for (std::int64_t i = 0; i < parts; ++i) {
    const std::int64_t size = count / parts + (i < count % parts ? 1 : 0);
    // The last range runs to the end: a tail the count does not see is read (and reported).
    ranges.push_back(RecordRange{first, i + 1 == parts ? -1 : size});
    first += size;
  }
  return ranges;
}

void RunParallel(int n, const std::function<void(int)>& f) {
  if (n <= 0) return;
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(n));
  const auto run = [&](int i) {
    try {
      f(i);
    } catch (...) {
      errors[static_cast<std::size_t>(i)] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(n - 1));
  for (int i = 0; i + 1 < n; ++i) threads.emplace_back(run, i);
  run(n - 1);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}

bool ThreadQuery::WillCancel() {
  if (fbAnswer) return true;
  if (++fPending >= kBatch) Flush();
  return fbAnswer;
}

void ThreadQuery::Flush() {
  if (fPending == 0 || fpShared == nullptr) {
    fPending = 0;
    return;
  }
  const std::lock_guard<std::mutex> lock(fLock);
  // A progress line counts records by the questions.
  auto* line = dynamic_cast<ProgressLine*>(fpShared);
  fbAnswer =
      (line != nullptr ? line->WillCancelAfter(fPending) : fpShared->WillCancel()) || fbAnswer;
  fPending = 0;
}

struct ThreadRunner::Part {
  Part(const CodedModel& model, const MCRegSettings& settings, RecordRange range,
       MCCommon::MCQueryCancel* cancel, std::mutex& lock)
      : query(cancel, lock), records(model.OpenRecords(range)), worker(settings, &query) {}
  ThreadQuery query;
  std::unique_ptr<MCCommon::MultiPassRecordIter> records;
  MCPartWorker worker;
  MCPartialStats stats;
  MCCommon::MCStatus filled;
};

ThreadRunner::ThreadRunner(const CodedModel& model, const MCRegSettings& settings,
                           const std::vector<RecordRange>& ranges, MCCommon::MCQueryCancel* cancel)
    : fModel(model) {
  for (const RecordRange& range : ranges) {
    fvParts.push_back(std::make_unique<Part>(model, settings, range, cancel, fLock));
  }
}

ThreadRunner::~ThreadRunner() = default;

MCCommon::MCStatus ThreadRunner::RunPass(const MCPassPlan& plan, MCPartialStats& merged) {
  RunParallel(Parts(), [&](int i) {
    Part& part = *fvParts[static_cast<std::size_t>(i)];
    part.filled = part.worker.Fill(plan, *part.records, part.stats);
    part.query.Flush();
  });
  for (const auto& part : fvParts) {
    // A part that could not be made (out of memory) is empty, its status the fill's.
    const MCCommon::MCStatus status =
        part->stats.IsEmpty() && part->filled.IsError() ? part->filled : merged.Merge(part->stats);
    part->stats = MCPartialStats();
    if (status.IsError()) return status;
  }
  return merged.GetStatus();
}

void ThreadRunner::ForEachPart(
    const std::function<void(int, MCCommon::MultiPassRecordIter&, MCPartWorker&)>& f,
    bool inOrder) {
  const auto run = [&](int i) {
    Part& part = *fvParts[static_cast<std::size_t>(i)];
    f(i, *part.records, part.worker);
  };
  if (!inOrder) {
    RunParallel(Parts(), run);
    return;
  }
  for (int i = 0; i < Parts(); ++i) run(i);
}

void ThreadRunner::CheckRecords() const {
  for (const auto& part : fvParts) fModel.CheckRecords(*part->records);
}

}  // namespace MCFrontEnd

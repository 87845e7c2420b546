// A host reading a binary record file in several passes, as the models do, and stopping
// the third pass through its cancel query.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "MCCancelInfo.h"
#include "MCMV.h"
#include "MCRecord.h"

namespace {

constexpr int kValues = 3;
constexpr int kRecords = 5;

// The host's cancel query: asks to stop once two records of the third pass were read.
class StopInThirdPass : public MCCommon::MCQueryCancel {
 public:
  void StartPass(int pass) {
    fPass = pass;
    fRead = 0;
  }
  void RecordRead() { ++fRead; }
  bool IsCancel() override { return WillCancel(); }
  bool WillCancel() override { return fPass == 3 && fRead >= 2; }

 private:
  int fPass = 0;
  int fRead = 0;
};

std::string Show(const MCCommon::Record& r) {
  std::string s;
  for (int i = 0; i < r.Size(); ++i) {
    char buf[32];
    if (MCMV::IsMissing(r[i])) {
      std::snprintf(buf, sizeof buf, " %6s", "miss");
    } else {
      std::snprintf(buf, sizeof buf, " %6.2f", r[i]);
    }
    s += buf;
  }
  return s;
}

}  // namespace

int main() {
  char path[] = "/tmp/mcstat_passes_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return EXIT_FAILURE;
  FILE* file = fdopen(fd, "w+b");
  if (file == nullptr) return EXIT_FAILURE;

  // Five records of three values; the third record's second value is missing.
  for (int r = 0; r < kRecords; ++r) {
    double row[kValues] = {r + 1.0, 10.0 * (r + 1), 0.5 * r};
    if (r == 2) row[1] = MCMV::Missing();
    std::fwrite(row, sizeof(double), kValues, file);
  }
  std::fflush(file);
  std::printf("wrote %d records of %d values to %s\n", kRecords, kValues, path);

  MCCommon::BinaryRecordIterator records(file, kValues);
  StopInThirdPass query;
  MCCommon::MCCancelInfo cancel(&query);

  bool thirdCancelled = false;
  for (int pass = 1; pass <= 3; ++pass) {
    query.StartPass(pass);
    const int reason = records.NewPass();
    std::printf("pass %d (NewPass = %d)\n", pass, reason);
    int seen = 0;
    bool cancelled = false;
    while (records.HasMore()) {
      if (cancel.WillCancel()) {
        cancelled = true;
        break;
      }
      const MCCommon::Record* rec = records.Next();
      if (rec == nullptr) break;
      query.RecordRead();
      ++seen;
      std::printf("  record %d:%s\n", seen, Show(*rec).c_str());
    }
    if (cancelled) {
      std::printf("  pass %d cancelled after %d records\n", pass, seen);
    } else {
      std::printf("  pass %d saw %d records, fail reason %d\n", pass, seen,
                  records.GetFailReason());
    }
    thirdCancelled = (pass == 3 && cancelled && cancel.IsCancel());
  }

  std::fclose(file);
  std::remove(path);
  std::printf("third pass cancelled: %s\n", thirdCancelled ? "yes" : "no");
  return thirdCancelled ? EXIT_SUCCESS : EXIT_FAILURE;
}

// Test hosts for the linear model: records held in memory, read pass by pass, and a cancel
// query that says yes once a number of records has been delivered.
#ifndef MCSTAT_TESTS_REGRESSION_GLMTESTSUPPORT_H_
#define MCSTAT_TESTS_REGRESSION_GLMTESTSUPPORT_H_

#include <cstddef>
#include <vector>

#include "MCCancelInfo.h"
#include "MCRecord.h"

namespace glmtest {

// Records in memory. Optionally refuses passes after the first maxPasses (NewPass then gives
// fail reason 4 and no record) and delivers a null record at one position.
class MemoryRecords : public MCCommon::MultiPassRecordIter {
 public:
  explicit MemoryRecords(const std::vector<std::vector<double>>& rows) {
    for (const std::vector<double>& row : rows) {
      MCCommon::Record record(static_cast<int>(row.size()));
      for (int i = 0; i < record.Size(); ++i) record[i] = row[static_cast<std::size_t>(i)];
      fRecords.push_back(std::move(record));
    }
  }

  void SetMaxPasses(int passes) { fMaxPasses = passes; }
  void SetNullAt(int position) { fNullAt = position; }

  int NewPass() override {
    ++fPasses;
    fPosition = 0;
    if (fMaxPasses >= 0 && fPasses > fMaxPasses) {
      fFailReason = MCCommon::kFailNoNewPass;
    } else {
      fFailReason = fRecords.empty() ? MCCommon::kFailEndOfData : MCCommon::kFailNone;
    }
    return fFailReason;
  }
  bool HasMore() const override {
    return fFailReason == MCCommon::kFailNone && fPosition < fRecords.size();
  }
  const MCCommon::Record* Next() override {
    if (!HasMore()) return nullptr;
    const std::size_t at = fPosition++;
    if (fPosition == fRecords.size()) fFailReason = MCCommon::kFailEndOfData;
    ++fDelivered;
    if (static_cast<int>(at) == fNullAt) return nullptr;
    return &fRecords[at];
  }
  int GetFailReason() const override { return fFailReason; }

  int Passes() const { return fPasses; }
  int Delivered() const { return fDelivered; }

 private:
  std::vector<MCCommon::Record> fRecords;
  std::size_t fPosition = 0;
  int fFailReason = MCCommon::kFailNone;
  int fPasses = 0;
  int fMaxPasses = -1;
  int fNullAt = -1;
  int fDelivered = 0;
};

// Answers yes once `after` records have been delivered by the data (over all passes).
class CancelAfter : public MCCommon::MCQueryCancel {
 public:
  CancelAfter(const MemoryRecords* data, int after) : fpData(data), fAfter(after) {}
  bool IsCancel() override { return fpData->Delivered() >= fAfter; }
  bool WillCancel() override { return fpData->Delivered() >= fAfter; }

 private:
  const MemoryRecords* fpData;
  int fAfter;
};

}  // namespace glmtest

#endif  // MCSTAT_TESTS_REGRESSION_GLMTESTSUPPORT_H_

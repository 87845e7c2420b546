#ifndef MCSTAT_FRONTEND_RECORDPASS_H_
#define MCSTAT_FRONTEND_RECORDPASS_H_

#include "frontend/CodedModel.h"

namespace MCFrontEnd {

// One pass over records: f(record) for each.
template <typename F>
void ForEachRecordOf(MCCommon::MultiPassRecordIter& records, F f) {
  records.NewPass();
  while (records.HasMore()) {
    const MCCommon::Record* record = records.Next();
    if (record != nullptr) f(*record);
  }
}

// One pass over a model's coded records: f(record) for each, its values in the positions of
// the model's settings. InputError when the data could not be read.
template <typename F>
void ForEachRecord(CodedModel& model, F f) {
  ForEachRecordOf(model.Records(), f);
  model.CheckRecords();
}

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_RECORDPASS_H_

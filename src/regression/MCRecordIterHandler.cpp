#include <algorithm>
#include <cmath>
#include <cstddef>

#include "IMCRegModel.h"
#include "MCDataHandler.h"

using MCCommon::MCStatus;
using MCCommon::Record;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

// The value at a record position, or 1 when the position is absent or outside the record.
double WeightAt(const Record& record, int position) {
  return position >= 0 && position < record.Size() ? record[position] : 1.0;
}

}  // namespace

int MCLogCategoryIndex(double value, const std::vector<int>* localIndices) {
  // Anything beyond the int range (or not a number) cannot be a category code.
  if (!(value > -1.0 && value < 2147483647.0)) return -1;
  const int code = static_cast<int>(value);
  if (localIndices == nullptr || localIndices->empty()) return code;
  if (code < 0 || static_cast<std::size_t>(code) >= localIndices->size()) return -1;
  return (*localIndices)[static_cast<std::size_t>(code)];
}

IMCDataHandler::~IMCDataHandler() = default;

MCRecordIterHandler::MCRecordIterHandler(MCCommon::MultiPassRecordIter& data,
                                         const MCCommon::MCCancelInfo& cancel,
                                         const MCRegRecordValidator& validator, int dependent,
                                         int freqWeight, int regrWeight)
    : fData(data),
      fCancelInfo(cancel),
      fDependVar(dependent),
      fFreqWeightVar(freqWeight),
      fRegrWeightVar(regrWeight),
      fValidator(validator) {}

MCRecordIterHandler::MCRecordIterHandler(const MCRecordIterHandler& other) = default;

MCRecordIterHandler::~MCRecordIterHandler() = default;

void MCRecordIterHandler::SetStatsModel(IMCAccumStats* stats, const IMCRegModel* model) {
  fpStats = stats;
  fpModel = model;
  fpLocalIndices = model != nullptr ? &model->GetDependentLocalIndices() : nullptr;
}

void MCRecordIterHandler::ResetAccumStats(MCConst::MCEstimationMethod method,
                                          bool separationCheck) {
  if (fpStats != nullptr) fpStats->Reset(method, separationCheck);
}

void MCRecordIterHandler::CleanStatsModel() {
  fpStats = nullptr;
  fpModel = nullptr;
  fpLocalIndices = nullptr;
}

void MCRecordIterHandler::Display() const {}

MCStatus MCRecordIterHandler::ComputeStatsForOptimizer(bool llOnly) {
  MCStatus result = fStatus;
  if (result.IsError()) return result;
  if (fpStats == nullptr || fpModel == nullptr) return Error(303);
  if (fData.NewPass() != MCCommon::kFailNone) {
    fStatus = Error(307);
    return fStatus;
  }
  while (fData.HasMore()) {
    if (result.IsError()) return result;
    if (fCancelInfo.WillCancel()) return Error(1);
    const Record* record = fData.Next();
    if (record == nullptr) return Error(304);
    if (!fValidator.IsValidRecord(*record, result)) {
      // The position and value of a refused record travel with the status into the warnings.
      if (result.IsError() &&
          std::find(fvWarnings.begin(), fvWarnings.end(), result) == fvWarnings.end()) {
        fvWarnings.push_back(result);
      }
      continue;
    }
    if (fDependVar < 0 || fDependVar >= record->Size()) continue;
    // Records the first pass did not count (a factor combination or a dependent code that
    // never occurred there) are not part of the model: skip them.
    const int category = MCLogCategoryIndex((*record)[fDependVar], fpLocalIndices);
    if (category < 0 || !fpModel->IsCounted(*record)) continue;
    if (!fpModel->ExpandRecordSparse(*record, fvIndices, fvValues)) continue;
    const double weight = WeightAt(*record, fFreqWeightVar) * WeightAt(*record, fRegrWeightVar);
    if (fpStats->UpdateForRow(fvIndices, fvValues, category, weight, llOnly) < 0) {
      fStatus = Error(303);
      return fStatus;
    }
  }
  return result;
}

#include "MCPatternTabulator.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "IMCRegModel.h"
#include "MCComponentDisplay.h"
#include "MCHashtable.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommon::MultiPassRecordIter;
using MCCommon::Record;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

// Rows reserved for a new pattern at its first row: small patterns stay small.
constexpr std::size_t kFirstRows = 16;

}  // namespace

double* MCRowPatterns::AppendRow(int n) {
  const std::size_t old = fRecordData.size();
  const std::size_t need = old + static_cast<std::size_t>(n);
  if (need > fRecordData.capacity()) {
    // Grow by a quarter rather than doubling: the stores hold the whole data set.
    const std::size_t cap = fRecordData.capacity();
    fRecordData.reserve(std::max({need, cap + cap / 4, kFirstRows * static_cast<std::size_t>(n)}));
  }
  fRecordData.resize(need);
  return fRecordData.data() + old;
}

MCPatternTabulator::MCPatternTabulator(const MCLogRegSettings& settings,
                                       const MCRecordExtractor& extractor,
                                       const MCCommon::MCCancelInfo& cancel, bool createTable)
    : fDependVar(settings.GetDependent()),
      fVariableType(settings.GetVariableTypes()),
      fFreqWeightVar(settings.GetFrequencyWeightVar()),
      fRegrWeightVar(settings.GetRegrWeightVar()),
      fFreqWeightOffset(extractor.GetFreqWeightOffset()),
      fRegrWeightOffset(extractor.GetRegrWeightOffset()),
      fRecordExtractor(extractor),
      fNAnalysVars(extractor.GetExtractSize()),
      fCancelInfo(cancel),
      fValidator(settings.GetVariableTypes(), settings.GetFactors(), settings.GetFactorSizes(),
                 settings.GetDependentNCategs()) {
  if (createTable) fpRowPatternTable.reset(new MCHashtable<MCRowPatterns>());
}

MCPatternTabulator::~MCPatternTabulator() = default;

MCStatus MCPatternTabulator::Keep(const MCStatus& status) {
  fStatus = status;
  return fStatus;
}

void MCPatternTabulator::SetStatsModel(IMCAccumStats* stats, const IMCRegModel* model) {
  fpStats = stats;
  fpModel = model;
}

void MCPatternTabulator::ResetAccumStats(MCConst::MCEstimationMethod method, bool separationCheck) {
  if (fpStats != nullptr) fpStats->Reset(method, separationCheck);
}

void MCPatternTabulator::CleanStatsModel() {
  fpStats = nullptr;
  fpModel = nullptr;
}

int MCPatternTabulator::GetNPatterns() const {
  return fpRowPatternTable ? fpRowPatternTable->GetCount() : 0;
}

int MCPatternTabulator::GetNBuckets() const {
  return fpRowPatternTable ? fpRowPatternTable->GetBucketCount() : 0;
}

std::vector<const MCRowPatterns*> MCPatternTabulator::GetPatterns() const {
  std::vector<const MCRowPatterns*> patterns;
  if (!fpRowPatternTable) return patterns;
  for (const MCHashPair<MCRowPatterns>* pair : fpRowPatternTable->GetPairs()) {
    patterns.push_back(&pair->fValue);
  }
  return patterns;
}

bool MCPatternTabulator::NextRecord(MultiPassRecordIter& data, const Record*& record) {
  record = data.Next();
  if (record == nullptr) {
    fStatus = Error(312);
    return false;
  }
  if (record->Size() < static_cast<int>(fVariableType.size())) {
    fStatus = Error(315);
    return false;
  }
  ++fRecordCount;
  return true;
}

MCStatus MCPatternTabulator::TabulateFactors(MultiPassRecordIter& data, MCFactorTables& tables) {
  if (fStatus.IsError()) return fStatus;
  data.NewPass();
  if (!data.HasMore()) return Keep(Error(307));
  if (fbFactorTableFilled) return Keep(Error(303));
  fRecordCount = 0;
  fValidCount = 0;
  while (!fStatus.IsError() && data.HasMore() && !fCancelInfo.WillCancel()) {
    const Record* record = nullptr;
    if (!NextRecord(data, record)) break;
    if (fValidator.IsValidRecord(*record, fStatus) && tables.UpdateAll(*record)) ++fValidCount;
  }
  if (fStatus.IsError()) return fStatus;
  if (fValidCount == 0) return Keep(Error(307));
  if (!(tables.GetTotalWeight() > 0.0)) return Keep(Error(308));
  if (fCancelInfo.WillCancel()) return Keep(Error(1));
  fbFactorTableFilled = true;
  return fStatus;
}

MCStatus MCPatternTabulator::CreateRowPatterns(MultiPassRecordIter& data,
                                               const MCFactorTables& tables,
                                               const IMCRegModel& model) {
  if (fStatus.IsError()) return fStatus;
  if (fbRowPatternsCreated || !fpRowPatternTable) {
    data.NewPass();
    return Keep(Error(data.HasMore() ? 313 : 307));
  }

  fvDependCategories = model.GetDependentCategories();
  fvDependLocalIndices = model.GetDependentLocalIndices();
  fpFactorTables = &tables;
  fpModelEffectsWithFactors = &tables.GetModelEffectIndices();
  fpLocalEffects = &tables.GetLocalEffectIndices();
  fpParameterOffsets = &tables.GetParameterOffsets();
  fNFactorEffects = static_cast<int>(fpModelEffectsWithFactors->size());
  fNAllEffects = static_cast<int>(fpLocalEffects->size());
  fNAnalysVars = fRecordExtractor.GetExtractSize();
  fFreqWeightOffset = fRecordExtractor.GetFreqWeightOffset();
  fRegrWeightOffset = fRecordExtractor.GetRegrWeightOffset();

  // The local parameter index of factor effect t lies in [0, bound t).
  fvBounds.assign(static_cast<std::size_t>(fNFactorEffects), 1);
  for (int t = 0; t < fNFactorEffects; ++t) {
    fvBounds[t] = std::max(1, tables.GetNEffectParameters((*fpModelEffectsWithFactors)[t]));
  }
  if (fNFactorEffects > 0 && fPackedInt.SetForSequence(fNFactorEffects, 0, fvBounds)) {
    fPackedInt.Pack(fvBounds, fvPackedBounds, false);
  } else {
    // No factor effect: every record has the empty key and all share one pattern.
    fPackedInt = MCCommonMath::MCPackedInt();
    fvPackedBounds = fvBounds;
  }
  fNPackedKey = static_cast<int>(fvPackedBounds.size());
  fpKey.reset(new MCCommonMath::MCHashKey(fNPackedKey));
  fvPacked.assign(static_cast<std::size_t>(fNPackedKey), 0);
  fvPositions = *fpParameterOffsets;

  data.NewPass();
  if (!data.HasMore()) return Keep(Error(307));
  fRecordCount = 0;
  fValidCount = 0;
  while (!fStatus.IsError() && data.HasMore() && !fCancelInfo.WillCancel()) {
    const Record* record = nullptr;
    if (!NextRecord(data, record)) break;
    if (!fValidator.IsValidRecord(*record, fStatus)) continue;
    ++fValidCount;
    AddRecordToPatterns(*record, model);
  }
  if (fStatus.IsError()) return fStatus;
  if (fNRowsStored == 0) return Keep(Error(307));
  if (fCancelInfo.WillCancel()) return Keep(Error(1));
  fbRowPatternsCreated = true;
  return fStatus;
}

MCStatus MCPatternTabulator::AddRecordToPatterns(const Record& record, const IMCRegModel&) {
  if (fStatus.IsError()) return fStatus;
  const double* values = record.GetAll();
  if (values == nullptr) return Keep(Error(314));
  if (!fpRowPatternTable || fpFactorTables == nullptr || !fpKey) return Keep(Error(313));
  if (fDependVar < 0 || fDependVar >= record.Size()) return fStatus;

  // A category or a factor combination that the first pass did not count is not part of the
  // model: the record is left out.
  const int category = MCLogCategoryIndex(values[fDependVar], &fvDependLocalIndices);
  if (category < 0) return fStatus;
  bool ok = false;
  const std::vector<int>& local = fpFactorTables->GetRowLocalParamIndices(values, ok);
  if (!ok) return fStatus;

  const std::vector<int>* keyValues = &local;
  if (fPackedInt.GetSeqSize() > 0) {
    fPackedInt.Pack(local, fvPacked, false);
    keyValues = &fvPacked;
  }
  MCCommonMath::MCHashKey& key = *fpKey;
  for (int i = 0; i < fNPackedKey; ++i) key[i] = (*keyValues)[static_cast<std::size_t>(i)];
  key.UpdateHashCode();

  try {
    MCHashPair<MCRowPatterns>* pair = fpRowPatternTable->Find(key);
    if (pair == nullptr) pair = fpRowPatternTable->Insert(key, MCRowPatterns());
    double* row = pair->fValue.AppendRow(fNAnalysVars);
    fRecordExtractor.ExtractRecord(values, row);
    row[fRecordExtractor.GetDependentOffset()] = category;
  } catch (const std::bad_alloc&) {
    // The patterns no longer fit in memory: the row cannot be kept.
    return Keep(Error(313));
  }
  ++fNRowsStored;
  return fStatus;
}

void MCPatternTabulator::DecodePositions(const MCCommonMath::MCHashKey& key) {
  const std::vector<int>& offsets = *fpParameterOffsets;
  std::copy(offsets.begin(), offsets.end(), fvPositions.begin());
  if (fNFactorEffects == 0) return;
  const std::vector<int>* local = &fvPacked;
  for (int i = 0; i < fNPackedKey; ++i) fvPacked[static_cast<std::size_t>(i)] = key[i];
  if (fPackedInt.GetSeqSize() > 0) {
    fPackedInt.Unpack(fvLocalParams, fvPacked);
    local = &fvLocalParams;
  }
  for (int t = 0; t < fNFactorEffects; ++t) {
    fvPositions[static_cast<std::size_t>((*fpModelEffectsWithFactors)[t])] +=
        (*local)[static_cast<std::size_t>(t)];
  }
}

MCStatus MCPatternTabulator::AddPatternsToModel(IMCRegModel& model) {
  if (fStatus.IsError()) return fStatus;
  if (!fbRowPatternsCreated) return Keep(Error(303));
  const int n = fNAnalysVars;
  // The patterns are visited in the order they first occurred, the rows in record order.
  for (const MCHashPair<MCRowPatterns>* pair : fpRowPatternTable->GetPairs()) {
    if (fCancelInfo.WillCancel()) return Keep(Error(1));
    DecodePositions(pair->fKey);
    const double* row = pair->fValue.fRecordData.data();
    for (int r = pair->fValue.GetNRows(n); r > 0; --r, row += n) {
      if (!model.AddPatternRow(row, fvPositions)) return Keep(Error(313));
    }
  }
  return fStatus;
}

MCStatus MCPatternTabulator::ComputeStatsForOptimizer(bool llOnly) {
  if (fStatus.IsError()) return fStatus;
  if (!fbRowPatternsCreated || fpStats == nullptr || fpModel == nullptr) {
    return Keep(Error(313));
  }
  const int n = fNAnalysVars;
  const int dependent = fRecordExtractor.GetDependentOffset();
  for (const MCHashPair<MCRowPatterns>* pair : fpRowPatternTable->GetPairs()) {
    DecodePositions(pair->fKey);
    const double* row = pair->fValue.fRecordData.data();
    for (int r = pair->fValue.GetNRows(n); r > 0; --r, row += n) {
      if (fCancelInfo.WillCancel()) return Keep(Error(1));
      double weight = 1.0;
      if (fFreqWeightOffset >= 0) weight *= row[fFreqWeightOffset];
      if (fRegrWeightOffset >= 0) weight *= row[fRegrWeightOffset];
      if (!fpModel->ExpandPatternRowSparse(row, fvPositions, fvIndices, fvValues) ||
          fpStats->UpdateForRow(fvIndices, fvValues, static_cast<int>(row[dependent]), weight,
                                llOnly) < 0) {
        return Keep(Error(313));
      }
    }
  }
  return fStatus;
}

void MCPatternTabulator::Display() const {
  MCComponentDisplay::DisplayText(1, "MCPatternTabulator display start");
  MCComponentDisplay::DisplayI("fNFactorEffects", fNFactorEffects);
  MCComponentDisplay::DisplayI("fNAllEffects", fNAllEffects);
  if (fpModelEffectsWithFactors != nullptr) {
    MCComponentDisplay::DisplayIV("Model effects with factors", *fpModelEffectsWithFactors);
  }
  if (fpLocalEffects != nullptr) {
    MCComponentDisplay::DisplayIV("Local effects", *fpLocalEffects);
  }
  if (fpParameterOffsets != nullptr) {
    MCComponentDisplay::DisplayIV("Parameter offsets", *fpParameterOffsets);
  }
  MCComponentDisplay::DisplayIV("Bounds", fvBounds);
  MCComponentDisplay::DisplayIV("Packed bounds", fvPackedBounds);
  MCComponentDisplay::DisplayI("fNPackedKey", fNPackedKey);
  MCComponentDisplay::DisplayIV("Dependent categories in data, reference last", fvDependCategories);
  MCComponentDisplay::DisplayIV("Local indices of the dependent categories", fvDependLocalIndices);
  MCComponentDisplay::DisplayI("fDependVar", fDependVar);
  MCComponentDisplay::DisplayI("fFreqWeightVar", fFreqWeightVar);
  MCComponentDisplay::DisplayI("fRegrWeightVar", fRegrWeightVar);
  MCComponentDisplay::DisplayI("fFreqWeightOffset", fFreqWeightOffset);
  MCComponentDisplay::DisplayI("fRegrWeightOffset", fRegrWeightOffset);
  MCComponentDisplay::DisplayI("fNAnalysVars", fNAnalysVars);
  MCComponentDisplay::DisplayI("Number of patterns", GetNPatterns());
  MCComponentDisplay::DisplayI("Number of buckets", GetNBuckets());
  MCComponentDisplay::DisplayI("fRecordCount", fRecordCount);
  MCComponentDisplay::DisplayI("fValidCount", fValidCount);
  MCComponentDisplay::DisplayI("Rows stored", fNRowsStored);
  MCComponentDisplay::DisplayB("fbFactorTableFilled", fbFactorTableFilled);
  MCComponentDisplay::DisplayB("fbRowPatternsCreated", fbRowPatternsCreated);
  MCComponentDisplay::DisplayI("Status", static_cast<int>(fStatus.GetErrorCode()));
  MCComponentDisplay::DisplayText(1, "MCPatternTabulator display end");
}

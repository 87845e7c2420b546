#include "MCPatternTabulator.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <utility>

#include "IMCRegModel.h"
#include "MCComponentDisplay.h"
#include "MCHashtable.h"
#include "MCPassData.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommon::MultiPassRecordIter;
using MCCommon::Record;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

const std::vector<int> kNoPositions;

}  // namespace

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

void MCPatternTabulator::AddWarning(const MCStatus& status) {
  if (std::find(fvWarnings.begin(), fvWarnings.end(), status) == fvWarnings.end()) {
    fvWarnings.push_back(status);
  }
}

bool MCPatternTabulator::IsValid(const Record& record) {
  if (fValidator.IsValidRecord(record, fStatus)) return true;
  // The position and value of a refused record travel with the status into the warnings.
  if (fStatus.IsError()) AddWarning(fStatus);
  return false;
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
  patterns.resize(fvPatternPositions.size(), nullptr);
  for (const MCHashPair<MCRowPatterns>* pair : fpRowPatternTable->GetPairs()) {
    const int index = pair->fValue.fIndex;
    if (index >= 0 && index < static_cast<int>(patterns.size())) patterns[index] = &pair->fValue;
  }
  return patterns;
}

const double* MCPatternTabulator::GetStoredRow(int r) const {
  if (r < 0 || r >= static_cast<int>(fvRowPattern.size())) return nullptr;
  return fvRowData.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(fNAnalysVars);
}

int MCPatternTabulator::GetRowPattern(int r) const {
  if (r < 0 || r >= static_cast<int>(fvRowPattern.size())) return -1;
  return fvRowPattern[static_cast<std::size_t>(r)];
}

const std::vector<int>& MCPatternTabulator::GetPatternPositions(int pattern) const {
  if (pattern < 0 || pattern >= static_cast<int>(fvPatternPositions.size())) return kNoPositions;
  return fvPatternPositions[static_cast<std::size_t>(pattern)];
}

bool MCPatternTabulator::NextRecord(MultiPassRecordIter& data, const Record*& record) {
  record = data.Next();
  if (record == nullptr) {
    fStatus = Error(312);
    return false;
  }
  if (record->Size() < static_cast<int>(fVariableType.size())) {
    fStatus = Error(315);
    AddWarning(fStatus);
    return false;
  }
  ++fRecordCount;
  return true;
}

MCStatus MCPatternFactorPassStatus(const MCStatus& pass, std::int64_t tabulated,
                                   const MCFactorTables& tables, bool cancelled) {
  if (pass.IsError()) return pass;
  if (tabulated == 0) return Error(307);
  if (!(tables.GetTotalWeight() > 0.0)) return Error(308);
  if (cancelled) return Error(1);
  return pass;
}

MCStatus MCPatternTabulator::TabulateFactors(MultiPassRecordIter& data, MCFactorTables& tables) {
  if (fStatus.IsError()) return fStatus;
  data.NewPass();
  if (!data.HasMore()) return Keep(Error(307));
  if (fbFactorTableFilled) return Keep(Error(303));
  MCFirstPassData counts;
  const MCPassOutcome outcome = TabulateRecords(data, fValidator, tables, fCancelInfo, counts);
  for (const MCStatus& warning : outcome.fvWarnings) AddWarning(warning);
  fRecordCount = static_cast<int>(counts.fNRecords);
  fValidCount = static_cast<int>(counts.fNTabulated);
  Keep(MCPatternFactorPassStatus(outcome.fStatus, counts.fNTabulated, tables,
                                 fCancelInfo.WillCancel()));
  if (!fStatus.IsError()) fbFactorTableFilled = true;
  return fStatus;
}

MCStatus MCPatternTabulator::CreateRowPatterns(MultiPassRecordIter& data,
                                               const MCFactorTables& tables,
                                               const IMCRegModel& model) {
  return RowPatternPass(data, tables, model, true);
}

MCStatus MCPatternTabulator::StoreRowPatterns(MultiPassRecordIter& data,
                                              const MCFactorTables& tables,
                                              const IMCRegModel& model) {
  return RowPatternPass(data, tables, model, false);
}

MCStatus MCPatternTabulator::RowPatternPass(MultiPassRecordIter& data, const MCFactorTables& tables,
                                            const IMCRegModel& model, bool whole) {
  if (fStatus.IsError()) return fStatus;
  if (fbRowPatternsCreated || !fpRowPatternTable) {
    data.NewPass();
    return Keep(Error(data.HasMore() || !whole ? 313 : 307));
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

  data.NewPass();
  if (whole && !data.HasMore()) return Keep(Error(307));
  // At most the records the factor pass accepted are stored: reserved once, the store is
  // never moved and holds no slack.
  try {
    const std::size_t expected = static_cast<std::size_t>(std::max(fValidCount, 0));
    fvRowData.reserve(expected * static_cast<std::size_t>(std::max(fNAnalysVars, 0)));
    fvRowPattern.reserve(expected);
  } catch (const std::exception&) {
    return Keep(Error(305));  // the rows cannot be held
  }
  fRecordCount = 0;
  fValidCount = 0;
  while (!fStatus.IsError() && data.HasMore() && !fCancelInfo.WillCancel()) {
    const Record* record = nullptr;
    if (!NextRecord(data, record)) break;
    if (!IsValid(*record)) continue;
    ++fValidCount;
    AddRecordToPatterns(*record, model);
  }
  if (fStatus.IsError()) return fStatus;
  if (whole && fNRowsStored == 0) return Keep(Error(307));
  // A part that stores no row is complete whatever else is pending.
  if (fNRowsStored > 0 && fCancelInfo.WillCancel()) return Keep(Error(1));
  try {
    GroupRowsByPattern();
  } catch (const std::exception&) {
    return Keep(Error(305));
  }
  fbRowPatternsCreated = true;
  return fStatus;
}

void MCPatternTabulator::GroupRowsByPattern() {
  const std::size_t width = static_cast<std::size_t>(fNAnalysVars);
  fvPatternStart.assign(fvPatternPositions.size() + 1, 0);
  for (int32_t pattern : fvRowPattern) ++fvPatternStart[static_cast<std::size_t>(pattern) + 1];
  for (std::size_t q = 1; q < fvPatternStart.size(); ++q)
    fvPatternStart[q] += fvPatternStart[q - 1];
  // In place, pattern by pattern: a row that belongs elsewhere is swapped into the next free
  // place of its own pattern, so the stores are read and written in as many runs as there are
  // patterns (the order within a pattern is that of the swaps).
  std::vector<std::size_t> next(fvPatternStart.begin(), fvPatternStart.end() - 1);
  for (std::size_t q = 0; q < next.size(); ++q) {
    while (next[q] < fvPatternStart[q + 1]) {
      const std::size_t r = next[q];
      const std::size_t own = static_cast<std::size_t>(fvRowPattern[r]);
      if (own == q) {
        ++next[q];
        continue;
      }
      const std::size_t to = next[own]++;
      std::swap_ranges(fvRowData.begin() + static_cast<std::ptrdiff_t>(r * width),
                       fvRowData.begin() + static_cast<std::ptrdiff_t>((r + 1) * width),
                       fvRowData.begin() + static_cast<std::ptrdiff_t>(to * width));
      std::swap(fvRowPattern[r], fvRowPattern[to]);
    }
  }
}

MCStatus MCPatternTabulator::AddPatternToStats(int pattern, bool llOnly) {
  const std::size_t q = static_cast<std::size_t>(pattern);
  const std::size_t n = static_cast<std::size_t>(fNAnalysVars);
  const int dependent = fRecordExtractor.GetDependentOffset();
  const std::vector<int>& positions = fvPatternPositions[q];
  const std::size_t first = fvPatternStart[q];
  const std::size_t end = fvPatternStart[q + 1];
  const bool together = fpModel->ExpandPatternColumns(positions, fvIndices, fvColumns) &&
                        fpStats->BeginPattern(fvIndices, fvColumns, fpModel->GetNPatternColumns(),
                                              static_cast<int>(end - first));
  if (together) fvValues.resize(static_cast<std::size_t>(fpModel->GetNPatternColumns()));
  MCStatus status;
  for (std::size_t r = first; r < end && !status.IsError(); ++r) {
    if (fCancelInfo.WillCancel()) {
      status = Error(1);
      break;
    }
    const double* row = fvRowData.data() + r * n;
    double weight = 1.0;
    if (fFreqWeightOffset >= 0) weight *= row[fFreqWeightOffset];
    if (fRegrWeightOffset >= 0) weight *= row[fRegrWeightOffset];
    const int category = static_cast<int>(row[dependent]);
    bool accepted;
    if (together) {
      fpModel->PatternRowColumnValues(row, fvValues.data());
      accepted = fpStats->UpdateForPatternRow(fvValues.data(), category, weight, llOnly) >= 0;
    } else {
      accepted = fpModel->ExpandPatternRowSparse(row, positions, fvIndices, fvValues) &&
                 fpStats->UpdateForRow(fvIndices, fvValues, category, weight, llOnly) >= 0;
    }
    if (!accepted) status = Error(313);
  }
  if (together) fpStats->EndPattern();
  return status;
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
  if (category < 0 || !fpFactorTables->IsCounted(values)) return fStatus;
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
    if (pair == nullptr) {
      MCRowPatterns pattern;
      pattern.fIndex = static_cast<int>(fvPatternPositions.size());
      AddPatternPositions(local);
      pair = fpRowPatternTable->Insert(key, pattern);
    }
    // Extracted into the work row first: appending it then writes the store only once.
    fvValues.resize(static_cast<std::size_t>(fNAnalysVars));
    fRecordExtractor.ExtractRecord(values, fvValues.data());
    fvValues[static_cast<std::size_t>(fRecordExtractor.GetDependentOffset())] = category;
    fvRowData.insert(fvRowData.end(), fvValues.begin(), fvValues.end());
    fvRowPattern.push_back(pair->fValue.fIndex);
    ++pair->fValue.fNRows;
  } catch (const std::exception&) {
    // The rows no longer fit in memory: the row cannot be kept. The stores stay consistent.
    fvPatternPositions.resize(static_cast<std::size_t>(fpRowPatternTable->GetCount()));
    fvRowData.resize(fvRowPattern.size() * static_cast<std::size_t>(fNAnalysVars));
    return Keep(Error(305));
  }
  ++fNRowsStored;
  return fStatus;
}

void MCPatternTabulator::AddPatternPositions(const std::vector<int>& local) {
  std::vector<int> positions = *fpParameterOffsets;
  for (int t = 0; t < fNFactorEffects && t < static_cast<int>(local.size()); ++t) {
    positions[static_cast<std::size_t>((*fpModelEffectsWithFactors)[t])] +=
        local[static_cast<std::size_t>(t)];
  }
  fvPatternPositions.push_back(std::move(positions));
}

MCStatus MCPatternTabulator::AddPatternsToModel(IMCRegModel& model) {
  if (fStatus.IsError()) return fStatus;
  if (!fbRowPatternsCreated) return Keep(Error(303));
  const std::size_t n = static_cast<std::size_t>(fNAnalysVars);
  const double* row = fvRowData.data();
  for (std::size_t r = 0; r < fvRowPattern.size(); ++r, row += n) {
    if (fCancelInfo.WillCancel()) return Keep(Error(1));
    if (!model.AddPatternRow(row, fvPatternPositions[static_cast<std::size_t>(fvRowPattern[r])])) {
      return Keep(Error(313));
    }
  }
  return fStatus;
}

MCStatus MCPatternTabulator::ComputeStatsForOptimizer(bool llOnly) {
  if (fStatus.IsError()) return fStatus;
  if (!fbRowPatternsCreated || fpStats == nullptr || fpModel == nullptr) {
    return Keep(Error(313));
  }
  for (std::size_t q = 0; q + 1 < fvPatternStart.size(); ++q) {
    const MCStatus status = AddPatternToStats(static_cast<int>(q), llOnly);
    if (status.IsError()) return Keep(status);
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

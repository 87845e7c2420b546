#include "MCFactorTables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <string>

#include "MCComponentDisplay.h"
#include "MCHashtable.h"
#include "MCMV.h"

using MCCommon::MCComponentDisplay;
using MCCommon::Record;
using MCCommonMath::MCHashKey;

namespace {

// (weighted, unweighted) pairs as the display functions print them.
void DisplayCounts(const std::string& label, const MCFactorCounts::CountList& counts) {
  MCComponentDisplay::DisplayVPD(label, counts);
}

bool KeyLess(const MCHashPair<int>& a, const MCHashPair<int>& b) { return a.fKey < b.fKey; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// MCFactorCounts

MCFactorCounts::MCFactorCounts(const std::vector<int>& factors, const std::vector<int>& factorSizes,
                               int freqWeight, int dependent, int nDependentCategories,
                               int categoryBase, int offsetVar, double offsetValue,
                               MCConst::MCOffsetType offsetType)
    : fvFactorIndices(factors),
      fvFactorNCategories(factorSizes),
      fWeightVar(freqWeight < 0 ? -1 : freqWeight),
      fNDependCategories(std::max(nDependentCategories, 0)),
      fCategoryBase(categoryBase),
      fOffsetVar(offsetVar < 0 ? -1 : offsetVar),
      fOffsetValue(offsetValue),
      fOffsetType(offsetType) {
  const std::size_t n = std::min(fvFactorIndices.size(), fvFactorNCategories.size());
  fvFactorIndices.resize(n);
  fvFactorNCategories.resize(n);
  fNFactors = static_cast<int>(n);
  fvFactorCounts.resize(n);
  fvFactorSums.resize(n);
  for (std::size_t j = 0; j < n; ++j) {
    fvFactorNCategories[j] = std::max(fvFactorNCategories[j], 0);
    fvFactorCounts[j].assign(static_cast<std::size_t>(fvFactorNCategories[j]), {0.0, 0.0});
    fvFactorSums[j].assign(static_cast<std::size_t>(fvFactorNCategories[j]), ExactSum());
  }
  if (dependent >= 0 && fNDependCategories >= 1) {
    fDependVar = dependent;
    fvDependCounts.assign(static_cast<std::size_t>(fNDependCategories), {0.0, 0.0});
    fvDepCountsWithOffset.assign(static_cast<std::size_t>(fNDependCategories), {0.0, 0.0});
    fvDependSums.assign(static_cast<std::size_t>(fNDependCategories), ExactSum());
    fvDepOffsetSums.assign(static_cast<std::size_t>(fNDependCategories), {});
  }
  // An offset variable only matters when the offset is read from the record.
  if (fOffsetType == MCConst::kOffsetVariable && fOffsetVar < 0) fOffsetType = MCConst::kNoOffset;

  fMaxPosition =
      std::max({fWeightVar, fDependVar, fOffsetType == MCConst::kOffsetVariable ? fOffsetVar : -1});
  for (int position : fvFactorIndices) fMaxPosition = std::max(fMaxPosition, position);
}

MCFactorCounts::~MCFactorCounts() = default;

double MCFactorCounts::OffsetOf(const double* values) const {
  switch (fOffsetType) {
    case MCConst::kOffsetVariable:
      return values[fOffsetVar];
    case MCConst::kOffsetValue:
      return fOffsetValue;
    default:
      return 0.0;
  }
}

bool MCFactorCounts::CountFactors(const double* values, double f, int* indices) {
  bool ok = true;
  for (int j = 0; j < fNFactors; ++j) {
    const int index =
        CategoryIndex(values[fvFactorIndices[j]], fCategoryBase, fvFactorNCategories[j]);
    if (indices != nullptr) indices[j] = index;
    if (index < 0) {
      ok = false;
      continue;
    }
    CountPair& pair = fvFactorCounts[j][index];
    pair.first = AddExact(fvFactorSums[j][index], f, 1.0);
    pair.second += 1.0;
  }
  return ok;
}

bool MCFactorCounts::CountDependent(const double* values, double f) {
  if (fDependVar < 0) return true;
  const int index = CategoryIndex(values[fDependVar], fCategoryBase, fNDependCategories);
  if (index < 0) return false;
  const double offset = OffsetOf(values);
  fvDependCounts[index].first = AddExact(fvDependSums[index], f, 1.0);
  fvDependCounts[index].second += 1.0;
  fvDepCountsWithOffset[index].first = AddExact(fvDepOffsetSums[index].first, offset, f);
  fvDepCountsWithOffset[index].second = AddExact(fvDepOffsetSums[index].second, f, 1.0);
  return true;
}

bool MCFactorCounts::SameLayout(const MCFactorCounts& other) const {
  return fvFactorIndices == other.fvFactorIndices &&
         fvFactorNCategories == other.fvFactorNCategories && fWeightVar == other.fWeightVar &&
         fDependVar == other.fDependVar && fNDependCategories == other.fNDependCategories &&
         fCategoryBase == other.fCategoryBase && fOffsetVar == other.fOffsetVar &&
         fOffsetType == other.fOffsetType &&
         (fOffsetValue == other.fOffsetValue ||
          (std::isnan(fOffsetValue) && std::isnan(other.fOffsetValue)));
}

bool MCFactorCounts::Merge(const MCFactorCounts& other) {
  if (!SameLayout(other)) return false;
  for (std::size_t j = 0; j < fvFactorCounts.size(); ++j) {
    for (std::size_t c = 0; c < fvFactorCounts[j].size(); ++c) {
      fvFactorCounts[j][c].first = MergeExact(fvFactorSums[j][c], other.fvFactorSums[j][c]);
      fvFactorCounts[j][c].second += other.fvFactorCounts[j][c].second;
    }
  }
  for (std::size_t c = 0; c < fvDependCounts.size(); ++c) {
    fvDependCounts[c].first = MergeExact(fvDependSums[c], other.fvDependSums[c]);
    fvDependCounts[c].second += other.fvDependCounts[c].second;
    fvDepCountsWithOffset[c].first =
        MergeExact(fvDepOffsetSums[c].first, other.fvDepOffsetSums[c].first);
    fvDepCountsWithOffset[c].second =
        MergeExact(fvDepOffsetSums[c].second, other.fvDepOffsetSums[c].second);
  }
  return true;
}

bool MCFactorCounts::Update(const Record& record) {
  if (record.Size() <= fMaxPosition) return false;
  const double* values = record.GetAll();
  const double f = FrequencyWeight(values);
  if (!CountFactors(values, f, nullptr)) return false;
  return CountDependent(values, f);
}

bool MCFactorCounts::IsCounted(const double* values) const {
  for (int j = 0; j < fNFactors; ++j) {
    if (CategoryIndex(values[fvFactorIndices[j]], fCategoryBase, fvFactorNCategories[j]) < 0) {
      return false;
    }
  }
  return fDependVar < 0 ||
         CategoryIndex(values[fDependVar], fCategoryBase, fNDependCategories) >= 0;
}

int MCFactorCounts::GetNCategories(int factor) const {
  if (factor < 0 || factor >= fNFactors) return -1;
  return fvFactorNCategories[factor];
}

int MCFactorCounts::GetNActiveCategories(int factor) const {
  if (factor < 0 || factor >= fNFactors) return -1;
  int active = 0;
  for (const CountPair& pair : fvFactorCounts[factor]) {
    if (pair.first > 0.0) ++active;
  }
  return active;
}

const MCFactorCounts::CountList* MCFactorCounts::GetCountsPtr(int factor) const {
  if (factor < 0 || factor >= fNFactors) return nullptr;
  return &fvFactorCounts[factor];
}

const MCFactorCounts::CountList* MCFactorCounts::GetDependCountsPtr() const {
  return fDependVar >= 0 ? &fvDependCounts : nullptr;
}

const MCFactorCounts::CountList* MCFactorCounts::GetDepCountsWithOffsetPtr() const {
  return fDependVar >= 0 ? &fvDepCountsWithOffset : nullptr;
}

void MCFactorCounts::Display() const {
  MCComponentDisplay::DisplayText(1, "MCFactorCounts display start");
  MCComponentDisplay::DisplayIV("Vector of factor indices", fvFactorIndices);
  MCComponentDisplay::DisplayIV("Vector of factor numbers of categories", fvFactorNCategories);
  MCComponentDisplay::DisplayI("The number of factors", fNFactors);
  MCComponentDisplay::DisplayI("Index of the weight variable", fWeightVar);
  MCComponentDisplay::DisplayI("Index of the dependent categorical variable", fDependVar);
  MCComponentDisplay::DisplayI("Number of categories for dependent variable", fNDependCategories);
  MCComponentDisplay::DisplayI("fCategoryBase", fCategoryBase);
  for (int j = 0; j < fNFactors; ++j) {
    DisplayCounts("fvFactorCounts[" + std::to_string(j) + "]", fvFactorCounts[j]);
  }
  if (fDependVar >= 0) {
    DisplayCounts("fvDependCounts", fvDependCounts);
    DisplayCounts("fvDepCountsWithOffset", fvDepCountsWithOffset);
  }
  MCComponentDisplay::DisplayI("fOffsetVar", fOffsetVar);
  MCComponentDisplay::DisplayD("fOffsetValue", fOffsetValue);
  MCComponentDisplay::DisplayI("fOffsetType", static_cast<int>(fOffsetType));
  MCComponentDisplay::DisplayText(1, "MCFactorCounts display end");
}

// ---------------------------------------------------------------------------------------------
// MCFactorTables::CombinationTables

MCFactorTables::CombinationTables::CombinationTables() = default;
MCFactorTables::CombinationTables::~CombinationTables() = default;

MCFactorTables::CombinationTables::CombinationTables(const CombinationTables& other) {
  fvTables.reserve(other.fvTables.size());
  for (const auto& table : other.fvTables) {
    fvTables.push_back(std::make_unique<MCHashtable<int>>(*table));
  }
}

MCFactorTables::CombinationTables& MCFactorTables::CombinationTables::operator=(
    const CombinationTables& other) {
  if (this != &other) {
    CombinationTables copy(other);
    fvTables.swap(copy.fvTables);
  }
  return *this;
}

// ---------------------------------------------------------------------------------------------
// MCFactorTables

MCFactorTables::MCFactorTables() = default;

MCFactorTables::MCFactorTables(const std::vector<int>& factors, const std::vector<int>& factorSizes,
                               int freqWeight, int dependent, int nDependentCategories,
                               int categoryBase, int offsetVar, double offsetValue,
                               MCConst::MCOffsetType offsetType)
    : MCFactorCounts(factors, factorSizes, freqWeight, dependent, nDependentCategories,
                     categoryBase, offsetVar, offsetValue, offsetType),
      fFreqWeightVar(GetWeightVar()) {
  fvFactorValues.assign(static_cast<std::size_t>(GetNFactors()), -1);
  fvRowFactorIndices.assign(static_cast<std::size_t>(GetNFactors()), -1);
  const std::vector<int>& positions = GetFactorIndices();
  int maxFactor = -1;
  for (int position : positions) maxFactor = std::max(maxFactor, position);
  fvLocalFactorIndices.assign(static_cast<std::size_t>(maxFactor + 1), -1);
  for (int j = 0; j < GetNFactors(); ++j) {
    if (positions[j] >= 0 && fvLocalFactorIndices[positions[j]] < 0) {
      fvLocalFactorIndices[positions[j]] = j;
    }
  }
  UpdateMaxPosition();
}

MCFactorTables::MCFactorTables(const MCFactorTables& other) = default;
MCFactorTables& MCFactorTables::operator=(const MCFactorTables& other) = default;
MCFactorTables::~MCFactorTables() = default;

void MCFactorTables::UpdateMaxPosition() {
  fMaxPosition = std::max(MaxCountPosition(), fRegrWeightVar);
  for (int position : fvCovariateIndices) fMaxPosition = std::max(fMaxPosition, position);
}

void MCFactorTables::SetRegrWeightVar(int position) {
  fRegrWeightVar = position < 0 ? -1 : position;
  UpdateMaxPosition();
}

void MCFactorTables::SetCovariates(const std::vector<int>& positions) {
  fvCovariateIndices.clear();
  for (int position : positions) {
    if (position >= 0) fvCovariateIndices.push_back(position);
  }
  fNCovariates = static_cast<int>(fvCovariateIndices.size());
  fvCovariateMeans.assign(fvCovariateIndices.size(), 0.0);
  fvCovariateSums.assign(fvCovariateIndices.size(), ExactSum());
  fbMeansComputed = false;
  UpdateMaxPosition();
}

bool MCFactorTables::SetModelEffectFactors(const std::vector<std::vector<int>>& effectFactors,
                                           const std::vector<int>& factors) {
  fNModelEffects = 0;
  fNEffects = 0;
  fvEffectFactors.clear();
  fvNEffectFactors.clear();
  fvCumNEffectFactors.assign(1, 0);
  fTables.fvTables.clear();
  fvWorkKeys.clear();
  fvParamIndices.clear();
  fvLocalParamIndices.clear();
  fvLocalEffectIndices.clear();
  fvModelEffectIndices.clear();
  fvNParameters.clear();
  fvParameterOffsets.clear();
  fvRowParamIndices.clear();

  if (factors != GetFactorIndices()) return false;
  for (const std::vector<int>& list : effectFactors) {
    for (int position : list) {
      if (position < 0 || position >= static_cast<int>(fvLocalFactorIndices.size()) ||
          fvLocalFactorIndices[position] < 0) {
        return false;
      }
    }
  }

  fNModelEffects = static_cast<int>(effectFactors.size());
  fvLocalEffectIndices.assign(effectFactors.size(), -1);
  fvParamIndices.assign(effectFactors.size(), -1);
  fvParameterOffsets.assign(effectFactors.size(), 0);
  fvRowParamIndices.assign(effectFactors.size(), -1);
  for (int e = 0; e < fNModelEffects; ++e) {
    const std::vector<int>& list = effectFactors[e];
    if (list.empty()) continue;
    fvLocalEffectIndices[e] = fNEffects;
    fvModelEffectIndices.push_back(e);
    for (int position : list) fvEffectFactors.push_back(fvLocalFactorIndices[position]);
    fvNEffectFactors.push_back(static_cast<int>(list.size()));
    fvCumNEffectFactors.push_back(static_cast<int>(fvEffectFactors.size()));
    fTables.fvTables.push_back(std::make_unique<MCHashtable<int>>());
    fvWorkKeys.emplace_back(static_cast<int>(list.size()));
    ++fNEffects;
  }
  fvNParameters.assign(static_cast<std::size_t>(fNEffects), 0);
  fvLocalParamIndices.assign(static_cast<std::size_t>(fNEffects), -1);
  return true;
}

std::vector<std::vector<int>> MCFactorTables::GetModelEffectFactors() const {
  std::vector<std::vector<int>> lists(static_cast<std::size_t>(fNModelEffects));
  const std::vector<int>& positions = GetFactorIndices();
  for (int t = 0; t < fNEffects; ++t) {
    std::vector<int>& list = lists[fvModelEffectIndices[t]];
    for (int i = fvCumNEffectFactors[t]; i < fvCumNEffectFactors[t + 1]; ++i) {
      list.push_back(positions[fvEffectFactors[i]]);
    }
  }
  return lists;
}

const MCHashKey& MCFactorTables::FillKey(int t, const int* factorIndices) const {
  MCHashKey& key = fvWorkKeys[t];
  const int* local = fvEffectFactors.data() + fvCumNEffectFactors[t];
  const int n = fvNEffectFactors[t];
  for (int i = 0; i < n; ++i) key[i] = factorIndices[local[i]];
  key.UpdateHashCode();
  return key;
}

bool MCFactorTables::UpdateHashtable(int localEffect, const MCHashKey& key) {
  try {
    fTables.fvTables[localEffect]->Insert(key, -1);
  } catch (const std::bad_alloc&) {
    fbAllocationFailed = true;
    return false;
  }
  return true;
}

int MCFactorTables::GetParameterIndex(int localEffect, const MCHashKey& key) const {
  if (localEffect < 0 || localEffect >= fNEffects) return -1;
  const MCHashPair<int>* pair = fTables.fvTables[localEffect]->Find(key);
  return pair != nullptr ? pair->fValue : -1;
}

bool MCFactorTables::UpdateAll(const Record& record) {
  if (record.Size() <= fMaxPosition) return false;
  const double* values = record.GetAll();
  const double f = FrequencyWeight(values);
  if (!CountFactors(values, f, fvFactorValues.data())) return false;
  if (!CountDependent(values, f)) return false;

  bool ok = true;
  for (int t = 0; t < fNEffects; ++t) {
    const MCHashKey& key = FillKey(t, fvFactorValues.data());
    if (fTables.fvTables[t]->Find(key) == nullptr && !UpdateHashtable(t, key)) ok = false;
  }

  fTotalWeight = AddExact(fTotalWeightSum, f, 1.0);
  fSampleSize += 1.0;
  const double fr = fRegrWeightVar >= 0 ? f * values[fRegrWeightVar] : f;
  fTotalRegrWeight = AddExact(fTotalRegrWeightSum, fr, 1.0);
  // Sums, not running means: a mean is then exact to its rounding, whatever the order of the
  // records or the parts they came in.
  for (int c = 0; c < fNCovariates; ++c) {
    AddExact(fvCovariateSums[c], fr, values[fvCovariateIndices[c]]);
  }
  return ok;
}

const std::vector<double>& MCFactorTables::GetCovariateMeans() {
  for (int c = 0; c < fNCovariates; ++c) {
    fvCovariateMeans[c] =
        fTotalRegrWeight > 0.0 ? fvCovariateSums[c].Over(fTotalRegrWeightSum) : MCMV::kMissing;
  }
  fbMeansComputed = true;
  return fvCovariateMeans;
}

bool MCFactorTables::SameLayout(const MCFactorTables& other) const {
  return MCFactorCounts::SameLayout(other) && fFreqWeightVar == other.fFreqWeightVar &&
         fRegrWeightVar == other.fRegrWeightVar && fNModelEffects == other.fNModelEffects &&
         fvEffectFactors == other.fvEffectFactors && fvNEffectFactors == other.fvNEffectFactors &&
         fvLocalEffectIndices == other.fvLocalEffectIndices &&
         fvCovariateIndices == other.fvCovariateIndices;
}

bool MCFactorTables::Merge(const MCFactorTables& other) {
  if (!SameLayout(other)) return false;
  MCFactorCounts::Merge(other);
  for (int t = 0; t < fNEffects; ++t) {
    for (const MCHashPair<int>* pair : other.fTables.fvTables[t]->GetPairs()) {
      if (fTables.fvTables[t]->Find(pair->fKey) == nullptr) UpdateHashtable(t, pair->fKey);
    }
  }
  fTotalWeight = MergeExact(fTotalWeightSum, other.fTotalWeightSum);
  fTotalRegrWeight = MergeExact(fTotalRegrWeightSum, other.fTotalRegrWeightSum);
  fSampleSize += other.fSampleSize;
  for (int c = 0; c < fNCovariates; ++c) MergeExact(fvCovariateSums[c], other.fvCovariateSums[c]);
  fbAllocationFailed = fbAllocationFailed || other.fbAllocationFailed;
  fbMeansComputed = false;
  return true;
}

int MCFactorTables::CreateParameterIndices() {
  int next = 0;
  for (int e = 0; e < fNModelEffects; ++e) {
    const int t = fvLocalEffectIndices[e];
    fvParameterOffsets[e] = next;
    if (t < 0) {
      fvParamIndices[e] = next++;
      continue;
    }
    MCHashtable<int>& table = *fTables.fvTables[t];
    table.SortPairs(KeyLess);
    for (MCHashPair<int>* pair : table.GetPairs()) pair->fValue = next++;
    fvNParameters[t] = table.GetCount();
  }
  return next;
}

int MCFactorTables::GetNEffectParameters(int effect) const {
  if (effect < 0 || effect >= fNModelEffects) return 0;
  const int t = fvLocalEffectIndices[effect];
  return t < 0 ? 1 : fTables.fvTables[t]->GetCount();
}

bool MCFactorTables::GetParameterFactorValues(std::vector<int>& categories, int effect,
                                              int k) const {
  if (k < 0 || k >= GetNEffectParameters(effect)) return false;
  const int t = fvLocalEffectIndices[effect];
  categories.clear();
  if (t < 0) return true;
  const MCHashKey& key = fTables.fvTables[t]->GetPairs()[k]->fKey;
  for (int i = 0; i < key.GetLength(); ++i) categories.push_back(key[i] + GetCategoryBase());
  return true;
}

void MCFactorTables::ComputeRowFactorIndices(const double* values) const {
  const std::vector<int>& positions = GetFactorIndices();
  const std::vector<int>& sizes = GetFactorSizes();
  const int base = GetCategoryBase();
  for (int j = 0; j < GetNFactors(); ++j) {
    fvRowFactorIndices[j] = CategoryIndex(values[positions[j]], base, sizes[j]);
  }
}

const std::vector<int>& MCFactorTables::GetRowParameterIndices(const double* values,
                                                               bool& ok) const {
  ok = values != nullptr;
  if (!ok) {
    std::fill(fvRowParamIndices.begin(), fvRowParamIndices.end(), -1);
    return fvRowParamIndices;
  }
  ComputeRowFactorIndices(values);
  for (int e = 0; e < fNModelEffects; ++e) {
    const int t = fvLocalEffectIndices[e];
    if (t < 0) {
      fvRowParamIndices[e] = fvParamIndices[e];
      continue;
    }
    const MCHashPair<int>* pair = fTables.fvTables[t]->Find(FillKey(t, fvRowFactorIndices.data()));
    if (pair == nullptr) {
      fvRowParamIndices[e] = -1;
      ok = false;
    } else {
      fvRowParamIndices[e] = pair->fValue;
    }
  }
  return fvRowParamIndices;
}

const std::vector<int>& MCFactorTables::GetRowLocalParamIndices(const double* values,
                                                                bool& ok) const {
  const std::vector<int>& global = GetRowParameterIndices(values, ok);
  for (int t = 0; t < fNEffects; ++t) {
    const int e = fvModelEffectIndices[t];
    fvLocalParamIndices[t] = global[e] < 0 ? -1 : global[e] - fvParameterOffsets[e];
  }
  return fvLocalParamIndices;
}

int MCFactorTables::GetIncompleteEffectIndex(const double* values) const {
  if (values == nullptr) return -1;
  ComputeRowFactorIndices(values);
  for (int t = 0; t < fNEffects; ++t) {
    if (fTables.fvTables[t]->Find(FillKey(t, fvRowFactorIndices.data())) == nullptr) {
      return fvModelEffectIndices[t];
    }
  }
  return -1;
}

bool MCFactorTables::GetParameterIndices(const std::vector<int>& categories,
                                         std::vector<int>& indices) const {
  indices.assign(static_cast<std::size_t>(fNModelEffects), -1);
  if (categories.size() != static_cast<std::size_t>(GetNFactors())) return false;
  const std::vector<int>& sizes = GetFactorSizes();
  for (int j = 0; j < GetNFactors(); ++j) {
    fvRowFactorIndices[j] = CategoryIndex(categories[j], GetCategoryBase(), sizes[j]);
  }
  bool ok = true;
  for (int e = 0; e < fNModelEffects; ++e) {
    const int t = fvLocalEffectIndices[e];
    if (t < 0) {
      indices[e] = fvParamIndices[e];
      continue;
    }
    const MCHashPair<int>* pair = fTables.fvTables[t]->Find(FillKey(t, fvRowFactorIndices.data()));
    if (pair == nullptr) {
      ok = false;
    } else {
      indices[e] = pair->fValue;
    }
  }
  return ok;
}

int MCFactorTables::GetEffectParameterIndex(int effect, const std::vector<int>& categories) const {
  if (effect < 0 || effect >= fNModelEffects) return -1;
  const int t = fvLocalEffectIndices[effect];
  if (t < 0) return categories.empty() ? fvParamIndices[effect] : -1;
  if (categories.size() != static_cast<std::size_t>(fvNEffectFactors[t])) return -1;
  MCHashKey& key = fvWorkKeys[t];
  const int* local = fvEffectFactors.data() + fvCumNEffectFactors[t];
  const std::vector<int>& sizes = GetFactorSizes();
  for (std::size_t i = 0; i < categories.size(); ++i) {
    key[static_cast<int>(i)] = CategoryIndex(categories[i], GetCategoryBase(), sizes[local[i]]);
  }
  key.UpdateHashCode();
  return GetParameterIndex(t, key);
}

void MCFactorTables::Display() const {
  MCComponentDisplay::DisplayText(1, "MCFactorTables display start");
  MCFactorCounts::Display();
  MCComponentDisplay::DisplayI("Index of the frequency weight variable", fFreqWeightVar);
  MCComponentDisplay::DisplayI("Index of the regression weight variable", fRegrWeightVar);
  MCComponentDisplay::DisplayI("Total number of model effects", fNModelEffects);
  MCComponentDisplay::DisplayI("Number of model effects containing factors", fNEffects);
  MCComponentDisplay::DisplayIV("Concatenated list of factors for fNEffects effects",
                                fvEffectFactors);
  MCComponentDisplay::DisplayIV("Number of factors in effects ( fNEffects )", fvNEffectFactors);
  MCComponentDisplay::DisplayIV("Cumulative number of factors up to effect ( fNEffects+1 )",
                                fvCumNEffectFactors);
  MCComponentDisplay::DisplayIV("Vector of local factor indices ( max factor index + 1 )",
                                fvLocalFactorIndices);
  MCComponentDisplay::DisplayIV("Factor values ( fNFactors )", fvFactorValues);
  for (int t = 0; t < fNEffects; ++t) {
    const MCHashtable<int>& table = *fTables.fvTables[t];
    MCComponentDisplay::DisplayI("Combinations of local effect " + std::to_string(t),
                                 table.GetCount());
    for (const MCHashPair<int>* pair : table.GetPairs()) {
      pair->fKey.Display();
      MCComponentDisplay::DisplayI("Value", pair->fValue);
    }
  }
  MCComponentDisplay::DisplayIV("Vector of parameter indices ( fNModelEffects )", fvParamIndices);
  MCComponentDisplay::DisplayIV("Vector of local parameter indices ( fNEffects )",
                                fvLocalParamIndices);
  MCComponentDisplay::DisplayIV("Vector of local effect indices ( fNModelEffects )",
                                fvLocalEffectIndices);
  MCComponentDisplay::DisplayIV("Vector of original model effect indices ( fNEffects )",
                                fvModelEffectIndices);
  MCComponentDisplay::DisplayIV("Vector of number of parameters for each effect ( fNEffects )",
                                fvNParameters);
  MCComponentDisplay::DisplayIV("Vector of parameter offsets for each effect ( fNModelEffects )",
                                fvParameterOffsets);
  MCComponentDisplay::DisplayIV("Vector of factor indices in the extracted record",
                                fvExtractedFactorIndices);
  MCComponentDisplay::DisplayIV(" Vector of covariate indices in the input record",
                                fvCovariateIndices);
  MCComponentDisplay::DisplayI("Number of covariate indices in the input record", fNCovariates);
  MCComponentDisplay::DisplayDV("Vector of covariate weighted mean", fvCovariateMeans);
  MCComponentDisplay::DisplayB("True if covariate means computed", fbMeansComputed);
  MCComponentDisplay::DisplayD("Total frequency weighted count", fTotalWeight);
  MCComponentDisplay::DisplayD("Total regression weighted count", fTotalRegrWeight);
  MCComponentDisplay::DisplayD("Sample size for all valid records", fSampleSize);
  MCComponentDisplay::DisplayText(1, "MCFactorTables display end");
}

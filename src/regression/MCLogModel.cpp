#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <new>

#include "MCComponentDisplay.h"
#include "MCLogAlgorithm.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCPower.h"
#include "MCRegLimits.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommon::Record;
using MCCommonMath::MCBitSet;
using MCCommonMath::MCSymMatrix;
namespace dd = MCCommonMath::ddkernels;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

// A weight at a position, 1 when there is none.
double WeightAt(const double* values, int position) {
  return position >= 0 ? values[position] : 1.0;
}

}  // namespace

MCLogModel::MCLogModel(const MCLogRegSettings* settings) : fpSettings(settings) {}

MCLogModel::~MCLogModel() = default;

void MCLogModel::SetPositions(const MCRecordExtractor& extractor) {
  const MCLogRegSettings& settings = *fpSettings;
  fvCovariateOffsets = settings.GetCovariates();
  fvCovPatternOffsets = extractor.GetCovariateOffsets();
  fDependVar = settings.GetDependent();
  fFreqWeightVar = settings.GetFrequencyWeightVar();
  fRegrWeightVar = settings.GetRegrWeightVar();
  fDependOffset = extractor.GetDependentOffset();
  fFreqWeightOffset = extractor.GetFreqWeightOffset();
  fRegrWeightOffset = extractor.GetRegrWeightOffset();
}

MCStatus MCLogModel::SetDependentCategories(const MCFactorCounts& counts) {
  const MCFactorCounts::CountList* list = counts.GetDependCountsPtr();
  if (list == nullptr) return Error(318);
  std::vector<int> present;
  for (std::size_t c = 0; c < list->size(); ++c) {
    if ((*list)[c].first > 0.0) present.push_back(static_cast<int>(c));
  }
  if (present.size() < 2) return Error(318);

  MCStatus status;
  const int requested = fpSettings->GetDependentRefCateg();
  int reference = present.back();
  if (std::find(present.begin(), present.end(), requested) != present.end()) {
    reference = requested;
  } else if (requested == -2) {
    reference = present.front();
  } else if (requested >= 0) {
    status = MCStatus(319, true);
  }
  fRefCategory = reference;

  fvDependCategories.clear();
  for (int code : present) {
    if (code != reference) fvDependCategories.push_back(code);
  }
  fvDependCategories.push_back(reference);
  fvDependLocalIndices.assign(list->size(), -1);
  fvWeightedCounts.clear();
  fvUnweightedCounts.clear();
  for (std::size_t k = 0; k < fvDependCategories.size(); ++k) {
    const int code = fvDependCategories[k];
    fvDependLocalIndices[static_cast<std::size_t>(code)] = static_cast<int>(k);
    fvWeightedCounts.push_back((*list)[static_cast<std::size_t>(code)].first);
    fvUnweightedCounts.push_back((*list)[static_cast<std::size_t>(code)].second);
  }
  fvCategoryWeights.assign(fvDependCategories.size(), 0.0);
  fCategorySums.Resize(fvDependCategories.size());
  return status;
}

MCStatus MCLogModel::CreateParameters(MCFactorTables* tables) {
  const MCLogRegSettings& settings = *fpSettings;
  fpFactorTables = tables;
  tables->CreateParameterIndices();

  std::vector<MCRegrParameter> basic;
  fvFirstParamIndex.clear();
  fvNEffectParams.clear();
  fvEffectCovIndex.clear();
  fvEffectCovPowers.clear();
  fvEffectCovStart.assign(1, 0);
  std::vector<int> effectCovPositions;

  const bool intercept = settings.GetInterceptUse();
  if (intercept) {
    basic.emplace_back();
    fvEffectCovStart.push_back(0);
  }
  const std::vector<MCModelEffect>& effects = settings.GetModelEffects();
  const int tableOffset = intercept ? 1 : 0;
  for (int j = 0; j < static_cast<int>(effects.size()); ++j) {
    MCRegrParameter parameter;
    if (!parameter.SetupFromEffect(effects[j], j, 0)) parameter.SetEffectIndex(j);
    const int n = tables->GetNEffectParameters(j + tableOffset);
    fvFirstParamIndex.push_back(static_cast<int>(basic.size()));
    fvNEffectParams.push_back(n);
    if (n == 1 && parameter.GetNFactors() == 0) {
      basic.push_back(parameter);
    } else {
      for (int k = 0; k < n; ++k) {
        tables->GetParameterFactorValues(parameter.GetCategories(), j + tableOffset, k);
        basic.push_back(parameter);
      }
    }
    const std::vector<int>& positions = parameter.GetCovariates();
    const std::vector<int>& powers = parameter.GetCovariateMultiplicities();
    for (std::size_t c = 0; c < positions.size(); ++c) {
      effectCovPositions.push_back(positions[c]);
      fvEffectCovPowers.push_back(powers[c]);
    }
    fvEffectCovStart.push_back(static_cast<int>(effectCovPositions.size()));
  }
  fNModelEffects = static_cast<int>(fvEffectCovStart.size()) - 1;
  // Each covariate of an effect as its index in the settings' covariate list (-1 when it is
  // not listed there and so cannot be read from an extracted row).
  for (int position : effectCovPositions) {
    const auto it = std::find(fvCovariateOffsets.begin(), fvCovariateOffsets.end(), position);
    fvEffectCovIndex.push_back(it == fvCovariateOffsets.end()
                                   ? -1 - position
                                   : static_cast<int>(it - fvCovariateOffsets.begin()));
  }
  NumberColumns();

  fNBasic = static_cast<int>(basic.size());
  const int K = GetNDependentCategories();
  // Every logit's parameters make one matrix of order (K-1) nBasic (the inverse information
  // over all parameters): refused before anything of that size is allocated, as is an X'X that
  // (with its exact sums) cannot be held.
  const double nAll = (K - 1.0) * fNBasic;
  if (nAll > MCRegLimits::kMaxParameters ||
      !MCRegLimits::FitsInMemory(24.0 * MCRegLimits::PackedSize(fNBasic))) {
    MCStatus status = Error(305);
    status.SetDiscreteDatum(0, static_cast<long>(std::min(nAll, 2147483647.0)));
    status.SetDiscreteDatum(1, MCRegLimits::kMaxParameters);
    return status;
  }
  fNAll = (K - 1) * fNBasic;
  fvParameters.clear();
  fvParameters.reserve(static_cast<std::size_t>(fNAll));
  for (int j = 0; j + 1 < K; ++j) {
    for (MCRegrParameter parameter : basic) {
      parameter.SetTargetCategory(fvDependCategories[static_cast<std::size_t>(j)]);
      fvParameters.push_back(parameter);
    }
  }

  fMaxRowPosition = std::max({fDependVar, fFreqWeightVar, fRegrWeightVar});
  for (int position : tables->GetFactorIndices())
    fMaxRowPosition = std::max(fMaxRowPosition, position);
  for (int position : effectCovPositions) fMaxRowPosition = std::max(fMaxRowPosition, position);

  fpXPrimeX = std::unique_ptr<MCSymMatrix>(new (std::nothrow) MCSymMatrix(fNBasic));
  if (!fpXPrimeX || !fpXPrimeX->IsValidMatrix()) {
    fpXPrimeX.reset();
    MCStatus status = Error(305);
    status.SetDiscreteDatum(0, fNBasic);
    return status;
  }
  try {
    fXXSums.Resize(dd::PackedRowStart(fNBasic));
  } catch (const std::exception&) {
    fpXPrimeX.reset();
    MCStatus status = Error(305);
    status.SetDiscreteDatum(0, fNBasic);
    return status;
  }
  fNRecordsAdded = 0;
  fvCategoryWeights.assign(static_cast<std::size_t>(K), 0.0);
  fCategorySums.Resize(static_cast<std::size_t>(K));
  fvActiveIdx.reserve(static_cast<std::size_t>(fNModelEffects));
  fvActiveVal.reserve(static_cast<std::size_t>(fNModelEffects));
  fbParametersCreated = true;
  return MCStatus();
}

void MCLogModel::NumberColumns() {
  // Effects with the same covariates and powers (in model order) share a column.
  fvEffectColumn.assign(static_cast<std::size_t>(fNModelEffects), 0);
  fvColumnEffect.assign(1, -1);
  for (int e = 0; e < fNModelEffects; ++e) {
    const int begin = fvEffectCovStart[e];
    const int end = fvEffectCovStart[e + 1];
    if (begin == end) continue;
    bool held = true;
    for (int c = begin; c < end; ++c) held = held && fvEffectCovIndex[c] >= 0;
    if (!held) {
      fvEffectColumn[e] = -1;
      continue;
    }
    int column = -1;
    for (std::size_t a = 1; a < fvColumnEffect.size() && column < 0; ++a) {
      const int other = fvColumnEffect[a];
      const int otherBegin = fvEffectCovStart[other];
      if (fvEffectCovStart[other + 1] - otherBegin != end - begin) continue;
      bool same = true;
      for (int c = 0; c < end - begin && same; ++c) {
        same = fvEffectCovIndex[begin + c] == fvEffectCovIndex[otherBegin + c] &&
               fvEffectCovPowers[begin + c] == fvEffectCovPowers[otherBegin + c];
      }
      if (same) column = static_cast<int>(a);
    }
    if (column < 0) {
      column = static_cast<int>(fvColumnEffect.size());
      fvColumnEffect.push_back(e);
    }
    fvEffectColumn[e] = column;
  }
  fNColumns = static_cast<int>(fvColumnEffect.size());
  fvColumnSingleOffset.assign(fvColumnEffect.size(), -1);
  for (int a = 1; a < fNColumns; ++a) {
    const int c = fvEffectCovStart[fvColumnEffect[static_cast<std::size_t>(a)]];
    if (fvEffectCovStart[fvColumnEffect[static_cast<std::size_t>(a)] + 1] == c + 1 &&
        fvEffectCovPowers[c] == 1) {
      fvColumnSingleOffset[static_cast<std::size_t>(a)] =
          fvCovPatternOffsets[static_cast<std::size_t>(fvEffectCovIndex[c])];
    }
  }
}

bool MCLogModel::ExpandPatternColumns(const std::vector<int>& positions, std::vector<int>& indices,
                                      std::vector<int>& columns) const {
  indices.clear();
  columns.clear();
  if (!fbParametersCreated || fvBasicLocalIndex.empty()) return false;
  const int nEffects = std::min(fNModelEffects, static_cast<int>(positions.size()));
  for (int e = 0; e < nEffects; ++e) {
    const int parameter = positions[static_cast<std::size_t>(e)];
    if (parameter < 0 || parameter >= fNBasic) continue;
    const int local = fvBasicLocalIndex[static_cast<std::size_t>(parameter)];
    if (local < 0) continue;
    if (fvEffectColumn[static_cast<std::size_t>(e)] < 0) return false;
    indices.push_back(local);
    columns.push_back(fvEffectColumn[static_cast<std::size_t>(e)]);
  }
  return true;
}

void MCLogModel::PatternRowColumnValues(const double* row, double* values) const {
  values[0] = 1.0;
  // The products as SparseFromActive forms them, so the values are the same to the bit (a
  // single covariate is its own value).
  for (int a = 1; a < fNColumns; ++a) {
    const int single = fvColumnSingleOffset[static_cast<std::size_t>(a)];
    if (single >= 0) {
      values[a] = row[single];
      continue;
    }
    const int e = fvColumnEffect[static_cast<std::size_t>(a)];
    double z = 1.0;
    for (int c = fvEffectCovStart[e]; c < fvEffectCovStart[e + 1]; ++c) {
      const double x = row[fvCovPatternOffsets[static_cast<std::size_t>(fvEffectCovIndex[c])]];
      for (int m = 0; m < fvEffectCovPowers[c]; ++m) z *= x;
    }
    values[a] = z;
  }
}

double MCLogModel::EffectValue(int effect, const double* values, bool pattern, bool& ok) const {
  double z = 1.0;
  for (int c = fvEffectCovStart[effect]; c < fvEffectCovStart[effect + 1]; ++c) {
    const int index = fvEffectCovIndex[c];
    int position;
    if (index >= 0) {
      position = pattern ? fvCovPatternOffsets[static_cast<std::size_t>(index)]
                         : fvCovariateOffsets[static_cast<std::size_t>(index)];
    } else {
      // Not a listed covariate: only a record holds it.
      if (pattern) {
        ok = false;
        return 0.0;
      }
      position = -1 - index;
    }
    const double x = values[position];
    for (int m = 0; m < fvEffectCovPowers[c]; ++m) z *= x;
  }
  return z;
}

bool MCLogModel::SparseFromActive(const std::vector<int>& active, const double* values,
                                  bool pattern, std::vector<int>& indices,
                                  std::vector<double>& out) const {
  indices.clear();
  out.clear();
  // EffectValue spelt out over raw lists: this runs for every row of every estimation pass.
  const int nEffects = std::min(fNModelEffects, static_cast<int>(active.size()));
  const int* covStart = fvEffectCovStart.data();
  const int* covIndex = fvEffectCovIndex.data();
  const int* covPowers = fvEffectCovPowers.data();
  const int* covOffsets = pattern ? fvCovPatternOffsets.data() : fvCovariateOffsets.data();
  const int* basicLocal = fvBasicLocalIndex.data();
  for (int e = 0; e < nEffects; ++e) {
    const int parameter = active[static_cast<std::size_t>(e)];
    if (parameter < 0 || parameter >= fNBasic) continue;
    const int local = basicLocal[parameter];
    if (local < 0) continue;
    double z = 1.0;
    for (int c = covStart[e]; c < covStart[e + 1]; ++c) {
      const int index = covIndex[c];
      if (index < 0 && pattern) {
        // Not a listed covariate: only a record holds it.
        indices.clear();
        out.clear();
        return false;
      }
      const double x = values[index >= 0 ? covOffsets[index] : -1 - index];
      for (int m = 0; m < covPowers[c]; ++m) z *= x;
    }
    if (z != 0.0) {
      indices.push_back(local);
      out.push_back(z);
    }
  }
  return true;
}

bool MCLogModel::AddSparseRow(const std::vector<int>& active, const double* values, bool pattern,
                              int category, double w) {
  fvActiveIdx.clear();
  fvActiveVal.clear();
  bool ok = true;
  const int nEffects = std::min(fNModelEffects, static_cast<int>(active.size()));
  for (int e = 0; e < nEffects; ++e) {
    const int parameter = active[e];
    if (parameter < 0 || parameter >= fNBasic) continue;
    const double z = EffectValue(e, values, pattern, ok);
    if (!ok) return false;
    if (z != 0.0) {
      fvActiveIdx.push_back(parameter);
      fvActiveVal.push_back(z);
    }
  }
  // A product that overflows would spread through X'X; the diagonal terms w z^2 are the
  // largest of a row.
  if (!(w > 0.0) || !std::isfinite(w)) return false;
  for (double z : fvActiveVal) {
    if (!std::isfinite(w * z * z)) return false;
  }
  dd::AddOuterSparse(static_cast<int>(fvActiveIdx.size()), fvActiveIdx.data(), fvActiveVal.data(),
                     w, fXXSums.Data());
  dd::AddValue(fCategorySums[static_cast<std::size_t>(category)], w);
  fvCategoryWeights[static_cast<std::size_t>(category)] =
      fCategorySums.Rounded(static_cast<std::size_t>(category));
  ++fNRecordsAdded;
  return true;
}

int MCLogModel::LocalIndexOf(double value) const {
  if (!(value > -1.0 && value < static_cast<double>(fvDependLocalIndices.size()))) return -1;
  return fvDependLocalIndices[static_cast<std::size_t>(value)];
}

MCStatus MCLogModel::AddRecord(const Record& record, bool& added) {
  added = false;
  if (fbEstimatesStored || fbSwept) return Error(310);
  if (!fbParametersCreated || !fpXPrimeX) return Error(309);
  const double* values = record.GetAll();
  if (values == nullptr || record.Size() <= fMaxRowPosition) return MCStatus();
  const int category = LocalIndexOf(values[fDependVar]);
  if (category < 0 || !fpFactorTables->IsCounted(values)) return MCStatus();
  bool ok = true;
  const std::vector<int>& active = fpFactorTables->GetRowParameterIndices(values, ok);
  if (!ok) return MCStatus();
  const double w = WeightAt(values, fFreqWeightVar) * WeightAt(values, fRegrWeightVar);
  if (!AddSparseRow(active, values, false, category, w)) return Error(313);
  added = true;
  return MCStatus();
}

bool MCLogModel::AddPatternRow(const double* row, const std::vector<int>& positions) {
  if (!fbParametersCreated || fbEstimatesStored || fbSwept || !fpXPrimeX || row == nullptr) {
    return false;
  }
  const double code = row[fDependOffset];
  const int K = GetNDependentCategories();
  if (!(code >= 0.0 && code < static_cast<double>(K))) return false;
  const double w = WeightAt(row, fFreqWeightOffset) * WeightAt(row, fRegrWeightOffset);
  return AddSparseRow(positions, row, true, static_cast<int>(code), w);
}

MCStatus MCLogModel::FindRedundancy(MCCommon::MCCancelInfo* cancel) {
  if (!fpXPrimeX) return Error(309);
  if (fbSwept) return Error(310);
  // The sums are swept where they are: they are not needed afterwards.
  dd::DD* a = fXXSums.Data();
  for (std::size_t e = 0; e < fXXSums.Size(); ++e) a[e] = dd::Normalised(a[e]);
  std::vector<dd::DD> diagonal(static_cast<std::size_t>(fNBasic));
  for (int i = 0; i < fNBasic; ++i) {
    diagonal[i] = a[dd::PackedRowStart(i) + i];
    // Finite rows whose sum overflows: the pass could not add them.
    if (!std::isfinite(diagonal[i].hi)) return Error(313);
  }
  std::vector<unsigned char> bits(static_cast<std::size_t>(fNBasic), 0);
  // Without the argument check a negative tolerance (or none) counts as 0.
  const double given = fpSettings->GetTolerance();
  const double tolerance = given > 0.0 ? given : 0.0;
  for (int k = 0; k < fNBasic; ++k) {
    if (cancel != nullptr && cancel->WillCancel()) return Error(1);
    dd::SweepPivot(fNBasic, a, k, tolerance, diagonal.data(), bits.data());
  }
  dd::Round(static_cast<int>(fXXSums.Size()), a, fpXPrimeX->AsVector().data(), 1);
  fXXSums = dd::DDSums();
  fbSwept = true;
  MCBitSet swept(fNBasic);
  for (int k = 0; k < fNBasic; ++k) swept.Set(k, bits[k] != 0);
  SetRedundancy(swept);
  return MCStatus();
}

void MCLogModel::SetRedundancy(const MCBitSet& swept) {
  fBasicNonRedundant = swept;
  fvBasicLocalIndex.assign(static_cast<std::size_t>(fNBasic), -1);
  fNBasicNonRed = 0;
  for (int k = 0; k < fNBasic; ++k) {
    if (swept.IsIn(k)) fvBasicLocalIndex[static_cast<std::size_t>(k)] = fNBasicNonRed++;
  }
  const int K = GetNDependentCategories();
  fAllNonRedundant.Resize(fNAll);
  fAllNonRedundant.Clear();
  for (int j = 0; j + 1 < K; ++j) {
    for (int k = 0; k < fNBasic; ++k) {
      if (swept.IsIn(k)) fAllNonRedundant.Set(j * fNBasic + k);
    }
  }
  fNAllNonRed = (K - 1) * fNBasicNonRed;
}

void MCLogModel::TakeCrossProducts(MCLogitCrossProductData& part) {
  part.fSums = std::move(fXXSums);
  part.fCategorySums = fCategorySums;
  part.fNAdded = fNRecordsAdded;
  fXXSums = dd::DDSums();
  fCategorySums.Clear();
  fNRecordsAdded = 0;
  // The sums are gone: no row may be added any more.
  fbSwept = true;
}

MCStatus MCLogModel::AdoptCrossProducts(MCLogitCrossProductData&& part) {
  if (!fbParametersCreated || !fpXPrimeX) return Error(309);
  if (fbSwept || fbEstimatesStored) return Error(310);
  if (part.fSums.Size() != fXXSums.Size() || part.fCategorySums.Size() != fCategorySums.Size()) {
    return MCPartCodec::Refused(MCPartCodec::kShape);
  }
  fXXSums = std::move(part.fSums);
  fCategorySums = std::move(part.fCategorySums);
  for (std::size_t c = 0; c < fvCategoryWeights.size(); ++c) {
    fvCategoryWeights[c] = fCategorySums.Rounded(c);
  }
  fNRecordsAdded = static_cast<int>(std::min<std::int64_t>(part.fNAdded, INT32_MAX));
  return MCStatus();
}

MCStatus MCLogModel::ComputeStartValues(std::vector<double>& start) const {
  start.assign(static_cast<std::size_t>(std::max(fNAllNonRed, 0)), 0.0);
  for (double w : fvCategoryWeights) {
    if (!(w > 0.0)) return Error(303);
  }
  if (fvCategoryWeights.empty()) return Error(303);
  if (fpSettings->GetInterceptUse() && fNBasic > 0 && fBasicNonRedundant.IsIn(0)) {
    const int K = GetNDependentCategories();
    const double reference = fvCategoryWeights.back();
    const int p = fNBasicNonRed;
    for (int j = 0; j + 1 < K; ++j) {
      start[static_cast<std::size_t>(j * p)] =
          std::log(fvCategoryWeights[static_cast<std::size_t>(j)] / reference);
    }
  }
  return MCStatus();
}

void MCLogModel::SetTotals(double totalWeight, double sampleSize) {
  fTotalWeight = totalWeight;
  fSampleSize = sampleSize;
}

MCStatus MCLogModel::StoreEstimates(const std::vector<double>& estimates,
                                    const MCSymMatrix* inverseHessian) {
  const int K = GetNDependentCategories();
  const int p = fNBasicNonRed;
  fvParamEstimates.assign(static_cast<std::size_t>(fNAll), 0.0);
  for (int j = 0; j + 1 < K; ++j) {
    for (int k = 0; k < fNBasic; ++k) {
      const int local = fvBasicLocalIndex[static_cast<std::size_t>(k)];
      const std::size_t from = static_cast<std::size_t>(j * p + local);
      if (local >= 0 && from < estimates.size()) {
        fvParamEstimates[static_cast<std::size_t>(j * fNBasic + k)] = estimates[from];
      }
    }
  }
  fpHessianGI = std::make_unique<MCSymMatrix>(fNAll);
  if (!fpHessianGI->IsValidMatrix()) {
    fpHessianGI.reset();
    MCStatus status = Error(305);
    status.SetDiscreteDatum(0, fNAll);
    return status;
  }
  if (inverseHessian != nullptr && inverseHessian->GetNRows() == fNAllNonRed) {
    inverseHessian->Expand(fAllNonRedundant, *fpHessianGI);
  }
  fClassificationTable = MCCommonMath::MCRectMatrix(K, K);
  fNClassified = 0;
  fbEstimatesStored = true;
  return MCStatus();
}

bool MCLogModel::ExpandRecordSparse(const Record& record, std::vector<int>& indices,
                                    std::vector<double>& values) const {
  indices.clear();
  values.clear();
  const double* row = record.GetAll();
  if (!fbParametersCreated || fvBasicLocalIndex.empty() || row == nullptr ||
      record.Size() <= fMaxRowPosition) {
    return false;
  }
  bool ok = true;
  const std::vector<int>& active = fpFactorTables->GetRowParameterIndices(row, ok);
  if (!ok) return false;
  return SparseFromActive(active, row, false, indices, values);
}

bool MCLogModel::IsCounted(const Record& record) const {
  return fpFactorTables != nullptr && record.GetAll() != nullptr &&
         record.Size() > fMaxRowPosition && fpFactorTables->IsCounted(record.GetAll());
}

bool MCLogModel::ExpandPatternRowSparse(const double* row, const std::vector<int>& positions,
                                        std::vector<int>& indices,
                                        std::vector<double>& values) const {
  indices.clear();
  values.clear();
  if (!fbParametersCreated || fvBasicLocalIndex.empty() || row == nullptr) return false;
  return SparseFromActive(positions, row, true, indices, values);
}

bool MCLogModel::ExpandRecordDense(const Record& record, std::vector<double>& row) const {
  row.assign(static_cast<std::size_t>(fNBasic), 0.0);
  const double* values = record.GetAll();
  if (!fbParametersCreated || values == nullptr) return false;
  // Scoring needs the design positions only, not the dependent or the weights.
  int needed = -1;
  for (int position : fpFactorTables->GetFactorIndices()) needed = std::max(needed, position);
  for (int c = 0; c < static_cast<int>(fvEffectCovIndex.size()); ++c) {
    const int index = fvEffectCovIndex[c];
    needed = std::max(
        needed, index >= 0 ? fvCovariateOffsets[static_cast<std::size_t>(index)] : -1 - index);
  }
  if (record.Size() <= needed) return false;
  bool ok = true;
  const std::vector<int>& active = fpFactorTables->GetRowParameterIndices(values, ok);
  const int nEffects = std::min(fNModelEffects, static_cast<int>(active.size()));
  for (int e = 0; e < nEffects; ++e) {
    const int parameter = active[e];
    if (parameter < 0 || parameter >= fNBasic) continue;
    bool covOk = true;
    row[static_cast<std::size_t>(parameter)] = EffectValue(e, values, false, covOk);
  }
  return ok;
}

void MCLogModel::LinearPredictors(const std::vector<double>& x, std::vector<double>& eta) const {
  const int K = GetNDependentCategories();
  eta.assign(static_cast<std::size_t>(K), 0.0);
  for (int j = 0; j + 1 < K; ++j) {
    double sum = 0.0;
    const double* beta = fvParamEstimates.data() + static_cast<std::size_t>(j) * fNBasic;
    for (int i = 0; i < fNBasic; ++i) sum += x[static_cast<std::size_t>(i)] * beta[i];
    eta[static_cast<std::size_t>(j)] = sum;
  }
}

int MCLogModel::BestCategory(const std::vector<double>& eta) const {
  const int K = static_cast<int>(eta.size());
  const double epsilon = MCCommonMath::MCPower::MEpsilon();
  int best = K - 1;
  double bestValue = 0.0;
  for (int j = 0; j + 1 < K; ++j) {
    // A predictor within epsilon of the best does not replace it: the earlier one wins.
    if (eta[static_cast<std::size_t>(j)] - bestValue > epsilon) {
      best = j;
      bestValue = eta[static_cast<std::size_t>(j)];
    }
  }
  return best;
}

int MCLogModel::Score(const Record& record, std::vector<double>& probabilities) const {
  const int K = GetNDependentCategories();
  probabilities.assign(static_cast<std::size_t>(K), MCMV::kMissing);
  if (!fbEstimatesStored || !ExpandRecordDense(record, fvDenseRow)) return -1;
  LinearPredictors(fvDenseRow, fvEta);
  const int best = BestCategory(fvEta);
  // Shifting by the largest predictor keeps every exponential in range; the ratios are the
  // same.
  const double top = std::max(0.0, *std::max_element(fvEta.begin(), fvEta.end()));
  double sum = 0.0;
  for (int k = 0; k < K; ++k) {
    const double e = std::exp(fvEta[static_cast<std::size_t>(k)] - top);
    probabilities[static_cast<std::size_t>(k)] = e;
    sum += e;
  }
  for (double& pk : probabilities) pk /= sum;
  return fvDependCategories[static_cast<std::size_t>(best)];
}

bool MCLogModel::AddToClassification(const Record& record, std::vector<double>& contributions) {
  std::vector<double> probabilities;
  const int predicted = Score(record, probabilities);
  if (predicted < 0) return false;
  const double* values = record.GetAll();
  if (record.Size() <= std::max({fDependVar, fFreqWeightVar, 0})) return false;
  const double w = WeightAt(values, fFreqWeightVar);
  const double observedValue = std::trunc(values[fDependVar] + 0.5);
  const int observed = LocalIndexOf(observedValue);
  if (observed < 0) return false;
  const int K = GetNDependentCategories();
  contributions.assign(static_cast<std::size_t>(fNAll), 0.0);
  for (int j = 0; j + 1 < K; ++j) {
    const double y = observed == j ? 1.0 : 0.0;
    const double factor = (y - probabilities[static_cast<std::size_t>(j)]) * w;
    for (int i = 0; i < fNBasic; ++i) {
      contributions[static_cast<std::size_t>(fNBasic * j + i)] =
          fvDenseRow[static_cast<std::size_t>(i)] * factor;
    }
  }
  if (w != 0.0) ++fNClassified;
  const int predictedLocal = fvDependLocalIndices[static_cast<std::size_t>(predicted)];
  const double cell = fClassificationTable.GetElem(observed, predictedLocal);
  fClassificationTable.SetElem(observed, predictedLocal, cell + w);
  return true;
}

void MCLogModel::Display() const {
  MCComponentDisplay::DisplayText(1, "MCLogModel display start");
  MCComponentDisplay::DisplayI("Total number of model effects", fNModelEffects);
  MCComponentDisplay::DisplayIV("Covariate pattern offsets:", fvCovPatternOffsets);
  MCComponentDisplay::DisplayIV("Covariate offsets:", fvCovariateOffsets);
  MCComponentDisplay::DisplayIV("Dependent categories in data", fvDependCategories);
  MCComponentDisplay::DisplayIV("Local indices of dependent categories", fvDependLocalIndices);
  MCComponentDisplay::DisplayI("Reference category", fRefCategory);
  MCComponentDisplay::DisplayDV("Weighted counts of dependent categories", fvWeightedCounts);
  MCComponentDisplay::DisplayDV("Unweighted counts of dependent categories", fvUnweightedCounts);
  if (fpFactorTables != nullptr) {
    MCComponentDisplay::DisplayText(1, "Factor Tables pointer is non-zero");
  }
  MCComponentDisplay::DisplayIV("Vector of first parameter indices", fvFirstParamIndex);
  MCComponentDisplay::DisplayIV("Vector of numbers of parameters for each effect", fvNEffectParams);
  MCComponentDisplay::DisplayI("Number of basic parameters", fNBasic);
  MCComponentDisplay::DisplayI("Number of all parameters", fNAll);
  MCComponentDisplay::DisplayI("Number of basic non-redundant parameters", fNBasicNonRed);
  MCComponentDisplay::DisplayI("Number of all non-redundant parameters", fNAllNonRed);
  MCComponentDisplay::DisplayIV("Local indices of basic non-redundant parameters",
                                fvBasicLocalIndex);
  if (fpXPrimeX) {
    MCComponentDisplay::DisplayText(1, "XPrimeX matrix:");
    fpXPrimeX->Display();
  } else {
    MCComponentDisplay::DisplayText(1, "XPrimeX matrix pointer is 0");
  }
  MCComponentDisplay::DisplayI("Records added to matrix", fNRecordsAdded);
  MCComponentDisplay::DisplayText(1, "Redundancy indicators for basic parameters");
  fBasicNonRedundant.Display();
  MCComponentDisplay::DisplayText(1, "Redundancy indicators for all parameters");
  fAllNonRedundant.Display();
  MCComponentDisplay::DisplayDV("Parameter estimates", fvParamEstimates);
  if (fpHessianGI) {
    MCComponentDisplay::DisplayText(1, "fpHessianGI");
    fpHessianGI->Display();
  } else {
    MCComponentDisplay::DisplayText(1, "fpHessianGI pointer is 0");
  }
  MCComponentDisplay::DisplayText(1, "fpClassificationTable");
  fClassificationTable.Display();
  MCComponentDisplay::DisplayI("Number of model parameters", static_cast<int>(fvParameters.size()));
  for (const MCRegrParameter& parameter : fvParameters) parameter.Display();
  MCComponentDisplay::DisplayText(1, "MCLogModel display end");
}

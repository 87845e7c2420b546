#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <new>

#include "MCComponentDisplay.h"
#include "MCGLMAlgorithm.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegLimits.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommon::Record;
using MCCommonMath::MCSymMatrix;
namespace dd = MCCommonMath::ddkernels;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

}  // namespace

MCGLMModel::MCGLMModel(const MCRegSettings* settings, const MCCommon::MCCancelInfo* cancel)
    : fpSettings(settings), fpCancelInfo(cancel) {}

MCGLMModel::~MCGLMModel() = default;

MCStatus MCGLMModel::SetupParameters(MCFactorTables* tables) {
  const MCRegSettings& settings = *fpSettings;
  fFreqWeightVar = settings.GetFrequencyWeightVar();
  fRegrWeightVar = settings.GetRegrWeightVar();
  fDependent = settings.GetDependent();
  fvCovariateOffsets = settings.GetCovariates();
  fpFactorTables = tables;
  tables->CreateParameterIndices();

  fvParameters.clear();
  fvFirstParamIndex.clear();
  fvNEffectParams.clear();
  fvEffectCovPositions.clear();
  fvEffectCovPowers.clear();
  fvEffectCovStart.assign(1, 0);

  const bool intercept = settings.GetInterceptUse();
  if (intercept) {
    fvParameters.emplace_back();
    fvEffectCovStart.push_back(0);
  }
  const std::vector<MCModelEffect>& effects = settings.GetModelEffects();
  const int tableOffset = intercept ? 1 : 0;
  for (int j = 0; j < static_cast<int>(effects.size()); ++j) {
    if (fpCancelInfo->WillCancel()) return Error(1);
    MCRegrParameter parameter;
    if (!parameter.SetupFromEffect(effects[j], j, 0)) parameter.SetEffectIndex(j);
    const int n = tables->GetNEffectParameters(j + tableOffset);
    fvFirstParamIndex.push_back(static_cast<int>(fvParameters.size()));
    fvNEffectParams.push_back(n);
    if (n == 1 && parameter.GetNFactors() == 0) {
      fvParameters.push_back(parameter);
    } else {
      for (int k = 0; k < n; ++k) {
        tables->GetParameterFactorValues(parameter.GetCategories(), j + tableOffset, k);
        fvParameters.push_back(parameter);
      }
    }
    const std::vector<int>& positions = parameter.GetCovariates();
    const std::vector<int>& powers = parameter.GetCovariateMultiplicities();
    fvEffectCovPositions.insert(fvEffectCovPositions.end(), positions.begin(), positions.end());
    fvEffectCovPowers.insert(fvEffectCovPowers.end(), powers.begin(), powers.end());
    fvEffectCovStart.push_back(static_cast<int>(fvEffectCovPositions.size()));
  }

  const int p = static_cast<int>(fvParameters.size());
  // Z'Z with the dependent, as exact sums and as doubles, must be held.
  if (p > kMaxParameters || !MCRegLimits::FitsInMemory(24.0 * MCRegLimits::PackedSize(p + 1.0))) {
    MCStatus status = Error(305);
    status.SetDiscreteDatum(0, p);
    status.SetDiscreteDatum(1, kMaxParameters);
    return status;
  }

  fMaxRowPosition = -1;
  for (int position : tables->GetFactorIndices())
    fMaxRowPosition = std::max(fMaxRowPosition, position);
  for (int position : fvEffectCovPositions) fMaxRowPosition = std::max(fMaxRowPosition, position);

  fpZPrimeZ = std::unique_ptr<MCSymMatrix>(new (std::nothrow) MCSymMatrix(p + 1));
  if (!fpZPrimeZ || !fpZPrimeZ->IsValidMatrix()) {
    // The matrix did not fit in memory: as good as too many parameters.
    fpZPrimeZ.reset();
    MCStatus status = Error(305);
    status.SetDiscreteDatum(0, p);
    status.SetDiscreteDatum(1, kMaxParameters);
    return status;
  }
  try {
    fZZSums.Resize(dd::PackedRowStart(p + 1));
    fFitSums.Resize(3);
  } catch (const std::exception&) {
    fpZPrimeZ.reset();
    MCStatus status = Error(305);
    status.SetDiscreteDatum(0, p);
    status.SetDiscreteDatum(1, kMaxParameters);
    return status;
  }
  fvDesignRow.assign(static_cast<std::size_t>(p) + 1, 0.0);
  fvActiveIdx.reserve(fvEffectCovStart.size() + 1);
  fvActiveVal.reserve(fvEffectCovStart.size() + 1);
  fbReady = true;
  return MCStatus();
}

void MCGLMModel::SetMeanAndTotalWeight(double dependentMean, double totalWeight) {
  fDependentMean = dependentMean;
  fTotalWeight = totalWeight;
}

bool MCGLMModel::FormSparseRow(const double* values, int size) const {
  fvActiveIdx.clear();
  fvActiveVal.clear();
  if (values == nullptr || size <= fMaxRowPosition) return false;
  bool ok = true;
  const std::vector<int>& active = fpFactorTables->GetRowParameterIndices(values, ok);
  if (!ok) return false;
  const int nEffects = static_cast<int>(fvEffectCovStart.size()) - 1;
  for (int e = 0; e < nEffects && e < static_cast<int>(active.size()); ++e) {
    if (active[e] < 0) continue;
    double z = 1.0;
    for (int c = fvEffectCovStart[e]; c < fvEffectCovStart[e + 1]; ++c) {
      const double x = values[fvEffectCovPositions[c]];
      for (int m = 0; m < fvEffectCovPowers[c]; ++m) z *= x;
    }
    // Zero entries are left out: the dense update skips them too.
    if (z != 0.0) {
      fvActiveIdx.push_back(active[e]);
      fvActiveVal.push_back(z);
    }
  }
  return true;
}

double MCGLMModel::RecordWeight(const double* values) const {
  double w = 1.0;
  if (fFreqWeightVar >= 0) w *= values[fFreqWeightVar];
  if (fRegrWeightVar >= 0) w *= values[fRegrWeightVar];
  return w;
}

MCStatus MCGLMModel::AddToMatrix(const Record& record, bool& added) {
  added = false;
  if (!fbReady) return Error(309);
  // The sums are swept, or handed over.
  if (fbBuilt || fZZSums.Size() == 0) return Error(310);
  const double* values = record.GetAll();
  if (!FormSparseRow(values, record.Size()) || !fpFactorTables->IsCounted(values)) {
    return MCStatus();
  }
  const double y = values[fDependent];
  if (y != 0.0) {
    fvActiveIdx.push_back(GetNParameters());
    fvActiveVal.push_back(y);
  }
  // A NaN or an infinity (which the validator lets through: only the missing value is
  // skipped) cannot be added either.
  // The sums are divided by W at the end: an overflowed (or empty) total leaves nothing to
  // divide by. A product that overflows would spread through Z'Z into every estimate; the
  // diagonal terms w z^2 are the largest of a row.
  const double w = RecordWeight(values);
  if (!(fTotalWeight > 0.0) || !std::isfinite(fTotalWeight) || !(w > 0.0)) return Error(313);
  for (double z : fvActiveVal) {
    if (!std::isfinite(w * z * z)) return Error(313);
  }
  dd::AddOuterSparse(static_cast<int>(fvActiveIdx.size()), fvActiveIdx.data(), fvActiveVal.data(),
                     w, fZZSums.Data());
  ++fNRecordsAdded;
  added = true;
  return MCStatus();
}

void MCGLMModel::TakeCrossProducts(MCCrossProductData& part) {
  part.fSums = std::move(fZZSums);
  part.fNAdded = fNRecordsAdded;
  fZZSums = dd::DDSums();
  fNRecordsAdded = 0;
}

MCStatus MCGLMModel::AdoptCrossProducts(MCCrossProductData&& part) {
  if (!fbReady) return Error(309);
  if (fbBuilt) return Error(310);
  if (part.fSums.Size() != dd::PackedRowStart(GetNParameters() + 1)) {
    return MCPartCodec::Refused(MCPartCodec::kShape);
  }
  fZZSums = std::move(part.fSums);
  fNRecordsAdded = static_cast<int>(std::min<std::int64_t>(part.fNAdded, INT32_MAX));
  return MCStatus();
}

MCStatus MCGLMModel::SetEstimates(const std::vector<double>& estimates) {
  if (!fbReady) return Error(309);
  if (estimates.size() != fvParameters.size()) return MCPartCodec::Refused(MCPartCodec::kShape);
  fvParamEstimates = estimates;
  fZZSums = dd::DDSums();
  fFitSums.Clear();
  fNWeightedRecords = 0;
  fbBuilt = true;
  return MCStatus();
}

void MCGLMModel::TakeResiduals(MCResidualData& part) {
  part.fSums = fFitSums;
  part.fNWeighted = fNWeightedRecords;
  fFitSums.Clear();
  fNWeightedRecords = 0;
}

MCStatus MCGLMModel::AdoptResiduals(MCResidualData&& part) {
  if (!fbBuilt) return Error(303);
  if (part.fSums.Size() != fFitSums.Size()) return MCPartCodec::Refused(MCPartCodec::kShape);
  fFitSums = std::move(part.fSums);
  fNWeightedRecords = static_cast<int>(std::min<std::int64_t>(part.fNWeighted, INT32_MAX));
  return MCStatus();
}

MCStatus MCGLMModel::Solve() {
  if (fNRecordsAdded == 0) return Error(309);
  if (fbBuilt) return Error(310);
  if (fpCancelInfo->WillCancel()) return Error(1);
  const int p = GetNParameters();
  const int n = p + 1;
  // The sums are swept where they are: they are not needed afterwards.
  dd::DD* a = fZZSums.Data();
  for (std::size_t e = 0; e < fZZSums.Size(); ++e) a[e] = dd::Normalised(a[e]);
  std::vector<dd::DD> diagonal(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    diagonal[i] = a[dd::PackedRowStart(i) + i];
    // Finite rows whose sum overflows: the pass could not add them.
    if (!std::isfinite(diagonal[i].hi)) return Error(313);
  }
  std::vector<unsigned char> swept(static_cast<std::size_t>(n), 0);
  // Without the argument check a negative tolerance (or none) counts as 0: only non-positive pivots
  // are then redundant.
  const double given = fpSettings->GetTolerance();
  const double tolerance = given > 0.0 ? given : 0.0;
  for (int k = 0; k < p; ++k) {
    if (fpCancelInfo->WillCancel()) return Error(1);
    dd::SweepPivot(n, a, k, tolerance, diagonal.data(), swept.data());
  }
  fRedundancy.Resize(n);
  fRedundancy.Clear();
  for (int k = 0; k < n; ++k) fRedundancy.Set(k, swept[k] != 0);
  // Unnormalised sums sweep to -inv(Z'Z) in the swept block, which is what sweeping Z'Z / W
  // and rescaling by 1 / W gives; the estimates in the last row do not depend on W.
  dd::Round(static_cast<int>(fZZSums.Size()), a, fpZPrimeZ->AsVector().data(), 1);
  fZZSums = dd::DDSums();
  fpZPrimeZ->GetRegCoeffs(fvParamEstimates, fRedundancy);
  fpZPrimeZ->ZeroOutRedundant(fRedundancy);
  fFitSums.Clear();
  fResidualSum = 0.0;
  fTotalSum = 0.0;
  fNWeightedRecords = 0;
  fbBuilt = true;
  return MCStatus();
}

MCStatus MCGLMModel::AddResidual(const Record& record) {
  if (!fbBuilt) return Error(303);
  const double* values = record.GetAll();
  if (!FormSparseRow(values, record.Size()) || !fpFactorTables->IsCounted(values)) {
    return MCStatus();
  }
  // The prediction, the residual and y - mean as exact pairs: y and its prediction may agree
  // to many digits, and the difference must keep them. The sum of w (y - mean) corrects for a
  // mean that is off in its last digits.
  const double y = values[fDependent];
  const double w = RecordWeight(values);
  dd::AddResidualTerms(static_cast<int>(fvActiveIdx.size()), fvActiveIdx.data(), fvActiveVal.data(),
                       fvParamEstimates.data(), y,
                       fpSettings->GetInterceptUse() ? fDependentMean : 0.0, w, fFitSums.Data());
  if (w != 0.0) ++fNWeightedRecords;
  return MCStatus();
}

MCStatus MCGLMModel::ComputeFit() {
  const double W = fTotalWeight;
  const dd::DD residual = fFitSums.Value(0);
  dd::DD total = fFitSums.Value(2);
  if (fpSettings->GetInterceptUse() && W > 0.0) {
    const dd::DD s1 = fFitSums.Value(1);
    total = dd::Sub(total, dd::Div(dd::Mul(s1, s1), dd::DD{W, 0.0}));
  }
  if (W > 0.0) {
    const dd::DD meanResidual = dd::Div(residual, dd::DD{W, 0.0});
    fResidualSum = dd::ToDouble(meanResidual);
    fTotalSum = dd::ToDouble(dd::Div(total, dd::DD{W, 0.0}));
    fRMSE = dd::ToDouble(dd::Sqrt(meanResidual));
  }
  if (total.hi > 0.0) {
    fRSquare = dd::Compare(total, residual) > 0
                   ? dd::ToDouble(dd::Sub(dd::DD{1.0, 0.0}, dd::Div(residual, total)))
                   : 0.0;
  }
  if (fNWeightedRecords == 0 || !(W > 0.0)) return Error(308);
  return MCStatus();
}

double MCGLMModel::Predict(const Record& record) const {
  if (!fbBuilt || !FormSparseRow(record.GetAll(), record.Size())) return MCMV::Missing();
  double prediction = 0.0;
  for (std::size_t a = 0; a < fvActiveIdx.size(); ++a) {
    prediction += fvParamEstimates[fvActiveIdx[a]] * fvActiveVal[a];
  }
  return prediction;
}

bool MCGLMModel::ExpandRow(const Record& record, std::vector<double>& row) const {
  if (!fbReady) return false;
  row.assign(fvParameters.size(), 0.0);
  const double* values = record.GetAll();
  if (values == nullptr || record.Size() <= fMaxRowPosition) return false;
  bool ok = true;
  const std::vector<int>& active = fpFactorTables->GetRowParameterIndices(values, ok);
  const int nEffects = static_cast<int>(fvEffectCovStart.size()) - 1;
  for (int e = 0; e < nEffects && e < static_cast<int>(active.size()); ++e) {
    if (active[e] < 0) continue;
    double z = 1.0;
    for (int c = fvEffectCovStart[e]; c < fvEffectCovStart[e + 1]; ++c) {
      for (int m = 0; m < fvEffectCovPowers[c]; ++m) z *= values[fvEffectCovPositions[c]];
    }
    row[static_cast<std::size_t>(active[e])] = z;
  }
  return ok;
}

void MCGLMModel::Display() const {
  MCComponentDisplay::DisplayText(1, "MCGLMModel display start");
  MCComponentDisplay::DisplayIV("Covariate offsets:", fvCovariateOffsets);
  if (fpFactorTables != nullptr) {
    MCComponentDisplay::DisplayText(1, "Factor Tables pointer is non-zero");
  }
  MCComponentDisplay::DisplayIV("Vector of first parameter indices", fvFirstParamIndex);
  MCComponentDisplay::DisplayIV("Vector of numbers of parameters for each effect", fvNEffectParams);
  if (fpZPrimeZ) {
    MCComponentDisplay::DisplayText(1, "ZPrimeZMatrix:");
    fpZPrimeZ->Display();
  } else {
    MCComponentDisplay::DisplayText(1, "ZPrimeZMatrix pointer is 0");
  }
  MCComponentDisplay::DisplayI("Records added to matrix", fNRecordsAdded);
  MCComponentDisplay::DisplayText(1, "Redundancy indicators");
  fRedundancy.Display();
  MCComponentDisplay::DisplayDV("Parameter estimates", fvParamEstimates);
  MCComponentDisplay::DisplayD("MultipleRSquare", fRSquare);
  MCComponentDisplay::DisplayD("RootMeanSquareError", fRMSE);
  MCComponentDisplay::DisplayText(1, "MCGLMModel display end");
}

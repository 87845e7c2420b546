#include "MCRegRecordValidator.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "MCComponentDisplay.h"
#include "MCMV.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommon::Record;

namespace {

constexpr long kShortRecord = 315;
constexpr long kBadCategory = 316;
constexpr long kNotAccumulable = 313;

// The failure of a value at a position, which the status names.
bool Refuse(long code, int position, double x, MCStatus& status) {
  status = MCStatus(code, false);
  status.SetDiscreteDatum(1, position);
  status.SetScaleDatum(1, x);
  return false;
}

// A categorical value: below -0.5 (the missing value included) is skipped without a status;
// otherwise it must be whole and not above its limit, else error 316 names the position.
bool CheckCategory(double x, int position, int limit, MCStatus& status) {
  if (x < -0.5) return false;
  if (x != std::trunc(x) || x > limit) return Refuse(kBadCategory, position, x, status);
  return true;
}

}  // namespace

MCRegRecordValidator::MCRegRecordValidator(const std::vector<MCConst::MCVariableType>& types,
                                           const std::vector<int>& factorPositions,
                                           const std::vector<int>& factorSizes,
                                           int nResponseCategories) {
  SetRecordInfo(types, factorPositions, factorSizes, nResponseCategories);
}

void MCRegRecordValidator::SetRecordInfo(const std::vector<MCConst::MCVariableType>& types,
                                         const std::vector<int>& factorPositions,
                                         const std::vector<int>& factorSizes,
                                         int nResponseCategories) {
  fvVariableTypes = types;
  fvCategoryLimits.assign(types.size(), 0);
  const std::size_t nFactors = std::min(factorPositions.size(), factorSizes.size());
  for (std::size_t j = 0; j < nFactors; ++j) {
    const int position = factorPositions[j];
    if (position >= 0 && static_cast<std::size_t>(position) < types.size()) {
      fvCategoryLimits[position] = factorSizes[j];
    }
  }
  fNResponseCategories = nResponseCategories;
  if (nResponseCategories >= 1) {
    for (std::size_t i = 0; i < types.size(); ++i) {
      if (types[i] == MCConst::kDependent) {
        fvCategoryLimits[i] = nResponseCategories;
        break;
      }
    }
  }
}

bool MCRegRecordValidator::IsValidRecord(const Record& record, MCStatus& status) const {
  return Check(record, status, true);
}

bool MCRegRecordValidator::IsValid4Scoring(const Record& record, MCStatus& status) const {
  return Check(record, status, false);
}

bool MCRegRecordValidator::Check(const Record& record, MCStatus& status, bool forBuild) const {
  const int nRoles = static_cast<int>(fvVariableTypes.size());
  if (record.Size() < nRoles) {
    status = MCStatus(kShortRecord, false);
    return false;
  }
  const double* values = record.GetAll();
  for (int i = 0; i < nRoles; ++i) {
    const MCConst::MCVariableType type = fvVariableTypes[i];
    // A covariate, dependent or weight that is not a number or infinite (the missing value is
    // finite) cannot be accumulated by any pass: the build ends with it. Scoring leaves such a
    // covariate to the prediction.
    const bool accumulated = type == MCConst::kCovariate || type == MCConst::kDependent ||
                             type == MCConst::kFrequencyWeight ||
                             type == MCConst::kRegressionWeight;
    if (forBuild && accumulated && !std::isfinite(values[i])) {
      return Refuse(kNotAccumulable, i, values[i], status);
    }
    switch (type) {
      case MCConst::kFactor:
        if (!CheckCategory(values[i], i, fvCategoryLimits[i], status)) return false;
        break;
      case MCConst::kCovariate:
        if (values[i] == MCMV::kMissing) return false;
        break;
      case MCConst::kDependent:
        if (!forBuild) break;
        if (fNResponseCategories >= 1) {
          if (!CheckCategory(values[i], i, fvCategoryLimits[i], status)) return false;
        } else if (values[i] == MCMV::kMissing) {
          return false;
        }
        break;
      case MCConst::kFrequencyWeight:
      case MCConst::kRegressionWeight:
        if (forBuild && !(values[i] > 0.0)) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

void MCRegRecordValidator::Display() const {
  MCComponentDisplay::DisplayText(1, "MCRegRecordValidator display start");
  std::vector<int> types(fvVariableTypes.begin(), fvVariableTypes.end());
  MCComponentDisplay::DisplayIV("fvVariableTypes", types);
  MCComponentDisplay::DisplayI("fNResponseCategories", fNResponseCategories);
  MCComponentDisplay::DisplayIV("fvCategoryLimits", fvCategoryLimits);
  MCComponentDisplay::DisplayText(1, "MCRegRecordValidator display end");
}

MCRecordExtractor::MCRecordExtractor(int dependent, const std::vector<int>& factors,
                                     const std::vector<int>& covariates, int freqWeight,
                                     int regrWeight) {
  SetRecordIndices(dependent, factors, covariates, freqWeight, regrWeight);
}

void MCRecordExtractor::SetRecordIndices(int dependent, const std::vector<int>& factors,
                                         const std::vector<int>& covariates, int freqWeight,
                                         int regrWeight) {
  fvRecordIndices.clear();
  fvFactorOffsets.clear();
  fvCovariateOffsets.clear();
  fDependentOffset = 0;
  fvRecordIndices.push_back(dependent);
  for (int position : factors) {
    fvFactorOffsets.push_back(static_cast<int>(fvRecordIndices.size()));
    fvRecordIndices.push_back(position);
  }
  for (int position : covariates) {
    fvCovariateOffsets.push_back(static_cast<int>(fvRecordIndices.size()));
    fvRecordIndices.push_back(position);
  }
  fFreqWeightOffset = -1;
  if (freqWeight >= 0) {
    fFreqWeightOffset = static_cast<int>(fvRecordIndices.size());
    fvRecordIndices.push_back(freqWeight);
  }
  fRegrWeightOffset = -1;
  if (regrWeight >= 0) {
    fRegrWeightOffset = static_cast<int>(fvRecordIndices.size());
    fvRecordIndices.push_back(regrWeight);
  }
  fExtractSize = static_cast<int>(fvRecordIndices.size());
}

void MCRecordExtractor::ExtractRecord(const double* in, double* out) const {
  if (in == nullptr || out == nullptr) return;
  const int* index = fvRecordIndices.data();
  for (int k = 0; k < fExtractSize; ++k) out[k] = in[index[k]];
}

bool MCRecordExtractor::ExtractRecord(const double* in, std::vector<double>& out) const {
  if (in == nullptr || out.size() < static_cast<std::size_t>(fExtractSize)) return false;
  ExtractRecord(in, out.data());
  return true;
}

void MCRecordExtractor::Display() const {
  MCComponentDisplay::DisplayText(1, "MCRecordExtractor display start");
  MCComponentDisplay::DisplayI("fExtractSize", fExtractSize);
  MCComponentDisplay::DisplayIV("fvRecordIndices", fvRecordIndices);
  MCComponentDisplay::DisplayI("fDependentOffset", fDependentOffset);
  MCComponentDisplay::DisplayIV("fvFactorOffsets", fvFactorOffsets);
  MCComponentDisplay::DisplayIV("fvCovariateOffsets", fvCovariateOffsets);
  MCComponentDisplay::DisplayI("fFreqWeightOffset", fFreqWeightOffset);
  MCComponentDisplay::DisplayI("fRegrWeightOffset", fRegrWeightOffset);
  MCComponentDisplay::DisplayText(1, "MCRecordExtractor display end");
}

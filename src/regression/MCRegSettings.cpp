#include "MCRegSettings.h"

#include <new>
#include <stdexcept>

#include "MCComponentDisplay.h"

using MCCommon::MCComponentDisplay;

namespace {

// Makes sure one more element fits without reallocation, growing geometrically; throws what
// the allocator throws.
void ReserveOneMore(std::vector<int>& list) {
  if (list.size() == list.capacity()) list.reserve(list.size() < 4 ? 8 : 2 * list.size());
}

}  // namespace

MCConst::MCRegModelType MCRegSettings::GetModelType() const { return MCConst::kLinearModel; }

MCCommon::MCStatus MCRegSettings::IsValidSettings() const {
  if (fDependent < 0) return MCCommon::MCStatus(301, false);
  if (fbInterceptUse) return MCCommon::MCStatus();
  if (fvModelEffects.empty()) return MCCommon::MCStatus(302, false);
  return MCCommon::MCStatus();
}

bool MCRegSettings::IsFreePosition(int position) const {
  if (position < 0) return false;
  const size_t index = static_cast<size_t>(position);
  return index >= fvVariableTypes.size() || fvVariableTypes[index] == MCConst::kUnused;
}

bool MCRegSettings::AssignRole(int position, MCConst::MCVariableType role) {
  if (!IsFreePosition(position)) return false;
  const size_t index = static_cast<size_t>(position);
  if (index >= fvVariableTypes.size()) {
    // A host may hand any position; running out of storage is a refusal, not a crash.
    try {
      fvVariableTypes.resize(index + 1, MCConst::kUnused);
    } catch (const std::bad_alloc&) {
      return false;
    } catch (const std::length_error&) {
      return false;
    }
  }
  fvVariableTypes[index] = role;
  return true;
}

bool MCRegSettings::SetDependent(int position) {
  if (fDependent >= 0) return false;
  if (!AssignRole(position, MCConst::kDependent)) return false;
  fDependent = position;
  return true;
}

bool MCRegSettings::SetFrequencyWeightVar(int position) {
  if (!AssignRole(position, MCConst::kFrequencyWeight)) return false;
  fFreqWeightVar = position;
  return true;
}

bool MCRegSettings::SetRegrWeightVar(int position) {
  if (!AssignRole(position, MCConst::kRegressionWeight)) return false;
  fRegrWeightVar = position;
  return true;
}

int MCRegSettings::AddFactor(int position, int size) {
  if (size < 1 || !IsFreePosition(position)) return -1;
  // Make room first so that a failure leaves the role list and both factor lists unchanged.
  try {
    ReserveOneMore(fvFactors);
    ReserveOneMore(fvFactorSizes);
  } catch (const std::exception&) {
    return -1;
  }
  if (!AssignRole(position, MCConst::kFactor)) return -1;
  fvFactors.push_back(position);
  fvFactorSizes.push_back(size);
  return static_cast<int>(fvFactors.size());
}

int MCRegSettings::AddCovariate(int position) {
  if (!IsFreePosition(position)) return -1;
  try {
    ReserveOneMore(fvCovariates);
  } catch (const std::exception&) {
    return -1;
  }
  if (!AssignRole(position, MCConst::kCovariate)) return -1;
  fvCovariates.push_back(position);
  return static_cast<int>(fvCovariates.size());
}

bool MCRegSettings::AddModelEffect(const MCModelEffect& effect) {
  fvModelEffects.push_back(effect);
  return true;
}

void MCRegSettings::SetConfidenceLevel(double level) {
  // Written so that NaN fails the test.
  if (level >= 0.0 && level < 1.0) fConfidenceLevel = level;
}

void MCRegSettings::SetDF(double df) {
  if (df > 0.0) fDF = df;
}

void MCRegSettings::Display() const {
  MCComponentDisplay::DisplayText(1, "MCRegSettings display start");
  MCComponentDisplay::DisplayI("fFreqWeightVar", fFreqWeightVar);
  MCComponentDisplay::DisplayI("fRegrWeightVar", fRegrWeightVar);
  MCComponentDisplay::DisplayI("Dependent Var", fDependent);
  MCComponentDisplay::DisplayIV("Factors ", fvFactors);
  MCComponentDisplay::DisplayIV("Factor Sizes ", fvFactorSizes);
  MCComponentDisplay::DisplayIV("Covariates ", fvCovariates);
  MCComponentDisplay::DisplayD("Tolerance", fTolerance);
  MCComponentDisplay::DisplayB("Intercept use", fbInterceptUse);
  MCComponentDisplay::DisplayD("Confidence", fConfidenceLevel);
  MCComponentDisplay::DisplayD("Degrees of freedom", fDF);
  MCComponentDisplay::DisplayText(1, "\nModel Effects:");
  for (const MCModelEffect& effect : fvModelEffects) effect.Display();
  MCComponentDisplay::DisplayText(1, "MCRegSettings display end");
}

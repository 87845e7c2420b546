#include "MCRegrParameter.h"

#include <algorithm>
#include <cmath>

#include "MCComponentDisplay.h"
#include "MCModelEffect.h"

using MCCommon::MCComponentDisplay;

bool MCRegrParameter::SetupFromEffect(const MCModelEffect& effect, int effectIndex, int category) {
  if (effect.IsIntercept() || effectIndex < 0) return false;
  fEffectIndex = effectIndex;
  fvFactors.clear();
  fvCategories.clear();
  fvFactorNestLevels.clear();
  const std::vector<int> factors = effect.GetFactors();
  const std::vector<int> levels = effect.GetFactorLevels();
  for (size_t i = 0; i < factors.size() && i < levels.size(); ++i) {
    AddFactor(factors[i], category, levels[i]);
  }
  fvCovariates = effect.GetCovariates();
  fvCovariateMults = effect.GetCovMultiplicities();
  return true;
}

bool MCRegrParameter::AddFactor(int position, int category, int nestLevel) {
  if (position < 0 || nestLevel < 0) return false;
  if (std::find(fvFactors.begin(), fvFactors.end(), position) != fvFactors.end()) return false;
  // Upper bound keeps factors of equal level in the order they were added.
  const auto at = std::upper_bound(fvFactorNestLevels.begin(), fvFactorNestLevels.end(), nestLevel);
  const auto index = at - fvFactorNestLevels.begin();
  fvFactorNestLevels.insert(at, nestLevel);
  fvFactors.insert(fvFactors.begin() + index, position);
  fvCategories.insert(fvCategories.begin() + index, category);
  return true;
}

int MCRegrParameter::AddCovariate(int position, int multiplicity) {
  if (position < 0 || multiplicity < 1) return 0;
  const auto it = std::find(fvCovariates.begin(), fvCovariates.end(), position);
  if (it != fvCovariates.end()) {
    int& mult = fvCovariateMults[static_cast<size_t>(it - fvCovariates.begin())];
    mult += multiplicity;
    return mult;
  }
  fvCovariates.push_back(position);
  fvCovariateMults.push_back(multiplicity);
  return multiplicity;
}

int MCRegrParameter::ContainsFactor(int position, int notFound) const {
  const auto it = std::find(fvFactors.begin(), fvFactors.end(), position);
  if (it == fvFactors.end()) return notFound;
  return fvCategories[static_cast<size_t>(it - fvFactors.begin())];
}

int MCRegrParameter::GetCovariateMult(int position) const {
  const auto it = std::find(fvCovariates.begin(), fvCovariates.end(), position);
  if (it == fvCovariates.end()) return 0;
  return fvCovariateMults[static_cast<size_t>(it - fvCovariates.begin())];
}

int MCRegrParameter::GetNCovariateMult() const {
  int sum = 0;
  for (int mult : fvCovariateMults) sum += mult;
  return sum;
}

bool MCRegrParameter::IsIntercept() const { return fvFactors.empty() && fvCovariates.empty(); }

void MCRegrParameter::SetEffectIndex(int effectIndex) {
  if (effectIndex >= 0) fEffectIndex = effectIndex;
}

bool MCRegrParameter::operator==(const MCRegrParameter& other) const {
  return fEffectIndex == other.fEffectIndex && fvFactors == other.fvFactors &&
         fvCategories == other.fvCategories && fvFactorNestLevels == other.fvFactorNestLevels &&
         fvCovariates == other.fvCovariates && fvCovariateMults == other.fvCovariateMults &&
         fTargetCategory == other.fTargetCategory;
}

void MCRegrParameter::Display() const {
  MCComponentDisplay::DisplayText(1, "MCRegrParameter display start");
  MCComponentDisplay::DisplayIV("fvFactors", fvFactors);
  MCComponentDisplay::DisplayIV("fvCategories", fvCategories);
  MCComponentDisplay::DisplayIV("fvFactorNestLevels", fvFactorNestLevels);
  MCComponentDisplay::DisplayIV("fvCovariates", fvCovariates);
  MCComponentDisplay::DisplayIV("fvCovariateMults", fvCovariateMults);
  MCComponentDisplay::DisplayI("fEffectIndex", fEffectIndex);
  MCComponentDisplay::DisplayI("fTargetCategory", fTargetCategory);
  MCComponentDisplay::DisplayText(1, "MCRegrParameter display end");
}

double MCRegrParameterStats::GetSqrtDeff() const {
  // The negated test also refuses NaN.
  if (MCMV::IsMissing(fDeff) || !(fDeff >= 0.0)) return MCMV::Missing();
  return std::sqrt(fDeff);
}

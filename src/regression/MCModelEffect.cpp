#include "MCModelEffect.h"

#include <algorithm>

#include "MCComponentDisplay.h"

using MCCommon::MCComponentDisplay;

MCModelEffect::MCModelEffect(int nModelFactors, int nModelCovariates,
                             const std::vector<int>* indices)
    : fpVarIndices(indices),
      fNModelFactors(std::max(nModelFactors, 0)),
      fNModelCovariates(std::max(nModelCovariates, 0)) {
  fvModelEffect.assign(static_cast<size_t>(fNModelFactors), -1);
  fvModelEffect.resize(static_cast<size_t>(fNModelFactors + fNModelCovariates), 0);
}

void MCModelEffect::Setup(int nModelFactors, int nModelCovariates,
                          const std::vector<int>* indices) {
  const int newFactors = std::max(nModelFactors, 0);
  const int newCovariates = std::max(nModelCovariates, 0);
  // Factor entries stay factor entries and covariate entries stay covariate entries, so the
  // two parts are reshaped separately.
  std::vector<int> reshaped(static_cast<size_t>(newFactors + newCovariates), 0);
  for (int i = 0; i < newFactors; ++i) {
    reshaped[static_cast<size_t>(i)] =
        i < fNModelFactors ? fvModelEffect[static_cast<size_t>(i)] : -1;
  }
  for (int j = 0; j < newCovariates && j < fNModelCovariates; ++j) {
    reshaped[static_cast<size_t>(newFactors + j)] =
        fvModelEffect[static_cast<size_t>(fNModelFactors + j)];
  }
  fvModelEffect.swap(reshaped);
  fNModelFactors = newFactors;
  fNModelCovariates = newCovariates;
  fpVarIndices = indices;
  RecountFromMainVector();
}

void MCModelEffect::Reset() {
  fvModelEffect.clear();
  fNFactors = 0;
  fNCovariates = 0;
  fNLevels = 0;
  fbFactorsInParens = false;
  fvModelEffect.assign(static_cast<size_t>(fNModelFactors), -1);
  fvModelEffect.resize(static_cast<size_t>(fNModelFactors + fNModelCovariates), 0);
}

void MCModelEffect::RecountFromMainVector() {
  fNFactors = 0;
  fNCovariates = 0;
  int deepest = -1;
  for (int i = 0; i < fNModelFactors; ++i) {
    const int level = fvModelEffect[static_cast<size_t>(i)];
    if (level >= 0) {
      ++fNFactors;
      deepest = std::max(deepest, level);
    }
  }
  for (int j = 0; j < fNModelCovariates; ++j) {
    if (fvModelEffect[static_cast<size_t>(fNModelFactors + j)] > 0) ++fNCovariates;
  }
  // The first factor added always carries the deepest level, so the levels are 0..deepest.
  fNLevels = deepest + 1;
}

int MCModelEffect::FindInVector(const std::vector<int>& list, int start, int count, int value) {
  const long long first = std::max(start, 0);
  const long long end =
      std::min(static_cast<long long>(start) + count, static_cast<long long>(list.size()));
  for (long long i = first; i < end; ++i) {
    if (list[static_cast<size_t>(i)] == value) return static_cast<int>(i);
  }
  return -1;
}

int MCModelEffect::PositionAt(int i) const {
  if (fpVarIndices == nullptr || i < 0 || static_cast<size_t>(i) >= fpVarIndices->size()) {
    return -1;
  }
  return (*fpVarIndices)[static_cast<size_t>(i)];
}

bool MCModelEffect::AddNewFactor(int position, bool nested) {
  if (fpVarIndices == nullptr) return false;
  const int k = FindInVector(*fpVarIndices, 0, fNModelFactors, position);
  if (k < 0 || fvModelEffect[static_cast<size_t>(k)] >= 0) return false;
  if (nested) {
    for (int i = 0; i < fNModelFactors; ++i) {
      if (fvModelEffect[static_cast<size_t>(i)] >= 0) ++fvModelEffect[static_cast<size_t>(i)];
    }
    ++fNLevels;
  }
  fvModelEffect[static_cast<size_t>(k)] = 0;
  ++fNFactors;
  if (fNFactors == 1) fNLevels = 1;
  return true;
}

int MCModelEffect::AddCovariate(int position) {
  if (fpVarIndices == nullptr) return -1;
  const int k = FindInVector(*fpVarIndices, fNModelFactors, fNModelCovariates, position);
  if (k < 0) return -1;
  const int mult = ++fvModelEffect[static_cast<size_t>(k)];
  if (mult == 1) ++fNCovariates;
  return mult;
}

int MCModelEffect::ContainsFactor(int position) const {
  if (fpVarIndices == nullptr) return -1;
  const int k = FindInVector(*fpVarIndices, 0, fNModelFactors, position);
  return k < 0 ? -1 : fvModelEffect[static_cast<size_t>(k)];
}

int MCModelEffect::GetCovariateMult(int position) const {
  if (fpVarIndices == nullptr) return -1;
  const int k = FindInVector(*fpVarIndices, fNModelFactors, fNModelCovariates, position);
  return k < 0 ? -1 : fvModelEffect[static_cast<size_t>(k)];
}

int MCModelEffect::GetNCovariateMult() const {
  int sum = 0;
  for (int j = 0; j < fNModelCovariates; ++j) {
    sum += fvModelEffect[static_cast<size_t>(fNModelFactors + j)];
  }
  return sum;
}

bool MCModelEffect::IsIntercept() const { return fNFactors == 0 && fNCovariates == 0; }

bool MCModelEffect::IsContainedIn(const MCModelEffect& other) const {
  if (fNFactors >= other.fNFactors || fNCovariates != other.fNCovariates ||
      fNModelFactors != other.fNModelFactors || fNModelCovariates != other.fNModelCovariates ||
      fpVarIndices != other.fpVarIndices || fvModelEffect.size() != other.fvModelEffect.size()) {
    return false;
  }
  for (int i = 0; i < fNModelFactors; ++i) {
    const size_t s = static_cast<size_t>(i);
    if (fvModelEffect[s] >= 0 && other.fvModelEffect[s] < 0) return false;
  }
  for (int j = 0; j < fNModelCovariates; ++j) {
    const size_t s = static_cast<size_t>(fNModelFactors + j);
    if (fvModelEffect[s] != other.fvModelEffect[s]) return false;
  }
  return true;
}

bool MCModelEffect::operator==(const MCModelEffect& other) const {
  return fNFactors == other.fNFactors && fNCovariates == other.fNCovariates &&
         fNModelFactors == other.fNModelFactors && fNModelCovariates == other.fNModelCovariates &&
         fNLevels == other.fNLevels && fpVarIndices == other.fpVarIndices &&
         fbFactorsInParens == other.fbFactorsInParens && fvModelEffect == other.fvModelEffect;
}

std::vector<int> MCModelEffect::GetFactors() const {
  std::vector<int> factors;
  for (int i = 0; i < fNModelFactors; ++i) {
    const int position = PositionAt(i);
    if (fvModelEffect[static_cast<size_t>(i)] >= 0 && position >= 0) factors.push_back(position);
  }
  return factors;
}

std::vector<int> MCModelEffect::GetFactorLevels() const {
  std::vector<int> levels;
  for (int i = 0; i < fNModelFactors; ++i) {
    const int level = fvModelEffect[static_cast<size_t>(i)];
    if (level >= 0 && PositionAt(i) >= 0) levels.push_back(level);
  }
  return levels;
}

std::vector<int> MCModelEffect::GetCovariates() const {
  std::vector<int> covariates;
  for (int j = fNModelFactors; j < fNModelFactors + fNModelCovariates; ++j) {
    const int position = PositionAt(j);
    if (fvModelEffect[static_cast<size_t>(j)] >= 1 && position >= 0) {
      covariates.push_back(position);
    }
  }
  return covariates;
}

std::vector<int> MCModelEffect::GetCovMultiplicities() const {
  std::vector<int> mults;
  for (int j = fNModelFactors; j < fNModelFactors + fNModelCovariates; ++j) {
    const int mult = fvModelEffect[static_cast<size_t>(j)];
    if (mult >= 1 && PositionAt(j) >= 0) mults.push_back(mult);
  }
  return mults;
}

bool MCModelEffect::ApplyMask(const std::vector<bool>& keep) {
  bool unusedOnly = true;
  for (int i = static_cast<int>(fvModelEffect.size()) - 1; i >= 0; --i) {
    const size_t s = static_cast<size_t>(i);
    if (s >= keep.size() || keep[s]) continue;
    const int entry = fvModelEffect[s];
    if (i < fNModelFactors) {
      if (entry >= 0) unusedOnly = false;
      --fNModelFactors;
    } else {
      if (entry > 0) unusedOnly = false;
      --fNModelCovariates;
    }
    fvModelEffect.erase(fvModelEffect.begin() + i);
  }
  // Keeps the counts true to the main vector even when a used entry went.
  if (!unusedOnly) RecountFromMainVector();
  return unusedOnly;
}

std::vector<bool> MCModelEffect::CheckVariableUse(const std::vector<MCModelEffect>& effects) {
  if (effects.empty()) return {};
  const int nFactors = effects.front().fNModelFactors;
  const int nCovariates = effects.front().fNModelCovariates;
  std::vector<bool> used(static_cast<size_t>(nFactors + nCovariates), false);
  for (const MCModelEffect& effect : effects) {
    // Effects of one model share their shape; a stray one is read only where it overlaps.
    for (int i = 0; i < nFactors && i < effect.fNModelFactors; ++i) {
      if (effect.fvModelEffect[static_cast<size_t>(i)] >= 0) used[static_cast<size_t>(i)] = true;
    }
    for (int j = 0; j < nCovariates && j < effect.fNModelCovariates; ++j) {
      if (effect.fvModelEffect[static_cast<size_t>(effect.fNModelFactors + j)] > 0) {
        used[static_cast<size_t>(nFactors + j)] = true;
      }
    }
  }
  return used;
}

void MCModelEffect::GetUsedVariables(const std::vector<MCModelEffect>& effects,
                                     std::vector<int>& factors, std::vector<int>& covariates) {
  if (effects.empty()) return;
  factors.clear();
  covariates.clear();
  for (const MCModelEffect& effect : effects) {
    for (int position : effect.GetFactors()) {
      if (std::find(factors.begin(), factors.end(), position) == factors.end()) {
        factors.push_back(position);
      }
    }
    for (int position : effect.GetCovariates()) {
      if (std::find(covariates.begin(), covariates.end(), position) == covariates.end()) {
        covariates.push_back(position);
      }
    }
  }
}

void MCModelEffect::Display() const {
  MCComponentDisplay::DisplayText(1, "Begin MCModelEffect object display.");
  MCComponentDisplay::DisplayI("Factors in model", fNModelFactors);
  MCComponentDisplay::DisplayI("Factors in effect", fNFactors);
  MCComponentDisplay::DisplayI("Nesting levels", fNLevels);
  MCComponentDisplay::DisplayI("Covariates in model", fNModelCovariates);
  MCComponentDisplay::DisplayB("Factor after Covariates in ()?", fbFactorsInParens);
  MCComponentDisplay::DisplayI("Covariates in effect", fNCovariates);
  MCComponentDisplay::DisplayIV("The main vector", fvModelEffect);
  MCComponentDisplay::DisplayText(1, "End MCModelEffect object display.");
}

#include "MCLogRegSettings.h"

#include "MCComponentDisplay.h"

using MCCommon::MCComponentDisplay;

MCLogRegSettings::~MCLogRegSettings() = default;

MCConst::MCRegModelType MCLogRegSettings::GetModelType() const { return MCConst::kLogisticModel; }

MCCommon::MCStatus MCLogRegSettings::IsValidSettings() const {
  return MCRegSettings::IsValidSettings();
}

bool MCLogRegSettings::SetDependentRefCat(int refCat, int nCategs) {
  if (nCategs < 2 || refCat < -2 || refCat >= nCategs) return false;
  fDependentRefCategory = refCat;
  fNDependentCategories = nCategs;
  return true;
}

// The comparisons are written so that NaN fails them.
bool MCLogRegSettings::SetLLConCriterion(double value) {
  if (!(value >= 0.0)) return false;
  fLLConCriterion = value;
  return true;
}

bool MCLogRegSettings::SetParamEstConCriterion(double value) {
  if (!(value >= 0.0)) return false;
  fParamEstConCriterion = value;
  return true;
}

bool MCLogRegSettings::SetMaxIterations(int value) {
  if (value < 0) return false;
  fMaxIterations = value;
  return true;
}

bool MCLogRegSettings::SetMaxStepHalvingValue(int value) {
  if (value < 1) return false;
  fMaxStepHalving = value;
  return true;
}

bool MCLogRegSettings::SetStartingIteration(int value) {
  if (value < 0) return false;
  fStartingIteration = value;
  return true;
}

bool MCLogRegSettings::SetIterationFrequency(int value) {
  if (value < 1) return false;
  fIterationFrequency = value;
  return true;
}

void MCLogRegSettings::Display() const {
  MCComponentDisplay::DisplayText(1, "MCLogRegSettings display start");
  MCRegSettings::Display();
  MCComponentDisplay::DisplayI("N of Dependent Categories", fNDependentCategories);
  MCComponentDisplay::DisplayI("Dependent Var reference Category", fDependentRefCategory);
  MCComponentDisplay::DisplayD("Log-Likelihood Function Convergence Criterion", fLLConCriterion);
  MCComponentDisplay::DisplayD("Parameter Estimates Convergence Criterion", fParamEstConCriterion);
  MCComponentDisplay::DisplayI("Maximum number of Iteration", fMaxIterations);
  MCComponentDisplay::DisplayI("Maximum Step-Halving Allowed", fMaxStepHalving);
  MCComponentDisplay::DisplayI("Staring Iteration", fStartingIteration);
  MCComponentDisplay::DisplayB("Log-Likelihood Function absolute change", fbLLAbsoluteChange);
  MCComponentDisplay::DisplayB("Parameter Estimates absolute change", fbParamAbsoluteChange);
  MCComponentDisplay::DisplayI("Show Iteration history frequency", fIterationFrequency);
  MCComponentDisplay::DisplayText(1, "MCLogRegSettings display end");
}

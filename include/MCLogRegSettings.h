#ifndef MCSTAT_MCLOGREGSETTINGS_H_
#define MCSTAT_MCLOGREGSETTINGS_H_

#include <cstdint>

#include "MCRegSettings.h"
#include "mcstat_export.h"

// Settings of the multinomial logistic regression: the regression settings plus the number of
// response categories and the reference category, the convergence criteria and their kind, the
// iteration limits, the iteration from which the separation check runs, the frequency of the
// iteration history and whether records are first grouped into covariate patterns.
// Setters refuse bad values (returning false and changing nothing); the logistic fields add no
// check to IsValidSettings.
class MCSTAT_EXPORT MCLogRegSettings : public MCRegSettings {
 public:
  // The base defaults; 2 categories, reference -1 (last present), criteria 0 and 1e-6,
  // 100 iterations, 5 step halvings, separation check from iteration 20, relative changes,
  // history every iteration, and no pattern tabulation.
  MCLogRegSettings() = default;
  MCLogRegSettings(const MCLogRegSettings&) = default;
  MCLogRegSettings& operator=(const MCLogRegSettings&) = default;
  ~MCLogRegSettings() override;

  // The logistic model (1).
  MCConst::MCRegModelType GetModelType() const override;
  // Exactly the regression settings' check (301, 302 or OK).
  MCCommon::MCStatus IsValidSettings() const override;
  // Writes the base settings and the logistic fields to the diagnostic stream.
  void Display() const override;

  // Needs nCategs >= 2 and -2 <= refCat < nCategs (-1 = last present category, -2 = first);
  // stores both and returns true, else false with nothing changed.
  bool SetDependentRefCat(int refCat, int nCategs);
  // Needs value >= 0 (NaN refused).
  bool SetLLConCriterion(double value);
  bool SetParamEstConCriterion(double value);
  // Needs value >= 0; 0 runs no iteration.
  bool SetMaxIterations(int value);
  // Needs value >= 1.
  bool SetMaxStepHalvingValue(int value);
  // Needs value >= 0; 0 switches the separation check off.
  bool SetStartingIteration(int value);
  // Needs value >= 1.
  bool SetIterationFrequency(int value);
  // True: the change is absolute; false: relative.
  void SetLLFuncChange(bool absolute) { fbLLAbsoluteChange = absolute; }
  void SetParamEstChange(bool absolute) { fbParamAbsoluteChange = absolute; }
  void SetUsePatternTabulator(bool use) { fbUsePatternTabulator = use; }

  int GetDependentRefCateg() const { return fDependentRefCategory; }
  int GetDependentNCategs() const { return fNDependentCategories; }
  double GetLLConCriterion() const { return fLLConCriterion; }
  double GetParamEstConCriterion() const { return fParamEstConCriterion; }
  int GetMaxIterations() const { return fMaxIterations; }
  int GetMaxStepHalvingValue() const { return fMaxStepHalving; }
  int GetStartingIteration() const { return fStartingIteration; }
  bool GetLLFuncChange() const { return fbLLAbsoluteChange; }
  bool GetParamEstChange() const { return fbParamAbsoluteChange; }
  bool GetUsePatternTabulator() const { return fbUsePatternTabulator; }
  int GetIterationFrequency() const { return fIterationFrequency; }

 private:
  int32_t fNDependentCategories = 2;
  int32_t fDependentRefCategory = -1;
  double fLLConCriterion = 0.0;
  double fParamEstConCriterion = 1e-6;
  int32_t fMaxIterations = 100;
  int32_t fMaxStepHalving = 5;
  int32_t fStartingIteration = 20;
  bool fbLLAbsoluteChange = false;
  bool fbParamAbsoluteChange = false;
  // Off unless the host asks: every record then goes through the plain data pass.
  bool fbUsePatternTabulator = false;
  int32_t fIterationFrequency = 1;
};

#endif  // MCSTAT_MCLOGREGSETTINGS_H_

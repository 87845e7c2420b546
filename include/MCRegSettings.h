#ifndef MCSTAT_MCREGSETTINGS_H_
#define MCSTAT_MCREGSETTINGS_H_

#include <vector>

#include "MCConst.h"
#include "MCModelEffect.h"
#include "MCStatus.h"
#include "ProgressListener.h"
#include "mcstat_export.h"

namespace MCCommon {
class MCQueryCancel;
}

// Description of a regression problem: the record positions of the dependent variable, the
// weights, the factors and the covariates, the model effects, the intercept and the numeric
// options. A record position holds at most one role: every role setter refuses a position
// that already has one. Copies are member-wise; the progress listener and the cancel query
// are the host's and are shared, never owned.
class MCSTAT_EXPORT MCRegSettings {
 public:
  MCRegSettings() = default;
  MCRegSettings(const MCRegSettings&) = default;
  MCRegSettings& operator=(const MCRegSettings&) = default;
  virtual ~MCRegSettings() = default;

  // The model this settings object describes: the linear model here.
  virtual MCConst::MCRegModelType GetModelType() const;
  // Error 301 without a dependent; error 302 without intercept and without model effects;
  // OK otherwise.
  virtual MCCommon::MCStatus IsValidSettings() const;
  // Makes the position the dependent. False, changing nothing, when it is negative, already
  // has a role, or a dependent is already set.
  virtual bool SetDependent(int position);
  // Appends a covariate; the new number of covariates, or -1 (nothing changed) when the
  // position is negative or already has a role.
  virtual int AddCovariate(int position);
  // Appends a copy of the effect (duplicates are not looked for); always true.
  virtual bool AddModelEffect(const MCModelEffect& effect);
  // Writes the settings and their effects to the diagnostic stream.
  virtual void Display() const;

  // Role setters: false (or -1), changing nothing, when the position is negative or already
  // has a role, or when the role list cannot grow.
  bool SetFrequencyWeightVar(int position);
  bool SetRegrWeightVar(int position);
  // Appends a factor with size categories; the new number of factors, or -1 also when the
  // size is below 1.
  int AddFactor(int position, int size);

  void SetInterceptUse(bool use) { fbInterceptUse = use; }
  // Stored as given; the models treat a negative tolerance as 0.
  void SetTolerance(double tolerance) { fTolerance = tolerance; }
  // Stored only when 0 <= level < 1; any other value (NaN included) is ignored.
  void SetConfidenceLevel(double level);
  // Stored only when df > 0; any other value is ignored.
  void SetDF(double df);
  void SetTestType(MCConst::MCTestType type) { fTestType = type; }
  void SetPAdjustment(MCConst::MCPAdjustMethod method) { fPAdjustment = method; }
  // The listener stays the host's; it must outlive every use of these settings.
  void SetProgressListener(ProgressListener* listener) { fpProgressListener = listener; }
  // The cancel query stays the host's; it must outlive every use of these settings.
  void SetCancelPointer(MCCommon::MCQueryCancel* cancel) { fpCancel = cancel; }
  void SetCovbType(MCConst::MCCovbType type) { fCovbType = type; }

  int GetDependent() const { return fDependent; }
  const std::vector<int>& GetFactors() const { return fvFactors; }
  const std::vector<int>& GetFactorSizes() const { return fvFactorSizes; }
  const std::vector<int>& GetCovariates() const { return fvCovariates; }
  int GetFrequencyWeightVar() const { return fFreqWeightVar; }
  int GetRegrWeightVar() const { return fRegrWeightVar; }
  bool GetInterceptUse() const { return fbInterceptUse; }
  double GetTolerance() const { return fTolerance; }
  const std::vector<MCModelEffect>& GetModelEffects() const { return fvModelEffects; }
  int GetNModelEffects() const { return static_cast<int>(fvModelEffects.size()); }
  double GetConfidenceLevel() const { return fConfidenceLevel; }
  // The degrees of freedom given by the host, or -1.0 when none was given.
  double GetDF() const { return fDF; }
  MCConst::MCTestType GetTestType() const { return fTestType; }
  MCConst::MCPAdjustMethod GetPAdjustment() const { return fPAdjustment; }
  ProgressListener* GetProgressListener() const { return fpProgressListener; }
  MCCommon::MCQueryCancel* GetCancelPointer() const { return fpCancel; }
  // The role of every record position assigned so far, indexed by position.
  const std::vector<MCConst::MCVariableType>& GetVariableTypes() const { return fvVariableTypes; }
  MCConst::MCCovbType GetCovbType() const { return fCovbType; }

 private:
  // True when the position is not negative and has no role yet.
  bool IsFreePosition(int position) const;
  // Writes the role when the position is free, growing the role list as needed; false when
  // the position is negative, taken, or the list cannot grow.
  bool AssignRole(int position, MCConst::MCVariableType role);

  int fDependent = -1;
  std::vector<int> fvFactors;
  std::vector<int> fvFactorSizes;
  std::vector<int> fvCovariates;
  int fFreqWeightVar = -1;
  int fRegrWeightVar = -1;
  bool fbInterceptUse = true;
  double fTolerance = 1e-12;
  std::vector<MCModelEffect> fvModelEffects;
  double fConfidenceLevel = 0.95;
  double fDF = -1.0;
  MCConst::MCTestType fTestType = MCConst::kWaldTest;
  MCConst::MCPAdjustMethod fPAdjustment = MCConst::kNoAdjustment;
  ProgressListener* fpProgressListener = nullptr;  // not owned
  MCCommon::MCQueryCancel* fpCancel = nullptr;     // not owned
  std::vector<MCConst::MCVariableType> fvVariableTypes;
  MCConst::MCCovbType fCovbType = MCConst::kModelBased;
};

#endif  // MCSTAT_MCREGSETTINGS_H_

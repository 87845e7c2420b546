#ifndef MCSTAT_MCREGRPARAMETER_H_
#define MCSTAT_MCREGRPARAMETER_H_

#include <vector>

#include "MCMV.h"
#include "mcstat_export.h"

class MCModelEffect;

// One estimated parameter, that is one column of the design matrix: the factor categories
// and covariate powers it stands for, the effect it belongs to and, for the logistic model,
// its response category. Factors are kept in ascending order of nesting level.
class MCSTAT_EXPORT MCRegrParameter {
 public:
  MCRegrParameter() = default;

  // Builds the parameter from a non-intercept effect: every factor of the effect with the
  // given category (callers then set each factor's category through GetCategories()), and
  // the effect's covariates. False, changing nothing, for the intercept or a negative index.
  bool SetupFromEffect(const MCModelEffect& effect, int effectIndex, int category);
  // Inserts a factor before the first one with a greater nesting level (ties keep insertion
  // order). False when position or level is negative or the position is already present.
  bool AddFactor(int position, int category, int nestLevel);
  // Adds multiplicity to the covariate's power, appending it when new; the resulting power,
  // or 0 when the position is negative or multiplicity is below 1.
  int AddCovariate(int position, int multiplicity);

  // The category of the factor at this position, or notFound.
  int ContainsFactor(int position, int notFound) const;
  // The covariate's power, or 0 when it is absent.
  int GetCovariateMult(int position) const;
  // Sum of the covariate powers.
  int GetNCovariateMult() const;
  // True with no factors and no covariates.
  bool IsIntercept() const;

  int GetNFactors() const { return static_cast<int>(fvFactors.size()); }
  int GetNCovariates() const { return static_cast<int>(fvCovariates.size()); }
  const std::vector<int>& GetFactors() const { return fvFactors; }
  const std::vector<int>& GetCategories() const { return fvCategories; }
  // Writable categories, parallel to GetFactors(); the list must keep its size.
  std::vector<int>& GetCategories() { return fvCategories; }
  const std::vector<int>& GetFactorNestLevels() const { return fvFactorNestLevels; }
  const std::vector<int>& GetCovariates() const { return fvCovariates; }
  const std::vector<int>& GetCovariateMultiplicities() const { return fvCovariateMults; }
  int GetEffectIndex() const { return fEffectIndex; }
  // Negative values are ignored.
  void SetEffectIndex(int effectIndex);
  int GetTargetCategory() const { return fTargetCategory; }
  void SetTargetCategory(int category) { fTargetCategory = category; }

  // Equal effect index, target category and all five lists.
  bool operator==(const MCRegrParameter& other) const;
  bool operator!=(const MCRegrParameter& other) const { return !(*this == other); }

  // Writes the lists and indices to the diagnostic stream.
  void Display() const;

 private:
  std::vector<int> fvFactors;
  std::vector<int> fvCategories;
  std::vector<int> fvFactorNestLevels;
  std::vector<int> fvCovariates;
  std::vector<int> fvCovariateMults;
  int fEffectIndex = -1;
  int fTargetCategory = -1;
};

// Statistics of one parameter as the output statistics report them. The models fill the
// index, estimate, flag and effect index; the other fields keep their defaults until a
// caller computes them.
struct MCSTAT_EXPORT MCRegrParameterStats {
  // Square root of the design effect; the missing value when the design effect is missing,
  // negative or NaN.
  double GetSqrtDeff() const;

  int fParamIndex = -1;
  double fEstimate = MCMV::Missing();
  int fNotRedundant = 1;  // 1 for a non-redundant parameter, 0 for a redundant one
  double fStdError = MCMV::Missing();
  double fLowerBound = MCMV::Missing();  // confidence interval of the estimate
  double fUpperBound = MCMV::Missing();
  double fTestStatistic = MCMV::Missing();  // t (linear) or Wald (logistic)
  double fDF = 0.0;                         // degrees of freedom of the test
  double fSig = MCMV::Missing();            // significance of the test
  double fDeff = MCMV::Missing();           // design effect
  int fEffectIndex = -1;
  double fAdjustedSig = MCMV::Missing();  // significance after the p-value adjustment
};

#endif  // MCSTAT_MCREGRPARAMETER_H_

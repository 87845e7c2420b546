#ifndef MCSTAT_MCMODELEFFECT_H_
#define MCSTAT_MCMODELEFFECT_H_

#include <vector>

#include "mcstat_export.h"

// One effect of a regression model (main effect, interaction, nested term or covariate
// power) over the model's factors and covariates.
//
// The effect points to a list of record positions shared by every effect of one model:
// its first part lists the model's factors, its second part the model's covariates. The
// main vector is laid out the same way: one entry per model factor (-1 when the factor is
// not in the effect, otherwise its nesting level, 0 = innermost), then one entry per model
// covariate (its power in the effect, 0 when absent). An effect with no factor and no
// covariate is the intercept.
class MCSTAT_EXPORT MCModelEffect {
 public:
  // No indices, empty main vector, all counts 0.
  MCModelEffect() = default;
  // A main vector of nModelFactors entries -1 followed by nModelCovariates entries 0.
  // Negative counts are taken as 0. The indices list is not owned and must outlive the effect.
  MCModelEffect(int nModelFactors, int nModelCovariates, const std::vector<int>* indices);

  // Sets the model counts and the indices and reshapes the main vector: existing factor and
  // covariate entries are kept, new factor entries are -1, new covariate entries 0. The effect
  // counts are recomputed from the entries that remain.
  void Setup(int nModelFactors, int nModelCovariates, const std::vector<int>* indices);
  // Empties the effect (no factor, no covariate, flag off) keeping its model shape and indices.
  void Reset();

  // Adds a model factor to the effect. With nested true every factor already in the effect
  // goes one level deeper. False when the position is not a model factor or already in use.
  bool AddNewFactor(int position, bool nested);
  // Raises the power of a model covariate by one; the new power, or -1 when the position is
  // not a model covariate.
  int AddCovariate(int position);

  // Nesting level of the factor at this record position, or -1 when it is not in the effect.
  int ContainsFactor(int position) const;
  // Power of the covariate at this record position (0 when absent from the effect), or -1
  // when the position is not a model covariate.
  int GetCovariateMult(int position) const;
  // Sum of all covariate powers: the degree of the covariate part.
  int GetNCovariateMult() const;
  // True when the effect has no factor and no covariate.
  bool IsIntercept() const;
  // True when this effect has fewer factors than other, the same covariate part, the same
  // model shape and indices, and every factor of this effect is also in other.
  bool IsContainedIn(const MCModelEffect& other) const;

  bool operator==(const MCModelEffect& other) const;
  bool operator!=(const MCModelEffect& other) const { return !(*this == other); }

  // Record positions of the factors in the effect, in model order, and their levels.
  std::vector<int> GetFactors() const;
  std::vector<int> GetFactorLevels() const;
  // Record positions of the covariates with power at least 1, in model order, and the powers.
  std::vector<int> GetCovariates() const;
  std::vector<int> GetCovMultiplicities() const;

  // Removes, from the last entry to the first, every main-vector entry whose keep flag is
  // false (entries beyond the flags are kept) and shrinks the model counts to match. The
  // indices list is not touched: the caller masks it alike. False when a removed entry was
  // used by the effect; the effect counts then drop with it.
  bool ApplyMask(const std::vector<bool>& keep);

  // One flag per model position (shape of the first effect): true where any effect uses it.
  // Empty for an empty list.
  static std::vector<bool> CheckVariableUse(const std::vector<MCModelEffect>& effects);
  // Fills factors and covariates with the record positions the effects use, each once, in
  // order of first use. With no effects both lists are left unchanged.
  static void GetUsedVariables(const std::vector<MCModelEffect>& effects, std::vector<int>& factors,
                               std::vector<int>& covariates);

  const std::vector<int>& GetModelEffect() const { return fvModelEffect; }
  int GetNFactors() const { return fNFactors; }
  int GetNModelFactors() const { return fNModelFactors; }
  int GetNCovariates() const { return fNCovariates; }
  int GetNModelCovariates() const { return fNModelCovariates; }
  int GetNLevels() const { return fNLevels; }
  const std::vector<int>* GetVarIndices() const { return fpVarIndices; }
  void SetVarIndices(const std::vector<int>* indices) { fpVarIndices = indices; }
  bool GetFactorsInParens() const { return fbFactorsInParens; }
  void SetFactorsInParens(bool inParens) { fbFactorsInParens = inParens; }

  // Writes the counts, the flag and the main vector to the diagnostic stream.
  void Display() const;

 protected:
  // Index of the first element equal to value among list[start .. start+count-1] (indices
  // outside the list are skipped), or -1.
  static int FindInVector(const std::vector<int>& list, int start, int count, int value);

 private:
  // Record position of main-vector entry i, or -1 when the indices do not cover it.
  int PositionAt(int i) const;
  // Recomputes the effect counts and levels from the main vector.
  void RecountFromMainVector();

  const std::vector<int>* fpVarIndices = nullptr;  // not owned
  std::vector<int> fvModelEffect;
  int fNModelFactors = 0;
  int fNModelCovariates = 0;
  int fNFactors = 0;
  int fNCovariates = 0;
  int fNLevels = 0;
  bool fbFactorsInParens = false;
};

#endif  // MCSTAT_MCMODELEFFECT_H_

#ifndef MCSTAT_REGRESSION_MCACCUMSTATS_H_
#define MCSTAT_REGRESSION_MCACCUMSTATS_H_

// Accumulators of one data pass of the logistic estimation: log-likelihood, score vector and
// information matrix at given parameters. Internal to the library; exported for the tests.

#include <cstdint>
#include <vector>

#include "../mcmath/MCDDKernels.h"
#include "MCConst.h"
#include "MCRegSettings.h"
#include "MCSymBlockMatrix.h"
#include "MCSymMatrix.h"
#include "mcstat_export.h"

// Receives one expanded design row at a time during a pass and accumulates the likelihood
// statistics at the current parameters.
class MCSTAT_EXPORT IMCAccumStats {
 public:
  virtual ~IMCAccumStats();
  // Back to an empty accumulation; the method and the separation flag hold for the next pass.
  virtual void Reset(MCConst::MCEstimationMethod method, bool separationCheck) = 0;
  // Whether the current parameters satisfy the model's constraints.
  virtual bool CheckConstraints() = 0;
  // Accumulates one row (sparse design row, category index, weight). 0 when accumulated, -1
  // when refused (nothing accumulated).
  virtual int UpdateForRow(const std::vector<int>& indices, const std::vector<double>& values,
                           int category, double weight, bool llOnly) = 0;
  virtual double GetLL() const = 0;
  virtual const std::vector<double>& GetScores() const = 0;
  // The accumulated information matrix as a full symmetric matrix.
  virtual void GetHessian(MCCommonMath::MCSymMatrix& out) const = 0;
  // Rows accumulated, rows whose probabilities were not computable, accumulated weight.
  virtual void GetCounts(int& nValid, int& nInvalid, double& weight) const = 0;
  // Smallest and largest fitted probability of the observed category, smallest fitted
  // probability of any category (tracked only with the separation check on).
  virtual void GetMinMaxProbabilities(double& minObserved, double& maxObserved,
                                      double& minComputed) const = 0;
  // Divisor of the step halving beyond the factor 2.
  virtual double GetStepAdjustmentFactor() const = 0;
  virtual void Display(bool full) const = 0;

  // The same sums in double-double, for the estimation's comparisons and factorisations. An
  // accumulator that adds in double gives its values with a zero low part.
  virtual MCCommonMath::ddkernels::DD GetLLExtended() const;
  virtual void GetScoresExtended(std::vector<MCCommonMath::ddkernels::DD>& out) const;
  // The information matrix, packed lower-triangular.
  virtual void GetHessianExtended(std::vector<MCCommonMath::ddkernels::DD>& out) const;
  // Parameters (not owned; null to clear) whose log-likelihood baseLL is known. While they are
  // set, a log-likelihood-only pass may give its log-likelihood as baseLL plus the sum of every
  // row's change, formed from the parameter difference: near the optimum that change is far
  // below the rounding of either log-likelihood, and its sign is what step halving asks.
  // Nothing by default.
  virtual void SetLLBase(const std::vector<double>* base,
                         const MCCommonMath::ddkernels::DD& baseLL);
  // A magnitude S of the last direct pass's log-likelihood terms: the rounding of that
  // log-likelihood stays far below 2^-40 S, so two log-likelihoods that differ by more than
  // 2^-40 times their magnitudes are ordered by their values, and only a smaller difference
  // needs the exact change. Infinite (never decisive) by default. An accumulator that gives a
  // finite magnitude also gives the exact change from a full pass (GetLLByChange).
  virtual double GetLLScale() const;
  // After a pass with a base set (SetLLBase), full or log-likelihood-only: the log-likelihood
  // as the base's plus the sum of the rows' exact changes. False (the default) when the pass
  // gave no changes.
  virtual bool GetLLByChange(MCCommonMath::ddkernels::DD& ll) const;

  // Rows that share their design (a stored pattern): every row has the sparse indices given
  // here, strictly increasing, and the value of entry k is the row's value of column
  // columns[k] (of nColumns). A pass may hand such rows over as BeginPattern, then
  // UpdateForPatternRow with each row's nColumns column values (0 when accumulated, -1 when
  // refused, as UpdateForRow), then EndPattern before anything is read. BeginPattern answers
  // false (the default) when the accumulator takes rows one by one only; the rows then go to
  // UpdateForRow.
  virtual bool BeginPattern(const std::vector<int>& indices, const std::vector<int>& columns,
                            int nColumns, int nRows);
  virtual int UpdateForPatternRow(const double* columnValues, int category, double weight,
                                  bool llOnly);
  virtual void EndPattern();
};

// What one logistic pass accumulates, as a value: a part of the records' statistics, which
// merges with the parts of other records into the statistics of all of them (the sums exactly,
// the counts added, the probability extremes as extremes). The shape is that of the
// accumulator: p parameters per logit, K categories.
struct MCSTAT_EXPORT MCLogitSums {
  int fNParameters = 0;
  int fNCategories = 0;
  // Log-likelihood (or, in a pass of changes, the sum of the changes), weight, and the changes
  // of a full pass.
  MCCommonMath::ddkernels::DDSums fTotals;
  MCCommonMath::ddkernels::DDSums fScores;
  // The information with the (K-1)K/2 blocks (j, l), l <= j, kept together per packed
  // position of a p x p block (the layout of ddkernels::AddOuterSparseBlocks).
  std::vector<double> fvHessian;
  std::int64_t fNValidRows = 0;
  std::int64_t fNInvalidCalls = 0;
  double fMinObservedProb = 0.0;
  double fMaxObservedProb = 0.0;
  double fMinComputedProb = 0.0;
  // The log-likelihood's magnitude (a bound, not an exact sum: parts add their bounds).
  double fLLScale = 0.0;
  // The pass added only each row's change from a base; a full pass added the changes too.
  bool fbChangePass = false;
  bool fbHasChanges = false;

  // Sized for p and K, everything zero and the extremes at their starting values.
  void Shape(int p, int K);
  void Clear();
  bool SameShape(const MCLogitSums& other) const;
  // Adds the sums of other records; false (nothing changed) for another shape.
  bool Merge(const MCLogitSums& other);
};

// The multinomial logit accumulator. K categories, the last (K-1) the reference; p parameters
// per logit; the parameter vector holds (K-1) p values, block j those of logit j. It keeps a
// reference to the caller's parameters, which must not change during a pass.
//
// With the canonical link the observed and the expected information coincide, so the stored
// estimation method changes nothing. The accumulated matrix is the (positive semi-definite)
// information matrix, block (j, l) = sum w pi_j (delta_jl - pi_l) x x'.
//
// Every sum is double-double: each row's terms (w log pi, w (y - pi) x, w pi (delta - pi) x x')
// are added without loss, so the sums are those of the rows' terms, in any order and over any
// number of rows; the double getters give their roundings.
class MCSTAT_EXPORT MCAccumStatsLogistic : public IMCAccumStats {
 public:
  // Invalid when p < 0, K < 2, (K-1) p exceeds the int range or params holds fewer than
  // (K-1) p values, or when the sums cannot be allocated.
  MCAccumStatsLogistic(const MCRegSettings& settings, int p, int K,
                       const std::vector<double>& params);
  // The bytes an accumulator of this shape allocates (about).
  static double RequiredBytes(int p, int K);
  MCAccumStatsLogistic(const MCAccumStatsLogistic&) = default;
  MCAccumStatsLogistic& operator=(const MCAccumStatsLogistic&) = delete;
  ~MCAccumStatsLogistic() override;

  bool IsValid() const { return fbValid; }

  // Zeroes the sums and counts, resets the three probability extremes.
  void Reset(MCConst::MCEstimationMethod method, bool separationCheck) override;
  // Always true: the multinomial logit has no constraints.
  bool CheckConstraints() override;
  // -1 for an invalid object, a malformed row (lists of different lengths, indices not
  // strictly increasing, negative or >= p), a category outside 0 .. K-1 or a weight not above
  // 0; -1 with the invalid count raised when the probabilities are not finite. An empty row
  // (all design values zero) is valid: every linear predictor is 0.
  int UpdateForRow(const std::vector<int>& indices, const std::vector<double>& values, int category,
                   double weight, bool llOnly) override;
  double GetLL() const override;
  const std::vector<double>& GetScores() const override;
  // out becomes the (K-1) p matrix (emptied for an invalid object).
  void GetHessian(MCCommonMath::MCSymMatrix& out) const override;
  void GetCounts(int& nValid, int& nInvalid, double& weight) const override;
  void GetMinMaxProbabilities(double& minObserved, double& maxObserved,
                              double& minComputed) const override;
  // Always 1: the step is simply halved.
  double GetStepAdjustmentFactor() const override;
  // Writes the fields; with full also the Hessian's blocks.
  void Display(bool full) const override;
  MCCommonMath::ddkernels::DD GetLLExtended() const override;
  void GetScoresExtended(std::vector<MCCommonMath::ddkernels::DD>& out) const override;
  void GetHessianExtended(std::vector<MCCommonMath::ddkernels::DD>& out) const override;
  // Log-likelihood-only passes without the separation check then add each row's change.
  void SetLLBase(const std::vector<double>* base,
                 const MCCommonMath::ddkernels::DD& baseLL) override;
  // The sum over the rows of w (|log pi_ref| + (m + 2) sum_k |x_k| max_j |beta_jk|) for rows of
  // m entries: a few units of rounding of it bound what the rounding of every predictor (a sum
  // of m products) and log-probability can reach. 0 after a change pass.
  double GetLLScale() const override;
  // A full pass with a base adds the changes besides its own terms.
  bool GetLLByChange(MCCommonMath::ddkernels::DD& ll) const override;
  // A pattern's rows give the terms UpdateForRow gives them. Where the pattern has enough rows
  // and fewer columns than parameters, their scores and information go to sums over its
  // columns, which EndPattern adds to the totals: the same terms, exact, in fewer sums.
  bool BeginPattern(const std::vector<int>& indices, const std::vector<int>& columns, int nColumns,
                    int nRows) override;
  int UpdateForPatternRow(const double* columnValues, int category, double weight,
                          bool llOnly) override;
  void EndPattern() override;

  // The sums of the pass so far.
  const MCLogitSums& GetSums() const { return fSums; }
  // The pass's sums become those given (the merged parts of a pass at these parameters);
  // false, nothing changed, for another shape.
  bool AdoptSums(MCLogitSums&& sums);
  // Hands the pass's sums over (the accumulator is then reset).
  void TakeSums(MCLogitSums& out);
  // The base of the changes and its log-likelihood (SetLLBase), null when none.
  const std::vector<double>* GetLLBase() const { return fpBase; }
  const MCCommonMath::ddkernels::DD& GetBaseLL() const { return fBaseLL; }
  const std::vector<double>& GetParameters() const { return fvParameters; }

  const MCRegSettings& GetSettings() const { return fSettings; }
  int GetNParameters() const { return fNParameters; }
  int GetNCategories() const { return fNCategories; }
  bool GetSeparationCheck() const { return fbSeparationCheck; }
  MCConst::MCEstimationMethod GetEstimationMethod() const { return fEstimationMethod; }

 private:
  void ResetExtremes();
  // The accumulated weight, rounded.
  double GetWeight() const;
  // Accumulates a well-formed row of m entries (0 the empty row); its scores and information go
  // to the pattern's column sums when columnValues (the row's column values) is given.
  int AddRow(const int* idx, const double* val, int m, int category, double weight, bool llOnly,
             const double* columnValues);
  // Brings the scores up to the running sums.
  void SyncScores() const;
  // visit(packed position in the matrix of order (K-1) p, normalised sum) for every element.
  template <typename Visit>
  void ForEachHessianElement(Visit visit) const;

  const MCRegSettings& fSettings;
  int fNParameters = 0;
  int fNCategories = 0;
  const std::vector<double>& fvParameters;
  // Filled from the score sums when read.
  mutable std::vector<double> fvScores;
  MCConst::MCEstimationMethod fEstimationMethod = MCConst::kNewtonRaphson;
  bool fbSeparationCheck = false;
  bool fbValid = false;

  // Category probabilities of the current row, reused from row to row.
  std::vector<double> fvProb;
  // Linear predictors of the current row.
  std::vector<double> fvEta;
  // The running sums of the pass; a row adds to one short run of the information per pair of
  // its non-zero entries.
  MCLogitSums fSums;
  mutable bool fbScoresCurrent = true;
  // The row's coefficient of every block as an exact pair, and the doubles of the score and
  // information coefficients before the weight.
  std::vector<MCCommonMath::ddkernels::DD> fvBlockCoef;
  std::vector<double> fvRowWork;
  // The base of the changes (SetLLBase), the parameter difference of the pass, the base
  // row's predictors and probabilities, and whether the pass adds changes.
  const std::vector<double>* fpBase = nullptr;
  MCCommonMath::ddkernels::DD fBaseLL;
  std::vector<double> fvDelta;
  std::vector<double> fvEta0;
  std::vector<double> fvProb0;
  // The changes of the predictors of a row.
  std::vector<double> fvEtaChange;
  // Per parameter of a block, the largest absolute value over the logits (set by Reset).
  std::vector<double> fvLargestParameter;
  // The pattern being added (BeginPattern): its indices, their columns, a row's values, and
  // when its column sums are used, the column numbers 0..c-1 and those sums (the scores' high
  // parts, logit by logit, then their low parts; the information in the layout of
  // fvHessianSums over a c x c block).
  bool fbInPattern = false;
  bool fbPatternMoments = false;
  bool fbPatternAdded = false;
  std::vector<int> fvPatternIndex;
  std::vector<int> fvPatternColumn;
  std::vector<double> fvPatternValues;
  std::vector<int> fvColumnIndex;
  std::vector<double> fvPatternScores;
  std::vector<double> fvPatternInformation;
  // The change of w log(pi of the observed category) from the base parameters to the current
  // ones for a valid row; false when it cannot be formed.
  bool RowChange(const int* idx, const double* val, int m, int category, double& change);
};

#endif  // MCSTAT_REGRESSION_MCACCUMSTATS_H_

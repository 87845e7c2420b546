#ifndef MCSTAT_MCFACTORTABLES_H_
#define MCSTAT_MCFACTORTABLES_H_

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "MCConst.h"
#include "MCExactSum.h"
#include "MCHashKey.h"
#include "MCRecord.h"
#include "mcstat_export.h"

template <typename V>
class MCHashtable;
class MCPartCodecTables;

// Weighted and unweighted counts of the valid records per factor category and, for a
// categorical dependent, per response category (with the weighted sums of an optional offset).
// A category code c stands for the index c + 0.5 truncated, minus the category base; codes
// whose index falls outside [0, number of categories) are not counted.
//
// Weighted sums are kept in double-double (compensated), and the counts shown are their double
// roundings: counts of disjoint parts of the data merge (Merge) into the counts of the whole.
class MCSTAT_EXPORT MCFactorCounts {
 public:
  // (weighted count, unweighted count), or for the offset list (sum of offset x weight, sum of
  // weight).
  using CountPair = std::pair<double, double>;
  using CountList = std::vector<CountPair>;

  // No factors, nothing counted.
  MCFactorCounts() = default;
  // One list of (0, 0) pairs per factor, as long as its number of categories; the dependent is
  // counted when its position is not negative and it has at least one category (otherwise its
  // position is kept as -1). The offset is the record's value at offsetVar (type 1), the fixed
  // offsetValue (type 2) or 0 (type 0). Factors without a size are dropped.
  MCFactorCounts(const std::vector<int>& factors, const std::vector<int>& factorSizes,
                 int freqWeight, int dependent, int nDependentCategories, int categoryBase,
                 int offsetVar, double offsetValue, MCConst::MCOffsetType offsetType);
  MCFactorCounts(const MCFactorCounts&) = default;
  MCFactorCounts& operator=(const MCFactorCounts&) = default;
  virtual ~MCFactorCounts();

  // Counts one record with its frequency weight f (1 without a weight position): every factor
  // whose index is in range gains (f, 1). False when any factor is out of range (the others are
  // still counted), when a counted dependent is out of range (nothing of it counted), or when
  // the record does not reach every position used; true otherwise.
  bool Update(const MCCommon::Record& record);
  // Whether a record with these values is counted: every factor and a counted dependent inside
  // its range. The passes after the first skip a record that is not: it is in none of the
  // totals. values must reach every factor and dependent position.
  bool IsCounted(const double* values) const;

  int GetNFactors() const { return fNFactors; }
  // Number of categories of the factor; -1 for an index out of range.
  int GetNCategories(int factor) const;
  // Number of categories with a weighted count above 0; -1 for an index out of range.
  int GetNActiveCategories(int factor) const;
  // The factor's count pairs, one per category; null for an index out of range.
  const CountList* GetCountsPtr(int factor) const;
  // The dependent's count pairs; null when no dependent is counted.
  const CountList* GetDependCountsPtr() const;
  // The dependent's (offset x weight, weight) sums per category; null when none is counted.
  const CountList* GetDepCountsWithOffsetPtr() const;

  // Adds the counts of other, which must count the same factors, dependent, weight and
  // offset (counts of another part of the data). False, nothing changed, when it does not.
  bool Merge(const MCFactorCounts& other);
  // Whether other counts the same factors, dependent, weight and offset.
  bool SameLayout(const MCFactorCounts& other) const;

  const std::vector<int>& GetFactorIndices() const { return fvFactorIndices; }
  const std::vector<int>& GetFactorSizes() const { return fvFactorNCategories; }
  int GetWeightVar() const { return fWeightVar; }
  int GetDependVar() const { return fDependVar; }
  int GetNDependCategories() const { return fNDependCategories; }
  int GetCategoryBase() const { return fCategoryBase; }
  int GetOffsetVar() const { return fOffsetVar; }
  double GetOffsetValue() const { return fOffsetValue; }
  MCConst::MCOffsetType GetOffsetType() const { return fOffsetType; }

  // Writes the labelled fields between "MCFactorCounts display start" and "... end".
  void Display() const;

 protected:
  // Category index of a code: (code + 0.5) truncated minus the base, or -1 when that falls
  // outside [0, nCategories) or is not a number.
  static int CategoryIndex(double value, int base, int nCategories) {
    const double index = std::trunc(value + 0.5) - static_cast<double>(base);
    return (index >= 0.0 && index < static_cast<double>(nCategories)) ? static_cast<int>(index)
                                                                      : -1;
  }

  // The record's frequency weight, or 1 without a weight position.
  double FrequencyWeight(const double* values) const {
    return fWeightVar >= 0 ? values[fWeightVar] : 1.0;
  }
  double OffsetOf(const double* values) const;
  // Counts every factor of the record, writing each category index (or -1) to indices when
  // given. False when any factor is out of range.
  bool CountFactors(const double* values, double f, int* indices);
  // Counts a dependent (when one is counted); false when it is out of range.
  bool CountDependent(const double* values, double f);
  // Largest record position the counting reads.
  int MaxCountPosition() const { return fMaxPosition; }

  using ExactSum = MCCommonMath::MCExactSum;
  // sum += a x b exactly; returns the double rounding of the new sum.
  static double AddExact(ExactSum& sum, double a, double b) {
    sum.AddProduct(a, b);
    return sum.Value();
  }
  // sum += other; returns the double rounding.
  static double MergeExact(ExactSum& sum, const ExactSum& other) {
    sum.Merge(other);
    return sum.Value();
  }

 private:
  friend class MCPartCodecTables;

  std::vector<int> fvFactorIndices;
  std::vector<int> fvFactorNCategories;
  int fNFactors = 0;
  int fWeightVar = -1;
  int fDependVar = -1;
  int fNDependCategories = 0;
  int fCategoryBase = 0;
  std::vector<CountList> fvFactorCounts;
  CountList fvDependCounts;
  CountList fvDepCountsWithOffset;
  int fOffsetVar = -1;
  double fOffsetValue = 0.0;
  MCConst::MCOffsetType fOffsetType = MCConst::kNoOffset;
  int fMaxPosition = -1;
  // The exact sums behind the weighted counts above (the .first of every pair, and both
  // members of the offset pairs).
  std::vector<std::vector<ExactSum>> fvFactorSums;
  std::vector<ExactSum> fvDependSums;
  std::vector<std::pair<ExactSum, ExactSum>> fvDepOffsetSums;
};

// The factor counts plus what the design needs from the first data pass: for every model effect
// that contains factors, the category combinations occurring in the data (a hash table keyed by
// the combination's category indices), parameter indices for those combinations, running
// weighted means of a list of covariates, and the total weights.
//
// Effects are numbered in the order given to SetModelEffectFactors (the model effects, the
// intercept included); the effects with factors are also numbered among themselves (local
// effect indices). Row lookups are const but reuse internal buffers: the lists they return stay
// valid until the next lookup, and one object serves one thread at a time.
//
// The totals and the covariate sums (sums of frequency x regression weight x value) are exact
// double-double sums and a mean is their quotient, correctly rounded: tables of disjoint parts
// of the data merge (Merge: the union of the combinations, the sums added) into the tables of
// the whole, which number their parameters as those of one pass would.
class MCSTAT_EXPORT MCFactorTables : public MCFactorCounts {
 public:
  MCFactorTables();
  // As MCFactorCounts; no model effects and no covariates yet.
  MCFactorTables(const std::vector<int>& factors, const std::vector<int>& factorSizes,
                 int freqWeight, int dependent, int nDependentCategories, int categoryBase,
                 int offsetVar, double offsetValue, MCConst::MCOffsetType offsetType);
  // Deep copies, combination tables included.
  MCFactorTables(const MCFactorTables& other);
  MCFactorTables& operator=(const MCFactorTables& other);
  ~MCFactorTables() override;

  // Tabulates one record (meant for valid records): counts it, and unless a factor or counted
  // dependent is out of range (result false, nothing further recorded) registers each effect's
  // combination, adds to the totals and updates the covariate means. False also when a new
  // combination cannot be stored or the record does not reach every position used.
  virtual bool UpdateAll(const MCCommon::Record& record);
  // Numbers the parameters: over the effects in order, one index for an effect without factors
  // and one per stored combination, in MCHashKey order, for an effect with factors. Returns the
  // number of parameters.
  virtual int CreateParameterIndices();

  // One list of factor record positions per model effect (empty for the intercept), in the
  // order the effect's parameters list them; factors is the model's factor list, which must be
  // the one the tables were built with. Replaces any earlier effects and their tables. False,
  // leaving no effects, when a listed position is not one of the factors.
  bool SetModelEffectFactors(const std::vector<std::vector<int>>& effectFactors,
                             const std::vector<int>& factors);
  // The record positions whose weighted means are tracked; the means restart at 0.
  void SetCovariates(const std::vector<int>& positions);
  // Record position of the regression weight, or -1 for none.
  void SetRegrWeightVar(int position);
  // Positions of the factors inside an extracted record (kept for the callers that use them).
  void SetExtractedFactorIndices(const std::vector<int>& indices) {
    fvExtractedFactorIndices = indices;
  }

  int GetNModelEffects() const { return fNModelEffects; }
  // Number of model effects that contain factors.
  int GetNEffects() const { return fNEffects; }
  // The factor record positions of every model effect, as set.
  std::vector<std::vector<int>> GetModelEffectFactors() const;
  int GetNCovariates() const { return fNCovariates; }
  const std::vector<int>& GetCovariates() const { return fvCovariateIndices; }
  int GetFreqWeightVar() const { return fFreqWeightVar; }
  int GetRegrWeightVar() const { return fRegrWeightVar; }
  const std::vector<int>& GetExtractedFactorIndices() const { return fvExtractedFactorIndices; }
  // Total frequency weight of the tabulated records.
  double GetTotalWeight() const { return fTotalWeight; }
  // Total of frequency weight x regression weight.
  double GetTotalRegrWeight() const { return fTotalRegrWeight; }
  // Number of tabulated records.
  double GetSampleSize() const { return fSampleSize; }
  // First parameter index of every model effect (after CreateParameterIndices).
  const std::vector<int>& GetParameterOffsets() const { return fvParameterOffsets; }
  // For every effect with factors, its index among the model effects.
  const std::vector<int>& GetModelEffectIndices() const { return fvModelEffectIndices; }
  // For every model effect, its local index among the effects with factors, or -1.
  const std::vector<int>& GetLocalEffectIndices() const { return fvLocalEffectIndices; }

  // The weighted means of the covariates (sum of weight x value over the total regression
  // weight, from the exact sums); the missing value for every mean when the total regression
  // weight is not above 0.
  const std::vector<double>& GetCovariateMeans();
  bool AreCovariateMeansComputed() const { return fbMeansComputed; }
  // Whether a combination could not be stored for lack of memory: the tables then lack a
  // combination that a counted record has, and no model may be built on them.
  bool HasFailedAllocation() const { return fbAllocationFailed; }

  // 0 for an effect out of range, 1 for an effect without factors, else its number of stored
  // combinations.
  int GetNEffectParameters(int effect) const;
  // The category codes (index + base) of the effect's k-th combination in parameter order, in
  // the order of the effect's factor list; emptied for an effect without factors. False for an
  // effect out of range or k outside [0, GetNEffectParameters(effect)).
  bool GetParameterFactorValues(std::vector<int>& categories, int effect, int k) const;

  // The parameter index that the record values activate in every model effect: the fixed index
  // of an effect without factors, the index of the occurring combination otherwise, -1 (and ok
  // false) for a combination that never occurred. values must reach every factor position.
  const std::vector<int>& GetRowParameterIndices(const double* values, bool& ok) const;
  // The same lookup; returns, for every effect with factors, the index relative to the effect's
  // first parameter (-1 where the combination never occurred).
  const std::vector<int>& GetRowLocalParamIndices(const double* values, bool& ok) const;
  // The first model effect whose combination in these record values never occurred in the data,
  // or -1 when every effect's combination occurred (or values is null).
  int GetIncompleteEffectIndex(const double* values) const;
  // Lookup by category codes, one per model factor in factor-list order: fills one parameter
  // index per model effect (-1 where absent) and tells whether all were found.
  bool GetParameterIndices(const std::vector<int>& categories, std::vector<int>& indices) const;
  // The parameter index of an effect's combination given by its category codes in the order
  // of the effect's factor list; the fixed index for an effect without factors; -1 when the
  // effect is out of range, the list has the wrong length or the combination never occurred.
  int GetEffectParameterIndex(int effect, const std::vector<int>& categories) const;

  // Adds the tables of another part of the data: its counts, totals and covariate sums, and
  // every combination it holds that these lack. other must be set up alike (the same factors,
  // effects, covariates and weights); false, nothing changed, when it is not. Parameter indices
  // made before are void: CreateParameterIndices numbers the merged combinations afresh.
  bool Merge(const MCFactorTables& other);
  // Whether other is set up alike (counts, effects, covariates, weights).
  bool SameLayout(const MCFactorTables& other) const;

  // Writes the counts, the labelled fields and every table's combinations.
  void Display() const;

 protected:
  // The value stored under key in the local effect's table, or -1 when absent.
  int GetParameterIndex(int localEffect, const MCCommonMath::MCHashKey& key) const;
  // Inserts key into the local effect's table when absent. False when it cannot be stored.
  bool UpdateHashtable(int localEffect, const MCCommonMath::MCHashKey& key);

 private:
  // Owns one combination table per effect with factors; copies are deep.
  class CombinationTables {
   public:
    CombinationTables();
    CombinationTables(const CombinationTables& other);
    CombinationTables& operator=(const CombinationTables& other);
    ~CombinationTables();
    std::vector<std::unique_ptr<MCHashtable<int>>> fvTables;
  };

  friend class MCPartCodecTables;

  // Writes the key of local effect t from per-factor category indices into its work key.
  const MCCommonMath::MCHashKey& FillKey(int t, const int* factorIndices) const;
  // Category indices of the factors for these record values (-1 out of range).
  void ComputeRowFactorIndices(const double* values) const;
  void UpdateMaxPosition();

  int fFreqWeightVar = -1;
  int fRegrWeightVar = -1;
  int fNModelEffects = 0;
  int fNEffects = 0;
  std::vector<int> fvEffectFactors;
  std::vector<int> fvNEffectFactors;
  std::vector<int> fvCumNEffectFactors{0};
  std::vector<int> fvLocalFactorIndices;
  std::vector<int> fvFactorValues;
  CombinationTables fTables;
  std::vector<int> fvParamIndices;
  mutable std::vector<int> fvLocalParamIndices;
  std::vector<int> fvLocalEffectIndices;
  std::vector<int> fvModelEffectIndices;
  std::vector<int> fvNParameters;
  std::vector<int> fvParameterOffsets;
  std::vector<int> fvExtractedFactorIndices;
  std::vector<int> fvCovariateIndices;
  int fNCovariates = 0;
  std::vector<double> fvCovariateMeans;
  bool fbMeansComputed = false;
  bool fbAllocationFailed = false;
  double fTotalWeight = 0.0;
  double fTotalRegrWeight = 0.0;
  double fSampleSize = 0.0;
  // The exact sums behind the totals and the means.
  ExactSum fTotalWeightSum;
  ExactSum fTotalRegrWeightSum;
  std::vector<ExactSum> fvCovariateSums;

  // Lookup scratch, reused so that a record costs no allocation.
  mutable std::vector<MCCommonMath::MCHashKey> fvWorkKeys;
  mutable std::vector<int> fvRowFactorIndices;
  mutable std::vector<int> fvRowParamIndices;
  int fMaxPosition = -1;
};

#endif  // MCSTAT_MCFACTORTABLES_H_

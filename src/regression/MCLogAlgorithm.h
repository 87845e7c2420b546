#ifndef MCSTAT_REGRESSION_MCLOGALGORITHM_H_
#define MCSTAT_REGRESSION_MCLOGALGORITHM_H_

// The workers behind MCLogComponent: the multinomial logit model and the algorithm that runs
// its passes. Internal to the library; exported only so that the tests can drive each step.

#include <cstdint>
#include <memory>
#include <vector>

#include "../mcmath/MCDDKernels.h"
#include "IMCRegModel.h"
#include "MCBitSet.h"
#include "MCCancelInfo.h"
#include "MCFactorTables.h"
#include "MCLogRegSettings.h"
#include "MCPartialStats.h"
#include "MCPassData.h"
#include "MCRecord.h"
#include "MCRectMatrix.h"
#include "MCRegRecordValidator.h"
#include "MCRegrParameter.h"
#include "MCStatus.h"
#include "MCSymMatrix.h"
#include "mcstat_export.h"

class IMCAccumStats;
class IMCDataHandler;
class MCRegOptimizer;

// The multinomial logit over the K response categories present in the data, the reference
// last. One logit has nBasic "basic" parameters (intercept, covariate terms, occurring factor
// combinations); the model has (K-1) nBasic parameters, logit j's block at j nBasic. A basic
// parameter that the sweep of the weighted cross-product matrix X'X finds dependent on earlier
// ones is redundant in every logit; the p others get local indices 0 .. p-1 and are estimated.
//
// Redundancy bits: a SET bit marks a NON-redundant parameter.
class MCSTAT_EXPORT MCLogModel : public IMCRegModel {
 public:
  // The settings are not owned and must outlive the model.
  explicit MCLogModel(const MCLogRegSettings* settings);
  MCLogModel(const MCLogModel&) = delete;
  MCLogModel& operator=(const MCLogModel&) = delete;
  ~MCLogModel() override;

  // Record positions of the covariates and weights, and their offsets in an extracted row
  // (for the rows the pattern tabulator stores).
  void SetPositions(const MCRecordExtractor& extractor);
  // Settles the categories from the tables' dependent counts: those with a weighted count
  // above 0 are present, the reference (settings' rule: present explicit category, else -1 or
  // an absent explicit one the last present, -2 the first) last. 318 without counts or with
  // fewer than two present categories; warning 319 when an explicit reference is absent.
  MCCommon::MCStatus SetDependentCategories(const MCFactorCounts& counts);
  // Numbers the parameters in the tables (first pass complete; the tables must outlive the
  // model), lists the (K-1) nBasic parameters and allocates X'X. 305 (discrete data (K-1)
  // nBasic and the limit 23169) before anything is allocated when (K-1) nBasic exceeds 23169
  // or X'X cannot be held, or when the matrix cannot be allocated.
  MCCommon::MCStatus CreateParameters(MCFactorTables* tables);

  // Adds a valid record to X'X with weight frequency x regression weight. added is false
  // (status OK) for a record the first pass did not count (a factor or dependent code outside
  // its range, whether or not an effect uses the factor, or a combination or category that
  // never occurred).
  // 309 before the parameters, 310 once X'X is swept, 313 for a weight not above 0 or a
  // product that is not finite.
  MCCommon::MCStatus AddRecord(const MCCommon::Record& record, bool& added);
  // Sweeps X'X pivot by pivot with the settings' tolerance (negative counts as 0) to find the
  // redundant basic parameters, in double-double on the exact sums of the pass (which it
  // uses up). 309 without X'X or without a row added to it; 310 when swept already; 313 when
  // the sums overflowed; 1 on cancel.
  MCCommon::MCStatus FindRedundancy(MCCommon::MCCancelInfo* cancel);
  // The redundancy found (a set bit for each non-redundant basic parameter): the local
  // indices and the counts of the estimated parameters follow from it.
  void SetRedundancy(const MCCommonMath::MCBitSet& nonRedundant);
  // Hands the sums of the X'X pass over (a part of the records'); the model then takes no more
  // rows, as after the sweep.
  void TakeCrossProducts(MCLogitCrossProductData& part);
  // The X'X pass's sums become those given (the parts of every record, merged). 309 before the
  // parameters, 310 once swept, 320 for sums of another shape.
  MCCommon::MCStatus AdoptCrossProducts(MCLogitCrossProductData&& part);
  // n start values: 0, with the intercept of logit j log(w_j / w_ref) (w the sums of
  // frequency x regression weight per category). 303 when a category's sum is not positive.
  MCCommon::MCStatus ComputeStartValues(std::vector<double>& start) const;
  // The estimates (n values, in the order of the estimated parameters) go to their positions
  // and the inverse Hessian (n rows) is expanded over all parameters. 305 (nothing stored)
  // when the expanded matrix cannot be allocated.
  MCCommon::MCStatus StoreEstimates(const std::vector<double>& estimates,
                                    const MCCommonMath::MCSymMatrix* inverseHessian);
  void FreeXPrimeX() { fpXPrimeX.reset(); }
  void SetTotals(double totalWeight, double sampleSize);

  // Dense basic design row of a record (nBasic values); false when the record is too short or
  // a combination never occurred (the values found are still set).
  bool ExpandRecordDense(const MCCommon::Record& record, std::vector<double>& row) const;
  // Predicted category code (-1 when the row cannot be formed, every probability then missing)
  // and the K probabilities in reference-last order. The record must be valid for scoring.
  int Score(const MCCommon::Record& record, std::vector<double>& probabilities) const;
  // Scores a record for the classification table: contributions receives the (K-1) nBasic
  // score contributions x_i (y_j - pi_j) w; the misclassification matrix gains w at (observed,
  // predicted). False (nothing changed) when the record cannot be scored or its observed
  // category is not present.
  bool AddToClassification(const MCCommon::Record& record, std::vector<double>& contributions);

  // IMCRegModel.
  int GetNEstimatedParameters() const override { return fNAllNonRed; }
  int GetNDependentCategories() const override {
    return static_cast<int>(fvDependCategories.size());
  }
  const std::vector<int>& GetDependentCategories() const override { return fvDependCategories; }
  const std::vector<int>& GetDependentLocalIndices() const override { return fvDependLocalIndices; }
  bool ExpandRecordSparse(const MCCommon::Record& record, std::vector<int>& indices,
                          std::vector<double>& values) const override;
  bool IsCounted(const MCCommon::Record& record) const override;
  bool ExpandPatternRowSparse(const double* row, const std::vector<int>& positions,
                              std::vector<int>& indices,
                              std::vector<double>& values) const override;
  bool AddPatternRow(const double* row, const std::vector<int>& positions) override;
  // Columns of the distinct covariate products of the effects; none (false) when an effect has
  // a covariate that a stored row does not hold.
  bool ExpandPatternColumns(const std::vector<int>& positions, std::vector<int>& indices,
                            std::vector<int>& columns) const override;
  int GetNPatternColumns() const override { return fNColumns; }
  void PatternRowColumnValues(const double* row, double* values) const override;

  bool AreParametersCreated() const { return fbParametersCreated; }
  bool AreEstimatesStored() const { return fbEstimatesStored; }
  int GetReferenceCategory() const { return fRefCategory; }
  const std::vector<double>& GetWeightedCounts() const { return fvWeightedCounts; }
  const std::vector<double>& GetUnweightedCounts() const { return fvUnweightedCounts; }
  // Frequency x regression weight per category (reference last), from the X'X pass.
  const std::vector<double>& GetCategoryWeights() const { return fvCategoryWeights; }
  int GetNBasic() const { return fNBasic; }
  int GetNAll() const { return fNAll; }
  int GetNBasicNonRed() const { return fNBasicNonRed; }
  const std::vector<int>& GetBasicLocalIndices() const { return fvBasicLocalIndex; }
  const MCCommonMath::MCBitSet& GetBasicRedundancy() const { return fBasicNonRedundant; }
  const MCCommonMath::MCBitSet& GetAllRedundancy() const { return fAllNonRedundant; }
  const std::vector<double>& GetParamEstimates() const { return fvParamEstimates; }
  const std::vector<MCRegrParameter>& GetParameters() const { return fvParameters; }
  // Null until the estimates are stored.
  const MCCommonMath::MCSymMatrix* GetHessianGI() const { return fpHessianGI.get(); }
  const MCCommonMath::MCSymMatrix* GetXPrimeX() const { return fpXPrimeX.get(); }
  int GetNRecordsAdded() const { return fNRecordsAdded; }
  const MCCommonMath::MCRectMatrix& GetClassificationTable() const { return fClassificationTable; }
  int GetNClassified() const { return fNClassified; }
  double GetTotalWeight() const { return fTotalWeight; }
  double GetSampleSize() const { return fSampleSize; }
  const MCCommon::MCStatus& GetStatus() const { return fStatus; }

  void Display() const;

 private:
  // Numbers the effects' distinct covariate products (fvEffectColumn, fvColumnEffect).
  void NumberColumns();
  // The design value of a model effect: the product of its covariates' powers read from
  // values (a record, or an extracted row when pattern is set); ok false when an extracted row
  // does not hold one of them.
  double EffectValue(int effect, const double* values, bool pattern, bool& ok) const;
  // The sparse row over the estimated parameters from the active parameter of every effect.
  bool SparseFromActive(const std::vector<int>& active, const double* values, bool pattern,
                        std::vector<int>& indices, std::vector<double>& out) const;
  // Adds the row of the active parameters to X'X with weight w for local category c.
  bool AddSparseRow(const std::vector<int>& active, const double* values, bool pattern,
                    int category, double w);
  // Linear predictors of a dense basic row: eta[j] for j < K-1, eta[K-1] = 0.
  void LinearPredictors(const std::vector<double>& x, std::vector<double>& eta) const;
  // Index of the largest predictor by the tie rule (an earlier one wins within epsilon;
  // the reference starts as the best).
  int BestCategory(const std::vector<double>& eta) const;
  // Local index of a record's dependent value, -1 when not present.
  int LocalIndexOf(double value) const;

  const MCLogRegSettings* fpSettings = nullptr;  // not owned
  int fNModelEffects = 0;
  std::vector<int> fvCovPatternOffsets;
  std::vector<int> fvCovariateOffsets;
  std::vector<int> fvDependCategories;
  std::vector<int> fvDependLocalIndices;
  int fRefCategory = -1;
  std::vector<double> fvWeightedCounts;
  std::vector<double> fvUnweightedCounts;
  const MCFactorTables* fpFactorTables = nullptr;  // not owned
  std::vector<int> fvFirstParamIndex;
  std::vector<int> fvNEffectParams;
  int fNBasic = 0;
  int fNAll = 0;
  int fNBasicNonRed = 0;
  int fNAllNonRed = -1;
  std::vector<int> fvBasicLocalIndex;
  std::unique_ptr<MCCommonMath::MCSymMatrix> fpXPrimeX;
  int fNRecordsAdded = 0;
  MCCommonMath::MCBitSet fBasicNonRedundant;
  MCCommonMath::MCBitSet fAllNonRedundant;
  std::vector<double> fvParamEstimates;
  std::unique_ptr<MCCommonMath::MCSymMatrix> fpHessianGI;
  MCCommonMath::MCRectMatrix fClassificationTable;
  std::vector<MCRegrParameter> fvParameters;
  MCCommon::MCStatus fStatus;

  // Positions of the weights and the dependent: in a record and in an extracted row.
  int fDependVar = -1;
  int fFreqWeightVar = -1;
  int fRegrWeightVar = -1;
  int fDependOffset = 0;
  int fFreqWeightOffset = -1;
  int fRegrWeightOffset = -1;
  // Covariate part of every table effect (intercept included), flattened, with the start of
  // each effect's run: the covariate's index in the settings' list (or -1 - its record
  // position when it is not listed) and its power.
  std::vector<int> fvEffectCovIndex;
  std::vector<int> fvEffectCovPowers;
  std::vector<int> fvEffectCovStart;
  // Every effect's column (its covariate product; 0 for none, -1 when a stored row cannot
  // hold it), the number of columns, and the effect whose product makes each column.
  std::vector<int> fvEffectColumn;
  int fNColumns = 0;
  std::vector<int> fvColumnEffect;
  // A column that is one covariate to the power 1: its offset in a stored row, else -1.
  std::vector<int> fvColumnSingleOffset;
  int fMaxRowPosition = -1;
  std::vector<double> fvCategoryWeights;
  // X'X and the category weights as exact sums; the fields above hold their double roundings.
  MCCommonMath::ddkernels::DDSums fXXSums;
  MCCommonMath::ddkernels::DDSums fCategorySums;
  double fTotalWeight = 0.0;
  double fSampleSize = 0.0;
  int fNClassified = 0;
  bool fbParametersCreated = false;
  bool fbEstimatesStored = false;
  // X'X swept (its exact sums are gone): no row may be added any more.
  bool fbSwept = false;
  // Row scratch, reused from row to row.
  mutable std::vector<int> fvActiveIdx;
  mutable std::vector<double> fvActiveVal;
  mutable std::vector<double> fvDenseRow;
  mutable std::vector<double> fvEta;
};

// The passes of the logistic model over the host's records: the factor pass (directly or
// through the pattern tabulator), the X'X pass, the redundancy, the start values and the
// estimation. Owns the factor tables, the validator, the model, the data handler, the
// accumulator and the estimator. Errors are kept; warnings are gathered once each.
class MCSTAT_EXPORT MCLogAlgorithm {
 public:
  // The settings are not owned and must outlive the algorithm.
  explicit MCLogAlgorithm(const MCLogRegSettings* settings);
  MCLogAlgorithm(const MCLogAlgorithm&) = delete;
  MCLogAlgorithm& operator=(const MCLogAlgorithm&) = delete;
  ~MCLogAlgorithm();

  // The factor pass, the categories and the parameter list (copied into parameters when it
  // is not empty). 306 (tables filled already, decided first and not kept as the status), 307
  // (empty source or no valid record), 302 (an effect names an undeclared factor), 305 (a
  // combination cannot be stored), 312, 315, 316, 308 (pattern mode), 318, 305, 309, 310, 1 on
  // cancel; warning 319 for an absent reference category.
  MCCommon::MCStatus CreateParameters(MCCommon::MultiPassRecordIter& data,
                                      std::vector<MCRegrParameter>& parameters);
  // The same with the records in the runner's parts; 320 for parts of another model, pass or
  // settings.
  MCCommon::MCStatus CreateParameters(MCPassRunner& runner,
                                      std::vector<MCRegrParameter>& parameters);
  // The X'X pass, the redundancy, the start values and the estimation. 309 before the
  // parameters, 310 when built already (not kept), 313, 303, 305, the passes' statuses, 1 on
  // cancel; on success the last warning gathered, if any.
  MCCommon::MCStatus BuildModel(MCCommon::MultiPassRecordIter& data);
  // The same with the records in the runner's parts (320 as for CreateParameters).
  MCCommon::MCStatus BuildModel(MCPassRunner& runner);
  // The predicted category code (-1 when the row cannot be formed) and the K probabilities.
  // The algorithm's error, 1 when a cancel is pending, 311 before the build, the validator's
  // status for a record it rejects for scoring.
  MCCommon::MCStatus Score(const MCCommon::Record& record, int& category,
                           std::vector<double>& probabilities) const;

  void Cancel() { fCancelInfo.SetCancel(); }
  MCCommon::MCCancelInfo& GetCancelInfo() { return fCancelInfo; }
  bool IsFactorTableFilled() const { return fbFactorTableFilled; }
  bool AreParametersCreated() const { return fbParametersCreated; }
  bool IsModelBuilt() const { return fbModelBuilt; }
  const MCRegRecordValidator& GetValidator() const { return fValidator; }
  const MCFactorTables& GetFactorTables() const { return fFactorTables; }
  const std::vector<double>& GetMeanValues() const { return fMeanValues; }
  const MCLogModel& GetModel() const { return fModel; }
  MCLogModel& GetModel() { return fModel; }
  // Null before the build.
  const MCRegOptimizer* GetEstimator() const { return fpEstimator.get(); }
  const MCCommon::MCStatus& GetStatus() const { return fStatus; }
  const std::vector<MCCommon::MCStatus>& GetWarnings() const { return fvWarnings; }

  void Display() const;

 private:
  MCCommon::MCStatus FillFactorTables(MCPassRunner& runner);
  MCCommon::MCStatus AddRecordsToModel(MCPassRunner& runner);
  // A plan of the settings' model for a pass; after the first, with the merged first pass.
  MCPassPlan MakePlan(MCPassKind kind) const;
  // Runs a pass through the runner; the validator's errors of the parts join the warnings.
  MCCommon::MCStatus RunPass(MCPassRunner& runner, const MCPassPlan& plan, MCPartialStats& merged);
  // Warnings are gathered, errors kept; returns status.
  MCCommon::MCStatus Keep(const MCCommon::MCStatus& status);
  // Adds a status (of any severity) to the warnings unless an equal one is there: the
  // validator's errors join them with their position and value, as in the linear model.
  void AddWarning(const MCCommon::MCStatus& status);
  void AddWarnings(const IMCDataHandler& handler);

  const MCLogRegSettings* fpSettings = nullptr;  // not owned
  MCRecordExtractor fExtractor;
  MCFactorTables fFactorTables;
  MCRegRecordValidator fValidator;
  std::vector<double> fMeanValues;
  MCCommon::MCCancelInfo fCancelInfo;
  MCLogModel fModel;
  std::unique_ptr<IMCAccumStats> fpAccumulator;
  std::unique_ptr<MCRegOptimizer> fpEstimator;
  bool fbFactorTableFilled = false;
  bool fbParametersCreated = false;
  bool fbModelBuilt = false;
  MCCommon::MCStatus fStatus;
  std::vector<MCCommon::MCStatus> fvWarnings;

  // The parameters being estimated (start values, then estimates).
  std::vector<double> fvEstimParams;
  // The settings' fingerprint, the merged first pass the later passes' plans carry, and the
  // records its parts tabulated.
  std::uint32_t fFingerprint = 0;
  std::shared_ptr<const MCFirstPassData> fpFirstPass;
  std::int64_t fNTabulated = 0;
};

#endif  // MCSTAT_REGRESSION_MCLOGALGORITHM_H_

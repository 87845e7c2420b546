#ifndef MCSTAT_REGRESSION_MCGLMALGORITHM_H_
#define MCSTAT_REGRESSION_MCGLMALGORITHM_H_

// The two workers behind MCGLMComponent. They are internal to the library; they carry the
// export macro only so that the tests can drive each step on its own.

#include <cstdint>
#include <memory>
#include <vector>

#include "../mcmath/MCDDKernels.h"
#include "MCBitSet.h"
#include "MCCancelInfo.h"
#include "MCFactorTables.h"
#include "MCPartialStats.h"
#include "MCPassData.h"
#include "MCRecord.h"
#include "MCRegLimits.h"
#include "MCRegRecordValidator.h"
#include "MCRegSettings.h"
#include "MCRegrParameter.h"
#include "MCStatus.h"
#include "MCSymMatrix.h"
#include "mcstat_export.h"

// The parameters, the weighted cross-product matrix Z'Z and the fit of a linear model.
//
// A record's design row has one value per parameter, but only one parameter per effect is
// active (the one of the record's factor combination), so the row is kept sparse: the active
// parameter indices in ascending order with their non-zero values, and the dependent at index P.
// Accumulating only those products gives exactly the sums of the dense update, which skips
// zero rows and adds exact zeros elsewhere.
//
// The sums of both passes are double-double (about 32 digits) with the unnormalised weights
// f x r, divided by W once at the end, and the sweep runs on them in double-double: exactly
// aliased parameters leave pivots of rounding size (about 1e-30 of their diagonal), far below
// any tolerance, and the estimates carry every digit the data allow. The matrix and the sums
// the model shows are the double roundings of those results.
//
// Redundancy bits (P + 1 of them): a SET bit marks a NON-redundant parameter, one the sweep
// pivoted on. The dependent's bit (index P) is never set.
class MCSTAT_EXPORT MCGLMModel {
 public:
  // Largest number of parameters the packed matrix of order P + 1 may have.
  static constexpr int kMaxParameters = MCRegLimits::kMaxParameters;

  // Neither pointer is owned; both must outlive the model.
  MCGLMModel(const MCRegSettings* settings, const MCCommon::MCCancelInfo* cancel);
  MCGLMModel(const MCGLMModel&) = delete;
  MCGLMModel& operator=(const MCGLMModel&) = delete;
  ~MCGLMModel();

  // Takes the record positions from the settings, numbers the parameters in the tables (whose
  // first pass must be complete and which must outlive the model) and lists one parameter per
  // intercept, covariate effect and occurring factor combination. 305 (discrete data P and the
  // limit) when there are too many parameters or their matrices cannot be held, before any
  // matrix is allocated; 1 when a
  // cancel is pending; OK with the model ready otherwise.
  MCCommon::MCStatus SetupParameters(MCFactorTables* tables);
  // The dependent's weighted mean and the total frequency weight W of the first pass.
  void SetMeanAndTotalWeight(double dependentMean, double totalWeight);

  // Adds w z z' for a valid record (w = frequency weight x regression weight). A record the
  // first pass did not count (a factor code outside its range, whether or not an effect uses
  // the factor, or a combination that never occurred) is skipped (added false). 309 before the
  // parameters are set up, 310 once solved; 313 when the total weight W is not finite and
  // positive, or the record's weight is not above 0 or its products overflow.
  MCCommon::MCStatus AddToMatrix(const MCCommon::Record& record, bool& added);
  // Hands the sums of the cross-product pass over (a part of the records' sums); the model then
  // takes no more records (310) until it adopts sums.
  void TakeCrossProducts(MCCrossProductData& part);
  // The cross-product sums become those given (the parts of every record, merged). 309 before
  // the parameters are set up, 310 once solved, 320 for sums of another order.
  MCCommon::MCStatus AdoptCrossProducts(MCCrossProductData&& part);
  // Sweeps the parameters in order with the settings' tolerance (negative counts as 0), reads
  // the estimates and leaves the matrix holding minus the (generalised) inverse of Z'Z, zero
  // rows for redundant parameters and the dependent. 309 with no record added, 310 when already
  // solved, 313 when the sums overflowed, 1 when a cancel is pending or cuts the sweep short.
  MCCommon::MCStatus Solve();
  // Adds a valid record's weighted squared residual and total deviation; a record the first
  // pass did not count is skipped. 303 before Solve.
  MCCommon::MCStatus AddResidual(const MCCommon::Record& record);
  // For a model that fills a part of the residual pass: the estimates of the solve (P values),
  // and the model counts as solved. 309 before the parameters, 320 for another number.
  MCCommon::MCStatus SetEstimates(const std::vector<double>& estimates);
  // Hands the residual sums over; the model's restart at 0.
  void TakeResiduals(MCResidualData& part);
  // The residual sums become those given. 303 before Solve, 320 for another shape.
  MCCommon::MCStatus AdoptResiduals(MCResidualData&& part);
  // R squared and RMSE from the residual pass; 308 when no record had a non-zero weight or
  // W is not above 0.
  MCCommon::MCStatus ComputeFit();

  // The prediction from the active parameters; the missing value when the record is too
  // short or its factor combination never occurred.
  double Predict(const MCCommon::Record& record) const;
  // row becomes the P design values (without the dependent); false when the row cannot be
  // formed (too short, or a combination that never occurred), the found values being set.
  bool ExpandRow(const MCCommon::Record& record, std::vector<double>& row) const;

  bool IsReady() const { return fbReady; }
  bool IsBuilt() const { return fbBuilt; }
  int GetNParameters() const { return static_cast<int>(fvParameters.size()); }
  const std::vector<MCRegrParameter>& GetParameters() const { return fvParameters; }
  const std::vector<double>& GetParamEstimates() const { return fvParamEstimates; }
  const MCCommonMath::MCBitSet& GetRedundancy() const { return fRedundancy; }
  // Null until the parameters are set up.
  const MCCommonMath::MCSymMatrix* GetZPrimeZ() const { return fpZPrimeZ.get(); }
  int GetNRecordsAdded() const { return fNRecordsAdded; }
  double GetRSquare() const { return fRSquare; }
  double GetRMSE() const { return fRMSE; }
  double GetResidualSum() const { return fResidualSum; }
  double GetTotalSum() const { return fTotalSum; }
  int GetNWeightedRecords() const { return fNWeightedRecords; }
  const std::vector<int>& GetFirstParamIndices() const { return fvFirstParamIndex; }
  const std::vector<int>& GetNEffectParams() const { return fvNEffectParams; }

  void Display() const;

 private:
  // Forms the sparse row of a record into fvActiveIdx / fvActiveVal (design values only);
  // false when the record is too short or a combination never occurred.
  bool FormSparseRow(const double* values, int size) const;
  // frequency weight x regression weight.
  double RecordWeight(const double* values) const;

  const MCRegSettings* fpSettings = nullptr;             // not owned
  const MCCommon::MCCancelInfo* fpCancelInfo = nullptr;  // not owned
  int fFreqWeightVar = -1;
  int fRegrWeightVar = -1;
  int fDependent = -1;
  std::vector<int> fvCovariateOffsets;
  MCFactorTables* fpFactorTables = nullptr;  // not owned
  std::unique_ptr<MCCommonMath::MCSymMatrix> fpZPrimeZ;
  int fNRecordsAdded = 0;
  MCCommonMath::MCBitSet fRedundancy;
  std::vector<MCRegrParameter> fvParameters;
  bool fbReady = false;
  bool fbBuilt = false;
  std::vector<double> fvParamEstimates;
  double fRSquare = MCMV::kMissing;
  double fRMSE = MCMV::kMissing;
  std::vector<double> fvDesignRow;
  double fResidualSum = 0.0;
  double fTotalSum = 0.0;
  double fDependentMean = 0.0;
  double fTotalWeight = 0.0;
  int fNWeightedRecords = 0;
  std::vector<int> fvFirstParamIndex;
  std::vector<int> fvNEffectParams;
  MCCommon::MCStatus fStatus;

  // Covariate part of every effect of the tables (the intercept included): the record
  // positions and powers, flattened, with the start of each effect's run.
  std::vector<int> fvEffectCovPositions;
  std::vector<int> fvEffectCovPowers;
  std::vector<int> fvEffectCovStart;
  // Largest record position a design row reads (factors and covariates).
  int fMaxRowPosition = -1;
  // Sparse row scratch: active indices (ascending) and their values.
  mutable std::vector<int> fvActiveIdx;
  mutable std::vector<double> fvActiveVal;
  // Z'Z with the dependent (packed, order P + 1) as exact sums of the cross-product pass.
  MCCommonMath::ddkernels::DDSums fZZSums;
  // The residual pass: sum w e^2, sum w d and sum w d^2 with d = y - (the dependent's mean,
  // with the intercept) or y (without).
  MCCommonMath::ddkernels::DDSums fFitSums;
};

// The passes of the linear model over the host's records: tabulation, cross products,
// residuals. Owns the cancel holder, the validator, the factor tables and the model.
class MCSTAT_EXPORT MCGLMAlgorithm {
 public:
  // The settings are not owned and must outlive the algorithm.
  explicit MCGLMAlgorithm(const MCRegSettings* settings);
  MCGLMAlgorithm(const MCGLMAlgorithm&) = delete;
  MCGLMAlgorithm& operator=(const MCGLMAlgorithm&) = delete;
  ~MCGLMAlgorithm();

  // First pass: validates the records and fills the factor tables and the means. 306 when
  // already run (decided first), 307 when the data hold no (valid) record, 302 when an effect
  // names a factor the settings do not declare, 305 when a combination cannot be stored, 312 for
  // a missing record, 315, 313 or 316 from the validator, 1 on cancel.
  MCCommon::MCStatus ProcessData(MCCommon::MultiPassRecordIter& data);
  // The same with the records in the runner's parts (the tables are the merge of the parts');
  // 320 for parts the runner gives of another model, pass or settings.
  MCCommon::MCStatus ProcessData(MCPassRunner& runner);
  // Sets up the model's parameters (see MCGLMModel::SetupParameters); 309 before the first
  // pass.
  MCCommon::MCStatus SetupParameters();
  // Cross-product pass, solve, residual pass and fit. 309 before the parameters are ready,
  // 310 when already built, 313 when the first pass is not complete or a row is refused, the
  // pass and model statuses otherwise; on success the last warning, if any.
  MCCommon::MCStatus BuildModel(MCCommon::MultiPassRecordIter& data);
  // The same with the records in the runner's parts (320 as for ProcessData).
  MCCommon::MCStatus BuildModel(MCPassRunner& runner);
  // The prediction for a record; 1 when a cancel is pending, the algorithm's error if any.
  MCCommon::MCStatus Score(const MCCommon::Record& record, double& prediction) const;

  void Cancel() { fCancelInfo.SetCancel(); }
  MCCommon::MCCancelInfo& GetCancelInfo() { return fCancelInfo; }
  bool IsDataProcessed() const { return fbDataProcessed; }
  bool AreParametersReady() const { return fModel.IsReady(); }
  bool IsModelBuilt() const { return fbModelBuilt; }
  const MCRegRecordValidator& GetValidator() const { return fValidator; }
  const MCFactorTables& GetFactorTables() const { return fFactorTables; }
  const std::vector<double>& GetMeanValues() const { return fMeanValues; }
  const MCGLMModel& GetModel() const { return fModel; }
  MCGLMModel& GetModel() { return fModel; }
  int GetRecordCount() const { return fRecordCount; }
  int GetValidCount() const { return fValidCount; }
  const MCCommon::MCStatus& GetStatus() const { return fStatus; }
  const std::vector<MCCommon::MCStatus>& GetWarnings() const { return fvWarnings; }

  void Display() const;

 private:
  // A plan of the settings' model for a pass; after the first, with the merged first pass.
  MCPassPlan MakePlan(MCPassKind kind) const;
  // Runs a pass through the runner; the validator's errors of the parts join the warnings.
  MCCommon::MCStatus RunPass(MCPassRunner& runner, const MCPassPlan& plan, MCPartialStats& merged);
  void AddWarning(const MCCommon::MCStatus& status);

  MCCommon::MCCancelInfo fCancelInfo;
  const MCRegSettings* fpSettings = nullptr;  // not owned
  MCRegRecordValidator fValidator;
  MCFactorTables fFactorTables;
  std::vector<double> fMeanValues;
  MCGLMModel fModel;
  bool fbDataProcessed = false;
  bool fbModelBuilt = false;
  int fRecordCount = 0;
  int fValidCount = 0;
  MCCommon::MCStatus fStatus;
  std::vector<MCCommon::MCStatus> fvWarnings;
  // The settings' fingerprint, and the merged first pass the later passes' plans carry.
  std::uint32_t fFingerprint = 0;
  std::shared_ptr<const MCFirstPassData> fpFirstPass;
};

#endif  // MCSTAT_REGRESSION_MCGLMALGORITHM_H_

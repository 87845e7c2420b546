#ifndef MCSTAT_IMCREGCOMPONENT_H_
#define MCSTAT_IMCREGCOMPONENT_H_

#include <vector>

#include "MCBitSet.h"
#include "MCConst.h"
#include "MCRecord.h"
#include "MCRegSettings.h"
#include "MCRegrParameter.h"
#include "MCStatus.h"
#include "MCSymMatrix.h"
#include "mcstat_export.h"

class IMCRegOutputStats;
class MCFactorCounts;
class MCRegRecordValidator;

// A model component as the host drives it: build from a record stream, read the output
// statistics, score records, fetch warnings, cancel. Obtained from MCRegFactory; the caller
// owns it. A component whose status is an error refuses every later step with that status.
class MCSTAT_EXPORT IMCRegComponent {
 public:
  virtual ~IMCRegComponent();

  // 0 for the linear model, 1 for the logistic model.
  virtual MCConst::MCRegModelType GetModelType() = 0;
  // Runs the first data pass and sets up the model's parameters. Refuses a second first pass
  // with 306 (without replacing the component's status).
  virtual MCCommon::MCStatus CreateParameters(MCCommon::MultiPassRecordIter& data,
                                              std::vector<MCRegrParameter>& parameters) = 0;
  // Runs every pass still to run and fits the model; a second build is refused with 310 and
  // leaves the first model intact.
  virtual MCCommon::MCStatus BuildModel(MCCommon::MultiPassRecordIter& data) = 0;
  virtual bool IsModelBuilt() const = 0;
  // Lends the output statistics (the component keeps ownership); refused while no model is
  // built, leaving stats unchanged.
  virtual MCCommon::MCStatus GetOutputStats(IMCRegOutputStats*& stats) = 0;
  // The component's own copy of the settings.
  virtual const MCRegSettings& GetCompSettings() const = 0;
  // The prediction for one record (the missing value when its design row cannot be formed).
  virtual MCCommon::MCStatus Score(const MCCommon::Record& record, double& prediction,
                                   std::vector<double>& values) const = 0;
  // Asks the running or the next data pass to stop; it then ends with status 1.
  virtual void Cancel() = 0;
  virtual MCCommon::MCStatus GetStatus() = 0;
  // The warnings gathered so far, each distinct status once.
  virtual std::vector<MCCommon::MCStatus> GetWarnings() = 0;
  virtual void Display() const = 0;
};

// The output statistics of a built model, lent by its component.
//
// Redundancy bits: a SET bit marks a NON-redundant parameter (one the sweep could pivot on);
// a clear bit marks a redundant (aliased) parameter, whose estimate is 0.
class MCSTAT_EXPORT IMCRegOutputStats {
 public:
  IMCRegOutputStats() = default;
  IMCRegOutputStats(const IMCRegOutputStats&) = default;
  IMCRegOutputStats& operator=(const IMCRegOutputStats&) = default;
  virtual ~IMCRegOutputStats();

  virtual MCConst::MCRegModelType GetModelType() = 0;
  // The counts of the first data pass.
  virtual const MCFactorCounts& GetFactorCounts() const = 0;
  // The weighted means of the covariates followed by that of the dependent.
  virtual const std::vector<double>& GetMeanValues() = 0;
  virtual const std::vector<double>& GetParamEstimates() = 0;
  virtual const std::vector<MCRegrParameter>& GetParameters() = 0;
  virtual double GetTotalFreqWeight() = 0;
  virtual double GetTotalRegrWeight() = 0;
  // Degrees of freedom of the error term.
  virtual double GetNDegFreedom() = 0;
  // The statistic asked for, or the missing value for one the model does not give.
  virtual double GetModelFitStat(MCConst::MCModelFitStat which) = 0;
  // The covariance matrix of the estimates; null when there is none.
  virtual const MCCommonMath::MCSymMatrixData* GetCovarianceMatrix() = 0;
  virtual const std::vector<MCRegrParameterStats>& GetParamStats() = 0;
  // One bit per parameter, set where the parameter is NOT redundant.
  virtual const MCCommonMath::MCBitSet& GetRedundancyIndicators() = 0;
  // The validator to check a record with before scoring it.
  virtual const MCRegRecordValidator& GetRecordValidator() = 0;
  // The design-matrix row of a record; false when the record is not valid for scoring or its
  // row cannot be formed.
  virtual bool ExpandRow(const MCCommon::Record& record, std::vector<double>& row) const = 0;
  // Passes a cancel request on to the model.
  virtual void Cancel() = 0;
  virtual void Display() const = 0;
};

#endif  // MCSTAT_IMCREGCOMPONENT_H_

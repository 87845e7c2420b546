#ifndef MCSTAT_MCGLMOUTPUTSTATS_H_
#define MCSTAT_MCGLMOUTPUTSTATS_H_

#include <memory>
#include <vector>

#include "IMCRegComponent.h"
#include "MCRegSettings.h"
#include "mcstat_export.h"

class MCGLMAlgorithm;

// The output statistics of a built linear model. Its component creates it once and lends it
// to the host; at creation it copies the means, counts, parameters, estimates, weights and fit,
// and derives the degrees of freedom, the per-parameter records and the covariance matrix.
//
// Redundancy: bit k of GetRedundancyIndicators() is SET when parameter k is NOT redundant,
// matching the parameter records' flag (1 = not redundant). A redundant parameter has
// estimate 0 and a zero row and column in the covariance matrix.
//
// The covariance matrix is (Z'WZ)^- of the frequency- and regression-weighted design, not
// multiplied by the residual mean square: multiply by it for the estimates' covariance.
class MCSTAT_EXPORT MCGLMOutputStats : public IMCRegOutputStats {
 public:
  // The algorithm must hold a built model and outlive these statistics.
  MCGLMOutputStats(const MCRegSettings& settings, MCGLMAlgorithm* algorithm);
  MCGLMOutputStats(const MCGLMOutputStats& other);
  MCGLMOutputStats& operator=(const MCGLMOutputStats& other);
  ~MCGLMOutputStats() override;

  // 0: the linear model.
  MCConst::MCRegModelType GetModelType() override;
  const MCFactorCounts& GetFactorCounts() const override;
  // The covariate means followed by the dependent's mean.
  const std::vector<double>& GetMeanValues() override;
  // One estimate per parameter, 0 for a redundant one.
  const std::vector<double>& GetParamEstimates() override;
  const std::vector<MCRegrParameter>& GetParameters() override;
  double GetTotalFreqWeight() override;
  double GetTotalRegrWeight() override;
  // The settings' degrees of freedom when given, else the total regression weight minus the
  // number of parameters (redundant ones included).
  double GetNDegFreedom() override;
  // kRMSE gives the root mean square error, kRSquare R squared, anything else the missing
  // value.
  double GetModelFitStat(MCConst::MCModelFitStat which) override;
  // The P x P unscaled covariance matrix (see above).
  const MCCommonMath::MCSymMatrixData* GetCovarianceMatrix() override;
  // Index, estimate, not-redundant flag and effect index of every parameter.
  const std::vector<MCRegrParameterStats>& GetParamStats() override;
  // One bit per parameter, SET where the parameter is NOT redundant.
  const MCCommonMath::MCBitSet& GetRedundancyIndicators() override;
  const MCRegRecordValidator& GetRecordValidator() override;
  // False, leaving row as it was, when the record is not valid for scoring; otherwise row
  // holds the P design values and the result tells whether every effect's combination occurred.
  bool ExpandRow(const MCCommon::Record& record, std::vector<double>& row) const override;
  void Cancel() override;
  void Display() const override;

 private:
  struct Data;
  std::unique_ptr<Data> fpData;
};

#endif  // MCSTAT_MCGLMOUTPUTSTATS_H_

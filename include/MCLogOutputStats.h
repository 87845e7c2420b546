#ifndef MCSTAT_MCLOGOUTPUTSTATS_H_
#define MCSTAT_MCLOGOUTPUTSTATS_H_

#include <memory>
#include <vector>

#include "IMCRegComponent.h"
#include "MCRectMatrix.h"
#include "MCRegSettings.h"
#include "mcstat_export.h"

class MCLogAlgorithm;

// The output statistics of a built logistic model. Its component creates it once and lends it
// to the host. Parameters come in K-1 blocks (one per non-reference category, in the order of
// GetDependCategories) of the basic parameters.
//
// Redundancy: bit k of GetRedundancyIndicators() is SET when parameter k is NOT redundant,
// matching the parameter records' flag (1 = not redundant). A redundant parameter has
// estimate 0 and a zero row and column in the covariance matrix, which is the generalised
// inverse of the information matrix at the estimates.
class MCSTAT_EXPORT MCLogOutputStats : public IMCRegOutputStats {
 public:
  // The algorithm must hold a built model and outlive these statistics.
  MCLogOutputStats(const MCRegSettings& settings, MCLogAlgorithm* algorithm);
  MCLogOutputStats(const MCLogOutputStats&) = delete;
  MCLogOutputStats& operator=(const MCLogOutputStats&) = delete;
  ~MCLogOutputStats() override;

  // 1: the logistic model.
  MCConst::MCRegModelType GetModelType() override;
  const MCFactorCounts& GetFactorCounts() const override;
  // The weighted covariate means.
  const std::vector<double>& GetMeanValues() override;
  // One estimate per parameter, 0 for a redundant one.
  const std::vector<double>& GetParamEstimates() override;
  const std::vector<MCRegrParameter>& GetParameters() override;
  double GetTotalFreqWeight() override;
  double GetTotalRegrWeight() override;
  // The settings' degrees of freedom when given, else the total regression weight minus the
  // number of parameters (all of them).
  double GetNDegFreedom() override;
  // kCoxSnellRSquare, kNagelkerkeRSquare, kMcFaddenRSquare; anything else the missing value.
  // All three are 0 when no iteration ran.
  double GetModelFitStat(MCConst::MCModelFitStat which) override;
  const MCCommonMath::MCSymMatrixData* GetCovarianceMatrix() override;
  const std::vector<MCRegrParameterStats>& GetParamStats() override;
  const MCCommonMath::MCBitSet& GetRedundancyIndicators() override;
  const MCRegRecordValidator& GetRecordValidator() override;
  // False (row unchanged) for a record the scoring check rejects; otherwise row holds the
  // design values of the basic parameters (one logit) and the result tells whether the row
  // could be formed.
  bool ExpandRow(const MCCommon::Record& record, std::vector<double>& row) const override;
  // Sets the model's cancel request.
  void Cancel() override;
  void Display() const override;

  // The response category codes present in the data, the reference last.
  const std::vector<int>& GetDependCategories() const;
  // The sparse row over the estimated parameters of one logit (local indices 0 .. p-1 of the
  // non-redundant basic parameters, increasing, with their non-zero values); false (lists
  // unchanged) for a record the scoring check rejects, or when the row cannot be formed.
  bool ExpandRow(const MCCommon::Record& record, std::vector<int>& indices,
                 std::vector<double>& values) const;

  // Scores a record for the classification table: contributions becomes the (K-1) x basic
  // score contributions x_i (y_j - pi_j) w (w the frequency weight, 1 without one, y_j = 1
  // for the observed category); the table gains w at (observed, predicted) in local indices.
  // False (nothing changed) when a cancel is pending, the record fails the scoring check or
  // cannot be scored, or its observed category is not present.
  bool AddToClassification(const MCCommon::Record& record, std::vector<double>& contributions);
  // K x K weighted misclassification counts: rows observed, columns predicted, in the order of
  // GetDependCategories.
  const MCCommonMath::MCRectMatrix& GetClassificationTable() const;
  // Records classified with a non-zero weight.
  int GetNClassified() const;

  // The estimation: stop reason (1 to 9), iterations run, log-likelihood at the start values
  // and at the estimates (the missing value when no iteration ran).
  int GetStopReason() const;
  int GetNIterations() const;
  double GetInitialLogLikelihood() const;
  double GetFinalLogLikelihood() const;

 private:
  struct Data;
  std::unique_ptr<Data> fpData;
};

#endif  // MCSTAT_MCLOGOUTPUTSTATS_H_

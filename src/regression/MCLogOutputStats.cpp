#include "MCLogOutputStats.h"

#include "MCComponentDisplay.h"
#include "MCFactorTables.h"
#include "MCLogAlgorithm.h"
#include "MCMV.h"
#include "MCRegOptimizer.h"

using MCCommon::MCComponentDisplay;
using MCCommonMath::MCBitSet;
using MCCommonMath::MCSymMatrix;

struct MCLogOutputStats::Data {
  Data(const MCRegSettings& settings, MCLogAlgorithm& algorithm)
      : fSettings(settings),
        fAlgorithm(algorithm),
        fMeanValues(algorithm.GetMeanValues()),
        fFactorCounts(algorithm.GetFactorTables()),
        fParameters(algorithm.GetModel().GetParameters()),
        fParamEstimates(algorithm.GetModel().GetParamEstimates()) {}

  const MCRegSettings& fSettings;
  MCLogAlgorithm& fAlgorithm;
  const std::vector<double>& fMeanValues;
  const MCFactorCounts& fFactorCounts;
  const std::vector<MCRegrParameter>& fParameters;
  const std::vector<double>& fParamEstimates;
  double fTotalFreqWeight = 0.0;
  double fTotalRegrWeight = 0.0;
  double fNDegFreedom = 0.0;
  double fCoxSnellRSquare = MCMV::kMissing;
  double fNagelkerkeRSquare = MCMV::kMissing;
  double fMcFaddenRSquare = MCMV::kMissing;
  const MCSymMatrix* fpCovariance = nullptr;
  std::vector<MCRegrParameterStats> fParamStats;
  MCBitSet fRedundancy;
};

MCLogOutputStats::MCLogOutputStats(const MCRegSettings& settings, MCLogAlgorithm* algorithm)
    : fpData(std::make_unique<Data>(settings, *algorithm)) {
  Data& d = *fpData;
  const MCLogModel& model = algorithm->GetModel();
  const MCFactorTables& tables = algorithm->GetFactorTables();
  d.fTotalFreqWeight = tables.GetTotalWeight();
  d.fTotalRegrWeight = tables.GetTotalRegrWeight();
  const int nAll = static_cast<int>(d.fParameters.size());
  d.fNDegFreedom = settings.GetDF() > 0.0 ? settings.GetDF() : d.fTotalRegrWeight - nAll;

  if (const MCRegOptimizer* estimator = algorithm->GetEstimator()) {
    estimator->ComputePseudoRSquares(d.fCoxSnellRSquare, d.fNagelkerkeRSquare, d.fMcFaddenRSquare);
  }

  d.fpCovariance = model.GetHessianGI();
  const MCBitSet& bits = model.GetAllRedundancy();
  d.fRedundancy.Resize(nAll);
  d.fParamStats.resize(static_cast<std::size_t>(nAll));
  for (int i = 0; i < nAll; ++i) {
    const bool nonRedundant = bits.IsIn(i);
    MCRegrParameterStats& stats = d.fParamStats[static_cast<std::size_t>(i)];
    stats.fParamIndex = i;
    stats.fEstimate = i < static_cast<int>(d.fParamEstimates.size())
                          ? d.fParamEstimates[static_cast<std::size_t>(i)]
                          : MCMV::kMissing;
    stats.fNotRedundant = nonRedundant ? 1 : 0;
    stats.fEffectIndex = d.fParameters[static_cast<std::size_t>(i)].GetEffectIndex();
    d.fRedundancy.Set(i, nonRedundant);
  }
}

MCLogOutputStats::~MCLogOutputStats() = default;

MCConst::MCRegModelType MCLogOutputStats::GetModelType() { return MCConst::kLogisticModel; }

const MCFactorCounts& MCLogOutputStats::GetFactorCounts() const { return fpData->fFactorCounts; }

const std::vector<double>& MCLogOutputStats::GetMeanValues() { return fpData->fMeanValues; }

const std::vector<double>& MCLogOutputStats::GetParamEstimates() { return fpData->fParamEstimates; }

const std::vector<MCRegrParameter>& MCLogOutputStats::GetParameters() {
  return fpData->fParameters;
}

double MCLogOutputStats::GetTotalFreqWeight() { return fpData->fTotalFreqWeight; }

double MCLogOutputStats::GetTotalRegrWeight() { return fpData->fTotalRegrWeight; }

double MCLogOutputStats::GetNDegFreedom() { return fpData->fNDegFreedom; }

double MCLogOutputStats::GetModelFitStat(MCConst::MCModelFitStat which) {
  switch (which) {
    case MCConst::kCoxSnellRSquare:
      return fpData->fCoxSnellRSquare;
    case MCConst::kNagelkerkeRSquare:
      return fpData->fNagelkerkeRSquare;
    case MCConst::kMcFaddenRSquare:
      return fpData->fMcFaddenRSquare;
    default:
      return MCMV::kMissing;
  }
}

const MCCommonMath::MCSymMatrixData* MCLogOutputStats::GetCovarianceMatrix() {
  return fpData->fpCovariance;
}

const std::vector<MCRegrParameterStats>& MCLogOutputStats::GetParamStats() {
  return fpData->fParamStats;
}

const MCBitSet& MCLogOutputStats::GetRedundancyIndicators() { return fpData->fRedundancy; }

const MCRegRecordValidator& MCLogOutputStats::GetRecordValidator() {
  return fpData->fAlgorithm.GetValidator();
}

bool MCLogOutputStats::ExpandRow(const MCCommon::Record& record, std::vector<double>& row) const {
  MCCommon::MCStatus check;
  if (!fpData->fAlgorithm.GetValidator().IsValid4Scoring(record, check)) return false;
  return fpData->fAlgorithm.GetModel().ExpandRecordDense(record, row);
}

bool MCLogOutputStats::ExpandRow(const MCCommon::Record& record, std::vector<int>& indices,
                                 std::vector<double>& values) const {
  MCCommon::MCStatus check;
  if (!fpData->fAlgorithm.GetValidator().IsValid4Scoring(record, check)) return false;
  std::vector<int> idx;
  std::vector<double> val;
  if (!fpData->fAlgorithm.GetModel().ExpandRecordSparse(record, idx, val)) return false;
  indices.swap(idx);
  values.swap(val);
  return true;
}

void MCLogOutputStats::Cancel() { fpData->fAlgorithm.Cancel(); }

const std::vector<int>& MCLogOutputStats::GetDependCategories() const {
  return fpData->fAlgorithm.GetModel().GetDependentCategories();
}

bool MCLogOutputStats::AddToClassification(const MCCommon::Record& record,
                                           std::vector<double>& contributions) {
  MCLogAlgorithm& algorithm = fpData->fAlgorithm;
  if (algorithm.GetCancelInfo().WillCancel()) return false;
  MCCommon::MCStatus check;
  if (!algorithm.GetValidator().IsValid4Scoring(record, check)) return false;
  return algorithm.GetModel().AddToClassification(record, contributions);
}

const MCCommonMath::MCRectMatrix& MCLogOutputStats::GetClassificationTable() const {
  return fpData->fAlgorithm.GetModel().GetClassificationTable();
}

int MCLogOutputStats::GetNClassified() const {
  return fpData->fAlgorithm.GetModel().GetNClassified();
}

int MCLogOutputStats::GetStopReason() const {
  const MCRegOptimizer* estimator = fpData->fAlgorithm.GetEstimator();
  return estimator != nullptr ? estimator->GetStopReason() : 9;
}

int MCLogOutputStats::GetNIterations() const {
  const MCRegOptimizer* estimator = fpData->fAlgorithm.GetEstimator();
  return estimator != nullptr ? estimator->GetLastIteration() : 0;
}

double MCLogOutputStats::GetInitialLogLikelihood() const {
  const MCRegOptimizer* estimator = fpData->fAlgorithm.GetEstimator();
  return estimator != nullptr ? estimator->GetInitialLL() : MCMV::kMissing;
}

double MCLogOutputStats::GetFinalLogLikelihood() const {
  const MCRegOptimizer* estimator = fpData->fAlgorithm.GetEstimator();
  return estimator != nullptr ? estimator->GetFinalLL() : MCMV::kMissing;
}

void MCLogOutputStats::Display() const {
  const Data& d = *fpData;
  MCComponentDisplay::DisplayText(1, "MCLogOutputStats display start");
  MCComponentDisplay::DisplayDV("fMeanValues", d.fMeanValues);
  MCComponentDisplay::DisplayText(1, "fFactorCounts:");
  d.fFactorCounts.Display();
  MCComponentDisplay::DisplayDV("fParamEstimates", d.fParamEstimates);
  MCComponentDisplay::DisplayI("fParameters and fParamStats: total model parameters",
                               static_cast<int>(d.fParameters.size()));
  for (std::size_t i = 0; i < d.fParameters.size(); ++i) {
    d.fParameters[i].Display();
    if (d.fParamStats[i].fNotRedundant != 0) {
      MCComponentDisplay::DisplayD("Parameter estimate", d.fParamStats[i].fEstimate);
    } else {
      MCComponentDisplay::DisplayText(1, "Redundant");
    }
  }
  MCComponentDisplay::DisplayD("fTotalFreqWeight", d.fTotalFreqWeight);
  MCComponentDisplay::DisplayD("fTotalRegrWeight", d.fTotalRegrWeight);
  MCComponentDisplay::DisplayD("fNDegFreedom", d.fNDegFreedom);
  MCComponentDisplay::DisplayText(1, "Covariance matrix:");
  if (d.fpCovariance != nullptr) d.fpCovariance->Display();
  MCComponentDisplay::DisplayD("fCoxSnellRSquare", d.fCoxSnellRSquare);
  MCComponentDisplay::DisplayD("fNagelkerkeRSquare", d.fNagelkerkeRSquare);
  MCComponentDisplay::DisplayD("fMcFaddenRSquare", d.fMcFaddenRSquare);
  MCComponentDisplay::DisplayText(1, "MCLogOutputStats display end");
}

#include "MCGLMOutputStats.h"

#include <string>

#include "MCComponentDisplay.h"
#include "MCFactorTables.h"
#include "MCGLMAlgorithm.h"
#include "MCMV.h"

using MCCommon::MCComponentDisplay;
using MCCommonMath::MCBitSet;
using MCCommonMath::MCSymMatrix;

struct MCGLMOutputStats::Data {
  MCGLMAlgorithm* fpAlgorithm = nullptr;  // not owned
  std::vector<double> fMeanValues;
  MCFactorCounts fFactorCounts;
  std::vector<MCRegrParameter> fParameters;
  std::vector<double> fParamEstimates;
  double fTotalFreqWeight = 0.0;
  double fTotalRegrWeight = 0.0;
  double fNDegFreedom = 0.0;
  double fRSquare = MCMV::kMissing;
  double fRMSE = MCMV::kMissing;
  std::unique_ptr<MCSymMatrix> fpCovariance;
  std::vector<MCRegrParameterStats> fParamStats;
  MCBitSet fRedundancy;

  Data() = default;
  Data(const Data& other)
      : fpAlgorithm(other.fpAlgorithm),
        fMeanValues(other.fMeanValues),
        fFactorCounts(other.fFactorCounts),
        fParameters(other.fParameters),
        fParamEstimates(other.fParamEstimates),
        fTotalFreqWeight(other.fTotalFreqWeight),
        fTotalRegrWeight(other.fTotalRegrWeight),
        fNDegFreedom(other.fNDegFreedom),
        fRSquare(other.fRSquare),
        fRMSE(other.fRMSE),
        fpCovariance(other.fpCovariance ? std::make_unique<MCSymMatrix>(*other.fpCovariance)
                                        : nullptr),
        fParamStats(other.fParamStats),
        fRedundancy(other.fRedundancy) {}
};

MCGLMOutputStats::MCGLMOutputStats(const MCRegSettings& settings, MCGLMAlgorithm* algorithm)
    : fpData(std::make_unique<Data>()) {
  Data& d = *fpData;
  d.fpAlgorithm = algorithm;
  const MCGLMModel& model = algorithm->GetModel();
  const MCFactorTables& tables = algorithm->GetFactorTables();
  d.fMeanValues = algorithm->GetMeanValues();
  d.fFactorCounts = tables;
  d.fParameters = model.GetParameters();
  d.fParamEstimates = model.GetParamEstimates();
  d.fTotalFreqWeight = tables.GetTotalWeight();
  d.fTotalRegrWeight = tables.GetTotalRegrWeight();
  d.fRSquare = model.GetRSquare();
  d.fRMSE = model.GetRMSE();

  const int p = model.GetNParameters();
  d.fNDegFreedom = settings.GetDF() > 0.0 ? settings.GetDF() : d.fTotalRegrWeight - p;

  const MCBitSet& modelBits = model.GetRedundancy();
  d.fRedundancy.Resize(p);
  d.fParamStats.resize(static_cast<std::size_t>(p));
  for (int k = 0; k < p; ++k) {
    const bool nonRedundant = modelBits.IsIn(k);
    MCRegrParameterStats& stats = d.fParamStats[static_cast<std::size_t>(k)];
    stats.fParamIndex = k;
    stats.fEstimate =
        k < static_cast<int>(d.fParamEstimates.size()) ? d.fParamEstimates[k] : MCMV::Missing();
    stats.fNotRedundant = nonRedundant ? 1 : 0;
    stats.fEffectIndex = d.fParameters[static_cast<std::size_t>(k)].GetEffectIndex();
    d.fRedundancy.Set(k, nonRedundant);
  }

  if (const MCSymMatrix* zpz = model.GetZPrimeZ()) {
    d.fpCovariance = std::make_unique<MCSymMatrix>();
    zpz->ExtractFirstNRows(*d.fpCovariance);
    d.fpCovariance->ChangeSign();
  }
}

MCGLMOutputStats::MCGLMOutputStats(const MCGLMOutputStats& other)
    : IMCRegOutputStats(other), fpData(std::make_unique<Data>(*other.fpData)) {}

MCGLMOutputStats& MCGLMOutputStats::operator=(const MCGLMOutputStats& other) {
  if (this != &other) fpData = std::make_unique<Data>(*other.fpData);
  return *this;
}

MCGLMOutputStats::~MCGLMOutputStats() = default;

MCConst::MCRegModelType MCGLMOutputStats::GetModelType() { return MCConst::kLinearModel; }

const MCFactorCounts& MCGLMOutputStats::GetFactorCounts() const { return fpData->fFactorCounts; }

const std::vector<double>& MCGLMOutputStats::GetMeanValues() { return fpData->fMeanValues; }

const std::vector<double>& MCGLMOutputStats::GetParamEstimates() { return fpData->fParamEstimates; }

const std::vector<MCRegrParameter>& MCGLMOutputStats::GetParameters() {
  return fpData->fParameters;
}

double MCGLMOutputStats::GetTotalFreqWeight() { return fpData->fTotalFreqWeight; }

double MCGLMOutputStats::GetTotalRegrWeight() { return fpData->fTotalRegrWeight; }

double MCGLMOutputStats::GetNDegFreedom() { return fpData->fNDegFreedom; }

double MCGLMOutputStats::GetModelFitStat(MCConst::MCModelFitStat which) {
  switch (which) {
    case MCConst::kRMSE:
      return fpData->fRMSE;
    case MCConst::kRSquare:
      return fpData->fRSquare;
    default:
      return MCMV::Missing();
  }
}

const MCCommonMath::MCSymMatrixData* MCGLMOutputStats::GetCovarianceMatrix() {
  return fpData->fpCovariance.get();
}

const std::vector<MCRegrParameterStats>& MCGLMOutputStats::GetParamStats() {
  return fpData->fParamStats;
}

const MCBitSet& MCGLMOutputStats::GetRedundancyIndicators() { return fpData->fRedundancy; }

const MCRegRecordValidator& MCGLMOutputStats::GetRecordValidator() {
  return fpData->fpAlgorithm->GetValidator();
}

bool MCGLMOutputStats::ExpandRow(const MCCommon::Record& record, std::vector<double>& row) const {
  MCCommon::MCStatus scratch;
  const MCGLMAlgorithm& algorithm = *fpData->fpAlgorithm;
  if (!algorithm.GetValidator().IsValid4Scoring(record, scratch)) return false;
  return algorithm.GetModel().ExpandRow(record, row);
}

void MCGLMOutputStats::Cancel() { fpData->fpAlgorithm->Cancel(); }

void MCGLMOutputStats::Display() const {
  const Data& d = *fpData;
  MCComponentDisplay::DisplayText(1, "MCGLMOutputStats display start");
  MCComponentDisplay::DisplayDV("fMeanValues", d.fMeanValues);
  MCComponentDisplay::DisplayText(1, "fFactorCounts:");
  d.fFactorCounts.Display();
  MCComponentDisplay::DisplayDV("fParamEstimates", d.fParamEstimates);
  MCComponentDisplay::DisplayI("fParameters and fParamStats: total model parameters",
                               static_cast<int>(d.fParameters.size()));
  for (std::size_t k = 0; k < d.fParameters.size(); ++k) {
    d.fParameters[k].Display();
    MCComponentDisplay::DisplayD("Parameter estimate", d.fParamStats[k].fEstimate);
    MCComponentDisplay::DisplayB("Redundant", d.fParamStats[k].fNotRedundant == 0);
  }
  MCComponentDisplay::DisplayD("fTotalFreqWeight", d.fTotalFreqWeight);
  MCComponentDisplay::DisplayD("fTotalRegrWeight", d.fTotalRegrWeight);
  MCComponentDisplay::DisplayD("fNDegFreedom", d.fNDegFreedom);
  MCComponentDisplay::DisplayD("RMSE", d.fRMSE);
  MCComponentDisplay::DisplayD("Multiple R Square", d.fRSquare);
  MCComponentDisplay::DisplayText(1, "Covariance matrix:");
  if (d.fpCovariance) d.fpCovariance->Display();
  MCComponentDisplay::DisplayText(1, "MCGLMOutputStats display end");
}

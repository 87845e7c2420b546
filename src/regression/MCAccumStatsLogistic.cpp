#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "MCAccumStats.h"
#include "MCComponentDisplay.h"
#include "MCSparseVector.h"

using MCCommon::MCComponentDisplay;
using MCCommonMath::MCSparseVector;
using MCCommonMath::MCSymMatrix;

namespace {

// A row is well formed when both lists have the same length and the indices strictly increase
// inside [0, p). The empty row is well formed.
bool IsWellFormedRow(const std::vector<int>& indices, const std::vector<double>& values, int p) {
  if (indices.size() != values.size()) return false;
  int previous = -1;
  for (int index : indices) {
    if (index <= previous || index >= p) return false;
    previous = index;
  }
  return true;
}

}  // namespace

IMCAccumStats::~IMCAccumStats() = default;

MCAccumStatsLogistic::MCAccumStatsLogistic(const MCRegSettings& settings, int p, int K,
                                           const std::vector<double>& params)
    : fSettings(settings), fNParameters(p), fNCategories(K), fvParameters(params) {
  ResetExtremes();
  if (p < 0 || K < 2) return;
  const std::size_t nParams = static_cast<std::size_t>(K - 1) * static_cast<std::size_t>(p);
  if (params.size() < nParams) return;
  fvScores.assign(nParams, 0.0);
  fvProb.assign(static_cast<std::size_t>(K), 0.0);
  fbValid = fHessian.SetNRows(K - 1, p);
}

MCAccumStatsLogistic::~MCAccumStatsLogistic() = default;

void MCAccumStatsLogistic::ResetExtremes() {
  fMinObservedProb = std::numeric_limits<double>::max();
  fMaxObservedProb = -std::numeric_limits<double>::max();
  fMinComputedProb = std::numeric_limits<double>::max();
}

void MCAccumStatsLogistic::Reset(MCConst::MCEstimationMethod method, bool separationCheck) {
  fLogLikelihood = 0.0;
  std::fill(fvScores.begin(), fvScores.end(), 0.0);
  fHessian.Clear();
  fWeight = 0.0;
  fNValidRows = 0;
  fNInvalidCalls = 0;
  ResetExtremes();
  fEstimationMethod = method;
  fbSeparationCheck = separationCheck;
}

bool MCAccumStatsLogistic::CheckConstraints() { return true; }

double MCAccumStatsLogistic::GetStepAdjustmentFactor() const { return 1.0; }

int MCAccumStatsLogistic::UpdateForRow(const std::vector<int>& indices,
                                       const std::vector<double>& values, int category,
                                       double weight, bool llOnly) {
  if (!fbValid) return -1;
  const int p = fNParameters;
  const int K = fNCategories;
  const int ref = K - 1;
  // An all-zero design row arrives as the empty row: every linear predictor is then 0.
  const bool emptyRow = p == 0 || indices.empty();
  if (p > 0 && !IsWellFormedRow(indices, values, p)) return -1;
  if (category < 0 || category >= K || !(weight > 0.0)) return -1;

  const MCSparseVector x(indices, values);
  double logRef = 0.0;
  if (emptyRow) {
    std::fill(fvProb.begin(), fvProb.end(), 1.0 / K);
    logRef = -std::log(static_cast<double>(K));
  } else if (!x.ComputeProbabilities(fvParameters, K, p, fvProb, logRef) ||
             !std::isfinite(logRef)) {
    ++fNInvalidCalls;
    return -1;
  }
  // log pi_c = eta_c + log pi_ref; eta_c = x' beta_c for a non-reference category.
  double logObserved = logRef;
  if (category != ref && !emptyRow) {
    logObserved += x.InnerProductWithPart(fvParameters, category * p);
    if (!std::isfinite(logObserved)) {
      ++fNInvalidCalls;
      return -1;
    }
  }

  ++fNValidRows;
  fWeight += weight;
  if (fbSeparationCheck) {
    const double smallest = std::min(1.0, *std::min_element(fvProb.begin(), fvProb.end()));
    fMinObservedProb = std::min(fMinObservedProb, fvProb[category]);
    fMaxObservedProb = std::max(fMaxObservedProb, fvProb[category]);
    fMinComputedProb = std::min(fMinComputedProb, smallest);
  }
  fLogLikelihood += weight * logObserved;

  if (llOnly || emptyRow) return 0;
  for (int j = 0; j < ref; ++j) {
    const double residual = (j == category ? 1.0 : 0.0) - fvProb[j];
    x.IncrementPart(fvScores, j * p, weight * residual);
    const double wj = weight * fvProb[j];
    for (int l = 0; l <= j; ++l) {
      const double c = l == j ? wj * (1.0 - fvProb[j]) : -wj * fvProb[l];
      x.QuadraticOuterProductPartIncr(fHessian.GetElemSSRef(j, l), 0, c);
    }
  }
  return 0;
}

void MCAccumStatsLogistic::GetHessian(MCSymMatrix& out) const {
  if (fHessian.CopyToSymMatrix(out) < 0) out.SetNRows(0);
}

void MCAccumStatsLogistic::GetCounts(int& nValid, int& nInvalid, double& weight) const {
  nValid = fNValidRows;
  nInvalid = fNInvalidCalls;
  weight = fWeight;
}

void MCAccumStatsLogistic::GetMinMaxProbabilities(double& minObserved, double& maxObserved,
                                                  double& minComputed) const {
  minObserved = fMinObservedProb;
  maxObserved = fMaxObservedProb;
  minComputed = fMinComputedProb;
}

void MCAccumStatsLogistic::Display(bool full) const {
  MCComponentDisplay::DisplayText(1, "MCAccumStatsLogistic display start");
  MCComponentDisplay::DisplayD("Accumulated log-likelihood", fLogLikelihood);
  MCComponentDisplay::DisplayI("Number of estimated parameters in the model", fNParameters);
  MCComponentDisplay::DisplayI("Number of response categories of the dependent variable",
                               fNCategories);
  MCComponentDisplay::DisplayDV("Accumulated vector of scores", fvScores);
  MCComponentDisplay::DisplayText(1, "Accumulated Hessian:");
  if (full) fHessian.Display();
  MCComponentDisplay::DisplayI("Number of valid rows processed", fNValidRows);
  MCComponentDisplay::DisplayI("Number of invalid calls to UpdateForRow()", fNInvalidCalls);
  MCComponentDisplay::DisplayD("Accumulated weight", fWeight);
  MCComponentDisplay::DisplayB("Separation check", fbSeparationCheck);
  MCComponentDisplay::DisplayD("Minimum probability of the observed response", fMinObservedProb);
  MCComponentDisplay::DisplayD("Maximum probability of the observed response", fMaxObservedProb);
  MCComponentDisplay::DisplayD("Minimum computed probability", fMinComputedProb);
  MCComponentDisplay::DisplayB("Validity indicator", fbValid);
  MCComponentDisplay::DisplayText(1, "MCAccumStatsLogistic display end");
}

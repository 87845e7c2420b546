#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>

#include "MCAccumStats.h"
#include "MCComponentDisplay.h"
#include "MCRegLimits.h"

using MCCommon::MCComponentDisplay;
using MCCommonMath::MCSymMatrix;
namespace dd = MCCommonMath::ddkernels;

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

// Exponents outside [kMinExp, kMaxExp] underflow to 0 or overflow a double.
constexpr double kMaxExp = 709.0;
constexpr double kMinExp = -708.39;

// eta[c] = sum over k of val[k] b_c[idx[k]] for the nLogits blocks b_c of p values, each added
// in index order; the blocks advance together, so their sums do not wait on one another.
template <int NC>
inline void PredictorsFixed(const int* idx, const double* val, int m, const double* b, int p,
                            double* eta) {
  double sum[NC] = {};
  for (int k = 0; k < m; ++k) {
    const double v = val[k];
    const double* bk = b + idx[k];
    for (int c = 0; c < NC; ++c) sum[c] += v * bk[static_cast<std::size_t>(c) * p];
  }
  for (int c = 0; c < NC; ++c) eta[c] = sum[c];
}

void Predictors(const int* idx, const double* val, int m, const double* beta, int nLogits, int p,
                double* eta) {
  for (int c0 = 0; c0 < nLogits;) {
    const double* b = beta + static_cast<std::size_t>(c0) * static_cast<std::size_t>(p);
    switch (std::min(nLogits - c0, 3)) {
      case 1:
        PredictorsFixed<1>(idx, val, m, b, p, eta + c0);
        c0 += 1;
        break;
      case 2:
        PredictorsFixed<2>(idx, val, m, b, p, eta + c0);
        c0 += 2;
        break;
      default:
        PredictorsFixed<3>(idx, val, m, b, p, eta + c0);
        c0 += 3;
    }
  }
}

// The multinomial-logit probabilities of a well-formed, non-empty row (m entries), the way
// MCSparseVector::ComputeProbabilities makes them: the same predictors, the same shift by the
// integer part of the largest predictor and the same underflow limit, hence the same
// log-probability of the reference. The probabilities are the shifted exponentials over their
// sum: one exponential per category instead of two. eta receives the K-1 predictors.
void RowProbabilities(const int* idx, const double* val, int m, const double* beta, int K, int p,
                      double* eta, double* prob, double& logRef) {
  const int ref = K - 1;
  Predictors(idx, val, m, beta, ref, p, eta);
  bool allEqual = true;
  double largest = 0.0;  // the reference's predictor
  for (int c = 0; c < ref; ++c) {
    if (eta[c] != eta[0]) allEqual = false;
    largest = std::max(largest, eta[c]);
  }
  if (allEqual) {
    const double e0 = eta[0];
    if (e0 > kMaxExp) {
      for (int c = 0; c < ref; ++c) prob[c] = 1.0 / ref;
      prob[ref] = 0.0;
      logRef = -e0 - std::log(static_cast<double>(ref));
    } else if (e0 < kMinExp) {
      for (int c = 0; c < ref; ++c) prob[c] = 0.0;
      prob[ref] = 1.0;
      logRef = 0.0;
    } else if (e0 > 0.0) {
      // e / (1 + ref e) with e divided out: 1 + ref e overflows near the upper limit with
      // several categories.
      const double u = std::exp(-e0);
      const double den = ref + u;
      for (int c = 0; c < ref; ++c) prob[c] = 1.0 / den;
      prob[ref] = u / den;
      logRef = -e0 - std::log(den);
    } else {
      const double e = std::exp(e0);
      const double den = 1.0 + ref * e;
      for (int c = 0; c < ref; ++c) prob[c] = e / den;
      prob[ref] = 1.0 / den;
      logRef = -std::log1p(ref * e);
    }
    return;
  }
  const double shift = std::floor(largest);
  double sum = 0.0;
  for (int c = 0; c < ref; ++c) {
    const double x = eta[c] - shift;
    prob[c] = x >= kMinExp ? std::exp(x) : 0.0;
    sum += prob[c];
  }
  // The reference's exponential, exp(-shift): 1 without a shift (predictors below 1).
  prob[ref] = shift == 0.0 ? 1.0 : (-shift >= kMinExp ? std::exp(-shift) : 0.0);
  sum += prob[ref];
  for (int c = 0; c <= ref; ++c) prob[c] /= sum;
  logRef = -shift - std::log(sum);
}

// acc += w x with the product exact (the kernel has the fused multiply-add inline).
void AddWeighted(dd::DD& acc, double w, double x) {
  dd::DD product;
  dd::TwoProducts(1, w, &x, &product);
  dd::AddPair(acc, product);
}

}  // namespace

IMCAccumStats::~IMCAccumStats() = default;

dd::DD IMCAccumStats::GetLLExtended() const { return {GetLL(), 0.0}; }

void IMCAccumStats::SetLLBase(const std::vector<double>*, const dd::DD&) {}

double IMCAccumStats::GetLLScale() const { return std::numeric_limits<double>::infinity(); }

bool IMCAccumStats::BeginPattern(const std::vector<int>&, const std::vector<int>&, int, int) {
  return false;
}

int IMCAccumStats::UpdateForPatternRow(const double*, int, double, bool) { return -1; }

void IMCAccumStats::EndPattern() {}

bool IMCAccumStats::GetLLByChange(dd::DD&) const { return false; }

void IMCAccumStats::GetScoresExtended(std::vector<dd::DD>& out) const {
  const std::vector<double>& scores = GetScores();
  out.resize(scores.size());
  for (std::size_t t = 0; t < scores.size(); ++t) out[t] = {scores[t], 0.0};
}

void IMCAccumStats::GetHessianExtended(std::vector<dd::DD>& out) const {
  MCSymMatrix hessian;
  GetHessian(hessian);
  const std::vector<double>& packed = hessian.AsVectorConst();
  out.resize(packed.size());
  for (std::size_t t = 0; t < packed.size(); ++t) out[t] = {packed[t], 0.0};
}

void MCLogitSums::Shape(int p, int K) {
  fNParameters = p;
  fNCategories = K;
  const std::size_t nLogits = static_cast<std::size_t>(std::max(K - 1, 0));
  const std::size_t nBlocks = nLogits * static_cast<std::size_t>(std::max(K, 0)) / 2;
  fTotals.Resize(3);
  fScores.Resize(nLogits * static_cast<std::size_t>(std::max(p, 0)));
  fvHessian.assign(2 * nBlocks * dd::PackedRowStart(std::max(p, 0)), 0.0);
  Clear();
}

void MCLogitSums::Clear() {
  fTotals.Clear();
  fScores.Clear();
  std::fill(fvHessian.begin(), fvHessian.end(), 0.0);
  fNValidRows = 0;
  fNInvalidCalls = 0;
  fMinObservedProb = std::numeric_limits<double>::max();
  fMaxObservedProb = -std::numeric_limits<double>::max();
  fMinComputedProb = std::numeric_limits<double>::max();
  fLLScale = 0.0;
  fbChangePass = false;
  fbHasChanges = false;
}

bool MCLogitSums::SameShape(const MCLogitSums& other) const {
  return fNParameters == other.fNParameters && fNCategories == other.fNCategories &&
         fTotals.Size() == other.fTotals.Size() && fScores.Size() == other.fScores.Size() &&
         fvHessian.size() == other.fvHessian.size();
}

bool MCLogitSums::Merge(const MCLogitSums& other) {
  if (!SameShape(other)) return false;
  fTotals.Merge(other.fTotals);
  fScores.Merge(other.fScores);
  const std::size_t nBlocks = static_cast<std::size_t>(std::max(fNCategories - 1, 0)) *
                              static_cast<std::size_t>(std::max(fNCategories, 0)) / 2;
  if (nBlocks > 0) {
    dd::MergeBlocks(fvHessian.size() / (2 * nBlocks), static_cast<int>(nBlocks),
                    other.fvHessian.data(), fvHessian.data());
  }
  fNValidRows += other.fNValidRows;
  fNInvalidCalls += other.fNInvalidCalls;
  fMinObservedProb = std::min(fMinObservedProb, other.fMinObservedProb);
  fMaxObservedProb = std::max(fMaxObservedProb, other.fMaxObservedProb);
  fMinComputedProb = std::min(fMinComputedProb, other.fMinComputedProb);
  fLLScale += other.fLLScale;
  fbChangePass = fbChangePass || other.fbChangePass;
  fbHasChanges = fbHasChanges || other.fbHasChanges;
  return true;
}

MCAccumStatsLogistic::MCAccumStatsLogistic(const MCRegSettings& settings, int p, int K,
                                           const std::vector<double>& params)
    : fSettings(settings), fNParameters(p), fNCategories(K), fvParameters(params) {
  ResetExtremes();
  if (p < 0 || K < 2) return;
  // The information matrix of order (K-1) p is read into int-indexed matrices.
  if (static_cast<std::int64_t>(K - 1) * p > std::numeric_limits<std::int32_t>::max()) return;
  const std::size_t nParams = static_cast<std::size_t>(K - 1) * static_cast<std::size_t>(p);
  if (params.size() < nParams) return;
  const std::size_t nBlocks = static_cast<std::size_t>(K - 1) * static_cast<std::size_t>(K) / 2;
  try {
    fvScores.assign(nParams, 0.0);
    fvLargestParameter.assign(static_cast<std::size_t>(p), 0.0);
    fvProb.assign(static_cast<std::size_t>(K), 0.0);
    fvEta.assign(static_cast<std::size_t>(K), 0.0);
    fvEta0.assign(static_cast<std::size_t>(K), 0.0);
    fvEtaChange.assign(static_cast<std::size_t>(K), 0.0);
    fvProb0.assign(static_cast<std::size_t>(K), 0.0);
    fSums.Shape(p, K);
    fvBlockCoef.assign(nBlocks, dd::DD{});
    fvRowWork.assign(static_cast<std::size_t>(K - 1) + nBlocks, 0.0);
  } catch (const std::exception&) {
    return;
  }
  fbValid = true;
}

double MCAccumStatsLogistic::RequiredBytes(int p, int K) {
  const double nLogits = K - 1.0;
  const double nBlocks = nLogits * K / 2.0;
  const double n = nLogits * p;
  // The information sums (hi and lo per block and packed position), the row's block
  // coefficients and products, the scores (pairs and doubles) and the category work vectors.
  return 8.0 * (2.0 * nBlocks * MCRegLimits::PackedSize(p) + 3.0 * nBlocks + nLogits) + 24.0 * n +
         40.0 * K;
}

MCAccumStatsLogistic::~MCAccumStatsLogistic() = default;

void MCAccumStatsLogistic::ResetExtremes() {
  fSums.fMinObservedProb = std::numeric_limits<double>::max();
  fSums.fMaxObservedProb = -std::numeric_limits<double>::max();
  fSums.fMinComputedProb = std::numeric_limits<double>::max();
}

void MCAccumStatsLogistic::Reset(MCConst::MCEstimationMethod method, bool separationCheck) {
  if (fpBase != nullptr && fpBase->size() == fvParameters.size()) {
    // Exact for the close parameters where it matters (Sterbenz).
    fvDelta.resize(fvParameters.size());
    for (std::size_t t = 0; t < fvDelta.size(); ++t) fvDelta[t] = fvParameters[t] - (*fpBase)[t];
  }
  std::fill(fvScores.begin(), fvScores.end(), 0.0);
  const int p = fNParameters;
  std::fill(fvLargestParameter.begin(), fvLargestParameter.end(), 0.0);
  for (int j = 0; fbValid && j + 1 < fNCategories; ++j) {
    for (int i = 0; i < p; ++i) {
      double& largest = fvLargestParameter[static_cast<std::size_t>(i)];
      largest = std::max(largest, std::fabs(fvParameters[static_cast<std::size_t>(j) * p + i]));
    }
  }
  fSums.Clear();
  fbScoresCurrent = true;
  fEstimationMethod = method;
  fbSeparationCheck = separationCheck;
}

bool MCAccumStatsLogistic::AdoptSums(MCLogitSums&& sums) {
  if (!fbValid || !fSums.SameShape(sums)) return false;
  fSums = std::move(sums);
  fbScoresCurrent = false;
  return true;
}

void MCAccumStatsLogistic::TakeSums(MCLogitSums& out) {
  out = std::move(fSums);
  fSums.Shape(fNParameters, fNCategories);
  fbScoresCurrent = false;
}

bool MCAccumStatsLogistic::CheckConstraints() { return true; }

double MCAccumStatsLogistic::GetStepAdjustmentFactor() const { return 1.0; }

int MCAccumStatsLogistic::UpdateForRow(const std::vector<int>& indices,
                                       const std::vector<double>& values, int category,
                                       double weight, bool llOnly) {
  if (!fbValid) return -1;
  const int p = fNParameters;
  if (p > 0 && !IsWellFormedRow(indices, values, p)) return -1;
  // An all-zero design row arrives as the empty row: every linear predictor is then 0.
  const int m = p == 0 ? 0 : static_cast<int>(indices.size());
  return AddRow(indices.data(), values.data(), m, category, weight, llOnly, nullptr);
}

int MCAccumStatsLogistic::AddRow(const int* idx, const double* val, int m, int category,
                                 double weight, bool llOnly, const double* columnValues) {
  const int p = fNParameters;
  const int K = fNCategories;
  const int ref = K - 1;
  const bool emptyRow = m == 0;
  if (category < 0 || category >= K || !(weight > 0.0)) return -1;

  // With a base, a log-likelihood-only pass (without the separation check) adds only each
  // row's change; a full pass adds it besides its own terms.
  const bool haveBase = fpBase != nullptr && fpBase->size() == fvParameters.size() &&
                        fvDelta.size() == fpBase->size();
  const bool change = llOnly && !fbSeparationCheck && haveBase;
  const bool alsoChange = !llOnly && haveBase;
  double logRef = 0.0;
  double logObserved = 0.0;
  double rowChange = 0.0;
  if (emptyRow) {
    std::fill(fvProb.begin(), fvProb.end(), 1.0 / K);
    logRef = -std::log(static_cast<double>(K));
    logObserved = logRef;
  } else {
    if (fvParameters.size() < static_cast<std::size_t>(ref) * static_cast<std::size_t>(p)) {
      ++fSums.fNInvalidCalls;
      return -1;
    }
    if (!change || !RowChange(idx, val, m, category, rowChange)) {
      RowProbabilities(idx, val, m, fvParameters.data(), K, p, fvEta.data(), fvProb.data(), logRef);
      // log pi_c = eta_c + log pi_ref; eta_c = x' beta_c for a non-reference category.
      logObserved = category != ref ? logRef + fvEta[static_cast<std::size_t>(category)] : logRef;
      if (!std::isfinite(logRef) || !std::isfinite(logObserved)) {
        ++fSums.fNInvalidCalls;
        return -1;
      }
      if (change || (alsoChange && !RowChange(idx, val, m, category, rowChange))) {
        // A large change: the difference of the two log-probabilities loses nothing that
        // matters.
        double logRef0 = 0.0;
        RowProbabilities(idx, val, m, fpBase->data(), K, p, fvEta0.data(), fvProb0.data(), logRef0);
        const double logObserved0 =
            category != ref ? logRef0 + fvEta0[static_cast<std::size_t>(category)] : logRef0;
        rowChange = logObserved - logObserved0;
      }
    }
  }
  ++fSums.fNValidRows;
  dd::AddValue(fSums.fTotals[1], weight);
  if (change) {
    fSums.fbChangePass = true;
    AddWeighted(fSums.fTotals[0], weight, rowChange);
    return 0;
  }
  if (alsoChange) {
    fSums.fbHasChanges = true;
    AddWeighted(fSums.fTotals[2], weight, rowChange);
  }

  double magnitude = 0.0;
  for (int k = 0; k < m; ++k) {
    magnitude += std::fabs(val[k]) * fvLargestParameter[static_cast<std::size_t>(idx[k])];
  }
  fSums.fLLScale += weight * (std::fabs(logRef) + (m + 2.0) * magnitude);
  if (fbSeparationCheck) {
    const double smallest = std::min(1.0, *std::min_element(fvProb.begin(), fvProb.end()));
    fSums.fMinObservedProb = std::min(fSums.fMinObservedProb, fvProb[category]);
    fSums.fMaxObservedProb = std::max(fSums.fMaxObservedProb, fvProb[category]);
    fSums.fMinComputedProb = std::min(fSums.fMinComputedProb, smallest);
  }
  AddWeighted(fSums.fTotals[0], weight, logObserved);

  if (llOnly || emptyRow) return 0;
  dd::DD* coef = fvBlockCoef.data();
  // Each coefficient is the weight times a double, carried exactly as a pair: a frequency
  // weight then adds what as many unit-weight rows would.
  double* residual = fvRowWork.data();
  double* products = residual + ref;
  for (int j = 0, t = 0; j < ref; ++j) {
    residual[j] = (j == category ? 1.0 : 0.0) - fvProb[j];
    for (int l = 0; l <= j; ++l, ++t) {
      products[t] = l == j ? fvProb[j] * (1.0 - fvProb[j]) : -fvProb[j] * fvProb[l];
    }
  }
  if (columnValues != nullptr) {
    // The same products over the pattern's columns, into its own sums (the scores with their
    // parts apart, so that they go four columns at a time).
    const int c = static_cast<int>(fvColumnIndex.size());
    const int nb = static_cast<int>(fvBlockCoef.size());
    dd::TwoProducts(ref, weight, residual, coef);
    dd::AddScaledColumns(c, columnValues, ref, coef, fvPatternScores.data(),
                         fvPatternScores.data() + static_cast<std::size_t>(ref) * c);
    dd::TwoProducts(nb, weight, products, coef);
    dd::AddOuterSparseBlocks(c, fvColumnIndex.data(), columnValues, nb, coef,
                             fvPatternInformation.data());
    fbPatternAdded = true;
  } else {
    dd::AddLogitRow(m, idx, val, ref, p, weight, residual, products, coef, fSums.fScores.Data(),
                    fSums.fvHessian.data());
  }
  fbScoresCurrent = false;
  return 0;
}

bool MCAccumStatsLogistic::BeginPattern(const std::vector<int>& indices,
                                        const std::vector<int>& columns, int nColumns, int nRows) {
  fbInPattern = false;
  const int p = fNParameters;
  if (!fbValid || p == 0 || indices.empty() || columns.size() != indices.size() || nColumns < 1) {
    return false;
  }
  int previous = -1;
  for (std::size_t k = 0; k < indices.size(); ++k) {
    if (indices[k] <= previous || indices[k] >= p || columns[k] < 0 || columns[k] >= nColumns) {
      return false;
    }
    previous = indices[k];
  }
  fvPatternIndex = indices;
  fvPatternColumn = columns;
  fvPatternValues.resize(indices.size());
  // The rows' products go to the pattern's own sums over its columns (a pair of columns once,
  // however many of its parameters share them), which are added to the totals at its end: worth
  // it when that saves more than the one addition of each of the pattern's pairs costs.
  const double pairs = 0.5 * indices.size() * (indices.size() + 1.0);
  const double columnPairs = 0.5 * nColumns * (nColumns + 1.0);
  fbPatternMoments = nRows * (pairs - columnPairs) > pairs;
  if (fbPatternMoments) {
    const int nLogits = fNCategories - 1;
    fvColumnIndex.resize(static_cast<std::size_t>(nColumns));
    for (int a = 0; a < nColumns; ++a) fvColumnIndex[static_cast<std::size_t>(a)] = a;
    fvPatternScores.assign(2 * static_cast<std::size_t>(nLogits) * nColumns, 0.0);
    fvPatternInformation.assign(2 * fvBlockCoef.size() * dd::PackedRowStart(nColumns), 0.0);
  }
  fbPatternAdded = false;
  fbInPattern = true;
  return true;
}

int MCAccumStatsLogistic::UpdateForPatternRow(const double* columnValues, int category,
                                              double weight, bool llOnly) {
  if (!fbInPattern) return -1;
  const int m = static_cast<int>(fvPatternIndex.size());
  bool allZero = true;
  for (int k = 0; k < m; ++k) {
    const double v = columnValues[fvPatternColumn[static_cast<std::size_t>(k)]];
    fvPatternValues[static_cast<std::size_t>(k)] = v;
    allZero = allZero && v == 0.0;
  }
  // Zero values add exact zeros; a row of them is the empty row.
  return AddRow(fvPatternIndex.data(), fvPatternValues.data(), allZero ? 0 : m, category, weight,
                llOnly, fbPatternMoments ? columnValues : nullptr);
}

void MCAccumStatsLogistic::EndPattern() {
  if (fbInPattern && fbPatternMoments && fbPatternAdded) {
    // Pair (k, l) of the pattern's parameters receives the sums of the pair of their columns.
    const int p = fNParameters;
    const int c = static_cast<int>(fvColumnIndex.size());
    const int nb = static_cast<int>(fvBlockCoef.size());
    const int m = static_cast<int>(fvPatternIndex.size());
    const int* idx = fvPatternIndex.data();
    const int* col = fvPatternColumn.data();
    const std::size_t lows = static_cast<std::size_t>(fNCategories - 1) * c;
    for (int j = 0; j + 1 < fNCategories; ++j) {
      for (int k = 0; k < m; ++k) {
        const std::size_t at = static_cast<std::size_t>(j) * c + col[k];
        const dd::DD sum{fvPatternScores[at], fvPatternScores[lows + at]};
        dd::Merge(1, &sum, fSums.fScores.Data() + static_cast<std::size_t>(j) * p + idx[k]);
      }
    }
    const std::size_t stride = 2 * static_cast<std::size_t>(nb);
    for (int k = 0; k < m; ++k) {
      for (int l = 0; l <= k; ++l) {
        const std::size_t from = dd::PackedRowStart(std::max(col[k], col[l])) +
                                 static_cast<std::size_t>(std::min(col[k], col[l]));
        const std::size_t to = dd::PackedRowStart(idx[k]) + static_cast<std::size_t>(idx[l]);
        dd::MergeBlocks(1, nb, fvPatternInformation.data() + from * stride,
                        fSums.fvHessian.data() + to * stride);
      }
    }
  }
  fbInPattern = false;
}

void MCAccumStatsLogistic::SyncScores() const {
  if (fbScoresCurrent || !fbValid) return;
  dd::Round(static_cast<int>(fSums.fScores.Size()), fSums.fScores.Data(), fvScores.data(), 1);
  fbScoresCurrent = true;
}

const std::vector<double>& MCAccumStatsLogistic::GetScores() const {
  SyncScores();
  return fvScores;
}

bool MCAccumStatsLogistic::RowChange(const int* idx, const double* val, int m, int category,
                                     double& change) {
  const int K = fNCategories;
  const int ref = K - 1;
  const int p = fNParameters;
  // The change of every predictor straight from the parameter difference; a large one is left
  // to the difference of the two log-probabilities.
  double* deta = fvEtaChange.data();
  Predictors(idx, val, m, fvDelta.data(), ref, p, deta);
  double largest = 0.0;
  for (int j = 0; j < ref; ++j) largest = std::max(largest, std::fabs(deta[j]));
  if (!(largest <= 0.25)) return false;
  double logRef0 = 0.0;
  RowProbabilities(idx, val, m, fpBase->data(), K, p, fvEta0.data(), fvProb0.data(), logRef0);
  if (!std::isfinite(logRef0)) return false;
  // log pi_c - log pi0_c = deta_c - log(sum_k pi0_k exp(deta_k)), the sum being
  // 1 + sum_k pi0_k expm1(deta_k) with deta of the reference 0: every term keeps its digits.
  double s = 0.0;
  for (int j = 0; j < ref; ++j) s += fvProb0[static_cast<std::size_t>(j)] * std::expm1(deta[j]);
  change = (category != ref ? deta[category] : 0.0) - std::log1p(s);
  return std::isfinite(change);
}

void MCAccumStatsLogistic::SetLLBase(const std::vector<double>* base, const dd::DD& baseLL) {
  fpBase = base;
  fBaseLL = baseLL;
}

double MCAccumStatsLogistic::GetLL() const { return dd::ToDouble(GetLLExtended()); }

bool MCAccumStatsLogistic::GetLLByChange(dd::DD& ll) const {
  if (fSums.fbChangePass) {
    ll = GetLLExtended();
    return true;
  }
  if (!fSums.fbHasChanges) return false;
  ll = dd::Add(fBaseLL, fSums.fTotals.Value(2));
  return true;
}

double MCAccumStatsLogistic::GetLLScale() const { return fSums.fLLScale; }

dd::DD MCAccumStatsLogistic::GetLLExtended() const {
  const dd::DD sum = fSums.fTotals.Size() ? fSums.fTotals.Value(0) : dd::DD{};
  return fSums.fbChangePass ? dd::Add(fBaseLL, sum) : sum;
}

void MCAccumStatsLogistic::GetScoresExtended(std::vector<dd::DD>& out) const {
  out.resize(fSums.fScores.Size());
  for (std::size_t t = 0; t < out.size(); ++t) out[t] = fSums.fScores.Value(t);
}

template <typename Visit>
void MCAccumStatsLogistic::ForEachHessianElement(Visit visit) const {
  // Block (j, l) of the full matrix of order (K-1) p: element (j p + r, l p + c).
  const int p = fNParameters;
  const int nLogits = fNCategories - 1;
  const int nBlocks = static_cast<int>(fvBlockCoef.size());
  for (int j = 0; j < nLogits; ++j) {
    for (int l = 0; l <= j; ++l) {
      const int t = j * (j + 1) / 2 + l;
      for (int r = 0; r < p; ++r) {
        for (int c = 0; c < p; ++c) {
          if (j == l && c > r) break;
          // Element (r, c) of block (j, l); within a diagonal block only c <= r is stored,
          // an off-diagonal block is full and its (r, c) is (c, r) of the stored triangle.
          const int hi = r >= c ? r : c;
          const int lo = r >= c ? c : r;
          const std::size_t e = dd::PackedRowStart(hi) + lo;
          visit(dd::PackedRowStart(j * p + r) + static_cast<std::size_t>(l * p + c),
                dd::BlockSum(fSums.fvHessian.data(), nBlocks, e, t));
        }
      }
    }
  }
}

void MCAccumStatsLogistic::GetHessianExtended(std::vector<dd::DD>& out) const {
  out.clear();
  if (!fbValid) return;
  out.assign(dd::PackedRowStart((fNCategories - 1) * fNParameters), dd::DD{});
  ForEachHessianElement([&out](std::size_t at, const dd::DD& value) { out[at] = value; });
}

void MCAccumStatsLogistic::GetHessian(MCSymMatrix& out) const {
  const int nLogits = fNCategories - 1;
  if (!fbValid || !out.SetNRows(nLogits * fNParameters)) {
    out.SetNRows(0);
    return;
  }
  if (fNParameters >= 1) out.SetNBlocks(nLogits);
  double* a = out.AsVector().data();
  ForEachHessianElement([a](std::size_t at, const dd::DD& value) { a[at] = dd::ToDouble(value); });
}

void MCAccumStatsLogistic::GetCounts(int& nValid, int& nInvalid, double& weight) const {
  nValid = static_cast<int>(fSums.fNValidRows);
  nInvalid = static_cast<int>(fSums.fNInvalidCalls);
  weight = GetWeight();
}

double MCAccumStatsLogistic::GetWeight() const {
  return fSums.fTotals.Size() != 0 ? fSums.fTotals.Rounded(1) : 0.0;
}

void MCAccumStatsLogistic::GetMinMaxProbabilities(double& minObserved, double& maxObserved,
                                                  double& minComputed) const {
  minObserved = fSums.fMinObservedProb;
  maxObserved = fSums.fMaxObservedProb;
  minComputed = fSums.fMinComputedProb;
}

void MCAccumStatsLogistic::Display(bool full) const {
  MCComponentDisplay::DisplayText(1, "MCAccumStatsLogistic display start");
  MCComponentDisplay::DisplayD("Accumulated log-likelihood", GetLL());
  MCComponentDisplay::DisplayI("Number of estimated parameters in the model", fNParameters);
  MCComponentDisplay::DisplayI("Number of response categories of the dependent variable",
                               fNCategories);
  MCComponentDisplay::DisplayDV("Accumulated vector of scores", GetScores());
  MCComponentDisplay::DisplayText(1, "Accumulated Hessian:");
  if (full) {
    MCSymMatrix hessian;
    GetHessian(hessian);
    hessian.Display();
  }
  MCComponentDisplay::DisplayI("Number of valid rows processed",
                               static_cast<int>(fSums.fNValidRows));
  MCComponentDisplay::DisplayI("Number of invalid calls to UpdateForRow()",
                               static_cast<int>(fSums.fNInvalidCalls));
  MCComponentDisplay::DisplayD("Accumulated weight", GetWeight());
  MCComponentDisplay::DisplayB("Separation check", fbSeparationCheck);
  MCComponentDisplay::DisplayD("Minimum probability of the observed response",
                               fSums.fMinObservedProb);
  MCComponentDisplay::DisplayD("Maximum probability of the observed response",
                               fSums.fMaxObservedProb);
  MCComponentDisplay::DisplayD("Minimum computed probability", fSums.fMinComputedProb);
  MCComponentDisplay::DisplayB("Validity indicator", fbValid);
  MCComponentDisplay::DisplayText(1, "MCAccumStatsLogistic display end");
}

#include "MCSparseVector.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "MCComponentDisplay.h"
#include "MCMV.h"

namespace MCCommonMath {

namespace {

// Exponents outside [kMinExp, kMaxExp] underflow to 0 or overflow a double.
constexpr double kMaxExp = 709.0;
constexpr double kMinExp = -708.39;

std::size_t PackedPos(int i, int j) {
  if (i < j) std::swap(i, j);
  return static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2 +
         static_cast<std::size_t>(j);
}

}  // namespace

MCSparseVector::MCSparseVector(const std::vector<int>& idx, const std::vector<double>& val)
    : fNElements(static_cast<int>(std::min<std::size_t>(idx.size(), INT32_MAX))),
      fpIndices(&idx),
      fpValues(&val) {
  bool ok = !idx.empty() && idx.size() == val.size() && idx.size() <= INT32_MAX && idx[0] >= 0;
  for (std::size_t k = 1; ok && k < idx.size(); ++k) ok = idx[k] > idx[k - 1];
  fbValid = ok;
}

int MCSparseVector::GetIndex(int k) const {
  if (k < 0 || k >= fNElements) return -1;
  return (*fpIndices)[k];
}

double MCSparseVector::GetValue(int k) const {
  if (k < 0 || k >= fNElements || static_cast<std::size_t>(k) >= fpValues->size()) {
    return MCMV::Missing();
  }
  return (*fpValues)[k];
}

int MCSparseVector::GetMinVecSize() const {
  if (!fbValid) return 0;
  return fpIndices->back() + 1;
}

double MCSparseVector::InnerProduct(const int* idxA, const double* valA, int nA, const int* idxB,
                                    const double* valB, int nB) {
  if (!idxA || !valA || !idxB || !valB || nA < 0 || nB < 0) return MCMV::Missing();
  double sum = 0.0;
  int a = 0, b = 0;
  while (a < nA && b < nB) {
    if (idxA[a] < idxB[b]) {
      ++a;
    } else if (idxB[b] < idxA[a]) {
      ++b;
    } else {
      sum += valA[a] * valB[b];
      ++a;
      ++b;
    }
  }
  return sum;
}

double MCSparseVector::InnerProductWithPart(const std::vector<double>& beta, int offset) const {
  if (!fbValid || offset < 0 ||
      static_cast<int64_t>(offset) + GetMinVecSize() > static_cast<int64_t>(beta.size())) {
    return MCMV::Missing();
  }
  const std::vector<int>& idx = *fpIndices;
  const std::vector<double>& val = *fpValues;
  double sum = 0.0;
  for (int k = 0; k < fNElements; ++k) sum += val[k] * beta[offset + idx[k]];
  return sum;
}

int MCSparseVector::ConvertToRegularVector(std::vector<double>& x) const {
  if (!fbValid) return -1;
  const std::size_t need = static_cast<std::size_t>(GetMinVecSize());
  if (x.size() < need) x.resize(need);
  std::fill(x.begin(), x.end(), 0.0);
  for (int k = 0; k < fNElements; ++k) x[(*fpIndices)[k]] = (*fpValues)[k];
  return static_cast<int>(x.size());
}

bool MCSparseVector::IncrementPart(std::vector<double>& x, int offset, double c) const {
  if (!fbValid || offset < 0 ||
      static_cast<int64_t>(offset) + GetMinVecSize() > static_cast<int64_t>(x.size())) {
    return false;
  }
  for (int k = 0; k < fNElements; ++k) x[offset + (*fpIndices)[k]] += c * (*fpValues)[k];
  return true;
}

bool MCSparseVector::IncrementRowPart(MCSymMatrix& S, int row, int offset, double c) const {
  const int n = S.GetNRows();
  if (!fbValid || row < 0 || row >= n || offset < 0 ||
      static_cast<int64_t>(offset) + GetMinVecSize() > n) {
    return false;
  }
  std::vector<double>& a = S.AsVector();
  for (int k = 0; k < fNElements; ++k) {
    a[PackedPos(row, offset + (*fpIndices)[k])] += c * (*fpValues)[k];
  }
  return true;
}

bool MCSparseVector::QuadraticOuterProduct(MCSymMatrix& S) const {
  if (!fbValid) return false;
  if (S.GetNRows() < GetMinVecSize()) {
    if (!S.SetNRows(GetMinVecSize())) return false;
  } else {
    S.Clear();
  }
  return QuadraticOuterProductPartIncr(S, 0, 1.0);
}

bool MCSparseVector::QuadraticOuterProductIncr(MCSymMatrix& S, double w) const {
  if (!fbValid) return false;
  if (S.GetNRows() < GetMinVecSize() && !S.SetNRows(GetMinVecSize())) return false;
  return QuadraticOuterProductPartIncr(S, 0, w);
}

bool MCSparseVector::QuadraticOuterProductPartIncr(MCSymMatrix& S, int offset, double w) const {
  if (!fbValid || offset < 0 || static_cast<int64_t>(offset) + GetMinVecSize() > S.GetNRows()) {
    return false;
  }
  const std::vector<int>& idx = *fpIndices;
  const std::vector<double>& val = *fpValues;
  std::vector<double>& a = S.AsVector();
  for (int k = 0; k < fNElements; ++k) {
    const double c = w * val[k];
    // Row offset + idx[k], columns offset + idx[l] for l <= k: inside the lower triangle.
    const std::size_t row = PackedPos(offset + idx[k], 0) + static_cast<std::size_t>(offset);
    for (int l = 0; l <= k; ++l) a[row + idx[l]] += c * val[l];
  }
  return true;
}

bool MCSparseVector::ComputeProbabilities(const std::vector<double>& beta, int nCat, int stride,
                                          std::vector<double>& p, double& logTerm) const {
  if (!fbValid || nCat < 1 || stride < 1 || stride < GetMinVecSize()) return false;
  const int64_t need = static_cast<int64_t>(nCat - 1) * stride;
  if (static_cast<int64_t>(beta.size()) < need) return false;
  if (p.size() < static_cast<std::size_t>(nCat)) p.resize(static_cast<std::size_t>(nCat));
  const int ref = nCat - 1;
  if (nCat == 1) {
    p[0] = 1.0;
    logTerm = 0.0;
    return true;
  }

  // The predictors live in p's first entries until each is replaced by its probability:
  // no allocation per row.
  double* eta = p.data();
  bool allEqual = true;
  double largest = 0.0;  // the reference's predictor
  for (int c = 0; c < ref; ++c) {
    eta[c] = InnerProductWithPart(beta, c * stride);
    if (!std::isfinite(eta[c])) return false;  // no probabilities to give
    if (eta[c] != eta[0]) allEqual = false;
    largest = std::max(largest, eta[c]);
  }

  if (allEqual) {
    const double e0 = eta[0];
    if (e0 > kMaxExp) {
      for (int c = 0; c < ref; ++c) p[c] = 1.0 / ref;
      p[ref] = 0.0;
      logTerm = -e0 - std::log(static_cast<double>(ref));
    } else if (e0 < kMinExp) {
      for (int c = 0; c < ref; ++c) p[c] = 0.0;
      p[ref] = 1.0;
      logTerm = 0.0;
    } else if (e0 > 0.0) {
      // e / (1 + ref e) with e divided out: 1 + ref e overflows near the upper limit with
      // several categories.
      const double u = std::exp(-e0);
      const double den = ref + u;
      for (int c = 0; c < ref; ++c) p[c] = 1.0 / den;
      p[ref] = u / den;
      logTerm = -e0 - std::log(den);
    } else {
      const double e = std::exp(e0);
      const double den = 1.0 + ref * e;
      for (int c = 0; c < ref; ++c) p[c] = e / den;
      p[ref] = 1.0 / den;
      logTerm = -std::log1p(ref * e);
    }
    return true;
  }

  // Shift by the integer part of the largest predictor (the reference's 0 included), so
  // the largest shifted exponent lies in [0, 1) and the sum D is at least 1.
  const double shift = std::floor(largest);
  double sum = 0.0;
  for (int c = 0; c < ref; ++c) {
    const double x = eta[c] - shift;
    if (x >= kMinExp) sum += std::exp(x);
  }
  if (-shift >= kMinExp) sum += std::exp(-shift);
  const double logD = std::log(sum);
  for (int c = 0; c < ref; ++c) {
    const double x = eta[c] - shift;
    p[c] = x >= kMinExp ? std::exp(x - logD) : 0.0;
  }
  p[ref] = -shift >= kMinExp ? std::exp(-shift - logD) : 0.0;
  logTerm = -shift - logD;
  return true;
}

void MCSparseVector::Display() const {
  using MCCommon::MCComponentDisplay;
  MCComponentDisplay::DisplayText(1, "MCSparseVector display start");
  MCComponentDisplay::DisplayI("The number of elements", fNElements);
  MCComponentDisplay::DisplayB("Valid", fbValid);
  MCComponentDisplay::DisplayIV("Indices", *fpIndices);
  MCComponentDisplay::DisplayDV("Values", *fpValues);
  MCComponentDisplay::DisplayText(1, "MCSparseVector display end");
}

}  // namespace MCCommonMath

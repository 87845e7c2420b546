// Factorisations, inverses and solvers of MCSymMatrix, and the change of parameter scale
// of a covariance matrix.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <utility>
#include <vector>

#include "Linpack.h"
#include "MCMV.h"
#include "MCSymMatrix.h"
#include "mcmath/MCCholKernels.h"

namespace MCCommonMath {

namespace {

using cholkernels::BackSubstitute;
using cholkernels::CholeskyRow;
using cholkernels::ForwardSubstitute;

// Factors an r-row packed symmetric indefinite matrix (a copy) and solves it for b;
// false when the condition estimate is not positive.
bool SolvePackedIndefinite(std::vector<double> packed, int r, const std::vector<double>& b,
                           std::vector<double>& x) {
  // Packed lower rows are the packed upper columns that LINPACK expects.
  std::vector<int> pivots(static_cast<std::size_t>(r));
  std::vector<double> work(static_cast<std::size_t>(r));
  const double rcond = Linpack::Dspco(packed.data(), r, pivots.data(), work.data());
  if (!(rcond > 0.0)) return false;
  x.assign(b.begin(), b.begin() + r);
  Linpack::Dspsl(packed.data(), r, pivots.data(), x.data());
  return true;
}

// out (length size, zeroed) receives in[k] at position idx[k].
std::vector<double> Scatter(const std::vector<double>& in, const std::vector<int>& idx, int size) {
  std::vector<double> out(static_cast<std::size_t>(size), 0.0);
  for (std::size_t k = 0; k < idx.size() && k < in.size(); ++k) out[idx[k]] = in[k];
  return out;
}

std::vector<double> Gather(const std::vector<double>& b, const std::vector<int>& idx) {
  std::vector<double> out(idx.size());
  for (std::size_t k = 0; k < idx.size(); ++k) out[k] = b[idx[k]];
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Cholesky factorisation

int MCSymMatrix::LTChol(const std::vector<double>& refDiag, double tol, bool check) {
  if (fNRows < 0 || refDiag.size() < static_cast<std::size_t>(fNRows)) return -1;
  if (check) {
    if (tol < 0.0) return -1;
    for (int i = 0; i < fNRows; ++i) {
      if (refDiag[i] < 0.0) return -1;
    }
  }
  int redundant = 0;
  for (int i = 0; i < fNRows; ++i) {
    if (!CholeskyRow(fvElements.data(), i, refDiag[i], tol)) ++redundant;
  }
  return redundant;
}

int MCSymMatrix::LTChol(const std::vector<double>& refDiag, double tol, MCBitSet& nonRed,
                        bool check) {
  const int r = LTChol(refDiag, tol, check);
  if (r < 0) return r;
  if (nonRed.Size() < fNRows) {
    nonRed.Resize(fNRows, false);
  } else {
    nonRed.Clear();
  }
  for (int i = 0; i < fNRows; ++i) {
    if (fvElements[Pos(i, i)] != 0.0) nonRed.Set(i);
  }
  return r;
}

int MCSymMatrix::LTChol(double tol, double& minPivot, bool check) {
  minPivot = MCMV::Missing();
  std::vector<double> refDiag;
  GetNCheckDiagonal(refDiag, tol, 1.0);
  const int r = LTChol(refDiag, tol, check);
  if (r >= 0 && fNRows > 0) {
    double m = fvElements[0];
    for (int i = 1; i < fNRows; ++i) m = std::min(m, fvElements[Pos(i, i)]);
    minPivot = m;
  }
  return r;
}

int MCSymMatrix::CholIndNonRed(int maxCount, double tol, std::vector<int>& idx) const {
  idx.clear();
  if (tol < 0.0 || fNRows <= 0) return 0;
  const int limit = (maxCount < 1 || maxCount > fNRows) ? fNRows : maxCount;
  std::vector<double> refDiag;
  GetDiagonal(refDiag);
  std::vector<double> work = fvElements;
  for (int i = 0; i < fNRows && static_cast<int>(idx.size()) < limit; ++i) {
    if (CholeskyRow(work.data(), i, refDiag[i], tol)) idx.push_back(i);
  }
  return static_cast<int>(idx.size());
}

int MCSymMatrix::CheckMDependent(int m, const std::vector<double>& packed, const MCBitSet& mask,
                                 double tol) {
  if (m < 0 || mask.Size() < m) return -1;
  const std::size_t need = static_cast<std::size_t>(m) * (static_cast<std::size_t>(m) + 1) / 2;
  if (packed.size() < need) return -1;
  if (m < 1) return 0;
  std::vector<int> rows;
  for (int i = 0; i < m; ++i) {
    if (mask.IsIn(i)) rows.push_back(i);
  }
  const int k = static_cast<int>(rows.size());
  if (!SetNRows(k)) return -2;
  std::size_t p = 0;
  for (int a = 0; a < k; ++a) {
    for (int b = 0; b <= a; ++b) fvElements[p++] = packed[Pos(rows[a], rows[b])];
  }
  std::vector<double> refDiag;
  GetNCheckDiagonal(refDiag, tol, 1.0);
  return LTChol(refDiag, tol, false);
}

// ---------------------------------------------------------------------------------------
// Inverses and products of the factor

int MCSymMatrix::LTDetInverse(double det[2], int job) {
  const int n = std::max(fNRows, 0);
  int zeros = 0;
  for (int i = 0; i < n; ++i) {
    if (fvElements[Pos(i, i)] == 0.0) ++zeros;
  }
  if (job % 10 != 0) {
    double m = 0.0, e = 0.0;
    if (zeros == 0) {
      m = 1.0;
      for (int i = 0; i < n; ++i) {
        m *= fvElements[Pos(i, i)];
        cholkernels::NormaliseDecimal(m, e);
      }
    }
    det[0] = m;
    det[1] = e;
  }
  if (job / 10 != 0) cholkernels::InvertLower(n, fvElements.data());
  return zeros;
}

void MCSymMatrix::LTInverse() {
  double det[2] = {0.0, 0.0};
  LTDetInverse(det, 10);
  LTLTransL();
}

void MCSymMatrix::LTLTransL() {
  cholkernels::LowerTransTimesLower(std::max(fNRows, 0), fvElements.data());
}

void MCSymMatrix::LTLLTrans() {
  cholkernels::LowerTimesLowerTrans(std::max(fNRows, 0), fvElements.data());
}

// ---------------------------------------------------------------------------------------
// Solvers

int MCSymMatrix::LTSolve(const std::vector<double>& b, double tol, std::vector<double>& x) {
  if (!(tol > 0.0) || fNRows < 0 || b.size() < static_cast<std::size_t>(fNRows)) return -1;
  std::vector<double> refDiag;
  GetDiagonal(refDiag);
  const int r = LTChol(refDiag, tol, false);
  if (r < 0) return r;
  x.resize(static_cast<std::size_t>(fNRows));
  ForwardSubstitute(fNRows, fvElements.data(), b.data(), x.data());
  BackSubstitute(fNRows, fvElements.data(), x.data(), x.data());
  return r;
}

int MCSymMatrix::LTSubstitute(const std::vector<double>& b, std::vector<double>& x) const {
  if (fNRows < 0 || b.size() < static_cast<std::size_t>(fNRows)) return -1;
  std::vector<double> y(static_cast<std::size_t>(fNRows));
  ForwardSubstitute(fNRows, fvElements.data(), b.data(), y.data());
  BackSubstitute(fNRows, fvElements.data(), y.data(), y.data());
  x.swap(y);
  return 0;
}

int MCSymMatrix::CholInverse(const std::vector<double>& refDiag, double tol,
                             MCSymMatrix& out) const {
  out = *this;
  const int r = out.LTChol(refDiag, tol, false);
  if (r < 0) return r;
  double det[2];
  out.LTDetInverse(det, 10);
  out.LTLTransL();
  return fNRows - r;
}

int MCSymMatrix::CholInverse(const std::vector<double>& refDiag, double tol, MCSymMatrix& out,
                             MCBitSet& nonRed) const {
  out = *this;
  const int r = out.LTChol(refDiag, tol, nonRed, false);
  if (r < 0) return r;
  double det[2];
  out.LTDetInverse(det, 10);
  out.LTLTransL();
  return fNRows - r;
}

int MCSymMatrix::CholInverse(const std::vector<double>& refDiag, double tol, MCSymMatrix& out,
                             double& minPivot) const {
  minPivot = MCMV::Missing();
  out = *this;
  const int r = out.LTChol(refDiag, tol, false);
  if (r < 0) return r;
  if (fNRows > 0) {
    double m = out.fvElements[0];
    for (int i = 1; i < fNRows; ++i) m = std::min(m, out.fvElements[Pos(i, i)]);
    minPivot = m;
  }
  double det[2];
  out.LTDetInverse(det, 10);
  out.LTLTransL();
  return fNRows - r;
}

bool MCSymMatrix::ComputeDeterminant(double tol, double det[2]) const {
  if (fNRows <= 0) return false;
  MCSymMatrix work(*this);
  double minPivot = 0.0;
  if (work.LTChol(tol, minPivot, true) < 0) return false;
  if (minPivot == 0.0) {
    det[0] = det[1] = 0.0;
    return true;
  }
  double d[2] = {0.0, 0.0};
  work.LTDetInverse(d, 1);
  double m = d[0] * d[0];
  double e = 2.0 * d[1];
  cholkernels::NormaliseDecimal(m, e);
  det[0] = m;
  det[1] = e;
  return true;
}

bool MCSymMatrix::SolveIndefinite(double tol, const std::vector<double>& b,
                                  std::vector<double>& x) const {
  if (fNRows < 1 || !(tol > 0.0) || b.size() < static_cast<std::size_t>(fNRows)) return false;
  const int n = fNRows;
  MCSymMatrix sq;
  ComputeSTransS(sq);
  std::vector<int> idx;
  const int r = sq.CholIndNonRed(0, 2.0 * tol, idx);
  if (r < 1) return false;
  if (r == n) return SolvePackedIndefinite(fvElements, n, b, x);

  MCSymMatrix t;
  if (!ExtractSubmatrix(idx, t)) return false;
  const std::vector<double> bt = Gather(b, idx);
  MCSymMatrix q;
  t.ComputeSTransS(q);
  std::vector<int> idx2;
  const int r2 = q.CholIndNonRed(0, 2.0 * tol, idx2);
  if (r2 < 1) return false;
  std::vector<double> sol;
  if (r2 == r) {
    if (!SolvePackedIndefinite(t.fvElements, r, bt, sol)) return false;
  } else {
    MCSymMatrix t2;
    if (!t.ExtractSubmatrix(idx2, t2)) return false;
    std::vector<double> sol2;
    if (!SolvePackedIndefinite(t2.fvElements, r2, Gather(bt, idx2), sol2)) return false;
    sol = Scatter(sol2, idx2, r);
  }
  x = Scatter(sol, idx, n);
  return true;
}

bool MCSymMatrix::SolveIndefinite(const MCBitSet& mask, const std::vector<double>& b,
                                  std::vector<double>& x) const {
  if (fNRows < 1 || b.size() < static_cast<std::size_t>(fNRows)) return false;
  const int n = fNRows;
  const int m = std::min(mask.Size(), n);
  const int k = m > 0 ? mask.InRange(0, m - 1) : 0;
  if (k <= 0) return false;
  if (k == m) return SolvePackedIndefinite(fvElements, n, b, x);

  std::vector<int> idx;
  for (int i = 0; i < n; ++i) {
    if ((i >= m || mask.IsIn(i)) && !IsZeroRow(i, mask)) idx.push_back(i);
  }
  if (idx.empty()) return false;
  MCSymMatrix sub;
  if (!ExtractSubmatrix(idx, sub)) return false;
  std::vector<double> sol;
  if (!SolvePackedIndefinite(sub.fvElements, static_cast<int>(idx.size()), Gather(b, idx), sol)) {
    return false;
  }
  x = Scatter(sol, idx, n);
  return true;
}

bool MCSymMatrix::SolveIndefiniteGI(double tol, const std::vector<double>& b,
                                    std::vector<double>& x) const {
  if (fNRows < 1 || !(tol > 0.0) || b.size() < static_cast<std::size_t>(fNRows)) return false;
  MCSymMatrix sq;
  ComputeSTransS(sq);
  std::vector<double> c;
  if (!ComputeSV(std::vector<double>(b.begin(), b.begin() + fNRows), c)) return false;
  const int r = sq.LTSolve(c, tol, x);
  return r >= 0 && r < fNRows;
}

// ---------------------------------------------------------------------------------------
// Transforms

int MCSymMatrix::TransformToPositiveDefinite(double tol, bool& changed, double& shift) {
  changed = false;
  shift = 0.0;
  if (fNRows < 2) return -1;
  if (!(tol > 0.0)) return -2;
  std::vector<double> refDiag;
  GetNCheckDiagonal(refDiag, 1e-06, 1.0);

  // Factors a copy with h added to the diagonal; true when no row is redundant.
  int count = 0;
  auto factorsWith = [&](double h) {
    MCSymMatrix work(*this);
    if (h != 0.0) work.AddToDiagonal(h);
    ++count;
    return work.LTChol(refDiag, tol, false) == 0;
  };
  if (factorsWith(0.0)) return 1;

  double maxD = 0.0, minD = 0.0, maxO = 0.0, minO = 0.0;
  MaxMinDiagOffDiag(maxD, minD, maxO, minO);
  double step = fNRows == 2 ? 1.0 : static_cast<double>(fNRows - 2);
  for (double v : {maxD, minD, maxO, minO}) step = std::max(step, std::fabs(v));

  // Growth: with the ridge beyond n times the largest element the matrix is diagonally
  // dominant, so a few steps suffice for finite elements; the cap guards against the rest.
  const int kMaxSteps = 4 * fNRows + 64;
  bool ok = false;
  for (int s = 0; s < kMaxSteps && !ok; ++s) {
    shift += step;
    ok = factorsWith(shift);
  }

  // Bisection between 0 (fails) and shift (works), the width relative once above 1.
  double lo = 0.0, hi = shift;
  auto width = [&](double& mid) {
    mid = (hi + lo) / 2.0;
    const double w = hi - lo;
    return mid > 1.0 ? w / mid : w;
  };
  double mid = 0.0;
  for (double w = width(mid); w / 2.0 > tol && mid > lo && mid < hi; w = width(mid)) {
    if (factorsWith(mid)) {
      hi = mid;
    } else {
      lo = mid;
    }
  }

  AddToDiagonal(hi);
  double maxDiag = 0.0, minDiag = 0.0;
  MaxMinDiag(maxDiag, minDiag);
  AddToDiagonal(0.01 * maxDiag);
  shift = hi + 0.01 * maxDiag;
  MultiplyByNumber(1.0 / (shift + refDiag[0]));
  changed = true;
  return count;
}

bool MCSymMatrix::TransformParameterMatrix(const std::vector<double>& shift,
                                           const std::vector<double>& scale, int nBlocks, int nLead,
                                           bool negate, bool invert) {
  const int p = static_cast<int>(scale.size());
  if (nBlocks < 1 || nLead < 0 || (nBlocks > 1 && nLead > 1)) return false;
  if (static_cast<int>(shift.size()) != p ||
      static_cast<int64_t>(fNRows) != static_cast<int64_t>(p) * nBlocks) {
    return false;
  }
  for (double s : scale) {
    if (s == 0.0) return false;
  }
  const int n = fNRows;
  if (n == 0) return true;
  // More leading parameters than a block holds: they are all leading, nothing changes.
  nLead = std::min(nLead, p);
  // Divisors a and intercept offsets c per position in a block.
  std::vector<double> a(static_cast<std::size_t>(p), 1.0), c(static_cast<std::size_t>(p), 1.0);
  for (int i = nLead; i < p; ++i) {
    a[i] = invert ? 1.0 / scale[i] : scale[i];
    c[i] = invert ? shift[i] : -shift[i] / scale[i];
    if (negate) c[i] = -c[i];
  }
  auto lead = [&](int i) { return i % p < nLead; };
  auto div = [&](int i) { return a[i % p]; };

  MCSymMatrix res(n);
  if (!res.IsValidMatrix()) return false;
  for (int i = 0; i < n; ++i) {
    if (lead(i)) continue;
    for (int j = 0; j <= i; ++j) {
      if (!lead(j)) res.Ref(i, j) = At(i, j) / (div(i) * div(j));
    }
  }

  std::vector<double> u;
  if (nLead == 1) {
    // Intercept of block b = w_b . old parameters, w_b holding c (c[0] = 1) in block b.
    std::vector<std::vector<double>> w(static_cast<std::size_t>(nBlocks)), us(w.size());
    for (int b = 0; b < nBlocks; ++b) {
      w[b].assign(static_cast<std::size_t>(n), 0.0);
      for (int i = 0; i < p; ++i) w[b][b * p + i] = c[i];
      ComputeSV(w[b], us[b]);
    }
    for (int b = 0; b < nBlocks; ++b) {
      for (int b2 = b; b2 < nBlocks; ++b2) {
        double sum = 0.0;
        for (int t = 0; t < n; ++t) sum += w[b][t] * us[b2][t];
        res.Ref(b2 * p, b * p) = sum;
      }
      for (int j = 0; j < n; ++j) {
        if (!lead(j)) res.Ref(b * p, j) = us[b][j] / div(j);
      }
    }
  } else if (nLead >= 2) {
    // One block: every leading parameter t absorbs sum over i >= nLead of c[i] old_i.
    std::vector<double> cc(static_cast<std::size_t>(n), 0.0);
    for (int i = nLead; i < n; ++i) cc[i] = c[i];
    ComputeSV(cc, u);
    for (int t = 0; t < nLead; ++t) {
      std::vector<double> v(static_cast<std::size_t>(n));
      for (int j = 0; j < n; ++j) v[j] = At(t, j) + u[j];
      double d = 0.0;
      for (int i = nLead; i < n; ++i) d += c[i] * v[i];
      for (int j = t; j < nLead; ++j) res.Ref(j, t) = v[j] + d;
      for (int j = nLead; j < n; ++j) res.Ref(j, t) = v[j] / a[j];
    }
  }
  fvElements.swap(res.fvElements);
  return true;
}

bool MCSymMatrix::TransformParameterMatrix(const std::vector<double>& shift,
                                           const std::vector<double>& scale, const MCBitSet& fixed,
                                           int nLead, bool negate, bool invert) {
  if (fNRows < 0 || shift.size() != static_cast<std::size_t>(fNRows) ||
      scale.size() != static_cast<std::size_t>(fNRows) || fixed.Size() < fNRows) {
    return false;
  }
  for (double s : scale) {
    if (s == 0.0) return false;
  }
  std::vector<double> shift2 = shift, scale2 = scale;
  std::vector<int> marked;
  for (int i = 0; i < fNRows; ++i) {
    if (fixed.IsIn(i)) continue;
    if (scale[i] != 1.0 || (shift[i] != 0.0 && nLead > 0)) {
      scale2[i] = 1.0 / scale[i];
      if (nLead > 0) {
        shift2[i] = 0.0;
        marked.push_back(i);
      }
    }
  }
  const bool ok = TransformParameterMatrix(shift2, scale2, 1, nLead, negate, invert);
  if (ok) {
    for (int i : marked) Ref(i, 0) += shift[i];
  }
  return ok;
}

}  // namespace MCCommonMath

// The operations of MCSymMatrix that take or produce a rectangular matrix.

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "MCMV.h"
#include "MCRectMatrix.h"
#include "MCSymMatrix.h"

namespace MCCommonMath {

namespace {

// out = S v for the packed symmetric matrix of order n; v and out must not overlap.
void PackedSV(int n, const double* packed, const double* v, std::ptrdiff_t incv, double* out,
              std::ptrdiff_t incOut) {
  for (int i = 0; i < n; ++i) out[i * incOut] = 0.0;
  const double* row = packed;
  for (int i = 0; i < n; ++i) {
    const double vi = v[i * incv];
    double sum = 0.0;
    for (int j = 0; j < i; ++j) {
      sum += row[j] * v[j * incv];
      out[j * incOut] += row[j] * vi;
    }
    out[i * incOut] += sum + row[i] * vi;
    row += i + 1;
  }
}

// Reads the targets of row r of an index matrix: whole numbers below limit, negative ones
// meaning "dropped". False when a target is not a whole number, reaches limit or repeats.
bool ReadTargets(const MCRectMatrix& R, int r, int limit, std::vector<int>& targets) {
  const int n = R.GetNCols();
  targets.assign(static_cast<std::size_t>(n), -1);
  std::vector<bool> used(static_cast<std::size_t>(limit > 0 ? limit : 0), false);
  const double* row = R.GetRowPtr(r);
  for (int i = 0; i < n; ++i) {
    const double t = row[i];
    if (!(t == std::floor(t))) return false;  // also rejects NaN
    if (t < 0.0) continue;
    if (!(t < limit)) return false;
    const int k = static_cast<int>(t);
    if (used[k]) return false;
    used[k] = true;
    targets[i] = k;
  }
  return true;
}

}  // namespace

bool MCSymMatrix::UpdateXXMat2(const MCRectMatrix& A, const MCRectMatrix& B, double w) {
  const int p = A.GetNCols();
  const int q = B.GetNCols();
  if (A.GetNRows() != B.GetNRows() || p + q != fNRows) return false;
  std::vector<double> x(static_cast<std::size_t>(fNRows));
  for (int r = 0; r < A.GetNRows(); ++r) {
    for (int j = 0; j < p; ++j) x[j] = A.GetRowPtr(r)[j];
    for (int j = 0; j < q; ++j) x[p + j] = B.GetRowPtr(r)[j];
    double* row = fvElements.data();
    for (int i = 0; i < fNRows; ++i) {
      if (x[i] != 0.0) {
        const double c = x[i] * w;
        for (int j = 0; j <= i; ++j) row[j] += x[j] * c;
      }
      row += i + 1;
    }
  }
  return true;
}

double MCSymMatrix::ComputeVSV(const MCRectMatrix& R, int j) const {
  if (R.GetNRows() != fNRows || j < 0 || j >= R.GetNCols()) return MCMV::Missing();
  if (fNRows == 0) return 0.0;
  std::vector<double> r;
  R.GetCol(j, r);
  return ComputeVSV(r);
}

bool MCSymMatrix::CopyRowToRColumn(int i, MCRectMatrix& R, int col, int startRow) const {
  if (!InRange(i) || col < 0 || col >= R.GetNCols() || startRow < 0 ||
      static_cast<long long>(startRow) + fNRows > R.GetNRows())
    return false;
  for (int t = 0; t < fNRows; ++t) R.SetElem(startRow + t, col, At(i, t));
  return true;
}

bool MCSymMatrix::ComputeRS(const MCRectMatrix& R, MCRectMatrix& out) const {
  if (R.GetNCols() != fNRows) return false;
  // (R S) row a = S (row a of R), S being symmetric.
  MCRectMatrix result(R.GetNRows(), fNRows);
  for (int a = 0; a < R.GetNRows() && fNRows > 0; ++a)
    PackedSV(fNRows, fvElements.data(), R.GetRowPtr(a), 1, result.GetRowPtr(a), 1);
  out = std::move(result);
  return true;
}

bool MCSymMatrix::ComputeSS(const MCSymMatrix& S2, MCRectMatrix& out) const {
  if (S2.GetNRows() != fNRows) return false;
  // (S S2) column k = S (column k of S2) = S (row k of S2); stored as a row of the
  // transpose and turned round at the end.
  MCRectMatrix result(fNRows, fNRows);
  std::vector<double> col;
  for (int k = 0; k < fNRows; ++k) {
    S2.GetRow(k, col);
    PackedSV(fNRows, fvElements.data(), col.data(), 1, result.GetRowPtr(k), 1);
  }
  result.Transpose();
  out = std::move(result);
  return true;
}

bool MCSymMatrix::ComputeRSRTrans(const MCRectMatrix& R, MCSymMatrix& out) const {
  MCRectMatrix rs;
  if (!ComputeRS(R, rs)) return false;
  const int m = R.GetNRows();
  MCSymMatrix result(m);
  if (result.GetNRows() != m) return false;
  for (int a = 0; a < m; ++a)
    for (int b = 0; b <= a; ++b) result.Ref(a, b) = rs.DotProductRowRow(a, R, b);
  out = std::move(result);
  return true;
}

bool MCSymMatrix::ComputeRTransSR(const MCRectMatrix& R, MCSymMatrix& out) const {
  if (R.GetNRows() != fNRows) return false;
  const int m = R.GetNCols();
  // T = S R, one column of R at a time, kept as the rows of T transposed.
  MCRectMatrix t(m, fNRows);
  for (int b = 0; b < m && fNRows > 0; ++b)
    PackedSV(fNRows, fvElements.data(), R.GetColPtr(b), m, t.GetRowPtr(b), 1);
  MCSymMatrix result(m);
  if (result.GetNRows() != m) return false;
  // (RT S R)(a, b) = column a of R . column b of S R.
  for (int a = 0; a < m; ++a)
    for (int b = 0; b <= a; ++b) {
      double sum = 0.0;
      if (fNRows > 0) {
        const double* ra = R.GetColPtr(a);
        const double* tb = t.GetRowPtr(b);
        for (int i = 0; i < fNRows; ++i) sum += ra[static_cast<std::ptrdiff_t>(i) * m] * tb[i];
      }
      result.Ref(a, b) = sum;
    }
  out = std::move(result);
  return true;
}

bool MCSymMatrix::ComputeRByRTrans(const MCRectMatrix& R) {
  const int m = R.GetNRows();
  MCSymMatrix result(m);
  if (result.GetNRows() != m) return false;
  for (int a = 0; a < m; ++a)
    for (int b = 0; b <= a; ++b) result.Ref(a, b) = R.DotProductRows(a, b);
  *this = std::move(result);
  return true;
}

bool MCSymMatrix::ComputeRTransByR(const MCRectMatrix& R) {
  const int m = R.GetNCols();
  MCSymMatrix result(m);
  if (result.GetNRows() != m) return false;
  // Accumulate the outer products of the rows of R.
  for (int r = 0; r < R.GetNRows() && m > 0; ++r) {
    const double* x = R.GetRowPtr(r);
    double* row = result.fvElements.data();
    for (int i = 0; i < m; ++i) {
      if (x[i] != 0.0)
        for (int j = 0; j <= i; ++j) row[j] += x[j] * x[i];
      row += i + 1;
    }
  }
  *this = std::move(result);
  return true;
}

bool MCSymMatrix::ExpandSym(const MCRectMatrix& R, MCSymMatrix& out) const {
  if (R.GetNRows() < 1 || R.GetNCols() != fNRows || !out.IsValidMatrix()) return false;
  std::vector<int> to;
  if (!ReadTargets(R, 0, out.GetNRows(), to)) return false;
  MCSymMatrix result(out.GetNRows());
  if (result.GetNRows() != out.GetNRows()) return false;
  for (int i = 0; i < fNRows; ++i) {
    if (to[i] < 0) continue;
    for (int j = 0; j <= i; ++j)
      if (to[j] >= 0) result.Ref(to[i], to[j]) = At(i, j);
  }
  result.fNBlocks = out.fNBlocks;
  result.fBlockSize = out.fBlockSize;
  out = std::move(result);
  return true;
}

bool MCSymMatrix::ExpandSymToRect(const MCRectMatrix& R, MCRectMatrix& out) const {
  if (R.GetNRows() < 1 || R.GetNCols() != fNRows) return false;
  std::vector<int> toRow;
  std::vector<int> toCol;
  if (!ReadTargets(R, 0, out.GetNRows(), toRow)) return false;
  if (!ReadTargets(R, R.GetNRows() > 1 ? 1 : 0, out.GetNCols(), toCol)) return false;
  MCRectMatrix result(out.GetNRows(), out.GetNCols());
  for (int i = 0; i < fNRows; ++i) {
    if (toRow[i] < 0) continue;
    for (int j = 0; j < fNRows; ++j)
      if (toCol[j] >= 0) result.SetElem(toRow[i], toCol[j], At(i, j));
  }
  out = std::move(result);
  return true;
}

bool MCSymMatrix::ExtractH(const std::vector<int>& rows, const std::vector<int>& cols,
                           MCRectMatrix& out) const {
  for (int i : rows)
    if (!InRange(i)) return false;
  for (int j : cols)
    if (!InRange(j)) return false;
  MCRectMatrix result(static_cast<int>(rows.size()), static_cast<int>(cols.size()));
  for (std::size_t a = 0; a < rows.size(); ++a)
    for (std::size_t b = 0; b < cols.size(); ++b)
      result.SetElem(static_cast<int>(a), static_cast<int>(b), At(rows[a], cols[b]));
  out = std::move(result);
  return true;
}

}  // namespace MCCommonMath

#include "MCRectMatrix.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Linpack.h"
#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MCMathFun.h"
#include "MCSymMatrix.h"

namespace MCCommonMath {

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;

// Sum of x[t * incx] * y[t * incy] for t < n.
double StridedDot(int n, const double* x, std::ptrdiff_t incx, const double* y,
                  std::ptrdiff_t incy) {
  double sum = 0.0;
  for (int t = 0; t < n; ++t) sum += x[t * incx] * y[t * incy];
  return sum;
}

// y[t * incy] += a * x[t * incx] for t < n.
void StridedAxpy(int n, double a, const double* x, std::ptrdiff_t incx, double* y,
                 std::ptrdiff_t incy) {
  for (int t = 0; t < n; ++t) y[t * incy] += a * x[t * incx];
}

// Re-sizes v to n elements, reporting an allocation failure instead of throwing.
bool TryResize(std::vector<double>& v, std::size_t n) {
  try {
    v.resize(n);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

std::size_t Area(int r, int c) { return static_cast<std::size_t>(r) * static_cast<std::size_t>(c); }

// True when [first, first + count) lies inside [0, limit).
bool RangeInside(long long first, long long count, long long limit) {
  return first >= 0 && count >= 0 && first + count <= limit;
}

// Positions of the set bits of mask, in increasing order.
std::vector<int> SetBits(const MCBitSet& mask) {
  std::vector<int> pos;
  for (int k = 0; k < mask.Size(); ++k)
    if (mask.IsIn(k)) pos.push_back(k);
  return pos;
}

}  // namespace

// --- MCRectMatrixData ------------------------------------------------------------------

MCRectMatrixData::MCRectMatrixData(int rows, int cols) {
  const int r = std::max(rows, 0);
  const int c = std::max(cols, 0);
  if (TryResize(fvElements, Area(r, c))) {
    fNRows = r;
    fNCols = c;
  }
}

MCRectMatrixData::MCRectMatrixData(MCRectMatrixData&& other) noexcept
    : fNRows(other.fNRows), fNCols(other.fNCols), fvElements(std::move(other.fvElements)) {
  other.fNRows = 0;
  other.fNCols = 0;
  other.fvElements.clear();
}

MCRectMatrixData& MCRectMatrixData::operator=(MCRectMatrixData&& other) noexcept {
  if (this != &other) {
    fNRows = other.fNRows;
    fNCols = other.fNCols;
    fvElements = std::move(other.fvElements);
    other.fNRows = 0;
    other.fNCols = 0;
    other.fvElements.clear();
  }
  return *this;
}

double MCRectMatrixData::GetElem(int i, int j) const {
  if (!IsRow(i) || !IsCol(j)) return MCMV::Missing();
  return At(i, j);
}

const double* MCRectMatrixData::GetRowPtr(int i) const {
  // A row of a matrix without columns has no first element.
  if (!IsRow(i) || fNCols == 0) return nullptr;
  return fvElements.data() + Pos(i, 0);
}

const double* MCRectMatrixData::GetColPtr(int j) const {
  if (!IsCol(j) || fNRows == 0) return nullptr;
  return fvElements.data() + j;
}

bool MCRectMatrixData::GetRow(int i, std::vector<double>& v) const {
  if (!IsRow(i)) return false;
  v.assign(fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(i, 0)),
           fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(i, 0) + fNCols));
  return true;
}

bool MCRectMatrixData::GetCol(int j, std::vector<double>& v) const {
  if (!IsCol(j)) return false;
  v.resize(static_cast<std::size_t>(fNRows));
  for (int i = 0; i < fNRows; ++i) v[i] = At(i, j);
  return true;
}

void MCRectMatrixData::Display() const {
  using MCCommon::MCComponentDisplay;
  MCComponentDisplay::DisplayText(1, "MCRectMatrixData display start");
  MCComponentDisplay::DisplayI("The number of rows", fNRows);
  MCComponentDisplay::DisplayI("The number of columns", fNCols);
  MCComponentDisplay::DisplayDV("Elements", fvElements);
  MCComponentDisplay::DisplayText(1, "MCRectMatrixData display end");
}

// --- MCRectMatrix: shape ---------------------------------------------------------------

double* MCRectMatrix::GetRowPtr(int i) {
  return const_cast<double*>(static_cast<const MCRectMatrixData&>(*this).GetRowPtr(i));
}

double* MCRectMatrix::GetColPtr(int j) {
  return const_cast<double*>(static_cast<const MCRectMatrixData&>(*this).GetColPtr(j));
}

bool MCRectMatrix::Resize(int r, int c) {
  r = std::max(r, 0);
  c = std::max(c, 0);
  if (!TryResize(fvElements, Area(r, c))) return false;
  fNRows = r;
  fNCols = c;
  return true;
}

bool MCRectMatrix::SetNRowsCols(int r, int c) {
  if (!Resize(r, c)) return false;
  Clear();
  return true;
}

int MCRectMatrix::AddRow() {
  if (TryResize(fvElements, Area(fNRows + 1, fNCols))) ++fNRows;
  return fNRows;
}

int MCRectMatrix::AddColumn() {
  std::vector<double> grown;
  if (!TryResize(grown, Area(fNRows, fNCols + 1))) return fNCols;
  const int c = fNCols + 1;
  for (int i = 0; i < fNRows; ++i)
    std::copy_n(fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(i, 0)), fNCols,
                grown.begin() + static_cast<std::ptrdiff_t>(Area(i, c)));
  fvElements.swap(grown);
  fNCols = c;
  return fNCols;
}

void MCRectMatrix::Clear() { std::fill(fvElements.begin(), fvElements.end(), 0.0); }

void MCRectMatrix::Transpose() {
  if (fNRows > 1 && fNCols > 1) {
    std::vector<double> t(fvElements.size());
    for (int i = 0; i < fNRows; ++i)
      for (int j = 0; j < fNCols; ++j) t[Area(j, fNRows) + i] = At(i, j);
    fvElements.swap(t);
  }
  std::swap(fNRows, fNCols);
}

bool MCRectMatrix::SetElem(int i, int j, double v) {
  if (!IsRow(i) || !IsCol(j)) return false;
  Ref(i, j) = v;
  return true;
}

// --- Copies ----------------------------------------------------------------------------

bool MCRectMatrix::CopyRowToRow(const MCRectMatrix& src, int srcRow, int dstRow) {
  return CopyRows(src, srcRow, 1, dstRow);
}

bool MCRectMatrix::CopyColToCol(const MCRectMatrix& src, int srcCol, int dstCol) {
  return CopyColumns(src, srcCol, 1, dstCol);
}

bool MCRectMatrix::CopyColToRow(const MCRectMatrix& src, int srcCol, int dstRow) {
  if (!src.IsCol(srcCol) || !IsRow(dstRow) || src.fNRows != fNCols) return false;
  if (&src == this) {
    // The row and the column may cross: read the column first.
    std::vector<double> col;
    src.GetCol(srcCol, col);
    std::copy(col.begin(), col.end(),
              fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(dstRow, 0)));
    return true;
  }
  for (int t = 0; t < fNCols; ++t) Ref(dstRow, t) = src.At(t, srcCol);
  return true;
}

bool MCRectMatrix::CopyColToVec(int j, std::vector<double>& v, int start) const {
  if (!IsCol(j) || start < 0) return false;
  const std::size_t end = static_cast<std::size_t>(start) + static_cast<std::size_t>(fNRows);
  if (v.size() < end) v.resize(end, 0.0);
  for (int i = 0; i < fNRows; ++i) v[static_cast<std::size_t>(start) + i] = At(i, j);
  return true;
}

bool MCRectMatrix::CopyRows(const MCRectMatrix& src, int srcFirst, int count, int dstFirst) {
  if (src.fNCols != fNCols || !RangeInside(srcFirst, count, src.fNRows) ||
      !RangeInside(dstFirst, count, fNRows))
    return false;
  if (count == 0 || fNCols == 0) return true;
  const auto from = src.fvElements.begin() + static_cast<std::ptrdiff_t>(src.Pos(srcFirst, 0));
  const auto to = from + static_cast<std::ptrdiff_t>(Area(count, fNCols));
  const auto dst = fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(dstFirst, 0));
  // Rows are contiguous, so overlapping ranges within one matrix need the right direction.
  if (&src == this && dstFirst > srcFirst)
    std::copy_backward(from, to, dst + (to - from));
  else
    std::copy(from, to, dst);
  return true;
}

bool MCRectMatrix::CopyColumns(const MCRectMatrix& src, int srcFirst, int count, int dstFirst) {
  if (src.fNRows != fNRows || !RangeInside(srcFirst, count, src.fNCols) ||
      !RangeInside(dstFirst, count, fNCols))
    return false;
  const bool backwards = &src == this && dstFirst > srcFirst;
  for (int i = 0; i < fNRows; ++i) {
    for (int t = 0; t < count; ++t) {
      const int k = backwards ? count - 1 - t : t;
      Ref(i, dstFirst + k) = src.At(i, srcFirst + k);
    }
  }
  return true;
}

bool MCRectMatrix::ShiftRows(int first, int by) {
  if (first < 0 || first > fNRows) return false;
  const long long lo = std::max<long long>(0, static_cast<long long>(first) + by);
  const long long hi = std::min<long long>(fNRows, static_cast<long long>(fNRows) + by);
  // Rows first..rows-1 land on first+by..rows-1+by; keep those inside [0, rows).
  MCRectMatrix moved(*this);
  for (int i = first; i < fNRows; ++i) std::fill_n(moved.GetRowPtr(i), fNCols, 0.0);
  for (long long d = lo; d < hi; ++d) {
    const int s = static_cast<int>(d - by);
    std::copy_n(
        fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(s, 0)), fNCols,
        moved.fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(static_cast<int>(d), 0)));
  }
  fvElements.swap(moved.fvElements);
  return true;
}

bool MCRectMatrix::ShiftColumns(int first, int by) {
  if (first < 0 || first > fNCols) return false;
  Transpose();
  const bool ok = ShiftRows(first, by);
  Transpose();
  return ok;
}

bool MCRectMatrix::ExtractRows(const std::vector<int>& idx, MCRectMatrix& out) const {
  for (int k : idx)
    if (!IsRow(k)) return false;
  MCRectMatrix result(static_cast<int>(idx.size()), fNCols);
  for (std::size_t k = 0; k < idx.size(); ++k)
    std::copy_n(
        fvElements.begin() + static_cast<std::ptrdiff_t>(Pos(idx[k], 0)), fNCols,
        result.fvElements.begin() + static_cast<std::ptrdiff_t>(Area(static_cast<int>(k), fNCols)));
  out = std::move(result);
  return true;
}

bool MCRectMatrix::ExtractColumns(const std::vector<int>& idx, MCRectMatrix& out) const {
  for (int k : idx)
    if (!IsCol(k)) return false;
  const int m = static_cast<int>(idx.size());
  MCRectMatrix result(fNRows, m);
  for (int i = 0; i < fNRows; ++i)
    for (int k = 0; k < m; ++k) result.Ref(i, k) = At(i, idx[k]);
  out = std::move(result);
  return true;
}

bool MCRectMatrix::Expand(const MCBitSet& mask, bool byRows, MCRectMatrix& out) const {
  const std::vector<int> pos = SetBits(mask);
  const int placed = static_cast<int>(pos.size());
  if (placed != (byRows ? fNRows : fNCols)) return false;
  MCRectMatrix result(byRows ? mask.Size() : fNRows, byRows ? fNCols : mask.Size());
  for (int i = 0; i < fNRows; ++i)
    for (int j = 0; j < fNCols; ++j) {
      if (byRows)
        result.Ref(pos[i], j) = At(i, j);
      else
        result.Ref(i, pos[j]) = At(i, j);
    }
  out = std::move(result);
  return true;
}

bool MCRectMatrix::ExpandSquare(const MCBitSet& mask, MCRectMatrix& out) const {
  const std::vector<int> pos = SetBits(mask);
  if (fNRows != fNCols || static_cast<int>(pos.size()) != fNRows) return false;
  MCRectMatrix result(mask.Size(), mask.Size());
  for (int i = 0; i < fNRows; ++i)
    for (int j = 0; j < fNCols; ++j) result.Ref(pos[i], pos[j]) = At(i, j);
  out = std::move(result);
  return true;
}

bool MCRectMatrix::CreateBlockDiagonal(int nBlocks, MCRectMatrix& out) const {
  if (nBlocks < 1) return false;
  const long long rows = static_cast<long long>(fNRows) * nBlocks;
  const long long cols = static_cast<long long>(fNCols) * nBlocks;
  if (rows > INT32_MAX || cols > INT32_MAX) return false;
  MCRectMatrix result(static_cast<int>(rows), static_cast<int>(cols));
  if (result.fNRows != rows || result.fNCols != cols) return false;
  for (int b = 0; b < nBlocks; ++b)
    for (int i = 0; i < fNRows; ++i)
      for (int j = 0; j < fNCols; ++j) result.Ref(b * fNRows + i, b * fNCols + j) = At(i, j);
  out = std::move(result);
  return true;
}

// --- Element operations ----------------------------------------------------------------

bool MCRectMatrix::ZeroOutCol(int j) {
  if (!IsCol(j)) return false;
  for (int i = 0; i < fNRows; ++i) Ref(i, j) = 0.0;
  return true;
}

bool MCRectMatrix::ZeroOutRowPart(int i, int from, int to) {
  if (!IsRow(i) || from < 0 || from > to || to >= fNCols) return false;
  for (int j = from; j <= to; ++j) Ref(i, j) = 0.0;
  return true;
}

bool MCRectMatrix::ColScale(int j, double c) {
  if (!IsCol(j)) return false;
  for (int i = 0; i < fNRows; ++i) Ref(i, j) *= c;
  return true;
}

bool MCRectMatrix::AddToColumn(int j, const MCRectMatrix& X, int k, double c) {
  if (!IsCol(j) || !X.IsCol(k) || X.fNRows != fNRows) return false;
  for (int i = 0; i < fNRows; ++i) Ref(i, j) += c * X.At(i, k);
  return true;
}

bool MCRectMatrix::IsRowZero(int i) const {
  if (!IsRow(i)) return false;
  for (int j = 0; j < fNCols; ++j)
    if (At(i, j) != 0.0) return false;
  return true;
}

bool MCRectMatrix::IsColZero(int j) const {
  if (!IsCol(j)) return false;
  for (int i = 0; i < fNRows; ++i)
    if (At(i, j) != 0.0) return false;
  return true;
}

bool MCRectMatrix::IsRowZeroButOne(int i, const MCBitSet& mask, int& col) const {
  col = -1;
  if (!IsRow(i)) return false;
  const int m = std::min(fNCols, mask.Size());
  int found = -1;
  for (int j = 0; j < m; ++j) {
    if (!mask.IsIn(j) || At(i, j) == 0.0) continue;
    if (found >= 0) return false;
    found = j;
  }
  col = found;
  return found >= 0;
}

int MCRectMatrix::FindFirstNonZeroInRow(int i, double tol) const {
  if (!IsRow(i) || !(tol > 0.0)) return -1;
  for (int j = 0; j < fNCols; ++j)
    if (std::fabs(At(i, j)) > tol) return j;
  return -1;
}

// --- Products and norms ----------------------------------------------------------------

double MCRectMatrix::RowNorm(int i) const {
  if (!IsRow(i)) return MCMV::Missing();
  return MCMathFun::DNrm2(fNCols, fvElements.data(), static_cast<int>(Pos(i, 0)), 1);
}

double MCRectMatrix::ColNorm(int j) const {
  if (!IsCol(j)) return MCMV::Missing();
  if (fNRows == 0) return 0.0;
  return MCMathFun::DNrm2(fNRows, fvElements.data(), j, fNCols);
}

double MCRectMatrix::DotProductCol(int j, int k) const { return DotProductColCol(j, *this, k); }

double MCRectMatrix::DotProductRows(int i, int k) const { return DotProductRowRow(i, *this, k); }

double MCRectMatrix::DotProductColCol(int j, const MCRectMatrix& X, int k) const {
  if (!IsCol(j) || !X.IsCol(k) || X.fNRows != fNRows) return MCMV::Missing();
  if (fNRows == 0) return 0.0;
  return StridedDot(fNRows, fvElements.data() + j, fNCols, X.fvElements.data() + k, X.fNCols);
}

double MCRectMatrix::DotProductRowCol(int i, const MCRectMatrix& X, int k) const {
  if (!IsRow(i) || !X.IsCol(k) || X.fNRows != fNCols) return MCMV::Missing();
  if (fNCols == 0) return 0.0;
  return StridedDot(fNCols, fvElements.data() + Pos(i, 0), 1, X.fvElements.data() + k, X.fNCols);
}

double MCRectMatrix::DotProductRowRow(int i, const MCRectMatrix& X, int k) const {
  if (!IsRow(i) || !X.IsRow(k) || X.fNCols != fNCols) return MCMV::Missing();
  if (fNCols == 0) return 0.0;
  return StridedDot(fNCols, fvElements.data() + Pos(i, 0), 1, X.fvElements.data() + X.Pos(k, 0), 1);
}

bool MCRectMatrix::ComputeRV(const std::vector<double>& v, std::vector<double>& out) const {
  if (static_cast<int>(v.size()) != fNCols) return false;
  std::vector<double> r(static_cast<std::size_t>(fNRows), 0.0);
  for (int i = 0; i < fNRows && fNCols > 0; ++i)
    r[i] = StridedDot(fNCols, fvElements.data() + Pos(i, 0), 1, v.data(), 1);
  out.swap(r);
  return true;
}

bool MCRectMatrix::ComputeVR(const std::vector<double>& v, std::vector<double>& out) const {
  if (static_cast<int>(v.size()) != fNRows) return false;
  std::vector<double> r(static_cast<std::size_t>(fNCols), 0.0);
  for (int i = 0; i < fNRows && fNCols > 0; ++i)
    StridedAxpy(fNCols, v[i], fvElements.data() + Pos(i, 0), 1, r.data(), 1);
  out.swap(r);
  return true;
}

bool MCRectMatrix::ComputeMatrixProduct(const MCRectMatrix& B, MCRectMatrix& out) const {
  if (B.fNRows != fNCols) return false;
  MCRectMatrix r(fNRows, B.fNCols);
  // Row i of the product accumulates a(i, t) times row t of B.
  for (int i = 0; i < fNRows && B.fNCols > 0; ++i)
    for (int t = 0; t < fNCols; ++t)
      StridedAxpy(B.fNCols, At(i, t), B.fvElements.data() + B.Pos(t, 0), 1,
                  r.fvElements.data() + r.Pos(i, 0), 1);
  out = std::move(r);
  return true;
}

bool MCRectMatrix::ComputeProductMatrixTrans(const MCRectMatrix& B, MCRectMatrix& out) const {
  if (B.fNCols != fNCols) return false;
  MCRectMatrix r(fNRows, B.fNRows);
  for (int i = 0; i < fNRows; ++i)
    for (int k = 0; k < B.fNRows; ++k) r.Ref(i, k) = DotProductRowRow(i, B, k);
  out = std::move(r);
  return true;
}

bool MCRectMatrix::IncrVecByColumn(int j, std::vector<double>& v, int from, int to, double c,
                                   bool atRowIndex) const {
  if (!IsCol(j) || from < 0 || from > to || to >= fNRows) return false;
  const int count = to - from + 1;
  const std::size_t offset = atRowIndex ? static_cast<std::size_t>(from) : 0;
  if (v.size() < offset + static_cast<std::size_t>(count)) return false;
  StridedAxpy(count, c, fvElements.data() + Pos(from, j), fNCols, v.data() + offset, 1);
  return true;
}

// --- Rank and estimability -------------------------------------------------------------

namespace {

// S = RT R (columns) or R RT (rows).
MCSymMatrix CrossProducts(const MCRectMatrix& R, bool byRows) {
  MCSymMatrix s;
  if (byRows)
    s.ComputeRByRTrans(R);
  else
    s.ComputeRTransByR(R);
  return s;
}

}  // namespace

int MCRectMatrix::FindRedundancies(double tol, MCBitSet& nonRed, bool byRows) const {
  if (!(tol >= 0.0)) return -1;
  MCSymMatrix s = CrossProducts(*this, byRows);
  std::vector<double> refDiag;
  s.GetDiagonal(refDiag);
  return s.LTChol(refDiag, tol * tol, nonRed, false);
}

int MCRectMatrix::FindNonRedunIndices(double tol, std::vector<int>& idx, bool byRows) const {
  if (!(tol >= 0.0)) return -1;
  MCSymMatrix s = CrossProducts(*this, byRows);
  return s.CholIndNonRed(0, tol * tol, idx);
}

int MCRectMatrix::ExtractFullRank(double tol, MCRectMatrix& out, std::vector<int>& idx,
                                  bool byRows) const {
  const int count = FindNonRedunIndices(tol, idx, byRows);
  if (count < 0) return count;
  const bool ok = byRows ? ExtractRows(idx, out) : ExtractColumns(idx, out);
  return ok ? count : -1;
}

bool MCRectMatrix::ResidOfOrthProjection(const MCRectMatrix& X, double tol, MCBitSet& nonRedX,
                                         MCBitSet& nonZero) {
  const int n = fNRows;
  const int p = X.fNCols;
  const int q = fNCols;
  if (n < 1 || X.fNRows != n || p < 1 || q < 1 || !(tol > 0.0)) return false;
  nonRedX.Resize(p);
  nonZero.Resize(q);

  MCSymMatrix s(p + q);
  if (!s.UpdateXXMat2(X, *this, 1.0)) return false;
  std::vector<double> refDiag;
  s.GetDiagonal(refDiag);

  // Sweep needs a set covering every row of S; only the first p rows are swept.
  MCBitSet swept(p + q);
  for (int k = 0; k < p; ++k) s.Sweep(k, tol, refDiag, swept, false);
  for (int k = 0; k < p; ++k) nonRedX.Set(k, swept.IsIn(k));

  // After the sweep S(p + i, k) is the coefficient of column k of X for column i of Y.
  for (int k = 0; k < p; ++k) {
    if (!swept.IsIn(k)) continue;
    for (int i = 0; i < q; ++i) AddToColumn(i, X, k, -s.GetElem(p + i, k));
  }
  for (int i = 0; i < q; ++i) {
    const double rss = DotProductCol(i, i);
    nonZero.Set(i, rss > refDiag[p + i] * tol);
  }
  return true;
}

int MCRectMatrix::EstimateLinearGI(const std::vector<double>& b, std::vector<double>& x,
                                   double tol) const {
  if (fNRows < 1 || fNCols < 1 || !(tol > 0.0) || static_cast<int>(b.size()) != fNRows) return -1;
  if (fNRows == fNCols && SolveLinearSquare(b, x, tol)) return 0;
  MCSymMatrix s;
  s.ComputeRTransByR(*this);
  std::vector<double> c;
  ComputeVR(b, c);
  return s.LTSolve(c, tol, x);
}

bool MCRectMatrix::SolveLinearSquare(const std::vector<double>& b, std::vector<double>& x,
                                     double tol) const {
  const int n = fNRows;
  if (n < 1 || fNCols != n || !(tol > 0.0) || static_cast<int>(b.size()) != n) return false;
  // The row-major array read column by column is the transpose; solving the transposed
  // system with it (job 1) therefore solves R x = b.
  std::vector<double> a(fvElements);
  std::vector<int> ipvt(static_cast<std::size_t>(n));
  std::vector<double> z(static_cast<std::size_t>(n));
  const double rcond = Linpack::Dgeco(a.data(), n, n, ipvt.data(), z.data());
  if (!(rcond > tol)) return false;
  std::vector<double> sol(b);
  Linpack::Dgesl(a.data(), n, n, ipvt.data(), sol.data(), 1);
  x.swap(sol);
  return true;
}

bool MCRectMatrix::IsEstimable(const MCRectMatrix& H, const MCBitSet& mask, double tol) const {
  const int p = fNCols;
  if (fNRows < 1 || p < 1 || !(tol > 0.0) || mask.Size() < p || H.fNRows != p || H.fNCols != p)
    return false;
  const double limit = tol * tol;
  for (int r = 0; r < fNRows; ++r) {
    const double norm = RowNorm(r);
    if (!(norm > 0.0)) continue;
    double d = 0.0;
    for (int i = 0; i < p; ++i) {
      double hl = 0.0;
      for (int j = 0; j < p; ++j)
        if (mask.IsIn(j)) hl += H.At(i, j) * At(r, j);
      const double diff = hl / norm - At(r, i) / norm;
      d += diff * diff;
    }
    if (d > limit) return false;
  }
  return true;
}

bool MCRectMatrix::IsERowMultipleOfAnother(int i, int j, double ei, double ej,
                                           double& ratio) const {
  if (!IsRow(i) || !IsRow(j) || fNCols < 1) return false;
  double mi = std::fabs(ei);
  double mj = std::fabs(ej);
  for (int k = 0; k < fNCols; ++k) {
    mi = std::max(mi, std::fabs(At(i, k)));
    mj = std::max(mj, std::fabs(At(j, k)));
  }
  if (mi == 0.0 || mj == 0.0) return false;

  double c = 0.0;
  bool haveRatio = false;
  for (int k = 0; k < fNCols && !haveRatio; ++k) {
    if (At(i, k) != 0.0) {
      if (At(j, k) == 0.0) return false;
      c = At(i, k) / At(j, k);
      haveRatio = true;
    } else if (At(j, k) != 0.0) {
      return false;
    }
  }
  if (!haveRatio) {
    // Both rows are zero: only the extra values carry the ratio.
    if (ei == 0.0 || ej == 0.0) return false;
    c = ei / ej;
  }
  for (int k = 0; k < fNCols; ++k)
    if (!(std::fabs(At(i, k) - c * At(j, k)) / mi < kEpsilon)) return false;
  if (!(std::fabs(ei - c * ej) / mi < kEpsilon)) return false;
  ratio = c;
  return true;
}

bool MCRectMatrix::ZeroOutPivotRow(int i, double tol, int& pivot) {
  pivot = -1;
  if (!IsRow(i) || !(tol > 0.0)) return false;
  pivot = FindFirstNonZeroInRow(i, tol);
  if (pivot < 0) return false;
  for (int j = 0; j < fNCols; ++j)
    if (j != pivot) AddToColumn(j, *this, pivot, At(i, j));
  ZeroOutCol(pivot);
  return true;
}

void MCRectMatrix::CheckForOnes(double tol) {
  if (!(tol > 0.0)) return;
  for (double& e : fvElements) {
    // Both tests look at the old value; with a wide tol the second one wins.
    const double old = e;
    const double a = std::fabs(old);
    if (std::fabs(a - 1.0) <= tol) e = old > 0.0 ? 1.0 : -1.0;
    if (std::fabs(a - 0.5) <= 2.0 * tol) e = old > 0.0 ? 0.5 : -0.5;
  }
}

bool MCRectMatrix::ColClean(int j, double tol) {
  if (!IsCol(j)) return false;
  const double norm = ColNorm(j);
  const double t = 10000.0 * tol;
  if (MCMathFun::QLReps(norm, t)) return ZeroOutCol(j);
  if (norm == 0.0) return true;  // nothing to clean in a zero column
  for (int i = 0; i < fNRows; ++i)
    if (MCMathFun::QLReps(At(i, j) / norm, t)) Ref(i, j) = 0.0;
  return true;
}

int MCRectMatrix::CheckAddColRedundancies(const MCBitSet& in, MCBitSet& out) const {
  out.Resize(fNCols, true);
  for (int i = 0; i < fNRows; ++i) {
    int col = -1;
    if (IsRowZeroButOne(i, in, col)) out.Set(col, false);
  }
  int count = 0;
  for (int j = 0; j < fNCols; ++j) {
    if (!in.IsIn(j)) out.Set(j, false);
    if (out.IsIn(j) && (fNRows == 0 || !IsColZero(j))) ++count;
  }
  return count;
}

}  // namespace MCCommonMath

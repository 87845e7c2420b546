#include "MCSymMatrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "mcmath/MCSymKernels.h"

namespace MCCommonMath {

namespace {

using symkernels::Axpy;
using symkernels::AxpyPackedCol;
using symkernels::Dot;
using symkernels::DotPackedCol;
using symkernels::PackedRowStart;

std::size_t PackedSize(int n) { return n <= 0 ? 0 : PackedRowStart(n); }

// True when [first, first + count) lies inside [0, limit).
bool RangeInside(int64_t first, int64_t count, int64_t limit) {
  return first >= 0 && count >= 0 && first + count <= limit;
}

// Sum of S(i, c0 + t) y[t] for t < cnt, S read across the diagonal: the columns up to the
// diagonal are contiguous in row i, those past it walk down column i.
double RowSegmentDot(const double* packed, int i, int c0, int cnt, const double* y) {
  const int c1 = c0 + cnt;  // one past the last column
  const int lowEnd = std::min(c1, i + 1);
  double sum = 0.0;
  if (lowEnd > c0) sum += Dot(lowEnd - c0, packed + PackedRowStart(i) + c0, y);
  const int j0 = std::max(c0, i + 1);
  if (c1 > j0) {
    sum += DotPackedCol(c1 - j0, packed + PackedRowStart(j0) + i, j0 + 1, y + (j0 - c0));
  }
  return sum;
}

// y[t] += a S(i, c0 + t) for t < cnt.
void RowSegmentAxpy(const double* packed, int i, int c0, int cnt, double a, double* y) {
  const int c1 = c0 + cnt;
  const int lowEnd = std::min(c1, i + 1);
  if (lowEnd > c0) Axpy(lowEnd - c0, a, packed + PackedRowStart(i) + c0, y);
  const int j0 = std::max(c0, i + 1);
  if (c1 > j0) AxpyPackedCol(c1 - j0, a, packed + PackedRowStart(j0) + i, j0 + 1, y + (j0 - c0));
}

// vT S w over the leading m rows.
double LeadingBilinear(const double* packed, int m, const double* v, const double* w) {
  double sum = 0.0;
  const double* row = packed;
  for (int i = 0; i < m; ++i) {
    sum += v[i] * (Dot(i, row, w) + row[i] * w[i]) + w[i] * Dot(i, row, v);
    row += i + 1;
  }
  return sum;
}

// out = S v over the leading m rows.
void LeadingSV(const double* packed, int m, const double* v, std::vector<double>& out) {
  std::vector<double> res(static_cast<std::size_t>(m), 0.0);
  const double* row = packed;
  for (int i = 0; i < m; ++i) {
    res[i] += Dot(i + 1, row, v);
    Axpy(i, v[i], row, res.data());
    row += i + 1;
  }
  out.swap(res);
}

// The full symmetric matrix, row-major n x n.
std::vector<double> ToDense(const std::vector<double>& packed, int n) {
  std::vector<double> d(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  std::size_t p = 0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j, ++p) {
      d[static_cast<std::size_t>(i) * n + j] = packed[p];
      d[static_cast<std::size_t>(j) * n + i] = packed[p];
    }
  }
  return d;
}

std::string FormatG(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// MCSymMatrixData

MCSymMatrixData::MCSymMatrixData(int n) {
  const int m = std::max(n, 0);
  Allocate(m, 1, m);
}

MCSymMatrixData::MCSymMatrixData(int nBlocks, int blockSize) {
  if (nBlocks >= 1 && blockSize >= 1) {
    const int64_t n = static_cast<int64_t>(nBlocks) * blockSize;
    if (n > INT32_MAX) {
      Allocate(-1, 0, 0);
    } else {
      Allocate(static_cast<int>(n), nBlocks, blockSize);
    }
  }
}

MCSymMatrixData::MCSymMatrixData(const MCSymMatrixData& other) { *this = other; }

MCSymMatrixData& MCSymMatrixData::operator=(const MCSymMatrixData& other) {
  if (this == &other) return *this;
  try {
    fvElements = other.fvElements;
  } catch (const std::exception&) {
    Allocate(-1, 0, 0);
    return *this;
  }
  fNRows = other.fNRows;
  fNBlocks = other.fNBlocks;
  fBlockSize = other.fBlockSize;
  return *this;
}

MCSymMatrixData::MCSymMatrixData(MCSymMatrixData&& other) noexcept
    : fNRows(other.fNRows),
      fNBlocks(other.fNBlocks),
      fBlockSize(other.fBlockSize),
      fvElements(std::move(other.fvElements)) {
  other.fNRows = other.fNBlocks = other.fBlockSize = 0;
  other.fvElements.clear();
}

MCSymMatrixData& MCSymMatrixData::operator=(MCSymMatrixData&& other) noexcept {
  if (this == &other) return *this;
  fNRows = other.fNRows;
  fNBlocks = other.fNBlocks;
  fBlockSize = other.fBlockSize;
  fvElements = std::move(other.fvElements);
  other.fNRows = other.fNBlocks = other.fBlockSize = 0;
  other.fvElements.clear();
  return *this;
}

bool MCSymMatrixData::ResizeNRows(std::vector<double>& v, int& n) {
  if (n <= 0) {
    v.clear();
    return n >= 0;
  }
  try {
    v.resize(PackedSize(n), 0.0);
  } catch (const std::exception&) {
    n = -1;
  }
  return n >= 0;
}

void MCSymMatrixData::Allocate(int n, int nBlocks, int blockSize) {
  fvElements.clear();
  fNRows = n;
  fNBlocks = nBlocks;
  fBlockSize = blockSize;
  if (n < 0 || !ResizeNRows(fvElements, fNRows)) {
    fNRows = -1;
    fNBlocks = 0;
    fBlockSize = 0;
    fvElements.clear();
  }
}

double MCSymMatrixData::GetElem(int i, int j) const {
  if (!InRange(i) || !InRange(j)) return MCMV::Missing();
  return At(i, j);
}

double MCSymMatrixData::GetElem(int bi, int bj, int r, int c) const {
  if (bi < 0 || bi >= fNBlocks || bj < 0 || bj >= fNBlocks || r < 0 || r >= fBlockSize || c < 0 ||
      c >= fBlockSize) {
    return MCMV::Missing();
  }
  return GetElem(bi * fBlockSize + r, bj * fBlockSize + c);
}

void MCSymMatrixData::GetDiagonal(std::vector<double>& d) const {
  const int n = std::max(fNRows, 0);
  d.resize(static_cast<std::size_t>(n));
  std::size_t p = 0;
  for (int i = 0; i < n; ++i) {
    d[i] = fvElements[p];
    p += static_cast<std::size_t>(i) + 2;
  }
}

bool MCSymMatrixData::GetRow(int i, std::vector<double>& v) const {
  if (!InRange(i)) return false;
  v.resize(static_cast<std::size_t>(fNRows));
  const double* row = fvElements.data() + PackedRowStart(i);
  std::copy(row, row + i + 1, v.begin());
  std::size_t p = Pos(i + 1, i);
  for (int j = i + 1; j < fNRows; ++j) {
    v[j] = fvElements[p];
    p += static_cast<std::size_t>(j) + 1;
  }
  return true;
}

void MCSymMatrixData::Display() const {
  using MCCommon::MCComponentDisplay;
  MCComponentDisplay::DisplayText(1, "MCSymMatrixData display start");
  MCComponentDisplay::DisplayI("The number of rows", fNRows);
  MCComponentDisplay::DisplayI("The number of blocks", fNBlocks);
  MCComponentDisplay::DisplayI("The block size", fBlockSize);
  MCComponentDisplay::DisplayDV("Lower triangular", fvElements);
  MCComponentDisplay::DisplayText(1, "MCSymMatrixData display end");
}

// ---------------------------------------------------------------------------------------
// MCSymMatrix: shape

bool MCSymMatrix::Resize(int n) {
  int m = std::max(n, 0);
  if (!ResizeNRows(fvElements, m)) {
    Allocate(-1, 0, 0);
    return false;
  }
  fNRows = m;
  fNBlocks = 1;
  fBlockSize = m;
  return true;
}

bool MCSymMatrix::SetNRows(int n) {
  if (n < 0) {
    Allocate(0, 0, 0);
  } else {
    Allocate(n, 1, n);
  }
  return IsValidMatrix();
}

bool MCSymMatrix::SetNBlocks(int k) {
  if (k < 1 || fNRows < 1 || fNRows % k != 0) return false;
  fNBlocks = k;
  fBlockSize = fNRows / k;
  return true;
}

void MCSymMatrix::SetData(const MCSymMatrixData& data) { MCSymMatrixData::operator=(data); }

void MCSymMatrix::Clear() { std::fill(fvElements.begin(), fvElements.end(), 0.0); }

bool MCSymMatrix::ReplaceFirstRows(const MCSymMatrix& src, int m) {
  if (m < 1 || m > src.fNRows || m > fNRows) return false;
  std::copy(src.fvElements.begin(), src.fvElements.begin() + PackedSize(m), fvElements.begin());
  return true;
}

void MCSymMatrix::ExtractFirstNRows(MCSymMatrix& out) const {
  if (fNRows <= 1) {
    out = MCSymMatrix();
    return;
  }
  const int m = fNRows - 1;
  if (&out == this) {
    out.Resize(m);  // keeps the leading rows
    return;
  }
  if (out.fNRows != m && !out.Resize(m)) return;
  std::copy(fvElements.begin(), fvElements.begin() + PackedSize(m), out.fvElements.begin());
}

void MCSymMatrix::Expand(const MCBitSet& mask, MCSymMatrix& out) const {
  std::vector<int> pos;
  for (int b = 0; b < mask.Size() && static_cast<int>(pos.size()) < fNRows; ++b) {
    if (mask.IsIn(b)) pos.push_back(b);
  }
  MCSymMatrix res(mask.Size());
  if (res.IsValidMatrix()) {
    const int cnt = static_cast<int>(pos.size());
    for (int a = 0; a < cnt; ++a) {
      const double* row = fvElements.data() + PackedRowStart(a);
      double* target = res.fvElements.data() + PackedRowStart(pos[a]);
      for (int b = 0; b <= a; ++b) target[pos[b]] = row[b];
    }
  }
  out = std::move(res);
}

bool MCSymMatrix::ExtractSubmatrix(const std::vector<int>& rows, MCSymMatrix& out) const {
  if (rows.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  for (int r : rows) {
    if (!InRange(r)) return false;
  }
  const int m = static_cast<int>(rows.size());
  MCSymMatrix res(m);
  if (!res.IsValidMatrix()) return false;
  std::size_t p = 0;
  for (int a = 0; a < m; ++a) {
    for (int b = 0; b <= a; ++b) res.fvElements[p++] = At(rows[a], rows[b]);
  }
  out = std::move(res);
  return true;
}

// ---------------------------------------------------------------------------------------
// Element writes and rows

bool MCSymMatrix::SetElem(int i, int j, double v) {
  if (!InRange(i) || !InRange(j)) return false;
  Ref(i, j) = v;
  return true;
}

bool MCSymMatrix::SetElem(int p, double v) {
  if (p < 0 || static_cast<std::size_t>(p) >= fvElements.size()) return false;
  fvElements[p] = v;
  return true;
}

bool MCSymMatrix::PutRow(int i, const std::vector<double>& v) {
  if (!InRange(i) || v.size() < static_cast<std::size_t>(fNRows)) return false;
  double* row = fvElements.data() + PackedRowStart(i);
  std::copy(v.begin(), v.begin() + i + 1, row);
  std::size_t p = Pos(i + 1, i);
  for (int j = i + 1; j < fNRows; ++j) {
    fvElements[p] = v[j];
    p += static_cast<std::size_t>(j) + 1;
  }
  return true;
}

bool MCSymMatrix::SetRowColToConst(int i, double c) {
  if (!InRange(i)) return false;
  double* row = fvElements.data() + PackedRowStart(i);
  std::fill(row, row + i + 1, c);
  std::size_t p = Pos(i + 1, i);
  for (int j = i + 1; j < fNRows; ++j) {
    fvElements[p] = c;
    p += static_cast<std::size_t>(j) + 1;
  }
  return true;
}

bool MCSymMatrix::ZeroOut(int i) { return SetRowColToConst(i, 0.0); }

bool MCSymMatrix::IsZeroRow(int i, const MCBitSet& mask) const {
  if (!InRange(i) || mask.Size() == 0) return false;
  const int lim = std::min(fNRows, mask.Size());
  for (int j = 0; j < lim; ++j) {
    if (mask.IsIn(j) && At(i, j) != 0.0) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Whole-matrix arithmetic and accumulation

void MCSymMatrix::AddToDiagonal(double c) {
  std::size_t p = 0;
  for (int i = 0; i < fNRows; ++i) {
    fvElements[p] += c;
    p += static_cast<std::size_t>(i) + 2;
  }
}

void MCSymMatrix::MultiplyByNumber(double c) {
  for (double& e : fvElements) e *= c;
}

void MCSymMatrix::ChangeSign() { MultiplyByNumber(-1.0); }

bool MCSymMatrix::ComputeAXpY(double a, const MCSymMatrix& X) {
  if (X.fNRows != fNRows || X.fvElements.size() != fvElements.size()) return false;
  const std::size_t size = fvElements.size();
  double* y = fvElements.data();
  const double* x = X.fvElements.data();
  // Chunks keep the kernel's int count in range for very large matrices.
  constexpr std::size_t kChunk = std::size_t{1} << 30;
  for (std::size_t off = 0; off < size; off += kChunk) {
    Axpy(static_cast<int>(std::min(kChunk, size - off)), a, x + off, y + off);
  }
  return true;
}

bool MCSymMatrix::SetToVV(const std::vector<double>& x) {
  if (x.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  const std::vector<double> copy = (&x == &fvElements) ? x : std::vector<double>();
  const std::vector<double>& v = (&x == &fvElements) ? copy : x;
  const int n = static_cast<int>(v.size());
  Allocate(n, 1, n);
  if (!IsValidMatrix()) return false;
  std::size_t p = 0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) fvElements[p++] = v[i] * v[j];
  }
  return true;
}

bool MCSymMatrix::UpdateXX(const std::vector<double>& x, double w) {
  if (!(w > 0.0)) return false;
  return UpdateXXPosNegW(x, w);
}

bool MCSymMatrix::UpdateXXPosNegW(const std::vector<double>& x, double w) {
  if (fNRows < 0 || x.size() != static_cast<std::size_t>(fNRows)) return false;
  symkernels::AddWeightedOuter(fNRows, x.data(), w, fvElements.data());
  return true;
}

bool MCSymMatrix::UpdateXXNonRedun(const std::vector<double>& x, const MCBitSet& mask, double w) {
  if (fNRows < 0 || x.size() != static_cast<std::size_t>(fNRows)) return false;
  for (int i = 0; i < fNRows; ++i) {
    if (x[i] == 0.0 || !mask.IsIn(i)) continue;
    const double c = x[i] * w;
    double* row = fvElements.data() + PackedRowStart(i);
    for (int j = 0; j <= i; ++j) {
      if (mask.IsIn(j)) row[j] += x[j] * c;
    }
  }
  return true;
}

bool MCSymMatrix::UpdateXXSparse(int m, const std::vector<int>& idx, const std::vector<double>& val,
                                 double w) {
  if (m < 0 || idx.size() < static_cast<std::size_t>(m) ||
      val.size() < static_cast<std::size_t>(m) || !(w > 0.0)) {
    return false;
  }
  for (int p = 0; p < m; ++p) {
    const int r = idx[p];
    if (!InRange(r)) continue;
    const double c = val[p] * w;
    double* row = fvElements.data() + PackedRowStart(r);
    for (int q = 0; q < m; ++q) {
      const int col = idx[q];
      if (!InRange(col)) continue;
      if (col > r) break;
      row[col] += val[q] * c;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Diagonal queries

double MCSymMatrix::Trace() const {
  double sum = 0.0;
  std::size_t p = 0;
  for (int i = 0; i < fNRows; ++i) {
    sum += fvElements[p];
    p += static_cast<std::size_t>(i) + 2;
  }
  return sum;
}

bool MCSymMatrix::MaxMinDiag(double& max, double& min) const {
  if (fNRows < 1) return false;
  double hi = fvElements[0];
  double lo = fvElements[0];
  std::size_t p = 0;
  for (int i = 0; i < fNRows; ++i) {
    hi = std::max(hi, fvElements[p]);
    lo = std::min(lo, fvElements[p]);
    p += static_cast<std::size_t>(i) + 2;
  }
  max = hi;
  min = lo;
  return true;
}

bool MCSymMatrix::MaxMinDiagOffDiag(double& maxD, double& minD, double& maxO, double& minO) const {
  if (fNRows < 1) return false;
  double hiD = -DBL_MAX, loD = DBL_MAX, hiO = -DBL_MAX, loO = DBL_MAX;
  const double* row = fvElements.data();
  for (int i = 0; i < fNRows; ++i) {
    for (int j = 0; j < i; ++j) {
      hiO = std::max(hiO, row[j]);
      loO = std::min(loO, row[j]);
    }
    hiD = std::max(hiD, row[i]);
    loD = std::min(loD, row[i]);
    row += i + 1;
  }
  maxD = hiD;
  minD = loD;
  maxO = hiO;
  minO = loO;
  return true;
}

void MCSymMatrix::GetNCheckDiagonal(std::vector<double>& d, double tol, double repl) const {
  GetDiagonal(d);
  for (double& e : d) {
    if (e < tol) e = repl;
  }
}

// ---------------------------------------------------------------------------------------
// Sweep

bool MCSymMatrix::GetRegCoeffs(std::vector<double>& b, const MCBitSet& in) const {
  const int p = fNRows - 1;
  if (p <= 0) {
    b.clear();
    return true;
  }
  if (in.Size() < p) return false;
  b.resize(static_cast<std::size_t>(p));
  const double* last = fvElements.data() + PackedRowStart(p);
  for (int j = 0; j < p; ++j) b[j] = in.IsIn(j) ? last[j] : 0.0;
  return true;
}

bool MCSymMatrix::Sweep(int k, double tol, const std::vector<double>& refDiag, MCBitSet& swept,
                        bool check) {
  // These would read or write outside the arrays, so they are refused even unchecked.
  if (!InRange(k) || refDiag.size() < static_cast<std::size_t>(fNRows) || swept.Size() < fNRows) {
    return false;
  }
  if (check) {
    if (!(tol > 0.0)) return false;
    for (double r : refDiag) {
      if (r < 0.0) return false;
    }
  }
  const double t = tol > 0.0 ? tol : 0.0;
  const double d = fvElements[Pos(k, k)];
  const bool wasSwept = swept.IsIn(k);
  if (!wasSwept) {
    // Pivot test, written so that a NaN pivot is refused too.
    if (!(d > refDiag[k] * t)) return false;
    // Conditioning test over the rows already swept.
    for (int i = 0; i < fNRows; ++i) {
      if (i == k || !swept.IsIn(i)) continue;
      const double aik = At(i, k);
      if ((At(i, i) - aik * aik / d) * t * refDiag[i] <= -1.0) return false;
    }
  }
  symkernels::SweepPivot(fNRows, fvElements.data(), k);
  swept.Set(k, !wasSwept);
  return true;
}

// ---------------------------------------------------------------------------------------
// Clean-up

void MCSymMatrix::ZeroOutAllSmall(double tol) {
  if (!(tol > 0.0)) return;
  double maxAbs = 0.0;
  std::size_t p = 0;
  for (int i = 0; i < fNRows; ++i) {
    maxAbs = std::max(maxAbs, std::fabs(fvElements[p]));
    p += static_cast<std::size_t>(i) + 2;
  }
  const double bound = tol * maxAbs;
  if (!(bound > 0.0)) return;
  for (double& e : fvElements) {
    if (std::fabs(e) <= bound) e = 0.0;
  }
}

void MCSymMatrix::ZeroOutNonDiag(double tol) {
  if (!(tol > 0.0)) return;
  double* row = fvElements.data();
  for (int i = 0; i < fNRows; ++i) {
    const double dii = std::fabs(row[i]);
    std::size_t pj = 0;
    for (int j = 0; j < i; ++j) {
      const double djj = std::fabs(fvElements[pj]);
      if (std::fabs(row[j]) <= tol * std::sqrt(dii * djj)) row[j] = 0.0;
      pj += static_cast<std::size_t>(j) + 2;
    }
    row += i + 1;
  }
}

void MCSymMatrix::ZeroOutRowsForSmallDiag(double tol) {
  if (!(tol > 0.0)) return;
  double runMax = 0.0;
  for (int i = 0; i < fNRows; ++i) {
    const double dii = std::fabs(fvElements[Pos(i, i)]);
    runMax = std::max(runMax, dii);
    if (runMax == 0.0 || dii / runMax < tol) ZeroOut(i);
  }
}

bool MCSymMatrix::ZeroOutRedundant(const MCBitSet& keep) {
  if (keep.Size() < fNRows) return false;
  for (int i = 0; i < fNRows; ++i) {
    if (!keep.IsIn(i)) ZeroOut(i);
  }
  return true;
}

bool MCSymMatrix::SetCovarZeros(MCSymMatrix& other) {
  if (other.fNRows != fNRows) return false;
  for (int i = 0; i < fNRows; ++i) {
    if (fvElements[Pos(i, i)] <= 0.0 || other.fvElements[Pos(i, i)] <= 0.0) {
      ZeroOut(i);
      other.ZeroOut(i);
    }
  }
  return true;
}

bool MCSymMatrix::AdjustOffDiagCorr(double r) {
  if (!(r >= 0.0 && r <= 1.0)) return false;
  const double capped = 1.0 - r;
  double* row = fvElements.data();
  for (int i = 0; i < fNRows; ++i) {
    for (int j = 0; j < i; ++j) {
      if (row[j] >= 1.0) {
        row[j] = capped;
      } else if (row[j] <= -1.0) {
        row[j] = -capped;
      }
    }
    row += i + 1;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Products

double MCSymMatrix::ComputeVSV(const std::vector<double>& v) const {
  if (fNRows < 0 || v.size() != static_cast<std::size_t>(fNRows)) return MCMV::Missing();
  double sum = 0.0;
  const double* row = fvElements.data();
  for (int i = 0; i < fNRows; ++i) {
    sum += v[i] * (row[i] * v[i] + 2.0 * Dot(i, row, v.data()));
    row += i + 1;
  }
  return sum;
}

double MCSymMatrix::SquareRootVSV(const std::vector<double>& v) const {
  const double q = ComputeVSV(v);
  if (MCMV::IsMissing(q) || !(q >= 0.0)) return MCMV::Missing();
  return std::sqrt(q);
}

double MCSymMatrix::ComputeVSW(const std::vector<double>& v, const std::vector<double>& w) const {
  return ComputeVSW(v.data(), static_cast<int>(std::min<std::size_t>(v.size(), INT32_MAX)),
                    w.data(), static_cast<int>(std::min<std::size_t>(w.size(), INT32_MAX)));
}

double MCSymMatrix::ComputeVSW(const double* v, int nv, const double* w, int nw) const {
  if (fNRows < 0 || nv != fNRows || nw != fNRows) return MCMV::Missing();
  if (fNRows > 0 && (v == nullptr || w == nullptr)) return MCMV::Missing();
  return LeadingBilinear(fvElements.data(), fNRows, v, w);
}

double MCSymMatrix::ComputeVSW(const std::vector<double>& x, int vStart, int wStart, int m) const {
  const auto size = static_cast<int64_t>(x.size());
  if (m < 0 || m > fNRows || !RangeInside(vStart, m, size) || !RangeInside(wStart, m, size)) {
    return MCMV::Missing();
  }
  if (m == 0) return 0.0;
  return LeadingBilinear(fvElements.data(), m, x.data() + vStart, x.data() + wStart);
}

double MCSymMatrix::ComputeVSWParts(const std::vector<double>& v, int vFirst,
                                    const std::vector<double>& w, int wFirst) const {
  if (v.size() > static_cast<std::size_t>(INT32_MAX) ||
      w.size() > static_cast<std::size_t>(INT32_MAX)) {
    return MCMV::Missing();
  }
  return ComputeVSWParts(v.data(), vFirst, static_cast<int>(v.size()), w.data(), wFirst,
                         static_cast<int>(w.size()));
}

double MCSymMatrix::ComputeVSWParts(const double* v, int vFirst, int nv, const double* w,
                                    int wFirst, int nw) const {
  if (!RangeInside(vFirst, nv, fNRows) || !RangeInside(wFirst, nw, fNRows)) {
    return MCMV::Missing();
  }
  if ((nv > 0 && v == nullptr) || (nw > 0 && w == nullptr)) return MCMV::Missing();
  double sum = 0.0;
  if (nw == 0) return sum;
  for (int a = 0; a < nv; ++a) {
    sum += v[a] * RowSegmentDot(fvElements.data(), vFirst + a, wFirst, nw, w);
  }
  return sum;
}

double MCSymMatrix::ComputeBlockVSV(int bi, int bj, const std::vector<double>& v) const {
  return ComputeBlockVSW(bi, bj, v, v);
}

double MCSymMatrix::ComputeBlockVSW(int bi, int bj, const std::vector<double>& v,
                                    const std::vector<double>& w) const {
  const auto s = static_cast<std::size_t>(std::max(fBlockSize, 0));
  if (bi < 0 || bi >= fNBlocks || bj < 0 || bj >= fNBlocks || v.size() != s || w.size() != s) {
    return MCMV::Missing();
  }
  return ComputeVSWParts(v.data(), bi * fBlockSize, fBlockSize, w.data(), bj * fBlockSize,
                         fBlockSize);
}

bool MCSymMatrix::ComputeSV(const std::vector<double>& v, std::vector<double>& out) const {
  if (fNRows < 0 || v.size() != static_cast<std::size_t>(fNRows)) return false;
  LeadingSV(fvElements.data(), fNRows, v.data(), out);
  return true;
}

bool MCSymMatrix::ComputeSV(int m, const std::vector<double>& v, std::vector<double>& out) const {
  if (m < 0 || m > fNRows || v.size() < static_cast<std::size_t>(m)) return false;
  LeadingSV(fvElements.data(), m, v.data(), out);
  return true;
}

double MCSymMatrix::ComputeRowDotProductS(int i, const std::vector<double>& v, int m) const {
  if (!InRange(i) || m < 0 || m > fNRows || v.size() < static_cast<std::size_t>(m)) {
    return MCMV::Missing();
  }
  return RowSegmentDot(fvElements.data(), i, 0, m, v.data());
}

double MCSymMatrix::ComputeRowDotProductS(int i, const MCSymMatrix& B, int k) const {
  if (!InRange(i) || B.fNRows != fNRows || !B.InRange(k)) return MCMV::Missing();
  double sum = 0.0;
  for (int j = 0; j < fNRows; ++j) sum += At(i, j) * B.At(k, j);
  return sum;
}

double MCSymMatrix::ComputeDotProduct2Rows(int i, int j) const {
  if (!InRange(i) || !InRange(j)) return MCMV::Missing();
  double sum = 0.0;
  for (int c = 0; c < fNRows; ++c) sum += At(i, c) * At(j, c);
  return sum;
}

double MCSymMatrix::ComputeRVD(int i, const std::vector<double>& v, int offset) const {
  if (!InRange(i) || !RangeInside(offset, fNRows, static_cast<int64_t>(v.size()))) {
    return MCMV::Missing();
  }
  return RowSegmentDot(fvElements.data(), i, 0, fNRows, v.data() + offset);
}

double MCSymMatrix::ComputeRVD(int i, const double* v, int nv) const {
  if (!InRange(i) || v == nullptr || nv < fNRows) return MCMV::Missing();
  return RowSegmentDot(fvElements.data(), i, 0, fNRows, v);
}

bool MCSymMatrix::IncrVecByRow(int i, std::vector<double>& v, int first, int count, double a,
                               bool atRowIndex) const {
  if (!InRange(i) || !RangeInside(first, count, fNRows)) return false;
  const int64_t need = atRowIndex ? static_cast<int64_t>(first) + count : count;
  if (static_cast<int64_t>(v.size()) < need) return false;
  if (count == 0) return true;
  RowSegmentAxpy(fvElements.data(), i, first, count, a, v.data() + (atRowIndex ? first : 0));
  return true;
}

bool MCSymMatrix::GetPCol(int j, int first, int count, std::vector<double>& out,
                          int outStart) const {
  if (!InRange(j) || !RangeInside(first, count, fNRows) || outStart < 0) return false;
  const std::size_t need = static_cast<std::size_t>(outStart) + static_cast<std::size_t>(count);
  if (out.size() < need) out.resize(need, 0.0);
  for (int t = 0; t < count; ++t) out[outStart + t] = At(first + t, j);
  return true;
}

void MCSymMatrix::ComputeSTransS(MCSymMatrix& out) const {
  const int n = std::max(fNRows, 0);
  const std::vector<double> d = ToDense(fvElements, n);
  MCSymMatrix res(n);
  if (res.IsValidMatrix()) {
    std::size_t p = 0;
    for (int i = 0; i < n; ++i) {
      const double* ri = d.data() + static_cast<std::size_t>(i) * n;
      for (int j = 0; j <= i; ++j) {
        res.fvElements[p++] = Dot(n, ri, d.data() + static_cast<std::size_t>(j) * n);
      }
    }
  }
  out = std::move(res);
}

bool MCSymMatrix::ComputeLSLTrans(const MCSymMatrix& S2, MCSymMatrix& out) const {
  if (fNRows < 0 || S2.fNRows != fNRows) return false;
  const int n = fNRows;
  const std::vector<double> d2 = ToDense(S2.fvElements, n);
  // t = L S2, row by row: row i of t is the sum over j <= i of L(i, j) times row j of S2.
  std::vector<double> t(static_cast<std::size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i) {
    const double* li = fvElements.data() + PackedRowStart(i);
    double* ti = t.data() + static_cast<std::size_t>(i) * n;
    for (int j = 0; j <= i; ++j) Axpy(n, li[j], d2.data() + static_cast<std::size_t>(j) * n, ti);
  }
  MCSymMatrix res(n);
  if (!res.IsValidMatrix()) return false;
  std::size_t p = 0;
  for (int i = 0; i < n; ++i) {
    const double* ti = t.data() + static_cast<std::size_t>(i) * n;
    for (int j = 0; j <= i; ++j) {
      res.fvElements[p++] = Dot(j + 1, ti, fvElements.data() + PackedRowStart(j));
    }
  }
  out = std::move(res);
  return true;
}

bool MCSymMatrix::ComputeLV(const std::vector<double>& v, std::vector<double>& out) const {
  if (fNRows < 0 || v.size() != static_cast<std::size_t>(fNRows)) return false;
  std::vector<double> res(v.size());
  const double* row = fvElements.data();
  for (int i = 0; i < fNRows; ++i) {
    res[i] = Dot(i + 1, row, v.data());
    row += i + 1;
  }
  out.swap(res);
  return true;
}

bool MCSymMatrix::ComputeLTransV(const std::vector<double>& v, std::vector<double>& out) const {
  if (fNRows < 0 || v.size() != static_cast<std::size_t>(fNRows)) return false;
  std::vector<double> res(v.size(), 0.0);
  const double* row = fvElements.data();
  for (int i = 0; i < fNRows; ++i) {
    Axpy(i + 1, v[i], row, res.data());
    row += i + 1;
  }
  out.swap(res);
  return true;
}

bool MCSymMatrix::ComputeGMG(const MCSymMatrix& g, MCSymMatrix& out) const {
  if (fNRows < 0 || g.fNRows != fNRows) return false;
  const int n = fNRows;
  const std::vector<double> dg = ToDense(g.fvElements, n);
  const std::vector<double> dm = ToDense(fvElements, n);
  // t = G M; then (G M G)(i, j) = row i of t dotted with row j of G (G is symmetric).
  std::vector<double> t(static_cast<std::size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i) {
    double* ti = t.data() + static_cast<std::size_t>(i) * n;
    for (int k = 0; k < n; ++k) {
      Axpy(n, dg[static_cast<std::size_t>(i) * n + k], dm.data() + static_cast<std::size_t>(k) * n,
           ti);
    }
  }
  MCSymMatrix res(n);
  if (!res.IsValidMatrix()) return false;
  std::size_t p = 0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      res.fvElements[p++] = Dot(n, t.data() + static_cast<std::size_t>(i) * n,
                                dg.data() + static_cast<std::size_t>(j) * n);
    }
  }
  out = std::move(res);
  return true;
}

bool MCSymMatrix::CheckGMG(const MCSymMatrix& g, double tol) const {
  MCSymMatrix gmg;
  if (!ComputeGMG(g, gmg)) return false;
  double maxAbs = 1.0;
  for (double e : g.fvElements) maxAbs = std::max(maxAbs, std::fabs(e));
  const double bound = tol * maxAbs;
  for (std::size_t p = 0; p < gmg.fvElements.size(); ++p) {
    if (!(std::fabs(gmg.fvElements[p] - g.fvElements[p]) <= bound)) return false;
  }
  return true;
}

double MCSymMatrix::TraceOfProduct(const MCSymMatrix& S2) const {
  if (fNRows < 0 || S2.fNRows != fNRows) return MCMV::Missing();
  // tr(S S2) = sum of S(i,j) S2(i,j) over the full matrices: the diagonal once, the
  // strictly-lower part twice.
  double sum = 0.0;
  const double* r1 = fvElements.data();
  const double* r2 = S2.fvElements.data();
  for (int i = 0; i < fNRows; ++i) {
    sum += 2.0 * Dot(i, r1, r2) + r1[i] * r2[i];
    r1 += i + 1;
    r2 += i + 1;
  }
  return sum;
}

double MCSymMatrix::TraceOfProductOfThree(const MCSymMatrix& S2, const MCSymMatrix& S3) const {
  if (fNRows < 0 || S2.fNRows != fNRows || S3.fNRows != fNRows) return MCMV::Missing();
  const int n = fNRows;
  const std::vector<double> d2 = ToDense(S2.fvElements, n);
  const std::vector<double> d3 = ToDense(S3.fvElements, n);
  // Row i of S S2, dotted with column i of S3 (= row i, S3 being symmetric).
  std::vector<double> ti(static_cast<std::size_t>(n));
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    std::fill(ti.begin(), ti.end(), 0.0);
    for (int j = 0; j < n; ++j)
      Axpy(n, At(i, j), d2.data() + static_cast<std::size_t>(j) * n, ti.data());
    sum += Dot(n, ti.data(), d3.data() + static_cast<std::size_t>(i) * n);
  }
  return sum;
}

// ---------------------------------------------------------------------------------------
// Diagnostics

void MCSymMatrix::DisplayF() const {
  using MCCommon::MCComponentDisplay;
  MCComponentDisplay::DisplayText(1, "MCSymMatrix full matrix display start");
  MCComponentDisplay::DisplayI("Number of rows", fNRows);
  for (int i = 0; i < fNRows; ++i) {
    char head[32];
    std::snprintf(head, sizeof head, "row %d: ", i);
    std::string line = head;
    for (int j = 0; j < fNRows; ++j) {
      if (j > 0) line += ", ";
      line += FormatG(At(i, j));
    }
    MCComponentDisplay::DisplayText(1, line);
  }
}

}  // namespace MCCommonMath

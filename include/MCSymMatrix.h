#ifndef MCSTAT_MCSYMMATRIX_H_
#define MCSTAT_MCSYMMATRIX_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MCBitSet.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// A dense real symmetric matrix in packed lower-triangular storage: element (i, j) with
// i >= j lives at position i(i+1)/2 + j, (i, j) with i < j is the same element as (j, i).
// Row i thus holds columns 0..i, starting at i(i+1)/2; its diagonal is at i(i+3)/2.
// The block view splits the rows into nBlocks blocks of blockSize rows each; block
// (bi, bj), inner (r, c) is element (bi * blockSize + r, bj * blockSize + c).
// n = -1 marks a matrix whose storage could not be allocated.
//
// This class is the storage with read-only access; MCSymMatrix adds the writes and the
// algebra. Both are plain values without virtual operations.
class MCSTAT_EXPORT MCSymMatrixData {
 public:
  // 0 rows, 0 blocks, block size 0.
  MCSymMatrixData() = default;
  // n rows of zeros in one block (n < 0 counts as 0).
  explicit MCSymMatrixData(int n);
  // nBlocks blocks of blockSize rows, zeroed; both counts become 0 unless both are >= 1.
  MCSymMatrixData(int nBlocks, int blockSize);
  MCSymMatrixData(const MCSymMatrixData& other);
  MCSymMatrixData& operator=(const MCSymMatrixData& other);
  // A moved-from matrix is left empty (0 rows, 0 blocks).
  MCSymMatrixData(MCSymMatrixData&& other) noexcept;
  MCSymMatrixData& operator=(MCSymMatrixData&& other) noexcept;
  ~MCSymMatrixData() = default;

  int GetNRows() const { return fNRows; }
  int GetNBlocks() const { return fNBlocks; }
  int GetBlockSize() const { return fBlockSize; }
  // True when n >= 0 (the storage was allocated).
  bool IsValidMatrix() const { return fNRows >= 0; }
  // The packed array, n(n+1)/2 values.
  const std::vector<double>& AsVectorConst() const { return fvElements; }

  // Element (i, j) in either order; the system-missing value when i or j is outside [0, n).
  double GetElem(int i, int j) const;
  // Element (bi * s + r, bj * s + c), s the block size; missing unless bi and bj are in
  // [0, nBlocks) and r and c in [0, s).
  double GetElem(int bi, int bj, int r, int c) const;
  // d becomes the n diagonal elements.
  void GetDiagonal(std::vector<double>& d) const;
  // v becomes the whole row i (columns 0..n-1); false when i is outside [0, n).
  bool GetRow(int i, std::vector<double>& v) const;

  // Writes the counts and the packed array to the diagnostic stream.
  void Display() const;

 protected:
  // n >= 1: v gets n(n+1)/2 elements (kept ones unchanged, new ones 0); when that cannot
  // be allocated n becomes -1. n <= 0: v is emptied. Returns n >= 0.
  static bool ResizeNRows(std::vector<double>& v, int& n);

  // Unchecked element access by the index rule.
  double At(int i, int j) const { return i >= j ? fvElements[Pos(i, j)] : fvElements[Pos(j, i)]; }
  double& Ref(int i, int j) { return i >= j ? fvElements[Pos(i, j)] : fvElements[Pos(j, i)]; }
  static std::size_t Pos(int i, int j) {
    return static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2 +
           static_cast<std::size_t>(j);
  }
  bool InRange(int i) const { return i >= 0 && i < fNRows; }
  // Sizes the storage to n rows of zeros in the given blocks; on allocation failure the
  // matrix becomes invalid (n = -1, no blocks, no elements).
  void Allocate(int n, int nBlocks, int blockSize);

  int32_t fNRows = 0;
  int32_t fNBlocks = 0;
  int32_t fBlockSize = 0;
  std::vector<double> fvElements;
};

// The symmetric matrix with writes, accumulation, the sweep operator and products.
// Indices outside [0, n) make an operation return false (or the missing value) with
// nothing changed. Products read the matrix as the full symmetric matrix S.
//
// Bit sets index rows: a set bit means the row is in the set (swept, non-redundant, kept).
// In the regression models a set redundancy bit marks a NON-redundant parameter.
class MCSTAT_EXPORT MCSymMatrix : public MCSymMatrixData {
 public:
  MCSymMatrix() = default;
  explicit MCSymMatrix(int n) : MCSymMatrixData(n) {}
  MCSymMatrix(int nBlocks, int blockSize) : MCSymMatrixData(nBlocks, blockSize) {}
  MCSymMatrix(const MCSymMatrix& other) = default;
  MCSymMatrix& operator=(const MCSymMatrix& other) = default;
  MCSymMatrix(MCSymMatrix&& other) noexcept = default;
  MCSymMatrix& operator=(MCSymMatrix&& other) noexcept = default;
  ~MCSymMatrix() = default;

  // --- Shape -------------------------------------------------------------------------

  // One block of max(n, 0) rows; the leading rows keep their values, new elements are 0.
  // False (and n = -1) when the storage cannot be allocated.
  bool Resize(int n);
  // n >= 0: one block of n rows; n < 0: all counts 0. Every element becomes 0.
  // False when the storage cannot be allocated.
  bool SetNRows(int n);
  // Relabels the rows as k blocks of n/k; false unless k >= 1, n >= 1 and k divides n.
  bool SetNBlocks(int k);
  // Copies counts and elements of data.
  void SetData(const MCSymMatrixData& data);
  // The packed array, writable (its length must stay n(n+1)/2).
  std::vector<double>& AsVector() { return fvElements; }
  // Every element 0.
  void Clear();
  // Copies the leading m x m block of src over this one's; false unless 1 <= m <= src.n
  // and m <= n.
  bool ReplaceFirstRows(const MCSymMatrix& src, int m);
  // out becomes the leading (n-1) x (n-1) block; an empty matrix when n <= 1.
  void ExtractFirstNRows(MCSymMatrix& out) const;
  // out gets mask.Size() rows of zeros; row k of this matrix goes to the row of the k-th
  // set bit of mask, its elements to the columns of the set bits, in order. Rows beyond
  // the number of set bits are dropped.
  void Expand(const MCBitSet& mask, MCSymMatrix& out) const;
  // out(a, b) = S(rows[a], rows[b]): the listed rows and columns in the listed order
  // (repeats allowed). False with out unchanged when an index is outside [0, n).
  bool ExtractSubmatrix(const std::vector<int>& rows, MCSymMatrix& out) const;

  // --- Element writes and rows -------------------------------------------------------

  // Element (i, j) = (j, i) = v.
  bool SetElem(int i, int j, double v);
  // Packed position p = v; false unless 0 <= p < n(n+1)/2.
  bool SetElem(int p, double v);
  // Row and column i become v[0..n-1]; false unless v holds at least n values.
  bool PutRow(int i, const std::vector<double>& v);
  // Row and column i, diagonal included, become c.
  bool SetRowColToConst(int i, double c);
  // Row and column i, diagonal included, become 0.
  bool ZeroOut(int i);
  // True when every (i, j) with j in mask and j < min(n, mask.Size()) is exactly 0;
  // false when i is outside [0, n) or mask is empty.
  bool IsZeroRow(int i, const MCBitSet& mask) const;

  // --- Whole-matrix arithmetic and accumulation --------------------------------------

  void AddToDiagonal(double c);
  void MultiplyByNumber(double c);
  void ChangeSign();
  // this += a X over the packed arrays; false unless X has n rows.
  bool ComputeAXpY(double a, const MCSymMatrix& X);
  // Becomes x xT with n = x.size() in one block; false when the storage cannot be allocated.
  bool SetToVV(const std::vector<double>& x);
  // Adds w x xT; false unless x.size() = n and w > 0. Rows with x[i] = 0 are skipped.
  bool UpdateXX(const std::vector<double>& x, double w);
  // As UpdateXX for any w (negative weights subtract); false unless x.size() = n.
  bool UpdateXXPosNegW(const std::vector<double>& x, double w);
  // Adds w x[i] x[j] only where i and j are both in mask; false unless x.size() = n.
  bool UpdateXXNonRedun(const std::vector<double>& x, const MCBitSet& mask, double w);
  // Sparse w x xT: idx[0..m) are row numbers in increasing order with values val[0..m);
  // indices outside [0, n) contribute nothing. False unless m >= 0, idx and val hold at
  // least m entries and w > 0.
  bool UpdateXXSparse(int m, const std::vector<int>& idx, const std::vector<double>& val, double w);

  // --- Diagonal queries --------------------------------------------------------------

  double Trace() const;
  // Largest and smallest diagonal element; false and nothing written when n < 1.
  bool MaxMinDiag(double& max, double& min) const;
  // Diagonal and strictly-lower extremes; the off-diagonal pair stays at -DBL_MAX / DBL_MAX
  // when n = 1. False and nothing written when n < 1.
  bool MaxMinDiagOffDiag(double& maxD, double& minD, double& maxO, double& minO) const;
  // d[i] = a(i,i), or repl where a(i,i) < tol.
  void GetNCheckDiagonal(std::vector<double>& d, double tol, double repl) const;

  // --- Sweep -------------------------------------------------------------------------

  // Regression coefficients of a swept matrix whose last row holds the dependent: b gets
  // the first p = n-1 elements of the last row, 0 where the index is not in `in`.
  // False when in.Size() < p; for p <= 0 b is emptied and the result is true.
  bool GetRegCoeffs(std::vector<double>& b, const MCBitSet& in) const;
  // Sweeps pivot k in place and toggles bit k of swept: forward, the leading block A of
  // [[A, B], [BT, D]] becomes -A^-1, B becomes A^-1 B and D becomes D - BT A^-1 B; sweeping
  // a swept row again undoes it. A forward sweep is refused when a(k,k) <= tol refDiag[k]
  // (pivot test) or when some swept row i would get (a(i,i) - a(i,k)^2/a(k,k)) tol
  // refDiag[i] <= -1 (conditioning test). With check, the call is also refused unless
  // tol > 0 and no refDiag entry is negative; without it a negative tol counts as 0.
  // Always refused: k outside [0, n), refDiag shorter than n, swept.Size() < n.
  // On refusal (false) neither the matrix nor swept changes.
  bool Sweep(int k, double tol, const std::vector<double>& refDiag, MCBitSet& swept, bool check);

  // --- Clean-up ----------------------------------------------------------------------

  // tol > 0: every element with |a| <= tol * max|a(i,i)| becomes 0 (when that bound is > 0).
  void ZeroOutAllSmall(double tol);
  // tol > 0: every strictly-lower a(i,j) with |a(i,j)| <= tol sqrt(|a(i,i)| |a(j,j)|)
  // becomes 0.
  void ZeroOutNonDiag(double tol);
  // tol > 0: visiting the rows in order with M the running max of |a(i,i)| (row i
  // included), row i is zeroed when M = 0 or |a(i,i)| / M < tol.
  void ZeroOutRowsForSmallDiag(double tol);
  // Zeroes every row not in keep; false when keep.Size() < n.
  bool ZeroOutRedundant(const MCBitSet& keep);
  // Zeroes row and column i in both matrices wherever either diagonal is <= 0; false
  // unless other has n rows.
  bool SetCovarZeros(MCSymMatrix& other);
  // Off-diagonal elements >= 1 become 1 - r, those <= -1 become -(1 - r); false unless
  // 0 <= r <= 1.
  bool AdjustOffDiagCorr(double r);

  // --- Products ----------------------------------------------------------------------
  // Operations returning a double give the system-missing value when the sizes do not
  // fit; those returning bool give false and leave the output untouched. An output may be
  // the same object as an input.

  // vT S v; v.size() must be n.
  double ComputeVSV(const std::vector<double>& v) const;
  // sqrt(vT S v); missing also when vT S v < 0.
  double SquareRootVSV(const std::vector<double>& v) const;
  // vT S w; both sizes must be n.
  double ComputeVSW(const std::vector<double>& v, const std::vector<double>& w) const;
  double ComputeVSW(const double* v, int nv, const double* w, int nw) const;
  // vT S w over the leading m x m block with v = x[vStart..vStart+m) and
  // w = x[wStart..wStart+m) taken from the one vector x.
  double ComputeVSW(const std::vector<double>& x, int vStart, int wStart, int m) const;
  // Sum of v[a] S(vFirst + a, wFirst + b) w[b]: v covers rows vFirst.. and w covers
  // columns wFirst.. of S; the covered ranges must lie inside [0, n).
  double ComputeVSWParts(const std::vector<double>& v, int vFirst, const std::vector<double>& w,
                         int wFirst) const;
  double ComputeVSWParts(const double* v, int vFirst, int nv, const double* w, int wFirst,
                         int nw) const;
  // vT B v and vT B w for block (bi, bj) (s x s, s the block size; B(r, c) =
  // S(bi s + r, bj s + c)); v and w must hold s values.
  double ComputeBlockVSV(int bi, int bj, const std::vector<double>& v) const;
  double ComputeBlockVSW(int bi, int bj, const std::vector<double>& v,
                         const std::vector<double>& w) const;
  // out = S v; v.size() must be n.
  bool ComputeSV(const std::vector<double>& v, std::vector<double>& out) const;
  // out = S11 v with S11 the leading m x m block; 0 <= m <= n and v must hold m values.
  bool ComputeSV(int m, const std::vector<double>& v, std::vector<double>& out) const;
  // Sum over j < m of S(i, j) v[j]; 0 <= m <= n and v must hold m values.
  double ComputeRowDotProductS(int i, const std::vector<double>& v, int m) const;
  // Sum over j of S(i, j) B(k, j); B must have n rows.
  double ComputeRowDotProductS(int i, const MCSymMatrix& B, int k) const;
  // Sum over k of S(i, k) S(j, k).
  double ComputeDotProduct2Rows(int i, int j) const;
  // Sum over j < n of S(i, j) v[offset + j]; v must hold offset + n values.
  double ComputeRVD(int i, const std::vector<double>& v, int offset) const;
  // Sum over j < n of S(i, j) v[j]; v must point at nv >= n values.
  double ComputeRVD(int i, const double* v, int nv) const;
  // Adds a S(i, first + t) for t = 0..count-1 to v[first + t] when atRowIndex, otherwise
  // to v[t]; the columns must lie in [0, n) and v must be long enough.
  bool IncrVecByRow(int i, std::vector<double>& v, int first, int count, double a,
                    bool atRowIndex) const;
  // out[outStart + t] = S(first + t, j) for t = 0..count-1; out is grown when shorter.
  bool GetPCol(int j, int first, int count, std::vector<double>& out, int outStart) const;
  // out = ST S = S S.
  void ComputeSTransS(MCSymMatrix& out) const;
  // out = L S2 LT with L the lower triangle (diagonal included) of this matrix; S2 must
  // have n rows.
  bool ComputeLSLTrans(const MCSymMatrix& S2, MCSymMatrix& out) const;
  // out = L v and out = LT v with L the lower triangle; v.size() must be n.
  bool ComputeLV(const std::vector<double>& v, std::vector<double>& out) const;
  bool ComputeLTransV(const std::vector<double>& v, std::vector<double>& out) const;
  // out = G M G with M this matrix and G a generalised inverse of it; g must have n rows.
  bool ComputeGMG(const MCSymMatrix& g, MCSymMatrix& out) const;
  // True when G M G reproduces G: every element within tol * max(1, max |G|) of G's.
  // False also when g does not have n rows.
  bool CheckGMG(const MCSymMatrix& g, double tol) const;
  // tr(S S2) and tr(S S2 S3); missing unless the other matrices have n rows.
  double TraceOfProduct(const MCSymMatrix& S2) const;
  double TraceOfProductOfThree(const MCSymMatrix& S2, const MCSymMatrix& S3) const;

  // --- Diagnostics -------------------------------------------------------------------

  // Same output as MCSymMatrixData::Display.
  void Display() const { MCSymMatrixData::Display(); }
  // The full rows, "row i: " and n values each.
  void DisplayF() const;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCSYMMATRIX_H_

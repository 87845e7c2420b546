#ifndef MCSTAT_MCSYMMATRIX_H_
#define MCSTAT_MCSYMMATRIX_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MCBitSet.h"
#include "mcstat_export.h"

namespace MCCommonMath {

class MCRectMatrix;

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

  // Factorisations, inverses and solvers.
  // A Cholesky factor L is kept in the packed array itself, L(i, j) at element (i, j). A
  // row whose pivot s fails s > refDiag[i] * tol is redundant: L(i, i) = 0 and the rest of
  // its column is 0; redundant rows are counted and later solved or inverted as zeros.
  // Determinants come as det[0] x 10^det[1] with 1 <= |det[0]| < 10, or both 0.

  // Factors in place; returns the number of redundant rows, or -1 (matrix unchanged) when
  // refDiag holds fewer than n values or, with check, tol < 0 or some refDiag[i] < 0.
  int LTChol(const std::vector<double>& refDiag, double tol, bool check);
  // As above; nonRed is sized to n (when smaller) or cleared, and bit i is set for every
  // accepted pivot.
  int LTChol(const std::vector<double>& refDiag, double tol, MCBitSet& nonRed, bool check);
  // As above with refDiag = the diagonal (entries below tol count as 1). minPivot becomes
  // the smallest L(i, i) when the result is >= 0, the missing value otherwise.
  int LTChol(double tol, double& minPivot, bool check);
  // The indices of the first accepted rows (at most maxCount; all when maxCount < 1 or
  // > n) of a factorisation of a copy with refDiag = the diagonal, increasing; returns
  // their number (0 when tol < 0). The matrix is not changed.
  int CholIndNonRed(int maxCount, double tol, std::vector<int>& idx) const;
  // This matrix becomes the rows and columns of the leading m rows of `packed` whose bit is
  // set in mask, and is factored with refDiag = its diagonal (entries below tol count as
  // 1); returns the number of redundant rows (0 when m = 0), -1 when m < 0, packed holds
  // fewer than m(m+1)/2 values or mask.Size() < m, -2 when storage fails.
  int CheckMDependent(int m, const std::vector<double>& packed, const MCBitSet& mask, double tol);
  // On a factor: job % 10 != 0 gives det = the determinant of L (0, 0 when a diagonal is
  // 0); job / 10 != 0 replaces L by L^-1, zero rows and columns for zero diagonals.
  // Returns the number of zero diagonals.
  int LTDetInverse(double det[2], int job);
  // On a factor L of A: becomes the (generalised) inverse L^-T L^-1 of A.
  void LTInverse();
  // On a factor L: becomes LT L, or L LT.
  void LTLTransL();
  void LTLLTrans();
  // Factors in place with refDiag = the diagonal and solves A x = b, x = 0 on redundant
  // rows; returns the number of redundant rows, or -1 (nothing done) when tol <= 0 or b
  // holds fewer than n values.
  int LTSolve(const std::vector<double>& b, double tol, std::vector<double>& x);
  // Solves L LT x = b with the factor in place; -1 when b holds fewer than n values, else 0.
  int LTSubstitute(const std::vector<double>& b, std::vector<double>& x) const;
  // out becomes the generalised inverse (zero rows and columns for redundant rows) of this
  // matrix; returns its rank, or -1 (out a copy of this matrix) when LTChol refuses.
  // The variants report the accepted rows, or the smallest pivot (missing on refusal).
  int CholInverse(const std::vector<double>& refDiag, double tol, MCSymMatrix& out) const;
  int CholInverse(const std::vector<double>& refDiag, double tol, MCSymMatrix& out,
                  MCBitSet& nonRed) const;
  int CholInverse(const std::vector<double>& refDiag, double tol, MCSymMatrix& out,
                  double& minPivot) const;
  // det = the determinant (0, 0 when a pivot is redundant under tol, the reference being the
  // diagonal with entries below tol counted as 1); false when n = 0 or tol < 0.
  bool ComputeDeterminant(double tol, double det[2]) const;
  // Solves A x = b for a possibly singular or indefinite A: rows found dependent (in A^2,
  // tolerance 2 tol) are dropped and get x = 0, the rest is solved by symmetric-indefinite
  // factorisation. False when n < 1, tol <= 0, b holds fewer than n values, no row is
  // independent or the factorisation is singular.
  bool SolveIndefinite(double tol, const std::vector<double>& b, std::vector<double>& x) const;
  // Solves on the rows in mask (those < min(mask.Size(), n)) and the rows past the mask,
  // leaving out rows that are zero over the mask columns; x = 0 elsewhere. False when
  // n < 1, b holds fewer than n values, no mask bit is set or the system is singular.
  bool SolveIndefinite(const MCBitSet& mask, const std::vector<double>& b,
                       std::vector<double>& x) const;
  // x solves A^2 x = A b by LTSolve; false when n < 1, tol <= 0, b holds fewer than n
  // values or every row of A^2 is redundant.
  bool SolveIndefiniteGI(double tol, const std::vector<double>& b, std::vector<double>& x) const;
  // When a factorisation (tolerance tol, reference the diagonal with entries below 1e-6
  // counted as 1) finds redundant rows: finds by growth and bisection (to tol) the smallest
  // ridge h that removes them, adds h + 0.01 M (M the largest diagonal then) to the
  // diagonal, reports that as shift and divides the matrix by shift + refDiag[0]. Returns
  // the number of factorisations tried (1: positive definite, unchanged, changed false),
  // -1 when n < 2, -2 when tol <= 0.
  int TransformToPositiveDefinite(double tol, bool& changed, double& shift);
  // The covariance of nBlocks blocks of p = scale.size() parameters, the first nLead of a
  // block intercepts, the others coefficients of covariates standardised as
  // (x - shift[i]) / scale[i], becomes T S TT for the map of MCMathFun::TransformParameters
  // with the same arguments. False (unchanged) unless n = p nBlocks, shift.size() = p,
  // nBlocks >= 1, nLead >= 0, not both nBlocks > 1 and nLead > 1, and no scale is 0.
  bool TransformParameterMatrix(const std::vector<double>& shift, const std::vector<double>& scale,
                                int nBlocks, int nLead, bool negate, bool invert);
  // One block with fixed parameters: every parameter not in fixed with scale[i] != 1, or
  // shift[i] != 0 when nLead > 0, has its scale inverted (and, when nLead > 0, its shift
  // set to 0 and shift[i] added to element (i, 0) afterwards); the others keep theirs.
  // False unless shift and scale hold n values, fixed.Size() >= n and no scale is 0.
  bool TransformParameterMatrix(const std::vector<double>& shift, const std::vector<double>& scale,
                                const MCBitSet& fixed, int nLead, bool negate, bool invert);

  // Operations with rectangular matrices.
  // Sizes that do not fit give false with the output untouched (the missing value for
  // ComputeVSV); an output may be an input. An index matrix R holds whole numbers: in
  // row 0 (and row 1 where stated) element i is the target index of row (column) i of S,
  // negative for a row that is dropped; targets must be below the output's size and
  // distinct within a row.

  // this += w [A B]T [A B] with A (m x p) and B (m x q) side by side, row by row;
  // false unless A and B have the same rows and n = p + q. B may have no columns.
  bool UpdateXXMat2(const MCRectMatrix& A, const MCRectMatrix& B, double w);
  // rT S r for column j of R; R must have n rows.
  double ComputeVSV(const MCRectMatrix& R, int j) const;
  // R(startRow + t, col) = S(i, t) for t < n; the column must fit inside R.
  bool CopyRowToRColumn(int i, MCRectMatrix& R, int col, int startRow) const;
  // out = R S (R has n columns) and out = S S2 (S2 has n rows), rectangular.
  bool ComputeRS(const MCRectMatrix& R, MCRectMatrix& out) const;
  bool ComputeSS(const MCSymMatrix& S2, MCRectMatrix& out) const;
  // out = R S RT (R has n columns) and out = RT S R (R has n rows).
  bool ComputeRSRTrans(const MCRectMatrix& R, MCSymMatrix& out) const;
  bool ComputeRTransSR(const MCRectMatrix& R, MCSymMatrix& out) const;
  // This matrix becomes R RT or RT R (one block); false when storage fails.
  bool ComputeRByRTrans(const MCRectMatrix& R);
  bool ComputeRTransByR(const MCRectMatrix& R);
  // out keeps its size m and becomes 0 except out(t_i, t_j) = S(i, j), t = row 0 of the
  // index matrix R (n columns).
  bool ExpandSym(const MCRectMatrix& R, MCSymMatrix& out) const;
  // The same into a rectangular out of its own shape: rows to the targets in row 0 of R,
  // columns to those in row 1 (row 0 again when R has one row).
  bool ExpandSymToRect(const MCRectMatrix& R, MCRectMatrix& out) const;
  // out(a, b) = S(rows[a], cols[b]): the hypothesis block of the listed rows and columns;
  // false when an index is outside [0, n).
  bool ExtractH(const std::vector<int>& rows, const std::vector<int>& cols,
                MCRectMatrix& out) const;

  // --- Diagnostics -------------------------------------------------------------------

  // Same output as MCSymMatrixData::Display.
  void Display() const { MCSymMatrixData::Display(); }
  // The full rows, "row i: " and n values each.
  void DisplayF() const;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCSYMMATRIX_H_

#ifndef MCSTAT_MCRECTMATRIX_H_
#define MCSTAT_MCRECTMATRIX_H_

#include <cstdint>
#include <vector>

#include "MCBitSet.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// A dense real matrix stored row by row: element (i, j) lives at i * nCols + j. Column j
// starts at element (0, j) and continues with stride nCols.
//
// This class is the storage with read-only access; MCRectMatrix adds writes, reshaping,
// products and the rank tools. Both are plain values without virtual operations.
// Reads outside the matrix give the system-missing value (or a null pointer).
class MCSTAT_EXPORT MCRectMatrixData {
 public:
  // 0 x 0.
  MCRectMatrixData() = default;
  // rows x cols zeros; negative counts become 0.
  MCRectMatrixData(int rows, int cols);
  MCRectMatrixData(const MCRectMatrixData& other) = default;
  MCRectMatrixData& operator=(const MCRectMatrixData& other) = default;
  // A moved-from matrix is left 0 x 0.
  MCRectMatrixData(MCRectMatrixData&& other) noexcept;
  MCRectMatrixData& operator=(MCRectMatrixData&& other) noexcept;
  ~MCRectMatrixData() = default;

  int GetNRows() const { return fNRows; }
  int GetNCols() const { return fNCols; }
  // The row-major array, rows * cols values.
  const std::vector<double>& AsVectorConst() const { return fvElements; }

  // Element (i, j); the system-missing value when i or j is out of range.
  double GetElem(int i, int j) const;
  // First element of row i (the row is contiguous); null when i is out of range.
  const double* GetRowPtr(int i) const;
  // Element (0, j); the column continues with stride GetNCols(). Null when j is out of
  // range (so always null for a matrix without rows).
  const double* GetColPtr(int j) const;
  // v becomes row i (cols values) or column j (rows values); false when out of range.
  bool GetRow(int i, std::vector<double>& v) const;
  bool GetCol(int j, std::vector<double>& v) const;

  // Writes the counts and the elements to the diagnostic stream.
  void Display() const;

 protected:
  bool IsRow(int i) const { return i >= 0 && i < fNRows; }
  bool IsCol(int j) const { return j >= 0 && j < fNCols; }
  // Unchecked element access.
  double At(int i, int j) const { return fvElements[Pos(i, j)]; }
  double& Ref(int i, int j) { return fvElements[Pos(i, j)]; }
  std::size_t Pos(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(fNCols) +
           static_cast<std::size_t>(j);
  }

  int32_t fNRows = 0;
  int32_t fNCols = 0;
  std::vector<double> fvElements;
};

// The rectangular matrix with writes, copies, products and rank tools.
//
// Index conventions (all indices 0-based):
// - A range given as "from, to" is inclusive at both ends and must satisfy
//   0 <= from <= to < limit; a range given as "first, count" covers first .. first+count-1
//   and count 0 is allowed (nothing is done, true).
// - The copying operations take the source matrix first, then the source index, then the
//   destination index in this matrix; the source may be this matrix itself. On any index or
//   size mismatch they return false and change nothing.
// - Cross-matrix dot products pair an index of this matrix with an index of the other one:
//   DotProductColCol(j, X, k) = column j here . column k of X, and so on.
// - Products write their output only on success; the output may be an input.
// - Bit sets index columns (or rows); a set bit means the column is in the set
//   (non-redundant, kept, marked).
class MCSTAT_EXPORT MCRectMatrix : public MCRectMatrixData {
 public:
  MCRectMatrix() = default;
  MCRectMatrix(int rows, int cols) : MCRectMatrixData(rows, cols) {}
  MCRectMatrix(const MCRectMatrix& other) = default;
  MCRectMatrix& operator=(const MCRectMatrix& other) = default;
  MCRectMatrix(MCRectMatrix&& other) noexcept = default;
  MCRectMatrix& operator=(MCRectMatrix&& other) noexcept = default;
  ~MCRectMatrix() = default;

  using MCRectMatrixData::GetColPtr;
  using MCRectMatrixData::GetRowPtr;
  // Writable forms of the row and column pointers.
  double* GetRowPtr(int i);
  double* GetColPtr(int j);
  // The row-major array, writable (its length must stay rows * cols).
  std::vector<double>& AsVector() { return fvElements; }

  // --- Shape ---------------------------------------------------------------------------

  // r x c (negative counts become 0); the array keeps its leading elements, which are not
  // re-laid out, so the old rows only survive when c is unchanged. New elements are 0. True.
  bool Resize(int r, int c);
  // As Resize, then every element 0. True.
  bool SetNRowsCols(int r, int c);
  // Appends a row of zeros; returns the new row count.
  int AddRow();
  // Appends a column of zeros at the right, keeping every element at its (i, j); returns
  // the new column count.
  int AddColumn();
  // Every element 0.
  void Clear();
  // Replaces the matrix by its transpose.
  void Transpose();
  // Element (i, j) = v; false when out of range.
  bool SetElem(int i, int j, double v);

  // --- Copies between matrices -------------------------------------------------------

  // Row dstRow here = row srcRow of src; the column counts must agree.
  bool CopyRowToRow(const MCRectMatrix& src, int srcRow, int dstRow);
  // Column dstCol here = column srcCol of src; the row counts must agree.
  bool CopyColToCol(const MCRectMatrix& src, int srcCol, int dstCol);
  // Row dstRow here = column srcCol of src; src.rows must equal this matrix's columns.
  bool CopyColToRow(const MCRectMatrix& src, int srcCol, int dstRow);
  // v[start + i] = a(i, j) for every row i; v grows (with zeros) when shorter. False when
  // j is out of range or start < 0.
  bool CopyColToVec(int j, std::vector<double>& v, int start) const;
  // Rows dstFirst.. here = rows srcFirst.. of src, count of them; the column counts must
  // agree and both ranges must lie inside their matrices.
  bool CopyRows(const MCRectMatrix& src, int srcFirst, int count, int dstFirst);
  // Columns dstFirst.. here = columns srcFirst.. of src; the row counts must agree.
  bool CopyColumns(const MCRectMatrix& src, int srcFirst, int count, int dstFirst);
  // Rows first..rows-1 move by `by` positions (down for by > 0, up for by < 0); rows
  // moved past either end are lost, vacated rows become 0, and the shape is kept. False
  // unless 0 <= first <= rows; rows before first are moved over only when by < 0.
  bool ShiftRows(int first, int by);
  // The same for columns.
  bool ShiftColumns(int first, int by);
  // out becomes idx.size() x cols with row k = row idx[k] here (repeats allowed). False
  // with out unchanged when an index is out of range.
  bool ExtractRows(const std::vector<int>& idx, MCRectMatrix& out) const;
  // out becomes rows x idx.size() with column k = column idx[k] here.
  bool ExtractColumns(const std::vector<int>& idx, MCRectMatrix& out) const;
  // The inverse of extracting the rows (byRows) or columns of a mask: out gets mask.Size()
  // rows (columns) of zeros, and the k-th row (column) here goes to the row (column) of the
  // k-th set bit. False unless the number of set bits equals the rows (columns) here.
  bool Expand(const MCBitSet& mask, bool byRows, MCRectMatrix& out) const;
  // Both at once for a square matrix: out is mask.Size() x mask.Size() and element (k, l)
  // goes to (k-th set bit, l-th set bit). False unless the matrix is square with as many
  // rows as set bits.
  bool ExpandSquare(const MCBitSet& mask, MCRectMatrix& out) const;
  // out becomes the block-diagonal matrix of nBlocks copies of this one
  // (nBlocks rows x nBlocks cols), zero off the blocks. False when nBlocks < 1.
  bool CreateBlockDiagonal(int nBlocks, MCRectMatrix& out) const;

  // --- Element operations ------------------------------------------------------------

  // Column j becomes 0; false when out of range.
  bool ZeroOutCol(int j);
  // Elements (i, from..to) become 0; false unless i is a row and 0 <= from <= to < cols.
  bool ZeroOutRowPart(int i, int from, int to);
  // Column j times c; false when out of range.
  bool ColScale(int j, double c);
  // Column j += c * column k of X; false unless j is a column here, k a column of X and
  // the row counts agree. X may be this matrix.
  bool AddToColumn(int j, const MCRectMatrix& X, int k, double c);
  // Exact zero tests; false when the index is out of range.
  bool IsRowZero(int i) const;
  bool IsColZero(int j) const;
  // True when exactly one element (i, j) with j in mask (j < min(cols, mask.Size())) is
  // non-zero; col is then that column, otherwise -1. False for an invalid row.
  bool IsRowZeroButOne(int i, const MCBitSet& mask, int& col) const;
  // First column j with |a(i, j)| > tol; -1 when there is none, tol <= 0 or i is not a row.
  int FindFirstNonZeroInRow(int i, double tol) const;

  // --- Products and norms ------------------------------------------------------------
  // Dot products and norms give the system-missing value when an index is out of range
  // or the lengths differ.

  double RowNorm(int i) const;
  double ColNorm(int j) const;
  // Columns j and k (rows i and k) of this matrix.
  double DotProductCol(int j, int k) const;
  double DotProductRows(int i, int k) const;
  // Column j here . column k of X (equal row counts).
  double DotProductColCol(int j, const MCRectMatrix& X, int k) const;
  // Row i here . column k of X (cols here = X's rows).
  double DotProductRowCol(int i, const MCRectMatrix& X, int k) const;
  // Row i here . row k of X (equal column counts).
  double DotProductRowRow(int i, const MCRectMatrix& X, int k) const;
  // out = R v (v holds cols values) and out = vT R (v holds rows values); false otherwise.
  bool ComputeRV(const std::vector<double>& v, std::vector<double>& out) const;
  bool ComputeVR(const std::vector<double>& v, std::vector<double>& out) const;
  // out = R B (B.rows = cols) and out = R BT (B.cols = cols); false otherwise.
  bool ComputeMatrixProduct(const MCRectMatrix& B, MCRectMatrix& out) const;
  bool ComputeProductMatrixTrans(const MCRectMatrix& B, MCRectMatrix& out) const;
  // Adds c * a(from + t, j) for the rows from..to (inclusive) to v[from + t] when
  // atRowIndex, otherwise to v[t]. False when j or the rows are out of range or v is too
  // short.
  bool IncrVecByColumn(int j, std::vector<double>& v, int from, int to, double c,
                       bool atRowIndex) const;

  // --- Rank and estimability ---------------------------------------------------------

  // With S = RT R (or R RT when byRows) and the diagonal of S as reference, factors S with
  // the tolerance tol^2 (S holds squared lengths); nonRed marks the independent columns
  // (rows). Returns the number of redundant columns (rows), -1 when tol < 0.
  int FindRedundancies(double tol, MCBitSet& nonRed, bool byRows) const;
  // The indices of the independent columns (rows) in increasing order; returns their
  // number, -1 when tol < 0.
  int FindNonRedunIndices(double tol, std::vector<int>& idx, bool byRows) const;
  // out = the independent columns (rows), idx their indices; returns the count, -1 when
  // tol < 0.
  int ExtractFullRank(double tol, MCRectMatrix& out, std::vector<int>& idx, bool byRows) const;
  // This matrix Y (n x q) becomes the residuals of its columns after projection on the
  // columns of X (n x p). nonRedX (sized p) marks the columns of X used in the projection,
  // nonZero (sized q) the columns whose residual sum of squares exceeds tol times their
  // original sum of squares. False, nothing changed, unless n > 0, p > 0, q > 0, tol > 0.
  bool ResidOfOrthProjection(const MCRectMatrix& X, double tol, MCBitSet& nonRedX,
                             MCBitSet& nonZero);
  // A solution of R x = b: a square matrix is first solved directly (result 0); otherwise,
  // or when that fails, the least-squares solution through a generalised inverse of RT R
  // with redundant components 0, returning the number of redundant columns. -1 unless
  // rows > 0, cols > 0, tol > 0 and b holds rows values.
  int EstimateLinearGI(const std::vector<double>& b, std::vector<double>& x, double tol) const;
  // Solves R x = b for a square matrix by LU factorisation; false unless the matrix is
  // square with at least one row, tol > 0, b holds rows values and the reciprocal condition
  // estimate exceeds tol.
  bool SolveLinearSquare(const std::vector<double>& b, std::vector<double>& x, double tol) const;
  // True when every row l of this contrast matrix (rows x p) is estimable: with
  // (Hl)_i = sum over masked j of H(i, j) l_j, sum over i of ((Hl)_i - l_i)^2 / |l|^2 must
  // not exceed tol^2 (zero rows pass). H is read row by row, so for H = G XT X pass the
  // transpose, or a symmetric projection. False unless the matrix is non-empty, tol > 0,
  // H is p x p and mask.Size() >= p.
  bool IsEstimable(const MCRectMatrix& H, const MCBitSet& mask, double tol) const;
  // Whether (row i, ei) = ratio * (row j, ej) to double precision; ratio is set only when
  // true. False for invalid rows, no columns, or a zero extended row.
  bool IsERowMultipleOfAnother(int i, int j, double ei, double ej, double& ratio) const;
  // pivot = first non-negligible column of row i; every other column j gets
  // a(i, j) * column pivot added, then the pivot column becomes 0. False (pivot -1)
  // unless i is a row, tol > 0 and row i has a non-negligible element.
  bool ZeroOutPivotRow(int i, double tol, int& pivot);
  // Snaps elements within tol of +-1 to +-1 and, judged on the old values, those within
  // 2 tol of +-0.5 to +-0.5. Nothing when tol <= 0.
  void CheckForOnes(double tol);
  // Zeroes column j when its norm is negligible at 10000 tol (in units of the double
  // epsilon), otherwise the elements negligible relative to the norm. False when j is not
  // a column.
  bool ColClean(int j, double tol);
  // out (sized cols) = the columns of `in` that are not the single non-zero in `in` of any
  // row; returns how many of those hold a non-zero element (all of them when there are no
  // rows).
  int CheckAddColRedundancies(const MCBitSet& in, MCBitSet& out) const;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCRECTMATRIX_H_

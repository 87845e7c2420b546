#ifndef MCSTAT_MCSYMBLOCKMATRIX_H_
#define MCSTAT_MCSYMBLOCKMATRIX_H_

#include <vector>

#include "MCSymMatrix.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// A symmetric matrix of nb x nb blocks, each a symmetric bs x bs MCSymMatrix (off-diagonal
// blocks included), stored as the lower triangle of blocks: block (i, j), i >= j, is entry
// i(i+1)/2 + j, and block (i, j) with i < j is block (j, i). Both counts are -1 after an
// allocation failure.
class MCSTAT_EXPORT MCSymBlockMatrix {
 public:
  MCSymBlockMatrix() = default;
  // SetNRows(nb, bs).
  MCSymBlockMatrix(int nb, int bs);
  MCSymBlockMatrix(const MCSymBlockMatrix& other) = default;
  MCSymBlockMatrix& operator=(const MCSymBlockMatrix& other) = default;
  ~MCSymBlockMatrix() = default;

  // nb(nb+1)/2 zero blocks of bs rows (negative counts become 0); when storage fails both
  // counts become -1 and no block is kept. Returns whether both counts are >= 0.
  bool SetNRows(int nb, int bs);
  bool IsValidStruct() const { return fNRowsSS >= 0 && fBlockSize >= 0; }
  int GetNBlockRows() const { return fNRowsSS; }
  int GetBlockSize() const { return fBlockSize; }
  // Block (iRowSS, iColSS) or (iColSS, iRowSS). Callers keep 0 <= i, j < nb; a violation
  // is reported as a failed assertion ("iRowSS >= 0", "iRowSS < fNRowsSS", "iColSS >= 0",
  // "iColSS < fNRowsSS") on the standard error stream; a debug build then aborts, a
  // release build returns an empty scratch matrix instead of touching foreign memory.
  MCSymMatrix& GetElemSSRef(int iRowSS, int iColSS);
  // Every block zeroed.
  void Clear();
  // out becomes the full (nb bs)-row symmetric matrix (nb blocks of bs): element
  // (bi bs + r, bj bs + c) = block (bi, bj) element (r, c). Returns nb bs, or -1 with out
  // emptied when the structure is invalid or out cannot be sized.
  int CopyToSymMatrix(MCSymMatrix& out) const;
  // Writes the counts and the blocks to the diagnostic stream.
  void Display() const;

 private:
  int fNRowsSS = 0;
  int fBlockSize = 0;
  std::vector<MCSymMatrix> fvBlocks;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCSYMBLOCKMATRIX_H_

#include "MCSymBlockMatrix.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "MCComponentDisplay.h"

namespace MCCommonMath {

namespace {

// Reports a broken precondition the way a failed assertion does. Debug builds stop there;
// release builds go on, and the caller must not touch the storage.
bool CheckPrecondition(bool ok, const char* text) {
  if (ok) return true;
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", text, __FILE__, __LINE__);
  std::fflush(stderr);
#ifndef NDEBUG
  std::abort();
#else
  return false;
#endif
}

}  // namespace

MCSymBlockMatrix::MCSymBlockMatrix(int nb, int bs) { SetNRows(nb, bs); }

bool MCSymBlockMatrix::SetNRows(int nb, int bs) {
  nb = nb < 0 ? 0 : nb;
  bs = bs < 0 ? 0 : bs;
  const int64_t nBlocks = static_cast<int64_t>(nb) * (static_cast<int64_t>(nb) + 1) / 2;
  bool ok = static_cast<int64_t>(nb) * bs <= INT32_MAX;
  try {
    std::vector<MCSymMatrix> blocks;
    if (ok) blocks.reserve(static_cast<std::size_t>(nBlocks));
    for (int64_t k = 0; ok && k < nBlocks; ++k) {
      blocks.emplace_back(bs);
      ok = blocks.back().IsValidMatrix();
    }
    if (ok) fvBlocks.swap(blocks);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) {
    fNRowsSS = fBlockSize = -1;
    fvBlocks.clear();
    return false;
  }
  fNRowsSS = nb;
  fBlockSize = bs;
  return true;
}

MCSymMatrix& MCSymBlockMatrix::GetElemSSRef(int iRowSS, int iColSS) {
  bool ok = CheckPrecondition(iRowSS >= 0, "iRowSS >= 0");
  ok = ok && CheckPrecondition(iRowSS < fNRowsSS, "iRowSS < fNRowsSS");
  ok = ok && CheckPrecondition(iColSS >= 0, "iColSS >= 0");
  ok = ok && CheckPrecondition(iColSS < fNRowsSS, "iColSS < fNRowsSS");
  if (!ok) {
    // Scratch for a caller that broke the precondition; emptied on every use.
    static MCSymMatrix scratch;
    scratch.SetNRows(0);
    return scratch;
  }
  const int i = iRowSS >= iColSS ? iRowSS : iColSS;
  const int j = iRowSS >= iColSS ? iColSS : iRowSS;
  return fvBlocks[static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2 +
                  static_cast<std::size_t>(j)];
}

void MCSymBlockMatrix::Clear() {
  for (MCSymMatrix& b : fvBlocks) b.Clear();
}

int MCSymBlockMatrix::CopyToSymMatrix(MCSymMatrix& out) const {
  if (!IsValidStruct()) {
    out.SetNRows(0);
    return -1;
  }
  const int nb = fNRowsSS, bs = fBlockSize;
  const int n = nb * bs;
  if (!out.SetNRows(n)) {
    out.SetNRows(0);
    return -1;
  }
  if (nb >= 1 && bs >= 1) out.SetNBlocks(nb);
  std::vector<double>& a = out.AsVector();
  std::size_t k = 0;
  for (int bi = 0; bi < nb; ++bi) {
    for (int bj = 0; bj <= bi; ++bj, ++k) {
      const std::vector<double>& blk = fvBlocks[k].AsVectorConst();
      for (int r = 0; r < bs; ++r) {
        const int row = bi * bs + r;
        const std::size_t rowStart = static_cast<std::size_t>(row) * (row + 1) / 2;
        const int cEnd = bi == bj ? r : bs - 1;
        for (int c = 0; c <= cEnd; ++c) {
          const std::size_t bp = r >= c ? static_cast<std::size_t>(r) * (r + 1) / 2 + c
                                        : static_cast<std::size_t>(c) * (c + 1) / 2 + r;
          a[rowStart + static_cast<std::size_t>(bj) * bs + c] = blk[bp];
        }
      }
    }
  }
  return n;
}

void MCSymBlockMatrix::Display() const {
  using MCCommon::MCComponentDisplay;
  MCComponentDisplay::DisplayText(1, "MCSymBlockMatrix display start");
  MCComponentDisplay::DisplayI("The number of block rows", fNRowsSS);
  MCComponentDisplay::DisplayI("The block size", fBlockSize);
  for (const MCSymMatrix& b : fvBlocks) b.Display();
  MCComponentDisplay::DisplayText(1, "MCSymBlockMatrix display end");
}

}  // namespace MCCommonMath

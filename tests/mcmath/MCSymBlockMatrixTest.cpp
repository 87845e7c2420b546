#include <gtest/gtest.h>

#include "MCSymBlockMatrix.h"
#include "MCSymMatrix.h"

using MCCommonMath::MCSymBlockMatrix;
using MCCommonMath::MCSymMatrix;

namespace {

// A symmetric value for inner (r, c) of block (bi, bj), bi >= bj.
double Value(int bi, int bj, int r, int c) { return 100.0 * bi + 10.0 * bj + r + c + r * c; }

void Fill(MCSymBlockMatrix& m) {
  const int nb = m.GetNBlockRows(), bs = m.GetBlockSize();
  for (int bi = 0; bi < nb; ++bi)
    for (int bj = 0; bj <= bi; ++bj)
      for (int r = 0; r < bs; ++r)
        for (int c = 0; c <= r; ++c) m.GetElemSSRef(bi, bj).SetElem(r, c, Value(bi, bj, r, c));
}

TEST(SymBlockMatrix, ShapeAndIndexRule) {
  MCSymBlockMatrix m(3, 2);
  EXPECT_EQ(&m.GetElemSSRef(2, 0), &m.GetElemSSRef(0, 2));
  MCSymBlockMatrix e(-2, 3);
  EXPECT_EQ(e.GetNBlockRows(), 0);
  MCSymMatrix out(4);
  EXPECT_EQ(e.CopyToSymMatrix(out), 0);
  EXPECT_EQ(out.GetNRows(), 0);
}

class BlockCopy : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(BlockCopy, FullMatrixHoldsEveryBlock) {
  const int nb = GetParam().first, bs = GetParam().second;
  MCSymBlockMatrix m(nb, bs);
  Fill(m);
  MCSymMatrix out;
  ASSERT_EQ(m.CopyToSymMatrix(out), nb * bs);
  ASSERT_EQ(out.GetNRows(), nb * bs);
  for (int i = 0; i < nb * bs; ++i) {
    for (int j = 0; j < nb * bs; ++j) {
      const int bi = i / bs, bj = j / bs, r = i % bs, c = j % bs;
      const double want = bi >= bj ? Value(bi, bj, r, c) : Value(bj, bi, c, r);
      EXPECT_EQ(out.GetElem(i, j), want) << i << "," << j;
    }
  }
  m.Clear();
  m.CopyToSymMatrix(out);
  EXPECT_EQ(out.Trace(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, BlockCopy,
                         ::testing::Values(std::make_pair(3, 2), std::make_pair(1, 4),
                                           std::make_pair(4, 1), std::make_pair(2, 3)));

}  // namespace

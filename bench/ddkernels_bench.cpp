// The double-double kernels beside the double kernels they replace, case by case: the linear
// model's sparse cross-product row (290 parameters, 14 non-zero values: 105 products), the
// logistic information matrix row (6 blocks of 20 parameters, 8 non-zero values), the sweep of
// every pivot of a 290-row matrix and the Cholesky factor of a 57-row one. The ratio of each
// DoubleDouble line to its Double line is the cost of exact sums.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "../src/mcmath/MCDDKernels.h"
#include "MCBitSet.h"
#include "MCSymMatrix.h"

namespace {

namespace dd = MCCommonMath::ddkernels;
using MCCommonMath::MCBitSet;
using MCCommonMath::MCSymMatrix;

// Sparse rows like the linear benchmark's: one column per effect among n, ascending.
struct SparseRows {
  SparseRows(int n, int perRow, int count) {
    std::mt19937_64 g(7);
    std::normal_distribution<double> normal;
    for (int r = 0; r < count; ++r) {
      std::vector<int> cols;
      const int stride = n / perRow;
      for (int e = 0; e < perRow; ++e) cols.push_back(e * stride + static_cast<int>(g() % stride));
      idx.push_back(cols);
      val.emplace_back();
      for (int e = 0; e < perRow; ++e) val.back().push_back(e < perRow / 2 ? 1.0 : normal(g));
    }
  }
  std::vector<std::vector<int>> idx;
  std::vector<std::vector<double>> val;
};

constexpr int kRows = 4096;

void BM_CrossProductRow_Double(benchmark::State& state) {
  const SparseRows rows(290, 14, kRows);
  MCSymMatrix m(290);
  std::size_t r = 0;
  for (auto _ : state) {
    m.UpdateXXSparse(14, rows.idx[r], rows.val[r], 1.0);
    r = (r + 1) % kRows;
  }
  benchmark::DoNotOptimize(m.AsVector().data());
  state.SetItemsProcessed(state.iterations() * 105);
}
BENCHMARK(BM_CrossProductRow_Double);

void BM_CrossProductRow_DoubleDouble(benchmark::State& state) {
  const SparseRows rows(290, 14, kRows);
  dd::DDSums sums(dd::PackedRowStart(290));
  std::size_t r = 0;
  for (auto _ : state) {
    dd::AddOuterSparse(14, rows.idx[r].data(), rows.val[r].data(), 1.0, sums.Data());
    r = (r + 1) % kRows;
  }
  benchmark::DoNotOptimize(sums.Data());
  state.SetItemsProcessed(state.iterations() * 105);
}
BENCHMARK(BM_CrossProductRow_DoubleDouble);

// Six blocks (four response categories) updated block by block in double.
void BM_InformationRow_Double(benchmark::State& state) {
  const SparseRows rows(20, 8, kRows);
  std::vector<MCSymMatrix> blocks(6, MCSymMatrix(20));
  std::size_t r = 0;
  for (auto _ : state) {
    for (int t = 0; t < 6; ++t)
      blocks[t].UpdateXXSparse(8, rows.idx[r], rows.val[r], 0.1 + 0.01 * t);
    r = (r + 1) % kRows;
  }
  benchmark::DoNotOptimize(blocks[0].AsVector().data());
  state.SetItemsProcessed(state.iterations() * 6 * 36);
}
BENCHMARK(BM_InformationRow_Double);

void InformationRow(benchmark::State& state, int path) {
  const SparseRows rows(20, 8, kRows);
  std::vector<double> sums(dd::PackedRowStart(20) * 12);
  std::vector<dd::DD> coef(6);
  for (int t = 0; t < 6; ++t) coef[t] = dd::TwoProd(3.0, 0.1 + 0.01 * t);
  std::size_t r = 0;
  for (auto _ : state) {
    if (!dd::AddOuterSparseBlocksOn(path, 8, rows.idx[r].data(), rows.val[r].data(), 6, coef.data(),
                                    sums.data())) {
      state.SkipWithError("the processor lacks this path");
      return;
    }
    r = (r + 1) % kRows;
  }
  benchmark::DoNotOptimize(sums.data());
  state.SetItemsProcessed(state.iterations() * 6 * 36);
}
// The portable path and AVX with FMA (the library takes the second where the processor has it).
void BM_InformationRow_DoubleDouble(benchmark::State& state) {
  InformationRow(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_InformationRow_DoubleDouble)->Arg(0)->Arg(1);

// A positive definite matrix of order n from 2n random rows.
MCSymMatrix RandomMatrix(int n) {
  std::mt19937_64 g(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  MCSymMatrix m(n);
  std::vector<double> x(n);
  for (int r = 0; r < 2 * n; ++r) {
    for (double& v : x) v = u(g);
    m.UpdateXX(x, 1.0);
  }
  return m;
}

std::vector<dd::DD> ToDD(const MCSymMatrix& m) {
  std::vector<dd::DD> out;
  for (double v : m.AsVectorConst()) out.push_back({v, 0.0});
  return out;
}

void BM_SweepAll_Double(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const MCSymMatrix base = RandomMatrix(n);
  std::vector<double> ref;
  base.GetDiagonal(ref);
  for (auto _ : state) {
    MCSymMatrix m = base;
    MCBitSet swept(n);
    for (int k = 0; k < n; ++k) m.Sweep(k, 1e-12, ref, swept, false);
    benchmark::DoNotOptimize(m.AsVector().data());
  }
}
BENCHMARK(BM_SweepAll_Double)->Arg(290)->Unit(benchmark::kMillisecond);

void BM_SweepAll_DoubleDouble(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<dd::DD> base = ToDD(RandomMatrix(n));
  std::vector<dd::DD> ref(n);
  for (int i = 0; i < n; ++i) ref[i] = base[dd::PackedRowStart(i) + i];
  for (auto _ : state) {
    std::vector<dd::DD> m = base;
    std::vector<unsigned char> swept(n, 0);
    for (int k = 0; k < n; ++k) dd::SweepPivot(n, m.data(), k, 1e-12, ref.data(), swept.data());
    benchmark::DoNotOptimize(m.data());
  }
}
BENCHMARK(BM_SweepAll_DoubleDouble)->Arg(290)->Unit(benchmark::kMillisecond);

void BM_Cholesky_Double(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const MCSymMatrix base = RandomMatrix(n);
  for (auto _ : state) {
    MCSymMatrix m = base;
    double minPivot = 0.0;
    benchmark::DoNotOptimize(m.LTChol(1e-12, minPivot, false));
  }
}
BENCHMARK(BM_Cholesky_Double)->Arg(57);

void BM_Cholesky_DoubleDouble(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<dd::DD> base = ToDD(RandomMatrix(n));
  for (auto _ : state) {
    std::vector<dd::DD> m = base;
    for (int i = 0; i < n; ++i) {
      const dd::DD ref = m[dd::PackedRowStart(i) + i];
      dd::CholeskyRow(m.data(), i, ref, 1e-12);
    }
    benchmark::DoNotOptimize(m.data());
  }
}
BENCHMARK(BM_Cholesky_DoubleDouble)->Arg(57);

}  // namespace

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "MCBitSet.h"
#include "MCSymMatrix.h"

using MCCommonMath::MCBitSet;
using MCCommonMath::MCSymMatrix;

namespace {

std::vector<double> RandomRow(std::mt19937_64& g, int n) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = u(g);
  return x;
}

// Dense rank-one accumulation, the linear model's inner loop.
void BM_UpdateXX(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::mt19937_64 g(1);
  const std::vector<double> x = RandomRow(g, n);
  MCSymMatrix m(n);
  for (auto _ : state) {
    m.UpdateXX(x, 1.5);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n * (n + 1) / 2);
}
BENCHMARK(BM_UpdateXX)->Arg(10)->Arg(100)->Arg(300);

// Sparse accumulation: a design row with one in ten entries set.
void BM_UpdateXXSparse(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::mt19937_64 g(2);
  std::vector<int> idx;
  std::vector<double> val;
  for (int i = 0; i < n; i += 10) {
    idx.push_back(i);
    val.push_back(RandomRow(g, 1)[0]);
  }
  MCSymMatrix m(n);
  for (auto _ : state) {
    m.UpdateXXSparse(static_cast<int>(idx.size()), idx, val, 1.5);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UpdateXXSparse)->Arg(100)->Arg(300)->Arg(1000);

// Sweeping every pivot of a 300-row positive definite matrix.
void BM_SweepAll(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::mt19937_64 g(3);
  MCSymMatrix base(n);
  for (int r = 0; r < 2 * n; ++r) base.UpdateXX(RandomRow(g, n), 1.0);
  std::vector<double> ref;
  base.GetDiagonal(ref);
  for (auto _ : state) {
    state.PauseTiming();
    MCSymMatrix m = base;
    MCBitSet swept(n);
    state.ResumeTiming();
    for (int k = 0; k < n; ++k) m.Sweep(k, 1e-12, ref, swept, false);
    benchmark::DoNotOptimize(m.AsVector().data());
  }
}
BENCHMARK(BM_SweepAll)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace

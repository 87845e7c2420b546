// The linear model on a large record file: 1,000,000 generated records of a dependent, factors
// A, B, C (10, 20 and 50 levels) and covariates x1..x8, with effects A, B, C, x1..x8 and A*B
// and the intercept (289 parameters), read from a binary record file by three passes.
//
//   linear_fit_bench --generate FILE [N]   writes N records (default 1,000,000) to FILE
//   linear_fit_bench --fit FILE            fits the model once and prints time and fit
//   linear_fit_bench [benchmark flags]     the Google Benchmark runs (data in a temporary file)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "MCGLMComponent.h"
#include "MCModelEffect.h"
#include "MCRecord.h"
#include "MCRegFactory.h"
#include "MCRegSettings.h"

namespace {

// Record layout: y, A, B, C, x1..x8.
constexpr int kNValues = 12;
constexpr int kLevels[3] = {10, 20, 50};
constexpr int kDefaultRecords = 1000000;

// Reproducible data: factor levels uniform, covariates standard normal (Box-Muller on the
// generator's 53-bit uniforms, so the numbers do not depend on the standard library), and
// y linear in all of them plus an A*B term and noise.
bool Generate(const char* path, long n) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  std::mt19937_64 gen(20261205u);
  auto uniform = [&gen]() { return (static_cast<double>(gen() >> 11) + 0.5) * 0x1.0p-53; };
  auto normal = [&uniform]() {
    const double r = std::sqrt(-2.0 * std::log(uniform()));
    return r * std::cos(6.283185307179586 * uniform());
  };
  const double beta[8] = {0.8, -0.5, 0.3, 1.2, -0.7, 0.05, 0.4, -1.1};
  std::vector<double> record(kNValues);
  for (long i = 0; i < n; ++i) {
    const int a = static_cast<int>(gen() % kLevels[0]);
    const int b = static_cast<int>(gen() % kLevels[1]);
    const int c = static_cast<int>(gen() % kLevels[2]);
    double y = 1.0 + 0.1 * a - 0.05 * b + 0.02 * c + 0.01 * a * b;
    for (int k = 0; k < 8; ++k) {
      record[4 + k] = normal();
      y += beta[k] * record[4 + k];
    }
    record[0] = y + normal();
    record[1] = a;
    record[2] = b;
    record[3] = c;
    if (std::fwrite(record.data(), sizeof(double), kNValues, out) != kNValues) {
      std::fclose(out);
      return false;
    }
  }
  return std::fclose(out) == 0;
}

// The settings of the benchmark model; indices must outlive them.
MCRegSettings MakeSettings(std::vector<int>& indices) {
  MCRegSettings settings;
  settings.SetDependent(0);
  for (int f = 0; f < 3; ++f) settings.AddFactor(1 + f, kLevels[f]);
  for (int k = 0; k < 8; ++k) settings.AddCovariate(4 + k);
  indices = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  for (int f = 0; f < 3; ++f) {
    MCModelEffect e(3, 8, &indices);
    e.AddNewFactor(1 + f, false);
    settings.AddModelEffect(e);
  }
  for (int k = 0; k < 8; ++k) {
    MCModelEffect e(3, 8, &indices);
    e.AddCovariate(4 + k);
    settings.AddModelEffect(e);
  }
  MCModelEffect ab(3, 8, &indices);
  ab.AddNewFactor(1, false);
  ab.AddNewFactor(2, false);
  settings.AddModelEffect(ab);
  return settings;
}

struct FitResult {
  bool ok = false;
  long code = 0;
  int nParameters = 0;
  int rank = 0;
  double rSquare = 0.0;
  double rmse = 0.0;
  double intercept = 0.0;
};

FitResult Fit(const char* path) {
  FitResult result;
  FILE* file = bench::OpenRecords(path);
  if (file == nullptr) return result;
  {
    MCCommon::BinaryRecordIterator data(file, kNValues);
    std::vector<int> indices;
    MCRegSettings settings = MakeSettings(indices);
    MCRegFactory factory;
    std::unique_ptr<IMCRegComponent> component(factory.CreateRegAlgorithm(settings));
    if (component) {
      const MCCommon::MCStatus status = component->BuildModel(data);
      result.code = status.GetErrorCode();
      IMCRegOutputStats* stats = nullptr;
      if (!status.IsError() && !component->GetOutputStats(stats).IsError()) {
        result.ok = true;
        result.nParameters = static_cast<int>(stats->GetParamEstimates().size());
        result.rank = stats->GetRedundancyIndicators().InSet();
        result.rSquare = stats->GetModelFitStat(MCConst::kRSquare);
        result.rmse = stats->GetModelFitStat(MCConst::kRMSE);
        result.intercept = stats->GetParamEstimates()[0];
      }
    }
  }
  std::fclose(file);
  return result;
}

void BM_LinearFit(benchmark::State& state) {
  bench::RunFits(state, "linear_fit_bench", Generate, Fit, 289);
}
BENCHMARK(BM_LinearFit)->Arg(100000)->Arg(kDefaultRecords)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return bench::Main(argc, argv, kDefaultRecords, Generate, Fit, [](const FitResult& r) {
    std::printf(
        "parameters %d\nrank %d\nr_squared %.15g\nrmse %.15g\n"
        "intercept %.15g\n",
        r.nParameters, r.rank, r.rSquare, r.rmse, r.intercept);
  });
}

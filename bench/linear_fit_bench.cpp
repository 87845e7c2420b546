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
#include "LinearBenchModel.h"
#include "MCGLMComponent.h"
#include "MCModelEffect.h"
#include "MCRecord.h"
#include "MCRegFactory.h"
#include "MCRegSettings.h"

namespace {

using linbench::kNValues;
constexpr int kDefaultRecords = 1000000;

bool Generate(const char* path, long n) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  linbench::RecordMaker maker;
  std::vector<double> record(kNValues);
  for (long i = 0; i < n; ++i) {
    maker.Next(record.data());
    if (std::fwrite(record.data(), sizeof(double), kNValues, out) != kNValues) {
      std::fclose(out);
      return false;
    }
  }
  return std::fclose(out) == 0;
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
    MCRegSettings settings = linbench::MakeSettings(indices);
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
  bench::RunFits(state, "linear_fit_bench", Generate, Fit, linbench::kNParameters);
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

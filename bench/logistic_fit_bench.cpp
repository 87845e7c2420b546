// The multinomial logistic model on a large record file: 1,000,000 generated records of a
// response with 4 categories, factors A and B (5 and 8 levels) and covariates x1..x5, with
// effects A, B, x1..x5 and the intercept (19 basic parameters per logit, 57 in all), read from
// a binary record file with covariate-pattern tabulation.
//
//   logistic_fit_bench --generate FILE [N]   writes N records (default 1,000,000) to FILE
//   logistic_fit_bench --fit FILE            fits the model once and prints time and fit
//   logistic_fit_bench [benchmark flags]     the Google Benchmark runs (data in a temporary file)
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
#include "LogisticBenchModel.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCModelEffect.h"
#include "MCRecord.h"
#include "MCRegFactory.h"

namespace {

using logbench::kNValues;
using logbench::MakeSettings;
constexpr int kDefaultRecords = 1000000;

bool Generate(const char* path, long n) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  logbench::RecordMaker maker;
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
  int iterations = 0;
  int stopReason = 0;
  double minus2LL = 0.0;
  double intercept = 0.0;
  // The non-redundant parameters in order (logit by logit): estimate and standard error.
  std::vector<double> estimates, standardErrors;
};

FitResult Fit(const char* path) {
  FitResult result;
  FILE* file = bench::OpenRecords(path);
  if (file == nullptr) return result;
  {
    MCCommon::BinaryRecordIterator data(file, kNValues);
    std::vector<int> indices;
    MCLogRegSettings settings = MakeSettings(indices);
    MCRegFactory factory;
    std::unique_ptr<IMCRegComponent> component(factory.CreateRegAlgorithm(settings));
    if (component) {
      const MCCommon::MCStatus status = component->BuildModel(data);
      result.code = status.GetErrorCode();
      IMCRegOutputStats* stats = nullptr;
      if (!status.IsError() && !component->GetOutputStats(stats).IsError()) {
        auto* logStats = dynamic_cast<MCLogOutputStats*>(stats);
        if (logStats != nullptr) {
          result.ok = true;
          result.nParameters = static_cast<int>(logStats->GetParamEstimates().size());
          result.rank = logStats->GetRedundancyIndicators().InSet();
          result.iterations = logStats->GetNIterations();
          result.stopReason = logStats->GetStopReason();
          result.minus2LL = -2.0 * logStats->GetFinalLogLikelihood();
          result.intercept = logStats->GetParamEstimates()[0];
          for (int k = 0; k < result.nParameters; ++k) {
            if (!logStats->GetRedundancyIndicators().IsIn(k)) continue;
            result.estimates.push_back(logStats->GetParamEstimates()[k]);
            result.standardErrors.push_back(
                std::sqrt(logStats->GetCovarianceMatrix()->GetElem(k, k)));
          }
        }
      }
    }
  }
  std::fclose(file);
  return result;
}

void BM_LogisticFit(benchmark::State& state) {
  bench::RunFits(state, "logistic_fit_bench", Generate, Fit, logbench::kNParameters);
}
BENCHMARK(BM_LogisticFit)->Arg(100000)->Arg(kDefaultRecords)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return bench::Main(argc, argv, kDefaultRecords, Generate, Fit, [](const FitResult& r) {
    std::printf(
        "parameters %d\nrank %d\niterations %d\nstop_reason %d\n"
        "minus2ll %.15g\nintercept %.15g\n",
        r.nParameters, r.rank, r.iterations, r.stopReason, r.minus2LL, r.intercept);
    for (std::size_t k = 0; k < r.estimates.size(); ++k) {
      std::printf("param %.17g %.17g\n", r.estimates[k], r.standardErrors[k]);
    }
  });
}

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
  // Per parameter: a name as R writes its coefficient (A3, x2, A3:B7), the estimate, the
  // standard error with R's residual degrees of freedom (n - rank), and whether it is kept.
  std::vector<std::string> names;
  std::vector<double> estimates, standardErrors;
  std::vector<bool> kept;
};

// R's name of a parameter: its factors' letters with their levels, then its covariates.
std::string ParameterName(const MCRegrParameter& p) {
  std::string name;
  for (int f = 0; f < p.GetNFactors(); ++f) {
    if (!name.empty()) name += ":";
    name += static_cast<char>('A' + p.GetFactors()[f] - 1);
    name += std::to_string(static_cast<int>(p.GetCategories()[f]));
  }
  for (int c = 0; c < p.GetNCovariates(); ++c) {
    if (!name.empty()) name += ":";
    name += "x" + std::to_string(p.GetCovariates()[c] - 3);
  }
  return name.empty() ? "(Intercept)" : name;
}

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
        const double n = stats->GetTotalFreqWeight();
        const double sigma2 = result.rmse * result.rmse * n / (n - result.rank);
        for (int k = 0; k < result.nParameters; ++k) {
          result.names.push_back(ParameterName(stats->GetParameters()[k]));
          result.estimates.push_back(stats->GetParamEstimates()[k]);
          result.standardErrors.push_back(
              std::sqrt(stats->GetCovarianceMatrix()->GetElem(k, k) * sigma2));
          result.kept.push_back(stats->GetRedundancyIndicators().IsIn(k));
        }
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
    for (std::size_t k = 0; k < r.names.size(); ++k) {
      if (r.kept[k]) {
        std::printf("param %s %.17g %.17g\n", r.names[k].c_str(), r.estimates[k],
                    r.standardErrors[k]);
      } else {
        std::printf("param %s NA NA\n", r.names[k].c_str());
      }
    }
  });
}

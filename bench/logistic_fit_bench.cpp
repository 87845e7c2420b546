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
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCModelEffect.h"
#include "MCRecord.h"
#include "MCRegFactory.h"

namespace {

// Record layout: y, A, B, x1..x5.
constexpr int kNValues = 8;
constexpr int kNCategories = 4;
constexpr int kLevels[2] = {5, 8};
constexpr int kNCovariates = 5;
constexpr int kNParameters = (kNCategories - 1) * (1 + kLevels[0] + kLevels[1] + kNCovariates);
constexpr int kDefaultRecords = 1000000;

// Reproducible data: factor levels uniform, covariates standard normal (Box-Muller on the
// generator's 53-bit uniforms, so the numbers do not depend on the standard library), and
// the response drawn from a true multinomial logit with the last category as reference, so
// the fit has a finite maximum and converges.
bool Generate(const char* path, long n) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  std::mt19937_64 gen(20261206u);
  auto uniform = [&gen]() { return (static_cast<double>(gen() >> 11) + 0.5) * 0x1.0p-53; };
  auto normal = [&uniform]() {
    const double r = std::sqrt(-2.0 * std::log(uniform()));
    return r * std::cos(6.283185307179586 * uniform());
  };
  constexpr int kLogits = kNCategories - 1;
  const double intercept[kLogits] = {0.3, -0.2, 0.5};
  const double slope[kLogits][kNCovariates] = {
      {0.6, -0.4, 0.2, 0.0, 0.3}, {-0.3, 0.5, 0.1, -0.6, 0.2}, {0.2, 0.2, -0.5, 0.4, -0.1}};
  std::vector<double> record(kNValues);
  for (long i = 0; i < n; ++i) {
    const int a = static_cast<int>(gen() % kLevels[0]);
    const int b = static_cast<int>(gen() % kLevels[1]);
    for (int k = 0; k < kNCovariates; ++k) record[3 + k] = normal();
    double expEta[kNCategories];
    double sum = 1.0;  // the reference's exp(0)
    for (int j = 0; j < kLogits; ++j) {
      double eta = intercept[j] + 0.15 * (j + 1) * (a - 2) - 0.08 * (j - 1) * (b - 3.5);
      for (int k = 0; k < kNCovariates; ++k) eta += slope[j][k] * record[3 + k];
      expEta[j] = std::exp(eta);
      sum += expEta[j];
    }
    expEta[kLogits] = 1.0;
    // Inverse distribution function on one uniform.
    const double u = uniform() * sum;
    int y = 0;
    double cumulative = expEta[0];
    while (y < kLogits && u > cumulative) cumulative += expEta[++y];
    record[0] = y;
    record[1] = a;
    record[2] = b;
    if (std::fwrite(record.data(), sizeof(double), kNValues, out) != kNValues) {
      std::fclose(out);
      return false;
    }
  }
  return std::fclose(out) == 0;
}

// The settings of the benchmark model; indices must outlive them.
MCLogRegSettings MakeSettings(std::vector<int>& indices) {
  MCLogRegSettings settings;
  settings.SetDependent(0);
  settings.SetDependentRefCat(-1, kNCategories);
  for (int f = 0; f < 2; ++f) settings.AddFactor(1 + f, kLevels[f]);
  for (int k = 0; k < kNCovariates; ++k) settings.AddCovariate(3 + k);
  settings.SetParamEstConCriterion(1e-10);
  settings.SetUsePatternTabulator(true);
  indices = {1, 2, 3, 4, 5, 6, 7};
  for (int f = 0; f < 2; ++f) {
    MCModelEffect e(2, kNCovariates, &indices);
    e.AddNewFactor(1 + f, false);
    settings.AddModelEffect(e);
  }
  for (int k = 0; k < kNCovariates; ++k) {
    MCModelEffect e(2, kNCovariates, &indices);
    e.AddCovariate(3 + k);
    settings.AddModelEffect(e);
  }
  return settings;
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
  bench::RunFits(state, "logistic_fit_bench", Generate, Fit, kNParameters);
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

// Fits on several threads give the numbers, predictions and errors of one thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Parallel.h"
#include "frontend/CodedModel.h"
#include "frontend/Commands.h"
#include "frontend/DataSource.h"
#include "frontend/Fit.h"

namespace MCFrontEnd {
namespace {

class Files : public ::testing::Environment {
 public:
  void SetUp() override {
    fDir = ::testing::TempDir() + "parallel_fit_" + std::to_string(::getpid());
    std::filesystem::create_directories(fDir);
    std::ostringstream out, err;
    for (const char* kind : {"linear", "logistic"}) {
      for (const char* ext : {".bin", ".csv"}) {
        GenOptions gen;
        gen.kind = kind;
        gen.rows = std::string(kind) == "linear" ? 30000 : 20000;
        gen.out = Path(kind, ext);
        ASSERT_EQ(RunGen(gen, out, err, nullptr), kExitOK) << err.str();
      }
    }
  }
  void TearDown() override { std::filesystem::remove_all(fDir); }
  static std::string Path(const std::string& kind, const std::string& ext) {
    return fDir + "/" + kind + ext;
  }
  static std::string fDir;
};
std::string Files::fDir;
const auto* const kFiles = ::testing::AddGlobalTestEnvironment(new Files);

// Every prediction, in the order the sink hears them.
class Collector : public PredictionSink {
 public:
  void Fitted(std::int64_t index, double fitted, double residual) override {
    values.insert(values.end(), {static_cast<double>(index), fitted, residual});
  }
  void Classified(std::int64_t index, int category,
                  const std::vector<double>& probabilities) override {
    values.insert(values.end(), {static_cast<double>(index), static_cast<double>(category)});
    values.insert(values.end(), probabilities.begin(), probabilities.end());
  }
  std::vector<double> values;
};

struct Outcome {
  std::string json;
  std::vector<double> predictions;
};

ModelRequest BenchRequest(bool logistic) {
  ModelRequest request;
  request.model = logistic ? "logistic" : "linear";
  request.formula = logistic ? "y ~ C(A) + C(B) + x1 + x2 + x3 + x4 + x5"
                             : "y ~ C(A) + C(B) + C(C) + x1 + x2 + x3 + x4 + x5 + x6 + x7 + "
                               "x8 + C(A):C(B)";
  return request;
}

Outcome FitOn(DataSource& source, bool logistic, bool patterns, int threads) {
  CodedModel model(source, BenchRequest(logistic), CacheMode::kAuto, {}, threads);
  FitChoices choices;
  choices.threads = threads;
  choices.logistic.patterns = patterns;
  choices.logistic.paramCriterion = 1e-10;
  Collector sink;
  choices.predictions = &sink;
  FitResult result = FitModel(model, choices, nullptr, nullptr);
  result.source.clear();
  return {JsonText(result), sink.values};
}

struct Case {
  const char* name;
  bool logistic;
  bool patterns;
  const char* ext;
};

class ParallelFitTest : public ::testing::TestWithParam<Case> {};

TEST_P(ParallelFitTest, ThreadsGiveTheNumbersOfOneThread) {
  const Case& c = GetParam();
  const std::string kind = c.logistic ? "logistic" : "linear";
  FileOptions options;
  if (std::string(c.ext) == ".bin") {
    options.columns = c.logistic ? LogisticBenchmarkColumns() : LinearBenchmarkColumns();
  }
  const std::unique_ptr<DataSource> source = OpenDataFile(Files::Path(kind, c.ext), options);
  const Outcome one = FitOn(*source, c.logistic, c.patterns, 1);
  for (int threads : {2, 3}) {
    const Outcome many = FitOn(*source, c.logistic, c.patterns, threads);
    EXPECT_EQ(many.json, one.json) << threads << " threads";
    EXPECT_EQ(many.predictions, one.predictions) << threads << " threads";
  }
}

INSTANTIATE_TEST_SUITE_P(BenchmarkData, ParallelFitTest,
                         ::testing::Values(Case{"LinearBinary", false, false, ".bin"},
                                           Case{"LinearCachedCsv", false, false, ".csv"},
                                           Case{"LogisticBinary", true, false, ".bin"},
                                           Case{"LogisticPatternsCsv", true, true, ".csv"}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.name;
                         });

TEST(ParallelFitTest, ColumnsInMemoryAndTheirBadDataAsOnOneThread) {
  // y = 2 + 3x + noise with a frequency weight w; then negative weights in both halves.
  const int n = 5000;
  std::vector<double> y(n), x(n), w(n);
  for (int i = 0; i < n; ++i) {
    x[i] = std::sin(0.37 * i);
    y[i] = 2.0 + 3.0 * x[i] + 0.1 * std::cos(1.3 * i);
    w[i] = 1 + i % 3;
  }
  ColumnTable table("table", n);
  table.AddNumeric("y", y.data());
  table.AddNumeric("x", x.data());
  table.AddNumeric("w", w.data());
  ModelRequest request;
  request.formula = "y ~ x";
  request.freqWeight = "w";
  const auto fit = [&](int threads) {
    CodedModel model(table, request, CacheMode::kAuto, {}, threads);
    FitChoices choices;
    choices.threads = threads;
    return JsonText(FitModel(model, choices, nullptr, nullptr));
  };
  EXPECT_EQ(fit(2), fit(1));
  w[1000] = -1.0;
  w[4000] = -2.0;
  const auto error = [&](int threads) {
    try {
      CodedModel model(table, request, CacheMode::kAuto, {}, threads);
    } catch (const InputError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_NE(error(1).find("record 1001"), std::string::npos) << error(1);
  EXPECT_EQ(error(2), error(1));
}

// Says yes from the given question on.
class CancelAfter : public MCCommon::MCQueryCancel {
 public:
  explicit CancelAfter(long after) : fAfter(after) {}
  bool IsCancel() override { return WillCancel(); }
  bool WillCancel() override { return ++fAsked > fAfter; }
  long Asked() const { return fAsked; }

 private:
  long fAfter;
  std::atomic<long> fAsked{0};
};

TEST(ParallelFitTest, ACancelReachesEveryThread) {
  FileOptions options;
  options.columns = LinearBenchmarkColumns();
  const std::unique_ptr<DataSource> source = OpenDataFile(Files::Path("linear", ".bin"), options);
  // After a yes each thread asks at most once more and the fit at most twice.
  for (const auto& [threads, step] : {std::pair{1, 997L}, std::pair{2, 1L}}) {
    for (long after = 0; after < 45 * step; after += step) {
      CodedModel model(*source, BenchRequest(false), CacheMode::kAuto, {}, threads);
      FitChoices choices;
      choices.threads = threads;
      CancelAfter cancel(after);
      EXPECT_THROW(FitModel(model, choices, &cancel, nullptr), Cancelled)
          << threads << " " << after;
      EXPECT_LE(cancel.Asked(), after + threads + 2) << threads << " " << after;
    }
  }
}

}  // namespace
}  // namespace MCFrontEnd

// The front end's CSV input: how fast numeric columns are read (parsed into doubles), and
// how a fit's later passes are best served: by the temporary binary cache written during the
// first pass, or by parsing the file again at every pass.
//
//   csv_parse_bench [benchmark flags]
// The data are the linear benchmark set (`mcfit gen`: y, A, B, C, x1..x8; 12 numeric
// columns, values written as the shortest text that reads back exactly), in a temporary file.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Text.h"
#include "frontend/CodedModel.h"
#include "frontend/Commands.h"
#include "frontend/DataSource.h"
#include "frontend/Fit.h"

namespace {

// The CSV file of n records, written once per process and record count.
const std::string& CsvFile(long n) {
  static std::string path;
  static long made = -1;
  if (made != n) {
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp != nullptr ? tmp : "/tmp") + "/csv_parse_bench_" + std::to_string(n) +
           ".csv";
    MCFrontEnd::GenOptions gen;
    gen.rows = n;
    gen.out = path;
    std::ostringstream out, err;
    if (MCFrontEnd::RunGen(gen, out, err, nullptr) != 0) path.clear();
    made = n;
  }
  return path;
}

long FileBytes(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// Every field of every record parsed as a number, through the same reader and number parser
// as the fits.
void BM_CsvNumbers(benchmark::State& state) {
  const std::string& path = CsvFile(state.range(0));
  if (path.empty()) {
    state.SkipWithError("cannot write the data file");
    return;
  }
  for (auto _ : state) {
    const auto source = MCFrontEnd::OpenDataFile(path, {});
    std::vector<int> columns(source->ColumnNames().size());
    for (std::size_t j = 0; j < columns.size(); ++j) columns[j] = static_cast<int>(j);
    const auto cursor = source->Open(columns);
    double sum = 0.0;
    while (cursor->Next()) {
      const MCFrontEnd::Field* f = cursor->Fields();
      for (std::size_t j = 0; j < columns.size(); ++j) {
        double v = 0.0;
        if (f[j].kind == MCFrontEnd::Field::kText && MCFrontEnd::ParseNumber(f[j].text, v)) {
          sum += v;
        }
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * FileBytes(path));
}
// Bytes per second of CPU time: the rate of one core, whatever else the machine runs.
BENCHMARK(BM_CsvNumbers)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The linear benchmark model (289 parameters) fitted from the CSV file: arg 1 reads it once
// into the temporary cache, arg 0 parses it at every pass.
void BM_CsvFit(benchmark::State& state) {
  const std::string& path = CsvFile(state.range(0));
  if (path.empty()) {
    state.SkipWithError("cannot write the data file");
    return;
  }
  MCFrontEnd::ModelRequest request;
  request.dependent = "y";
  request.factors = {"A", "B", "C"};
  request.covariates = {"x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8"};
  request.effects = {"A", "B", "C", "x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8", "A*B"};
  const auto cache = state.range(1) ? MCFrontEnd::CacheMode::kAlways : MCFrontEnd::CacheMode::kNever;
  for (auto _ : state) {
    const auto source = MCFrontEnd::OpenDataFile(path, {});
    MCFrontEnd::CodedModel model(*source, request, cache);
    const MCFrontEnd::FitResult result =
        MCFrontEnd::FitModel(model, MCFrontEnd::LogisticOptions(), false, nullptr, nullptr);
    benchmark::DoNotOptimize(result.rSquared);
  }
  state.SetBytesProcessed(state.iterations() * FileBytes(path));
  state.SetLabel(state.range(1) ? "cache" : "parse every pass");
}
BENCHMARK(BM_CsvFit)
    ->Args({1000000, 1})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace

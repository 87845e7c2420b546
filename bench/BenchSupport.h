// What the model benchmarks share: the temporary data file, the benchmark loop over it and the
// program's --generate / --fit modes (used by the comparison scripts).
#ifndef MCSTAT_BENCH_BENCHSUPPORT_H_
#define MCSTAT_BENCH_BENCHSUPPORT_H_

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace bench {

using GenerateFn = bool (*)(const char* path, long n);

// Opens a binary record file. The host chooses the buffering of its own file: large reads,
// fewer system calls. Null when the file cannot be opened.
inline FILE* OpenRecords(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (file != nullptr) std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
  return file;
}

// A temporary data file of n records, made once per process and record count; empty when it
// cannot be written.
inline const std::string& DataFile(const char* name, long n, GenerateFn generate) {
  static std::string path;
  static long made = -1;
  if (made != n) {
    path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/" + name + "_" +
           std::to_string(n) + ".bin";
    if (!generate(path.c_str(), n)) path.clear();
    made = n;
  }
  return path;
}

// The benchmark loop: one fit of the data file of state.range(0) records per iteration. fit
// takes the path and returns a result with `ok`.
template <typename Fit>
void RunFits(benchmark::State& state, const char* name, GenerateFn generate, Fit fit,
             int nParameters) {
  const std::string& path = DataFile(name, state.range(0), generate);
  if (path.empty()) {
    state.SkipWithError("cannot write the data file");
    return;
  }
  for (auto _ : state) {
    const auto r = fit(path.c_str());
    if (!r.ok) {
      state.SkipWithError("the fit failed");
      return;
    }
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["parameters"] = nParameters;
}

// The program: `--generate FILE [N]` writes N records (default defaultRecords), `--fit FILE`
// fits once and prints the time and print's lines, anything else runs the benchmarks.
template <typename Fit, typename Print>
int Main(int argc, char** argv, long defaultRecords, GenerateFn generate, Fit fit, Print print) {
  if (argc >= 3 && std::strcmp(argv[1], "--generate") == 0) {
    const long n = argc >= 4 ? std::atol(argv[3]) : defaultRecords;
    if (n < 1 || !generate(argv[2], n)) {
      std::fprintf(stderr, "cannot write %ld records to %s\n", n, argv[2]);
      return 1;
    }
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "--fit") == 0) {
    const auto start = std::chrono::steady_clock::now();
    const auto r = fit(argv[2]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!r.ok) {
      std::fprintf(stderr, "fit failed (status %ld)\n", r.code);
      return 1;
    }
    std::printf("fit_seconds %.3f\n", seconds);
    print(r);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench

#endif  // MCSTAT_BENCH_BENCHSUPPORT_H_

// The benchmark data sets of `mcfit gen`.
#include <charconv>
#include <vector>

#include "BenchmarkRecords.h"
#include "Guarded.h"
#include "MCRandomValues.h"
#include "MCURandom.h"
#include "frontend/Commands.h"
#include "frontend/OutputFile.h"

namespace MCFrontEnd {

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::vector<std::string> LinearBenchmarkColumns() {
  return {"y", "A", "B", "C", "x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8"};
}

std::vector<std::string> LogisticBenchmarkColumns() {
  return {"y", "A", "B", "x1", "x2", "x3", "x4", "x5"};
}

int RunGen(const GenOptions& options, std::ostream& out, std::ostream& err,
           MCCommon::MCQueryCancel* cancel) {
  return Guarded(err, options.out, [&]() {
    const bool logistic = options.kind == "logistic";
    if (!logistic && options.kind != "linear") {
      throw InputError("--kind: unknown kind '" + options.kind + "'");
    }
    if (options.rows < 1) throw InputError("--rows must be at least 1");
    const bool csv = EndsWith(options.out, ".csv");
    OutputFile file(options.out, out, false);
    std::ostream& os = file.Stream();
    const std::vector<std::string> names =
        logistic ? LogisticBenchmarkColumns() : LinearBenchmarkColumns();
    if (csv) {
      for (std::size_t j = 0; j < names.size(); ++j) os << (j ? "," : "") << names[j];
      os << "\n";
    }
    // One Mersenne Twister feeds the factor levels, the normal covariates and the response.
    MCCommonMath::MCURandom uniform(options.seed, true, true, nullptr);
    MCCommonMath::MCRandomValues normal;
    normal.SetURNGPtr(&uniform);
    normal.SetParamNormal();
    struct {
      MCCommonMath::MCURandom& u;
      MCCommonMath::MCRandomValues& z;
      double Uniform() { return u.GetRandom(); }
      double Normal() { return z.GetRandom(); }
    } numbers{uniform, normal};
    std::vector<double> record(names.size());
    std::string line;
    char buf[32];
    for (long i = 0; i < options.rows; ++i) {
      if (i % 4096 == 0 && cancel != nullptr && cancel->WillCancel()) throw Cancelled();
      if (logistic) {
        LogisticBenchmarkRecord(numbers, record.data());
      } else {
        LinearBenchmarkRecord(numbers, record.data());
      }
      if (csv) {
        // The shortest text that reads back as the same double.
        line.clear();
        for (std::size_t j = 0; j < record.size(); ++j) {
          if (j) line += ',';
          line.append(buf, std::to_chars(buf, buf + sizeof buf, record[j]).ptr);
        }
        line += '\n';
        os << line;
      } else {
        os.write(reinterpret_cast<const char*>(record.data()),
                 static_cast<std::streamsize>(record.size() * sizeof(double)));
      }
    }
    if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
    file.Commit();
    return kExitOK;
  });
}

}  // namespace MCFrontEnd

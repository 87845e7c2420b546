// The benchmark data sets of `mcfit gen`.
#include <cmath>
#include <charconv>
#include <vector>

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

namespace {

// A uniform level 0..levels-1.
int Level(MCCommonMath::MCURandom& uniform, int levels) {
  const int level = static_cast<int>(uniform.GetRandom() * levels);
  return level < levels ? level : levels - 1;
}

// y, A, B, C, x1..x8: y normal around a linear model with an A*B interaction.
void LinearRecord(MCCommonMath::MCURandom& uniform, MCCommonMath::MCRandomValues& normal,
                  std::vector<double>& record) {
  const double beta[8] = {0.8, -0.5, 0.3, 1.2, -0.7, 0.05, 0.4, -1.1};
  const int a = Level(uniform, 10);
  const int b = Level(uniform, 20);
  const int c = Level(uniform, 50);
  double y = 1.0 + 0.1 * a - 0.05 * b + 0.02 * c + 0.01 * a * b;
  for (int k = 0; k < 8; ++k) {
    record[4 + k] = normal.GetRandom();
    y += beta[k] * record[4 + k];
  }
  record[0] = y + normal.GetRandom();
  record[1] = a;
  record[2] = b;
  record[3] = c;
}

// y, A, B, x1..x5: y drawn from a true multinomial logit (category 3 the reference), so that
// the fit has a finite maximum.
void LogisticRecord(MCCommonMath::MCURandom& uniform, MCCommonMath::MCRandomValues& normal,
                    std::vector<double>& record) {
  constexpr int kLogits = 3;
  const double intercept[kLogits] = {0.3, -0.2, 0.5};
  const double slope[kLogits][5] = {
      {0.6, -0.4, 0.2, 0.0, 0.3}, {-0.3, 0.5, 0.1, -0.6, 0.2}, {0.2, 0.2, -0.5, 0.4, -0.1}};
  const int a = Level(uniform, 5);
  const int b = Level(uniform, 8);
  for (int k = 0; k < 5; ++k) record[3 + k] = normal.GetRandom();
  double expEta[kLogits + 1];
  double sum = 1.0;  // the reference's exp(0)
  for (int j = 0; j < kLogits; ++j) {
    double eta = intercept[j] + 0.15 * (j + 1) * (a - 2) - 0.08 * (j - 1) * (b - 3.5);
    for (int k = 0; k < 5; ++k) eta += slope[j][k] * record[3 + k];
    expEta[j] = std::exp(eta);
    sum += expEta[j];
  }
  expEta[kLogits] = 1.0;
  // The category by the inverse distribution function of one uniform.
  const double u = uniform.GetRandom() * sum;
  int y = 0;
  double cumulative = expEta[0];
  while (y < kLogits && u > cumulative) cumulative += expEta[++y];
  record[0] = y;
  record[1] = a;
  record[2] = b;
}

}  // namespace

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
    std::vector<double> record(names.size());
    std::string line;
    char buf[32];
    for (long i = 0; i < options.rows; ++i) {
      if (i % 4096 == 0 && cancel != nullptr && cancel->WillCancel()) throw Cancelled();
      if (logistic) {
        LogisticRecord(uniform, normal, record);
      } else {
        LinearRecord(uniform, normal, record);
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

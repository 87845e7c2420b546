#include "frontend/Commands.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "Collinearity.h"
#include "FitModel.h"
#include "LinearFit.h"
#include "LogisticFit.h"
#include "MCRandomValues.h"
#include "MCURandom.h"
#include "PendingFile.h"
#include "Pmml.h"
#include "Progress.h"
#include "Report.h"
#include "Settings.h"
#include "Split.h"

namespace MCFrontEnd {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int /*signal*/) { gInterrupted = 1; }

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The model must be known, and logistic options go with the logistic model only.
void CheckModel(const FitOptions& o) {
  if (o.request.model != "linear" && o.request.model != "logistic") {
    throw InputError("--model: unknown model '" + o.request.model + "'");
  }
  if (o.request.model == "linear" && o.logisticOptions) {
    throw InputError(
        "--reference, --max-iterations, --max-step-halving, --ll-criterion, "
        "--param-criterion and --patterns are for --model logistic");
  }
}

CancelCheck MakeCheck(MCCommon::MCQueryCancel* cancel) {
  if (cancel == nullptr) return {};
  return [cancel]() { return cancel->WillCancel(); };
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Reads resume after the handler: the flag, not a failed read, reports the interrupt.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

void RequestInterrupt() { gInterrupted = 1; }
void ClearInterrupt() { gInterrupted = 0; }
bool InterruptRequested() { return gInterrupted != 0; }

InterruptQuery::~InterruptQuery() = default;

int RunFit(const FitOptions& options, std::ostream& out, std::ostream& err,
           MCCommon::MCQueryCancel* cancel) {
  try {
    FitOptions settled = options;
    if (!settled.settingsFile.empty()) ApplySettingsFile(settled.settingsFile, settled);
    CheckModel(settled);
    const CancelCheck check = MakeCheck(cancel);
    const bool binary =
        options.format == "bin" || (options.format.empty() && EndsWith(options.data, ".bin"));
    if (!options.format.empty() && options.format != "bin" && options.format != "csv") {
      throw InputError("--format: unknown format '" + options.format + "'");
    }
    if (!binary && !options.columns.empty()) {
      throw InputError("--columns is for binary record files (--format bin)");
    }
    const DataTable data = binary ? ReadBinaryFile(options.data, options.columns, check)
                                  : ReadCsvFile(options.data, check);
    if (!settled.split.empty()) {
      RunSplitFits(data, settled, out, cancel);
      return kExitOK;
    }
    CodedModel model(data, settled.request);
    FitResult result;
    {
      // The progress line is blanked before anything else is written.
      std::unique_ptr<ProgressLine> line;
      if (ProgressLine::Wanted(settled.quiet)) {
        line = std::make_unique<ProgressLine>(cancel, err, model.Records().GetNRecords());
      }
      result = FitModel(model, settled, line ? line.get() : cancel, line.get());
    }
    result.source = options.data;

    std::unique_ptr<PendingFile> json;
    if (!options.jsonFile.empty()) {
      json = std::make_unique<PendingFile>(options.jsonFile);
      json->Stream() << ToJson(result).dump(2, ' ', false,
                                            nlohmann::ordered_json::error_handler_t::replace)
                     << "\n";
    }
    std::unique_ptr<PendingFile> pmml;
    if (!options.pmmlFile.empty()) {
      pmml = std::make_unique<PendingFile>(options.pmmlFile);
      WritePmml(result, model, data, pmml->Stream());
    }
    if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
    if (json) json->Commit();
    if (pmml) pmml->Commit();
    if (!options.quiet) WriteReport(result, out);
    return kExitOK;
  } catch (const Cancelled&) {
    err << "mcfit: cancelled\n";
    return kExitCancelled;
  } catch (const InputError& e) {
    err << "mcfit: " << e.what() << "\n";
    return kExitBadInput;
  } catch (const FitError& e) {
    err << "mcfit: " << Printable(options.data) << ": " << Printable(e.what()) << "\n";
    return kExitNotFitted;
  } catch (const std::bad_alloc&) {
    err << "mcfit: " << Printable(options.data) << ": not enough memory\n";
    return kExitNotFitted;
  }
}

FitResult FitModel(CodedModel& model, const FitOptions& options, MCCommon::MCQueryCancel* cancel,
                   ProgressListener* progress) {
  FitResult result = options.request.model == "logistic"
                         ? FitLogistic(model, options.logistic, cancel, progress)
                         : FitLinear(model, cancel);
  if (options.collinearity) AddCollinearity(model, result);
  return result;
}

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

int RunGen(const GenOptions& options, std::ostream& err, MCCommon::MCQueryCancel* cancel) {
  try {
    const bool logistic = options.kind == "logistic";
    if (!logistic && options.kind != "linear") {
      throw InputError("--kind: unknown kind '" + options.kind + "'");
    }
    if (options.rows < 1) throw InputError("--rows must be at least 1");
    const bool csv = EndsWith(options.out, ".csv");
    PendingFile file(options.out);
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
    char buf[32];
    for (long i = 0; i < options.rows; ++i) {
      if (i % 4096 == 0 && cancel != nullptr && cancel->WillCancel()) throw Cancelled();
      if (logistic) {
        LogisticRecord(uniform, normal, record);
      } else {
        LinearRecord(uniform, normal, record);
      }
      if (csv) {
        for (std::size_t j = 0; j < record.size(); ++j) {
          std::snprintf(buf, sizeof buf, "%.17g", record[j]);
          os << (j ? "," : "") << buf;
        }
        os << "\n";
      } else {
        os.write(reinterpret_cast<const char*>(record.data()),
                 static_cast<std::streamsize>(record.size() * sizeof(double)));
      }
    }
    if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
    file.Commit();
    return kExitOK;
  } catch (const Cancelled&) {
    err << "mcfit: cancelled\n";
    return kExitCancelled;
  } catch (const InputError& e) {
    err << "mcfit: " << e.what() << "\n";
    return kExitBadInput;
  }
}

}  // namespace MCFrontEnd

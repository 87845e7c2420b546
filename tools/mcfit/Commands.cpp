#include "Commands.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "LinearFit.h"
#include "MCRandomValues.h"
#include "MCURandom.h"
#include "Report.h"
#include "Settings.h"

namespace mcfit {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int /*signal*/) { gInterrupted = 1; }

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Options of the command line whose library pieces are not in this build yet.
void RefuseUnavailable(const FitOptions& o) {
  auto refuse = [](const std::string& what) {
    throw InputError(what + " is not available yet in this build");
  };
  if (o.request.model == "logistic" || o.logisticOptions) refuse("the logistic model");
  if (o.request.model != "linear")
    throw InputError("--model: unknown model '" + o.request.model + "'");
  if (!o.split.empty()) refuse("--split");
  if (!o.pmmlFile.empty()) refuse("--pmml");
  if (o.collinearity) refuse("--collinearity");
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

PendingFile::PendingFile(const std::string& path) : fPath(path) {
  std::vector<char> name(path.begin(), path.end());
  const std::string suffix = ".tmpXXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) throw InputError(path + ": cannot create the file");
  close(fd);
  fTemp = name.data();
  fpStream = std::make_unique<std::ofstream>(fTemp, std::ios::binary | std::ios::trunc);
  if (!*fpStream) {
    std::remove(fTemp.c_str());
    throw InputError(path + ": cannot write the file");
  }
}

PendingFile::~PendingFile() {
  if (!fbDone) {
    fpStream.reset();
    std::remove(fTemp.c_str());
  }
}

std::ostream& PendingFile::Stream() { return *fpStream; }

void PendingFile::Commit() {
  auto* file = static_cast<std::ofstream*>(fpStream.get());
  file->flush();
  const bool good = file->good();
  file->close();
  if (!good || file->fail()) throw InputError(fPath + ": cannot write the file");
  if (std::rename(fTemp.c_str(), fPath.c_str()) != 0) {
    throw InputError(fPath + ": cannot move the finished file into place");
  }
  fbDone = true;
}

int RunFit(const FitOptions& options, std::ostream& out, std::ostream& err,
           MCCommon::MCQueryCancel* cancel) {
  try {
    FitOptions settled = options;
    if (!settled.settingsFile.empty()) ApplySettingsFile(settled.settingsFile, settled);
    RefuseUnavailable(settled);
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
    CodedModel model(data, settled.request);
    FitResult result = FitLinear(model, cancel);
    result.source = options.data;

    std::unique_ptr<PendingFile> json;
    if (!options.jsonFile.empty()) {
      json = std::make_unique<PendingFile>(options.jsonFile);
      json->Stream() << ToJson(result).dump(2) << "\n";
    }
    if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
    if (json) json->Commit();
    if (!options.quiet) WriteReport(result, out);
    return kExitOK;
  } catch (const Cancelled&) {
    err << "mcfit: cancelled\n";
    return kExitCancelled;
  } catch (const InputError& e) {
    err << "mcfit: " << e.what() << "\n";
    return kExitBadInput;
  } catch (const FitError& e) {
    err << "mcfit: " << options.data << ": " << e.what() << "\n";
    return kExitNotFitted;
  } catch (const std::bad_alloc&) {
    err << "mcfit: " << options.data << ": not enough memory\n";
    return kExitNotFitted;
  }
}

std::vector<std::string> LinearBenchmarkColumns() {
  return {"y", "A", "B", "C", "x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8"};
}

int RunGen(const GenOptions& options, std::ostream& err, MCCommon::MCQueryCancel* cancel) {
  try {
    if (options.kind == "logistic") {
      throw InputError("--kind logistic is not available yet in this build");
    }
    if (options.kind != "linear") throw InputError("--kind: unknown kind '" + options.kind + "'");
    if (options.rows < 1) throw InputError("--rows must be at least 1");
    const bool csv = EndsWith(options.out, ".csv");
    PendingFile file(options.out);
    std::ostream& os = file.Stream();
    const std::vector<std::string> names = LinearBenchmarkColumns();
    if (csv) {
      for (std::size_t j = 0; j < names.size(); ++j) os << (j ? "," : "") << names[j];
      os << "\n";
    }
    // One Mersenne Twister feeds both the factor levels and the normal covariates and noise.
    MCCommonMath::MCURandom uniform(options.seed, true, true, nullptr);
    MCCommonMath::MCRandomValues normal;
    normal.SetURNGPtr(&uniform);
    normal.SetParamNormal();
    const int levels[3] = {10, 20, 50};
    const double beta[8] = {0.8, -0.5, 0.3, 1.2, -0.7, 0.05, 0.4, -1.1};
    double record[12];
    char buf[32];
    for (long i = 0; i < options.rows; ++i) {
      if (i % 4096 == 0 && cancel != nullptr && cancel->WillCancel()) throw Cancelled();
      int level[3];
      for (int f = 0; f < 3; ++f) {
        level[f] = static_cast<int>(uniform.GetRandom() * levels[f]);
        if (level[f] >= levels[f]) level[f] = levels[f] - 1;
      }
      const int a = level[0];
      const int b = level[1];
      const int c = level[2];
      double y = 1.0 + 0.1 * a - 0.05 * b + 0.02 * c + 0.01 * a * b;
      for (int k = 0; k < 8; ++k) {
        record[4 + k] = normal.GetRandom();
        y += beta[k] * record[4 + k];
      }
      record[0] = y + normal.GetRandom();
      record[1] = a;
      record[2] = b;
      record[3] = c;
      if (csv) {
        for (int j = 0; j < 12; ++j) {
          std::snprintf(buf, sizeof buf, "%.17g", record[j]);
          os << (j ? "," : "") << buf;
        }
        os << "\n";
      } else {
        os.write(reinterpret_cast<const char*>(record), sizeof record);
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

}  // namespace mcfit

#ifndef MCFIT_COMMANDS_H_
#define MCFIT_COMMANDS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "FitResult.h"
#include "LogisticFit.h"
#include "MCCancelInfo.h"
#include "ModelSetup.h"
#include "ProgressListener.h"

namespace mcfit {

// Exit codes of the program.
constexpr int kExitOK = 0;
constexpr int kExitNotFitted = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitCancelled = 130;

// Everything `mcfit fit` is told on its command line.
struct FitOptions {
  std::string data;
  std::string format;  // "csv", "bin", or empty: binary for a .bin file, else CSV
  std::vector<std::string> columns;
  ModelRequest request;
  bool logisticOptions = false;         // a logistic-only option was given
  std::set<std::string> logisticGiven;  // which ones, e.g. "--reference"
  LogisticOptions logistic;
  // Options given on the command line, which a settings document does not override.
  bool interceptGiven = false;
  bool toleranceGiven = false;
  bool modelGiven = false;
  std::string settingsFile;
  std::vector<std::string> split;
  std::string jsonFile;
  std::string pmmlFile;
  bool collinearity = false;
  bool quiet = false;
};

// Runs one fit: reads the data, fits, prints the report on out (unless quiet) and writes the
// requested files. Problems go to err as one line. Returns the exit code: 2 for bad input, 1
// for a model the library cannot fit, 130 when cancel said yes; no output file is left
// behind unless the result is 0. cancel may be null.
int RunFit(const FitOptions& options, std::ostream& out, std::ostream& err,
           MCCommon::MCQueryCancel* cancel);

// Fits the model the options ask for (linear or logistic, with the collinearity diagnostics
// when asked) on the coded data; the fitting step of RunFit, also for each split. cancel and
// progress may be null. Throws InputError, FitError and Cancelled.
FitResult FitModel(CodedModel& model, const FitOptions& options, MCCommon::MCQueryCancel* cancel,
                   ProgressListener* progress);

// Everything `mcfit gen` is told.
struct GenOptions {
  std::string kind = "linear";
  long rows = 0;
  std::string out;
  std::uint32_t seed = 20261205u;
};

// The record layout of the linear benchmark data: y, A, B, C, x1..x8.
std::vector<std::string> LinearBenchmarkColumns();
// The record layout of the logistic benchmark data: y (4 categories), A, B (5 and 8 levels),
// x1..x5.
std::vector<std::string> LogisticBenchmarkColumns();

// Writes the benchmark data set (binary records, or CSV when the file name ends in .csv)
// drawn with the library's random generators. Same exit codes as RunFit.
int RunGen(const GenOptions& options, std::ostream& err, MCCommon::MCQueryCancel* cancel);

// A file written under a temporary name beside its destination and renamed into place by
// Commit; dropped (the temporary removed) otherwise.
class PendingFile {
 public:
  // InputError when the temporary file cannot be created.
  explicit PendingFile(const std::string& path);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  std::ostream& Stream();
  const std::string& TempPath() const { return fTemp; }
  // Flushes, closes and renames; InputError when any of that fails.
  void Commit();

 private:
  std::string fPath;
  std::string fTemp;
  std::unique_ptr<std::ostream> fpStream;
  bool fbDone = false;
};

// Ctrl-C support: the handler only raises a flag, which the query below reports to the
// library before every record and to the readers between records.
void InstallInterruptHandler();
void RequestInterrupt();  // what the handler does; also for tests
void ClearInterrupt();
bool InterruptRequested();

class InterruptQuery : public MCCommon::MCQueryCancel {
 public:
  bool IsCancel() override { return InterruptRequested(); }
  bool WillCancel() override { return InterruptRequested(); }
};

}  // namespace mcfit

#endif  // MCFIT_COMMANDS_H_

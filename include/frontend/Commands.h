#ifndef MCSTAT_FRONTEND_COMMANDS_H_
#define MCSTAT_FRONTEND_COMMANDS_H_

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "MCCancelInfo.h"
#include "frontend/DataSource.h"
#include "frontend/ModelRequest.h"
#include "frontend/mcfrontend_export.h"

// The commands of the mcfit program, each a whole run: options in, exit code out, problems as
// one line on the error stream. The program itself only parses its arguments into these.
namespace MCFrontEnd {

// Exit codes of the commands.
constexpr int kExitOK = 0;
constexpr int kExitNotFitted = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitCancelled = 130;

// Everything `mcfit fit` is told on its command line.
struct FitOptions {
  std::string data;     // "-": standard input
  std::string format;  // "csv", "bin", or empty: binary for a .bin file, else CSV
  std::vector<std::string> columns;
  char separator = 0;  // CSV: 0 detects it from the header line
  CacheMode cache = CacheMode::kAuto;
  ModelRequest request;
  bool logisticOptions = false;         // a logistic-only option was given
  std::set<std::string> logisticGiven;  // which ones, e.g. "--reference"
  LogisticOptions logistic;
  // Options given on the command line, which a settings document does not override.
  bool interceptGiven = false;
  bool toleranceGiven = false;
  bool modelGiven = false;
  bool confLevelGiven = false;
  std::string settingsFile;
  std::vector<std::string> split;
  std::string jsonFile;  // "-": standard output (the report then goes to err)
  std::string pmmlFile;  // "-": likewise
  bool collinearity = false;
  double confLevel = 0.95;     // of the confidence intervals
  std::string predictionsFile;  // "-": standard output; empty: none
  std::string idColumn;         // carried into the predictions
  std::string pmmlVersion = "4.4";  // "4.4" or "3.2"
  bool quiet = false;
  // Threads that read the data and run the fit's passes (see FitChoices); below 1: one per
  // core.
  int threads = 1;
};

// Runs one fit: reads the data, fits, prints the report on out (unless quiet) and writes the
// requested files (out for "-"; see OutputFile). Each warning of the fit (a term aliased, an
// estimate not identified...) goes to err as "mcfit: warning: ...", a problem as one line.
// Returns the exit code: 2 for bad input, 1 for a model the library cannot fit, 130 when
// cancel said yes; no output file is left behind unless the result is 0. cancel may be null.
MCFRONTEND_EXPORT int RunFit(const FitOptions& options, std::ostream& out, std::ostream& err,
                             MCCommon::MCQueryCancel* cancel);

// Everything `mcfit score` is told.
struct ScoreOptions {
  std::string pmml;
  std::string data;
  std::string out;
  std::string id;  // a column to carry into the scores (first)
};

// Scores every record of a CSV file with a model that fit wrote (a PMML 4.4 or 3.2
// "GeneralRegressionModel" with its local transformations, or the PMML 4.4 "MiningModel" of a
// split fit, whose segment is the first one whose split values the record has) and writes a
// CSV: the id column when asked, then "predicted" for a linear model; the predicted category
// (picked as the library's scoring picks it: the reference, or the first in the library's
// order, among categories whose linear predictors tie to rounding) and one probability column
// per category for a logistic one. A record missing a value the model needs, with a factor
// category or split values the model does not know, or whose derived value is not finite,
// gets empty fields. Exit codes as for fit: 2 for an unreadable or unusable model, a missing
// column or unreadable data, 130 when cancelled; no output file then.
MCFRONTEND_EXPORT int RunScore(const ScoreOptions& options, std::ostream& out,
                               std::ostream& err, MCCommon::MCQueryCancel* cancel);

// Everything `mcfit gen` is told.
struct GenOptions {
  std::string kind = "linear";
  long rows = 0;
  std::string out;
  std::uint32_t seed = 20261205u;
};

// The record layout of the linear benchmark data: y, A, B, C, x1..x8.
MCFRONTEND_EXPORT std::vector<std::string> LinearBenchmarkColumns();
// The record layout of the logistic benchmark data: y (4 categories), A, B (5 and 8 levels),
// x1..x5.
MCFRONTEND_EXPORT std::vector<std::string> LogisticBenchmarkColumns();

// Writes the benchmark data set (binary records, or CSV when the file name ends in .csv)
// drawn with the library's random generators. Same exit codes as RunFit.
MCFRONTEND_EXPORT int RunGen(const GenOptions& options, std::ostream& out, std::ostream& err,
                             MCCommon::MCQueryCancel* cancel);

// The version of the library and its programs.
MCFRONTEND_EXPORT const char* Version();

// Ctrl-C support: the handler only raises a flag, which the query below reports to the
// library before every record and to the readers between records; a second Ctrl-C ends the
// program at once.
MCFRONTEND_EXPORT void InstallInterruptHandler();
MCFRONTEND_EXPORT void RequestInterrupt();  // what the handler does; also for tests
MCFRONTEND_EXPORT void ClearInterrupt();
MCFRONTEND_EXPORT bool InterruptRequested();

class MCFRONTEND_EXPORT InterruptQuery : public MCCommon::MCQueryCancel {
 public:
  ~InterruptQuery() override;
  bool IsCancel() override { return InterruptRequested(); }
  bool WillCancel() override { return InterruptRequested(); }
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_COMMANDS_H_

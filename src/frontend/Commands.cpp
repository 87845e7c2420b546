#include "frontend/Commands.h"

#include <cmath>
#include <memory>

#include "ByteReader.h"
#include "Collinearity.h"
#include "FitModel.h"
#include "Guarded.h"
#include "LinearFit.h"
#include "LogisticFit.h"
#include "ModelLayout.h"
#include "Parallel.h"
#include "Precoded.h"
#include "Predictions.h"
#include "Progress.h"
#include "Report.h"
#include "Settings.h"
#include "Split.h"
#include "Text.h"
#include "frontend/Fit.h"
#include "frontend/OutputFile.h"

namespace MCFrontEnd {

namespace {

void CheckConfLevel(double level) {
  if (!(level > 0.0 && level < 1.0)) {
    throw InputError("--conf-level must be a number with 0 < level < 1, not " +
                     ShortestText(level));
  }
}

// The model must be known, logistic options go with the logistic model only, and the
// tolerance is a proportion.
void CheckModel(const FitOptions& o) {
  if (o.request.model != "linear" && o.request.model != "logistic") {
    throw InputError("--model: unknown model '" + o.request.model + "'");
  }
  if (o.request.model == "linear" && o.logisticOptions) {
    throw InputError(
        "--reference, --max-iterations, --max-step-halving, --ll-criterion, "
        "--param-criterion and --patterns are for --model logistic");
  }
  CheckConfLevel(o.confLevel);
  const int toStandardOutput =
      (o.jsonFile == "-") + (o.pmmlFile == "-") + (o.predictionsFile == "-");
  if (toStandardOutput > 1) {
    throw InputError("--json, --pmml and --predictions cannot share standard output");
  }
  if (!o.predictionsFile.empty() && !o.split.empty()) {
    throw InputError("--predictions writes one line per record and cannot be combined with --split");
  }
  if (!o.idColumn.empty() && o.predictionsFile.empty()) {
    throw InputError("--id names the column to carry into --predictions, which is not given");
  }
  if (o.pmmlVersion != "4.4" && o.pmmlVersion != "3.2") {
    throw InputError("--pmml-version must be 4.4 or 3.2, not '" + o.pmmlVersion + "'");
  }
  if (o.pmmlVersion == "3.2" && !o.split.empty() && !o.pmmlFile.empty()) {
    throw InputError("--pmml-version 3.2 has no segmented models: the models of --split are "
                     "written as PMML 4.4");
  }
}

CancelCheck MakeCheck(MCCommon::MCQueryCancel* cancel) {
  if (cancel == nullptr) return {};
  return [cancel]() { return cancel->WillCancel(); };
}

}  // namespace

const char* Version() { return MCSTAT_VERSION; }

int RunFit(const FitOptions& options, std::ostream& out, std::ostream& err,
           MCCommon::MCQueryCancel* cancel) {
  return Guarded(err, options.data, [&]() {
    FitOptions settled = options;
    if (!settled.settingsFile.empty()) ApplySettingsFile(settled.settingsFile, settled);
    CheckModel(settled);
    if (settled.threads < 1) settled.threads = CoreCount();
    const CancelCheck check = MakeCheck(cancel);
    FileOptions file;
    file.format = options.format;
    file.columns = options.columns;
    file.separator = options.separator;
    file.cancelled = check;
    const std::unique_ptr<DataSource> source = OpenDataFile(options.data, file);
    ModelLayout layout(settled.request, *source, settled.split);
    const auto data = std::make_shared<PrecodedData>(*source, layout.Slots(), options.cache, check);
    layout.Settle(data->Slots());
    if (!settled.split.empty()) {
      RunSplitFits(data, layout, settled, out, err, cancel);
      return kExitOK;
    }
    CodedModel model(data, layout, {}, check, settled.threads);
    // Predictions are written as the fit's last pass goes.
    std::unique_ptr<IdColumn> id;
    if (!settled.idColumn.empty()) id = std::make_unique<IdColumn>(*source, settled.idColumn);
    std::unique_ptr<OutputFile> predictions;
    std::unique_ptr<CsvPredictions> sink;
    if (!settled.predictionsFile.empty()) {
      predictions = std::make_unique<OutputFile>(settled.predictionsFile, out, false);
      sink = std::make_unique<CsvPredictions>(predictions->Stream(), id.get());
    }
    FitResult result;
    {
      // The progress line is blanked before anything else is written.
      std::unique_ptr<ProgressLine> line;
      if (ProgressLine::Wanted(settled.quiet)) {
        line = std::make_unique<ProgressLine>(cancel, err,
                                              static_cast<std::size_t>(model.RecordsRead()));
      }
      result = FitModel(model, settled, line ? line.get() : cancel, line.get(), sink.get());
    }

    std::unique_ptr<OutputFile> json;
    if (!options.jsonFile.empty()) {
      json = std::make_unique<OutputFile>(options.jsonFile, out, true);
      json->Stream() << JsonText(result);
    }
    std::unique_ptr<OutputFile> pmml;
    if (!options.pmmlFile.empty()) {
      pmml = std::make_unique<OutputFile>(options.pmmlFile, out, true);
      WritePmml(result, model, pmml->Stream(), settled.pmmlVersion);
    }
    if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
    if (json) json->Commit();
    if (pmml) pmml->Commit();
    if (predictions) predictions->Commit();
    for (const std::string& w : result.warnings) err << "mcfit: warning: " << w << "\n";
    // The report goes where the documents do not.
    const bool toOut = !(json && json->IsStandardOutput()) &&
                       !(pmml && pmml->IsStandardOutput()) &&
                       !(predictions && predictions->IsStandardOutput());
    if (!options.quiet) WriteReport(result, toOut ? out : err);
    return kExitOK;
  });
}

PredictionSink::~PredictionSink() = default;
void PredictionSink::Begin(const FitResult& /*result*/) {}
void PredictionSink::Fitted(std::int64_t /*index*/, double /*fitted*/, double /*residual*/) {}
void PredictionSink::Classified(std::int64_t /*index*/, int /*category*/,
                                const std::vector<double>& /*probabilities*/) {}

FitResult FitModel(CodedModel& model, const FitChoices& choices, MCCommon::MCQueryCancel* cancel,
                   ProgressListener* progress) {
  CheckConfLevel(choices.confLevel);
  FitResult result = model.Request().model == "logistic"
                         ? FitLogistic(model, choices, cancel, progress)
                         : FitLinear(model, choices, cancel);
  if (choices.collinearity) AddCollinearity(model, result);
  return result;
}

FitResult FitModel(CodedModel& model, const LogisticOptions& logistic, bool collinearity,
                   MCCommon::MCQueryCancel* cancel, ProgressListener* progress) {
  FitChoices choices;
  choices.logistic = logistic;
  choices.collinearity = collinearity;
  return FitModel(model, choices, cancel, progress);
}

FitResult FitModel(CodedModel& model, const FitOptions& options, MCCommon::MCQueryCancel* cancel,
                   ProgressListener* progress, PredictionSink* predictions) {
  FitChoices choices;
  choices.logistic = options.logistic;
  choices.confLevel = options.confLevel;
  choices.collinearity = options.collinearity;
  choices.predictions = predictions;
  choices.threads = options.threads;
  return FitModel(model, choices, cancel, progress);
}

}  // namespace MCFrontEnd

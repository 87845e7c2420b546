#include "LogisticFit.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "IMCRegComponent.h"
#include "LinearFit.h"
#include "MCDistFun.h"
#include "MCExactSum.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "Inference.h"
#include "ModelLayout.h"
#include "RecordPass.h"
#include "Text.h"
#include "frontend/Parts.h"

namespace MCFrontEnd {

namespace {

std::optional<double> Present(double x) {
  if (MCMV::IsMissing(x) || !std::isfinite(x)) return std::nullopt;
  return x;
}

// The library's reference argument: -1 the last category, -2 the first, else the code of
// the category written as `text` (numbers compare as numbers, so "2" finds 2.0).
int ReferenceCode(const CodedModel& model, const std::string& text) {
  if (text == "last") return -1;
  if (text == "first") return -2;
  double wanted = 0.0;
  const bool number = ParseNumber(text, wanted);
  for (int code = 0; code < model.ResponseCategoryCount(); ++code) {
    const std::string category = model.ResponseText(code);
    double value = 0.0;
    if (category == text || (number && ParseNumber(category, value) && value == wanted)) {
      return code;
    }
  }
  throw InputError("the dependent '" + model.Request().dependent +
                   "' has no category '" + text + "'");
}

void CheckOptions(const LogisticOptions& o) {
  if (o.maxIterations < 0) throw InputError("--max-iterations must be 0 or more");
  if (o.maxStepHalving < 1) throw InputError("--max-step-halving must be 1 or more");
  if (!(o.llCriterion >= 0.0)) throw InputError("--ll-criterion must be 0 or more");
  if (!(o.paramCriterion >= 0.0)) throw InputError("--param-criterion must be 0 or more");
}

}  // namespace

std::string StopReasonWords(int reason) {
  switch (reason) {
    case 1:
      return "converged: the log-likelihood changed less than its criterion";
    case 2:
      return "converged: the parameter estimates changed less than their criterion";
    case 3:
      return "converged: log-likelihood and parameter estimates changed less than their criteria";
    case 4:
      return "stopped: the information matrix is singular";
    case 5:
      return "stopped: step halving could not increase the log-likelihood further";
    case 6:
      return "stopped: the maximum number of iterations was reached";
    case 7:
      return "stopped: complete separation of the data";
    case 8:
      return "stopped: quasi-complete separation of the data";
    case 9:
      return "nothing to estimate: no iteration was run";
    default:
      return "unknown stop reason " + std::to_string(reason);
  }
}

void SetLogisticSettings(CodedModel& model, const LogisticOptions& options,
                         MCLogRegSettings& settings) {
  CheckOptions(options);
  const int nCodes = model.ResponseCategoryCount();
  // A reference the formula names (C(y, ref=...)) stands unless the options name another.
  const std::string& named = model.Layout().ResponseReference();
  if (!named.empty() && options.reference != "last" && options.reference != named) {
    throw InputError("--reference " + options.reference + " and the formula's reference '" +
                     named + "' disagree");
  }
  int refCode = -1;
  try {
    refCode = ReferenceCode(model, named.empty() ? options.reference : named);
  } catch (const InputError& e) {
    if (named.empty()) throw InputError(std::string("--reference: ") + e.what());
    model.Layout().FailAt(model.Request().dependent, e.what());
  }

  static_cast<MCRegSettings&>(settings) = model.Settings();
  // With fewer than two categories the library reports that itself (as a fit error).
  settings.SetDependentRefCat(refCode, nCodes < 2 ? 2 : nCodes);
  settings.SetMaxIterations(options.maxIterations);
  settings.SetMaxStepHalvingValue(options.maxStepHalving);
  settings.SetLLConCriterion(options.llCriterion);
  settings.SetParamEstConCriterion(options.paramCriterion);
  settings.SetUsePatternTabulator(options.patterns);
}

FitResult FitLogistic(CodedModel& model, const FitChoices& choices,
                      MCCommon::MCQueryCancel* cancel, ProgressListener* progress) {
  const LogisticOptions& options = choices.logistic;
  MCLogRegSettings settings;
  SetLogisticSettings(model, options, settings);
  settings.SetCancelPointer(cancel);
  settings.SetProgressListener(progress);

  const BuiltModel built = BuildComponent(settings, model, choices, cancel);
  auto* stats = dynamic_cast<MCLogOutputStats*>(built.stats);
  if (stats == nullptr) throw FitError("the model's statistics are not available");
  IMCRegComponent* component = built.component.get();
  FitResult result = StartResult("logistic", model, settings, *stats);

  // Categories in ascending order; the library's order puts the reference last.
  const std::vector<int>& libOrder = stats->GetDependCategories();
  std::vector<int> ascending(libOrder.begin(), libOrder.end());
  std::sort(ascending.begin(), ascending.end());
  for (int code : ascending) result.categories.push_back(model.ResponseText(code));
  if (!libOrder.empty()) result.reference = model.ResponseText(libOrder.back());
  const auto ascendingIndex = [&ascending](int code) {
    const auto at = std::find(ascending.begin(), ascending.end(), code);
    return at == ascending.end() ? -1 : static_cast<int>(at - ascending.begin());
  };

  AddParameters(model, *stats, result);
  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  for (std::size_t k = 0; k < result.parameters.size(); ++k) {
    ParameterResult& p = result.parameters[k];
    const int i = static_cast<int>(k);
    const double var = cov ? cov->GetElem(i, i) : -1.0;
    if (!p.redundant && var >= 0.0) {
      p.stdError = std::sqrt(var);
      if (var > 0.0) {
        const double wald = p.estimate * p.estimate / var;
        p.statistic = wald;
        p.df = 1.0;
        p.pValue = Present(MCCommonMath::MCDistFun::SigChi(wald, 1.0));
      }
    }
  }
  AddCovarianceInference(cov, 1.0, INFINITY, choices.confLevel, result);

  const int reason = stats->GetStopReason();
  // Only intercepts: their start values are the estimates, and no iteration runs.
  const bool startIsEstimate = reason == 9 && options.maxIterations > 0;
  result.converged = (reason >= 1 && reason <= 3) || startIsEstimate;
  const double ll0 = stats->GetInitialLogLikelihood();
  double ll = stats->GetFinalLogLikelihood();
  if (MCMV::IsMissing(ll) && startIsEstimate) ll = ll0;
  if (!MCMV::IsMissing(ll0)) result.initialMinus2LogLikelihood = Present(-2.0 * ll0);
  if (!MCMV::IsMissing(ll)) result.minus2LogLikelihood = Present(-2.0 * ll);
  result.coxSnell = Present(stats->GetModelFitStat(MCConst::kCoxSnellRSquare));
  result.nagelkerke = Present(stats->GetModelFitStat(MCConst::kNagelkerkeRSquare));
  result.mcFadden = Present(stats->GetModelFitStat(MCConst::kMcFaddenRSquare));
  result.iterations = stats->GetNIterations();
  result.stopReason = StopReasonWords(reason);

  AddAliasWarnings(model, result);
  for (const MCCommon::MCStatus& w : component->GetWarnings()) {
    result.warnings.push_back(StatusWords(w));
  }
  if (built.status.IsWarning() && component->GetWarnings().empty()) {
    result.warnings.push_back(StatusWords(built.status));
  }
  if (reason == 4 || (reason >= 6 && reason <= 8)) {
    result.warnings.push_back(StopReasonWords(reason) + "; the estimates may not be reliable");
  }

  // Every record through the fitted model once more: the classification table and the
  // weight of each category of the records the fit used, the predictions of all of them.
  const ModelLayout& layout = model.Layout();
  // Exact sums: the same whatever parts the records come in.
  std::vector<MCCommonMath::MCExactSum> categoryWeights(ascending.size());
  std::vector<double> contributions;
  std::vector<double> libProbabilities;
  std::vector<double> probabilities(ascending.size());
  PredictionSink* sink = choices.predictions;
  if (sink != nullptr) sink->Begin(result);
  std::int64_t index = 0;
  ForEachRecord(model, [&](const MCCommon::Record& record) {
    const double* v = record.GetAll();
    if (layout.Used(v)) {
      stats->AddToClassification(record, contributions);
      const int at = ascendingIndex(static_cast<int>(v[0]));
      if (at >= 0) categoryWeights[static_cast<std::size_t>(at)].Add(layout.Weight(v));
    }
    if (sink == nullptr) return;
    double predicted = -1.0;
    int category = -1;
    if (layout.Scorable(v) &&
        component->Score(record, predicted, libProbabilities).IsOK() && predicted >= 0.0 &&
        libProbabilities.size() == libOrder.size()) {
      category = ascendingIndex(static_cast<int>(predicted));
      for (std::size_t j = 0; j < libOrder.size(); ++j) {
        probabilities[static_cast<std::size_t>(ascendingIndex(libOrder[j]))] = libProbabilities[j];
      }
    }
    if (category < 0) std::fill(probabilities.begin(), probabilities.end(), std::nan(""));
    sink->Classified(index++, category, probabilities);
  });
  if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
  const MCCommonMath::MCRectMatrix& table = stats->GetClassificationTable();
  const std::size_t K = libOrder.size();
  // The table in the library's order, then the category weights: with parts, those of all.
  std::vector<MCCommonMath::MCExactSum> counts(K * K);
  if (table.GetNRows() == static_cast<int>(K)) {
    for (std::size_t i = 0; i < K * K; ++i) {
      counts[i].Add(table.GetElem(static_cast<int>(i / K), static_cast<int>(i % K)));
    }
  }
  counts.insert(counts.end(), categoryWeights.begin(), categoryWeights.end());
  if (choices.parts != nullptr) ReadFinalSums(choices.parts->FinalPass(FinalSums(counts)), counts);
  result.classification.assign(K, std::vector<double>(K, 0.0));
  for (std::size_t i = 0; i < K * K; ++i) {
    result.classification[static_cast<std::size_t>(ascendingIndex(libOrder[i / K]))]
                         [static_cast<std::size_t>(ascendingIndex(libOrder[i % K]))] =
        counts[i].Value();
  }

  if (result.minus2LogLikelihood && result.totalWeight > 0.0) {
    LogisticSums sums;
    sums.logLikelihood = -0.5 * *result.minus2LogLikelihood;
    for (std::size_t k = 0; k < categoryWeights.size(); ++k) {
      sums.categoryWeights.push_back(counts[K * K + k].Value());
    }
    sums.nObs = result.totalWeight;
    sums.rank = stats->GetRedundancyIndicators().InSet();
    sums.intercept = result.intercept;
    const LogisticSummary summary = SummarizeLogistic(sums);
    result.logLikelihood = summary.logLikelihood;
    result.aic = summary.aic;
    result.bic = summary.bic;
    result.nullLogLikelihood = summary.nullLogLikelihood;
    result.lrStatistic = summary.lrStatistic;
    result.lrDf = summary.lrDf;
    result.lrPValue = summary.lrPValue;
  }
  return result;
}

}  // namespace MCFrontEnd

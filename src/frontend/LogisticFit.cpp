#include "LogisticFit.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "IMCRegComponent.h"
#include "LinearFit.h"
#include "MCDistFun.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "RecordPass.h"
#include "Text.h"

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
  throw InputError("--reference: the dependent '" + model.Request().dependent +
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

FitResult FitLogistic(CodedModel& model, const LogisticOptions& options,
                      MCCommon::MCQueryCancel* cancel, ProgressListener* progress) {
  CheckOptions(options);
  const int nCodes = model.ResponseCategoryCount();
  const int refCode = ReferenceCode(model, options.reference);

  MCLogRegSettings settings;
  static_cast<MCRegSettings&>(settings) = model.Settings();
  // With fewer than two categories the library reports that itself (as a fit error).
  settings.SetDependentRefCat(refCode, nCodes < 2 ? 2 : nCodes);
  settings.SetMaxIterations(options.maxIterations);
  settings.SetMaxStepHalvingValue(options.maxStepHalving);
  settings.SetLLConCriterion(options.llCriterion);
  settings.SetParamEstConCriterion(options.paramCriterion);
  settings.SetUsePatternTabulator(options.patterns);
  settings.SetCancelPointer(cancel);
  settings.SetProgressListener(progress);

  const BuiltModel built = BuildComponent(settings, model);
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

  const std::vector<double>& estimates = stats->GetParamEstimates();
  const std::vector<MCRegrParameter>& parameters = stats->GetParameters();
  const MCCommonMath::MCBitSet& kept = stats->GetRedundancyIndicators();
  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  for (std::size_t k = 0; k < estimates.size(); ++k) {
    ParameterResult p;
    if (k < parameters.size()) {
      p.name = model.ParameterName(parameters[k]);
      p.cells = model.ParameterCells(parameters[k]);
      p.term = parameters[k].IsIntercept() ? -1 : parameters[k].GetEffectIndex();
      p.target = model.ResponseText(parameters[k].GetTargetCategory());
    }
    p.estimate = estimates[k];
    p.redundant = !kept.IsIn(static_cast<int>(k));
    const double var = cov ? cov->GetElem(static_cast<int>(k), static_cast<int>(k)) : -1.0;
    if (!p.redundant && var >= 0.0) {
      p.stdError = std::sqrt(var);
      if (var > 0.0) {
        const double wald = p.estimate * p.estimate / var;
        p.statistic = wald;
        p.df = 1.0;
        p.pValue = Present(MCCommonMath::MCDistFun::SigChi(wald, 1.0));
      }
    }
    result.parameters.push_back(std::move(p));
  }

  const double ll0 = stats->GetInitialLogLikelihood();
  const double ll = stats->GetFinalLogLikelihood();
  if (!MCMV::IsMissing(ll0)) result.initialMinus2LogLikelihood = Present(-2.0 * ll0);
  if (!MCMV::IsMissing(ll)) result.minus2LogLikelihood = Present(-2.0 * ll);
  result.coxSnell = Present(stats->GetModelFitStat(MCConst::kCoxSnellRSquare));
  result.nagelkerke = Present(stats->GetModelFitStat(MCConst::kNagelkerkeRSquare));
  result.mcFadden = Present(stats->GetModelFitStat(MCConst::kMcFaddenRSquare));
  result.iterations = stats->GetNIterations();
  const int reason = stats->GetStopReason();
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

  // The classification table: every record through the fitted model once more.
  std::vector<double> contributions;
  ForEachRecord(model, [&](const MCCommon::Record& record) {
    stats->AddToClassification(record, contributions);
  });
  if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
  const MCCommonMath::MCRectMatrix& table = stats->GetClassificationTable();
  const std::size_t K = libOrder.size();
  std::vector<std::size_t> at(K);  // library position -> ascending position
  for (std::size_t i = 0; i < K; ++i) {
    at[i] = static_cast<std::size_t>(std::find(ascending.begin(), ascending.end(), libOrder[i]) -
                                     ascending.begin());
  }
  result.classification.assign(K, std::vector<double>(K, 0.0));
  if (table.GetNRows() == static_cast<int>(K)) {
    for (std::size_t i = 0; i < K; ++i) {
      for (std::size_t j = 0; j < K; ++j) {
        result.classification[at[i]][at[j]] =
            table.GetElem(static_cast<int>(i), static_cast<int>(j));
      }
    }
  }
  return result;
}

}  // namespace MCFrontEnd

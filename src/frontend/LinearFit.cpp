#include "LinearFit.h"

#include <cmath>
#include <memory>
#include <sstream>

#include "Aliasing.h"
#include "IMCRegComponent.h"
#include "Inference.h"
#include "MCDistFun.h"
#include "MCExactSum.h"
#include "MCMV.h"
#include "MCPartialStats.h"
#include "MCRegFactory.h"
#include "ModelLayout.h"
#include "frontend/Parts.h"
#include "Precoded.h"
#include "RecordPass.h"

namespace MCFrontEnd {

namespace {

const char* CodeWords(long code) {
  switch (code) {
    case 1:
      return "cancelled";
    case 103:
      return "the XML parser could not be started";
    case 104:
    case 105:
    case 106:
      return "the document could not be parsed";
    case 107:
      return "no document has been read";
    case 108:
      return "a value in the document is missing or malformed";
    case 119:
      return "the settings document or the requested item is not available";
    case 120:
      return "a setting is absent; the default stands";
    case 121:
      return "the parameter holds a list where one value is expected";
    case 122:
      return "the parameter is marked as a list but holds none";
    case 123:
      return "an array is absent or empty";
    case 301:
      return "no dependent variable";
    case 302:
      return "no intercept and no model effects";
    case 303:
      return "the model is not ready for the pass that needs it";
    case 304:
      return "the record source promised a record that did not come";
    case 305:
      return "more parameters than the largest matrix allows";
    case 306:
      return "the data were already processed";
    case 307:
      return "no valid record to fit the model with";
    case 308:
      return "no record with a positive weight";
    case 309:
      return "the model has no parameters to estimate";
    case 310:
      return "the model is already built";
    case 311:
      return "no model has been built";
    case 312:
      return "the record source promised a record that did not come";
    case 313:
      return "a record could not be accumulated";
    case 314:
      return "a record without values";
    case 315:
      return "a record is shorter than the list of roles";
    case 316:
      return "a categorical value is not a whole number or exceeds its category limit";
    case 318:
      return "the dependent variable has fewer than two categories";
    case 319:
      return "the reference category does not occur; another category is used";
    case 320:
      return "partial statistics of a pass are cut short, corrupt, or of another model or "
             "settings";
    case 321:
      return "the pass over the parts failed";
    default:
      return "unexpected condition";
  }
}

}  // namespace

std::string StatusWords(const MCCommon::MCStatus& status) {
  std::ostringstream s;
  s << (status.IsError()     ? "error "
        : status.IsWarning() ? "warning "
                             : "status ")
    << status.GetErrorCode() << ": " << CodeWords(status.GetErrorCode());
  if (status.GetErrorCode() == 305) {
    s << " (" << status.GetDiscreteDatum(0) << " parameters, at most " << status.GetDiscreteDatum(1)
      << ")";
  } else if (status.GetErrorCode() == 316) {
    s << " (record position " << status.GetDiscreteDatum(1) << ", value " << status.GetScaleDatum(1)
      << ")";
  }
  return s.str();
}

ErrorStats ComputeErrorStats(double rmse, double totalFreqWeight, int nNonRedundant) {
  ErrorStats e;
  e.df = totalFreqWeight - nNonRedundant;
  e.rss = rmse * rmse * totalFreqWeight;
  e.variance = e.df > 0.0 ? e.rss / e.df : 0.0;
  return e;
}

void FillTStatistics(ParameterResult& p, double covKK, const ErrorStats& error) {
  if (p.redundant || error.df <= 0.0 || !(covKK >= 0.0)) return;
  const double se = std::sqrt(covKK * error.variance);
  p.stdError = se;
  p.df = error.df;
  if (se > 0.0) {
    const double t = p.estimate / se;
    p.statistic = t;
    const double upper = MCCommonMath::MCDistFun::SigT(std::fabs(t), error.df);
    if (!MCMV::IsMissing(upper)) p.pValue = 2.0 * upper;
  }
}

BuiltModel BuildComponent(MCRegSettings& settings, CodedModel& model, const FitChoices& choices,
                          MCCommon::MCQueryCancel* cancel) {
  MCRegFactory factory;
  BuiltModel built;
  built.component.reset(factory.CreateRegAlgorithm(settings));
  if (!built.component) {
    throw FitError("the model cannot be set up: " + StatusWords(factory.GetStatus()));
  }
  const std::vector<RecordRange> ranges =
      SplitRecords(model.SourceRecordCount(), choices.parts ? 1 : choices.threads);
  if (choices.parts != nullptr) {
    built.status = MCBuildModelInParts(*built.component, choices.parts->Runner());
    if (built.status.GetErrorCode() == 1) throw Cancelled();
  } else if (ranges.size() > 1) {
    built.runner = std::make_unique<ThreadRunner>(model, settings, ranges, cancel);
    built.status = MCBuildModelInParts(*built.component, *built.runner);
    if (built.status.GetErrorCode() == 1) throw Cancelled();
    built.runner->CheckRecords();
  } else {
    built.status = built.component->BuildModel(model.Records());
    if (built.status.GetErrorCode() == 1) throw Cancelled();
    model.CheckRecords();
  }
  if (built.status.IsError()) {
    throw FitError("the model cannot be fitted: " + StatusWords(built.status));
  }
  const MCCommon::MCStatus got = built.component->GetOutputStats(built.stats);
  if (got.IsError() || built.stats == nullptr) {
    throw FitError("the model's statistics are not available: " + StatusWords(got));
  }
  return built;
}

void AddAliasWarnings(const CodedModel& model, FitResult& result) {
  for (std::string& w : AliasWarnings(model.Terms(), model.Request().factors, result.parameters,
                                      result.intercept)) {
    result.warnings.push_back(std::move(w));
  }
}

FitResult StartResult(const std::string& kind, CodedModel& model, const MCRegSettings& settings,
                      IMCRegOutputStats& stats) {
  FitResult result;
  result.model = kind;
  result.intercept = settings.GetInterceptUse();
  result.source = model.Data().Source().Name();
  result.dependent = model.Request().dependent;
  result.terms = model.Layout().TermLabels();
  result.recordsRead = model.RecordsRead();
  result.recordsUsed = model.RecordsUsed();
  result.recordsNotFinite = model.RecordsNotFinite();
  result.totalWeight = stats.GetTotalFreqWeight();
  result.formula = result.dependent + " ~";
  std::string terms;
  for (const std::string& t : result.terms) terms += (terms.empty() ? " " : " + ") + t;
  result.formula += terms.empty() ? " 1" : terms;
  result.warnings = model.Layout().Warnings();
  return result;
}

void AddParameters(CodedModel& model, IMCRegOutputStats& stats, FitResult& result) {
  const std::vector<double>& estimates = stats.GetParamEstimates();
  const std::vector<MCRegrParameter>& parameters = stats.GetParameters();
  const MCCommonMath::MCBitSet& kept = stats.GetRedundancyIndicators();
  const bool logistic = result.model == "logistic";
  for (std::size_t k = 0; k < estimates.size(); ++k) {
    ParameterResult p;
    p.name = "?";
    if (k < parameters.size()) {
      p.name = model.ParameterName(parameters[k]);
      p.cells = model.ParameterCells(parameters[k]);
      p.term = parameters[k].IsIntercept() ? -1 : parameters[k].GetEffectIndex();
      if (logistic) p.target = model.ResponseText(parameters[k].GetTargetCategory());
    }
    p.estimate = estimates[k];
    p.redundant = !kept.IsIn(static_cast<int>(k));
    result.parameters.push_back(std::move(p));
  }
}

void AddCovarianceInference(const MCCommonMath::MCSymMatrixData* cov, double scale, double df,
                            double level, FitResult& result) {
  const int n = static_cast<int>(result.parameters.size());
  if (cov == nullptr || cov->GetNRows() != n || !(scale > 0.0)) return;
  result.confLevel = level;
  const bool normal = std::isinf(df);
  result.covariance.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), std::nan(""));
  std::vector<double> estimates;
  std::vector<int> terms;
  std::vector<bool> redundant;
  for (int i = 0; i < n; ++i) {
    ParameterResult& p = result.parameters[static_cast<std::size_t>(i)];
    estimates.push_back(p.estimate);
    terms.push_back(p.term);
    redundant.push_back(p.redundant);
    if (p.redundant) continue;
    for (int j = 0; j < n; ++j) {
      if (result.parameters[static_cast<std::size_t>(j)].redundant) continue;
      result.covariance[static_cast<std::size_t>(i) * static_cast<std::size_t>(n) +
                        static_cast<std::size_t>(j)] = cov->GetElem(i, j) * scale;
    }
    if (!p.stdError) continue;
    if (const auto ci = ConfidenceInterval(p.estimate, *p.stdError, level, df)) {
      p.confLow = ci->low;
      p.confHigh = ci->high;
    }
    if (!normal) continue;
    if (const auto odds = OddsRatioWithInterval(p.estimate, *p.stdError, level)) {
      p.oddsRatio = odds->ratio;
      p.oddsRatioLow = odds->interval.low;
      p.oddsRatioHigh = odds->interval.high;
    }
  }
  const int nTerms = static_cast<int>(result.terms.size());
  const std::vector<std::vector<int>> groups = ParametersOfEffects(terms, redundant, nTerms);
  for (int t = 0; t < nTerms; ++t) {
    const std::vector<int>& group = groups[static_cast<std::size_t>(t)];
    if (group.empty()) continue;
    std::optional<EffectTest> test = normal ? WaldChiSquareTest(estimates, *cov, group)
                                            : WaldFTest(estimates, *cov, scale, group, df);
    if (!test) continue;
    test->effect = result.terms[static_cast<std::size_t>(t)];
    result.effectTests.push_back(std::move(*test));
  }
}

FitResult FitLinear(CodedModel& model, const FitChoices& choices, MCCommon::MCQueryCancel* cancel) {
  MCRegSettings& settings = model.Settings();
  settings.SetCancelPointer(cancel);
  const BuiltModel built = BuildComponent(settings, model, choices, cancel);
  IMCRegOutputStats* stats = built.stats;
  FitResult result = StartResult("linear", model, settings, *stats);
  AddParameters(model, *stats, result);

  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  const int nKept = stats->GetRedundancyIndicators().InSet();
  const double rmse = stats->GetModelFitStat(MCConst::kRMSE);
  const ErrorStats error = ComputeErrorStats(rmse, result.totalWeight, nKept);
  for (std::size_t k = 0; k < result.parameters.size(); ++k) {
    const int i = static_cast<int>(k);
    FillTStatistics(result.parameters[k], cov ? cov->GetElem(i, i) : -1.0, error);
  }
  if (error.df > 0.0) {
    AddCovarianceInference(cov, error.variance, error.df, choices.confLevel, result);
  }

  // One pass over the records with the fitted values: the model sum of squares as R forms it
  // (about the weighted mean of the fitted values with an intercept, about 0 without), the
  // sum of f log r of the likelihood, and the predictions when asked. Exact sums: a pass split
  // over threads gives the one-thread numbers.
  const ModelLayout& layout = model.Layout();
  const int freq = layout.FrequencyPosition();
  const int regr = layout.RegressionPosition();
  struct Sums {
    MCCommonMath::MCExactSum w, wFitted, wFitted2, fLogR;
  };
  PredictionSink* sink = choices.predictions;
  if (sink != nullptr) sink->Begin(result);
  std::int64_t index = 0;
  // A record with its fitted value (NaN where the record lacks a predictor).
  const auto add = [&](const MCCommon::Record& record, double fitted, Sums& s) {
    const double* v = record.GetAll();
    if (layout.Used(v) && std::isfinite(fitted)) {
      const double f = freq >= 0 ? v[freq] : 1.0;
      const double r = regr >= 0 ? v[regr] : 1.0;
      const double w = f * r;
      s.w.Add(w);
      s.wFitted.AddProduct(w, fitted);
      s.wFitted2.AddProduct(w * fitted, fitted);
      if (regr >= 0) s.fLogR.AddProduct(f, std::log(r));
    }
    if (sink != nullptr) {
      const double residual = MCMV::IsMissing(v[0]) ? std::nan("") : v[0] - fitted;
      sink->Fitted(index++, fitted, residual);
    }
  };
  const auto finite = [&](const MCCommon::Record& record, const MCCommon::MCStatus& status,
                          double fitted) {
    return status.IsOK() && layout.Scorable(record.GetAll()) && !MCMV::IsMissing(fitted)
               ? fitted
               : std::nan("");
  };
  std::vector<Sums> parts(built.runner ? static_cast<std::size_t>(built.runner->Parts()) : 1);
  if (built.runner) {
    // The parts' workers hold the estimates; with predictions the parts go in order.
    built.runner->ForEachPart(
        [&](int i, MCCommon::MultiPassRecordIter& records, MCPartWorker& worker) {
          ForEachRecordOf(records, [&](const MCCommon::Record& record) {
            double fitted = 0.0;
            const MCCommon::MCStatus status = worker.Predict(record, fitted);
            add(record, finite(record, status, fitted), parts[static_cast<std::size_t>(i)]);
          });
        },
        sink != nullptr);
    built.runner->CheckRecords();
  } else {
    std::vector<double> unused;
    ForEachRecord(model, [&](const MCCommon::Record& record) {
      double fitted = 0.0;
      const MCCommon::MCStatus status = built.component->Score(record, fitted, unused);
      add(record, finite(record, status, fitted), parts[0]);
    });
  }
  if (cancel != nullptr && cancel->WillCancel()) throw Cancelled();
  Sums all;
  for (const Sums& part : parts) {
    all.w.Merge(part.w);
    all.wFitted.Merge(part.wFitted);
    all.wFitted2.Merge(part.wFitted2);
    all.fLogR.Merge(part.fLogR);
  }
  if (choices.parts != nullptr) {
    std::vector<MCCommonMath::MCExactSum> sums = {all.w, all.wFitted, all.wFitted2, all.fLogR};
    ReadFinalSums(choices.parts->FinalPass(FinalSums(sums)), sums);
    all = Sums{sums[0], sums[1], sums[2], sums[3]};
  }
  const double aboutMean = all.wFitted2.SquaresAboutMean(all.wFitted, all.w);
  const double aboutZero = all.wFitted2.Value();
  const double sumLogR = all.fLogR.Value();

  LinearSums sums;
  sums.rss = error.rss;
  sums.mss = result.intercept ? aboutMean : aboutZero;
  sums.nObs = result.totalWeight;
  sums.sumLogRegWeights = sumLogR;
  sums.rank = nKept;
  sums.intercept = result.intercept;
  if (std::isfinite(sums.rss) && std::isfinite(sums.mss) && sums.nObs > 0.0) {
    const LinearSummary summary = SummarizeLinear(sums);
    result.rSquared = summary.rSquared;
    result.rSquaredAdj = summary.rSquaredAdj;
    result.fStatistic = summary.fStatistic;
    result.fDf1 = summary.fDf1;
    result.fDf2 = summary.fDf2;
    result.fPValue = summary.fPValue;
    result.logLikelihood = summary.logLikelihood;
    result.aic = summary.aic;
    result.bic = summary.bic;
  }
  if (!MCMV::IsMissing(rmse)) result.rmse = rmse;
  result.dfError = error.df;
  if (error.df > 0.0) result.residualStdError = std::sqrt(error.variance);
  AddAliasWarnings(model, result);
  for (const MCCommon::MCStatus& w : built.component->GetWarnings()) {
    result.warnings.push_back(StatusWords(w));
  }
  if (error.df <= 0.0) {
    result.warnings.push_back(
        "no degrees of freedom are left for the error term: "
        "standard errors and tests are not available");
  }
  return result;
}

}  // namespace MCFrontEnd

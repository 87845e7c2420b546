#include "LinearFit.h"

#include <cmath>
#include <memory>
#include <sstream>

#include "IMCRegComponent.h"
#include "MCDistFun.h"
#include "MCMV.h"
#include "Aliasing.h"
#include "MCRegFactory.h"
#include "Precoded.h"

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

BuiltModel BuildComponent(MCRegSettings& settings, CodedModel& model) {
  MCRegFactory factory;
  BuiltModel built;
  built.component.reset(factory.CreateRegAlgorithm(settings));
  if (!built.component) {
    throw FitError("the model cannot be set up: " + StatusWords(factory.GetStatus()));
  }
  built.status = built.component->BuildModel(model.Records());
  if (built.status.GetErrorCode() == 1) throw Cancelled();
  model.CheckRecords();
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
  result.recordsRead = model.RecordsRead();
  result.recordsUsed = model.RecordsUsed();
  result.totalWeight = stats.GetTotalFreqWeight();
  result.formula = model.Request().dependent + " ~";
  std::string terms;
  for (const Term& t : model.Terms()) terms += (terms.empty() ? " " : " + ") + t.Text();
  result.formula += terms.empty() ? " 1" : terms;
  return result;
}

FitResult FitLinear(CodedModel& model, MCCommon::MCQueryCancel* cancel) {
  MCRegSettings& settings = model.Settings();
  settings.SetCancelPointer(cancel);
  const BuiltModel built = BuildComponent(settings, model);
  IMCRegOutputStats* stats = built.stats;
  FitResult result = StartResult("linear", model, settings, *stats);

  const std::vector<double>& estimates = stats->GetParamEstimates();
  const std::vector<MCRegrParameter>& parameters = stats->GetParameters();
  const MCCommonMath::MCBitSet& kept = stats->GetRedundancyIndicators();
  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  const int nKept = kept.InSet();
  const double rmse = stats->GetModelFitStat(MCConst::kRMSE);
  const ErrorStats error = ComputeErrorStats(rmse, result.totalWeight, nKept);

  for (std::size_t k = 0; k < estimates.size(); ++k) {
    ParameterResult p;
    p.name = k < parameters.size() ? model.ParameterName(parameters[k]) : "?";
    if (k < parameters.size()) {
      p.cells = model.ParameterCells(parameters[k]);
      p.term = parameters[k].IsIntercept() ? -1 : parameters[k].GetEffectIndex();
    }
    p.estimate = estimates[k];
    p.redundant = !kept.IsIn(static_cast<int>(k));
    const double covKK = cov ? cov->GetElem(static_cast<int>(k), static_cast<int>(k)) : -1.0;
    FillTStatistics(p, covKK, error);
    result.parameters.push_back(p);
  }
  const double r2 = stats->GetModelFitStat(MCConst::kRSquare);
  if (!MCMV::IsMissing(r2)) result.rSquared = r2;
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

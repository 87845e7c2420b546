#include "Inference.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "MCDistFun.h"
#include "MCMV.h"

namespace MCFrontEnd {

namespace {

using MCCommonMath::MCDistFun;

// Relative pivot below which a parameter of a tested block counts as dependent on the others,
// the library's default singularity tolerance.
constexpr double kBlockTolerance = 1e-12;

void Require(bool ok, const char* what) {
  if (!ok) throw std::invalid_argument(std::string("inference: ") + what);
}

// A distribution function's answer, empty when it is the missing value.
std::optional<double> Known(double v) {
  if (MCMV::IsMissing(v) || std::isnan(v)) return std::nullopt;
  return v;
}

// W = b' (scale V)^-1 b over the listed parameters, with the rank of their block.
struct Quadratic {
  double value = 0.0;
  int rank = 0;
};

std::optional<Quadratic> WaldQuadratic(const std::vector<double>& estimates,
                                       const MCCommonMath::MCSymMatrixData& covariance,
                                       double scale, const std::vector<int>& parameters) {
  Require(std::isfinite(scale) && scale > 0.0, "the covariance scale must be positive");
  const int q = static_cast<int>(parameters.size());
  for (const int k : parameters) {
    Require(k >= 0 && static_cast<std::size_t>(k) < estimates.size() && k < covariance.GetNRows(),
            "a tested parameter lies outside the estimates or the covariance matrix");
  }
  if (q == 0) return std::nullopt;
  MCCommonMath::MCSymMatrix block(q);
  std::vector<double> b(static_cast<std::size_t>(q));
  for (int i = 0; i < q; ++i) {
    b[static_cast<std::size_t>(i)] = estimates[static_cast<std::size_t>(parameters[i])];
    if (!std::isfinite(b[static_cast<std::size_t>(i)])) return std::nullopt;
    for (int j = 0; j <= i; ++j) {
      const double v = covariance.GetElem(parameters[i], parameters[j]);
      if (MCMV::IsMissing(v) || !std::isfinite(v)) return std::nullopt;
      block.SetElem(i, j, scale * v);
    }
  }
  std::vector<double> x;
  const int dependent = block.LTSolve(b, kBlockTolerance, x);
  if (dependent < 0 || dependent >= q) return std::nullopt;
  Quadratic w;
  w.rank = q - dependent;
  for (int i = 0; i < q; ++i)
    w.value += b[static_cast<std::size_t>(i)] * x[static_cast<std::size_t>(i)];
  return w;
}

}  // namespace

LinearSummary SummarizeLinear(const LinearSums& s) {
  Require(std::isfinite(s.rss) && s.rss >= 0.0, "the residual sum of squares must be >= 0");
  Require(std::isfinite(s.mss) && s.mss >= 0.0, "the model sum of squares must be >= 0");
  Require(std::isfinite(s.nObs) && s.nObs > 0.0, "the number of observations must be > 0");
  Require(std::isfinite(s.sumLogRegWeights), "the sum of log regression weights must be finite");
  Require(s.rank >= 0, "the rank must be >= 0");

  LinearSummary out;
  const double n = s.nObs;
  const double rdf = n - s.rank;
  const int dfInt = s.intercept ? 1 : 0;
  out.dfResidual = rdf;
  const bool haveDf = rdf > 0.0;
  const double resvar = haveDf ? s.rss / rdf : 0.0;
  if (haveDf) out.sigma = std::sqrt(resvar);

  if (s.rank <= dfInt) {
    // Nothing beyond the intercept: R reports 0 for both and no F test.
    out.rSquared = 0.0;
    out.rSquaredAdj = 0.0;
  } else {
    if (s.mss + s.rss > 0.0) {
      out.rSquared = s.mss / (s.mss + s.rss);
      if (haveDf) out.rSquaredAdj = 1.0 - (1.0 - *out.rSquared) * ((n - dfInt) / rdf);
    }
    if (haveDf && s.rss > 0.0) {
      const double df1 = s.rank - dfInt;
      const double f = (s.mss / df1) / resvar;
      out.fStatistic = f;
      out.fDf1 = df1;
      out.fDf2 = rdf;
      out.fPValue = Known(MCDistFun::SigF(f, df1, rdf));
    }
  }

  if (s.rss > 0.0) {
    const double pi = std::acos(-1.0);
    const double ll =
        0.5 * (s.sumLogRegWeights - n * (std::log(2 * pi) + 1 - std::log(n) + std::log(s.rss)));
    const double df = s.rank + 1.0;  // the estimates and the residual variance
    out.logLikelihood = ll;
    out.aic = -2.0 * ll + 2.0 * df;
    out.bic = -2.0 * ll + std::log(n) * df;
  }
  return out;
}

LogisticSummary SummarizeLogistic(const LogisticSums& s) {
  Require(std::isfinite(s.logLikelihood), "the log-likelihood must be finite");
  Require(std::isfinite(s.nObs) && s.nObs > 0.0, "the number of observations must be > 0");
  Require(s.rank >= 0, "the rank must be >= 0");
  double total = 0.0;
  int k = 0;
  for (const double w : s.categoryWeights) {
    Require(std::isfinite(w) && w >= 0.0, "category weights must be finite and >= 0");
    total += w;
    if (w > 0.0) ++k;
  }
  Require(k > 0, "no response category has a positive weight");

  LogisticSummary out;
  out.logLikelihood = s.logLikelihood;
  out.aic = -2.0 * s.logLikelihood + 2.0 * s.rank;
  out.bic = -2.0 * s.logLikelihood + std::log(s.nObs) * s.rank;
  double df = s.rank;
  if (s.intercept) {
    for (const double w : s.categoryWeights) {
      if (w > 0.0) out.nullLogLikelihood += w * std::log(w / total);
    }
    df -= k - 1;
  } else {
    out.nullLogLikelihood = total * std::log(1.0 / k);
  }
  if (df > 0.0) {
    const double lr = 2.0 * (s.logLikelihood - out.nullLogLikelihood);
    out.lrStatistic = lr;
    out.lrDf = df;
    out.lrPValue = Known(MCDistFun::SigChi(lr, df));
  }
  return out;
}

std::optional<Interval> ConfidenceInterval(double estimate, double stdError, double level,
                                           double df) {
  if (!(level > 0.0 && level < 1.0) || !(df > 0.0) || !std::isfinite(estimate) ||
      !std::isfinite(stdError) || stdError < 0.0) {
    return std::nullopt;
  }
  // As R: the two quantiles of a and 1 - a, each added to the estimate.
  const double a = (1.0 - level) / 2.0;
  const bool normal = std::isinf(df);
  const auto lo = Known(normal ? MCDistFun::IdfStdNorm(a) : MCDistFun::IdfT(a, df));
  const auto hi = Known(normal ? MCDistFun::IdfStdNorm(1.0 - a) : MCDistFun::IdfT(1.0 - a, df));
  if (!lo || !hi) return std::nullopt;
  return Interval{estimate + stdError * *lo, estimate + stdError * *hi};
}

std::optional<OddsRatio> OddsRatioWithInterval(double estimate, double stdError, double level) {
  const auto ci = ConfidenceInterval(estimate, stdError, level, INFINITY);
  if (!ci) return std::nullopt;
  return OddsRatio{std::exp(estimate), Interval{std::exp(ci->low), std::exp(ci->high)}};
}

std::vector<std::vector<int>> ParametersOfEffects(const std::vector<int>& effectOfParameter,
                                                  const std::vector<bool>& redundant,
                                                  int nEffects) {
  Require(effectOfParameter.size() == redundant.size(),
          "one redundancy flag per parameter is needed");
  std::vector<std::vector<int>> out(static_cast<std::size_t>(std::max(nEffects, 0)));
  for (std::size_t k = 0; k < effectOfParameter.size(); ++k) {
    const int e = effectOfParameter[k];
    if (e >= 0 && e < nEffects && !redundant[k]) {
      out[static_cast<std::size_t>(e)].push_back(static_cast<int>(k));
    }
  }
  return out;
}

std::optional<EffectTest> WaldFTest(const std::vector<double>& estimates,
                                    const MCCommonMath::MCSymMatrixData& covariance, double scale,
                                    const std::vector<int>& parameters, double dfResidual) {
  const auto w = WaldQuadratic(estimates, covariance, scale, parameters);
  if (!w || !(dfResidual > 0.0)) return std::nullopt;
  EffectTest t;
  t.df1 = w->rank;
  t.df2 = dfResidual;
  t.statistic = w->value / w->rank;
  const auto p = Known(MCDistFun::SigF(t.statistic, t.df1, dfResidual));
  if (!p) return std::nullopt;
  t.pValue = *p;
  return t;
}

std::optional<EffectTest> WaldChiSquareTest(const std::vector<double>& estimates,
                                            const MCCommonMath::MCSymMatrixData& covariance,
                                            const std::vector<int>& parameters) {
  const auto w = WaldQuadratic(estimates, covariance, 1.0, parameters);
  if (!w) return std::nullopt;
  EffectTest t;
  t.df1 = w->rank;
  t.statistic = w->value;
  const auto p = Known(MCDistFun::SigChi(t.statistic, t.df1));
  if (!p) return std::nullopt;
  t.pValue = *p;
  return t;
}

}  // namespace MCFrontEnd

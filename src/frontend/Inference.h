#ifndef MCSTAT_FRONTEND_INFERENCE_H_
#define MCSTAT_FRONTEND_INFERENCE_H_

#include <optional>
#include <vector>

#include "MCSymMatrix.h"
#include "frontend/FitResult.h"
#include "frontend/mcfrontend_export.h"

// The inference statisticians read beside the estimates, computed from numbers a fit gives:
// overall tests, likelihoods and information criteria as R computes them, confidence
// intervals, and Wald tests of effects. Pure functions; statistics that do not apply are
// empty. Arguments outside their domain (a negative sum of squares, a NaN) give
// std::invalid_argument naming the argument.
//
// Weights. A frequency weight f replicates its record f times; a regression weight r is a
// precision weight (the record's variance is sigma^2 / r in the linear model, its
// log-likelihood counts r times in the logistic model). Observations are counted as the sum
// of the frequency weights, which is R's count once the records are replicated.
namespace MCFrontEnd {

// What a linear fit gives for its overall statistics. With weights, every sum is over the
// records with weight f r.
struct LinearSums {
  double rss = 0.0;   // residual sum of squares: sum of f r e^2
  double mss = 0.0;   // model sum of squares: sum of f r (fitted - m)^2 with m the weighted
                      // mean of the fitted values with an intercept, m = 0 without
  double nObs = 0.0;  // observations: the sum of the frequency weights of the records used
  double sumLogRegWeights = 0.0;  // sum of f log r; 0 without regression weights
  int rank = 0;                   // non-redundant parameters, the intercept included
  bool intercept = true;
};

struct LinearSummary {
  double dfResidual = 0.0;            // nObs - rank
  std::optional<double> sigma;        // residual standard error, sqrt(rss / df)
  std::optional<double> rSquared;     // mss / (mss + rss)
  std::optional<double> rSquaredAdj;  // 1 - (1 - R^2) (n - i) / df, i = 1 with intercept
  std::optional<double> fStatistic;   // (mss / df1) / (rss / df2)
  std::optional<double> fDf1;         // rank - i
  std::optional<double> fDf2;         // df
  std::optional<double> fPValue;
  std::optional<double> logLikelihood;  // R's logLik.lm
  std::optional<double> aic;            // -2 logLik + 2 (rank + 1)
  std::optional<double> bic;            // -2 logLik + log(n) (rank + 1)
};

// The overall statistics of a linear fit as summary.lm, logLik, AIC and BIC give them:
// with weights the log-likelihood is
//   (sum f log r - n (log 2 pi + 1 - log n + log rss)) / 2,  n = nObs,
// R's formula for prior weights applied to the replicated records. A model of the intercept
// alone (rank equal to the intercept's count) has R squared and adjusted R squared 0 and no
// F test; no residual degrees of freedom leave sigma, the adjusted R squared and the F test
// empty; a perfect fit (rss 0) leaves the F test and the likelihoods empty.
MCFRONTEND_EXPORT LinearSummary SummarizeLinear(const LinearSums& sums);

// What a logistic fit gives for its overall statistics.
struct LogisticSums {
  double logLikelihood = 0.0;           // sum of f r log p(observed category)
  std::vector<double> categoryWeights;  // sum of f r per response category
  double nObs = 0.0;                    // the sum of the frequency weights of the records used
  int rank = 0;                         // non-redundant parameters
  bool intercept = true;
};

struct LogisticSummary {
  double logLikelihood = 0.0;
  double aic = 0.0;                   // -2 logLik + 2 rank
  double bic = 0.0;                   // -2 logLik + log(n) rank
  double nullLogLikelihood = 0.0;     // of the model the likelihood-ratio test compares with
  std::optional<double> lrStatistic;  // 2 (logLik - null logLik)
  std::optional<double> lrDf;         // rank - (K - 1) with intercept, rank without
  std::optional<double> lrPValue;     // upper chi-square tail
};

// The overall statistics of a logistic fit, as R's logLik, AIC and BIC give them for glm and
// nnet::multinom, and the likelihood-ratio test against the intercept-only model, whose
// log-likelihood comes from the category weights: sum w_j log(w_j / W) over the K categories
// with positive weight. Without intercept the comparison is, as glm's null deviance, the model
// whose linear predictors are all 0: W log(1 / K). No degrees of freedom left for the test
// (an intercept-only model) leave it empty.
MCFRONTEND_EXPORT LogisticSummary SummarizeLogistic(const LogisticSums& sums);

// A two-sided interval.
struct Interval {
  double low = 0.0;
  double high = 0.0;
};

// estimate + stdError q_a and estimate + stdError q_{1-a}, a = (1 - level) / 2, with q the
// Student t quantiles of df degrees of freedom (R's confint.lm), or the standard normal ones
// when df is infinite (confint.default: Wald intervals). Empty unless 0 < level < 1,
// df > 0 and stdError >= 0 is finite.
MCFRONTEND_EXPORT std::optional<Interval> ConfidenceInterval(double estimate, double stdError,
                                                             double level, double df);

// exp(estimate) with the Wald interval of the given level carried through exp: the odds ratio
// and its interval. Empty where ConfidenceInterval is.
struct OddsRatio {
  double ratio = 0.0;
  Interval interval;
};
MCFRONTEND_EXPORT std::optional<OddsRatio> OddsRatioWithInterval(double estimate, double stdError,
                                                                 double level);

// The non-redundant parameters of each effect: parameter k belongs to effect
// effectOfParameter[k]; those with an index outside [0, nEffects) (the intercept) and the
// redundant ones are left out. std::invalid_argument when the lists differ in length.
MCFRONTEND_EXPORT std::vector<std::vector<int>> ParametersOfEffects(
    const std::vector<int>& effectOfParameter, const std::vector<bool>& redundant, int nEffects);

// The joint tests of the parameters of one effect (EffectTest, without its name):
// W = b' (scale V)^-1 b over the listed parameters, b their estimates and V their block of the
// covariance matrix; parameters whose block is singular count for nothing (df1 is the block's
// rank). The F test of a linear model: statistic W / df1 on (df1, dfResidual) degrees of
// freedom, scale the residual variance when the covariance is unscaled (X'WX)^-1, 1 when it
// is already scaled; for a model of main effects it is R's drop1(test = "F"). Empty when no
// parameter is left, dfResidual is not positive, or an estimate or covariance is not finite.
// std::invalid_argument for a parameter outside the estimates or the matrix.
MCFRONTEND_EXPORT std::optional<EffectTest> WaldFTest(
    const std::vector<double>& estimates, const MCCommonMath::MCSymMatrixData& covariance,
    double scale, const std::vector<int>& parameters, double dfResidual);

// The chi-square test of a logistic model: W on df1 degrees of freedom, V the covariance as
// it is. Empty as for WaldFTest.
MCFRONTEND_EXPORT std::optional<EffectTest> WaldChiSquareTest(
    const std::vector<double>& estimates, const MCCommonMath::MCSymMatrixData& covariance,
    const std::vector<int>& parameters);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_INFERENCE_H_

#ifndef MCSTAT_FRONTEND_FITRESULT_H_
#define MCSTAT_FRONTEND_FITRESULT_H_

#include <optional>
#include <string>
#include <vector>

namespace MCFrontEnd {

// One predictor of a parameter: a factor at one of its categories, or a covariate (category
// empty; a covariate appearing twice in a product is listed twice).
struct PredictorCell {
  std::string variable;
  std::string category;
  bool factor = false;
};

// One estimated parameter as the report and the JSON show it. Statistics that do not apply
// (a redundant parameter, no error degrees of freedom) are empty.
struct ParameterResult {
  std::string name;
  std::optional<std::string> target;  // response category (logistic model)
  std::vector<PredictorCell> cells;   // empty for the intercept
  int term = -1;                      // its term in the model's terms; -1: the intercept
  double estimate = 0.0;
  bool redundant = false;
  std::optional<double> stdError;
  std::optional<double> statistic;  // t (linear) or Wald (logistic)
  std::optional<double> df;
  std::optional<double> pValue;
  // The confidence interval at the fit's level: Student t on the error degrees of freedom
  // (linear, R's confint), normal (logistic, R's confint.default).
  std::optional<double> confLow;
  std::optional<double> confHigh;
  // Logistic model: exp(estimate) and the interval carried through exp.
  std::optional<double> oddsRatio;
  std::optional<double> oddsRatioLow;
  std::optional<double> oddsRatioHigh;
};

// The joint Wald test of the non-redundant parameters of one term (all targets of a logistic
// model): F = W / df1 on (df1, df2) degrees of freedom for the linear model (R's drop1 F test
// for a model of main effects), chi-square W on df1 for the logistic model (df2 empty).
struct EffectTest {
  std::string effect;  // the term as written, e.g. "C(cyl):C(am)"
  double statistic = 0.0;
  double df1 = 0.0;  // parameters tested: the rank of their covariance block
  std::optional<double> df2;
  double pValue = 0.0;
};

// A fitted model, independent of the library objects that produced it. Every statistic is
// computed once by the front end, for every interface to show alike; what does not apply is
// empty.
struct FitResult {
  std::string model = "linear";
  std::string source;     // data file
  std::string formula;    // e.g. "y ~ A + x + A:x"
  std::string dependent;  // the response as the model names it ("y", "log(y)")
  // The terms in model order as written ("C(cyl)", "wt^2", "A:x"); ParameterResult::term
  // indexes this list.
  std::vector<std::string> terms;
  bool intercept = true;
  long recordsRead = 0;
  long recordsUsed = 0;
  long recordsNotFinite = 0;  // not used: a derived covariate's value is not finite
  double totalWeight = 0.0;
  double confLevel = 0.95;  // of the intervals
  bool converged = true;    // the logistic estimation converged (always for the linear model)
  std::vector<std::string> categories;  // response categories (logistic model)
  std::vector<ParameterResult> parameters;
  // The covariance matrix of the estimates, n x n in parameter order, row by row (R's vcov:
  // scaled by the residual variance for the linear model); NaN in the rows and columns of
  // redundant parameters; empty when the fit has none.
  std::vector<double> covariance;
  std::vector<EffectTest> effectTests;  // one per term with a non-redundant parameter
  std::optional<double> rSquared;
  std::optional<double> rSquaredAdj;
  std::optional<double> fStatistic;  // overall F test of the linear model
  std::optional<double> fDf1;
  std::optional<double> fDf2;
  std::optional<double> fPValue;
  std::optional<double> logLikelihood;  // as R's logLik; AIC and BIC from it
  std::optional<double> aic;
  std::optional<double> bic;
  std::optional<double> nullLogLikelihood;  // logistic: of the intercept-only model
  std::optional<double> lrStatistic;  // logistic: likelihood ratio against intercept only
  std::optional<double> lrDf;
  std::optional<double> lrPValue;
  std::optional<double> rmse;
  std::optional<double> residualStdError;
  std::optional<double> dfError;
  std::optional<double> minus2LogLikelihood;
  std::optional<double> initialMinus2LogLikelihood;
  std::optional<double> coxSnell;
  std::optional<double> nagelkerke;
  std::optional<double> mcFadden;
  std::optional<int> iterations;
  std::optional<std::string> stopReason;
  std::vector<std::string> warnings;  // in words
  // Logistic model: the reference category, and the weighted classification counts (rows
  // observed, columns predicted, both in the order of categories).
  std::optional<std::string> reference;
  std::vector<std::vector<double>> classification;
  // --collinearity: eigenvalues of the scaled cross-product matrix of the non-redundant
  // parameters (descending) and their condition indices sqrt(largest / eigenvalue), NaN where
  // the eigenvalue is not positive.
  bool collinearity = false;
  std::vector<double> eigenvalues;
  std::vector<double> conditionIndices;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_FITRESULT_H_

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
};

// A fitted model, independent of the library objects that produced it.
struct FitResult {
  std::string model = "linear";
  std::string source;   // data file
  std::string formula;  // e.g. "y ~ A + x + A*x"
  bool intercept = true;
  long recordsRead = 0;
  long recordsUsed = 0;
  double totalWeight = 0.0;
  std::vector<std::string> categories;  // response categories (logistic model)
  std::vector<ParameterResult> parameters;
  std::optional<double> rSquared;
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

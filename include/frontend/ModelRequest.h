#ifndef MCSTAT_FRONTEND_MODELREQUEST_H_
#define MCSTAT_FRONTEND_MODELREQUEST_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// One model term: variables (factors and covariates, by name) multiplied, in the order
// written. A covariate named twice is a power; a factor may appear once.
struct Term {
  std::vector<std::string> names;
  std::string label;  // as a formula writes it ("A:x", "x^2"); may be empty
  // The label, or when there is none the names joined by '*'.
  MCFRONTEND_EXPORT std::string Text() const;
};

// A covariate computed for each record from numeric columns, such as log(x) or x^2. A record
// whose value is not finite (or that misses an input) is not used, as a record with a
// missing value is not. Evaluate must be safe to call from several threads at once.
struct DerivedCovariate {
  std::string name;                 // how terms and parameter names refer to it
  std::vector<std::string> inputs;  // the columns it reads, as numbers, in this order
  std::function<double(const double* inputs)> evaluate;
};

// What the user asked to fit, by column names: a model formula, or the dependent with the
// factors and covariates and the terms over them.
struct ModelRequest {
  std::string model = "linear";  // "linear" or "logistic"
  // A formula in the notation of R and patsy, "y ~ A*B + x + I(x^2) + log(z) + C(d, ref=2)":
  // it names the dependent, the terms and the intercept, so dependent, factors, covariates,
  // derived, effects and terms stay empty and intercept true. A column holding text is a
  // factor, a numeric one a covariate, C() makes a factor; arithmetic gives derived
  // covariates computed per record; C(y, ref=...) names a logistic model's reference.
  std::string formula;
  std::string dependent;
  std::vector<std::string> factors;
  // Columns, or names of derived covariates.
  std::vector<std::string> covariates;
  std::vector<DerivedCovariate> derived;
  // Terms as text ("A", "A*x", "x*x"); parsed when `terms` is empty. Both empty: the main
  // effects of all factors and covariates.
  std::vector<std::string> effects;
  std::vector<Term> terms;
  // The category of a factor to code last (the library's reference), by factor name, as
  // written in the data; by default the last category in ascending order.
  std::map<std::string, std::string> references;
  std::string freqWeight;
  std::string regrWeight;
  bool intercept = true;
  double tolerance = 1e-12;
};

// The choices of a multinomial logistic fit; the defaults are the library's.
struct LogisticOptions {
  std::string reference = "last";  // "last", "first" or a response category as in the data
  int maxIterations = 100;
  int maxStepHalving = 5;
  double llCriterion = 0.0;
  double paramCriterion = 1e-6;
  bool patterns = false;  // group the records into covariate patterns first
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_MODELREQUEST_H_

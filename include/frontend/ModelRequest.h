#ifndef MCSTAT_FRONTEND_MODELREQUEST_H_
#define MCSTAT_FRONTEND_MODELREQUEST_H_

#include <string>
#include <vector>

namespace MCFrontEnd {

// What the user asked to fit, by column names.
struct ModelRequest {
  std::string model = "linear";  // "linear" or "logistic"
  std::string dependent;
  std::vector<std::string> factors;
  std::vector<std::string> covariates;
  std::vector<std::string> effects;  // terms such as "A*x"; empty: main effects of all
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

#include "Settings.h"

#include <fstream>
#include <vector>

#include "LinearFit.h"
#include "MCSettingsParser.h"

namespace MCFrontEnd {

namespace {

// OK, or a warning that the parameter is absent or empty: the caller's default stands.
bool Found(const MCCommon::MCStatus& status, const std::string& name, const std::string& source) {
  if (status.IsError()) {
    throw InputError(source + ": settings parameter \"" + name + "\": " + StatusWords(status));
  }
  return status.IsOK();
}

}  // namespace

void ApplySettings(std::istream& in, const std::string& source, FitOptions& o) {
  MCComXPrsUtil::MCSettingsParser parser;
  const MCCommon::MCStatus parsed = parser.ParseToDOM(in);
  if (parsed.IsError()) throw InputError(source + ": " + StatusWords(parsed));

  ModelRequest& request = o.request;
  std::vector<std::string> list;
  std::string text;
  if (Found(parser.GetTargetVars(list), "target", source) && !list.empty() &&
      request.dependent.empty()) {
    request.dependent = list.front();
  }
  list.clear();
  if (Found(parser.GetCatPredictors(list), "CatPredictors", source) && request.factors.empty()) {
    request.factors = list;
  }
  list.clear();
  if (Found(parser.GetContPredictors(list), "ContPredictors", source) &&
      request.covariates.empty()) {
    request.covariates = list;
  }
  if (Found(parser.GetFrequencyWeight(text), "FrequencyWeightVar", source) &&
      request.freqWeight.empty()) {
    request.freqWeight = text;
  }
  text.clear();
  if (Found(parser.GetVariables("RegressionWeightVar", text), "RegressionWeightVar", source) &&
      request.regrWeight.empty()) {
    request.regrWeight = text;
  }
  list.clear();
  if (Found(parser.GetArray("Effects", list), "Effects", source) && request.effects.empty()) {
    request.effects = list;
  }
  bool intercept = true;
  if (Found(parser.GetParameter("Intercept", intercept), "Intercept", source) &&
      !o.interceptGiven) {
    request.intercept = intercept;
  }
  double tolerance = 0.0;
  if (Found(parser.GetParameter("Tolerance", tolerance), "Tolerance", source) &&
      !o.toleranceGiven) {
    request.tolerance = tolerance;
  }
  text.clear();
  if (Found(parser.GetParameter("ModelType", text), "ModelType", source) && !o.modelGiven) {
    request.model = text;
  }

  // The logistic choices; an option given on the command line wins.
  LogisticOptions& logistic = o.logistic;
  auto fromFile = [&](const char* option) { return o.logisticGiven.count(option) == 0; };
  text.clear();
  if (Found(parser.GetParameter("ReferenceCategory", text), "ReferenceCategory", source) &&
      fromFile("--reference")) {
    logistic.reference = text;
  }
  int count = 0;
  if (Found(parser.GetParameter("MaxIterations", count), "MaxIterations", source) &&
      fromFile("--max-iterations")) {
    logistic.maxIterations = count;
  }
  if (Found(parser.GetParameter("MaxStepHalving", count), "MaxStepHalving", source) &&
      fromFile("--max-step-halving")) {
    logistic.maxStepHalving = count;
  }
  double criterion = 0.0;
  if (Found(parser.GetParameter("LLCriterion", criterion), "LLCriterion", source) &&
      fromFile("--ll-criterion")) {
    logistic.llCriterion = criterion;
  }
  if (Found(parser.GetParameter("ParamCriterion", criterion), "ParamCriterion", source) &&
      fromFile("--param-criterion")) {
    logistic.paramCriterion = criterion;
  }
  bool patterns = false;
  if (Found(parser.GetParameter("Patterns", patterns), "Patterns", source) &&
      fromFile("--patterns")) {
    logistic.patterns = patterns;
  }
}

void ApplySettingsFile(const std::string& path, FitOptions& options) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot open the file");
  ApplySettings(in, path, options);
}

}  // namespace MCFrontEnd

#include "Settings.h"

#include <fstream>
#include <iterator>
#include <sstream>
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

void ReadSettings(const MCComXPrsUtil::MCSettingsParser& parser, const std::string& source,
                  FitOptions& o);

// Where the settings documents' form is explained.
constexpr const char* kSeeForm = "see tools/mcfit/README.md and examples/settings.xml";

}  // namespace

void ApplySettings(std::istream& in, const std::string& source, FitOptions& o) {
  const std::string text(std::istreambuf_iterator<char>(in), {});
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && (text[first] == '{' || text[first] == '[')) {
    throw InputError(source + ": this is JSON, and a settings document is XML (" + kSeeForm + ")");
  }
  MCComXPrsUtil::MCSettingsParser parser;
  std::istringstream document(text);
  const MCCommon::MCStatus parsed = parser.ParseToDOM(document);
  if (parsed.GetErrorCode() == MCComXPrsUtil::kSettingsNoParameterRoot) {
    throw InputError(source + ": no <PMML><MiningBuildTask><Extension><Parameters> element, "
                              "where a settings document keeps its parameters (" +
                     kSeeForm + ")");
  }
  if (parsed.IsError()) {
    const std::string why = parser.GetXercesMessage();
    throw InputError(source + ": not an XML document" + (why.empty() ? "" : " (" + why + ")") +
                     "; a settings document is XML (" + kSeeForm + ")");
  }
  ReadSettings(parser, source, o);
}

namespace {

void ReadSettings(const MCComXPrsUtil::MCSettingsParser& parser, const std::string& source,
                  FitOptions& o) {
  ModelRequest& request = o.request;
  std::vector<std::string> list;
  std::string text;
  // A formula names the dependent and the terms: the lists below then stay empty.
  const bool described = !request.formula.empty() || !request.dependent.empty() ||
                         !request.factors.empty() || !request.covariates.empty() ||
                         !request.effects.empty();
  if (Found(parser.GetParameter("Formula", text), "Formula", source) && !described) {
    request.formula = text;
  }
  const bool formula = !request.formula.empty();
  const auto fill = [&](const char* name, auto& into, const auto& value) {
    if (formula && !described) {
      throw InputError(source + ": settings parameter \"Formula\" names the model; \"" +
                       std::string(name) + "\" is not wanted beside it");
    }
    // A formula on the command line names the model: the document's lists stand back.
    if (!formula && into.empty()) into = value;
  };
  text.clear();
  if (Found(parser.GetTargetVars(list), "target", source) && !list.empty()) {
    fill("target", request.dependent, list.front());
  }
  list.clear();
  if (Found(parser.GetCatPredictors(list), "CatPredictors", source)) {
    fill("CatPredictors", request.factors, list);
  }
  list.clear();
  if (Found(parser.GetContPredictors(list), "ContPredictors", source)) {
    fill("ContPredictors", request.covariates, list);
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
  if (Found(parser.GetArray("Effects", list), "Effects", source)) {
    fill("Effects", request.effects, list);
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
  double level = 0.0;
  if (Found(parser.GetParameter("ConfLevel", level), "ConfLevel", source) && !o.confLevelGiven) {
    o.confLevel = level;
  }
}

}  // namespace

void ApplySettingsFile(const std::string& path, FitOptions& options) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot open the file");
  ApplySettings(in, path, options);
}

}  // namespace MCFrontEnd

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Settings.h"
#include "frontend/Errors.h"

namespace MCFrontEnd {
namespace {

std::string Document(const std::string& parameters) {
  return "<?xml version=\"1.0\"?>\n<PMML version=\"3.2\"><MiningBuildTask><Extension>"
         "<Parameters>" +
         parameters + "</Parameters></Extension></MiningBuildTask></PMML>\n";
}

const char* kAll =
    "<Parameter name=\"target\" type=\"fieldName\" value=\"y\"/>"
    "<Parameter name=\"CatPredictors\" type=\"fieldName\" isList=\"true\"><ListValue>"
    "<Value value=\"A\"/><Value value=\"B\"/></ListValue></Parameter>"
    "<Parameter name=\"ContPredictors\" type=\"fieldName\" value=\"x\"/>"
    "<Parameter name=\"FrequencyWeightVar\" type=\"fieldName\" value=\"f\"/>"
    "<Parameter name=\"RegressionWeightVar\" type=\"fieldName\" value=\"w\"/>"
    "<Parameter name=\"Effects\" type=\"string\" isList=\"true\"><ListValue>"
    "<Value value=\"A\"/><Value value=\"A*B\"/></ListValue></Parameter>"
    "<Parameter name=\"Intercept\" type=\"boolean\" value=\"false\"/>"
    "<Parameter name=\"Tolerance\" type=\"double\" value=\"1e-9\"/>"
    "<Parameter name=\"ReferenceCategory\" type=\"string\" value=\"first\"/>"
    "<Parameter name=\"MaxIterations\" type=\"int\" value=\"2\"/>"
    "<Parameter name=\"MaxStepHalving\" type=\"int\" value=\"9\"/>"
    "<Parameter name=\"LLCriterion\" type=\"double\" value=\"1e-8\"/>"
    "<Parameter name=\"ParamCriterion\" type=\"double\" value=\"1e-10\"/>"
    "<Parameter name=\"Patterns\" type=\"boolean\" value=\"true\"/>";

TEST(SettingsTest, DocumentFillsWhatTheCommandLineLeftOpen) {
  FitOptions o;
  std::istringstream in(Document(kAll));
  ApplySettings(in, "s.xml", o);
  EXPECT_EQ(o.request.dependent, "y");
  EXPECT_EQ(o.request.factors, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(o.request.covariates, (std::vector<std::string>{"x"}));
  EXPECT_EQ(o.request.freqWeight, "f");
  EXPECT_EQ(o.request.regrWeight, "w");
  EXPECT_EQ(o.request.effects, (std::vector<std::string>{"A", "A*B"}));
  EXPECT_FALSE(o.request.intercept);
  EXPECT_EQ(o.request.tolerance, 1e-9);
  EXPECT_EQ(o.logistic.reference, "first");
  EXPECT_EQ(o.logistic.maxIterations, 2);
  EXPECT_EQ(o.logistic.maxStepHalving, 9);
  EXPECT_EQ(o.logistic.llCriterion, 1e-8);
  EXPECT_EQ(o.logistic.paramCriterion, 1e-10);
  EXPECT_TRUE(o.logistic.patterns);
}

TEST(SettingsTest, CommandLineWins) {
  FitOptions o;
  o.request.dependent = "z";
  o.request.factors = {"C"};
  o.request.freqWeight = "g";
  o.interceptGiven = true;  // the intercept stays
  o.toleranceGiven = true;
  o.request.tolerance = 1e-6;
  o.logisticGiven = {"--max-iterations"};
  o.logistic.maxIterations = 7;
  std::istringstream in(Document(kAll));
  ApplySettings(in, "s.xml", o);
  EXPECT_EQ(o.request.dependent, "z");
  EXPECT_EQ(o.request.factors, (std::vector<std::string>{"C"}));
  EXPECT_EQ(o.request.covariates, (std::vector<std::string>{"x"}));
  EXPECT_EQ(o.request.freqWeight, "g");
  EXPECT_EQ(o.request.regrWeight, "w");
  EXPECT_TRUE(o.request.intercept);
  EXPECT_EQ(o.request.tolerance, 1e-6);
  EXPECT_EQ(o.logistic.maxIterations, 7);
  EXPECT_EQ(o.logistic.maxStepHalving, 9);
}

TEST(SettingsTest, BadDocumentsSayWhatIsWrong) {
  const std::pair<std::string, const char*> cases[] = {
      {"this is not XML", "not an XML document"},
      {"{\"target\": \"y\"}", "this is JSON, and a settings document is XML"},
      {"<PMML version=\"3.2\"><Header/></PMML>", "no <PMML><MiningBuildTask><Extension><Parameters>"},
      {Document("<Parameter name=\"Tolerance\" type=\"double\" value=\"small\"/>"),
       "\"Tolerance\""},
      {Document("<Parameter name=\"Formula\" value=\"y ~ x\"/><Parameter name=\"target\" "
                "value=\"y\"/>"),
       "\"target\" is not wanted beside it"}};
  for (const auto& [text, words] : cases) {
    FitOptions o;
    std::istringstream in(text);
    try {
      ApplySettings(in, "s.xml", o);
      ADD_FAILURE() << text << " was accepted";
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
  }
  FitOptions o;
  EXPECT_THROW(ApplySettingsFile("/nonexistent/s.xml", o), InputError);
}

// A formula on the command line wins over the document's lists.
TEST(SettingsTest, ExampleDocumentAndFormulas) {
  FitOptions o;
  ApplySettingsFile(std::string(MCSTAT_FIXTURES_DIR) + "/../../examples/settings.xml", o);
  EXPECT_EQ(o.request.formula, "growth ~ site + C(dose) + temp + I(temp^2) + log(light)");
  EXPECT_EQ(o.request.regrWeight, "precision");
  EXPECT_EQ(o.confLevel, 0.9);
  FitOptions command;
  command.request.formula = "y ~ z";
  std::istringstream in(Document(kAll));
  ApplySettings(in, "s.xml", command);
  EXPECT_EQ(command.request.formula, "y ~ z");
  EXPECT_TRUE(command.request.dependent.empty() && command.request.factors.empty());
  EXPECT_EQ(command.request.freqWeight, "f");
}

}  // namespace
}  // namespace MCFrontEnd

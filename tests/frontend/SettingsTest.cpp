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
    "<Parameter name=\"Tolerance\" type=\"double\" value=\"1e-9\"/>";

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
}

TEST(SettingsTest, CommandLineWins) {
  FitOptions o;
  o.request.dependent = "z";
  o.request.factors = {"C"};
  o.interceptGiven = true;  // --no-intercept given: stays false
  o.request.intercept = false;
  o.toleranceGiven = true;
  o.request.tolerance = 1e-6;
  std::istringstream in(
      Document("<Parameter name=\"target\" value=\"y\"/>"
               "<Parameter name=\"CatPredictors\" value=\"A\"/>"
               "<Parameter name=\"Intercept\" type=\"boolean\" value=\"true\"/>"
               "<Parameter name=\"Tolerance\" type=\"double\" value=\"1e-9\"/>"));
  ApplySettings(in, "s.xml", o);
  EXPECT_EQ(o.request.dependent, "z");
  EXPECT_EQ(o.request.factors, (std::vector<std::string>{"C"}));
  EXPECT_FALSE(o.request.intercept);
  EXPECT_EQ(o.request.tolerance, 1e-6);
}

TEST(SettingsTest, LogisticChoicesUnlessGivenOnTheCommandLine) {
  FitOptions o;
  o.logisticGiven = {"--max-iterations"};
  o.logistic.maxIterations = 7;
  std::istringstream in(
      Document("<Parameter name=\"ReferenceCategory\" type=\"string\" value=\"first\"/>"
               "<Parameter name=\"MaxIterations\" type=\"int\" value=\"2\"/>"
               "<Parameter name=\"MaxStepHalving\" type=\"int\" value=\"9\"/>"
               "<Parameter name=\"LLCriterion\" type=\"double\" value=\"1e-8\"/>"
               "<Parameter name=\"ParamCriterion\" type=\"double\" value=\"1e-10\"/>"
               "<Parameter name=\"Patterns\" type=\"boolean\" value=\"true\"/>"));
  ApplySettings(in, "s.xml", o);
  EXPECT_EQ(o.logistic.reference, "first");
  EXPECT_EQ(o.logistic.maxIterations, 7);
  EXPECT_EQ(o.logistic.maxStepHalving, 9);
  EXPECT_EQ(o.logistic.llCriterion, 1e-8);
  EXPECT_EQ(o.logistic.paramCriterion, 1e-10);
  EXPECT_TRUE(o.logistic.patterns);
}

TEST(SettingsTest, BadDocumentsAreBadInput) {
  FitOptions o;
  for (const std::string& text :
       {std::string("this is not XML"), std::string("<PMML version=\"3.2\"><Header/></PMML>"),
        Document("<Parameter name=\"Tolerance\" type=\"double\" value=\"small\"/>")}) {
    std::istringstream in(text);
    EXPECT_THROW(ApplySettings(in, "s.xml", o), InputError) << text;
  }
  EXPECT_THROW(ApplySettingsFile("/nonexistent/s.xml", o), InputError);
}

}  // namespace
}  // namespace MCFrontEnd

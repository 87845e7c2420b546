#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "MCMV.h"
#include "MCSettingsParser.h"
#include "MCXMLUtil.h"

using namespace MCComXPrsUtil;
using MCCommon::MCStatus;

namespace {

std::string SettingsDoc(const std::string& parameters) {
  return "<?xml version=\"1.0\"?><PMML version=\"3.2\">"
         "<DataDictionary numberOfFields=\"1\"><DataField name=\"w\" optype=\"continuous\" "
         "dataType=\"double\"/></DataDictionary>"
         "<MiningBuildTask><Extension name=\"other\"/><Extension name=\"settings\"><Parameters>" +
         parameters + "</Parameters></Extension></MiningBuildTask></PMML>";
}

const char kParameters[] =
    "<Parameter name=\"s\" type=\"string\" value=\"caf\xC3\xA9\"/>"
    "<Parameter name=\"i\" type=\"integer\" value=\"-12\"/>"
    "<Parameter name=\"d\" type=\"double\" value=\"2.5e-1\"/>"
    "<Parameter name=\"nan\" type=\"double\" value=\"NaN\"/>"
    "<Parameter name=\"inf\" type=\"double\" value=\"INF\"/>"
    "<Parameter name=\"t\" type=\"boolean\" value=\"true\"/>"
    "<Parameter name=\"f\" type=\"boolean\" value=\"false\"/>"
    "<Parameter name=\"yes\" type=\"boolean\" value=\"yes\"/>"
    "<Parameter name=\"e\" type=\"enum\" value=\"B\"/>"
    "<Parameter name=\"fld\" type=\"fieldName\" value=\"age\"/>"
    "<Parameter name=\"odd\" type=\"date\" value=\"x\"/>"
    "<Parameter name=\"untyped\" value=\"x\"/>"
    "<Parameter name=\"list\" type=\"double\" isList=\"true\"><ListValue>"
    "<Value value=\"1\"/><Value value=\"2.5\"/><Value value=\"-3\"/></ListValue></Parameter>"
    "<Parameter name=\"badList\" isList=\"true\"><ListValue><Value value=\"1\"/><Value/>"
    "</ListValue></Parameter>"
    "<Parameter name=\"emptyList\" isList=\"true\"><ListValue/></Parameter>"
    "<Parameter name=\"noList\" isList=\"true\"/>"
    "<Parameter name=\"listNotMarked\"><ListValue><Value value=\"1\"/></ListValue></Parameter>"
    "<Parameter name=\"nothing\" type=\"string\"/>"
    "<Parameter name=\"dup\" value=\"first\"/><Parameter name=\"dup\" value=\"second\"/>"
    "<Parameter name=\"FrequencyWeightVar\" value=\"w\"/>"
    "<Parameter name=\"target\" isList=\"true\"><ListValue><Value value=\"y1\"/>"
    "<Value value=\"y2\"/></ListValue></Parameter>"
    "<Parameter name=\"inputs\" value=\"x1\"/>"
    "<Parameter name=\"CatPredictors\" isList=\"true\"/>"
    "<Parameter name=\"ContPredictors\" isList=\"true\"><ListValue><Value value=\"c1\"/>"
    "<Value value=\"c2\"/></ListValue></Parameter>"
    "<ComplexParameter name=\"cx\"><Parameter name=\"i\" value=\"5\"/>"
    "<ComplexParameter name=\"inner\"><Parameter name=\"s\" value=\"deep\"/></ComplexParameter>"
    "</ComplexParameter>"
    "<MatrixParmeter name=\"m\"><ArrayParameter><Value value=\"1\"/><Value value=\"2\"/>"
    "</ArrayParameter><ArrayParameter><Value value=\"3\"/></ArrayParameter></MatrixParmeter>"
    "<MatrixParmeter name=\"mbad\"><ArrayParameter><Value value=\"1\"/><Value value=\"z\"/>"
    "</ArrayParameter></MatrixParmeter>";

void ExpectStatus(const MCStatus& status, long code, bool warning) {
  EXPECT_EQ(status.GetErrorCode(), code);
  EXPECT_EQ(status.IsWarning(), warning);
  EXPECT_EQ(status.IsError(), !warning);
}

class MCSettingsParserTest : public testing::Test {
 protected:
  void SetUp() override {
    std::istringstream in(SettingsDoc(kParameters));
    ASSERT_TRUE(fParser.ParseToDOM(in).IsOK()) << fParser.GetXercesMessage();
  }
  MCSettingsParser fParser;
};

}  // namespace

TEST_F(MCSettingsParserTest, ReadsTypedSingleValues) {
  std::string s;
  int i = 0;
  double d = 0.0;
  bool b = false;
  EXPECT_TRUE(fParser.GetParameter("s", s).IsOK());
  EXPECT_EQ(s, "caf\xC3\xA9");
  EXPECT_TRUE(fParser.GetParameter("i", i).IsOK());
  EXPECT_EQ(i, -12);
  EXPECT_TRUE(fParser.GetParameter("d", d).IsOK());
  EXPECT_EQ(d, 0.25);
  EXPECT_TRUE(fParser.GetParameter("nan", d).IsOK());
  EXPECT_TRUE(MCMV::IsMissing(d));
  EXPECT_TRUE(fParser.GetParameter("t", b).IsOK());
  EXPECT_TRUE(b);
  EXPECT_TRUE(fParser.GetParameter("f", b).IsOK());
  EXPECT_FALSE(b);
  // The first of two parameters with one name wins.
  EXPECT_TRUE(fParser.GetParameter("dup", s).IsOK());
  EXPECT_EQ(s, "first");
}

TEST_F(MCSettingsParserTest, RefusedConversionsLeaveOutputUnchanged) {
  bool b = true;
  ExpectStatus(fParser.GetParameter("yes", b), 108, false);
  EXPECT_TRUE(b);
  double d = 7.0;
  ExpectStatus(fParser.GetParameter("inf", d), 108, false);
  ExpectStatus(fParser.GetParameter("s", d), 108, false);
  EXPECT_EQ(d, 7.0);
  int i = 3;
  ExpectStatus(fParser.GetParameter("d", i), 108, false);
  EXPECT_EQ(i, 3);
}

TEST_F(MCSettingsParserTest, SingleValueStatuses) {
  std::string s = "default";
  ExpectStatus(fParser.GetParameter("absent", s), 120, true);
  ExpectStatus(fParser.GetParameter("list", s), 121, false);
  ExpectStatus(fParser.GetParameter("nothing", s), 123, true);
  ExpectStatus(fParser.GetParameter("noList", s), 123, true);
  ExpectStatus(fParser.GetParameter("listNotMarked", s), 123, true);
  EXPECT_EQ(s, "default");
}

TEST_F(MCSettingsParserTest, ParameterTypes) {
  EXPECT_EQ(fParser.GetParameterType("s"), MCSettingsParser::kString);
  EXPECT_EQ(fParser.GetParameterType("d"), MCSettingsParser::kDouble);
  EXPECT_EQ(fParser.GetParameterType("i"), MCSettingsParser::kInteger);
  EXPECT_EQ(fParser.GetParameterType("t"), MCSettingsParser::kBoolean);
  EXPECT_EQ(fParser.GetParameterType("e"), MCSettingsParser::kEnum);
  EXPECT_EQ(fParser.GetParameterType("fld"), MCSettingsParser::kFieldName);
  EXPECT_EQ(static_cast<int>(fParser.GetParameterType("absent")), 6);
  EXPECT_EQ(fParser.GetParameterType("odd"), MCSettingsParser::kUnknownType);
  EXPECT_EQ(fParser.GetParameterType("untyped"), MCSettingsParser::kUnknownType);
}

TEST_F(MCSettingsParserTest, ArraysFromListsAndSingleValues) {
  std::vector<double> d;
  EXPECT_TRUE(fParser.GetArray("list", d).IsOK());
  EXPECT_EQ(d, (std::vector<double>{1.0, 2.5, -3.0}));
  std::vector<int> i = {9};
  EXPECT_TRUE(fParser.GetArray("i", i).IsOK());
  EXPECT_EQ(i, std::vector<int>{-12});
  ExpectStatus(fParser.GetArray("list", i), 108, false);  // 2.5 is not an integer
  std::vector<std::string> s = {"keep"};
  ExpectStatus(fParser.GetArray("badList", s), 108, false);
  ExpectStatus(fParser.GetArray("emptyList", s), 123, true);
  ExpectStatus(fParser.GetArray("noList", s), 123, true);
  ExpectStatus(fParser.GetArray("nothing", s), 123, true);
  ExpectStatus(fParser.GetArray("absent", s), 120, true);
  EXPECT_EQ(s, std::vector<std::string>{"keep"});
}

TEST_F(MCSettingsParserTest, ComplexParametersAreScopes) {
  const xercesc::DOMElement* cx = fParser.GetComplexParameter("cx");
  ASSERT_NE(cx, nullptr);
  EXPECT_EQ(fParser.GetComplexParameter("i"), nullptr);  // a Parameter, not complex
  int i = 0;
  EXPECT_TRUE(fParser.GetParameter("i", i, cx).IsOK());
  EXPECT_EQ(i, 5);
  std::string s;
  ExpectStatus(fParser.GetParameter("s", s, cx), 120, true);  // not inherited from the root
  const xercesc::DOMElement* inner = fParser.GetComplexParameter("inner", cx);
  ASSERT_NE(inner, nullptr);
  EXPECT_TRUE(fParser.GetParameter("s", s, inner).IsOK());
  EXPECT_EQ(s, "deep");
  EXPECT_EQ(fParser.GetComplexParameter("inner"), nullptr);
}

TEST_F(MCSettingsParserTest, Matrices) {
  std::vector<std::vector<int>> mi;
  EXPECT_TRUE(fParser.GetMatrix("m", mi).IsOK());
  EXPECT_EQ(mi, (std::vector<std::vector<int>>{{1, 2}, {3}}));
  std::vector<std::vector<std::string>> ms;
  EXPECT_TRUE(fParser.GetMatrix("m", ms).IsOK());
  EXPECT_EQ(ms, (std::vector<std::vector<std::string>>{{"1", "2"}, {"3"}}));
  std::vector<std::vector<double>> md = {{8.0}};
  ExpectStatus(fParser.GetMatrix("mbad", md), 108, false);
  ExpectStatus(fParser.GetMatrix("list", md), 120, true);  // a Parameter is not a matrix
  EXPECT_EQ(md, (std::vector<std::vector<double>>{{8.0}}));
}

TEST_F(MCSettingsParserTest, VariablesAndNamedLists) {
  std::string w;
  EXPECT_TRUE(fParser.GetFrequencyWeight(w).IsOK());
  EXPECT_EQ(w, "w");
  std::vector<std::string> v;
  EXPECT_TRUE(fParser.GetTargetVars(v).IsOK());
  EXPECT_EQ(v, (std::vector<std::string>{"y1", "y2"}));
  EXPECT_TRUE(fParser.GetPredictors(v).IsOK());
  EXPECT_EQ(v, std::vector<std::string>{"x1"});
  EXPECT_TRUE(fParser.GetContPredictors(v).IsOK());
  EXPECT_EQ(v, (std::vector<std::string>{"c1", "c2"}));
  ExpectStatus(fParser.GetCatPredictors(v), 122, false);
  ExpectStatus(fParser.GetCatResponseVars(v), 120, true);
  ExpectStatus(fParser.GetContResponseVars(v), 120, true);
  ExpectStatus(fParser.GetVariables("badList", v), 108, false);
  EXPECT_EQ(v, (std::vector<std::string>{"c1", "c2"}));
  ExpectStatus(fParser.GetVariables("target", w), 121, false);
  EXPECT_EQ(w, "w");
}

TEST(MCSettingsParserDocumentTest, MissingParameterRootGives119) {
  const std::string noParams[] = {
      "<PMML><MiningBuildTask><Extension name=\"x\"/></MiningBuildTask></PMML>",
      "<PMML><MiningBuildTask/></PMML>", "<PMML><DataDictionary/></PMML>",
      "<PMML><Parameters><Parameter name=\"a\" value=\"1\"/></Parameters></PMML>"};
  for (const std::string& text : noParams) {
    MCSettingsParser parser;
    std::istringstream in(text);
    ExpectStatus(parser.ParseToDOM(in), 119, false);
    EXPECT_NE(parser.GetRootElement(), nullptr);
    int a = 0;
    ExpectStatus(parser.GetParameter("a", a), 119, false);
    std::vector<std::string> v;
    ExpectStatus(parser.GetVariables("a", v), 119, false);
    EXPECT_EQ(parser.GetComplexParameter("a"), nullptr);
  }
}

TEST(MCSettingsParserDocumentTest, NothingParsedGives107AndBadXml104) {
  MCSettingsParser parser;
  std::string s;
  ExpectStatus(parser.GetParameter("a", s), 107, false);
  std::vector<std::vector<int>> m;
  ExpectStatus(parser.GetMatrix("a", m), 107, false);
  EXPECT_EQ(parser.GetParameterType("a"), MCSettingsParser::kUnknownType);

  std::istringstream in("<PMML><MiningBuildTask>");
  ExpectStatus(parser.ParseToDOM(in), 104, false);
  EXPECT_EQ(parser.GetStatus().GetErrorCode(), 104);
  EXPECT_EQ(parser.GetRootElement(), nullptr);
  ExpectStatus(parser.GetParameter("a", s), 107, false);
}

TEST(MCPMMLParserTest, LocatesDictionariesAndModel) {
  MCPMMLParser parser;
  std::istringstream in(SettingsDoc(""));
  ASSERT_TRUE(parser.ParseToDOM(in).IsOK());
  const xercesc::DOMElement* root = parser.GetRootElement();
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(TagNameEquals(root, "PMML"));
  const xercesc::DOMElement* task = GetFirstChildElmt(root, "MiningBuildTask");
  ASSERT_NE(task, nullptr);
  EXPECT_TRUE(parser.SetModelElmt(*task));
  EXPECT_EQ(parser.GetModelElmt(), task);

  // An element of another document is refused.
  MCXMLReadWrite other;
  std::istringstream otherIn("<x/>");
  ASSERT_TRUE(other.ParseToDOM(otherIn).IsOK());
  EXPECT_FALSE(parser.SetModelElmt(*other.GetDocument()->getDocumentElement()));
  EXPECT_EQ(parser.GetModelElmt(), task);
}

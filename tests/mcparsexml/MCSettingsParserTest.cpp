#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "MCContVar.h"
#include "MCMV.h"
#include "MCSettingsParser.h"
#include "MCVarList.h"
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

namespace {

using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCVarList;

std::string FieldsDoc(const std::string& fields, const std::string& trans = "") {
  return "<PMML><DataDictionary>" + fields + "</DataDictionary>" + trans +
         "<MiningBuildTask><Extension><Parameters>"
         "<Parameter name=\"FrequencyWeightVar\" value=\"w\"/>"
         "</Parameters></Extension></MiningBuildTask></PMML>";
}

}  // namespace

TEST(MCSettingsParserFillTest, StoragesFollowTheDataType) {
  const std::pair<const char*, IMCVariable::VariableStorage> types[] = {
      {"integer", IMCVariable::kIntegerStorage},   {"double", IMCVariable::kRealStorage},
      {"float", IMCVariable::kRealStorage},        {"string", IMCVariable::kStringStorage},
      {"date", IMCVariable::kDateStorage},         {"time", IMCVariable::kTimeStorage},
      {"dateTime", IMCVariable::kTimestampStorage}};
  std::string fields;
  for (const auto& t : types) {
    fields += std::string("<DataField name=\"v_") + t.first +
              "\" optype=\"categorical\" dataType=\"" + t.first + "\"/>";
  }
  MCSettingsParser parser;
  std::istringstream in(FieldsDoc(fields));
  ASSERT_TRUE(parser.ParseToDOM(in).IsOK());
  MCVarList list;
  ASSERT_TRUE(parser.FillVarList(list, false).IsOK());
  ASSERT_EQ(list.Size(), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(list.GetVarAt(i)->GetVariableStorage(), types[i].second) << types[i].first;
  }
  EXPECT_EQ(list.GetVarAt(3)->GetMeasureLevel(), IMCVariable::kStringCategorical);
  EXPECT_EQ(list.GetVarAt(0)->GetMeasureLevel(), IMCVariable::kNumericCategorical);

  // The PMML reader's wider list of types is not a settings document's.
  MCSettingsParser other;
  std::istringstream odd(
      FieldsDoc("<DataField name=\"d\" optype=\"continuous\" dataType=\"dateDaysSince[1970]\"/>"));
  ASSERT_TRUE(other.ParseToDOM(odd).IsOK());
  EXPECT_EQ(other.FillVarList(list, false).GetErrorCode(), 109);
  EXPECT_EQ(list.Size(), 7);
}

TEST(MCSettingsParserFillTest, WeightRangesBinsAndMissingValues) {
  const std::string fields =
      "<DataField name=\"x\" displayName=\"X\" optype=\"continuous\" dataType=\"double\">"
      "<Extension name=\"invalidRangeLower\" value=\"90\"/>"
      "<Interval closure=\"closedClosed\" leftMargin=\"-5\" rightMargin=\"50\"/>"
      "<Value value=\"-1\" property=\"missing\"/></DataField>"
      "<DataField name=\"w\" optype=\"continuous\" dataType=\"integer\"/>"
      "<DataField name=\"y\" optype=\"continuous\" dataType=\"float\">"
      "<Interval closure=\"closedOpen\" leftMargin=\"1\"/></DataField>";
  const std::string trans =
      "<TransformationDictionary><DerivedField name=\"xb\" optype=\"categorical\" "
      "dataType=\"string\"><Discretize field=\"x\"><DiscretizeBin binValue=\"1\">"
      "<Interval closure=\"openClosed\" leftMargin=\"0\" rightMargin=\"20\"/>"
      "</DiscretizeBin><DiscretizeBin binValue=\"2\"><Interval closure=\"openClosed\" "
      "leftMargin=\"20\" rightMargin=\"30\"/></DiscretizeBin></Discretize></DerivedField>"
      "</TransformationDictionary>";
  MCSettingsParser parser;
  std::istringstream in(FieldsDoc(fields, trans));
  ASSERT_TRUE(parser.ParseToDOM(in).IsOK());

  MCVarList list;
  ASSERT_TRUE(parser.FillVarList(list, false).IsOK());
  ASSERT_EQ(list.Size(), 3);
  const auto* x = dynamic_cast<const MCCommonMetadata::MCContVar*>(list.GetVarAt(0));
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->GetVariableLabel(), "X");
  EXPECT_EQ(x->GetMin(), -5.0);
  EXPECT_EQ(x->GetMax(), 50.0);
  EXPECT_EQ(x->GetNBins(), -1);
  EXPECT_TRUE(x->GetEncoder()->IsMissing(-1.0));
  EXPECT_TRUE(x->GetEncoder()->IsMissing(1e6));  // from 90 up to the highest double
  EXPECT_FALSE(x->GetEncoder()->IsMissing(89.0));
  EXPECT_EQ(list.GetFreqWeightIndex(), 1);
  EXPECT_EQ(list.GetVarAt(1)->GetMeasureLevel(), IMCVariable::kFrequencyWeightMeasure);
  EXPECT_EQ(list.GetVarAt(1)->GetVariableStorage(), IMCVariable::kIntegerStorage);
  const auto* y = dynamic_cast<const MCCommonMetadata::MCContVar*>(list.GetVarAt(2));
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->GetMin(), 1.0);
  EXPECT_EQ(y->GetMax(), std::numeric_limits<double>::max());

  MCVarList binned;
  EXPECT_EQ(parser.FillVarList(binned, true).GetErrorCode(), 110);  // y has no discretisation
  ASSERT_EQ(binned.Size(), 2);
  const auto* xb = dynamic_cast<const MCCommonMetadata::MCContVar*>(binned.GetVarAt(0));
  ASSERT_NE(xb, nullptr);
  EXPECT_EQ(xb->GetMin(), -5.0);  // the range still comes from the field's interval
  EXPECT_EQ(xb->GetCutPoints(), std::vector<double>{20.0});
  EXPECT_EQ(xb->GetEncoder()->GetNumberOfCategories(), 2);
}

TEST(MCSettingsParserFillTest, TransformationDictionaryAndStatuses) {
  const std::string trans =
      "<TransformationDictionary><DerivedField name=\"d\" optype=\"categorical\" "
      "dataType=\"string\"><Value value=\"p\"/><Value value=\"q\" property=\"missing\"/>"
      "<Apply function=\"x\"/></DerivedField>"
      "<DerivedField name=\"e\" optype=\"continuous\" dataType=\"double\">"
      "<Interval closure=\"closedClosed\" leftMargin=\"3\" rightMargin=\"1\"/>"
      "</DerivedField></TransformationDictionary>";
  MCSettingsParser parser;
  std::istringstream in(FieldsDoc("", trans));
  ASSERT_TRUE(parser.ParseToDOM(in).IsOK());
  MCVarList list;
  EXPECT_EQ(parser.FillTransDict(list).GetErrorCode(), 108);  // e's interval is reversed
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.GetEncoderAt(0)->GetNumberOfCategories(), 1);
  EXPECT_TRUE(list.GetEncoderAt(0)->IsMissing(std::string("q")));

  MCSettingsParser noTrans;
  std::istringstream in2(FieldsDoc("<DataField name=\"a\" optype=\"x\" dataType=\"float\"/>"));
  ASSERT_TRUE(noTrans.ParseToDOM(in2).IsOK());
  EXPECT_EQ(noTrans.FillTransDict(list).GetErrorCode(), 107);
  MCSettingsParser nothing;
  EXPECT_EQ(nothing.FillVarList(list, false).GetErrorCode(), 107);
  EXPECT_EQ(nothing.FillTransDict(list).GetErrorCode(), 107);
  // Without parameters the fields still read, with no weight.
  MCSettingsParser noParams;
  std::istringstream in3(
      "<PMML><DataDictionary><DataField name=\"w\" optype=\"continuous\" "
      "dataType=\"float\"/></DataDictionary></PMML>");
  EXPECT_EQ(noParams.ParseToDOM(in3).GetErrorCode(), 119);
  MCVarList fields;
  ASSERT_TRUE(noParams.FillVarList(fields, false).IsOK());
  EXPECT_EQ(fields.GetFreqWeightIndex(), -1);
  EXPECT_EQ(fields.GetVarAt(0)->GetMeasureLevel(), IMCVariable::kContinuous);
}

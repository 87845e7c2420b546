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
#include "PMMLTestDocs.h"

using namespace MCComXPrsUtil;
using namespace pmml_test;
using MCCommon::MCStatus;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCContVar;
using MCCommonMetadata::MCVarList;

namespace {

std::string P(const std::string& name, const std::string& value, const std::string& type = "") {
  return El("Parameter", {{"name", name}, {"type", type}, {"value", value}});
}

std::string List(const std::string& name, const std::vector<std::string>& values,
                 const std::string& type = "") {
  std::string v;
  for (const std::string& x : values) v += x == "-" ? "<Value/>" : Value(x);
  return El("Parameter", {{"name", name}, {"type", type}, {"isList", "true"}},
            values.empty() ? "<ListValue/>" : "<ListValue>" + v + "</ListValue>");
}

std::string SettingsDoc(const std::string& parameters, const std::string& fields = "",
                        const std::string& trans = "") {
  return "<PMML>" + Dict(fields) + trans +
         "<MiningBuildTask><Extension name=\"other\"/><Extension name=\"settings\"><Parameters>" +
         parameters + "</Parameters></Extension></MiningBuildTask></PMML>";
}

const std::string kParameters =
    P("s", "caf\xC3\xA9", "string") + P("i", "-12", "integer") + P("d", "2.5e-1", "double") +
    P("nan", "NaN", "double") + P("inf", "INF", "double") + P("t", "true", "boolean") +
    P("f", "false", "boolean") + P("yes", "yes", "boolean") + P("e", "B", "enum") +
    P("fld", "age", "fieldName") + P("odd", "x", "date") + P("untyped", "x") +
    List("list", {"1", "2.5", "-3"}, "double") + List("badList", {"1", "-"}) +
    List("emptyList", {}) + "<Parameter name=\"noList\" isList=\"true\"/>" +
    "<Parameter name=\"listNotMarked\"><ListValue><Value value=\"1\"/></ListValue></Parameter>" +
    P("nothing", "", "string") + P("dup", "first") + P("dup", "second") +
    P("FrequencyWeightVar", "w") + List("target", {"y1", "y2"}) + P("inputs", "x1") +
    "<Parameter name=\"CatPredictors\" isList=\"true\"/>" + List("ContPredictors", {"c1", "c2"}) +
    "<ComplexParameter name=\"cx\">" + P("i", "5") + "<ComplexParameter name=\"inner\">" +
    P("s", "deep") + "</ComplexParameter></ComplexParameter>" +
    "<MatrixParmeter name=\"m\"><ArrayParameter>" + Value("1") + Value("2") +
    "</ArrayParameter><ArrayParameter>" + Value("3") + "</ArrayParameter></MatrixParmeter>" +
    "<MatrixParmeter name=\"mbad\"><ArrayParameter>" + Value("1") + Value("z") +
    "</ArrayParameter></MatrixParmeter>";

// 120 and 123 are warnings (the caller's default stands); every other code is an error.
void ExpectStatus(const MCStatus& status, long code) {
  EXPECT_EQ(status.GetErrorCode(), code);
  EXPECT_EQ(status.IsWarning(), code == 120 || code == 123);
  EXPECT_EQ(status.IsError(), code != 0 && code != 120 && code != 123);
}

template <class P>
void Parse(P& parser, const std::string& text, long code = 0) {
  std::istringstream in(text);
  const MCStatus status = parser.ParseToDOM(in);
  ASSERT_EQ(status.GetErrorCode(), code) << parser.GetXercesMessage();
}

std::string Show(const std::string& v) { return v; }
std::string Show(int v) { return std::to_string(v); }
std::string Show(bool v) { return v ? "true" : "false"; }
std::string Show(double v) {
  std::ostringstream os;
  os << v;
  return MCMV::IsMissing(v) ? "MV" : os.str();
}
template <class T>
std::string Show(const std::vector<T>& v) {
  std::string s = "[";
  for (const T& x : v) s += Show(x) + ",";
  return s + "]";
}

// One getter called on the shared document: its status and its output as text. The outputs
// start from values a failed call must leave alone.
std::pair<MCStatus, std::string> Call(const MCSettingsParser& p, const std::string& g,
                                      const std::string& n) {
  std::string s = "keep";
  int i = 3;
  double d = 7;
  bool b = true;
  std::vector<std::string> vs{"keep"};
  std::vector<int> vi{9};
  std::vector<double> vd{8};
  std::vector<std::vector<int>> mi{{9}};
  std::vector<std::vector<double>> md{{8}};
  std::vector<std::vector<std::string>> ms{{"keep"}};
  if (g == "s") return {p.GetParameter(n, s), Show(s)};
  if (g == "i") return {p.GetParameter(n, i), Show(i)};
  if (g == "d") return {p.GetParameter(n, d), Show(d)};
  if (g == "b") return {p.GetParameter(n, b), Show(b)};
  if (g == "vs") return {p.GetArray(n, vs), Show(vs)};
  if (g == "vi") return {p.GetArray(n, vi), Show(vi)};
  if (g == "vd") return {p.GetArray(n, vd), Show(vd)};
  if (g == "mi") return {p.GetMatrix(n, mi), Show(mi)};
  if (g == "md") return {p.GetMatrix(n, md), Show(md)};
  if (g == "ms") return {p.GetMatrix(n, ms), Show(ms)};
  if (g == "var") return {p.GetVariables(n, s), Show(s)};
  if (g == "vars") return {p.GetVariables(n, vs), Show(vs)};
  if (g == "weight") return {p.GetFrequencyWeight(s), Show(s)};
  if (g == "target") return {p.GetTargetVars(vs), Show(vs)};
  if (g == "inputs") return {p.GetPredictors(vs), Show(vs)};
  if (g == "catPred") return {p.GetCatPredictors(vs), Show(vs)};
  if (g == "contPred") return {p.GetContPredictors(vs), Show(vs)};
  if (g == "catResp") return {p.GetCatResponseVars(vs), Show(vs)};
  if (g == "contResp") return {p.GetContResponseVars(vs), Show(vs)};
  ADD_FAILURE() << "no getter " << g;
  return {MCStatus(), ""};
}

struct GetterCase {
  const char* getter;
  const char* name;
  long code;
  const char* out;
};
void PrintTo(const GetterCase& c, std::ostream* os) { *os << c.getter << " " << c.name; }

class SettingsGetterTest : public testing::TestWithParam<GetterCase> {};

TEST_P(SettingsGetterTest, StatusAndValue) {
  MCSettingsParser parser;
  Parse(parser, SettingsDoc(kParameters));
  const GetterCase& c = GetParam();
  const auto result = Call(parser, c.getter, c.name);
  ExpectStatus(result.first, c.code);
  EXPECT_EQ(result.second, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsGetterTest,
    testing::Values(
        GetterCase{"s", "s", 0, "caf\xC3\xA9"}, GetterCase{"i", "i", 0, "-12"},
        GetterCase{"d", "d", 0, "0.25"}, GetterCase{"d", "nan", 0, "MV"},
        GetterCase{"b", "f", 0, "false"},
        GetterCase{"s", "dup", 0, "first"},  // the first of two with one name wins
        GetterCase{"b", "yes", 108, "true"}, GetterCase{"d", "inf", 108, "7"},
        GetterCase{"d", "s", 108, "7"}, GetterCase{"i", "d", 108, "3"},
        GetterCase{"s", "absent", 120, "keep"}, GetterCase{"s", "list", 121, "keep"},
        GetterCase{"s", "nothing", 123, "keep"}, GetterCase{"s", "listNotMarked", 123, "keep"},
        GetterCase{"vd", "list", 0, "[1,2.5,-3,]"}, GetterCase{"vi", "i", 0, "[-12,]"},
        GetterCase{"vi", "list", 108, "[9,]"}, GetterCase{"vs", "badList", 108, "[keep,]"},
        GetterCase{"vs", "emptyList", 123, "[keep,]"}, GetterCase{"vs", "noList", 123, "[keep,]"},
        GetterCase{"mi", "m", 0, "[[1,2,],[3,],]"}, GetterCase{"ms", "m", 0, "[[1,2,],[3,],]"},
        GetterCase{"md", "mbad", 108, "[[8,],]"},
        GetterCase{"md", "list", 120, "[[8,],]"},  // a Parameter is not a matrix
        GetterCase{"weight", "", 0, "w"}, GetterCase{"target", "", 0, "[y1,y2,]"},
        GetterCase{"inputs", "", 0, "[x1,]"}, GetterCase{"contPred", "", 0, "[c1,c2,]"},
        GetterCase{"catPred", "", 122, "[keep,]"}, GetterCase{"catResp", "", 120, "[keep,]"},
        GetterCase{"vars", "badList", 108, "[keep,]"}, GetterCase{"var", "target", 121, "keep"}));

TEST(MCSettingsParserTest, ParameterTypesAndComplexScopes) {
  MCSettingsParser parser;
  Parse(parser, SettingsDoc(kParameters));
  const std::pair<const char*, int> types[] = {{"s", MCSettingsParser::kString},
                                               {"d", MCSettingsParser::kDouble},
                                               {"i", MCSettingsParser::kInteger},
                                               {"t", MCSettingsParser::kBoolean},
                                               {"e", MCSettingsParser::kEnum},
                                               {"fld", MCSettingsParser::kFieldName},
                                               {"absent", 6},
                                               {"odd", MCSettingsParser::kUnknownType},
                                               {"untyped", MCSettingsParser::kUnknownType}};
  for (const auto& t : types) EXPECT_EQ(parser.GetParameterType(t.first), t.second) << t.first;

  const xercesc::DOMElement* cx = parser.GetComplexParameter("cx");
  ASSERT_NE(cx, nullptr);
  EXPECT_EQ(parser.GetComplexParameter("i"), nullptr);  // a Parameter, not complex
  int i = 0;
  EXPECT_TRUE(parser.GetParameter("i", i, cx).IsOK());
  EXPECT_EQ(i, 5);
  std::string s;
  ExpectStatus(parser.GetParameter("s", s, cx), 120);  // not inherited from the root
  const xercesc::DOMElement* inner = parser.GetComplexParameter("inner", cx);
  ASSERT_NE(inner, nullptr);
  EXPECT_TRUE(parser.GetParameter("s", s, inner).IsOK());
  EXPECT_EQ(s, "deep");
  EXPECT_EQ(parser.GetComplexParameter("inner"), nullptr);
}

TEST(MCSettingsParserTest, MissingParameterRootGives119) {
  for (const char* text :
       {"<PMML><MiningBuildTask><Extension name=\"x\"/></MiningBuildTask></PMML>",
        "<PMML><Parameters><Parameter name=\"a\" value=\"1\"/></Parameters></PMML>"}) {
    MCSettingsParser parser;
    Parse(parser, text, 119);
    EXPECT_NE(parser.GetRootElement(), nullptr);
    int a = 0;
    ExpectStatus(parser.GetParameter("a", a), 119);
    std::vector<std::string> v;
    ExpectStatus(parser.GetVariables("a", v), 119);
    EXPECT_EQ(parser.GetComplexParameter("a"), nullptr);
  }
}

TEST(MCSettingsParserTest, NothingParsedGives107AndBadXml104) {
  MCSettingsParser parser;
  std::string s;
  ExpectStatus(parser.GetParameter("a", s), 107);
  std::vector<std::vector<int>> m;
  ExpectStatus(parser.GetMatrix("a", m), 107);
  EXPECT_EQ(parser.GetParameterType("a"), MCSettingsParser::kUnknownType);
  MCVarList list;
  EXPECT_EQ(parser.FillVarList(list, false).GetErrorCode(), 107);
  EXPECT_EQ(parser.FillTransDict(list).GetErrorCode(), 107);

  Parse(parser, "<PMML><MiningBuildTask>", 104);
  EXPECT_EQ(parser.GetStatus().GetErrorCode(), 104);
  EXPECT_EQ(parser.GetRootElement(), nullptr);
  ExpectStatus(parser.GetParameter("a", s), 107);
}

TEST(MCPMMLParserTest, SetModelElmtTakesOnlyElementsOfItsDocument) {
  MCPMMLParser parser;
  Parse(parser, SettingsDoc(""));
  const xercesc::DOMElement* root = parser.GetRootElement();
  ASSERT_TRUE(TagNameEquals(root, "PMML"));
  const xercesc::DOMElement* task = GetFirstChildElmt(root, "MiningBuildTask");
  EXPECT_TRUE(parser.SetModelElmt(*task));
  EXPECT_EQ(parser.GetModelElmt(), task);
  MCXMLReadWrite other;
  Parse(other, "<x/>");
  EXPECT_FALSE(parser.SetModelElmt(*other.GetDocument()->getDocumentElement()));
  EXPECT_EQ(parser.GetModelElmt(), task);
}

const std::string kWeight = P("FrequencyWeightVar", "w");

TEST(MCSettingsParserFillTest, StoragesFollowTheDataType) {
  const std::pair<const char*, IMCVariable::VariableStorage> types[] = {
      {"integer", IMCVariable::kIntegerStorage},   {"double", IMCVariable::kRealStorage},
      {"float", IMCVariable::kRealStorage},        {"string", IMCVariable::kStringStorage},
      {"date", IMCVariable::kDateStorage},         {"time", IMCVariable::kTimeStorage},
      {"dateTime", IMCVariable::kTimestampStorage}};
  std::string fields;
  for (const auto& t : types) fields += Field(std::string("v_") + t.first, "categorical", t.first);
  MCSettingsParser parser;
  Parse(parser, SettingsDoc(kWeight, fields));
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
  Parse(other, SettingsDoc(kWeight, Field("d", "continuous", "dateDaysSince[1970]")));
  EXPECT_EQ(other.FillVarList(list, false).GetErrorCode(), 109);
  EXPECT_EQ(list.Size(), 7);
}

TEST(MCSettingsParserFillTest, WeightRangesBinsAndMissingValues) {
  const std::string fields =
      El("DataField",
         {{"name", "x"}, {"displayName", "X"}, {"optype", "continuous"}, {"dataType", "double"}},
         Ext("invalidRangeLower", "90") + Interval("closedClosed", "-5", "50") +
             Value("-1", "missing")) +
      Field("w", "continuous", "integer") +
      Field("y", "continuous", "float", Interval("closedOpen", "1", ""));
  MCSettingsParser parser;
  Parse(parser, SettingsDoc(kWeight, fields, Binned("x", {"0", "20", "30"})));

  MCVarList list;
  ASSERT_TRUE(parser.FillVarList(list, false).IsOK());
  ASSERT_EQ(list.Size(), 3);
  const auto* x = dynamic_cast<const MCContVar*>(list.GetVarAt(0));
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
  const auto* y = dynamic_cast<const MCContVar*>(list.GetVarAt(2));
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->GetMin(), 1.0);
  EXPECT_EQ(y->GetMax(), std::numeric_limits<double>::max());

  MCVarList binned;
  EXPECT_EQ(parser.FillVarList(binned, true).GetErrorCode(), 110);  // y has no discretisation
  ASSERT_EQ(binned.Size(), 2);
  const auto* xb = dynamic_cast<const MCContVar*>(binned.GetVarAt(0));
  ASSERT_NE(xb, nullptr);
  EXPECT_EQ(xb->GetMin(), -5.0);  // the range still comes from the field's interval
  EXPECT_EQ(xb->GetCutPoints(), std::vector<double>{20.0});
  EXPECT_EQ(xb->GetEncoder()->GetNumberOfCategories(), 2);
}

TEST(MCSettingsParserFillTest, TransformationDictionaryAndStatuses) {
  const std::string trans =
      "<TransformationDictionary>" +
      El("DerivedField", {{"name", "d"}, {"optype", "categorical"}, {"dataType", "string"}},
         Value("p") + Value("q", "missing") + "<Apply function=\"x\"/>") +
      El("DerivedField", {{"name", "e"}, {"optype", "continuous"}, {"dataType", "double"}},
         Interval("closedClosed", "3", "1")) +
      "</TransformationDictionary>";
  MCSettingsParser parser;
  Parse(parser, SettingsDoc(kWeight, "", trans));
  MCVarList list;
  EXPECT_EQ(parser.FillTransDict(list).GetErrorCode(), 108);  // e's interval is reversed
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.GetEncoderAt(0)->GetNumberOfCategories(), 1);
  EXPECT_TRUE(list.GetEncoderAt(0)->IsMissing(std::string("q")));

  MCSettingsParser noTrans;
  Parse(noTrans, SettingsDoc(kWeight, Field("a", "x", "float")));
  EXPECT_EQ(noTrans.FillTransDict(list).GetErrorCode(), 107);
  // Without parameters the fields still read, with no weight.
  MCSettingsParser noParams;
  Parse(noParams, Doc(Dict(Field("w", "continuous", "float"))), 119);
  MCVarList fields;
  ASSERT_TRUE(noParams.FillVarList(fields, false).IsOK());
  EXPECT_EQ(fields.GetFreqWeightIndex(), -1);
  EXPECT_EQ(fields.GetVarAt(0)->GetMeasureLevel(), IMCVariable::kContinuous);
}

}  // namespace

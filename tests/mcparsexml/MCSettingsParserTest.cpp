#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "MCMV.h"
#include "MCSettingsParser.h"
#include "MCVarList.h"
#include "MCXMLUtil.h"
#include "PMMLTestDocs.h"

using namespace MCComXPrsUtil;
using namespace pmml_test;
using MCCommon::MCStatus;
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

// Outputs start from values a failed call must leave alone; "a/b/n" is n in a's complex b.
std::pair<MCStatus, std::string> Call(const MCSettingsParser& p, const std::string& g,
                                      std::string n) {
  const xercesc::DOMElement* scope = nullptr;
  for (std::size_t slash; (slash = n.find('/')) != std::string::npos; n.erase(0, slash + 1)) {
    scope = p.GetComplexParameter(n.substr(0, slash), scope);
    if (scope == nullptr) return {MCStatus(), "no scope " + n.substr(0, slash)};
  }
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
  if (g == "s") return {p.GetParameter(n, s, scope), Show(s)};
  if (g == "i") return {p.GetParameter(n, i, scope), Show(i)};
  if (g == "d") return {p.GetParameter(n, d, scope), Show(d)};
  if (g == "b") return {p.GetParameter(n, b, scope), Show(b)};
  if (g == "complex") return {MCStatus(), p.GetComplexParameter(n, scope) ? "found" : "none"};
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
  if (g == "type") return {MCStatus(), Show(p.GetParameterType(n))};
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
        GetterCase{"vars", "badList", 108, "[keep,]"}, GetterCase{"var", "target", 121, "keep"},
        GetterCase{"type", "s", 0, "0"}, GetterCase{"type", "d", 0, "1"},
        GetterCase{"type", "i", 0, "2"}, GetterCase{"type", "t", 0, "3"},
        GetterCase{"type", "e", 0, "4"}, GetterCase{"type", "fld", 0, "5"},
        GetterCase{"type", "absent", 0, "6"}, GetterCase{"type", "odd", 0, "6"},
        GetterCase{"type", "untyped", 0, "6"}, GetterCase{"complex", "cx", 0, "found"},
        GetterCase{"complex", "i", 0, "none"},      // a Parameter, not complex
        GetterCase{"complex", "inner", 0, "none"},  // only inside cx
        GetterCase{"i", "cx/i", 0, "5"}, GetterCase{"s", "cx/inner/s", 0, "deep"},
        GetterCase{"s", "cx/s", 120, "keep"}));  // not inherited from the root

// 107 without a parse or after a failed one; 119 without the settings' Parameters element.
TEST(MCSettingsParserTest, NoParametersToRead) {
  const std::pair<const char*, long> documents[] = {
      {nullptr, 107},
      {"<PMML><MiningBuildTask>", 107},
      {"<PMML><MiningBuildTask><Extension name=\"x\"/></MiningBuildTask></PMML>", 119},
      {"<PMML><Parameters><Parameter name=\"a\" value=\"1\"/></Parameters></PMML>", 119}};
  for (const auto& [text, code] : documents) {
    MCSettingsParser parser;
    if (text != nullptr) Parse(parser, text, code == 107 ? 104 : code);
    EXPECT_EQ(parser.GetStatus().GetErrorCode(), text == nullptr ? 0 : code == 107 ? 104 : code);
    EXPECT_EQ(parser.GetRootElement() != nullptr, code == 119);
    for (const char* getter : {"i", "vars", "mi"})
      ExpectStatus(Call(parser, getter, "a").first, code);
    EXPECT_EQ(parser.GetComplexParameter("a"), nullptr);
    EXPECT_EQ(parser.GetParameterType("a"), MCSettingsParser::kUnknownType);
  }
  MCSettingsParser parser;
  MCVarList list;
  EXPECT_EQ(parser.FillVarList(list, false).GetErrorCode(), 107);
  EXPECT_EQ(parser.FillTransDict(list).GetErrorCode(), 107);
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

// The weight parameter names the weight; only the data types a settings document knows.
struct FillCase {
  const char* name;
  std::string document;
  long code;
  std::string read;
  bool bins = false;
  bool derived = false;  // the transformation dictionary rather than the data dictionary
};
const std::string kWeight = P("FrequencyWeightVar", "w");

std::string Storages() {
  std::string fields;
  for (const char* type : {"integer", "double", "float", "string", "date", "time", "dateTime"}) {
    fields += Field(std::string("v_") + type, "categorical", type);
  }
  return SettingsDoc(kWeight, fields);
}

// y: a range open at the right.
const std::string kRanges = SettingsDoc(
    kWeight,
    El("DataField",
       {{"name", "x"}, {"displayName", "X"}, {"optype", "continuous"}, {"dataType", "double"}},
       El("Extension", {{"name", "invalidRangeLower"}, {"value", "90"}}) +
           Interval("closedClosed", "-5", "50") + Value("-1", "missing")) +
        Field("w", "continuous", "integer") +
        Field("y", "continuous", "float", Interval("closedOpen", "1", "")),
    Binned("x", {"0", "20", "30"}));

const std::string kDerived = SettingsDoc(
    kWeight, "",
    "<TransformationDictionary>" +
        El("DerivedField", {{"name", "d"}, {"optype", "categorical"}, {"dataType", "string"}},
           Value("p") + Value("q", "missing") + "<Apply function=\"x\"/>") +
        El("DerivedField", {{"name", "e"}, {"optype", "continuous"}, {"dataType", "double"}},
           Interval("closedClosed", "3", "1")) +
        "</TransformationDictionary>");

TEST(MCSettingsParserFillTest, StatusAndList) {
  const FillCase cases[] = {
      {"Storages", Storages(), 0,
       "v_integer N1\nv_double N2\nv_float N2\nv_string S3\nv_date N4\nv_time N5\n"
       "v_dateTime N6\n"},
      // The PMML reader's wider list of types is not a settings document's.
      {"PMMLOnlyType", SettingsDoc(kWeight, Field("d", "continuous", "dateDaysSince[1970]")), 109,
       ""},
      {"WeightAndRanges", kRanges, 0,
       "x C2 'X' miss{-1} [90,max] range -5..50 bins -1/0\nw W1\n"
       "y C2 range 1..max bins -1/0\n"},
      // The range still comes from the field's interval; y has no discretisation.
      {"Bins", kRanges, 110, "x C2 'X' miss{-1} [90,max] range -5..50 cuts{20} bins 2/2\nw W1\n",
       true},
      // e's interval is reversed.
      {"Derived", kDerived, 108, "d S3 {p} miss{q}\n", false, true},
      {"NoTransformationDictionary", SettingsDoc(kWeight, Field("a", "x", "float")), 107, "", false,
       true},
      // Without parameters the fields still read, with no weight.
      {"NoParameters", Doc(Dict(Field("w", "continuous", "float"))), 0,
       "w C2 range MV..max bins -1/0\n"}};
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.name);
    MCSettingsParser parser;
    std::istringstream in(c.document);
    parser.ParseToDOM(in);
    MCVarList list;
    EXPECT_EQ(
        (c.derived ? parser.FillTransDict(list) : parser.FillVarList(list, c.bins)).GetErrorCode(),
        c.code);
    EXPECT_EQ(Describe(list), c.read);
  }
}

}  // namespace

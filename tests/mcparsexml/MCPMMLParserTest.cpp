#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "IMCEncoder.h"
#include "MCCatVar.h"
#include "MCContVar.h"
#include "MCMV.h"
#include "MCPMMLExporter.h"
#include "MCPMMLParser.h"
#include "MCXMLUtil.h"
#include "PMMLTestDocs.h"
#include "XMLElement.h"
#include "metadata/MetadataTestUtil.h"
#include "metadata/VarListGenerator.h"

namespace {

using namespace pmml_test;
using MCCommon::MCStatus;
using MCCommonMetadata::IMCEncoder;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCUniStats;
using MCCommonMetadata::MCVarList;
using MCCommonXML::XMLElement;
using MCComXPrsUtil::MCPMMLExporter;
using MCComXPrsUtil::MCPMMLParser;

using metadata_test::OrEmpty;

struct Parsed {
  explicit Parsed(const std::string& text) {
    std::istringstream in(text);
    status = parser.ParseToDOM(in);
  }
  MCPMMLParser parser;
  MCStatus status;
};

using Owned = std::unique_ptr<XMLElement>;

// The host's part: the model element that holds the univariate statistics.
Owned ModelWithStats(MCPMMLExporter& exporter, const std::vector<MCUniStats>& stats) {
  Owned model(XMLElement::Create("RegressionModel"));
  model->AddAttribute("functionName", "regression");
  Owned schema(XMLElement::Create("MiningSchema"));
  Owned modelStats(XMLElement::Create("ModelStats"));
  for (const MCUniStats& s : stats) {
    Owned field(XMLElement::Create("MiningField"));
    field->AddAttribute("name", s.GetVarName());
    schema->AddElement(field.release());
    XMLElement* uni = nullptr;
    EXPECT_TRUE(exporter.ExportUniStats(s, uni).IsOK());
    modelStats->AddElement(uni);
  }
  model->AddElement(schema.release());
  model->AddElement(modelStats.release());
  Owned table(XMLElement::Create("RegressionTable"));
  table->AddAttribute("intercept", 0.0);
  model->AddElement(table.release());
  return model;
}

// Statistics as the exporter writes them (the case count rounded).
std::string Exported(MCPMMLExporter& exporter, const MCUniStats& stats) {
  XMLElement* out = nullptr;
  EXPECT_TRUE(exporter.ExportUniStats(stats, out).IsOK());
  std::string text;
  MCCommonXML::ExportFormat format;
  if (out != nullptr) Owned(out)->ToString(text, format);
  return text;
}

// The first refused field stops the reading with the fields before it kept.
struct FieldsCase {
  const char* name;
  std::string document;  // empty: nothing parsed
  long code;
  std::string read;
  std::vector<std::string> names = {};
  bool bins = false;
};
const std::string kAB = Field("a", "continuous", "float") + Field("b", "continuous", "float");
const std::string kXY = Field("x", "continuous", "double") + Field("y", "continuous", "double");
const std::string kBinnedX = Binned("x", {"0", "10", "25", "40"});

TEST(MCPMMLParserFields, StatusAndList) {
  const FieldsCase cases[] = {
      {"DataTypes",
       Doc(Dict(Field("d", "continuous", "dateDaysSince[1970]") +
                Field("i", "categorical", "integer", Value("4") + Value("x") + Value("7")) +
                Field("b", "categorical", "boolean") + Field("z", "continuous", "double"))),
       109, "d C0 range MV..max bins -1/0\ni N1 {4 7}\n"},
      // What the writer never writes: "invalid" values, ordinal fields.
      {"InvalidAndOrdinal",
       Doc(Dict(Field("n", "ordinal", "double",
                      Value("2") + Value("-9", "invalid") + Value("1", "valid")))),
       0, "n N2 {2 1} miss{-9}\n"},
      // Repeated categories and values that cannot be categories are passed over.
      {"RepeatedCategories",
       Doc(Dict(Field("s", "categorical", "string",
                      Value("a", "", "A") + Value("b", "", "B") + Value("a", "", "again") +
                          Value("c", "", "C")) +
                Field("n", "categorical", "double",
                      Value("1", "", "one") + Value("NaN", "", "nan") + Value("1.0", "", "dup") +
                          Value("INF", "", "inf") + Value("-0", "", "zero") +
                          Value("0", "", "dup")))),
       0, "s S3 {a=A b=B c=C}\nn N2 {1=one inf=inf -0=zero}\n"},
      {"DuplicateName", Doc(Dict(kAB + Field("a", "continuous", "float"))), 111,
       "a C2 range MV..max bins -1/0\nb C2 range MV..max bins -1/0\n"},
      {"NoName", Doc(Dict(Field("", "continuous", "float"))), 108, ""},
      {"NoDataType", Doc(Dict(Field("x", "continuous", ""))), 108, ""},
      {"NoOptype", Doc(Dict(Field("x", "", "float"))), 108, ""},
      // A field left out by the filter is not checked.
      {"FilteredOutNotChecked",
       Doc(Dict(Field("x", "continuous", "") + kAB)),
       0,
       "b C2 range MV..max bins -1/0\n",
       {"b"}},
      {"NothingParsed", "", 107, ""},
      {"NoDictionary", Doc("<Header/>"), 107, ""},
      {"NotXml", "<PMML><DataDictionary>", 104, ""},
      // y has no bins.
      {"Bins", Doc(Dict(kXY) + kBinnedX), 110, "x C2 range 0..40 cuts{10 25} bins 3/3\n", {}, true},
      {"BinsNotAskedFor", Doc(Dict(kXY) + kBinnedX), 0,
       "x C2 range MV..max bins -1/0\ny C2 range MV..max bins -1/0\n"},
      {"NoTransformationDictionary", Doc(Dict(kXY)), 110, "", {"x"}, true}};
  for (const FieldsCase& c : cases) {
    SCOPED_TRACE(c.name);
    MCPMMLParser unparsed;
    Parsed doc(c.document);
    MCVarList list;
    const MCPMMLParser& parser = c.document.empty() ? unparsed : doc.parser;
    EXPECT_EQ(parser.FillVarList(list, c.names, c.bins).GetErrorCode(), c.code);
    EXPECT_EQ(Describe(list), c.read);
  }
}

struct UniCase {
  const char* body;
  long code;
  const char* field = "v";
};
#define MCX_COUNTS "<Counts totalFreq=\"3\"/>"
TEST(UniStatsMalformedTest, RefusedWithoutChangingTheStatistics) {
  const UniCase cases[] = {
      {MCX_COUNTS "<DiscrStats><Array>1 2</Array></DiscrStats>", 108},
      {MCX_COUNTS "<DiscrStats><Array type=\"string\">1</Array></DiscrStats>", 109},
      {MCX_COUNTS "<DiscrStats><Array type=\"int\">1 -2</Array></DiscrStats>", 114},
      {MCX_COUNTS "<ContStats><Interval closure=\"openClosed\"/></ContStats>", 108},
      {MCX_COUNTS "<ContStats><Interval closure=\"openClosed\" leftMargin=\"5\" "
                  "rightMargin=\"1\"/></ContStats>",
       108},
      {MCX_COUNTS "<NumericInfo mean=\"x\"/>", 108},
      {"<DiscrStats/>", 108},
      // What the schema allows: infinite statistics, infinite margins as open ends.
      {MCX_COUNTS "<NumericInfo minimum=\"-INF\" maximum=\" INF \" mean=\"NaN\"/>", 0},
      {MCX_COUNTS "<ContStats><Interval closure=\"openClosed\" leftMargin=\"-INF\" "
                  "rightMargin=\"1\"/><Interval closure=\"openClosed\" leftMargin=\"1\" "
                  "rightMargin=\"INF\"/><Array type=\"int\">2 3</Array></ContStats>",
       0},
      {MCX_COUNTS "<ContStats><Interval closure=\"openClosed\" leftMargin=\"INF\"/>"
                  "</ContStats>",
       108},
      // A gap between intervals cannot be told by cut points.
      {MCX_COUNTS "<ContStats><Interval closure=\"openClosed\" leftMargin=\"0\" "
                  "rightMargin=\"1\"/><Interval closure=\"openClosed\" leftMargin=\"2\" "
                  "rightMargin=\"3\"/></ContStats>",
       108},
      {MCX_COUNTS "<DiscrStats><Array type=\"int\">4 5</Array></DiscrStats>", 0},
      {MCX_COUNTS, 108, ""}};  // no field name
  for (const UniCase& c : cases) {
    SCOPED_TRACE(c.body);
    Parsed doc(Doc(El("UnivariateStats", {{"field", c.field}}, c.body)));
    const xercesc::DOMElement* current =
        MCComXPrsUtil::GetFirstChildElmt(doc.parser.GetRootElement(), "UnivariateStats");
    MCUniStats stats("old", 1.0, {1.0});
    EXPECT_EQ(doc.parser.FillUniStats(stats, current).GetErrorCode(), c.code);
    EXPECT_EQ(stats.GetVarName(), c.code == 0 ? c.field : "old");
  }
}

#undef MCX_COUNTS

std::vector<std::string> Utf8(const std::vector<std::string>* texts) {
  std::vector<std::string> out = OrEmpty(texts);
  for (std::string& text : out) text = metadata_test::AsUtf8(text);
  return out;
}

// What a PMML data dictionary keeps of a variable: texts as UTF-8, NaN missing as unknown.
void ExpectReadFromPMML(const IMCVariable& want, const IMCVariable& got) {
  using metadata_test::AsUtf8;
  EXPECT_EQ(got.GetVariableName(), AsUtf8(want.GetVariableName()));
  EXPECT_EQ(got.GetVariableLabel(), AsUtf8(want.GetVariableLabel()));
  const IMCVariable::MeasureLevel level = want.GetMeasureLevel();
  EXPECT_EQ(got.GetMeasureLevel(),
            level == IMCVariable::kFrequencyWeightMeasure ? IMCVariable::kContinuous : level);
  EXPECT_EQ(got.GetVariableStorage(), level == IMCVariable::kStringCategorical
                                          ? IMCVariable::kStringStorage
                                          : IMCVariable::kRealStorage);
  EXPECT_EQ(got.GetVariableRole(), IMCVariable::kInput);
  const IMCEncoder& a = *want.GetEncoder();
  const IMCEncoder& b = *got.GetEncoder();
  if (got.GetMeasureLevel() != IMCVariable::kContinuous) {
    const int n = a.GetNumberOfCategories();
    ASSERT_EQ(b.GetNumberOfCategories(), n);
    for (int code = 0; code < n; ++code) {
      EXPECT_TRUE(metadata_test::SameDouble(b.DecodeNum(code), a.DecodeNum(code)));
      EXPECT_EQ(b.Decode(code), AsUtf8(a.Decode(code)));
    }
    // Labels of the categories, empty ones left out; none at all when every one is empty.
    std::vector<std::string> labels = Utf8(a.GetValueLabels());
    labels.resize(static_cast<std::size_t>(n));
    if (std::all_of(labels.begin(), labels.end(), [](const std::string& l) { return l.empty(); })) {
      labels.clear();
    }
    EXPECT_EQ(OrEmpty(b.GetValueLabels()), labels);
  }
  EXPECT_EQ(OrEmpty(b.GetDiscreteMissValuesStr()), Utf8(a.GetDiscreteMissValuesStr()));
  EXPECT_EQ(OrEmpty(b.GetMissValueLabels()), Utf8(a.GetMissValueLabels()));
  std::vector<double> missing = OrEmpty(a.GetDiscreteMissValues());
  for (double& m : missing) m = std::isnan(m) ? MCMV::Missing() : m;
  metadata_test::ExpectSameDoubles(OrEmpty(b.GetDiscreteMissValues()), missing);
  double la = 0, ha = 0, lb = 0, hb = 0;
  ASSERT_EQ(b.GetMissingInterval(lb, hb), a.GetMissingInterval(la, ha));
  EXPECT_TRUE(metadata_test::SameDouble(la, lb) && metadata_test::SameDouble(ha, hb));
}

// Generated lists in PMML 3.2 documents as a host assembles them; case counts fractional or huge.
TEST(MCPMMLParserRoundTrip, GeneratedDocumentsAreValidAndReadBack) {
  MCUniStats::SummStats summ;
  summ.fMinimum = -3.5;
  summ.fMaximum = 90.0;
  summ.fMean = 40.5;  // standard deviation unknown
  const MCUniStats age("age", 12.5, summ, {MCMV::Missing(), 30.0, 60.0, MCMV::Missing()},
                       {5, 4, 3.5});
  MCUniStats closed("c", 12.0, MCUniStats::SummStats(), {MCMV::Missing(), 10, 20, 40}, {1, 5, 6});
  closed.SetIntervalsOpenLeft(false);
  summ.fStdDev = 12.25;
  const std::vector<MCUniStats> stats = {age, closed, MCUniStats("grade", 1e15, {6.0, 0.0, 2.0}),
                                         MCUniStats("region", 1e23, {}),
                                         MCUniStats("w", 0.4, summ, {}, {})};
  MCComXPrsUtil::MCApplicInfo4XML info;
  info.fAppName = "mcstat tests";
  metadata_test::VarListGenerator generator(77);
  std::vector<std::string> files;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const MCVarList list = generator.Next();
    MCPMMLExporter exporter;
    Owned root(exporter.ExportPMMLElement());
    XMLElement* part = nullptr;
    const bool odd = round % 2 == 1;
    ASSERT_TRUE(exporter.ExportHeader(odd ? &info : nullptr, odd ? "a & b" : "", odd, part).IsOK());
    root->AddElement(part);
    std::vector<int> all;
    for (int i = 0; i < list.Size(); ++i) all.push_back(i);
    ASSERT_TRUE(exporter.ExportDataDictionary(list, all, part).IsOK());
    root->AddElement(part);
    root->AddElement(ModelWithStats(exporter, stats).release());
    std::ostringstream os;
    MCCommonXML::WriteTreeUTF8(os, nullptr, root.get(), true);

    Parsed doc(os.str());
    ASSERT_TRUE(doc.status.IsOK()) << doc.parser.GetXercesMessage();
    MCVarList read;
    ASSERT_EQ(doc.parser.FillVarList(read, {}, false).GetErrorCode(), 0);
    ASSERT_EQ(read.Size(), list.Size());
    for (int i = 0; i < list.Size(); ++i) ExpectReadFromPMML(*list.GetVarAt(i), *read.GetVarAt(i));
    const xercesc::DOMElement* current = MCComXPrsUtil::GetFirstChildElmt(
        MCComXPrsUtil::GetFirstChildElmt(
            MCComXPrsUtil::GetFirstChildElmt(doc.parser.GetRootElement(), "RegressionModel"),
            "ModelStats"),
        "UnivariateStats");
    MCUniStats readStats;
    for (const MCUniStats& want : stats) {
      ASSERT_TRUE(doc.parser.FillUniStats(readStats, current).IsOK()) << want.GetVarName();
      EXPECT_EQ(Exported(exporter, readStats), Exported(exporter, want));
    }
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(doc.parser.FillUniStats(readStats, current).GetErrorCode(), 107);
    files.push_back(testing::TempDir() + "mcstat_pmml_property_" + std::to_string(getpid()) + "_" +
                    std::to_string(round) + ".xml");
    std::ofstream(files.back(), std::ios::binary) << os.str();
  }
  const SchemaCheck check = ValidateAgainst("pmml-3-2.xsd", files);
  for (const std::string& file : files) std::remove(file.c_str());
  if (check.status == -1) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_EQ(check.status, 0) << check.report;
}

}  // namespace

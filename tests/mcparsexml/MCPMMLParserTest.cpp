#include <gtest/gtest.h>

#include <limits>
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
#include "XMLElement.h"

namespace {

using MCCommon::MCStatus;
using MCCommonMetadata::IMCEncoder;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCUniStats;
using MCCommonMetadata::MCVarList;
using MCCommonXML::XMLElement;
using MCComXPrsUtil::MCPMMLExporter;
using MCComXPrsUtil::MCPMMLParser;

constexpr double kLowest = std::numeric_limits<double>::lowest();

template <typename T>
std::vector<T> OrEmpty(const std::vector<T>* v) {
  return v != nullptr ? *v : std::vector<T>();
}

void ExpectSameVariable(const IMCVariable& want, const IMCVariable& got) {
  SCOPED_TRACE(want.GetVariableName());
  EXPECT_EQ(got.GetVariableName(), want.GetVariableName());
  EXPECT_EQ(got.GetVariableLabel(), want.GetVariableLabel());
  EXPECT_EQ(got.GetMeasureLevel(), want.GetMeasureLevel());
  EXPECT_EQ(got.GetVariableStorage(), want.GetVariableStorage());
  EXPECT_EQ(got.GetVariableRole(), want.GetVariableRole());
  const IMCEncoder* a = want.GetEncoder();
  const IMCEncoder* b = got.GetEncoder();
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->GetNumberOfCategories(), a->GetNumberOfCategories());
  for (int code = 0; code < a->GetNumberOfCategories(); ++code) {
    EXPECT_EQ(b->Decode(code), a->Decode(code)) << "code " << code;
  }
  EXPECT_EQ(OrEmpty(b->GetValueLabels()), OrEmpty(a->GetValueLabels()));
  EXPECT_EQ(OrEmpty(b->GetDiscreteMissValues()), OrEmpty(a->GetDiscreteMissValues()));
  EXPECT_EQ(OrEmpty(b->GetDiscreteMissValuesStr()), OrEmpty(a->GetDiscreteMissValuesStr()));
  EXPECT_EQ(OrEmpty(b->GetMissValueLabels()), OrEmpty(a->GetMissValueLabels()));
  double lowA = 0, highA = 0, lowB = 0, highB = 0;
  ASSERT_EQ(b->GetMissingInterval(lowB, highB), a->GetMissingInterval(lowA, highA));
  EXPECT_EQ(lowB, lowA);
  EXPECT_EQ(highB, highA);
}

std::string ToText(XMLElement* root) {
  std::ostringstream os;
  MCCommonXML::WriteTreeUTF8(os, nullptr, root, true);
  return os.str();
}

std::string Doc(const std::string& body) { return "<PMML version=\"3.2\">" + body + "</PMML>"; }

std::string Dict(const std::string& fields) {
  return "<DataDictionary>" + fields + "</DataDictionary>";
}

struct Parsed {
  explicit Parsed(const std::string& text) {
    std::istringstream in(text);
    status = parser.ParseToDOM(in);
  }
  MCPMMLParser parser;
  MCStatus status;
};

}  // namespace

TEST(MCPMMLParserRoundTrip, DataDictionaryReadsBackIntoAnEqualList) {
  MCVarList list;
  list.AddContVar("age", "Age in years", IMCVariable::kInput);
  list.GetEncoderAt(0)->SetMissingInterval(90.0, 99.0);
  list.GetEncoderAt(0)->AddDiscreteUserMissing(-1.0, "refused");
  // Codes follow the order values were first seen, which is not sorted.
  list.AddCatVar("grp", "", std::vector<double>{3.0, 1.0, 2.5}, {"three", "", "two and a half"},
                 IMCVariable::kInput);
  list.GetEncoderAt(1)->AddDiscreteUserMissing(9.0, "");
  list.GetEncoderAt(1)->AddDiscreteUserMissing(8.0, "unknown");
  list.GetEncoderAt(1)->SetMissingInterval(kLowest, -5.0);
  list.AddCatVar("color", "Colour \"&\" <shade>", std::vector<std::string>{"red", "green", "bl ue"},
                 IMCVariable::kInput);
  list.GetEncoderAt(2)->AddDiscreteUserMissing("none", "");
  list.GetEncoderAt(2)->AddDiscreteUserMissing("n/a", "not applicable");
  list.AddCatVar("flag", "Flag", std::vector<double>{0.0, 1.0}, IMCVariable::kInput);
  for (int i = 0; i < list.Size(); ++i) {
    list.GetVarAt(i)->SetVariableStorage(i == 2 ? IMCVariable::kStringStorage
                                                : IMCVariable::kRealStorage);
  }

  MCPMMLExporter exporter;
  std::unique_ptr<XMLElement> root(exporter.ExportPMMLElement());
  XMLElement* dict = nullptr;
  ASSERT_TRUE(exporter.ExportDataDictionary(list, {}, dict).IsOK());
  root->AddElement(dict);

  Parsed doc(ToText(root.get()));
  ASSERT_TRUE(doc.status.IsOK()) << doc.parser.GetXercesMessage();
  MCVarList read;
  ASSERT_TRUE(doc.parser.FillVarList(read, {}, false).IsOK());
  ASSERT_EQ(read.Size(), list.Size());
  EXPECT_EQ(read.GetNumContVar(), 1);
  EXPECT_EQ(read.GetNumCatVar(), 3);
  for (int i = 0; i < list.Size(); ++i) ExpectSameVariable(*list.GetVarAt(i), *read.GetVarAt(i));
}

TEST(MCPMMLParserRoundTrip, UnivariateStatisticsReadBack) {
  MCUniStats::SummStats summ;
  summ.fMinimum = -3.5;
  summ.fMaximum = 40.0;
  summ.fMean = 12.25;  // standard deviation unknown
  MCUniStats cont("age", 12.0, summ, {MCMV::Missing(), 10.0, 20.0, 40.0}, {1.0, 5.0, 6.0});
  cont.SetIntervalsOpenLeft(false);
  const MCUniStats cat("grp", 10.0, {3.0, 0.0, 7.0});

  MCPMMLExporter exporter;
  std::unique_ptr<XMLElement> root(XMLElement::Create("PMML"));
  XMLElement* modelStats = XMLElement::Create("ModelStats");
  root->AddElement(modelStats);
  for (const MCUniStats* s : {static_cast<const MCUniStats*>(&cont), &cat}) {
    XMLElement* uni = nullptr;
    ASSERT_TRUE(exporter.ExportUniStats(*s, uni).IsOK());
    modelStats->AddElement(uni);
  }
  Parsed doc(ToText(root.get()));
  ASSERT_TRUE(doc.status.IsOK());
  const xercesc::DOMElement* current = MCComXPrsUtil::GetFirstChildElmt(
      MCComXPrsUtil::GetFirstChildElmt(doc.parser.GetRootElement(), "ModelStats"),
      "UnivariateStats");

  MCUniStats read;
  ASSERT_TRUE(doc.parser.FillUniStats(read, current).IsOK());
  ASSERT_NE(current, nullptr);
  EXPECT_FALSE(read.IsCategorical());
  EXPECT_EQ(read.GetVarName(), "age");
  EXPECT_EQ(read.GetNumberOfCases(), 12.0);
  EXPECT_EQ(read.GetCutPoints(), cont.GetCutPoints());
  EXPECT_EQ(read.GetFrequencies(), cont.GetFrequencies());
  EXPECT_FALSE(read.AreIntervalsOpenLeft());
  EXPECT_EQ(read.GetSummStats().fMinimum, -3.5);
  EXPECT_EQ(read.GetSummStats().fMaximum, 40.0);
  EXPECT_EQ(read.GetSummStats().fMean, 12.25);
  EXPECT_TRUE(MCMV::IsMissing(read.GetSummStats().fStdDev));

  ASSERT_TRUE(doc.parser.FillUniStats(read, current).IsOK());
  EXPECT_EQ(current, nullptr);
  EXPECT_TRUE(read.IsCategorical());
  EXPECT_EQ(read.GetVarName(), "grp");
  EXPECT_EQ(read.GetNumberOfCases(), 10.0);
  EXPECT_EQ(read.GetFrequencies(), cat.GetFrequencies());
  EXPECT_EQ(doc.parser.FillUniStats(read, current).GetErrorCode(), 107);
}

TEST(MCPMMLParserFields, AcceptedAndRefusedDataTypes) {
  Parsed doc(Doc(
      Dict("<DataField name=\"d\" optype=\"continuous\" dataType=\"dateDaysSince[1970]\"/>"
           "<DataField name=\"i\" optype=\"categorical\" dataType=\"integer\"><Value value=\"4\"/>"
           "<Value value=\"x\"/><Value value=\"7\"/></DataField>"
           "<DataField name=\"b\" optype=\"categorical\" dataType=\"boolean\"/>"
           "<DataField name=\"after\" optype=\"continuous\" dataType=\"double\"/>")));
  MCVarList list;
  const MCStatus status = doc.parser.FillVarList(list, {}, false);
  EXPECT_EQ(status.GetErrorCode(), 109);
  EXPECT_TRUE(status.IsError());
  ASSERT_EQ(list.Size(), 2);  // the refused field stops the reading
  EXPECT_EQ(list.GetVarAt(0)->GetMeasureLevel(), IMCVariable::kContinuous);
  EXPECT_EQ(list.GetVarAt(0)->GetVariableStorage(), IMCVariable::kUndefinedStorage);
  EXPECT_EQ(list.GetVarAt(1)->GetVariableStorage(), IMCVariable::kIntegerStorage);
  // The value that is not a number is skipped.
  ASSERT_EQ(list.GetEncoderAt(1)->GetNumberOfCategories(), 2);
  EXPECT_EQ(list.GetEncoderAt(1)->DecodeNum(1), 7.0);
}

TEST(MCPMMLParserFields, ValuesMissingValuesRangesAndOrdinal) {
  Parsed doc(
      Doc(Dict("<DataField name=\"s\" optype=\"categorical\" dataType=\"string\">"
               "<Value value=\"a\" property=\"valid\"/><Value value=\"z\" property=\"missing\" "
               "displayValue=\"gone\"/><Value value=\"b\" displayValue=\"Bee\"/></DataField>"
               "<DataField name=\"n\" optype=\"ordinal\" dataType=\"double\"><Value value=\"2\"/>"
               "<Value value=\"1\"/><Value value=\"-9\" property=\"invalid\"/>"
               "<Extension name=\"invalidRangeLower\" value=\"90\"/>"
               "<Extension name=\"invalidRangeUpper\" value=\"99\"/></DataField>")));
  MCVarList list;
  ASSERT_TRUE(doc.parser.FillVarList(list, {}, false).IsOK());
  ASSERT_EQ(list.Size(), 2);
  const IMCEncoder* s = list.GetEncoderAt(0);
  EXPECT_EQ(list.GetVarAt(0)->GetMeasureLevel(), IMCVariable::kStringCategorical);
  ASSERT_EQ(s->GetNumberOfCategories(), 2);
  EXPECT_EQ(s->Decode(0), "a");
  EXPECT_EQ(s->Decode(1), "b");
  // Each label stays with its own value although "a" has none.
  EXPECT_EQ(OrEmpty(s->GetValueLabels()), (std::vector<std::string>{"", "Bee"}));
  EXPECT_EQ(OrEmpty(s->GetDiscreteMissValuesStr()), std::vector<std::string>{"z"});
  EXPECT_EQ(OrEmpty(s->GetMissValueLabels()), std::vector<std::string>{"gone"});
  EXPECT_TRUE(s->IsMissing(std::string("z")));

  const auto* n = dynamic_cast<const MCCommonMetadata::MCCatVar*>(list.GetVarAt(1));
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->GetMeasureLevel(), IMCVariable::kNumericCategorical);
  EXPECT_FALSE(n->GetOrdinalFlag());
  EXPECT_EQ(n->GetEncoder()->DecodeNum(0), 2.0);
  EXPECT_EQ(OrEmpty(n->GetEncoder()->GetDiscreteMissValues()), std::vector<double>{-9.0});
  double low = 0, high = 0;
  ASSERT_TRUE(n->GetEncoder()->GetMissingInterval(low, high));
  EXPECT_EQ(low, 90.0);
  EXPECT_EQ(high, 99.0);
}

TEST(MCPMMLParserFields, NamesFilterDuplicatesAndRequiredAttributes) {
  const std::string fields =
      "<DataField name=\"a\" optype=\"continuous\" dataType=\"float\"/>"
      "<DataField name=\"b\" optype=\"continuous\" dataType=\"float\"/>"
      "<DataField name=\"a\" optype=\"continuous\" dataType=\"float\"/>";
  Parsed doc(Doc(Dict(fields)));
  MCVarList filtered;
  ASSERT_TRUE(doc.parser.FillVarList(filtered, {"b"}, false).IsOK());
  ASSERT_EQ(filtered.Size(), 1);
  EXPECT_EQ(filtered.GetVarAt(0)->GetVariableName(), "b");

  MCVarList all;
  EXPECT_EQ(doc.parser.FillVarList(all, {}, false).GetErrorCode(), 111);
  EXPECT_EQ(all.Size(), 2);

  const char* incomplete[] = {"<DataField optype=\"continuous\" dataType=\"float\"/>",
                              "<DataField name=\"x\" optype=\"continuous\"/>",
                              "<DataField name=\"x\" dataType=\"float\"/>"};
  for (const char* field : incomplete) {
    Parsed bad(Doc(Dict(field)));
    MCVarList list;
    EXPECT_EQ(bad.parser.FillVarList(list, {}, false).GetErrorCode(), 108) << field;
    EXPECT_EQ(list.Size(), 0);
  }
  // A field left out by the filter is not checked.
  Parsed skipped(Doc(Dict(std::string(incomplete[1]) + fields)));
  MCVarList list;
  EXPECT_TRUE(skipped.parser.FillVarList(list, {"b"}, false).IsOK());
}

TEST(MCPMMLParserFields, DocumentStatuses) {
  MCPMMLParser fresh;
  MCVarList list;
  EXPECT_EQ(fresh.FillVarList(list, {}, false).GetErrorCode(), 107);
  Parsed noDict(Doc("<Header/>"));
  EXPECT_EQ(noDict.parser.FillVarList(list, {}, false).GetErrorCode(), 107);
  Parsed broken("<PMML><DataDictionary>");
  EXPECT_EQ(broken.parser.FillVarList(list, {}, false).GetErrorCode(), 104);
  EXPECT_EQ(list.Size(), 0);
}

TEST(MCPMMLParserFields, BinsFromTheTransformationDictionary) {
  const std::string trans =
      "<TransformationDictionary><DerivedField name=\"other\" optype=\"continuous\" "
      "dataType=\"double\"><FieldRef field=\"x\"/></DerivedField>"
      "<DerivedField name=\"xb\" optype=\"categorical\" dataType=\"string\">"
      "<Discretize field=\"x\">"
      "<DiscretizeBin binValue=\"low\"><Interval closure=\"openClosed\" leftMargin=\"0\" "
      "rightMargin=\"10\"/></DiscretizeBin>"
      "<DiscretizeBin binValue=\"mid\"><Interval closure=\"openClosed\" leftMargin=\"10\" "
      "rightMargin=\"25\"/></DiscretizeBin>"
      "<DiscretizeBin binValue=\"high\"><Interval closure=\"openClosed\" leftMargin=\"25\" "
      "rightMargin=\"40\"/></DiscretizeBin></Discretize></DerivedField>"
      "</TransformationDictionary>";
  const std::string fields =
      "<DataField name=\"x\" optype=\"continuous\" dataType=\"double\"/>"
      "<DataField name=\"y\" optype=\"continuous\" dataType=\"double\"/>";
  Parsed doc(Doc(Dict(fields) + trans));
  MCVarList list;
  EXPECT_EQ(doc.parser.FillVarList(list, {}, true).GetErrorCode(), 110);  // y has no bins
  ASSERT_EQ(list.Size(), 1);
  const auto* x = dynamic_cast<const MCCommonMetadata::MCContVar*>(list.GetVarAt(0));
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->GetMin(), 0.0);
  EXPECT_EQ(x->GetMax(), 40.0);
  EXPECT_EQ(x->GetCutPoints(), (std::vector<double>{10.0, 25.0}));
  EXPECT_EQ(x->GetEncoder()->GetNumberOfCategories(), 3);
  EXPECT_EQ(x->GetEncoder()->EncodeConst(12.0), 12.0);  // continuous values pass through

  MCVarList plain;
  ASSERT_TRUE(doc.parser.FillVarList(plain, {}, false).IsOK());
  EXPECT_TRUE(
      static_cast<const MCCommonMetadata::MCContVar*>(plain.GetVarAt(0))->GetCutPoints().empty());
  Parsed noTrans(Doc(Dict(fields)));
  EXPECT_EQ(noTrans.parser.FillVarList(plain, {"x"}, true).GetErrorCode(), 110);
}

TEST(MCPMMLParserUniStats, MalformedElements) {
  struct Case {
    const char* body;
    long code;
  };
  const Case cases[] = {
      {"<Counts totalFreq=\"3\"/><DiscrStats><Array>1 2</Array></DiscrStats>", 108},
      {"<Counts totalFreq=\"3\"/><DiscrStats><Array type=\"string\">1 2</Array></DiscrStats>", 109},
      {"<Counts totalFreq=\"3\"/><DiscrStats><Array type=\"int\">1 -2</Array></DiscrStats>", 114},
      {"<Counts totalFreq=\"3\"/><DiscrStats><Array type=\"real\">1 b</Array></DiscrStats>", 114},
      {"<Counts totalFreq=\"3\"/><ContStats><Interval closure=\"openClosed\"/></ContStats>", 108},
      {"<Counts totalFreq=\"3\"/><ContStats><Interval closure=\"openClosed\" leftMargin=\"5\" "
       "rightMargin=\"1\"/></ContStats>",
       108},
      {"<Counts totalFreq=\"3\"/><ContStats><Interval leftMargin=\"1\"/></ContStats>", 108},
      {"<Counts totalFreq=\"3\"/><NumericInfo mean=\"x\"/>", 108},
      {"<DiscrStats/>", 108},
      {"<Counts totalFreq=\"3\"/><DiscrStats><Array type=\"int\">4 5</Array></DiscrStats>", 0}};
  for (const Case& c : cases) {
    Parsed doc(Doc("<UnivariateStats field=\"v\">" + std::string(c.body) + "</UnivariateStats>"));
    const xercesc::DOMElement* current =
        MCComXPrsUtil::GetFirstChildElmt(doc.parser.GetRootElement(), "UnivariateStats");
    MCUniStats stats("old", 1.0, {1.0});
    EXPECT_EQ(doc.parser.FillUniStats(stats, current).GetErrorCode(), c.code) << c.body;
    EXPECT_EQ(stats.GetVarName(), c.code == 0 ? "v" : "old") << c.body;
  }
  Parsed noField(Doc("<UnivariateStats><Counts totalFreq=\"1\"/></UnivariateStats>"));
  const xercesc::DOMElement* current =
      MCComXPrsUtil::GetFirstChildElmt(noField.parser.GetRootElement(), nullptr);
  MCUniStats stats;
  EXPECT_EQ(noField.parser.FillUniStats(stats, current).GetErrorCode(), 108);
}

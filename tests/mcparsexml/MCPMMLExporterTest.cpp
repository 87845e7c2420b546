#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "MCPMMLExporter.h"
#include "metadata/MetadataTestUtil.h"

namespace {

using MCCommon::MCStatus;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCUniStats;
using MCCommonMetadata::MCVarList;
using MCCommonXML::XMLElement;
using MCComXPrsUtil::MCApplicInfo4XML;
using MCComXPrsUtil::MCPMMLExporter;
using Owned = std::unique_ptr<XMLElement>;

std::string Xml(const XMLElement* e) {
  if (e == nullptr) return "<null>";
  MCCommonXML::ExportFormat format;
  format.SetFormat(false);
  std::string out;
  e->ToString(out, format);
  return out;
}

// Says yes from its (after + 1)-th question on.
class CountingCancel : public MCCommon::MCQueryCancel {
 public:
  explicit CountingCancel(int after) : fAfter(after) {}
  bool IsCancel() override { return ++fCalls > fAfter; }
  bool WillCancel() override { return fCalls >= fAfter; }
  int fAfter;
  int fCalls = 0;
};

// The sample list of every kind of variable (see SampleList); 5 is unused.
class PMMLExporterTest : public ::testing::Test {
 protected:
  Owned Dictionary(MCPMMLExporter& exporter, const std::vector<int>& indices, MCStatus& status) {
    XMLElement* out = nullptr;
    status = exporter.ExportDataDictionary(list_, indices, out);
    return Owned(out);
  }

  MCVarList list_ = metadata_test::SampleList();
};

// The rest of the header is checked by the parser tests' schema validation.
TEST_F(PMMLExporterTest, HeaderTimestampIsTheCallTime) {
  MCPMMLExporter exporter(nullptr);
  const auto stamp = [] {
    const std::time_t now = std::time(nullptr);
    char buffer[64] = {};
    return "<Timestamp>" + std::string(ctime_r(&now, buffer)).substr(0, 24) + "</Timestamp>";
  };
  const std::string before = stamp();
  XMLElement* out = nullptr;
  ASSERT_TRUE(exporter.ExportHeader(nullptr, "", true, out).IsOK());
  const std::string text = Xml(Owned(out).get());
  const std::string after = stamp();
  EXPECT_TRUE(text.find(before) != std::string::npos || text.find(after) != std::string::npos)
      << text;
}

// Field content is checked by the parser's round trips.
TEST_F(PMMLExporterTest, DictionaryLeavesOutUnusedVariablesAndStaleLabels) {
  CountingCancel never(1000);
  MCPMMLExporter exporter(&never);
  MCStatus status;
  Owned dict = Dictionary(exporter, {}, status);
  EXPECT_TRUE(status.IsOK());
  EXPECT_EQ(never.fCalls, 6);
  std::string text = Xml(dict.get());
  EXPECT_EQ(text.rfind("<DataDictionary numberOfFields=\"5\">", 0), 0u) << text;
  EXPECT_EQ(text.find("spare"), std::string::npos) << text;
  EXPECT_EQ(dict->GetNumChildren(), 5u);
  EXPECT_NE(text.find("displayValue=\"N\""), std::string::npos) << text;
  list_.GetEncoderAt(3)->Encode(std::string("east"));  // the encoder now has 3, the variable 2
  text = Xml(Dictionary(exporter, {3}, status).get());
  EXPECT_NE(text.find("<Value value=\"east\" property=\"valid\"/>"), std::string::npos) << text;
  EXPECT_EQ(text.find("displayValue=\"N\""), std::string::npos) << text;
}

// The status names the index; earlier fields are kept.
TEST_F(PMMLExporterTest, RefusedFieldStatusNamesTheIndex) {
  const auto unspoilt = [](MCVarList&) {};
  const struct {
    const char* name;
    long code;
    int index;
    std::size_t fieldsBefore;
    std::function<void(MCVarList&)> spoil;
    std::vector<int> indices = {};
  } cases[] = {
      {"IndexBeyondTheList", 101, 6, 1, unspoilt, {4, 6, 0}},
      {"NegativeIndex", 101, -1, 1, unspoilt, {4, -1, 0}},
      {"EmptySlot", 102, 3, 3,
       [](MCVarList& l) {
         std::ostringstream os;
         l.WriteObjectXML(os, 0);
         std::istringstream is(os.str().substr(0, os.str().find("<Obj name=\"MCStringEncoder\">")));
         metadata_test::ExpectReadFailure([&] { l.ReadObjectXML(is); },
                                          "Failure reading MCStringEncoder!\n");
       }},
      {"ControlInName", 102, 6, 5,
       [](MCVarList& l) { l.AddContVar("a\x01", "", IMCVariable::kInput); }},
      {"ControlInLabel", 102, 1, 1,
       [](MCVarList& l) { l.GetVarAt(1)->SetVariableLabel("bell\x07"); }},
      {"ControlInCategory", 102, 3, 3,
       [](MCVarList& l) { l.GetEncoderAt(3)->Encode(std::string("\x0B")); }},
      {"NonCharacterInValueLabel", 102, 3, 3,
       [](MCVarList& l) { l.GetEncoderAt(3)->SetValueLabel(0, "\xEF\xBF\xBF"); }},
      {"ControlInMissingLabel", 102, 2, 2,
       [](MCVarList& l) { l.GetEncoderAt(2)->AddDiscreteUserMissing(7.0, "\x1B"); }},
      {"CategoriesAlikeInUtf8", 102, 3, 3, [](MCVarList& l) {
         l.GetEncoderAt(3)->Encode(std::string("caf\xE9"));
         l.GetEncoderAt(3)->Encode(std::string("caf\xC3\xA9"));
       }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    list_ = metadata_test::SampleList();
    c.spoil(list_);
    MCPMMLExporter exporter(nullptr);
    MCStatus status;
    Owned dict = Dictionary(exporter, c.indices, status);
    EXPECT_EQ(status.GetErrorCode(), c.code);
    EXPECT_EQ(status.GetDiscreteDatum(0), c.index);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->GetNumChildren(), c.fieldsBefore);
  }
}

TEST(PMMLExporterTextTest, HeaderExtensionAndStatisticsRefuseWhatXmlCannotHold) {
  MCPMMLExporter exporter(nullptr);
  XMLElement* out = nullptr;
  MCApplicInfo4XML info;
  info.fAppVersion = "1.0\x02";
  const std::function<MCStatus()> refused[] = {
      [&] { return exporter.ExportHeader(&info, "", false, out); },
      [&] { return exporter.ExportHeader(nullptr, "a\x1F", false, out); },
      [&] { return exporter.ExportExtension("n", std::string("v\x03"), out); },
      [&] { return exporter.ExportUniStats(MCUniStats("x\x04", 1.0, {1.0}), out); },
      // More cases than XML tools read as an integer (24 digits) is no count of real data.
      [&] { return exporter.ExportUniStats(MCUniStats("x", 1e24, {1.0}), out); },
      [&] { return exporter.ExportUniStats(MCUniStats("g", -1.0, {}), out); }};
  for (const auto& call : refused) EXPECT_EQ(call().GetErrorCode(), 117);
  EXPECT_EQ(out, nullptr);
  // Tab, line breaks, DEL and C1 controls (here from Windows-1252 bytes) are characters.
  ASSERT_TRUE(exporter.ExportHeader(nullptr, "a\tb\r\n\x7F\x81", false, out).IsOK());
  Owned(out).reset();
  ASSERT_TRUE(exporter.ExportExtension("x", std::numeric_limits<double>::infinity(), out).IsOK());
  EXPECT_EQ(Owned(out)->GetAttribute(1)->GetValue(), "INF");
}

// A yes at any question, the one after the loop included, discards the dictionary.
TEST_F(PMMLExporterTest, CancelGivesStatus1AndNoDictionary) {
  for (int yesAt : {0, 2, 5}) {
    CountingCancel cancel(yesAt);
    MCPMMLExporter exporter(&cancel);
    Owned sentinel(XMLElement::Create("sentinel"));
    XMLElement* out = sentinel.get();  // must be overwritten
    const MCStatus status = exporter.ExportDataDictionary(list_, {}, out);
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(status.IsError());
    EXPECT_EQ(status.GetErrorCode(), 1);
    EXPECT_EQ(cancel.fCalls, yesAt + 1);  // a yes is remembered, not asked again
  }
}

}  // namespace

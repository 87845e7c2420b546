// XML documents as attackers and broken tools write them, given to the PMML and settings
// readers: empty and truncated documents, deep nesting, external entities, entity bombs, and
// names in UTF-8, in other declared encodings and in bytes that are no text.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MCPMMLParser.h"
#include "MCSettingsParser.h"
#include "MCVarList.h"

namespace {

using MCCommonMetadata::MCVarList;
using MCComXPrsUtil::MCPMMLParser;
using MCComXPrsUtil::MCSettingsParser;

std::string Dictionary(const std::string& fields) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMML version=\"4.4\"><DataDictionary>" +
         fields + "</DataDictionary></PMML>";
}

std::string Field(const std::string& name) {
  return "<DataField name=\"" + name + "\" optype=\"continuous\" dataType=\"double\"/>";
}

MCCommon::MCStatus Parse(MCPMMLParser& parser, const std::string& text) {
  std::istringstream in(text);
  return parser.ParseToDOM(in);
}

class PMMLHostileTest : public testing::Test {
 protected:
  MCPMMLParser fParser;
  MCVarList fList;
};

TEST_F(PMMLHostileTest, EmptyAndTruncatedDocumentsAre104) {
  const std::string whole = Dictionary(Field("a") + Field("b"));
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{1}, std::size_t{20}, whole.size() / 2, whole.size() - 1}) {
    const MCCommon::MCStatus status = Parse(fParser, whole.substr(0, cut));
    EXPECT_TRUE(status.IsError()) << "cut at " << cut;
    EXPECT_EQ(status.GetErrorCode(), 104) << "cut at " << cut;
    EXPECT_EQ(fParser.GetRootElement(), nullptr);
    // The fill refuses with the parse status and adds nothing.
    EXPECT_EQ(fParser.FillVarList(fList, {}, false), status);
    EXPECT_EQ(fList.Size(), 0);
  }
  ASSERT_TRUE(Parse(fParser, whole).IsOK());
  EXPECT_TRUE(fParser.FillVarList(fList, {}, false).IsOK());
  EXPECT_EQ(fList.Size(), 2);
}

// Deep nesting around and inside the dictionary: parsed or refused, never a stack overflow.
TEST_F(PMMLHostileTest, DeeplyNestedDocumentDoesNotCrash) {
  const int depth = 100000;
  std::string text = "<?xml version=\"1.0\"?><PMML><DataDictionary>" + Field("x");
  text.reserve(text.size() + depth * 8);
  for (int i = 0; i < depth; ++i) text += "<a>";
  for (int i = 0; i < depth; ++i) text += "</a>";
  text += "</DataDictionary></PMML>";
  const MCCommon::MCStatus status = Parse(fParser, text);
  if (status.IsOK()) {
    EXPECT_TRUE(fParser.FillVarList(fList, {}, false).IsOK());
    EXPECT_EQ(fList.Size(), 1);
  } else {
    EXPECT_EQ(status.GetErrorCode(), 104);
  }
}

// An external entity naming a local file is never read into the document.
TEST_F(PMMLHostileTest, ExternalEntityIsNotRead) {
  const std::string path = testing::TempDir() + "mcstat_hostile_secret.txt";
  { std::ofstream(path) << "TOPSECRET"; }
  for (const std::string& reference :
       {std::string("SYSTEM \"file://") + path + "\"", std::string("SYSTEM \"") + path + "\""}) {
    const std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE PMML [<!ENTITY ext " + reference +
                             ">]>\n<PMML><DataDictionary>" + Field("v&ext;") +
                             "</DataDictionary></PMML>";
    MCVarList list;
    if (Parse(fParser, text).IsOK() && fParser.FillVarList(list, {}, false).IsOK()) {
      ASSERT_EQ(list.Size(), 1);
      EXPECT_EQ(list.GetVarAt(0)->GetVariableName(), "v");
    }
    for (int i = 0; i < list.Size(); ++i) {
      EXPECT_EQ(list.GetVarAt(i)->GetVariableName().find("TOPSECRET"), std::string::npos);
    }
  }
  // An external DTD is not fetched either: the document parses as if it had none.
  const std::string withDtd = "<?xml version=\"1.0\"?>\n<!DOCTYPE PMML SYSTEM \"" + path +
                              "\">\n<PMML><DataDictionary>" + Field("y") +
                              "</DataDictionary></PMML>";
  EXPECT_TRUE(Parse(fParser, withDtd).IsOK());
  std::remove(path.c_str());
}

// "Billion laughs": ten levels of ten references. Refused quickly instead of expanding 10^10
// characters; a modest internal entity still expands.
TEST_F(PMMLHostileTest, EntityBombIsRefused) {
  std::string dtd = "<!ENTITY l0 \"ha\">";
  for (int level = 1; level <= 10; ++level) {
    dtd += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int k = 0; k < 10; ++k) dtd += "&l" + std::to_string(level - 1) + ";";
    dtd += "\">";
  }
  const std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE PMML [" + dtd +
                           "]>\n<PMML><DataDictionary>" + Field("&l10;") +
                           "</DataDictionary></PMML>";
  const MCCommon::MCStatus status = Parse(fParser, bomb);
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(status.GetErrorCode(), 104);

  const std::string small =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE PMML [<!ENTITY n \"age\">]>\n"
      "<PMML><DataDictionary>" +
      Field("&n;") + "</DataDictionary></PMML>";
  ASSERT_TRUE(Parse(fParser, small).IsOK());
  ASSERT_TRUE(fParser.FillVarList(fList, {}, false).IsOK());
  EXPECT_EQ(fList.FindVariable("age"), 0);
}

// Names arrive as UTF-8 whatever the document's declared encoding.
TEST_F(PMMLHostileTest, NamesAreReadAsUTF8) {
  const std::string utf8Name =
      "gr\xC3\xB6\xC3\x9F"
      "e_\xE5\xB9\xB4";
  ASSERT_TRUE(Parse(fParser, Dictionary(Field(utf8Name))).IsOK());
  ASSERT_TRUE(fParser.FillVarList(fList, {}, false).IsOK());
  EXPECT_EQ(fList.FindVariable(utf8Name), 0);

  const std::string latin1 =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<PMML>"
      "<DataDictionary>" +
      Field(
          "gr\xF6\xDF"
          "e") +
      "</DataDictionary></PMML>";
  MCVarList list;
  ASSERT_TRUE(Parse(fParser, latin1).IsOK());
  ASSERT_TRUE(fParser.FillVarList(list, {}, false).IsOK());
  EXPECT_EQ(list.FindVariable("gr\xC3\xB6\xC3\x9F"
                              "e"),
            0);
}

// Bytes that are not UTF-8 in a document that says it is UTF-8 are a parse failure.
TEST_F(PMMLHostileTest, MalformedUTF8Is104) {
  for (const std::string& name :
       {std::string("gr\xF6\xDF"
                    "e"),
        std::string("\xC3"), std::string("\xED\xA0\x80"), std::string("\xFF\xFE")}) {
    const MCCommon::MCStatus status = Parse(fParser, Dictionary(Field(name)));
    EXPECT_EQ(status.GetErrorCode(), 104);
    EXPECT_TRUE(status.IsError());
  }
}

// The settings reader on the same hostile documents: statuses, never a crash.
class SettingsHostileTest : public testing::Test {
 protected:
  MCCommon::MCStatus Parse(const std::string& text) {
    std::istringstream in(text);
    return fParser.ParseToDOM(in);
  }
  MCSettingsParser fParser;
};

std::string Settings(const std::string& parameters, const std::string& dtd = "") {
  return "<?xml version=\"1.0\"?>\n" + dtd + "<PMML><MiningBuildTask><Extension><Parameters>" +
         parameters + "</Parameters></Extension></MiningBuildTask></PMML>";
}

TEST_F(SettingsHostileTest, EmptyDocumentLeavesEveryGetterRefusing) {
  EXPECT_EQ(Parse("").GetErrorCode(), 104);
  std::string s = "unchanged";
  const MCCommon::MCStatus status = fParser.GetParameter("x", s);
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(s, "unchanged");
  std::vector<std::string> vars{"kept"};
  EXPECT_TRUE(fParser.GetTargetVars(vars).IsError());
  EXPECT_EQ(vars, std::vector<std::string>{"kept"});
}

TEST_F(SettingsHostileTest, EntityBombIsRefusedAndExternalEntityIsEmpty) {
  std::string dtd = "<!DOCTYPE PMML [<!ENTITY l0 \"ha\">";
  for (int level = 1; level <= 10; ++level) {
    dtd += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int k = 0; k < 10; ++k) dtd += "&l" + std::to_string(level - 1) + ";";
    dtd += "\">";
  }
  dtd += "]>\n";
  EXPECT_EQ(Parse(Settings("<Parameter name=\"p\" value=\"&l10;\"/>", dtd)).GetErrorCode(), 104);

  const std::string ext = "<!DOCTYPE PMML [<!ENTITY e SYSTEM \"/etc/hostname\">]>\n";
  if (Parse(
          Settings("<Parameter name=\"p\" value=\"x\"/><Parameter name=\"q\">&e;</Parameter>", ext))
          .IsOK()) {
    std::string value;
    ASSERT_TRUE(fParser.GetParameter("p", value).IsOK());
    EXPECT_EQ(value, "x");
  }
}

TEST_F(SettingsHostileTest, DeeplyNestedComplexParametersDoNotCrash) {
  const int depth = 20000;
  std::string params;
  params.reserve(depth * 60);
  for (int i = 0; i < depth; ++i) params += "<ComplexParameter name=\"c\">";
  params += "<Parameter name=\"leaf\" value=\"7\"/>";
  for (int i = 0; i < depth; ++i) params += "</ComplexParameter>";
  if (!Parse(Settings(params)).IsOK()) return;  // refusing it is fine too
  const xercesc::DOMElement* scope = nullptr;
  int levels = 0;
  while (const xercesc::DOMElement* inner = fParser.GetComplexParameter("c", scope)) {
    scope = inner;
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  int leaf = 0;
  ASSERT_TRUE(fParser.GetParameter("leaf", leaf, scope).IsOK());
  EXPECT_EQ(leaf, 7);
}

TEST_F(SettingsHostileTest, NonUTF8ValuesArriveAsUTF8) {
  const std::string doc =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
      "<PMML><MiningBuildTask><Extension><Parameters>"
      "<Parameter name=\"n\xE9\" value=\"\xE9t\xE9\"/>"
      "</Parameters></Extension></MiningBuildTask></PMML>";
  ASSERT_TRUE(Parse(doc).IsOK());
  std::string value;
  ASSERT_TRUE(fParser.GetParameter("n\xC3\xA9", value).IsOK());
  EXPECT_EQ(value, "\xC3\xA9t\xC3\xA9");
}

}  // namespace

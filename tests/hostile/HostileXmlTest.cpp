// XML documents as attackers and broken tools write them, given to the PMML and settings readers:
// empty and truncated documents, deep nesting, external entities, entity bombs, and names in UTF-8,
// in other declared encodings and in bytes that are no text.

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

const std::string kDecl = "<?xml version=\"1.0\"?>\n";

std::string Field(const std::string &name) {
  return "<DataField name=\"" + name + "\" optype=\"continuous\" dataType=\"double\"/>";
}

std::string Dictionary(const std::string &fields, const std::string &dtd = "",
                       const std::string &decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") {
  return decl + dtd + "<PMML version=\"4.4\"><DataDictionary>" + fields +
         "</DataDictionary></PMML>";
}

std::string Settings(const std::string &parameters, const std::string &dtd = "",
                     const std::string &decl = kDecl) {
  return decl + dtd + "<PMML><MiningBuildTask><Extension><Parameters>" + parameters +
         "</Parameters></Extension></MiningBuildTask></PMML>";
}

// "Billion laughs": ten levels of ten references to the level below, &l10; at the top.
std::string BombDtd() {
  std::string dtd = "<!DOCTYPE PMML [<!ENTITY l0 \"ha\">";
  for (int level = 1; level <= 10; ++level) {
    dtd += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int k = 0; k < 10; ++k) dtd += "&l" + std::to_string(level - 1) + ";";
    dtd += "\">";
  }
  return dtd + "]>\n";
}

template <typename Parser>
MCCommon::MCStatus Parse(Parser &parser, const std::string &text) {
  std::istringstream in(text);
  return parser.ParseToDOM(in);
}

class PMMLHostileTest : public testing::Test {
 protected:
  // The names FillVarList finds in the document; empty when parsing or filling fails.
  std::vector<std::string> Names(const std::string &text) {
    std::vector<std::string> names;
    MCVarList list;
    if (!Parse(fParser, text).IsOK() || !fParser.FillVarList(list, {}, false).IsOK()) return names;
    for (int i = 0; i < list.Size(); ++i) names.push_back(list.GetVarAt(i)->GetVariableName());
    return names;
  }
  MCPMMLParser fParser;
};

TEST_F(PMMLHostileTest, EmptyAndTruncatedDocumentsAre104) {
  const std::string whole = Dictionary(Field("a") + Field("b"));
  for (std::size_t cut : {std::size_t{0}, whole.size() / 2, whole.size() - 1}) {
    const MCCommon::MCStatus status = Parse(fParser, whole.substr(0, cut));
    EXPECT_TRUE(status.IsError()) << "cut at " << cut;
    EXPECT_EQ(status.GetErrorCode(), 104) << "cut at " << cut;
    EXPECT_EQ(fParser.GetRootElement(), nullptr);
    // The fill refuses with the parse status and adds nothing.
    MCVarList list;
    EXPECT_EQ(fParser.FillVarList(list, {}, false), status);
    EXPECT_EQ(list.Size(), 0);
  }
  EXPECT_EQ(Names(whole), (std::vector<std::string>{"a", "b"}));
}

// Deep nesting around and inside the dictionary: parsed or refused, never a stack overflow.
TEST_F(PMMLHostileTest, DeeplyNestedDocumentDoesNotCrash) {
  const int depth = 100000;
  std::string inner = Field("x");
  for (int i = 0; i < depth; ++i) inner += "<a>";
  for (int i = 0; i < depth; ++i) inner += "</a>";
  const std::string text = Dictionary(inner);
  const MCCommon::MCStatus status = Parse(fParser, text);
  if (status.IsOK()) {
    EXPECT_EQ(Names(text), std::vector<std::string>{"x"});
  } else {
    EXPECT_EQ(status.GetErrorCode(), 104);
  }
}

// An external entity or DTD naming a local file is never read into the document.
TEST_F(PMMLHostileTest, ExternalEntityIsNotRead) {
  const std::string path = testing::TempDir() + "mcstat_hostile_secret.txt";
  { std::ofstream(path) << "TOPSECRET"; }
  for (const std::string &ref : {"SYSTEM \"file://" + path + "\"", "SYSTEM \"" + path + "\""}) {
    for (const std::string &name :
         Names(Dictionary(Field("v&ext;"), "<!DOCTYPE PMML [<!ENTITY ext " + ref + ">]>\n"))) {
      EXPECT_EQ(name, "v");
    }
  }
  EXPECT_EQ(Names(Dictionary(Field("y"), "<!DOCTYPE PMML SYSTEM \"" + path + "\">\n")),
            std::vector<std::string>{"y"});
  std::remove(path.c_str());
}

// The bomb is refused quickly instead of expanding 10^10 characters; a modest internal entity still
// expands.
TEST_F(PMMLHostileTest, EntityBombIsRefused) {
  const MCCommon::MCStatus status = Parse(fParser, Dictionary(Field("&l10;"), BombDtd()));
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(status.GetErrorCode(), 104);
  EXPECT_EQ(Names(Dictionary(Field("&n;"), "<!DOCTYPE PMML [<!ENTITY n \"age\">]>\n")),
            std::vector<std::string>{"age"});
}

// Names arrive as UTF-8 whatever the document's declared encoding; bytes that are not UTF-8 in a
// document that says it is UTF-8 are a parse failure.
TEST_F(PMMLHostileTest, NamesAreReadAsUTF8) {
  const std::string utf8 =
      "gr\xC3\xB6\xC3\x9F"
      "e_\xE5\xB9\xB4";
  EXPECT_EQ(Names(Dictionary(Field(utf8))), std::vector<std::string>{utf8});
  const std::string latin1Decl = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
  EXPECT_EQ(Names(Dictionary(Field("gr\xF6\xDF"
                                   "e"),
                             "", latin1Decl)),
            std::vector<std::string>{"gr\xC3\xB6\xC3\x9F"
                                     "e"});
  for (const char *name : {"\xC3", "\xED\xA0\x80", "\xFF\xFE"}) {
    const MCCommon::MCStatus status = Parse(fParser, Dictionary(Field(name)));
    EXPECT_TRUE(status.IsError());
    EXPECT_EQ(status.GetErrorCode(), 104);
  }
}

// The settings reader (its parse is the PMML reader's, tested above): statuses, never a crash.
class SettingsHostileTest : public testing::Test {
 protected:
  MCSettingsParser fParser;
};

TEST_F(SettingsHostileTest, EmptyDocumentLeavesEveryGetterRefusing) {
  EXPECT_EQ(Parse(fParser, "").GetErrorCode(), 104);
  std::string s = "unchanged";
  EXPECT_TRUE(fParser.GetParameter("x", s).IsError());
  EXPECT_EQ(s, "unchanged");
  std::vector<std::string> vars{"kept"};
  EXPECT_TRUE(fParser.GetTargetVars(vars).IsError());
  EXPECT_EQ(vars, std::vector<std::string>{"kept"});
}

TEST_F(SettingsHostileTest, DeeplyNestedComplexParametersDoNotCrash) {
  const int depth = 20000;
  std::string params;
  for (int i = 0; i < depth; ++i) params += "<ComplexParameter name=\"c\">";
  params += "<Parameter name=\"leaf\" value=\"7\"/>";
  for (int i = 0; i < depth; ++i) params += "</ComplexParameter>";
  if (!Parse(fParser, Settings(params)).IsOK()) return;  // refusing it is fine too
  const xercesc::DOMElement *scope = nullptr;
  int levels = 0;
  while (const xercesc::DOMElement *inner = fParser.GetComplexParameter("c", scope)) {
    scope = inner;
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  int leaf = 0;
  ASSERT_TRUE(fParser.GetParameter("leaf", leaf, scope).IsOK());
  EXPECT_EQ(leaf, 7);
}

TEST_F(SettingsHostileTest, NonUTF8ValuesArriveAsUTF8) {
  ASSERT_TRUE(Parse(fParser, Settings("<Parameter name=\"n\xE9\" value=\"\xE9t\xE9\"/>", "",
                                      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"))
                  .IsOK());
  std::string value;
  ASSERT_TRUE(fParser.GetParameter("n\xC3\xA9", value).IsOK());
  EXPECT_EQ(value, "\xC3\xA9t\xC3\xA9");
}

}  // namespace

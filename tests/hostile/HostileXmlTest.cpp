// XML documents as attackers and broken tools write them, given to the PMML and settings readers
// and to the combiner: empty and truncated documents, deep nesting, external entities, entity
// bombs and quadratic entity expansion, and names in UTF-8, in other declared encodings and in
// bytes that are no text. The large documents are made here, at test time.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "MCPMMLParser.h"
#include "MCSettingsParser.h"
#include "MCVarList.h"
#include "MCXMLUtil.h"
#include "MCXSplitPMMLCombiner.h"

namespace {

using MCCommonMetadata::MCVarList;
using MCComXPrsUtil::MCPMMLParser;
using MCComXPrsUtil::MCSettingsParser;
using MCComXPrsUtil::MCXSplitPMMLCombiner;

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

// A child process's outcome: how it ended and the most memory it held.
struct ChildOutcome {
  bool exited = false;
  int code = -1;  // the exit code, or the signal that ended it
  long peakKiB = 0;
};

// Runs work in a child process, whose exit code is work's result (0 to 255). The peak resident
// size of a child is its own, so it measures what work needed, under ASan too.
ChildOutcome RunInChild(const std::function<int()> &work) {
  std::fflush(nullptr);
  ChildOutcome outcome;
  const pid_t pid = fork();
  if (pid < 0) return outcome;
  if (pid == 0) _exit(work() & 0xFF);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return outcome;
  outcome.exited = WIFEXITED(status);
  outcome.code = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  outcome.peakKiB = usage.ru_maxrss;
  return outcome;
}

// A hostile document and what to do with it: the status code of the reader that meets it.
struct HostileDocument {
  const char *name;
  std::function<std::string()> make;
  std::function<long(const std::string &)> read;
};
void PrintTo(const HostileDocument &d, std::ostream *os) { *os << d.name; }

std::string Nested(const std::string &open, const std::string &close, const std::string &leaf,
                   int depth) {
  std::string text;
  text.reserve((open.size() + close.size()) * static_cast<std::size_t>(depth) + leaf.size());
  for (int i = 0; i < depth; ++i) text += open;
  text += leaf;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

// A 100 KB entity referenced 10,000 times: 1 GB of text from a 130 KB document.
std::string QuadraticDtd() {
  return "<!DOCTYPE PMML [<!ENTITY a \"" + std::string(100000, 'x') + "\">]>\n";
}
std::string QuadraticRefs() {
  std::string refs;
  for (int i = 0; i < 10000; ++i) refs += "&a;";
  return refs;
}

long FillVarList(const std::string &text) {
  MCPMMLParser parser;
  std::istringstream in(text);
  MCCommon::MCStatus status = parser.ParseToDOM(in);
  MCVarList list;
  if (status.IsOK()) status = parser.FillVarList(list, {}, true);
  return status.GetErrorCode();
}

long FillUniStats(const std::string &text) {
  MCPMMLParser parser;
  std::istringstream in(text);
  MCCommon::MCStatus status = parser.ParseToDOM(in);
  if (!status.IsOK()) return status.GetErrorCode();
  const xercesc::DOMElement *uni = MCComXPrsUtil::GetFirstChildElmt(
      MCComXPrsUtil::GetFirstChildElmt(parser.GetRootElement(), "ModelStats"), "UnivariateStats");
  MCCommonMetadata::MCUniStats stats;
  return parser.FillUniStats(stats, uni).GetErrorCode();
}

long AddModel(const std::string &text) {
  const std::string path =
      testing::TempDir() + "mcstat_hostile_model_" + std::to_string(getpid()) + ".xml";
  { std::ofstream(path, std::ios::binary) << text; }
  MCVarList split;
  split.AddCatVar("s", "", std::vector<std::string>{"a"}, MCCommonMetadata::IMCVariable::kInput);
  MCXSplitPMMLCombiner combiner(split);
  const long code = combiner.AddModel(path, {"a"}).GetErrorCode();
  std::remove(path.c_str());
  return code;
}

const std::string kModelStart =
    "<?xml version=\"1.0\"?>\n<PMML version=\"3.2\"><DataDictionary/>"
    "<RegressionModel functionName=\"regression\"><MiningSchema/>";

class HostileDocumentTest : public testing::TestWithParam<HostileDocument> {};

// Each document is refused with the parse status, without a crash and in memory that does not
// grow with what the document would expand to (the same work on a tiny document is the base).
TEST_P(HostileDocumentTest, RefusedWithTheParseStatusInBoundedMemory) {
  const std::string text = GetParam().make();
  const ChildOutcome base = RunInChild([&] {
    return static_cast<int>(GetParam().read(kDecl + "<PMML version=\"3.2\"/>") == 0 ? 0 : 1);
  });
  const ChildOutcome hostile = RunInChild([&] { return static_cast<int>(GetParam().read(text)); });
  ASSERT_TRUE(base.exited);
  ASSERT_TRUE(hostile.exited) << "ended by signal " << hostile.code;
  EXPECT_EQ(hostile.code, 104);
  // The document and a copy of it, and the parser's own buffers.
  const long budgetKiB = 2 * static_cast<long>(text.size() / 1024) + 32 * 1024;
  EXPECT_LT(hostile.peakKiB - base.peakKiB, budgetKiB)
      << "peak " << hostile.peakKiB << " KiB, base " << base.peakKiB << " KiB";
}

INSTANTIATE_TEST_SUITE_P(
    Documents, HostileDocumentTest,
    testing::Values(
        HostileDocument{"DeepDictionary",
                        [] { return Dictionary(Field("x") + Nested("<a>", "</a>", "", 100000)); },
                        FillVarList},
        HostileDocument{"DeepArray",
                        [] {
                          return kDecl +
                                 "<PMML version=\"3.2\"><ModelStats>"
                                 "<UnivariateStats field=\"x\"><Counts totalFreq=\"1\"/>"
                                 "<DiscrStats>" +
                                 Nested("<Array type=\"int\">", "</Array>", "1", 1000000) +
                                 "</DiscrStats></UnivariateStats></ModelStats></PMML>";
                        },
                        FillUniStats},
        HostileDocument{"DeepModelForTheCombiner",
                        [] {
                          return kModelStart + Nested("<Extension>", "</Extension>", "", 100000) +
                                 "</RegressionModel></PMML>";
                        },
                        AddModel},
        HostileDocument{"EntityBomb", [] { return Dictionary(Field("&l10;"), BombDtd()); },
                        FillVarList},
        HostileDocument{"QuadraticEntityInAName",
                        [] { return Dictionary(Field(QuadraticRefs()), QuadraticDtd()); },
                        FillVarList},
        HostileDocument{"QuadraticEntityForTheCombiner",
                        [] {
                          return "<?xml version=\"1.0\"?>\n" + QuadraticDtd() +
                                 kModelStart.substr(kModelStart.find("<PMML")) + "<Extension>" +
                                 QuadraticRefs() + "</Extension></RegressionModel></PMML>";
                        },
                        AddModel}),
    [](const testing::TestParamInfo<HostileDocument> &info) {
      return std::string(info.param.name);
    });

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

// Complex parameters nested as deep as a document may be are all found.
TEST_F(SettingsHostileTest, NestedComplexParametersDownToTheDepthLimitAreFound) {
  const int depth = MCComXPrsUtil::kMaxDocumentDepth - 5;  // under PMML, ..., Parameters
  const std::string params = Nested("<ComplexParameter name=\"c\">", "</ComplexParameter>",
                                    "<Parameter name=\"leaf\" value=\"7\"/>", depth);
  ASSERT_TRUE(Parse(fParser, Settings(params)).IsOK()) << fParser.GetXercesMessage();
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

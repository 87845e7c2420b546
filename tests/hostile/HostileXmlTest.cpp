// Documents nested a million deep or expanding quadratically, made at test time, given to the
// readers that once recursed on depth or expanded entities: each is refused in bounded memory.

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
#include "MCVarList.h"
#include "MCXMLUtil.h"
#include "MCXSplitPMMLCombiner.h"

namespace {

using MCCommonMetadata::MCVarList;
using MCComXPrsUtil::MCPMMLParser;
using MCComXPrsUtil::MCXSplitPMMLCombiner;

const std::string kDecl = "<?xml version=\"1.0\"?>\n";

struct ChildOutcome {
  bool exited = false;
  int code = -1;  // the exit code, or the signal that ended it
  long peakKiB = 0;
};

// work's result (0 to 255) as a child's exit code; the child's peak resident size is its own.
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

// The same work on a tiny document is the base of the memory.
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

}  // namespace

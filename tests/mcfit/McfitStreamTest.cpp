// mcfit's input and output: output files never replace devices, FIFOs or links.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;

const char* const kModel =
    " --dependent y --factors A,B --covariates x1,x2,x3,x4,x5,x6,x7,x8 --quiet";
const char* const kFormula =
    " --formula 'y ~ C(A) + C(B) + x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8' --quiet";
const char* const kColumns = " --columns y,A,B,C,x1,x2,x3,x4,x5,x6,x7,x8";

class Inputs : public Program {
 protected:
  void SetUp() override {
    Program::SetUp();
    ASSERT_EQ(Run("gen --rows 300 --seed 3 --out '" + fDir + "/d.csv'"), 0) << fErr;
    ASSERT_EQ(Run("gen --rows 300 --seed 3 --out '" + fDir + "/d.bin'"), 0) << fErr;
    EXPECT_EQ(ReadFile(fDir + "/d.bin").size(), 300u * 12 * 8);
  }
  std::string D(const std::string& name) { return "'" + fDir + "/" + name + "'"; }
};

// With the row index R's write.csv (quoted) and pandas' to_csv write.
TEST_F(Inputs, EveryFormGivesTheSameJson) {
  ASSERT_EQ(Shell("cd '" + fDir + "' && gzip -c d.csv > d.csv.gz" +
                  " && awk 'NR == 1 { gsub(/,/, \"\\\",\\\"\"); print \"\\\"\\\",\\\"\" $0 \"\\\"\"; next }"
                  " { print \"\\\"\" NR - 1 \"\\\",\" $0 }' d.csv > r.csv" +
                  " && awk 'NR == 1 { print \",\" $0; next } { print NR - 2 \",\" $0 }' d.csv > pandas.csv"),
            0);
  struct Form {
    std::string args;
    std::string before;
  };
  const std::vector<Form> forms = {
      {"--data " + D("d.csv"), ""},
      {"--data " + D("d.csv.gz"), ""},
      {"--data -", "cat " + D("d.csv") + " |"},
      {"--data -", "gzip -c " + D("d.csv") + " |"},
      {"--data " + D("d.bin") + kColumns, ""},
      {"--data - --format bin" + std::string(kColumns), "cat " + D("d.bin") + " |"},
      {"--data " + D("r.csv"), ""},
      {"--data " + D("pandas.csv"), ""},
  };
  // The model as options, and as a formula (which learns the kinds of its columns).
  for (const char* model : {kModel, kFormula}) {
    std::string first;
    for (const Form& form : forms) {
      SCOPED_TRACE(form.before + " " + form.args + model);
      ASSERT_EQ(Run("fit " + form.args + model + " --json -", form.before), 0) << fErr;
      if (first.empty()) {
        first = fOut;
        const nlohmann::json doc = nlohmann::json::parse(first);
        EXPECT_EQ(doc["records"]["used"], 300);
        EXPECT_EQ(doc["parameters"].size(), 1u + 10 + 20 + 8);
        // The generated data follow y = ... + 0.8 x1 - 0.5 x2 ... + N(0, 1) noise.
        EXPECT_NEAR(doc["parameters"][31]["estimate"].get<double>(), 0.8, 0.2);
        EXPECT_NEAR(doc["parameters"][32]["estimate"].get<double>(), -0.5, 0.2);
        EXPECT_NEAR(doc["fit"]["residual_std_error"].get<double>(), 1.0, 0.15);
      }
      EXPECT_EQ(fOut, first);
    }
  }
}

// The report goes to standard error then.
TEST_F(Inputs, DocumentsOnStandardOutput) {
  const std::string fit = "fit --data " + D("d.csv") + " --dependent y --factors A --covariates x1";
  ASSERT_EQ(Run(fit + " --json -"), 0) << fErr;
  EXPECT_EQ(nlohmann::json::parse(fOut)["model"], "linear");
  EXPECT_NE(fErr.find("Coefficients:"), std::string::npos);
  ASSERT_EQ(Run(fit + " --pmml - --json " + D("m.json")), 0) << fErr;
  EXPECT_EQ(fOut.rfind("<?xml", 0), 0u);
  EXPECT_NE(fOut.find("GeneralRegressionModel"), std::string::npos);
  EXPECT_NE(fErr.find("Coefficients:"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(ReadFile(fDir + "/m.json"))["model"], "linear");
  ASSERT_EQ(Run(fit + " --predictions -"), 0) << fErr;
  EXPECT_EQ(fOut.rfind("fitted,residual\n", 0), 0u);
  EXPECT_EQ(std::count(fOut.begin(), fOut.end(), '\n'), 301);
  EXPECT_NE(fErr.find("Coefficients:"), std::string::npos);
  for (const char* two : {" --pmml - --json -", " --predictions - --json -"}) {
    EXPECT_EQ(Run(fit + two), 2) << two;
    EXPECT_NE(fErr.find("cannot share standard output"), std::string::npos) << two;
  }
}

// Replaced files keep their mode.
TEST_F(Inputs, OutputTargets) {
  const std::string fit = "fit --quiet --data " + D("d.csv") + " --dependent y --covariates x1 ";
  const std::string fifo = fDir + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(Run(fit + "--json " + D("fifo"), "(cat " + D("fifo") + " > " + D("got") + " &);"), 0)
      << fErr;
  Shell("sleep 0.2");
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(nlohmann::json::parse(ReadFile(fDir + "/got"))["model"], "linear");
  // Links: to an existing file and to one still to be made.
  ASSERT_EQ(Shell("cd '" + fDir +
                  "' && echo old > real.json && ln -s real.json link.json && "
                  "ln -s made.json dangling.json"),
            0);
  ASSERT_EQ(Run(fit + "--json " + D("link.json") + " --pmml " + D("dangling.json")), 0) << fErr;
  ASSERT_EQ(::lstat((fDir + "/link.json").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(nlohmann::json::parse(ReadFile(fDir + "/real.json"))["model"], "linear");
  ASSERT_EQ(::lstat((fDir + "/dangling.json").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(fDir + "/made.json").rfind("<?xml", 0), 0u);
  for (const auto& [mask, mode] : {std::pair<const char*, mode_t>{"027", 0640}, {"002", 0664}}) {
    ASSERT_EQ(Run(fit + "--json " + D(std::string("new") + mask + ".json"),
                  std::string("umask ") + mask + ";"),
              0);
    ASSERT_EQ(::stat((fDir + "/new" + mask + ".json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode) << mask;
  }
  ASSERT_EQ(::chmod((fDir + "/new027.json").c_str(), 0600), 0);
  ASSERT_EQ(Run(fit + "--json " + D("new027.json"), "umask 000;"), 0);
  ASSERT_EQ(::stat((fDir + "/new027.json").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A character device (the same numbers as /dev/null) made here: only root can make one.
  if (::geteuid() != 0) GTEST_SKIP() << "not root: no character device to write to";
  const std::string device = fDir + "/null";
  ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  ASSERT_EQ(Run(fit + "--json " + D("null") + " --pmml " + D("null")), 0) << fErr;
  ASSERT_EQ(::lstat(device.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, makedev(1, 3));
  EXPECT_EQ(Listing().find("null.tmp"), std::string::npos);
}

}  // namespace

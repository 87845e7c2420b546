// mcfit's option mapping and JSON on R's fixtures, exit codes, warnings and interrupts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;
using nlohmann::json;

struct Fixture {
  std::string name;  // under tests/fixtures, without ".ref"
  bool patterns;
};
void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name << (f.patterns ? " patterns" : ""); }

class Conformance : public Program, public ::testing::WithParamInterface<Fixture> {};

// The .ref file says the model; mcfit fits it from the .csv with the options that say it.
TEST_P(Conformance, JsonAgreesWithR) {
  const std::string& name = GetParam().name;
  const bool logistic = name.rfind("logit/", 0) == 0;
  const regtest::FixtureFields ref(kFixturesRoot + name + ".ref");
  const std::string csv = kFixturesRoot + name + ".csv";
  std::string args = "fit --quiet --data '" + csv + "' --dependent y" + ModelArgs(ref);
  if (logistic) {
    const int refCode = static_cast<int>(ref.Number("ref"));
    args += " --model logistic --param-criterion 1e-10";
    if (refCode != -1) {
      args += " --reference " + (refCode == -2 ? std::string("first") : std::to_string(refCode));
    }
    if (GetParam().patterns) args += " --patterns on";
  }
  ASSERT_EQ(Run(args + " --json '" + fDir + "/fit.json'"), 0) << args << "\n" << fErr;
  EXPECT_TRUE(fOut.empty());  // --quiet
  const json doc = json::parse(ReadFile(fDir + "/fit.json"));
  // No progress line on a pipe; the warnings, there and in the JSON.
  std::string warnings;
  for (const json& w : doc["warnings"]) warnings += "mcfit: warning: " + w.get<std::string>() + "\n";
  EXPECT_EQ(fErr, warnings);
  EXPECT_EQ(warnings.find("term 'x2' is aliased") != std::string::npos,
            name == "logit/aliased_covariate" || name == "lm/duplicated_covariate")
      << warnings;

  // A logistic row is "logit basic-index", the library's order of the categories.
  const std::vector<std::string>& libOrder = ref.List("categories");
  const json& ps = doc["parameters"];
  ASSERT_EQ(ps.size(), ref.params.size());
  for (std::size_t r = 0; r < ref.params.size(); ++r) {
    const std::vector<std::string>& w = ref.params[r];
    const json& p = ps[r];
    SCOPED_TRACE(p["name"].get<std::string>() +
                 (logistic ? " for " + libOrder[std::stoul(w[0])] : ""));
    const std::string& estimate = w[w.size() - 2];
    if (logistic) {
      EXPECT_EQ(p["target"], libOrder[std::stoul(w[0])]);
    }
    EXPECT_EQ(p["redundant"].get<bool>(), estimate == "NA");
    if (estimate == "NA") continue;
    const double b = p["estimate"].get<double>(), se = p["std_error"].get<double>();
    // R's logistic fits stop at their own convergence criterion.
    EXPECT_NEAR(b, std::stod(estimate), (logistic ? 1e-7 : 1e-9) * std::fabs(std::stod(estimate)));
    EXPECT_NEAR(se, std::stod(w.back()), (logistic ? 1e-6 : 1e-9) * std::stod(w.back()));
    // t, or the Wald chi-square on 1 df.
    const double statistic = logistic ? b * b / (se * se) : b / se;
    EXPECT_NEAR(p["statistic"].get<double>(), statistic, 1e-9 * std::fabs(statistic));
  }
  const json& fit = doc["fit"];
  EXPECT_EQ(doc["records"]["read"].get<std::size_t>(), ReadCsv(csv).rows.size());
  if (!logistic) {
    EXPECT_EQ(doc["model"], "linear");
    EXPECT_DOUBLE_EQ(doc["total_weight"].get<double>(), ref.Number("n"));
    EXPECT_TRUE(Near(fit["r_squared"].get<double>(), ref.Number("r2")));
    EXPECT_TRUE(Near(fit["residual_std_error"].get<double>(), ref.Number("sigma")));
    return;
  }
  // Categories ascending; the reference is the library's last.
  std::vector<std::string> ascending = libOrder;
  std::sort(ascending.begin(), ascending.end());
  EXPECT_EQ(doc["model"], "logistic");
  EXPECT_EQ(doc["categories"].get<std::vector<std::string>>(), ascending);
  EXPECT_EQ(doc["reference"], libOrder.back());
  EXPECT_TRUE(Near(fit["minus2_log_likelihood"].get<double>(), -2.0 * ref.Number("ll"), 1e-9));
  EXPECT_TRUE(Near(fit["initial_minus2_log_likelihood"].get<double>(), -2.0 * ref.Number("ll0"),
                   1e-12));
  EXPECT_NEAR(fit["cox_snell"].get<double>(), ref.Number("coxsnell"), 1e-9);
  EXPECT_NEAR(fit["nagelkerke"].get<double>(), ref.Number("nagelkerke"), 1e-9);
  EXPECT_NEAR(fit["mcfadden"].get<double>(), ref.Number("mcfadden"), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Conformance,
                         ::testing::Values(Fixture{"lm/factor_by_covariate", false},
                                           Fixture{"lm/frequency_weights", false},
                                           Fixture{"lm/regression_weights", false},
                                           Fixture{"lm/no_intercept", false},
                                           Fixture{"lm/duplicated_covariate", false},
                                           Fixture{"lm/missing_values", false},
                                           Fixture{"logit/contingency_table", false},
                                           Fixture{"logit/aliased_covariate", true},
                                           Fixture{"logit/reference_explicit", false},
                                           Fixture{"logit/reference_first", true}));

// Whether the text, the columns or the data show the problem (positions: FormulaTest).
struct FormulaCase {
  const char* formula;
  const char* model;
  std::size_t position;  // of the character at fault
  const char* words;
};

class FormulaErrors : public Program, public ::testing::WithParamInterface<FormulaCase> {};

TEST_P(FormulaErrors, ExitCode2AndCaret) {
  const FormulaCase& c = GetParam();
  const std::string data = kFixturesRoot + "../../examples/" +
                           (std::string(c.model) == "logistic" ? "growth.csv" : "mtcars.csv");
  ASSERT_EQ(Run("fit --data '" + data + "' --model " + c.model + " --formula \"" + c.formula +
                "\" --json '" + fDir + "/o.json'"),
            2)
      << c.formula << "\n" << fErr;
  const std::size_t end = fErr.find('\n');
  ASSERT_NE(end, std::string::npos) << fErr;
  EXPECT_EQ(fErr.rfind("mcfit: --formula: ", 0), 0u) << fErr;
  EXPECT_NE(fErr.substr(0, end).find(c.words), std::string::npos) << fErr;
  EXPECT_EQ(fErr.substr(end),
            "\n  " + std::string(c.formula) + "\n" + std::string(2 + c.position, ' ') + "^\n");
  EXPECT_EQ(Listing(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormulaErrors,
    ::testing::Values(
        FormulaCase{"mpg ~ wt + + hp", "linear", 11, "found '+'"},
        FormulaCase{"mpg ~ wt + hpp", "linear", 11, "unknown column 'hpp' (did you mean 'hp'?)"},
        FormulaCase{"mpg ~ wt + log(model)", "linear", 15, "holds text"},
        FormulaCase{"C(grade, ref='bad') ~ temp", "logistic", 0, "no category 'bad'"}));

// The fixtures above warn of a covariate that repeats another; this of an empty cell, which
// leaves A*B no estimate when A has two categories and one of three unidentified with four.
TEST_F(Program, InteractionWithAnEmptyCellWarns) {
  for (const auto& [levels, words] :
       {std::make_pair(2, "term 'A*B' is aliased"),
        std::make_pair(4, "term 'A*B': 1 of its 3 estimates are not identified")}) {
    std::string csv = "y,A,B\n";
    for (int i = 0; i < 36; ++i) {
      const std::string a(1, static_cast<char>('a' + i % levels));
      const char* b = i / levels % 2 ? "y" : "x";
      if (a == "b" && *b == 'y') continue;  // the empty cell
      csv += std::to_string(i % 5 + 0.1 * i) + "," + a + "," + b + "\n";
    }
    WriteFile("d.csv", csv);
    ASSERT_EQ(Run("fit --quiet --data '" + fDir + "/d.csv' --dependent y --factors A,B "
                  "--effects A,B,A*B --json '" + fDir + "/o.json'"),
              0)
        << fErr;
    const json warnings = json::parse(ReadFile(fDir + "/o.json"))["warnings"];
    ASSERT_EQ(warnings.size(), 1u) << warnings;
    EXPECT_EQ(warnings[0].get<std::string>().rfind(words, 0), 0u) << warnings[0];
    EXPECT_EQ(fErr, "mcfit: warning: " + warnings[0].get<std::string>() + "\n");
  }
}

// A named pipe, so that the signal certainly arrives before the last record does.
TEST_F(Program, InterruptGivesExitCode130) {
  const std::string fifo = fDir + "/data.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string json = fDir + "/out.json";
  const std::string tmp = fDir + ".tmp";
  ASSERT_EQ(Shell("rm -rf '" + tmp + "' && mkdir '" + tmp + "'"), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setenv("TMPDIR", tmp.c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(kExe.c_str(), kExe.c_str(), "fit", "--data", fifo.c_str(), "--dependent", "y",
            "--covariates", "x", "--json", json.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Opening the writing end waits for mcfit to open the reading end, after its handler is set.
  {
    std::ofstream pipe(fifo);
    pipe << "y,x\n1,2\n2,3\n" << std::flush;
    ::kill(pid, SIGINT);
    for (int i = 0; i < 2000; ++i) pipe << i << "," << i % 7 << "\n";
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(Listing(), "data.csv\n");
  EXPECT_EQ(Shell("test -z \"$(ls -A '" + tmp + "')\""), 0) << "a temporary file was left";
  Shell("rm -rf '" + tmp + "'");
}

}  // namespace

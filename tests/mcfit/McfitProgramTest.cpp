// Runs the built mcfit as a user would and checks its exit codes, its files and its JSON
// against the R reference fixtures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;
const std::string kFixtures = kFixturesRoot + "lm/";

class Conformance : public Program, public ::testing::WithParamInterface<const char*> {};

// The case's .ref file says the model; mcfit fits it from the .csv and must agree with R.
TEST_P(Conformance, JsonAgreesWithR) {
  const std::string name = GetParam();
  const regtest::FixtureFields ref(kFixtures + name + ".ref");
  ASSERT_FALSE(ref.params.empty()) << name;
  const std::vector<std::vector<std::string>>& params = ref.params;
  const std::string args =
      "fit --quiet --data '" + kFixtures + name + ".csv' --dependent y" + ModelArgs(ref);
  const std::string json = fDir + "/fit.json";
  ASSERT_EQ(Run(args + " --json '" + json + "'"), 0) << args << "\n" << fErr;
  EXPECT_TRUE(fOut.empty());  // --quiet
  const nlohmann::json doc = nlohmann::json::parse(Read(json));

  EXPECT_EQ(doc["model"], "linear");
  const double n = ref.Number("n");
  EXPECT_DOUBLE_EQ(doc["total_weight"].get<double>(), n);
  EXPECT_TRUE(doc["categories"].empty());
  const nlohmann::json& fit = doc["fit"];
  EXPECT_TRUE(Near(fit["r_squared"].get<double>(), ref.Number("r2")));
  EXPECT_TRUE(Near(fit["residual_std_error"].get<double>(), ref.Number("sigma")));
  EXPECT_DOUBLE_EQ(fit["df_error"].get<double>(), n - ref.Number("rank"));
  EXPECT_TRUE(fit["minus2_log_likelihood"].is_null());

  const nlohmann::json& ps = doc["parameters"];
  ASSERT_EQ(ps.size(), params.size());
  int kept = 0;
  for (std::size_t k = 0; k < params.size(); ++k) {
    const nlohmann::json& p = ps[k];
    SCOPED_TRACE(name + " parameter " + std::to_string(k) + " " + p["name"].get<std::string>());
    if (params[k][1] == "NA") {
      EXPECT_TRUE(p["redundant"].get<bool>());
      EXPECT_EQ(p["estimate"].get<double>(), 0.0);
      EXPECT_TRUE(p["std_error"].is_null() && p["p_value"].is_null());
      continue;
    }
    ++kept;
    EXPECT_FALSE(p["redundant"].get<bool>());
    EXPECT_TRUE(Near(p["estimate"].get<double>(), std::stod(params[k][1])))
        << p["estimate"] << " vs " << params[k][1];
    EXPECT_TRUE(Near(p["std_error"].get<double>(), std::stod(params[k][2])))
        << p["std_error"] << " vs " << params[k][2];
    EXPECT_TRUE(Near(p["statistic"].get<double>(),
                     p["estimate"].get<double>() / p["std_error"].get<double>()));
    const double pv = p["p_value"].get<double>();
    EXPECT_TRUE(pv >= 0.0 && pv <= 1.0);
  }
  EXPECT_EQ(kept, static_cast<int>(ref.Number("rank")));
  if (ref.One("intercept") == "1") {
    EXPECT_EQ(ps[0]["name"], "(Intercept)");
  }
}

INSTANTIATE_TEST_SUITE_P(LmFixtures, Conformance,
                         ::testing::Values("one_factor", "two_factors_interaction",
                                           "factor_by_covariate", "covariate_power",
                                           "regression_weights", "frequency_weights",
                                           "no_intercept", "duplicated_covariate",
                                           "missing_values"));

// Parameter names are checked by the PMML tests, which read them back into predictions.
TEST_F(Program, RecordCountsAndReport) {
  const std::string json = fDir + "/m.json";
  const std::string data = kFixtures + "missing_values.csv";
  ASSERT_EQ(Run("fit --data '" + data + "' --dependent y --factors A,B --covariates x --json '" +
                json + "'"),
            0)
      << fErr;
  const nlohmann::json doc = nlohmann::json::parse(Read(json));
  // Three records lack x, two lack y, two lack A.
  EXPECT_EQ(doc["records"]["read"], 120);
  EXPECT_EQ(doc["records"]["used"], 113);
  EXPECT_NE(fOut.find("A=3"), std::string::npos);
  EXPECT_NE(fOut.find("(aliased)"), std::string::npos);
  EXPECT_NE(fOut.find("Residual standard error"), std::string::npos);
}

// The model of the intercept alone explains nothing: R squared and its adjusted form are 0
// exactly (not the rounding of total minus residual sums), and there is no F test.
TEST_F(Program, InterceptOnlyExplainsNothing) {
  // Seven numbers whose sums of squares about the mean do not cancel exactly.
  WriteFile("d.csv", "y\n2.3796462709189137\n5.442292252959518\n3.6995516654807927\n"
                     "6.039200385961944\n6.25720304108054\n0.6552885923981311\n"
                     "0.13167991554874137\n");
  ASSERT_EQ(Run("fit --data '" + fDir + "/d.csv' --dependent y --json '" + fDir + "/o.json'"), 0)
      << fErr;
  const nlohmann::json fit = nlohmann::json::parse(Read(fDir + "/o.json"))["fit"];
  EXPECT_EQ(fit["r_squared"].get<double>(), 0.0);
  EXPECT_EQ(fit["r_squared_adj"].get<double>(), 0.0);
  EXPECT_TRUE(fit["f_statistic"].is_null());
  EXPECT_NE(fOut.find("R squared: 0; adjusted R squared: 0\n"), std::string::npos) << fOut;
}

// A formula that cannot be fitted: exit code 2, the message, then the formula's line and a
// caret under the character at fault, whether reading the text, the columns or the data
// finds the problem (the positions of every error are the formula reader's tests).
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
  const std::vector<std::string> lines = [this] {
    std::vector<std::string> out;
    std::istringstream in(fErr);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }();
  ASSERT_EQ(lines.size(), 3u) << fErr;
  EXPECT_EQ(lines[0].rfind("mcfit: --formula: ", 0), 0u) << fErr;
  EXPECT_NE(lines[0].find(c.words), std::string::npos) << fErr;
  EXPECT_EQ(lines[1], std::string("  ") + c.formula);
  EXPECT_EQ(lines[2], std::string(2 + c.position, ' ') + "^") << fErr;
  EXPECT_EQ(Listing(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormulaErrors,
    ::testing::Values(
        FormulaCase{"mpg ~ wt + + hp", "linear", 11, "found '+'"},
        FormulaCase{"mpg ~ wt + hpp", "linear", 11, "unknown column 'hpp' (did you mean 'hp'?)"},
        FormulaCase{"mpg ~ wt + log(model)", "linear", 15, "holds text"},
        FormulaCase{"mpg ~ C(cyl, ref=5) + wt", "linear", 6, "has no category '5'"},
        FormulaCase{"C(mpg) ~ wt", "linear", 0, "would make it a factor"},
        FormulaCase{"log(grade) ~ temp", "logistic", 0, "is a column"},
        FormulaCase{"C(grade, ref='bad') ~ temp", "logistic", 0, "no category 'bad'"}));

// Terms the data do not identify are named on standard error and in the JSON: an interaction
// with a cell without records, and a covariate that repeats another.
TEST_F(Program, AliasedTermsWarn) {
  std::string csv = "y,A,B,x,x2\n";
  for (int i = 0; i < 30; ++i) {
    const char* a = i % 3 == 0 ? "b" : "a";
    const char* b = i % 3 == 1 ? "y" : "x";  // no record has both b and y
    csv += std::to_string(i % 5 + 0.1 * i) + "," + a + "," + b + "," + std::to_string(i) + "," +
           std::to_string(2 * i) + "\n";
  }
  WriteFile("d.csv", csv);
  ASSERT_EQ(Run("fit --quiet --data '" + fDir + "/d.csv' --dependent y --factors A,B "
                "--covariates x,x2 --effects A,B,A*B,x,x2 --json '" + fDir + "/o.json'"),
            0)
      << fErr;
  const nlohmann::json warnings = nlohmann::json::parse(Read(fDir + "/o.json"))["warnings"];
  ASSERT_EQ(warnings.size(), 2u) << warnings;
  EXPECT_EQ(warnings[0].get<std::string>().rfind("term 'A*B' is aliased", 0), 0u);
  EXPECT_EQ(warnings[1].get<std::string>().rfind("term 'x2' is aliased", 0), 0u);
  EXPECT_EQ(fErr, "mcfit: warning: " + warnings[0].get<std::string>() + "\nmcfit: warning: " +
                      warnings[1].get<std::string>() + "\n");
}

// Ctrl-C while mcfit copies its data from a pipe into its temporary cache: exit 130, no output
// file and nothing left in the temporary folder. The data come through a named pipe so that
// the signal certainly arrives before the last record does.
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

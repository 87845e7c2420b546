// mcfit's collinearity diagnostics and logistic summaries count only the records the fit used.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;
using nlohmann::json;

double Num(const json& j) { return j.get<double>(); }

// Scaled cross products [[1, r], [r, 1]], r = sum(x) / sqrt(n sum(x^2)): eigenvalues 1 +- r.
TEST_F(Program, CollinearityOfTwoColumns) {
  const std::vector<double> x = {1, 2, 2, 3, 5, 8, 9, 4};
  std::string csv = "y,x,f,w\n0,100,,\n1,50,2,0\n2,70,0,\n";
  double sum = 0.0;
  double sum2 = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    csv += std::to_string(i % 3) + "," + std::to_string(x[i]) + ",1,1\n";
    sum += x[i];
    sum2 += x[i] * x[i];
  }
  WriteFile("d.csv", csv);
  const double r = sum / std::sqrt(x.size() * sum2);
  for (const char* model : {"linear", "logistic"}) {
    ASSERT_EQ(Run("fit --quiet --collinearity --model " + std::string(model) + " --data '" + fDir +
                  "/d.csv' --dependent y --covariates x --freq-weight f --regr-weight w --json '" +
                  fDir + "/o.json'"),
              0)
        << fErr;
    const json col = json::parse(ReadFile(fDir + "/o.json"))["collinearity"];
    ASSERT_EQ(col["eigenvalues"].size(), 2u) << model;
    EXPECT_NEAR(Num(col["eigenvalues"][0]), 1 + r, 1e-12) << model;
    EXPECT_NEAR(Num(col["eigenvalues"][1]), 1 - r, 1e-12) << model;
    EXPECT_NEAR(Num(col["condition_indices"][1]), std::sqrt((1 + r) / (1 - r)), 1e-9) << model;
  }
}

// A model of intercepts alone: its start values are its estimates.
TEST_F(Program, ClassificationAndLikelihoodOfTheRecordsUsed) {
  WriteFile("d.csv", "y,x,f,w\na,1,,1\nb,2,3,0\na,3,2,1\nb,4,1,1\na,5,1,2\nb,6,2,1\n"
                     "a,2,1,1\nb,1,1,1\n");
  const std::string fit = "fit --model logistic --data '" + fDir + "/d.csv' --dependent y ";
  ASSERT_EQ(Run(fit + "--covariates x --freq-weight f --regr-weight w --quiet --json '" + fDir +
                "/o.json'"),
            0)
      << fErr;
  const json doc = json::parse(ReadFile(fDir + "/o.json"));
  const std::vector<double> used = {2 + 1 + 1, 1 + 2 + 1};  // f of the a and b records used
  for (std::size_t i = 0; i < 2; ++i) {
    double sum = 0.0;
    for (const json& cell : doc["classification"][i]) sum += Num(cell);
    EXPECT_EQ(sum, used[i]) << i;
  }
  ASSERT_EQ(Run(fit + "--json '" + fDir + "/i.json'"), 0) << fErr;
  const json only = json::parse(ReadFile(fDir + "/i.json"));
  const json& f = only["fit"];
  EXPECT_EQ(Num(f["minus2_log_likelihood"]), Num(f["initial_minus2_log_likelihood"]));
  EXPECT_EQ(Num(f["log_likelihood"]), -0.5 * Num(f["minus2_log_likelihood"]));
  EXPECT_TRUE(only["converged"].get<bool>());
  EXPECT_TRUE(f["lr_statistic"].is_null());
  EXPECT_NE(fOut.find("-2 log-likelihood: " + std::to_string(16 * std::log(2.0)).substr(0, 6)),
            std::string::npos)
      << fOut;
}

}  // namespace

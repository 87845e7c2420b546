// The PMML that mcfit writes validates, and `mcfit score` gives back the fit's predictions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "../mcparsexml/PMMLTestDocs.h"
#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;
using nlohmann::json;

// A field as mcfit names it: numbers with 15 significant digits; "" or NA missing.
std::string Text(const CsvTable& table, std::size_t row, std::size_t column) {
  const std::string& f = table.rows[row][column];
  if (f == "NA") return "";
  char* end = nullptr;
  const double v = std::strtod(f.c_str(), &end);
  if (f.empty() || *end != '\0') return f;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

// Each name is a product of "NAME=VALUE" indicators and covariates; empty when one is missing.
std::optional<double> Eta(const json& params, const CsvTable& data, std::size_t row) {
  double eta = 0.0;
  for (const json& p : params) {
    const std::string name = p["name"];
    double x = 1.0;
    for (std::size_t from = 0; name != "(Intercept)" && from <= name.size();) {
      const std::size_t to = std::min(name.find('*', from), name.size());
      const std::string part = name.substr(from, to - from);
      const std::size_t eq = part.find('=');
      const std::string text = Text(data, row, data.Column(part.substr(0, eq)));
      if (text.empty()) return std::nullopt;
      x *= eq == std::string::npos ? std::stod(text) : (text == part.substr(eq + 1) ? 1.0 : 0.0);
      from = to + 1;
    }
    eta += p["estimate"].get<double>() * x;
  }
  return eta;
}

const char* const kVersions[][2] = {{"4.4", "pmml-4-4.xsd"}, {"3.2", "pmml-3-2.xsd"}};

// id: the column that identifies the predictions' records (none: no predictions compared).
struct Case {
  const char* file;
  const char* model;
  const char* id;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.file << " " << c.model; }

class Scores : public Program, public ::testing::WithParamInterface<Case> {};

// Ties of the linear predictors go to the reference category, as the library's scoring has it.
TEST_P(Scores, EqualThePredictions) {
  const Case& c = GetParam();
  const bool logistic = std::strstr(c.model, "logistic") != nullptr;
  const bool split = std::strstr(c.model, "--split") != nullptr;
  const bool predictions = *c.id != '\0';
  const bool intercepts = std::strcmp(c.file, "ties") == 0;
  std::string data = kFixturesRoot + c.file;
  if (intercepts) {
    // Three categories in equal numbers: every category ties at 0; the reference (c) wins.
    std::string ties = "id,y,A\n";
    for (int i = 0; i < 12; ++i) {
      ties += "r" + std::to_string(i) + "," + "abc"[i % 3] + "," + "uv"[i / 6] + "\n";
    }
    WriteFile("ties.csv", ties);
    data = fDir + "/ties.csv";
  }
  const std::string id = predictions ? std::string(" --id ") + c.id : "";
  for (const auto& [version, schema] : kVersions) {
    if (split && *version == '3') continue;  // segments need PMML 4
    SCOPED_TRACE(version);
    const std::string fit = "fit --quiet --data '" + data + "' " + c.model + " --pmml-version " +
                            version + " --json '" + fDir + "/m.json' --pmml '" + fDir + "/m.pmml'";
    // PMML 3.2 wants a cell in the PP matrix, which a model of intercepts has none of.
    if (intercepts && *version == '3') {
      EXPECT_EQ(Run(fit), 2);
      EXPECT_NE(fErr.find("PMML 3.2 cannot hold a model without predictors"), std::string::npos)
          << fErr;
      continue;
    }
    ASSERT_EQ(Run(fit + (predictions ? " --predictions '" + fDir + "/p.csv'" + id : "")), 0)
        << fErr;
    ASSERT_EQ(Run("score --pmml '" + fDir + "/m.pmml' --data '" + data + "' --out '" + fDir +
                  "/s.csv'" + id),
              0)
        << fErr;
    const pmml_test::SchemaCheck check = pmml_test::ValidateAgainst(schema, {fDir + "/m.pmml"});
    EXPECT_TRUE(check.status == 0 || check.status == -1) << check.report;
    const json doc = json::parse(ReadFile(fDir + "/m.json"));
    const CsvTable scores = ReadCsv(fDir + "/s.csv");
    const CsvTable rows = ReadCsv(data);
    ASSERT_EQ(scores.rows.size(), rows.rows.size());
    if (predictions) {
      const CsvTable p = ReadCsv(fDir + "/p.csv");
      ASSERT_EQ(p.rows.size(), rows.rows.size());
      EXPECT_EQ(p.names[0], c.id);
      EXPECT_EQ(scores.names[0], c.id);
      for (std::size_t i = 0; i < p.rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(p.rows[i][0], scores.rows[i][0]);
        if (logistic) {
          EXPECT_EQ(p.rows[i][1], scores.rows[i][1]);
          EXPECT_TRUE(!intercepts || scores.rows[i][1] == "c");
        }
        for (std::size_t k = logistic ? 2 : 1; k < scores.names.size(); ++k) {
          ASSERT_EQ(scores.rows[i][k].empty(), p.rows[i][k].empty());
          if (!p.rows[i][k].empty()) {
            EXPECT_TRUE(Near(scores.Number(i, k), p.Number(i, k), 1e-12));
          }
        }
      }
    }
    const std::string pmml = ReadFile(fDir + "/m.pmml");
    if (logistic) {
      EXPECT_EQ(pmml.find("targetReferenceCategory=\"" + doc["reference"].get<std::string>() +
                          "\"") != std::string::npos,
                *version == '4');
    }
    if (split) {
      EXPECT_NE(pmml.find("<Value property=\"valid\" value=\"1\"/>"), std::string::npos);
    }
    if (logistic || std::strstr(c.model, "--formula") != nullptr) continue;
    const json segments = split ? doc["splits"] : json::array({doc});
    const std::size_t first = predictions ? 1 : 0;  // the first column after the id
    int scored = 0;
    for (std::size_t i = 0; i < rows.rows.size(); ++i) {
      SCOPED_TRACE("row " + std::to_string(i));
      const json* params = split ? nullptr : &doc["parameters"];
      for (const json& s : segments) {
        if (split && s["split_values"]["B"] == Text(rows, i, rows.Column("B"))) {
          params = &s["parameters"];
        }
      }
      const std::optional<double> eta = params ? Eta(*params, rows, i) : std::nullopt;
      ASSERT_EQ(std::isnan(scores.Number(i, first)), !eta.has_value());
      if (eta) {
        EXPECT_TRUE(Near(scores.Number(i, first), *eta, 1e-12));
      }
      scored += eta.has_value();
    }
    int used = 0;
    for (const json& s : segments) used += s["records"]["used"].get<int>();
    EXPECT_GE(scored, used);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fits, Scores,
    ::testing::Values(
        Case{"lm/factor_by_covariate.csv",
             "--dependent y --factors A --covariates x --effects 'A,x,A*x'", "x"},
        Case{"lm/covariate_power.csv", "--dependent y --covariates x,z --effects 'x,z,x*x'", "x"},
        Case{"lm/missing_values.csv", "--dependent y --factors A,B --covariates x", "A"},
        Case{"lm/missing_values.csv", "--dependent y --factors A --covariates x --split B", ""},
        Case{"logit/covariates_only.csv", "--dependent y --model logistic --covariates x,z", "x"},
        Case{"logit/factor_covariate_interaction.csv",
             "--dependent y --model logistic --factors A --covariates x --effects 'A,x,A*x'", "A"},
        Case{"../../examples/mtcars.csv",
             "--formula 'mpg ~ C(cyl, ref=6) * C(am) + wt + I(wt^2) + log(hp) + log2(disp) + "
             "I(-qsec/2)'",
             "model"},
        Case{"../../examples/growth.csv",
             "--model logistic --formula \"C(grade, ref='good') ~ site + temp + log(light) + "
             "C(dose)\"",
             "precision"},
        Case{"ties", "--model logistic --formula 'y ~ 1'", "id"}));

// Each case leaves its input files and nothing else; the exit code is 2.
struct BadCase {
  const char* name;
  const char* pmml;  // model file text; empty: fit one first
  const char* data;  // data file text
  const char* command;
};

class BadScore : public Program, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadScore, ExitCode2AndNoOutputFile) {
  const BadCase& c = GetParam();
  WriteFile("d.csv", c.data);
  if (*c.pmml != '\0') {
    WriteFile("m.pmml", c.pmml);
  } else {
    ASSERT_EQ(Run("fit --data '" + kFixturesRoot +
                  "lm/factor_by_covariate.csv' --dependent y "
                  "--factors A --covariates x --pmml '" +
                  fDir + "/m.pmml'"),
              0);
  }
  std::string command = c.command;
  while (command.find("DIR") != std::string::npos) command.replace(command.find("DIR"), 3, fDir);
  EXPECT_EQ(Run(command), 2) << fErr;
  EXPECT_FALSE(fErr.empty());
  EXPECT_EQ(Listing(), "d.csv\nm.pmml\n");
}

const char* const kScore = "score --pmml DIR/m.pmml --data DIR/d.csv --out DIR/out.csv";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadScore,
    ::testing::Values(BadCase{"NotXml", "this is not a model", "y,A,x\n1,0,2\n", kScore},
                      BadCase{"NotPmml", "<model/>", "y,A,x\n1,0,2\n", kScore},
                      BadCase{"MissingColumn", "", "y,A\n1,0\n", kScore},
                      BadCase{"FitWithUnknownSplit", "<x/>", "y,x\n1,2\n2,3\n3,5\n",
                              "fit --data DIR/d.csv --dependent y --covariates x --split nope "
                              "--pmml DIR/out.pmml --json DIR/out.json"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

}  // namespace

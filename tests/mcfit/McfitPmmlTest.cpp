// The PMML that mcfit writes: it validates against the PMML schemas, and `mcfit score` reads it
// back to the predictions worked out from the JSON estimates (checked against R elsewhere).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;
using nlohmann::json;

// A field as mcfit names it: numbers with 15 significant digits, text as it stands, "" or NA
// missing.
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

// The linear predictor of one row from the JSON parameters (those of `target` for a logistic
// model): each name is a product of "NAME=VALUE" indicators and covariates. Empty when a value
// the model needs is missing.
std::optional<double> Eta(const json& params, const CsvTable& data, std::size_t row,
                          const json& target) {
  double eta = 0.0;
  for (const json& p : params) {
    if (p["target"] != target) continue;
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

// The PMML versions fit writes, each with its schema.
const char* const kVersions[][2] = {{"4.4", "pmml-4-4.xsd"}, {"3.2", "pmml-3-2.xsd"}};

class Pmml : public Program {
 protected:
  static bool HaveXmllint() { return Shell("command -v xmllint >/dev/null 2>&1") == 0; }
  // Valid against the schema, or no xmllint to tell.
  bool Valid(const std::string& file, const char* schema) {
    return !HaveXmllint() || Shell("xmllint --noout --schema '" + std::string(MCSTAT_SCHEMA_DIR) +
                                   "/" + schema + "' '" + file + "' >/dev/null 2>&1") == 0;
  }
};

// A model over a fixture: linear, logistic, or linear with one model per value of B (split).
struct Case {
  const char* file;  // fixture without ".csv"
  const char* model;
  bool logistic, split;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.file << " " << c.model; }

class Scores : public Pmml, public ::testing::WithParamInterface<Case> {};

// Each record's score from the PMML equals the prediction worked out from the JSON estimates:
// the linear predictor (that of the record's own segment for a split fit), or the probabilities
// and the most probable category. Records without the response are scored too.
TEST_P(Scores, EqualTheEstimates) {
  const Case& c = GetParam();
  const std::string data = kFixturesRoot + c.file + ".csv";
  for (const auto& [version, schema] : kVersions) {
    if (c.split && *version == '3') continue;  // segments need PMML 4
    SCOPED_TRACE(version);
    ASSERT_EQ(
        Run("fit --quiet --data '" + data + "' --dependent y " + c.model + " --pmml-version " +
            version + " --json '" + fDir + "/m.json' --pmml '" + fDir + "/m.pmml'"),
        0)
        << fErr;
    ASSERT_EQ(
        Run("score --pmml '" + fDir + "/m.pmml' --data '" + data + "' --out '" + fDir + "/s.csv'"),
        0)
        << fErr;
    const json doc = json::parse(Read(fDir + "/m.json"));
    const CsvTable scores = ReadCsv(fDir + "/s.csv");
    const CsvTable rows = ReadCsv(data);
    ASSERT_EQ(scores.rows.size(), rows.rows.size());
    const json segments = c.split ? doc["splits"] : json::array({doc});
    const json categories = doc.value("categories", json::array());  // none in a split fit
    ASSERT_EQ(scores.names.size(), c.logistic ? categories.size() + 1 : 1);
    int scored = 0;
    for (std::size_t i = 0; i < rows.rows.size(); ++i) {
      SCOPED_TRACE("row " + std::to_string(i));
      const json* params = c.split ? nullptr : &doc["parameters"];
      for (const json& s : segments) {
        if (c.split && s["split_values"]["B"] == Text(rows, i, rows.Column("B"))) {
          params = &s["parameters"];
        }
      }
      if (!c.logistic) {
        const std::optional<double> eta = params ? Eta(*params, rows, i, nullptr) : std::nullopt;
        ASSERT_EQ(std::isnan(scores.Number(i, 0)), !eta.has_value());
        if (eta) {
          EXPECT_TRUE(Near(scores.Number(i, 0), *eta, 1e-12));
        }
        scored += eta.has_value();
        continue;
      }
      std::vector<double> p;
      double sum = 0.0;
      for (const json& category : categories) {
        // The reference category has no parameters: its linear predictor is 0.
        p.push_back(std::exp(Eta(*params, rows, i, category).value()));
        sum += p.back();
      }
      const std::size_t best = std::max_element(p.begin(), p.end()) - p.begin();
      EXPECT_EQ(Text(scores, i, 0), categories[best].get<std::string>());
      for (std::size_t k = 0; k < p.size(); ++k) {
        EXPECT_TRUE(Near(scores.Number(i, k + 1), p[k] / sum, 1e-12));
      }
    }
    int used = 0;
    for (const json& s : segments) used += s["records"]["used"].get<int>();
    if (!c.logistic) {
      EXPECT_GE(scored, used);
    }
    EXPECT_TRUE(Valid(fDir + "/m.pmml", schema));
    const std::string pmml = Read(fDir + "/m.pmml");
    if (c.logistic) {
      EXPECT_EQ(pmml.find("targetReferenceCategory=\"" + doc["reference"].get<std::string>() +
                          "\"") != std::string::npos,
                *version == '4');
    }
    // The data dictionary lists the values of the split variable.
    if (c.split) {
      EXPECT_NE(pmml.find("<Value property=\"valid\" value=\"1\"/>"), std::string::npos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, Scores,
    ::testing::Values(
        Case{"lm/factor_by_covariate", "--factors A --covariates x --effects 'A,x,A*x'", false,
             false},
        Case{"lm/covariate_power", "--covariates x,z --effects 'x,z,x*x'", false, false},
        Case{"lm/missing_values", "--factors A,B --covariates x", false, false},
        Case{"lm/missing_values", "--factors A --covariates x --split B", false, true},
        Case{"logit/covariates_only", "--model logistic --covariates x,z", true, false},
        Case{"logit/factor_covariate_interaction",
             "--model logistic --factors A --covariates x --effects 'A,x,A*x'", true, false}));

// Models of formulas (C() factors, powers, arithmetic in PMML's functions) score every record
// as the fit predicts it, the id carried through both; ties of the linear predictors go to the
// reference category in both, as the library's scoring has it.
TEST_F(Pmml, ScoresEqualTheFitsPredictions) {
  const std::string examples = kFixturesRoot + "../../examples/";
  // Three categories in equal numbers and only intercepts: their start values log(4 / 4) are
  // the estimates, every category ties at 0, and the reference (c) is predicted.
  std::string ties = "id,y,A\n";
  for (int i = 0; i < 12; ++i) {
    ties += "r" + std::to_string(i) + "," + std::string(1, "abc"[i % 3]) + "," + "uv"[i / 6] + "\n";
  }
  WriteFile("ties.csv", ties);
  const struct {
    std::string args, data, id;
  } fits[] = {
      {"--formula 'mpg ~ C(cyl, ref=6) * C(am) + wt + I(wt^2) + log(hp) + log2(disp) + "
       "I(-qsec/2)'",
       examples + "mtcars.csv", "model"},
      {"--model logistic --formula \"C(grade, ref='good') ~ site + temp + log(light) + C(dose)\"",
       examples + "growth.csv", "precision"},
      {"--model logistic --formula 'y ~ 1'", fDir + "/ties.csv", "id"},
  };
  for (const auto& fit : fits) {
    for (const auto& [version, schema] : kVersions) {
      SCOPED_TRACE(fit.args + " " + version);
      // PMML 3.2 wants a cell in the PP matrix, which a model of intercepts has none of: such
      // a document would not validate, so it is refused.
      const bool intercepts = fit.id == "id";
      if (intercepts && *version == '3') {
        EXPECT_EQ(Run("fit --quiet --data '" + fit.data + "' " + fit.args +
                      " --pmml-version 3.2 --pmml '" + fDir + "/m.pmml'"),
                  2);
        EXPECT_NE(fErr.find("PMML 3.2 cannot hold a model without predictors"), std::string::npos)
            << fErr;
        continue;
      }
      ASSERT_EQ(
          Run("fit --quiet --data '" + fit.data + "' " + fit.args + " --pmml-version " + version +
              " --pmml '" + fDir + "/m.pmml' --predictions '" + fDir + "/p.csv' --id " + fit.id),
          0)
          << fErr;
      ASSERT_EQ(Run("score --pmml '" + fDir + "/m.pmml' --data '" + fit.data + "' --out '" + fDir +
                    "/s.csv' --id " + fit.id),
                0)
          << fErr;
      EXPECT_TRUE(Valid(fDir + "/m.pmml", schema));
      const CsvTable p = ReadCsv(fDir + "/p.csv");
      const CsvTable s = ReadCsv(fDir + "/s.csv");
      ASSERT_EQ(p.rows.size(), ReadCsv(fit.data).rows.size());
      ASSERT_EQ(s.rows.size(), p.rows.size());
      EXPECT_EQ(p.names[0], fit.id);
      EXPECT_EQ(s.names[0], fit.id);
      const bool logistic = p.names[1] == "predicted";
      for (std::size_t i = 0; i < p.rows.size(); ++i) {
        EXPECT_EQ(p.rows[i][0], s.rows[i][0]) << "row " << i;
        if (logistic) {
          EXPECT_EQ(p.rows[i][1], s.rows[i][1]) << "row " << i;
          EXPECT_TRUE(!intercepts || s.rows[i][1] == "c") << "row " << i;
        }
        for (std::size_t k = logistic ? 2 : 1; k < s.names.size(); ++k) {
          EXPECT_TRUE(Near(s.Number(i, k), p.Number(i, k), 1e-12)) << "row " << i;
        }
      }
    }
  }
}

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

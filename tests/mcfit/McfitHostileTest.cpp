// mcfit on hostile files and bad options: the documented exit code, one line on standard
// error, no output file left behind, never a NaN presented as a result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;

std::string Bin(const std::vector<double>& values) {
  std::string bytes(values.size() * sizeof(double), '\0');
  if (!values.empty()) std::memcpy(&bytes[0], values.data(), values.size() * sizeof(double));
  return bytes;
}

template <typename Row>
std::string Csv(const std::string& header, int n, Row row) {
  std::string text = header + "\n";
  for (int i = 0; i < n; ++i) text += row(i) + "\n";
  return text;
}

std::string Str(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// Ten good records y,x,A with y = 1 + 2x + (A == "b").
std::string Good() {
  std::string text = "y,x,A\n";
  for (int i = 0; i < 10; ++i) {
    text += Str(1.0 + 2.0 * i + (i % 2) + 0.01 * (i % 3)) + "," + std::to_string(i) + "," +
            (i % 2 ? "b\n" : "a\n");
  }
  return text;
}

// y = s (2 + 3x/s + noise) with x scaled by s too.
std::string Scaled(double s) {
  return Csv("y,x", 8,
             [s](int i) { return Str(s * (2 + 3 * i + (i % 2) * 0.5)) + "," + Str(s * i); });
}

const double kMissing = -std::numeric_limits<double>::max();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// y, x and A for binary files, with A's value at record 3 replaced by `a3` and y's by `y3`.
std::string BinRecords(double y3, double a3) {
  std::vector<double> v;
  for (int i = 0; i < 8; ++i) {
    v.insert(v.end(), {i == 3 ? y3 : 0.5 * i + (i % 3), 1.0 * i, i == 3 ? a3 : 1.0 * (i % 2)});
  }
  return Bin(v);
}

struct Case {
  const char* name;
  std::string content;  // of the data file, named after the case
  const char* args;     // the model, after --data; a whole command when it holds {D}, the folder
  int code;             // 0 fitted, 1 not fittable, 2 bad input
  const char* message = "";  // words of the message on standard error
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

const char* const kCsvModel = "--dependent y --covariates x";
const char* const kCsvFactorModel = "--dependent y --covariates x --factors A";
const char* const kBinModel = "--columns y,x,A --dependent y --covariates x --factors A";
#define LOGIT "--dependent y --covariates x --model logistic "

std::vector<Case> Cases() {
  std::vector<Case> c = {
      // Empty, cut short, malformed (the reader's own tests have every malformation).
      {"header_only", "y,x\n", kCsvModel, 1},
      {"cut_inside_a_record", "y,x\n1,2\n3,4\n5", kCsvModel, 2,
       "cut_inside_a_record.csv, line 4: 1 field where the header has"},
      {"nul_bytes", std::string("y,x\n1,\0\n", 8), kCsvModel, 2},
      {"newline_in_a_name", "y,\"x\ny\"\n1,2\n", "--dependent y --covariates 'x\ny'", 0},
      {"latin1_names_and_levels",
       Csv("y,gr\xF6\xDF"
           "e,A",
           6,
           [](int i) { return Str(i * 1.5) + "," + Str(i % 3) + (i % 2 ? ",\xE9t\xE9" : ",a"); }),
       "--dependent y --covariates 'gr\xF6\xDF"
       "e' --factors A",
       0},
      {"latin1_response_categories",
       Csv("y,x", 8,
           [](int i) { return std::string(i % 3 ? "\xE9t\xE9" : "\x80") + "," + Str(i % 5); }),
       "--model logistic --dependent y --covariates x", 0},
      // NaN and infinities as R and pandas write them are missing; other spellings are text.
      {"non_finite_text_is_missing",
       "y,x\n1,2\nNaN,3\n4,5\n2,Inf\n6,-inf\n7,8\n9,nan\n3,4\n-Inf,1\n2,1\n", kCsvModel, 0},
      {"infinity_text", "y,x\n1,2\n2,infinity\n4,5\n", kCsvModel, 2},
      {"overflowing_number", "y,x\n1,2\n2,1e309\n4,5\n", kCsvModel, 2},
      {"negative_zero_and_NA", "y,x\n-0.0,1\nNA,2\n3,-0\n5,3\n4,\n", kCsvModel, 0},
      {"denormals", "y,x\n4.9e-324,1\n1,2.2e-310\n3,3\n2,4\n", kCsvModel, 0},
      // Data whose squares overflow or underflow cannot be fitted; 1e+-100 still can.
      {"huge_values",
       Csv("y,x", 8, [](int i) { return Str(1e308 * ((i % 3) - 1)) + "," + Str(i); }), kCsvModel,
       1, "the dependent 'y' reaches"},
      {"huge_weights", Csv("y,x,w", 8, [](int i) { return Str(i % 3) + "," + Str(i) + ",1e308"; }),
       "--dependent y --covariates x --freq-weight w", 1},
      {"scaled_1e300", Scaled(1e300), kCsvModel, 1},
      {"scaled_1e_minus_300", Scaled(1e-300), kCsvModel, 1, "its squares underflow"},
      {"scaled_1e160_product", Scaled(1e80), "--dependent y --covariates x --effects x,x*x", 1,
       "the term x*x reaches"},
      {"scaled_1e100", Scaled(1e100), kCsvModel, 0},
      // Category codes that are no codes are categories like any other.
      {"odd_category_codes",
       Csv("y,x,A", 10,
           [](int i) {
             const char* codes[] = {"1e300", "-1", "0.5", "-2147483649", "1e9"};
             return Str(i + 0.1 * (i % 3)) + "," + Str(i) + "," + codes[i % 5];
           }),
       kCsvFactorModel, 0},
      {"factor_of_25000_levels",
       Csv("y,A", 25000, [](int i) { return Str(i % 7) + "," + std::to_string(i); }),
       "--dependent y --factors A", 1},
      // Numerically hopeless data: statuses, not NaN.
      {"single_record", "y,x\n7.5,2\n", kCsvModel, 0},
      {"negative_weights", Csv("y,x,w", 5, [](int i) { return Str(i) + "," + Str(2 * i) + ",-1"; }),
       "--dependent y --covariates x --regr-weight w", 2,
       "negative_weights.csv, record 1: regression weight 'w' is -1; weights cannot be negative"},
      {"negative_frequency", "y,f\n1,1\n2,-2\n3,0\n", "--dependent y --freq-weight f", 2,
       "negative_frequency.csv, record 2: frequency weight 'f' is -2; weights cannot be negative"},
      {"all_dependent_missing", Csv("y,x", 5, [](int i) { return "NA," + Str(i); }), kCsvModel, 1,
       "error 307"},
      {"bin_empty", "", kBinModel, 1},
      {"bin_truncated", BinRecords(1.0, 0.0).substr(0, 8 * 3 * 5 + 12), kBinModel, 2},
      {"bin_nan_dependent", BinRecords(kNaN, 0.0), kBinModel, 2,
       "bin_nan_dependent.bin, record 4: dependent 'y' holds a value that is not a finite number"},
      {"bin_inf_factor", BinRecords(1.0, kInf), kBinModel, 2,
       "bin_inf_factor.bin, record 4: factor 'A' holds a value that is not a finite number"},
      {"bin_missing_values", BinRecords(kMissing, kMissing), kBinModel, 0},
      {"bin_negative_code", BinRecords(1.0, -7.0), kBinModel, 0},
      {"bin_fractional_code", BinRecords(1.0, 0.25), kBinModel, 0},
      {"bin_single_record", Bin({3.0, 1.0, 0.0}), kBinModel, 0},
      // Bad options and models, over good data.
      {"unknown_column", Good(), "--dependent y --factors h", 2, "unknown column 'h'"},
      {"text_covariate", "y,x\n1,1\n2,two\n", kCsvModel, 2,
       "text_covariate.csv, line 3: covariate 'x' holds 'two'"},
      {"factor_and_covariate", Good(), "--dependent y --factors A --covariates A", 2,
       "both a factor"},
      {"unreadable_file", "", "fit --data {D}/absent.csv --dependent y", 2,
       "absent.csv: cannot open the file"},
      {"unknown_option", Good(), "--dependent y --bogus", 2, "--bogus"},
      {"empty_term_name", Good(), "--dependent y --factors A --effects 'A**A'", 2, "empty name"},
      {"factor_twice_in_term", Good(), "--dependent y --factors A --effects 'A*A'", 2,
       "twice in term"},
      {"term_twice", Good(), "--dependent y --factors A --covariates x --effects 'x*A,A*x'", 2,
       "given twice"},
      {"unknown_reference", Good(), LOGIT "--reference 9", 2, "has no category '9'"},
      {"bad_patterns", Good(), LOGIT "--patterns maybe", 2, "--patterns"},
      {"no_halving", Good(), LOGIT "--max-step-halving 0", 2, "--max-step"},
      {"negative_criterion", Good(), LOGIT "--ll-criterion -1", 2, "--ll-crit"},
      {"logistic_option_on_linear", Good(), "--dependent y --reference 1", 2, "--model logistic"},
      {"decimal_comma", "y;x\n1,5;2\n2,5;3\n", kCsvModel, 2,
       "decimal_comma.csv, line 2: dependent 'y' holds '1,5', not a number (numbers need a "
       "decimal point, not a comma)"},
      {"gz_truncated", std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x25\x93\x39", 13),
       kCsvModel, 2, "gz_truncated.csv.gz: cannot decompress"},
      {"long_separator", Good(), "--dependent y --sep ab", 2, "--sep"},
      {"separator_not_in_file", Good(), "--dependent y --covariates x --sep ';'", 2,
       "unknown column 'y'"},
      {"tolerance_one", Good(), "--dependent y --covariates x --tolerance 1", 2,
       "--tolerance must be a number with 0 <= T < 1, not 1"},
      {"tolerance_negative", Good(), "--dependent y --covariates x --tolerance -1e-9", 2,
       "not -1e-09"},
      {"tolerance_nan", Good(), "--dependent y --covariates x --tolerance nan", 2,
       "0 <= T < 1, not nan"},
      {"tolerance_text", Good(), "--dependent y --covariates x --tolerance small", 2,
       "--tolerance"},
      {"no_effects", Good(), "--dependent y --no-intercept", 2, "neither an intercept nor a term"},
      {"option_slip", Good(), "--dependent y --covariate x", 2,
       "unknown option '--covariate' (did you mean '--covariates'?)"},
      {"command_slip", "", "fti --data {D}/x.csv", 2,
       "unknown command 'fti' (did you mean 'fit'?)"},
      {"column_slip", Good(), "--dependent y --covariates xx", 2,
       "unknown column 'xx' (did you mean 'x'?)"},
  };
  return c;
}

class McfitHostile : public Program, public ::testing::WithParamInterface<Case> {};

TEST_P(McfitHostile, AnswersWithTheDocumentedCode) {
  const Case& c = GetParam();
  const std::string file = std::string(c.name) + (std::strncmp(c.name, "bin_", 4) == 0  ? ".bin"
                                                  : std::strncmp(c.name, "gz_", 3) == 0 ? ".csv.gz"
                                                                                        : ".csv");
  WriteFile(file, c.content);
  std::string command = "fit --data '" + fDir + "/" + file + "' " + c.args;
  if (std::strstr(c.args, "{D}") != nullptr) command = c.args;
  for (std::size_t at; (at = command.find("{D}")) != std::string::npos;)
    command.replace(at, 3, fDir);
  const int rc = Run(command + " --json '" + fDir + "/out.json'");
  ASSERT_GE(rc, 0);
  ASSERT_LT(rc, 128) << "crashed: " << fErr;
  EXPECT_EQ(rc, c.code) << fErr;
  EXPECT_NE(fErr.find(c.message), std::string::npos) << fErr;
  if (rc != 0) {
    EXPECT_EQ(std::count(fErr.begin(), fErr.end(), '\n'), 1) << fErr;
    EXPECT_EQ(fErr.back(), '\n');
    EXPECT_EQ(Listing(), file + "\n") << "an output file was left behind";
    return;
  }
  // A fit presents numbers (or "not available"), never NaN or infinities.
  for (const char* bad : {"nan", "inf"}) {
    std::string lower = fOut;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_EQ(lower.find(bad), std::string::npos) << fOut;
  }
  const nlohmann::json doc = nlohmann::json::parse(ReadFile(fDir + "/out.json"));
  ASSERT_FALSE(doc["parameters"].empty());
  // Without residual degrees of freedom there is no standard error to present.
  const bool noDf = doc["fit"]["df_error"] == 0;
  for (const auto& p : doc["parameters"]) {
    ASSERT_TRUE(p["estimate"].is_number()) << p;
    EXPECT_TRUE(!noDf || p["std_error"].is_null()) << p;
    EXPECT_TRUE(std::isfinite(p["estimate"].get<double>())) << p;
    for (const char* key : {"std_error", "statistic", "p_value"}) {
      EXPECT_TRUE(p[key].is_null() || std::isfinite(p[key].get<double>())) << p;
    }
  }
  for (const char* key : {"r_squared", "rmse", "residual_std_error"}) {
    const auto& v = doc["fit"][key];
    EXPECT_TRUE(v.is_null() || std::isfinite(v.get<double>())) << key;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, McfitHostile, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });
#undef LOGIT

}  // namespace

// The coding of records for the library: the same records from every source, pass after pass.
#include "frontend/CodedModel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "MCMV.h"

namespace MCFrontEnd {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class Scratch : public ::testing::Test {
 protected:
  void SetUp() override {
    fDir = ::testing::TempDir() + "coded_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(fDir);
    std::filesystem::create_directories(fDir);
  }
  void TearDown() override { std::filesystem::remove_all(fDir); }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(fDir + "/" + name, std::ios::binary) << bytes;
    return fDir + "/" + name;
  }
  std::string fDir;
};

std::vector<std::vector<double>> Passes(MCCommon::MultiPassRecordIter& records) {
  std::vector<std::vector<double>> all;
  for (int pass = 0; pass < 2; ++pass) {
    records.NewPass();
    while (records.HasMore()) {
      const MCCommon::Record* r = records.Next();
      all.emplace_back(r->GetAll(), r->GetAll() + r->Size());
    }
    EXPECT_EQ(records.GetFailReason(), MCCommon::kFailEndOfData);
  }
  return all;
}

// y, a numeric factor A (categories 2.5, 9, 10 and a missing one) and x, with missing values.
const std::vector<double> kY = {1.5, kNaN, 3.25, -4, 5, 6.5, 7, 8};
const std::vector<double> kA = {10, 9, 2.5, kNaN, 10, 2.5, 9, 10};
const std::vector<double> kX = {0.5, 1, kNaN, 2, -3, 4, 5e-3, 1e6};

// A CSV field that reads back to v; NaN as NA.
std::string Field(double v) {
  if (std::isnan(v)) return "NA";
  std::ostringstream s;
  s.precision(17);
  s << v;
  return s.str();
}

std::string CsvText() {
  std::string text = "y,A,x\n";
  for (std::size_t i = 0; i < kY.size(); ++i) {
    text += Field(kY[i]) + "," + Field(kA[i]) + "," + Field(kX[i]) + "\n";
  }
  return text;
}

ModelRequest Request() {
  ModelRequest r;
  r.dependent = "y";
  r.factors = {"A"};
  r.covariates = {"x"};
  return r;
}

// Columns in memory: numbers with a stride, categories as int8 codes into unsorted labels.
TEST_F(Scratch, EverySourceCodesTheSameRecords) {
  const std::string csv = Write("d.csv", CsvText());
  std::string bytes;
  for (std::size_t i = 0; i < kY.size(); ++i) {
    for (const double v : {kY[i], kA[i], kX[i]}) {
      const double stored = std::isnan(v) ? MCMV::Missing() : v;
      bytes.append(reinterpret_cast<const char*>(&stored), sizeof stored);
    }
  }
  const std::string bin = Write("d.bin", bytes);
  std::vector<double> interleaved;  // y, x, unused: a stride of three doubles
  std::vector<std::int8_t> codes;
  const std::vector<std::string> labels = {"10", "unused", "2.5", "9"};
  for (std::size_t i = 0; i < kY.size(); ++i) {
    interleaved.insert(interleaved.end(), {kY[i], kX[i], 0.0});
    codes.push_back(std::isnan(kA[i]) ? -1 : kA[i] == 10 ? 0 : kA[i] == 2.5 ? 2 : 3);
  }
  ColumnTable table("frame", static_cast<std::int64_t>(kY.size()));
  table.AddNumeric("y", interleaved.data(), 3 * sizeof(double));
  table.AddCategorical("A", codes.data(), 1, 1, labels);
  table.AddNumeric("x", interleaved.data() + 1, 3 * sizeof(double));

  std::vector<std::vector<double>> expected;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < kY.size(); ++i) {
      const double code = std::isnan(kA[i]) ? MCMV::Missing() : kA[i] == 2.5 ? 0 : kA[i] == 9 ? 1 : 2;
      expected.push_back({std::isnan(kY[i]) ? MCMV::Missing() : kY[i], code,
                          std::isnan(kX[i]) ? MCMV::Missing() : kX[i]});
    }
  }
  FileOptions binary;
  binary.columns = {"y", "A", "x"};
  const auto csvSource = OpenDataFile(csv, {});
  const auto binSource = OpenDataFile(bin, binary);
  struct Way {
    const char* name;
    DataSource& source;
    CacheMode cache;
  };
  for (const Way& way : {Way{"csv cached", *csvSource, CacheMode::kAlways},
                         Way{"csv parsed", *csvSource, CacheMode::kNever},
                         Way{"binary", *binSource, CacheMode::kAuto},
                         Way{"binary cached", *binSource, CacheMode::kAlways},
                         Way{"table", table, CacheMode::kAuto}}) {
    SCOPED_TRACE(way.name);
    CodedModel model(way.source, Request(), way.cache);
    EXPECT_EQ(Passes(model.Records()), expected);
    EXPECT_EQ(model.RecordsRead(), 8);
    EXPECT_EQ(model.RecordsUsed(), 5);
    ASSERT_EQ(model.CategoryCount(0), 3);
    EXPECT_TRUE(model.NumericCategories(0));
    EXPECT_EQ(model.CategoryText(0, 0) + " " + model.CategoryText(0, 1) + " " +
                  model.CategoryText(0, 2),
              "2.5 9 10");
    // Ranges read on threads of their own, put together, give the whole pass.
    for (const std::int64_t split : {0, 3, 8}) {
      std::vector<std::vector<double>> parts[2];
      std::thread first([&] { parts[0] = Passes(*model.OpenRecords({0, split})); });
      std::thread second([&] { parts[1] = Passes(*model.OpenRecords({split, -1})); });
      first.join();
      second.join();
      std::vector<std::vector<double>> joined;
      for (const auto& records : parts) {
        joined.insert(joined.end(), records.begin(), records.begin() + records.size() / 2);
      }
      EXPECT_EQ(joined, std::vector<std::vector<double>>(expected.begin(), expected.begin() + 8))
          << split;
    }
  }
}

struct OrderCase {
  const char* name;
  std::vector<std::string> values;  // the factor's fields, in record order
  std::string reference;            // the category to code last, or empty
  std::string order;                // the categories in code order, joined by blanks
};

class CategoryOrder : public Scratch, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(CategoryOrder, CodesFollowTheDocumentedOrder) {
  const OrderCase& c = GetParam();
  std::string text = "y,g\n";
  for (std::size_t i = 0; i < c.values.size(); ++i) text += std::to_string(i) + "," + c.values[i] + "\n";
  const auto source = OpenDataFile(Write("g.csv", text), {});
  ModelRequest request;
  request.dependent = "y";
  request.factors = {"g"};
  if (!c.reference.empty()) request.references["g"] = c.reference;
  CodedModel model(*source, request);
  std::string order;
  for (int code = 0; code < model.CategoryCount(0); ++code) {
    order += (code ? " " : "") + model.CategoryText(0, code);
  }
  EXPECT_EQ(order, c.order);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CategoryOrder,
    ::testing::Values(
        OrderCase{"numbers_numerically", {"10", "9", "-1", "9.5"}, "", "-1 9 9.5 10"},
        OrderCase{"one_number_written_twice", {"1", "1.0", " 1", "2", "1e0"}, "", "1 2"},
        OrderCase{"text_by_bytes", {"b", "B", "a", "\xC3\xA9", "10", "9"}, "", "10 9 B a b \xC3\xA9"},
        OrderCase{"missing_is_no_category", {"a", "NA", "", "b", "NaN"}, "", "a b"},
        OrderCase{"reference_last", {"c", "a", "b"}, "a", "b c a"},
        OrderCase{"numeric_reference_as_number", {"3", "1", "2"}, "1.0", "2 3 1"}),
    [](const auto& info) { return std::string(info.param.name); });

// log(x) in a formula: records with x <= 0 are not used.
TEST_F(Scratch, DerivedCovariateEqualsAPrecomputedColumn) {
  std::string raw = "y,x\n";
  std::string logged = "y,lx\n";
  for (int i = 0; i < 40; ++i) {
    const double x = (i % 7) - 1.5 + 0.01 * i;  // some zero or negative
    const double y = 2.0 + 0.5 * std::log(std::fabs(x) + 1) + 0.1 * (i % 3);
    raw += Field(y) + "," + Field(x) + "\n";
    logged += Field(y) + "," + Field(x > 0 ? std::log(x) : kNaN) + "\n";
  }
  const auto rawSource = OpenDataFile(Write("raw.csv", raw), {});
  const auto loggedSource = OpenDataFile(Write("logged.csv", logged), {});
  ModelRequest plain;
  plain.dependent = "y";
  plain.covariates = {"lx"};
  ModelRequest formula;
  formula.formula = "y ~ log(x)";
  CodedModel b(*loggedSource, plain);
  CodedModel c(*rawSource, formula);
  EXPECT_EQ(c.RecordsRead(), 40);
  EXPECT_EQ(c.RecordsUsed(), b.RecordsUsed());
  EXPECT_LT(c.RecordsUsed(), 40);
  // Every record has x: those not used are those where log(x) is not finite.
  EXPECT_EQ(c.RecordsNotFinite(), 40 - b.RecordsUsed());
  EXPECT_EQ(b.RecordsNotFinite(), 0);
  EXPECT_EQ(Passes(c.Records()), Passes(b.Records()));
}

// A text on the last record only makes a factor: the first pass then starts over.
TEST_F(Scratch, FormulaColumnsHoldingTextAreFactors) {
  std::string csv = "y,g,h\n";
  for (int i = 0; i < 9000; ++i) {
    csv += std::to_string(i % 11) + "," + std::to_string(i % 4) + "," + std::to_string(i % 5) +
           "\n";
  }
  csv += "3,other,2\n";
  const auto source = OpenDataFile(Write("d.csv", csv), {});
  // The same columns in memory: g as labels, y and h as numbers.
  std::vector<double> y, h;
  std::vector<std::int8_t> g;
  for (int i = 0; i < 9001; ++i) {
    y.push_back(i < 9000 ? i % 11 : 3);
    h.push_back(i < 9000 ? i % 5 : 2);
    g.push_back(static_cast<std::int8_t>(i < 9000 ? i % 4 : 4));
  }
  ColumnTable table("frame", 9001);
  table.AddNumeric("y", y.data());
  table.AddCategorical("g", g.data(), 1, 1, {"0", "1", "2", "3", "other"});
  table.AddNumeric("h", h.data());
  const std::pair<DataSource*, CacheMode> ways[] = {{source.get(), CacheMode::kAuto},
                                                    {source.get(), CacheMode::kAlways},
                                                    {source.get(), CacheMode::kNever},
                                                    {&table, CacheMode::kAuto}};
  for (const auto& [data, cache] : ways) {
    ModelRequest request;
    request.formula = "y ~ g + h + C(h)";
    CodedModel model(*data, request, cache);
    EXPECT_EQ(model.Request().factors, (std::vector<std::string>{"g", "C(h)"}));
    EXPECT_EQ(model.Request().covariates, (std::vector<std::string>{"h"}));
    EXPECT_EQ(model.RecordsUsed(), 9001);
    ASSERT_EQ(model.CategoryCount(0), 5);
    EXPECT_EQ(model.CategoryText(0, 4), "other");
    EXPECT_EQ(model.CategoryCount(1), 5);
    EXPECT_FALSE(model.NumericCategories(0));
    EXPECT_TRUE(model.NumericCategories(1));
  }
}

}  // namespace
}  // namespace MCFrontEnd

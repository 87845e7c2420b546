// Fits of data held in parts (frontend/Parts.h) with a host that runs the parts in this
// process: 1, 3 and 7 parts, one of them empty and one without a category, give the fit of
// the whole table to the bit; bytes and summaries that do not belong are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "frontend/CodedModel.h"
#include "frontend/DataSource.h"
#include "frontend/Errors.h"
#include "frontend/Fit.h"
#include "frontend/Parts.h"

namespace MCFrontEnd {
namespace {

constexpr int kRows = 3000;

struct Data {
  std::vector<double> y, x, w;
  std::vector<std::int32_t> g, k;
  const std::vector<std::string> groups = {"north", "south", "east", "west"};
  const std::vector<std::string> classes = {"p", "q", "r"};
  Data() {
    std::mt19937_64 gen(42);
    std::normal_distribution<double> normal;
    for (int i = 0; i < kRows; ++i) {
      g.push_back(static_cast<std::int32_t>(gen() % 4));
      x.push_back(normal(gen));
      w.push_back(0.5 + static_cast<double>(gen() % 7) / 3.0);  // not whole
      y.push_back(0.3 * g.back() + x.back() + normal(gen));
      k.push_back(static_cast<std::int32_t>(y.back() > 0.5) + (x.back() > 1.0 ? 1 : 0));
    }
    x[17] = std::nan("");
    for (int i = 100; i < 600; ++i) g[static_cast<std::size_t>(i)] %= 3;  // no "west"
  }
  // Records first .. first + n - 1 as a table of every column.
  std::unique_ptr<ColumnTable> Table(int first, int n) const {
    auto t = std::make_unique<ColumnTable>("parts", n);
    const auto at = static_cast<std::size_t>(first);
    t->AddNumeric("y", y.data() + at);
    t->AddNumeric("x", x.data() + at);
    t->AddNumeric("w", w.data() + at);
    t->AddCategorical("g", g.data() + at, 4, 4, groups);
    t->AddCategorical("k", k.data() + at, 4, 4, classes);
    return t;
  }
};

// The parts in this process: every pass fills and merges them in order.
class LocalHost : public PartsHost, public MCPassRunner {
 public:
  LocalHost(std::vector<std::unique_ptr<CodedModel>>& parts, const FitChoices& choices)
      : fParts(parts), fChoices(choices) {}
  MCPassRunner& Runner() override { return *this; }
  MCCommon::MCStatus RunPass(const MCPassPlan& plan, MCPartialStats& merged) override {
    std::string bytes;
    for (auto& part : fParts)
      bytes = MergePartBytes(bytes, FillPart(*part, fChoices, plan.ToBytes()));
    fPasses.push_back(bytes);
    if (!bytes.empty()) merged.FromBytes(bytes.data(), bytes.size());
    return merged.GetStatus();
  }
  std::string FinalPass(const std::string&) override {
    std::string sums = FinalOfPart(*fParts[0], fChoices, fPasses);
    for (std::size_t i = 1; i < fParts.size(); ++i) {
      sums = MergeFinalSums(sums, FinalOfPart(*fParts[i], fChoices, fPasses));
    }
    return sums;
  }

 private:
  std::vector<std::unique_ptr<CodedModel>>& fParts;
  const FitChoices& fChoices;
  std::vector<std::string> fPasses;
};

struct Case {
  const char* model;
  const char* formula;
  const char* weight;
  int parts;
};

class PartsTest : public ::testing::TestWithParam<Case> {};

TEST_P(PartsTest, GiveTheFitOfTheWhole) {
  const Case& c = GetParam();
  const Data data;
  ModelRequest request;
  request.model = c.model;
  request.formula = c.formula;
  request.regrWeight = c.weight;
  FitChoices choices;
  std::unique_ptr<ColumnTable> whole = data.Table(0, kRows);
  CodedModel model(*whole, request);
  const std::string expected = JsonText(FitModel(model, choices, nullptr, nullptr));

  // Even cuts and an empty part after the first; records 100 .. 599 lack "west".
  std::vector<std::unique_ptr<ColumnTable>> tables;
  std::vector<std::unique_ptr<CodedModel>> parts;
  for (int i = 0; i < c.parts; ++i) {
    const int first = kRows * i / c.parts;
    tables.push_back(data.Table(first, kRows * (i + 1) / c.parts - first));
  }
  tables.insert(tables.begin() + 1, data.Table(0, 0));
  ScanSummary summary;
  for (auto& t : tables) summary.Merge(CodedModel::Summarize(*t, request));
  for (auto& t : tables) parts.push_back(std::make_unique<CodedModel>(*t, request, summary));
  std::unique_ptr<ColumnTable> schema = data.Table(0, 0);
  CodedModel client(*schema, request, summary);
  LocalHost host(parts, choices);
  choices.parts = &host;
  EXPECT_EQ(JsonText(FitModel(client, choices, nullptr, nullptr)), expected);
}

INSTANTIATE_TEST_SUITE_P(Models, PartsTest,
                         ::testing::Values(Case{"linear", "y ~ g + x + g:x", "", 1},
                                           Case{"linear", "y ~ g + x", "w", 3},
                                           Case{"linear", "y ~ g + log(x^2)", "", 7},
                                           Case{"logistic", "k ~ g + x", "", 3},
                                           Case{"logistic", "k ~ g + x", "w", 7}));

TEST(PartsBytesTest, WhatDoesNotBelongIsRefused) {
  const Data data;
  ModelRequest request;
  request.formula = "y ~ g + x";
  std::unique_ptr<ColumnTable> table = data.Table(0, 50);
  ScanSummary summary = CodedModel::Summarize(*table, request);
  CodedModel part(*table, request, summary);
  FitChoices choices;
  EXPECT_THROW(FillPart(part, choices, "MCPS not a plan"), FitError);
  EXPECT_THROW(MergePartBytes("x", "y"), FitError);
  const std::string sums = FinalSums(std::vector<MCCommonMath::MCExactSum>(2));
  EXPECT_THROW(MergeFinalSums(sums, sums.substr(0, 9)), InputError);
  EXPECT_THROW(MergeFinalSums("p", "p"), InputError);
  // A key of a label the table does not have.
  summary.keys[1].push_back(4.0);
  EXPECT_THROW(CodedModel(*table, request, summary), InputError);
  summary.keys.pop_back();
  EXPECT_THROW(CodedModel(*table, request, summary), InputError);
}

}  // namespace
}  // namespace MCFrontEnd

// Fits in parts against the whole fit are the Python package's Dask tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/CodedModel.h"
#include "frontend/DataSource.h"
#include "frontend/Errors.h"
#include "frontend/Fit.h"
#include "frontend/Parts.h"

namespace MCFrontEnd {
namespace {

TEST(PartsBytesTest, WhatDoesNotBelongIsRefused) {
  std::vector<double> y, x;
  std::vector<std::int32_t> g;
  for (int i = 0; i < 50; ++i) {
    y.push_back(0.1 * i + i % 3);
    x.push_back(i % 7);
    g.push_back(i % 3);
  }
  ColumnTable table("parts", 50);
  table.AddNumeric("y", y.data());
  table.AddNumeric("x", x.data());
  table.AddCategorical("g", g.data(), 4, 4, {"north", "south", "east", "west"});
  ModelRequest request;
  request.formula = "y ~ g + x";
  ScanSummary summary = CodedModel::Summarize(table, request);
  CodedModel part(table, request, summary);
  FitChoices choices;
  EXPECT_THROW(FillPart(part, choices, "MCPS not a plan"), FitError);
  EXPECT_THROW(MergePartBytes("x", "y"), FitError);
  const std::string sums = FinalSums(std::vector<MCCommonMath::MCExactSum>(2));
  EXPECT_THROW(MergeFinalSums(sums, sums.substr(0, 9)), InputError);
  EXPECT_THROW(MergeFinalSums("p", "p"), InputError);
  // A key of a label the table does not have.
  summary.keys[1].push_back(4.0);
  EXPECT_THROW(CodedModel(table, request, summary), InputError);
  summary.keys.pop_back();
  EXPECT_THROW(CodedModel(table, request, summary), InputError);
}

}  // namespace
}  // namespace MCFrontEnd

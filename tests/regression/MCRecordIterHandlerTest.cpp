#include <gtest/gtest.h>

#include <vector>

#include "../../src/regression/MCAccumStats.h"
#include "../../src/regression/MCDataHandler.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;
using regtest::MaxDiff;

// The main problem with a record handler and an accumulator attached.
class RecordHandlerTest : public ::testing::Test {
 protected:
  void Build(const regtest::Rows& rows) {
    fProblem.reset(new regtest::Problem(regtest::MainLayout(), rows));
    fProblem->FillTables();
    fModel = &fProblem->MakeModel();
    fStats.reset(new MCAccumStatsLogistic(fProblem->fSettings, 10, 3, fBeta));
    fHandler.reset(
        new MCRecordIterHandler(fProblem->fData, fCancel, fProblem->fValidator, 3, 1, 5));
    fHandler->SetStatsModel(fStats.get(), fModel);
  }
  MCStatus Pass(bool llOnly = false) {
    fHandler->ResetAccumStats(MCConst::kNewtonRaphson, true);
    return fHandler->ComputeStatsForOptimizer(llOnly);
  }
  int ValidRows() const {
    int valid = 0, invalid = 0;
    double weight = 0.0;
    fStats->GetCounts(valid, invalid, weight);
    return valid;
  }
  int Delivered() const { return fProblem->fData.Delivered(); }

  MCCommon::MCCancelInfo fCancel;
  std::vector<double> fBeta = regtest::Beta(20);
  std::unique_ptr<regtest::Problem> fProblem;
  regtest::TableModel* fModel = nullptr;
  std::unique_ptr<MCAccumStatsLogistic> fStats;
  std::unique_ptr<MCRecordIterHandler> fHandler;
};

TEST_F(RecordHandlerTest, PassMatchesDenseStatisticsWithBothWeights) {
  regtest::Rows rows = regtest::MainRows(60);
  Build(rows);
  ASSERT_EQ(fModel->NBasic(), 10);
  ASSERT_TRUE(Pass().IsOK());
  std::vector<regtest::Obs> obs;
  for (const std::vector<double>& r : rows) obs.push_back(regtest::MainObs(r));
  const regtest::DenseStats dense(obs, fBeta, 3, 10);
  EXPECT_NEAR(fStats->GetLL(), dense.ll, 1e-11);
  EXPECT_LT(MaxDiff(fStats->GetScores(), dense.score), 1e-11);
  MCCommonMath::MCSymMatrix hessian;
  fStats->GetHessian(hessian);
  EXPECT_LT(MaxDiff(hessian.AsVectorConst(), dense.info), 1e-11);
  std::vector<double> m(3);
  fStats->GetMinMaxProbabilities(m[0], m[1], m[2]);
  EXPECT_LT(MaxDiff(m, {dense.minObs, dense.maxObs, dense.minAny}), 1e-15);
  EXPECT_EQ(ValidRows(), 60);

  // Records the first pass did not count are skipped: A = 3 and dependent 6 pass the
  // validator (code = size), dependent 1 never occurred.
  rows.insert(rows.begin() + 5, {0.3, 1, 0, 2, 3, 1, 0});
  rows.push_back({0.3, 1, 0, 6, 1, 1, 0});
  rows.push_back({0.3, 1, 1, 1, 1, 1, 0});
  regtest::MemoryRecords extended(rows);
  MCRecordIterHandler handler(extended, fCancel, fProblem->fValidator, 3, 1, 5);
  handler.SetStatsModel(fStats.get(), fModel);
  handler.ResetAccumStats(MCConst::kNewtonRaphson, false);
  ASSERT_TRUE(handler.ComputeStatsForOptimizer(true).IsOK());
  EXPECT_NEAR(fStats->GetLL(), dense.ll, 1e-11);
  EXPECT_EQ(ValidRows(), 60);
}

TEST_F(RecordHandlerTest, CancelEndsThePassWithStatusOne) {
  Build(regtest::MainRows(30));
  regtest::CancelAfter query(&fProblem->fData, Delivered() + 4);
  fCancel.SetCancelPtr(&query);
  EXPECT_EQ(Pass(), MCStatus(1, false));
  EXPECT_EQ(ValidRows(), 4);
}

// A promised record that does not come ends the pass with 304; a record the validator refuses
// with an error (factor A of 1.5) with that error, which is also kept among the warnings.
TEST_F(RecordHandlerTest, PromisedRecordOrValidatorErrorEndsThePass) {
  regtest::Rows rows = regtest::MainRows(20);
  Build(rows);
  fProblem->fData.SetNullAt(7);
  EXPECT_EQ(Pass(), MCStatus(304, false));
  EXPECT_EQ(ValidRows(), 7);
  EXPECT_TRUE(fHandler->GetWarnings().empty());
  rows[6][4] = 1.5;
  regtest::MemoryRecords changed(rows);
  MCRecordIterHandler handler(changed, fCancel, fProblem->fValidator, 3, 1, 5);
  handler.SetStatsModel(fStats.get(), fModel);
  const MCStatus status = handler.ComputeStatsForOptimizer(false);
  EXPECT_EQ(status.GetDiscreteDatum(1), 4);
  EXPECT_EQ(handler.GetWarnings(), std::vector<MCStatus>{MCStatus(status)});
  EXPECT_EQ(status.GetErrorCode(), 316);
}

TEST_F(RecordHandlerTest, RefusedPassAndRefusedRowStick) {
  Build(regtest::MainRows(20));
  fProblem->fData.SetMaxPasses(fProblem->fData.Passes());
  EXPECT_EQ(Pass(), MCStatus(307, false));
  const int passes = fProblem->fData.Passes();
  EXPECT_EQ(Pass(), MCStatus(307, false));
  EXPECT_EQ(fProblem->fData.Passes(), passes);

  Build(regtest::MainRows(20));
  fModel->fLocal.clear();  // codes handed on as they are: code 5 >= K = 3
  EXPECT_EQ(Pass(), MCStatus(303, false));
  const int delivered = Delivered();
  EXPECT_EQ(Pass(), MCStatus(303, false));
  EXPECT_EQ(Delivered(), delivered);
}

}  // namespace

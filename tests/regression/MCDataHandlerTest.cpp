// The two data handlers: records read pass by pass (MCRecordIterHandler) and the pattern
// tabulator, on the main problem of RegTestSupport.h.
#include <gtest/gtest.h>

#include <vector>

#include "../../src/regression/MCAccumStats.h"
#include "../../src/regression/MCDataHandler.h"
#include "../../src/regression/MCPatternTabulator.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;

// A problem whose tables are filled by the tabulator's own factor pass.
class TabulatorTest : public ::testing::Test {
 protected:
  void Build(const regtest::Layout& layout, const regtest::Rows& rows) {
    fProblem.reset(new regtest::Problem(layout, rows));
    fTab.reset(new MCPatternTabulator(fProblem->fSettings, fProblem->fExtractor, fCancel, true));
  }
  static int ValidRows(const IMCAccumStats& stats) {
    int valid = 0, invalid = 0;
    double weight = 0.0;
    stats.GetCounts(valid, invalid, weight);
    return valid;
  }

  MCCommon::MCCancelInfo fCancel;
  std::unique_ptr<regtest::Problem> fProblem;
  std::unique_ptr<MCPatternTabulator> fTab;
  regtest::TableModel* fModel = nullptr;
  std::vector<double> fBeta;
};

// What the fits make of the rows handed over is checked through the components.
TEST_F(TabulatorTest, HandOverComesAfterThePatternsAndStopsAtARefusedRow) {
  const regtest::Rows rows = regtest::MainRows(50);
  Build(regtest::MainLayout(), rows);
  ASSERT_TRUE(fTab->TabulateFactors(fProblem->fData, fProblem->fTables).IsOK());
  EXPECT_EQ(fTab->TabulateFactors(fProblem->fData, fProblem->fTables), MCStatus(303, false));
  fModel = &fProblem->MakeModel();
  fTab.reset(new MCPatternTabulator(fProblem->fSettings, fProblem->fExtractor, fCancel, true));
  EXPECT_EQ(fTab->AddPatternsToModel(*fModel), MCStatus(303, false));  // no patterns yet
  fTab.reset(new MCPatternTabulator(fProblem->fSettings, fProblem->fExtractor, fCancel, true));
  ASSERT_TRUE(fTab->CreateRowPatterns(fProblem->fData, fProblem->fTables, *fModel).IsOK());
  ASSERT_TRUE(fTab->AddPatternsToModel(*fModel).IsOK());
  EXPECT_EQ(fModel->fNAdded, 50);
  fModel->fRefuseRows = true;
  EXPECT_EQ(fTab->AddPatternsToModel(*fModel), MCStatus(313, false));
}

TEST_F(TabulatorTest, EmptySourceOrNoValidRecordGives307) {
  Build(regtest::MainLayout(), {});
  EXPECT_EQ(fTab->TabulateFactors(fProblem->fData, fProblem->fTables), MCStatus(307, false));
  regtest::Rows rows = regtest::MainRows(5);
  for (std::vector<double>& r : rows) r[1] = 0.0;  // frequency weight 0: invalid
  Build(regtest::MainLayout(), rows);
  EXPECT_EQ(fTab->TabulateFactors(fProblem->fData, fProblem->fTables), MCStatus(307, false));
  EXPECT_EQ(fTab->GetRecordCount(), 5);
}

// A fault at record 12 ends a record pass (0 factors, 1 row patterns, 2 a record handler's
// pass) with its status; a record handler keeps a refused record's status among its warnings.
struct RecordFault {
  int pass;
  int kind;  // 0 null record, 1 short record, 2 non-integer factor, 3 cancel
  long code;
};

class TabulatorFaultTest : public TabulatorTest,
                           public ::testing::WithParamInterface<RecordFault> {};

TEST_P(TabulatorFaultTest, EndsThePassWithItsStatus) {
  const RecordFault fault = GetParam();
  regtest::Rows rows = regtest::MainRows(30);
  Build(regtest::MainLayout(), rows);
  if (fault.pass >= 1) {
    ASSERT_TRUE(fTab->TabulateFactors(fProblem->fData, fProblem->fTables).IsOK());
    fModel = &fProblem->MakeModel();
  }
  if (fault.kind == 1) rows[12].resize(3);
  if (fault.kind == 2) rows[12][2] = 0.5;
  regtest::MemoryRecords faulty(rows);
  if (fault.kind == 0) faulty.SetNullAt(12);
  regtest::CancelAfter cancel(&faulty, 12);
  if (fault.kind == 3) fCancel.SetCancelPtr(&cancel);
  MCStatus status;
  if (fault.pass == 2) {
    fBeta = regtest::Beta(20);
    MCAccumStatsLogistic stats(fProblem->fSettings, 10, 3, fBeta);
    MCRecordIterHandler handler(faulty, fCancel, fProblem->fValidator, 3, 1, 5);
    handler.SetStatsModel(&stats, fModel);
    handler.ResetAccumStats(MCConst::kNewtonRaphson, true);
    status = handler.ComputeStatsForOptimizer(false);
    EXPECT_EQ(ValidRows(stats), 12);
    const bool refused = fault.kind == 1 || fault.kind == 2;
    EXPECT_EQ(handler.GetWarnings(),
              refused ? std::vector<MCStatus>{status} : std::vector<MCStatus>{});
  } else {
    status = fault.pass == 0 ? fTab->TabulateFactors(faulty, fProblem->fTables)
                             : fTab->CreateRowPatterns(faulty, fProblem->fTables, *fModel);
    EXPECT_EQ(fTab->GetStatus(), status);
    EXPECT_FALSE(fault.pass == 0 ? fTab->IsFactorTableFilled() : fTab->AreRowPatternsCreated());
  }
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(status.GetErrorCode(), fault.code);
  EXPECT_EQ(status.GetDiscreteDatum(1), fault.kind == 2 ? 2 : 0);
  fCancel.SetCancelPtr(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Faults, TabulatorFaultTest,
                         ::testing::Values(RecordFault{0, 0, 312}, RecordFault{0, 1, 315},
                                           RecordFault{0, 2, 316}, RecordFault{0, 3, 1},
                                           RecordFault{1, 0, 312}, RecordFault{1, 1, 315},
                                           RecordFault{1, 2, 316}, RecordFault{1, 3, 1},
                                           RecordFault{2, 0, 304}, RecordFault{2, 1, 315},
                                           RecordFault{2, 2, 316}, RecordFault{2, 3, 1}));

// A record handler's pass against the statistics from their definitions, with both weights.
TEST_F(TabulatorTest, RecordPassMatchesDenseStatistics) {
  regtest::Rows rows = regtest::MainRows(60);
  Build(regtest::MainLayout(), rows);
  ASSERT_TRUE(fTab->TabulateFactors(fProblem->fData, fProblem->fTables).IsOK());
  fModel = &fProblem->MakeModel();
  ASSERT_EQ(fModel->NBasic(), 10);
  fBeta = regtest::Beta(20);
  MCAccumStatsLogistic stats(fProblem->fSettings, 10, 3, fBeta);
  std::vector<regtest::Obs> obs;
  for (const std::vector<double>& r : rows) obs.push_back(regtest::MainObs(r));
  const regtest::DenseStats dense(obs, fBeta, 3, 10);
  // Records the first pass did not count are skipped: A = 3 and dependent 6 pass the
  // validator (code = size), dependent 1 never occurred.
  regtest::Rows extended = rows;
  extended.insert(extended.begin() + 5, {0.3, 1, 0, 2, 3, 1, 0});
  extended.push_back({0.3, 1, 0, 6, 1, 1, 0});
  extended.push_back({0.3, 1, 1, 1, 1, 1, 0});
  for (const regtest::Rows* source : {&rows, &extended}) {
    regtest::MemoryRecords data(*source);
    MCRecordIterHandler handler(data, fCancel, fProblem->fValidator, 3, 1, 5);
    handler.SetStatsModel(&stats, fModel);
    handler.ResetAccumStats(MCConst::kNewtonRaphson, true);
    ASSERT_TRUE(handler.ComputeStatsForOptimizer(false).IsOK());
    EXPECT_NEAR(stats.GetLL(), dense.ll, 1e-11);
    EXPECT_LT(regtest::MaxDiff(stats.GetScores(), dense.score), 1e-11);
    MCCommonMath::MCSymMatrix hessian;
    stats.GetHessian(hessian);
    EXPECT_LT(regtest::MaxDiff(hessian.AsVectorConst(), dense.info), 1e-11);
    std::vector<double> m(3);
    stats.GetMinMaxProbabilities(m[0], m[1], m[2]);
    EXPECT_LT(regtest::MaxDiff(m, {dense.minObs, dense.maxObs, dense.minAny}), 1e-15);
    EXPECT_EQ(ValidRows(stats), 60);
  }
}

// A pass the source refuses (307) and a row the statistics refuse (303) end every later pass
// without reading a record.
TEST_F(TabulatorTest, RefusedPassAndRefusedRowStick) {
  for (bool refusePass : {true, false}) {
    Build(regtest::MainLayout(), regtest::MainRows(20));
    ASSERT_TRUE(fTab->TabulateFactors(fProblem->fData, fProblem->fTables).IsOK());
    fModel = &fProblem->MakeModel();
    fBeta = regtest::Beta(20);
    MCAccumStatsLogistic stats(fProblem->fSettings, 10, 3, fBeta);
    regtest::MemoryRecords& data = fProblem->fData;
    MCRecordIterHandler handler(data, fCancel, fProblem->fValidator, 3, 1, 5);
    handler.SetStatsModel(&stats, fModel);
    if (refusePass) data.SetMaxPasses(data.Passes());
    if (!refusePass) fModel->fLocal.clear();  // codes handed on as they are: code 5 >= K = 3
    const MCStatus expected(refusePass ? 307 : 303, false);
    EXPECT_EQ(handler.ComputeStatsForOptimizer(false), expected);
    const int passes = data.Passes(), delivered = data.Delivered();
    EXPECT_EQ(handler.ComputeStatsForOptimizer(false), expected);
    EXPECT_EQ(data.Passes(), passes);
    EXPECT_EQ(data.Delivered(), delivered);
  }
}

}  // namespace

// The two data handlers: records read pass by pass (MCRecordIterHandler) and the pattern
// tabulator, on the main problem of RegTestSupport.h.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "../../src/regression/MCAccumStats.h"
#include "../../src/regression/MCDataHandler.h"
#include "../../src/regression/MCPatternTabulator.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;

// Log-likelihood, scores, packed information matrix and valid rows of one pass.
std::vector<double> RunPass(IMCDataHandler& handler, IMCAccumStats& stats) {
  handler.ResetAccumStats(MCConst::kNewtonRaphson, true);
  EXPECT_TRUE(handler.ComputeStatsForOptimizer(false).IsOK());
  MCCommonMath::MCSymMatrix h;
  stats.GetHessian(h);
  int valid = 0, invalid = 0;
  double weight = 0.0;
  stats.GetCounts(valid, invalid, weight);
  std::vector<double> out = {stats.GetLL(), static_cast<double>(valid)};
  out.insert(out.end(), stats.GetScores().begin(), stats.GetScores().end());
  out.insert(out.end(), h.AsVectorConst().begin(), h.AsVectorConst().end());
  return out;
}

// A problem whose tables are filled by the tabulator's own factor pass.
class TabulatorTest : public ::testing::Test {
 protected:
  void Build(const regtest::Layout& layout, const regtest::Rows& rows) {
    fProblem.reset(new regtest::Problem(layout, rows));
    fTab.reset(new MCPatternTabulator(fProblem->fSettings, fProblem->fExtractor, fCancel, true));
  }
  MCStatus Tabulate() {
    const MCStatus status = fTab->TabulateFactors(fProblem->fData, fProblem->fTables);
    if (status.IsError()) return status;
    fModel = &fProblem->MakeModel();
    return fTab->CreateRowPatterns(fProblem->fData, fProblem->fTables, *fModel);
  }
  // The same pass through the tabulator and through the record handler adds up the same rows in
  // the same order: the results agree bit for bit.
  void ExpectSamePasses(int validRows) {
    const int K = fModel->K();
    fBeta = regtest::Beta((K - 1) * fModel->NBasic());
    MCAccumStatsLogistic stats(fProblem->fSettings, fModel->NBasic(), K, fBeta);
    fTab->SetStatsModel(&stats, fModel);
    const std::vector<double> tabulated = RunPass(*fTab, stats);
    const regtest::Layout& l = fProblem->fLayout;
    MCRecordIterHandler handler(fProblem->fData, fCancel, fProblem->fValidator, l.dependent,
                                l.freqWeight, l.regrWeight);
    handler.SetStatsModel(&stats, fModel);
    const std::vector<double> direct = RunPass(handler, stats);
    EXPECT_EQ(tabulated, direct);
    EXPECT_EQ(tabulated[1], validRows);
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

TEST_F(TabulatorTest, PatternPassesEqualRecordPasses) {
  regtest::Rows rows = regtest::MainRows(80);
  rows.push_back({0.3, 1, 0, 2, 3, 1, 0});  // A = 3 never counted: skipped
  rows.push_back({0.3, 1, 1, 6, 1, 1, 0});  // dependent 6 never counted: skipped
  Build(regtest::MainLayout(), rows);
  ASSERT_TRUE(Tabulate().IsOK());
  EXPECT_TRUE(fTab->IsFactorTableFilled() && fTab->AreRowPatternsCreated());
  EXPECT_EQ(fTab->GetValidCount(), 82);
  EXPECT_EQ(fTab->GetNRowsStored(), 80);
  std::set<std::vector<double>> combinations;
  for (int i = 0; i < 80; ++i) combinations.insert({rows[i][4], rows[i][2]});
  EXPECT_EQ(fTab->GetNPatterns(), static_cast<int>(combinations.size()));
  ExpectSamePasses(80);  // the record pass itself is checked densely below
}

TEST_F(TabulatorTest, HandOverGivesTheModelEveryRowAtItsParameters) {
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
  // Weighted design sums per parameter, straight from the records.
  std::map<int, double> expected;
  std::vector<int> idx;
  std::vector<double> val;
  for (const std::vector<double>& r : rows) {
    MCCommon::Record record(7);
    for (int k = 0; k < 7; ++k) record[k] = r[k];
    ASSERT_TRUE(fModel->ExpandRecordSparse(record, idx, val));
    for (std::size_t k = 0; k < idx.size(); ++k) expected[idx[k]] += r[1] * r[5] * val[k];
  }
  ASSERT_EQ(fModel->fAdded.size(), expected.size());
  for (const auto& e : expected) EXPECT_NEAR(fModel->fAdded[e.first], e.second, 1e-12);
  fModel->fRefuseRows = true;
  EXPECT_EQ(fTab->AddPatternsToModel(*fModel), MCStatus(313, false));
}

TEST_F(TabulatorTest, WithoutFactorEffectsAllRowsShareOnePatternInExtractorLayout) {
  regtest::Layout layout = regtest::MainLayout();
  layout.effectFactors = {{}, {}};
  layout.effectCovariates = {{}, {0}};
  const regtest::Rows rows = regtest::MainRows(30);
  Build(layout, rows);
  ASSERT_TRUE(Tabulate().IsOK());
  ASSERT_EQ(fTab->GetNPatterns(), 1);
  EXPECT_EQ(fTab->GetNPackedKey(), 0);
  ASSERT_EQ(fTab->GetNRowsStored(), 30);
  EXPECT_EQ(fTab->GetPatterns()[0]->GetNRows(), 30);
  EXPECT_EQ(fTab->GetStoredRow(30), nullptr);
  for (int i = 0; i < 2; ++i) {  // dependent as local index, A, B, X, weights; record order
    const std::vector<double>& r = rows[i];
    const std::vector<double> expected = {
        regtest::MainObs(r).y * 1.0, r[4], r[2], r[0], r[1], r[5]};
    const double* stored = fTab->GetStoredRow(i);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::vector<double>(stored, stored + 6), expected);
    EXPECT_EQ(fTab->GetRowPattern(i), 0);
  }
  ExpectSamePasses(30);
}

TEST_F(TabulatorTest, SixtySeventhPatternGrowsTheTable) {
  // One factor of 70 categories at position 2, of which 67 occur twice each.
  regtest::Layout layout = regtest::MainLayout();
  layout.factors = {2};
  layout.factorSizes = {70};
  layout.effectFactors = {{}, {2}};
  layout.effectCovariates = {{}, {}};
  regtest::Rows rows = regtest::MainRows(134);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i][2] = static_cast<double>((i * 7) % 67);
  Build(layout, rows);
  ASSERT_TRUE(Tabulate().IsOK());
  EXPECT_EQ(fTab->GetNPatterns(), 67);
  EXPECT_EQ(fTab->GetNBuckets(), 179);
  // Patterns are numbered by first occurrence; the rows are kept pattern by pattern (the
  // covariate, at offset 2 of a stored row, tells which record a row is).
  const std::vector<const MCRowPatterns*> patterns = fTab->GetPatterns();
  for (int k = 0; k < 67; ++k) {
    ASSERT_NE(patterns[k], nullptr);
    EXPECT_EQ(patterns[k]->fIndex, k);
    EXPECT_EQ(patterns[k]->GetNRows(), 2);
    std::set<double> stored, records;
    for (int i : {0, 1}) {
      EXPECT_EQ(fTab->GetRowPattern(2 * k + i), k);
      stored.insert(fTab->GetStoredRow(2 * k + i)[2]);
      records.insert(rows[static_cast<std::size_t>(k + 67 * i)][0]);
    }
    EXPECT_EQ(stored, records);
  }
  ExpectSamePasses(134);
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

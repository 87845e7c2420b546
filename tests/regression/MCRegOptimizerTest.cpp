// The estimation loop against scripted likelihoods.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../src/regression/IMCRegModel.h"
#include "../../src/regression/MCAccumStats.h"
#include "../../src/regression/MCDataHandler.h"
#include "../../src/regression/MCRegOptimizer.h"
#include "MCCancelInfo.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"

namespace {

using MCCommon::MCStatus;

// A model that only answers the counts the loop asks for.
class CountsModel : public IMCRegModel {
 public:
  CountsModel(int n, int K) : fN(n), fCategories(static_cast<std::size_t>(K), 0) {}
  int GetNEstimatedParameters() const override { return fN; }
  int GetNDependentCategories() const override { return static_cast<int>(fCategories.size()); }
  const std::vector<int>& GetDependentCategories() const override { return fCategories; }
  const std::vector<int>& GetDependentLocalIndices() const override { return fCategories; }
  bool IsCounted(const MCCommon::Record&) const override { return false; }
  bool ExpandRecordSparse(const MCCommon::Record&, std::vector<int>&,
                          std::vector<double>&) const override {
    return false;
  }
  bool ExpandPatternRowSparse(const double*, const std::vector<int>&, std::vector<int>&,
                              std::vector<double>&) const override {
    return false;
  }
  bool AddPatternRow(const double*, const std::vector<int>&) override { return false; }

 private:
  int fN;
  std::vector<int> fCategories;
};

// Log-likelihood -10 - sum a_i g(b_i - t_i) with g = u^2 (Newton exact in one step) or
// cosh(u) - 1. With wrongScores the score points downhill, so no step helps.
struct ScriptedStats : public IMCAccumStats, public IMCDataHandler {
  ScriptedStats(const std::vector<double>& params, std::vector<double> a, std::vector<double> t)
      : fParams(params), fA(std::move(a)), fT(std::move(t)) {}

  void Reset(MCConst::MCEstimationMethod method, bool separation) override {
    methods.push_back(method);
    separationFlags.push_back(separation);
  }
  bool CheckConstraints() override { return true; }
  int UpdateForRow(const std::vector<int>&, const std::vector<double>&, int, double,
                   bool) override {
    return 0;
  }
  double GetLL() const override { return fLL; }
  const std::vector<double>& GetScores() const override { return fScores; }
  void GetHessian(MCCommonMath::MCSymMatrix& out) const override { out = fHessian; }
  void GetCounts(int& nValid, int& nInvalid, double& weight) const override {
    nValid = 10, nInvalid = 0, weight = 10.0;
  }
  void GetMinMaxProbabilities(double& minObs, double& maxObs, double& minAny) const override {
    minObs = fMinObs, maxObs = fMaxObs, minAny = fMinAny;
  }
  double GetStepAdjustmentFactor() const override { return 1.0; }
  void Display(bool) const override {}
  double GetLLScale() const override { return llScale; }
  bool GetLLByChange(MCCommonMath::ddkernels::DD& ll) const override {
    ll = {fLL, 0.0};  // exact already
    return true;
  }

  void SetStatsModel(IMCAccumStats*, const IMCRegModel*) override {}
  void ResetAccumStats(MCConst::MCEstimationMethod m, bool s) override { Reset(m, s); }
  void CleanStatsModel() override { ++cleaned; }
  MCStatus ComputeStatsForOptimizer(bool llOnly) override {
    llOnlyPasses.push_back(llOnly);
    if (++passes == failAt) return MCStatus(303, false);
    if (passes == cancelAt) cancel->SetCancel();
    const std::size_t n = fA.size();
    fLL = -10.0;
    fScores.assign(n, 0.0);
    fHessian = MCCommonMath::MCSymMatrix(static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) {
      const double u = fParams[i] - fT[i], a = fA[i] * scale;
      fLL -= a * (cosh ? std::cosh(u) - 1.0 : u * u);
      fScores[i] = (wrongScores ? 1.0 : -1.0) * a * (cosh ? std::sinh(u) : 2.0 * u);
      fHessian.SetElem(static_cast<int>(i), static_cast<int>(i), a * (cosh ? std::cosh(u) : 2.0));
    }
    if (n >= 2) fHessian.SetElem(1, 0, coupling);
    return MCStatus();
  }
  const std::vector<MCStatus>& GetWarnings() const override { return fWarnings; }
  void Display() const override {}

  bool cosh = false, wrongScores = false;
  double scale = 1.0;         // scales the likelihood (and so the factor pivots), not the steps
  double coupling = 0.0;      // the information's element (1, 0)
  double llScale = INFINITY;  // the magnitude of the log-likelihood: unknown
  double fMinObs = 0.4, fMaxObs = 0.6, fMinAny = 0.1;
  int passes = 0, failAt = -1, cancelAt = -1, cleaned = 0;
  MCCommon::MCCancelInfo* cancel = nullptr;
  std::vector<MCConst::MCEstimationMethod> methods;
  std::vector<bool> separationFlags, llOnlyPasses;

 private:
  const std::vector<double>& fParams;
  std::vector<double> fA, fT;
  double fLL = 0.0;
  std::vector<double> fScores;
  MCCommonMath::MCSymMatrix fHessian;
  std::vector<MCStatus> fWarnings;
};

class RecordingListener : public ProgressListener {
 public:
  bool Report(ProgressReport* report) override {
    iterations.push_back(report->DiscreteMeasure("iterNum"));
    halvings.push_back(report->DiscreteMeasure("stepHalving"));
    logliks.push_back(report->ScaleMeasure("loglik"));
    const std::vector<double>* p =
        static_cast<ProgressReportVect*>(report)->VectorMeasure("paramEstim");
    firstParams.push_back(p != nullptr && !p->empty() ? (*p)[0] : MCMV::kMissing);
    return false;
  }
  std::vector<int> iterations, halvings;
  std::vector<double> logliks, firstParams;
};

// n parameters starting at `start` (zeros when empty), optimum t = (1.5, -0.5, 0, ...).
struct Harness {
  Harness() {
    settings.SetInterceptUse(false);
    settings.SetStartingIteration(0);
  }
  MCStatus Run(int n = 2, int K = 2) {
    params = start;
    model = std::make_unique<CountsModel>(n, K);
    std::vector<double> a(static_cast<std::size_t>(n), 0.5), t(static_cast<std::size_t>(n), 0.0);
    if (n >= 1) t[0] = 1.5;
    if (n >= 2) t[1] = -0.5;
    for (std::size_t i : zeroCurvature) a[i] = 0.0;
    stats = std::make_unique<ScriptedStats>(params, a, t);
    configure(*stats);
    stats->failAt = failAt;
    stats->cancelAt = cancelAt;
    stats->cancel = &cancelInfo;
    optimizer = std::make_unique<MCRegOptimizer>(settings, model.get(), stats.get(), stats.get(),
                                                 &params, listener, frequency, method,
                                                 fisherIterations, &cancelInfo);
    return optimizer->Estimate();
  }

  MCLogRegSettings settings;
  std::vector<double> start, params;
  std::vector<std::size_t> zeroCurvature;
  std::function<void(ScriptedStats&)> configure = [](ScriptedStats&) {};
  int failAt = -1, cancelAt = -1, frequency = 1, fisherIterations = 0;
  ProgressListener* listener = nullptr;
  MCConst::MCEstimationMethod method = MCConst::kNewtonRaphson;
  MCCommon::MCCancelInfo cancelInfo;
  std::unique_ptr<CountsModel> model;
  std::unique_ptr<ScriptedStats> stats;
  std::unique_ptr<MCRegOptimizer> optimizer;
};

class OptimizerTest : public ::testing::Test {
 protected:
  Harness h;
};

void Cosh(ScriptedStats& s) { s.cosh = true; }

// Cosh with extreme observed probabilities and/or tiny pivots from kQuasi on.
enum Shape { kQuadratic, kCosh, kQuasi, kTinyPivot, kExtremeLargePivots, kComplete };

// A run that stops with `reason` after `last` iterations (-1: any).
struct StopCase {
  const char* name;
  int reason, last;
  double llCriterion, paramCriterion;
  bool absolute;
  int maxIterations;
  Shape shape;
};

class StopReasonTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopReasonTest, StopsWithItsReason) {
  const StopCase& c = GetParam();
  Harness h;
  h.settings.SetLLConCriterion(c.llCriterion);
  h.settings.SetParamEstConCriterion(c.paramCriterion);
  h.settings.SetLLFuncChange(c.absolute);
  h.settings.SetParamEstChange(c.absolute);
  h.settings.SetMaxIterations(c.maxIterations);
  h.settings.SetStartingIteration(c.shape == kComplete ? 2 : c.shape >= kQuasi ? 1 : 0);
  h.configure = [&c](ScriptedStats& s) {
    s.cosh = c.shape >= kCosh;
    if (c.shape == kComplete) s.fMinObs = 0.995, s.fMaxObs = 0.999;
    if (c.shape == kQuasi) s.fMinObs = 0.3;
    if (c.shape == kQuasi || c.shape == kExtremeLargePivots) s.fMaxObs = 0.995;
    if (c.shape == kQuasi || c.shape == kTinyPivot) s.scale = 1e-8;
  };
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(h.optimizer->GetStopReason(), c.reason);
  if (c.last >= 0) {
    EXPECT_EQ(h.optimizer->GetLastIteration(), c.last);
  }
  if (c.reason <= 3) {
    EXPECT_NEAR(h.params[0], 1.5, 1e-5);
    EXPECT_NEAR(h.params[1], -0.5, 1e-5);
  }
  if (c.shape == kComplete) {
    EXPECT_EQ(h.stats->separationFlags, (std::vector<bool>{false, false, false, false, true}));
  }
}

// The first Newton step changes the parameters by exactly 1.5 (absolute) and the
// log-likelihood by exactly 1.25 (absolute) or 1.25 / 11.25 (relative): the comparisons are
// strict, so a criterion equal to the change does not stop there.
const double kJustAbove125 = std::nextafter(1.25, 2.0), kJustAbove15 = std::nextafter(1.5, 2.0);
INSTANTIATE_TEST_SUITE_P(
    Reasons, StopReasonTest,
    ::testing::Values(
        StopCase{"AbsoluteLLAtCriterion", 1, 2, 1.25, 0.0, true, 100, kQuadratic},
        StopCase{"AbsoluteLLAboveCriterion", 1, 1, kJustAbove125, 0.0, true, 100, kQuadratic},
        StopCase{"RelativeLL", 1, 1, 0.2, 0.0, false, 100, kQuadratic},
        StopCase{"AbsoluteParamAtCriterion", 2, 2, 0.0, 1.5, true, 100, kQuadratic},
        StopCase{"AbsoluteParamAboveCriterion", 2, 1, 0.0, kJustAbove15, true, 100, kQuadratic},
        StopCase{"Both3", 3, 2, 1e-8, 1e-6, false, 100, kQuadratic},
        StopCase{"IterationLimit6", 6, 2, 0.0, 1e-6, false, 2, kCosh},
        StopCase{"QuasiComplete8", 8, 1, 0.0, 1e-6, false, 100, kQuasi},
        StopCase{"TinyPivotOnly4", 4, 1, 0.0, 1e-6, false, 100, kTinyPivot},
        StopCase{"NoSeparationTestOnLargePivots", 2, -1, 0.0, 1e-6, false, 100,
                 kExtremeLargePivots},
        StopCase{"CompleteSeparation7", 7, 2, 0.0, 1e-6, false, 100, kComplete},
        StopCase{"NothingToEstimate9", 9, 0, 0.0, 1e-6, false, 0, kQuadratic}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

TEST_F(OptimizerTest, ExactStepConvergesByParameterChangeOnTheNextIteration) {
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(h.params, (std::vector<double>{1.5, -0.5}));
  EXPECT_EQ(h.optimizer->GetLastParamChange(), 0.0);
  EXPECT_EQ(h.optimizer->GetInitialLL(), -11.25);
  EXPECT_EQ(h.optimizer->GetFinalLL(), -10.0);
  EXPECT_EQ(h.optimizer->GetHessian()->GetElem(0, 0), 1.0);
  EXPECT_EQ(h.optimizer->GetHessian()->GetElem(1, 0), 0.0);
  EXPECT_EQ(h.optimizer->GetAccumulatedWeight(), 10.0);
  EXPECT_EQ(h.stats->cleaned, 1);
  EXPECT_EQ(h.stats->llOnlyPasses, (std::vector<bool>{false, true, false, true, false}));
  // With the magnitude of the log-likelihood known, each step is tried with one full pass.
  h.configure = [](ScriptedStats& s) { s.llScale = 11.25; };
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(h.params, (std::vector<double>{1.5, -0.5}));
  EXPECT_EQ(h.stats->llOnlyPasses, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(h.optimizer->GetFinalLL(), -10.0);
  h.configure = [](ScriptedStats&) {};
  h.settings.SetParamEstConCriterion(0.0);
  h.settings.SetLLConCriterion(0.2);
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_DOUBLE_EQ(h.optimizer->GetLastLLChange(), 1.25 / 11.25);
}

TEST_F(OptimizerTest, SingularHessianStopsWithFourAndLeavesAZeroInverseRow) {
  h.zeroCurvature = {1};
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(h.optimizer->GetStopReason(), 4);
  EXPECT_EQ(h.optimizer->GetLastIteration(), 1);
  EXPECT_EQ(h.optimizer->GetHessian()->GetElem(1, 1), 0.0);
  EXPECT_EQ(h.optimizer->GetHessian()->GetElem(0, 0), 1.0);
  // A pivot a little below 0 is redundant: a negative or NaN tolerance counts as 0.
  h.zeroCurvature.clear();
  h.configure = [](ScriptedStats& s) { s.coupling = 1.0 + std::ldexp(1.0, -30); };
  for (double tolerance : {1e-12, 0.0, -1.0, std::nan("")}) {
    h.settings.SetTolerance(tolerance);
    ASSERT_TRUE(h.Run().IsOK());
    EXPECT_EQ(h.optimizer->GetStopReason(), 4) << tolerance;
    EXPECT_EQ(h.optimizer->GetLastIteration(), 1) << tolerance;
    EXPECT_EQ(h.optimizer->GetHessian()->GetElem(1, 1), 0.0) << tolerance;
  }
}

TEST_F(OptimizerTest, ExhaustedHalvingGivesReasonFiveAndRestoresTheParameters) {
  h.settings.SetMaxStepHalvingValue(5);
  h.configure = [](ScriptedStats& s) { s.wrongScores = true; };
  // The last report gives its halvings, on the frequency or after the loop; with a known
  // magnitude each refused trial is a full pass, none of which may stand for the pass at b0.
  for (int frequency : {1, 3}) {
    if (frequency == 3) h.configure = [](ScriptedStats& s) { s.wrongScores = true, s.llScale = 1; };
    RecordingListener recorder;
    h.listener = &recorder;
    h.frequency = frequency;
    ASSERT_TRUE(h.Run().IsOK());
    EXPECT_EQ(h.optimizer->GetStopReason(), 5);
    EXPECT_EQ(h.params, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(h.optimizer->GetLastLLChange(), 0.0);
    EXPECT_EQ(h.optimizer->GetLastParamChange(), 0.0);
    // Start, then six trials (steps 1 .. 1/32), then the full pass at b0.
    EXPECT_EQ(h.stats->passes, 1 + 6 + 1);
    EXPECT_EQ(h.stats->llOnlyPasses[1], frequency == 1);
    EXPECT_EQ(recorder.halvings, (std::vector<int>{0, 5})) << frequency;
  }
}

TEST_F(OptimizerTest, NothingToEstimateGivesReasonNine) {
  h.settings.SetMaxIterations(0);
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(h.optimizer->GetInitialLL(), -11.25);
  EXPECT_TRUE(MCMV::IsMissing(h.optimizer->GetFinalLL()));
  EXPECT_EQ(h.optimizer->GetHessian()->GetElem(1, 1), 1.0);
  double cs = -1, nk = -1, mf = -1;  // the conformance runs check them against peers
  EXPECT_FALSE(h.optimizer->ComputePseudoRSquares(cs, nk, mf));
  EXPECT_EQ(std::vector<double>({cs, nk, mf}), std::vector<double>(3, 0.0));
  h.settings.SetMaxIterations(100);
  h.settings.SetInterceptUse(true);
  for (int n : {1, 0}) {
    ASSERT_TRUE(h.Run(n, 2).IsOK());
    EXPECT_EQ(h.optimizer->GetStopReason(), 9) << n;
  }
}

TEST_F(OptimizerTest, PassErrorAndCancelStopAtOnce) {
  h.failAt = 3;
  EXPECT_EQ(h.Run(), MCStatus(303, false));
  EXPECT_EQ(h.stats->passes, 3);
  EXPECT_EQ(h.optimizer->GetAccumulatedWeight(), 0.0);
  h.failAt = -1;
  h.cancelAt = 2;
  EXPECT_EQ(h.Run(), MCStatus(1, false));
  EXPECT_TRUE(h.optimizer->IsCancelled());
  EXPECT_EQ(h.optimizer->GetAccumulatedWeight(), 0.0);
  EXPECT_EQ(h.optimizer->GetLastIteration(), 1);
}

TEST_F(OptimizerTest, ReportsAtZeroEveryFthIterationAndTheLast) {
  h.configure = Cosh;
  h.settings.SetMaxIterations(7);
  h.settings.SetParamEstConCriterion(0.0);
  RecordingListener recorder;
  h.listener = &recorder;
  h.frequency = 3;
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(recorder.iterations, (std::vector<int>{0, 3, 6, 7}));
  EXPECT_EQ(recorder.logliks.front(),
            -10.0 - 0.5 * (std::cosh(1.5) - 1.0) - 0.5 * (std::cosh(0.5) - 1.0));
  EXPECT_EQ(recorder.logliks.back(), h.optimizer->GetFinalLL());
  EXPECT_EQ(recorder.firstParams.back(), h.params[0]);
  RecordingListener again;
  h.listener = &again;
  h.settings.SetMaxIterations(6);
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(again.iterations, (std::vector<int>{0, 3, 6}));
}

TEST_F(OptimizerTest, MixedModeSwitchesMethodAfterTheFisherIterations) {
  h.configure = Cosh;
  h.method = MCConst::kMixedMethod;
  h.fisherIterations = 2;
  ASSERT_TRUE(h.Run().IsOK());
  EXPECT_EQ(h.optimizer->GetStopReason(), 2);
  EXPECT_EQ(h.optimizer->GetNFisherIterations(), 2);
  const std::vector<MCConst::MCEstimationMethod>& m = h.stats->methods;
  ASSERT_GE(m.size(), 6u);
  EXPECT_EQ(m[0], MCConst::kNewtonRaphson);
  EXPECT_EQ(m[4], MCConst::kNewtonRaphson);
  EXPECT_EQ(m[5], MCConst::kFisherScoring);
  EXPECT_EQ(m.back(), MCConst::kFisherScoring);
}

}  // namespace

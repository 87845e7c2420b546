// The estimation loop against scripted likelihoods: every stop reason, the strict convergence
// comparisons, step halving, cancel, pass errors, progress reports and the pseudo R-squares.
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

// Log-likelihood -10 - sum a_i g(b_i - t_i) with g = u^2 (quadratic: Newton is exact in one
// step) or g = cosh(u) - 1 (Newton needs several steps). The information is diagonal; a zero
// a_i makes its row singular. With wrongScores the score points downhill, so no step helps.
class ScriptedStats : public IMCAccumStats {
 public:
  ScriptedStats(const std::vector<double>& params, std::vector<double> a, std::vector<double> t)
      : fParams(params), fA(std::move(a)), fT(std::move(t)) {}

  void Reset(MCConst::MCEstimationMethod method, bool separation) override {
    fMethods.push_back(method);
    fSeparationFlags.push_back(separation);
  }
  bool CheckConstraints() override { return true; }
  int UpdateForRow(const std::vector<int>&, const std::vector<double>&, int, double,
                   bool) override {
    return 0;
  }
  void Compute() {
    const std::size_t n = fA.size();
    fLL = -10.0;
    fScores.assign(n, 0.0);
    fHessian = MCCommonMath::MCSymMatrix(static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) {
      const double u = fParams[i] - fT[i];
      const double g = cosh ? std::cosh(u) - 1.0 : u * u;
      const double dg = cosh ? std::sinh(u) : 2.0 * u;
      const double ddg = cosh ? std::cosh(u) : 2.0;
      const double a = fA[i] * scale;
      fLL -= a * g;
      fScores[i] = (wrongScores ? 1.0 : -1.0) * a * dg;
      fHessian.SetElem(static_cast<int>(i), static_cast<int>(i), a * ddg);
    }
  }
  double GetLL() const override { return fLL; }
  const std::vector<double>& GetScores() const override { return fScores; }
  void GetHessian(MCCommonMath::MCSymMatrix& out) const override { out = fHessian; }
  void GetCounts(int& nValid, int& nInvalid, double& weight) const override {
    nValid = 10;
    nInvalid = 0;
    weight = 10.0;
  }
  void GetMinMaxProbabilities(double& minObs, double& maxObs, double& minAny) const override {
    minObs = fMinObs;
    maxObs = fMaxObs;
    minAny = fMinAny;
  }
  double GetStepAdjustmentFactor() const override { return 1.0; }
  void Display(bool) const override {}

  bool cosh = false;
  bool wrongScores = false;
  // Scales the whole likelihood (and so the factor pivots) without changing the steps.
  double scale = 1.0;
  double fMinObs = 0.4;
  double fMaxObs = 0.6;
  double fMinAny = 0.1;
  std::vector<MCConst::MCEstimationMethod> fMethods;
  std::vector<bool> fSeparationFlags;

 private:
  const std::vector<double>& fParams;
  std::vector<double> fA;
  std::vector<double> fT;
  double fLL = 0.0;
  std::vector<double> fScores;
  MCCommonMath::MCSymMatrix fHessian;
};

// Counts passes; can fail one or ask for a cancel from one on.
class ScriptedHandler : public IMCDataHandler {
 public:
  explicit ScriptedHandler(ScriptedStats* stats) : fpStats(stats) {}
  void SetStatsModel(IMCAccumStats* stats, const IMCRegModel*) override { fpSet = stats; }
  void ResetAccumStats(MCConst::MCEstimationMethod m, bool s) override { fpStats->Reset(m, s); }
  void CleanStatsModel() override { ++cleaned; }
  MCStatus ComputeStatsForOptimizer(bool llOnly) override {
    ++passes;
    fLLOnly.push_back(llOnly);
    if (passes == failAt) return MCStatus(303, false);
    if (passes == cancelAt && cancel != nullptr) cancel->SetCancel();
    fpStats->Compute();
    return MCStatus();
  }
  const std::vector<MCStatus>& GetWarnings() const override { return fWarnings; }
  void Display() const override {}

  int passes = 0;
  int failAt = -1;
  int cancelAt = -1;
  int cleaned = 0;
  MCCommon::MCCancelInfo* cancel = nullptr;
  std::vector<bool> fLLOnly;
  IMCAccumStats* fpSet = nullptr;

 private:
  ScriptedStats* fpStats;
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
    unknown.push_back(report->DiscreteMeasure("other") + report->ScaleMeasure("other"));
    return false;
  }
  std::vector<int> iterations;
  std::vector<int> halvings;
  std::vector<double> logliks;
  std::vector<double> firstParams;
  std::vector<double> unknown;
};

class OptimizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.SetInterceptUse(false);
    settings.SetStartingIteration(0);
  }
  // Two parameters starting at 0, optimum (t0, t1) = (1.5, -0.5).
  MCStatus Run(int n = 2, int K = 2) {
    params = start;
    model = std::make_unique<CountsModel>(n, K);
    std::vector<double> a(static_cast<std::size_t>(n), 0.5);
    std::vector<double> t(static_cast<std::size_t>(n), 0.0);
    if (n >= 1) t[0] = 1.5;
    if (n >= 2) t[1] = -0.5;
    for (std::size_t i = 0; i < zeroCurvature.size(); ++i) a[zeroCurvature[i]] = 0.0;
    stats = std::make_unique<ScriptedStats>(params, a, t);
    configure(*stats);
    handler = std::make_unique<ScriptedHandler>(stats.get());
    handler->failAt = failAt;
    handler->cancelAt = cancelAt;
    handler->cancel = &cancelInfo;
    optimizer = std::make_unique<MCRegOptimizer>(settings, model.get(), handler.get(), stats.get(),
                                                 &params, listener, frequency, method,
                                                 fisherIterations, &cancelInfo);
    return optimizer->Estimate();
  }

  MCLogRegSettings settings;
  std::vector<double> start;  // empty: zeros
  std::vector<double> params;
  std::vector<std::size_t> zeroCurvature;
  std::function<void(ScriptedStats&)> configure = [](ScriptedStats&) {};
  int failAt = -1;
  int cancelAt = -1;
  int frequency = 1;
  ProgressListener* listener = nullptr;
  MCConst::MCEstimationMethod method = MCConst::kNewtonRaphson;
  int fisherIterations = 0;
  MCCommon::MCCancelInfo cancelInfo;
  std::unique_ptr<CountsModel> model;
  std::unique_ptr<ScriptedStats> stats;
  std::unique_ptr<ScriptedHandler> handler;
  std::unique_ptr<MCRegOptimizer> optimizer;
};

TEST_F(OptimizerTest, ExactStepConvergesByParameterChangeOnTheNextIteration) {
  ASSERT_TRUE(Run().IsOK());
  // Iteration 1 jumps to the optimum (change 1.5/1e-6 relative); iteration 2 does not move.
  EXPECT_EQ(optimizer->GetStopReason(), 2);
  EXPECT_EQ(optimizer->GetLastIteration(), 2);
  EXPECT_EQ(params, (std::vector<double>{1.5, -0.5}));
  EXPECT_EQ(optimizer->GetLastParamChange(), 0.0);
  EXPECT_EQ(optimizer->GetInitialLL(), -11.25);
  EXPECT_EQ(optimizer->GetFinalLL(), -10.0);
  // The inverse of the information, the identity.
  EXPECT_EQ(optimizer->GetHessian()->GetElem(0, 0), 1.0);
  EXPECT_EQ(optimizer->GetHessian()->GetElem(1, 0), 0.0);
  EXPECT_EQ(optimizer->GetAccumulatedWeight(), 10.0);
  EXPECT_EQ(handler->cleaned, 1);
  // Passes: start, then per iteration one log-likelihood trial and one full pass.
  EXPECT_EQ(handler->fLLOnly, (std::vector<bool>{false, true, false, true, false}));
}

TEST_F(OptimizerTest, ConvergenceComparisonsAreStrict) {
  // Absolute parameter change of the first step is exactly 1.5: a criterion of 1.5 does not
  // stop there, one just above does.
  settings.SetParamEstChange(true);
  settings.SetParamEstConCriterion(1.5);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetLastIteration(), 2);
  settings.SetParamEstConCriterion(std::nextafter(1.5, 2.0));
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetLastIteration(), 1);
  EXPECT_EQ(optimizer->GetStopReason(), 2);
}

TEST_F(OptimizerTest, LogLikelihoodCriterionAloneGivesReasonOne) {
  settings.SetParamEstConCriterion(0.0);
  settings.SetLLConCriterion(1e-8);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 1);
  EXPECT_EQ(optimizer->GetLastIteration(), 2);
  // The absolute change of the first iteration is 11.25 - 10 = 1.25 exactly.
  settings.SetLLFuncChange(true);
  settings.SetLLConCriterion(1.25);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetLastIteration(), 2);
  settings.SetLLConCriterion(std::nextafter(1.25, 2.0));
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetLastIteration(), 1);
  EXPECT_EQ(optimizer->GetLastLLChange(), 1.25);
  // Relative: the same change over |ll0| = 11.25.
  settings.SetLLFuncChange(false);
  settings.SetLLConCriterion(0.2);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetLastIteration(), 1);
  EXPECT_DOUBLE_EQ(optimizer->GetLastLLChange(), 1.25 / 11.25);
}

TEST_F(OptimizerTest, BothCriteriaGiveReasonThree) {
  settings.SetLLConCriterion(1e-8);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 3);
}

TEST_F(OptimizerTest, SingularHessianGivesReasonFourWithZeroInverseRow) {
  zeroCurvature = {1};
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 4);
  EXPECT_EQ(optimizer->GetLastIteration(), 1);
  EXPECT_EQ(optimizer->GetHessian()->GetElem(1, 1), 0.0);
  EXPECT_EQ(optimizer->GetHessian()->GetElem(0, 0), 1.0);
}

TEST_F(OptimizerTest, ExhaustedHalvingGivesReasonFiveAndRestoresTheParameters) {
  settings.SetMaxStepHalvingValue(5);
  configure = [](ScriptedStats& s) { s.wrongScores = true; };
  RecordingListener recorder;
  listener = &recorder;
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 5);
  EXPECT_EQ(params, (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(optimizer->GetLastLLChange(), 0.0);
  EXPECT_EQ(optimizer->GetLastParamChange(), 0.0);
  // Start, then six log-likelihood trials (steps 1 .. 1/32), then the full pass at b0.
  EXPECT_EQ(handler->passes, 1 + 6 + 1);
  ASSERT_EQ(recorder.halvings.size(), 2u);
  EXPECT_EQ(recorder.halvings.back(), 5);
}

TEST_F(OptimizerTest, IterationLimitGivesReasonSix) {
  configure = [](ScriptedStats& s) { s.cosh = true; };
  settings.SetMaxIterations(2);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 6);
  EXPECT_EQ(optimizer->GetLastIteration(), 2);
  // Without the limit the same problem converges, to the optimum.
  settings.SetMaxIterations(100);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 2);
  EXPECT_NEAR(params[0], 1.5, 1e-12);
}

TEST_F(OptimizerTest, SeparationReasonsFromTheStartingIterationOn) {
  settings.SetStartingIteration(2);
  configure = [](ScriptedStats& s) {
    s.cosh = true;
    s.fMinObs = 0.995;
    s.fMaxObs = 0.999;
  };
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 7);
  EXPECT_EQ(optimizer->GetLastIteration(), 2);
  EXPECT_EQ(stats->fSeparationFlags, (std::vector<bool>{false, false, false, false, true}));

  // Quasi-complete: not every observed probability is near 1, but the largest is and the
  // factor has a tiny pivot.
  settings.SetStartingIteration(1);
  configure = [](ScriptedStats& s) {
    s.cosh = true;
    s.fMinObs = 0.3;
    s.fMaxObs = 0.995;
    s.scale = 1e-8;
  };
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 8);
  EXPECT_EQ(optimizer->GetLastIteration(), 1);

  // Tiny pivot without extreme probabilities: singular (4). Large pivots: no separation test.
  configure = [](ScriptedStats& s) {
    s.cosh = true;
    s.scale = 1e-8;
  };
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 4);
  configure = [](ScriptedStats& s) {
    s.cosh = true;
    s.fMaxObs = 0.995;
  };
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 2);
}

TEST_F(OptimizerTest, NothingToEstimateGivesReasonNine) {
  settings.SetMaxIterations(0);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 9);
  EXPECT_EQ(optimizer->GetLastIteration(), 0);
  EXPECT_EQ(optimizer->GetInitialLL(), -11.25);
  EXPECT_TRUE(MCMV::IsMissing(optimizer->GetFinalLL()));
  // The inverse still comes from the factor made before the loop.
  EXPECT_EQ(optimizer->GetHessian()->GetElem(1, 1), 1.0);
  double cs = -1, nk = -1, mf = -1;
  EXPECT_FALSE(optimizer->ComputePseudoRSquares(cs, nk, mf));
  EXPECT_EQ(cs, 0.0);
  EXPECT_EQ(nk, 0.0);
  EXPECT_EQ(mf, 0.0);

  // Only intercepts: one parameter per logit with the intercept in use.
  settings.SetMaxIterations(100);
  settings.SetInterceptUse(true);
  ASSERT_TRUE(Run(1, 2).IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 9);
  ASSERT_TRUE(Run(0, 2).IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 9);
}

TEST_F(OptimizerTest, PassErrorStopsAtOnce) {
  failAt = 3;
  const MCStatus status = Run();
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(status.GetErrorCode(), 303);
  EXPECT_EQ(handler->passes, 3);
  EXPECT_EQ(optimizer->GetAccumulatedWeight(), 0.0);
}

TEST_F(OptimizerTest, CancelGivesStatusOneWithoutInverse) {
  cancelAt = 2;
  const MCStatus status = Run();
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(status.GetErrorCode(), 1);
  EXPECT_TRUE(optimizer->IsCancelled());
  EXPECT_EQ(optimizer->GetAccumulatedWeight(), 0.0);
  EXPECT_EQ(optimizer->GetLastIteration(), 1);
}

TEST_F(OptimizerTest, ReportsAtZeroEveryFthIterationAndTheLast) {
  configure = [](ScriptedStats& s) { s.cosh = true; };
  settings.SetMaxIterations(7);
  settings.SetParamEstConCriterion(0.0);
  RecordingListener recorder;
  listener = &recorder;
  frequency = 3;
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 6);
  EXPECT_EQ(recorder.iterations, (std::vector<int>{0, 3, 6, 7}));
  EXPECT_EQ(recorder.logliks.front(),
            -10.0 - 0.5 * (std::cosh(1.5) - 1.0) - 0.5 * (std::cosh(0.5) - 1.0));
  EXPECT_EQ(recorder.logliks.back(), optimizer->GetFinalLL());
  EXPECT_EQ(recorder.firstParams.back(), params[0]);
  EXPECT_EQ(recorder.unknown, std::vector<double>(4, 0.0));

  // When the last iteration is a multiple of f it is not reported twice.
  RecordingListener again;
  listener = &again;
  settings.SetMaxIterations(6);
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(again.iterations, (std::vector<int>{0, 3, 6}));
}

TEST_F(OptimizerTest, MixedModeSwitchesMethodAfterTheFisherIterations) {
  configure = [](ScriptedStats& s) { s.cosh = true; };
  method = MCConst::kMixedMethod;
  fisherIterations = 2;
  ASSERT_TRUE(Run().IsOK());
  EXPECT_EQ(optimizer->GetStopReason(), 2);
  EXPECT_EQ(optimizer->GetNFisherIterations(), 2);
  // Full passes run with method 0 until the switch at iteration 2, then with 1; the trials
  // always use 0.
  ASSERT_GE(stats->fMethods.size(), 6u);
  EXPECT_EQ(stats->fMethods[0], MCConst::kNewtonRaphson);
  EXPECT_EQ(stats->fMethods[4], MCConst::kNewtonRaphson);
  EXPECT_EQ(stats->fMethods[5], MCConst::kFisherScoring);
  EXPECT_EQ(stats->fMethods.back(), MCConst::kFisherScoring);
}

TEST_F(OptimizerTest, PseudoRSquaresFromTheTwoLogLikelihoods) {
  ASSERT_TRUE(Run().IsOK());
  double cs = 0, nk = 0, mf = 0;
  ASSERT_TRUE(optimizer->ComputePseudoRSquares(cs, nk, mf));
  const double ll0 = -11.25, ll1 = -10.0, w = 10.0;
  EXPECT_DOUBLE_EQ(cs, 1.0 - std::exp(2.0 * (ll0 - ll1) / w));
  EXPECT_DOUBLE_EQ(nk, cs / (1.0 - std::exp(2.0 * ll0 / w)));
  EXPECT_DOUBLE_EQ(mf, 1.0 - ll1 / ll0);

  // Starting at the optimum: LL0 = LL1 and every measure is 0.
  start = {1.5, -0.5};
  ASSERT_TRUE(Run().IsOK());
  ASSERT_TRUE(optimizer->ComputePseudoRSquares(cs, nk, mf));
  EXPECT_EQ(cs, 0.0);
  EXPECT_EQ(nk, 0.0);
  EXPECT_EQ(mf, 0.0);
}

TEST(IterationReporterTest, MeasuresByKey) {
  MCIterationReporter reporter;
  const std::vector<double> p{1.0, 2.0};
  reporter.SetInfo(&p, 4, 2, -3.5, 0.25);
  EXPECT_EQ(reporter.DiscreteMeasure("iterNum"), 4);
  EXPECT_EQ(reporter.DiscreteMeasure("stepHalving"), 2);
  EXPECT_EQ(reporter.DiscreteMeasure("loglik"), 0);
  EXPECT_EQ(reporter.ScaleMeasure("loglik"), -3.5);
  EXPECT_EQ(reporter.ScaleMeasure("time"), 0.25);
  EXPECT_EQ(reporter.ScaleMeasure("iterNum"), 0.0);
  EXPECT_EQ(reporter.VectorMeasure("paramEstim"), &p);
  EXPECT_EQ(reporter.VectorMeasure("loglik"), nullptr);
  MCIterationReporter copy(reporter);
  reporter.Reset();
  EXPECT_EQ(reporter.DiscreteMeasure("iterNum"), 0);
  EXPECT_EQ(reporter.VectorMeasure("paramEstim"), nullptr);
  EXPECT_EQ(copy.DiscreteMeasure("iterNum"), 4);
}

}  // namespace

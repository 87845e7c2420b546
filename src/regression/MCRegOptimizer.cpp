#include "MCRegOptimizer.h"

#include <algorithm>
#include <cmath>

#include "IMCRegModel.h"
#include "MCAccumStats.h"
#include "MCComponentDisplay.h"
#include "MCDataHandler.h"
#include "MCMathFun.h"
#include "MCRegLimits.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommonMath::MCMathFun;
using MCCommonMath::MCSymMatrix;
namespace dd = MCCommonMath::ddkernels;

namespace {

// Exponentials beyond this would overflow a double.
constexpr double kMaxExp = 709.0;
// A factor pivot below this (about sqrt(1e-7)) lets the separation test decide.
constexpr double kSeparationPivot = 0.000316;
// Two direct log-likelihoods are ordered by their values when they differ by more than this
// times the sum of their magnitudes (GetLLScale), thousands of times what their rounding
// reaches (a few units of 2^-53 of the magnitude).
constexpr double kDecisiveRatio = 0x1.0p-40;
// A trial whose predicted gain exceeds this times the magnitude of ll0 is far from the optimum:
// its direct log-likelihood is expected to decide.
constexpr double kFarGain = 0x1.0p-34;

bool IsMissing(double x) { return x == MCMV::kMissing; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// MCIterationReporter

MCIterationReporter::~MCIterationReporter() = default;

int MCIterationReporter::DiscreteMeasure(const std::string& key) {
  if (key == "iterNum") return fIterNum;
  if (key == "stepHalving") return fStepHalving;
  return 0;
}

double MCIterationReporter::ScaleMeasure(const std::string& key) {
  if (key == "loglik") return fLogLik;
  if (key == "time") return fTime;
  return 0.0;
}

const std::vector<double>* MCIterationReporter::VectorMeasure(const std::string& key) {
  return key == "paramEstim" ? fpParamEstim : nullptr;
}

void MCIterationReporter::Reset() { SetInfo(nullptr, 0, 0, 0.0, 0.0); }

void MCIterationReporter::SetInfo(const std::vector<double>* params, int iterNum, int stepHalving,
                                  double loglik, double time) {
  fpParamEstim = params;
  fIterNum = iterNum;
  fStepHalving = stepHalving;
  fLogLik = loglik;
  fTime = time;
}

void MCIterationReporter::Display() const {
  MCComponentDisplay::DisplayText(1, "MCIterationReporter display start");
  MCComponentDisplay::DisplayI("Iteration number", fIterNum);
  MCComponentDisplay::DisplayI("Number of step halving", fStepHalving);
  MCComponentDisplay::DisplayD("Pseudo -2 log-likelihood", fLogLik);
  MCComponentDisplay::DisplayD("Elapsed time in sec", fTime);
  if (fpParamEstim != nullptr) {
    MCComponentDisplay::DisplayDV("Parameter estimates", *fpParamEstim);
  } else {
    MCComponentDisplay::DisplayText(1, "Parameter estimates pointer is 0");
  }
  MCComponentDisplay::DisplayText(1, "MCIterationReporter display end");
}

// ---------------------------------------------------------------------------------------------
// MCRegOptimizer

MCRegOptimizer::MCRegOptimizer(const MCLogRegSettings& settings, const IMCRegModel* model,
                               IMCDataHandler* dataHandler, IMCAccumStats* stats,
                               std::vector<double>* params, ProgressListener* listener,
                               int iterationFrequency, MCConst::MCEstimationMethod method,
                               int fisherIterations, MCCommon::MCCancelInfo* cancelInfo)
    : fSettings(settings),
      fpModel(model),
      fpDataHandler(dataHandler),
      fpStats(stats),
      fpParameters(params),
      fEstimationMethod(method),
      fFisherIterations(fisherIterations),
      fLLCriterion(settings.GetLLConCriterion()),
      fParamCriterion(settings.GetParamEstConCriterion()),
      fMaxIterations(settings.GetMaxIterations()),
      fbLLAbsolute(settings.GetLLFuncChange()),
      fbParamAbsolute(settings.GetParamEstChange()),
      fpCancelQuery(settings.GetCancelPointer()),
      fpCancelInfo(cancelInfo),
      fpListener(listener),
      fIterationFrequency(iterationFrequency) {
  if (model != nullptr) {
    fNParameters = model->GetNEstimatedParameters();
    fNCategories = model->GetNDependentCategories();
  }
  if (fNParameters < 0) fNParameters = 0;
  if (fpParameters != nullptr) fpParameters->resize(static_cast<std::size_t>(fNParameters), 0.0);
  // Sized when the inverse is made: during the iterations the double-double factor serves.
  fpHessian = std::make_unique<MCSymMatrix>();
}

double MCRegOptimizer::RequiredBytes(int n) {
  // The factor in double-double, the inverse in double, the direction and work vectors.
  return 24.0 * MCRegLimits::PackedSize(n) + 64.0 * n;
}

MCRegOptimizer::~MCRegOptimizer() = default;

int MCRegOptimizer::GetNFisherIterations() const {
  if (fEstimationMethod != MCConst::kMixedMethod || fLastIteration == 0) return 0;
  return fLastIteration < fFisherIterations ? fLastIteration : fFisherIterations;
}

void MCRegOptimizer::ComputeStats(MCConst::MCEstimationMethod method, bool separation,
                                  bool llOnly) {
  fpDataHandler->ResetAccumStats(method, separation);
  fStatus = fpDataHandler->ComputeStatsForOptimizer(llOnly);
}

double MCRegOptimizer::ClampedLL() const {
  const double ll = fpStats->GetLL();
  return (!IsMissing(ll) && ll > 0.0) ? 0.0 : ll;
}

dd::DD MCRegOptimizer::ClampedLLExtended() const { return Clamped(fpStats->GetLLExtended()); }

dd::DD MCRegOptimizer::Clamped(const dd::DD& ll) {
  return (ll.hi != MCMV::kMissing && ll.hi > 0.0) ? dd::DD{} : ll;
}

int MCRegOptimizer::FactorHessian(double& minPivot) {
  minPivot = MCMV::Missing();
  fpStats->GetHessianExtended(fvFactor);
  int n = 0;
  while (dd::PackedRowStart(n + 1) <= fvFactor.size()) ++n;
  fvFactor.resize(dd::PackedRowStart(n));
  // As LTChol(tol, minPivot): reference diagonal entries below tol count as 1. Without the
  // argument check a negative tolerance (or none at all) counts as 0: only non-positive pivots
  // are then redundant, never a negative one accepted.
  const double given = fSettings.GetTolerance();
  const double tol = given > 0.0 ? given : 0.0;
  int redundant = 0;
  for (int i = 0; i < n; ++i) {
    dd::DD ref = fvFactor[dd::PackedRowStart(i) + i];
    if (ref.hi < tol) ref = {1.0, 0.0};
    if (!dd::CholeskyRow(fvFactor.data(), i, ref, tol)) ++redundant;
  }
  for (int i = 0; i < n; ++i) {
    const double pivot = dd::ToDouble(fvFactor[dd::PackedRowStart(i) + i]);
    minPivot = i == 0 ? pivot : std::min(minPivot, pivot);
  }
  fNFactorRows = n;
  return redundant;
}

void MCRegOptimizer::SolveDirection(std::vector<double>& d) {
  const int n = fNFactorRows;
  fSlope = 0.0;
  fpStats->GetScoresExtended(fvWork);
  if (n < 0 || fvWork.size() < static_cast<std::size_t>(n)) return;
  std::vector<double>& g = fvScores;
  g.resize(static_cast<std::size_t>(n));
  dd::Round(n, fvWork.data(), g.data(), 1);
  dd::ForwardSubstitute(n, fvFactor.data(), fvWork.data(), fvWork.data());
  dd::BackSubstitute(n, fvFactor.data(), fvWork.data(), fvWork.data());
  d.resize(static_cast<std::size_t>(n));
  dd::Round(n, fvWork.data(), d.data(), 1);
  for (int i = 0; i < n; ++i)
    fSlope += g[static_cast<std::size_t>(i)] * d[static_cast<std::size_t>(i)];
}

bool MCRegOptimizer::InvertHessian() {
  const int n = fNFactorRows;
  dd::InverseFromFactor(n, fvFactor.data());
  const bool held = fpHessian->SetNRows(n);
  if (held) {
    dd::Round(static_cast<int>(fvFactor.size()), fvFactor.data(), fpHessian->AsVector().data(), 1);
  }
  // The factor has served: only the inverse is kept.
  std::vector<dd::DD>().swap(fvFactor);
  fNFactorRows = 0;
  return held;
}

bool MCRegOptimizer::CancelRequested() {
  if (fbCancelled) return true;
  if (fpCancelInfo != nullptr) return fpCancelInfo->IsCancel();
  return fpCancelQuery != nullptr && fpCancelQuery->IsCancel();
}

double MCRegOptimizer::ElapsedSeconds() const {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - fStartClock)
                      .count();
  return static_cast<double>(ms) / 1000.0;
}

void MCRegOptimizer::Report(int iteration, int stepHalvings, double loglik, double elapsed) {
  fReporter.SetInfo(fpParameters, iteration, stepHalvings, loglik, elapsed);
  fpListener->Report(&fReporter);
}

MCStatus MCRegOptimizer::Estimate() {
  fStartClock = std::chrono::steady_clock::now();
  if (fpModel == nullptr || fpDataHandler == nullptr || fpStats == nullptr ||
      fpParameters == nullptr) {
    fStatus = MCStatus(305, false);
    return fStatus;
  }
  std::vector<double>& b = *fpParameters;
  const int n = fNParameters;
  std::vector<double> d(static_cast<std::size_t>(n), 0.0);
  std::vector<double> b0(static_cast<std::size_t>(n), 0.0);

  const int hmax = fSettings.GetMaxStepHalvingValue();
  const int s0 = fSettings.GetStartingIteration();
  MCConst::MCEstimationMethod m = fEstimationMethod;
  if (fEstimationMethod == MCConst::kMixedMethod && fFisherIterations > 0) {
    m = MCConst::kNewtonRaphson;
  }

  fpDataHandler->SetStatsModel(fpStats, fpModel);
  if (!fStatus.IsError()) ComputeStats(m, false, false);
  if (fpListener != nullptr && !fStatus.IsError()) Report(0, 0, ClampedLL(), ElapsedSeconds());

  double ll = MCMV::kMissing;
  dd::DD llExtended{MCMV::kMissing, 0.0};
  double llScale = 0.0;  // the magnitude of ll's terms
  double minPivot = MCMV::kMissing;
  if (!fStatus.IsError()) {
    fInitialLL = ClampedLL();
    ll = fInitialLL;
    llExtended = ClampedLLExtended();
    llScale = fpStats->GetLLScale();
    if (n > 0) {
      FactorHessian(minPivot);
      SolveDirection(d);
    }
  }

  fLastIteration = 0;
  fStopReason = 0;
  bool done = false;
  if ((fSettings.GetInterceptUse() && n < fNCategories) || n == 0 || fMaxIterations == 0) {
    // Only intercepts (whose start values are their estimates) or nothing at all to estimate.
    done = true;
    fStopReason = 9;
  }

  const int frequency = fIterationFrequency;
  int countdown = frequency;
  int h = 0;  // step halvings of the last iteration
  while (!fStatus.IsError() && !done && !fbCancelled) {
    if (CancelRequested()) break;
    ++fLastIteration;
    double f = 1.0;
    h = 0;
    b0 = b;
    const double ll0 = ll;
    const dd::DD ll0Extended = llExtended;
    const double ll0Scale = llScale;
    const bool sep = s0 >= 1 && fLastIteration >= s0;
    // Whether the statistics at b are those of a full pass with this iteration's method and
    // separation check, so that the pass after the step is not needed.
    bool fullAtB = false;

    while (!fbCancelled) {
      if (CancelRequested()) break;
      b = b0;
      MCMathFun::Daxpy(n, f, d, 0, 1, b, 0, 1);
      // "Not lower" must not be decided by rounding. Far from the optimum, where the
      // quadratic model promises a gain f (1 - f/2) g'd far above the rounding of the
      // log-likelihoods, the trial is the full pass and its direct log-likelihood decides when
      // the two differ by more than their rounding can. Near it, the new log-likelihood is ll0
      // plus its exact change from b0: for the whole step (nearly always taken there) from
      // the full pass itself, else from a log-likelihood-only pass.
      bool decided = false;
      bool accept = false;
      fullAtB = false;
      const bool knowsScale = std::isfinite(ll0Scale);
      if (!IsMissing(ll0) && f * (1.0 - 0.5 * f) * fSlope > kFarGain * ll0Scale) {
        ComputeStats(m, sep, false);
        if (fStatus.IsError()) break;
        const double llnew = ClampedLL();
        const double margin = kDecisiveRatio * (ll0Scale + fpStats->GetLLScale());
        if (!IsMissing(llnew) && std::fabs(llnew - ll0) > margin) {
          decided = true;
          accept = llnew > ll0;
          fullAtB = accept;
        }
      } else if (!IsMissing(ll0) && knowsScale && h == 0) {
        fpStats->SetLLBase(&b0, ll0Extended);
        ComputeStats(m, sep, false);
        fpStats->SetLLBase(nullptr, dd::DD{});
        if (fStatus.IsError()) break;
        dd::DD byChange;
        if (fpStats->GetLLByChange(byChange)) {
          decided = true;
          accept = dd::Compare(Clamped(byChange), ll0Extended) >= 0;
          fullAtB = accept;
        }
      }
      if (!decided) {
        if (!IsMissing(ll0)) fpStats->SetLLBase(&b0, ll0Extended);
        ComputeStats(MCConst::kNewtonRaphson, false, true);
        fpStats->SetLLBase(nullptr, dd::DD{});
        if (fStatus.IsError()) break;
        const double llnew = ClampedLL();
        accept = (IsMissing(ll0) && !IsMissing(llnew)) ||
                 (!IsMissing(ll0) && !IsMissing(llnew) &&
                  dd::Compare(ClampedLLExtended(), ll0Extended) >= 0);
      }
      if (accept) break;
      if (h >= hmax) {
        fStopReason = 5;
        b = b0;
        fLastLLChange = 0.0;
        fLastParamChange = 0.0;
        break;
      }
      ++h;
      f = f / (2.0 * fpStats->GetStepAdjustmentFactor());
      b = b0;
    }

    if (!fStatus.IsError() && CancelRequested()) {
      fbCancelled = true;
      fStatus = MCStatus(1, false);
    }
    if (!fStatus.IsError() && !fullAtB) {
      ComputeStats(m, sep, false);
      if (fStatus.IsError()) break;
    }
    if (!fStatus.IsError()) {
      ll = ClampedLL();
      llExtended = ClampedLLExtended();
      llScale = fpStats->GetLLScale();
      fFinalLL = ll;
      int r = FactorHessian(minPivot);
      if (fStopReason == 0) fStopReason = ConvergenceTest(b0, ll0, r, minPivot, sep);
      if (fEstimationMethod == MCConst::kMixedMethod && m == MCConst::kNewtonRaphson) {
        const bool converged = fStopReason >= 1 && fStopReason <= 3;
        if (converged || (fStopReason == 0 && fLastIteration >= fFisherIterations)) {
          // Switch to the second method and go on from here.
          fFisherIterations = fLastIteration;
          fStopReason = 0;
          m = MCConst::kFisherScoring;
          ComputeStats(MCConst::kFisherScoring, sep, false);
          if (fStatus.IsError()) break;
          r = FactorHessian(minPivot);
          if (r >= 1) fStopReason = 4;
        }
      }
      if (fStopReason == 0) {
        SolveDirection(d);
      } else {
        done = true;
      }
    }

    if (fpListener != nullptr && !fStatus.IsError()) {
      if (--countdown <= 0) {
        Report(fLastIteration, h, fFinalLL, ElapsedSeconds());
        countdown = frequency;
      }
    }
  }

  if (!fStatus.IsError() && CancelRequested()) {
    fbCancelled = true;
    fStatus = MCStatus(1, false);
  }
  fpDataHandler->CleanStatsModel();

  if (!fStatus.IsError() && done && n > 0) {
    if (!InvertHessian()) fStatus = MCStatus(305, false);
    int nValid = 0;
    int nInvalid = 0;
    fpStats->GetCounts(nValid, nInvalid, fAccumulatedWeight);
  }
  if (fpListener != nullptr && !fStatus.IsError() && countdown != frequency) {
    Report(fLastIteration, h, fFinalLL, ElapsedSeconds());
  }
  return fStatus;
}

int MCRegOptimizer::ConvergenceTest(const std::vector<double>& b0, double ll0, int redundant,
                                    double minPivot, bool separation) {
  int reason = 0;
  bool singularityTest = true;
  if (separation) {
    double minObs = 0.0;
    double maxObs = 0.0;
    double minAny = 0.0;
    fpStats->GetMinMaxProbabilities(minObs, maxObs, minAny);
    if (1.0 - minObs <= 0.01 && 1.0 - maxObs <= 0.01) {
      reason = 7;
      singularityTest = false;
    } else if (!(minPivot > kSeparationPivot)) {
      reason = (maxObs > 0.99 || minAny < 0.001) ? 8 : 4;
      singularityTest = false;
    }
  }
  if (singularityTest && redundant >= 1) reason = 4;

  double change = std::fabs(ll0 - fFinalLL);
  if (!fbLLAbsolute) change = change / std::fabs(ll0);
  fLastLLChange = change;
  if (reason == 0 && change < fLLCriterion) reason = 1;

  if (fNParameters > 0) {
    const std::vector<double>& b = *fpParameters;
    const double p =
        fbParamAbsolute ? MCMathFun::VNrm1Diff(b, b0) : MCMathFun::VMaxRelDiff(b, b0, 1e-6);
    fLastParamChange = p;
    if (p < fParamCriterion) {
      if (reason == 0) return 2;
      if (reason == 1) return 3;
    }
  }
  if (reason != 0) return reason;
  return fLastIteration >= fMaxIterations ? 6 : 0;
}

bool MCRegOptimizer::ComputePseudoRSquares(double& coxSnell, double& nagelkerke,
                                           double& mcFadden) const {
  coxSnell = 0.0;
  nagelkerke = 0.0;
  mcFadden = 0.0;
  const double w = fAccumulatedWeight;
  const double ll0 = fInitialLL;
  const double ll1 = fFinalLL;
  if (fLastIteration < 1 || !(w > 0.0) || IsMissing(ll0) || IsMissing(ll1)) return false;
  coxSnell = MCMV::kMissing;
  nagelkerke = MCMV::kMissing;
  mcFadden = MCMV::kMissing;
  const double dev = (2.0 * ll0 - 2.0 * ll1) / w;
  if (dev <= kMaxExp) coxSnell = 1.0 - std::exp(dev);
  if (!IsMissing(coxSnell) && 2.0 * ll0 / w <= kMaxExp) {
    const double m = std::exp(2.0 * ll0 / w);
    if (1.0 - m != 0.0) nagelkerke = coxSnell / (1.0 - m);
  }
  if (ll0 != 0.0) {
    mcFadden = 1.0 - ll1 / ll0;
  } else if (ll1 == 0.0) {
    mcFadden = 0.0;
  }
  return !IsMissing(coxSnell) && !IsMissing(nagelkerke) && !IsMissing(mcFadden);
}

void MCRegOptimizer::Display() const {
  MCComponentDisplay::DisplayText(1, "MCRegOptimizer display start");
  MCComponentDisplay::DisplayI("Number of estimated parameters in the model", fNParameters);
  if (fpParameters != nullptr) {
    MCComponentDisplay::DisplayDV("Estimated parameters", *fpParameters);
  }
  MCComponentDisplay::DisplayText(1, "Generalized inverse of the Hessian:");
  if (fpHessian) fpHessian->Display();
  MCComponentDisplay::DisplayI("Estimation method", static_cast<int>(fEstimationMethod));
  MCComponentDisplay::DisplayI("Fisher iterations", fFisherIterations);
  MCComponentDisplay::DisplayText(1, "Convergence criteria");
  MCComponentDisplay::DisplayD("Log-Likelihood Function Convergence Criterion", fLLCriterion);
  MCComponentDisplay::DisplayD("Parameter Estimates Convergence Criterion", fParamCriterion);
  MCComponentDisplay::DisplayI("Maximum number of Iteration", fMaxIterations);
  MCComponentDisplay::DisplayB("Log-Likelihood Function absolute change", fbLLAbsolute);
  MCComponentDisplay::DisplayB("Parameter Estimates absolute change", fbParamAbsolute);
  MCComponentDisplay::DisplayD("Log-likelihood for initial parameter estimates", fInitialLL);
  MCComponentDisplay::DisplayD("Log-likelihood for final parameter estimates", fFinalLL);
  MCComponentDisplay::DisplayD("Accumulated weight", fAccumulatedWeight);
  MCComponentDisplay::DisplayText(1, "MCRegOptimizer display end");
}

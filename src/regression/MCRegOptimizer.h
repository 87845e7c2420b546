#ifndef MCSTAT_REGRESSION_MCREGOPTIMIZER_H_
#define MCSTAT_REGRESSION_MCREGOPTIMIZER_H_

// The estimation loop of the logistic model and the progress report it hands to the host.
// Internal to the library; exported only so that the tests can drive the loop on its own.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "../mcmath/MCDDKernels.h"
#include "MCCancelInfo.h"
#include "MCConst.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "MCStatus.h"
#include "MCSymMatrix.h"
#include "ProgressListener.h"
#include "mcstat_export.h"

class IMCAccumStats;
class IMCDataHandler;
class IMCRegModel;

// One progress report of the estimation loop: iteration number, step halvings, log-likelihood,
// elapsed seconds and the current parameters. The parameter vector is not owned.
class MCSTAT_EXPORT MCIterationReporter : public ProgressReportVect {
 public:
  MCIterationReporter() = default;
  MCIterationReporter(const MCIterationReporter&) = default;
  MCIterationReporter& operator=(const MCIterationReporter&) = default;
  ~MCIterationReporter() override;

  // "iterNum": the iteration number; "stepHalving": the step halvings; any other key 0.
  int DiscreteMeasure(const std::string& key) override;
  // "loglik": the log-likelihood; "time": the elapsed seconds; any other key 0.0.
  double ScaleMeasure(const std::string& key) override;
  // "paramEstim": the parameter vector; any other key null.
  const std::vector<double>* VectorMeasure(const std::string& key) override;
  // Every field 0 or null.
  virtual void Reset();
  virtual void Display() const;

  void SetInfo(const std::vector<double>* params, int iterNum, int stepHalving, double loglik,
               double time);

 private:
  const std::vector<double>* fpParamEstim = nullptr;
  int fIterNum = 0;
  int fStepHalving = 0;
  double fLogLik = 0.0;
  double fTime = 0.0;
};

// Maximises the log-likelihood by Newton-Raphson iterations with step halving. Every
// evaluation is one pass through the data handler into the accumulator at the current
// parameters. Stop reasons:
//   0 iterate on, 1 log-likelihood change below its criterion, 2 parameter change below its
//   criterion, 3 both, 4 singular Hessian, 5 step halving exhausted, 6 iteration limit,
//   7 complete separation, 8 quasi-complete separation, 9 nothing to estimate.
// After Estimate the Hessian holds its (generalised) inverse, zero rows and columns for
// redundant parameters; during the iterations only the factor is kept.
//
// The factorisation, the Newton direction, the inverse and the step-halving comparison of
// log-likelihoods work on the accumulator's double-double sums, so no decision and no digit of
// the direction is left to rounding; the Hessian matrix holds the double roundings. Where the
// accumulator gives the magnitude of its log-likelihood (GetLLScale), a step far from the
// optimum is tried with a full pass, whose direct log-likelihood decides when it differs from
// the previous one by far more than rounding, and which then serves as the iteration's pass:
// one pass per iteration instead of two. Near the optimum the whole step's full pass also adds
// the exact change of every row, which decides.

class MCSTAT_EXPORT MCRegOptimizer {
 public:
  // Neither the model, the handler, the accumulator, the parameters, the listener nor the
  // cancel holder is owned; all must outlive the optimizer. The parameter vector is resized to
  // the model's number of estimated parameters and holds the start values on entry to
  // Estimate. The cancel holder (optional) is asked besides the settings' cancel query.
  MCRegOptimizer(const MCLogRegSettings& settings, const IMCRegModel* model,
                 IMCDataHandler* dataHandler, IMCAccumStats* stats, std::vector<double>* params,
                 ProgressListener* listener, int iterationFrequency,
                 MCConst::MCEstimationMethod method, int fisherIterations,
                 MCCommon::MCCancelInfo* cancelInfo = nullptr);
  MCRegOptimizer(const MCRegOptimizer&) = delete;
  MCRegOptimizer& operator=(const MCRegOptimizer&) = delete;
  ~MCRegOptimizer();

  // The bytes the loop allocates for n estimated parameters (about): the factor of the
  // information and its inverse.
  static double RequiredBytes(int n);

  // Runs the iterations; the parameter vector then holds the estimates. The first error of a
  // data pass is returned at once; a cancel gives error 1 (no inverse is computed); 305 when the
  // inverse cannot be allocated. Every stop reason ends with an OK status.
  MCCommon::MCStatus Estimate();

  int GetStopReason() const { return fStopReason; }
  const std::vector<double>& GetParameters() const { return *fpParameters; }
  // The inverse of the information after Estimate (empty before, or when Estimate ended with
  // an error or a cancel); null once released.
  const MCCommonMath::MCSymMatrix* GetHessian() const { return fpHessian.get(); }
  void ReleaseHessian() { fpHessian.reset(); }
  int GetLastIteration() const { return fLastIteration; }
  double GetInitialLL() const { return fInitialLL; }
  double GetFinalLL() const { return fFinalLL; }
  double GetLastLLChange() const { return fLastLLChange; }
  double GetLastParamChange() const { return fLastParamChange; }
  double GetAccumulatedWeight() const { return fAccumulatedWeight; }
  int GetNEstimated() const { return fNParameters; }
  // 0 unless the method is mixed; else the smaller of the last iteration and the Fisher
  // iterations (0 when no iteration ran).
  int GetNFisherIterations() const;
  bool IsCancelled() const { return fbCancelled; }
  const MCCommon::MCStatus& GetStatus() const { return fStatus; }
  // Cox-Snell, Nagelkerke and McFadden from the initial and final log-likelihoods and the
  // accumulated weight. All 0 when no iteration ran (or W <= 0 or a log-likelihood is
  // missing); otherwise each is the missing value where it cannot be computed. True when none
  // is missing.
  bool ComputePseudoRSquares(double& coxSnell, double& nagelkerke, double& mcFadden) const;

  // The loop stops at its next check.
  void Cancel() { fbCancelled = true; }
  void Display() const;

 private:
  // The reset accumulator gets one pass at the current parameters.
  void ComputeStats(MCConst::MCEstimationMethod method, bool separation, bool llOnly);
  // The accumulator's log-likelihood, a positive value (rounding) taken as 0.
  double ClampedLL() const;
  MCCommonMath::ddkernels::DD ClampedLLExtended() const;
  static MCCommonMath::ddkernels::DD Clamped(const MCCommonMath::ddkernels::DD& ll);
  // Copies the accumulated Hessian and factors it; returns the number of redundant rows.
  int FactorHessian(double& minPivot);
  // d = the solution of (factored Hessian) d = scores.
  void SolveDirection(std::vector<double>& d);
  // The Hessian matrix becomes the inverse from the factor, which is then freed; false when
  // the inverse cannot be allocated.
  bool InvertHessian();
  int ConvergenceTest(const std::vector<double>& b0, double ll0, int redundant, double minPivot,
                      bool separation);
  bool CancelRequested();
  void Report(int iteration, int stepHalvings, double loglik, double elapsed);
  double ElapsedSeconds() const;

  const MCLogRegSettings& fSettings;
  const IMCRegModel* fpModel = nullptr;
  IMCDataHandler* fpDataHandler = nullptr;
  IMCAccumStats* fpStats = nullptr;
  int fNParameters = 0;
  int fNCategories = 0;
  std::vector<double>* fpParameters = nullptr;
  std::unique_ptr<MCCommonMath::MCSymMatrix> fpHessian;
  MCConst::MCEstimationMethod fEstimationMethod = MCConst::kNewtonRaphson;
  int fFisherIterations = 0;
  int fStopReason = 9;
  double fLLCriterion = 0.0;
  double fParamCriterion = 0.0;
  int fMaxIterations = 0;
  bool fbLLAbsolute = false;
  bool fbParamAbsolute = false;
  double fInitialLL = MCMV::kMissing;
  double fFinalLL = MCMV::kMissing;
  int fLastIteration = 0;
  double fLastLLChange = 0.0;
  double fLastParamChange = 0.0;
  double fAccumulatedWeight = 0.0;
  bool fbCancelled = false;
  MCCommon::MCQueryCancel* fpCancelQuery = nullptr;
  MCCommon::MCCancelInfo* fpCancelInfo = nullptr;
  ProgressListener* fpListener = nullptr;
  int fIterationFrequency = 1;
  MCCommon::MCStatus fStatus;

  // The factor of the Hessian in double-double (of fNFactorRows rows), and work space of the
  // solves.
  std::vector<MCCommonMath::ddkernels::DD> fvFactor;
  int fNFactorRows = 0;
  // The scores of the last full pass and their product g'd with the direction solved from
  // them: the gain the quadratic model promises for the whole step is g'd / 2.
  std::vector<double> fvScores;
  double fSlope = 0.0;
  std::vector<MCCommonMath::ddkernels::DD> fvWork;

  std::chrono::steady_clock::time_point fStartClock;
  MCIterationReporter fReporter;
};

#endif  // MCSTAT_REGRESSION_MCREGOPTIMIZER_H_

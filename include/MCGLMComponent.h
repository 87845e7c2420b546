#ifndef MCSTAT_MCGLMCOMPONENT_H_
#define MCSTAT_MCGLMCOMPONENT_H_

#include <memory>
#include <vector>

#include "IMCRegComponent.h"
#include "MCRegSettings.h"
#include "mcstat_export.h"

class MCGLMAlgorithm;
class MCGLMOutputStats;
class MCPassRunner;

// The weighted least-squares linear model: one parameter per intercept, covariate term and
// occurring factor combination of each effect, fitted in three passes over the records
// (tabulation, cross products, residuals). Parameters that depend on earlier ones are found by
// sweeping in order and marked redundant (their redundancy bit is CLEAR: a set bit marks a
// non-redundant parameter) with estimate 0.
//
// The component keeps the first error it meets and returns it from every later call. Refused
// repeats (a second CreateParameters: 306, a second BuildModel: 310) and GetOutputStats before
// a build (311) are returned without replacing the status.
class MCSTAT_EXPORT MCGLMComponent : public IMCRegComponent {
 public:
  // Copies the settings and checks them (301, 302); with an error no algorithm is made and
  // every later step returns that error.
  explicit MCGLMComponent(const MCRegSettings& settings);
  MCGLMComponent(const MCGLMComponent&) = delete;
  MCGLMComponent& operator=(const MCGLMComponent&) = delete;
  ~MCGLMComponent() override;

  // 0.
  MCConst::MCRegModelType GetModelType() override;
  // First pass (306 when already run, 307 without valid records, 312 for a missing record,
  // 315/316 for a bad record, 1 on cancel), then the parameters (305 for more than 23169).
  // parameters receives the model's parameters on success and is left alone otherwise.
  MCCommon::MCStatus CreateParameters(MCCommon::MultiPassRecordIter& data,
                                      std::vector<MCRegrParameter>& parameters) override;
  // Runs the first pass when needed, then the cross-product pass, the solve and the residual
  // pass: 310 when built already, 313 for a refused row, 308 without weighted records in the
  // residual pass, 309 without records in the cross-product pass, 1 on cancel.
  MCCommon::MCStatus BuildModel(MCCommon::MultiPassRecordIter& data) override;
  // The same build with every pass run in parts by the runner (MCPartialStats.h), the first
  // one too unless CreateParameters ran it; 320 for parts of another model or settings.
  MCCommon::MCStatus BuildModel(MCPassRunner& runner);
  bool IsModelBuilt() const override;
  // 311 (stats unchanged) while no model is built; otherwise lends the statistics, made once.
  MCCommon::MCStatus GetOutputStats(IMCRegOutputStats*& stats) override;
  const MCRegSettings& GetCompSettings() const override { return fCompSettings; }
  // The prediction of a record (the missing value when its row cannot be formed): 311
  // without a built model, 1 when a cancel is pending. values is not used. The record is not
  // validated: check it with the output statistics' validator (IsValid4Scoring) first.
  MCCommon::MCStatus Score(const MCCommon::Record& record, double& prediction,
                           std::vector<double>& values) const override;
  void Cancel() override;
  MCCommon::MCStatus GetStatus() override { return fStatus; }
  std::vector<MCCommon::MCStatus> GetWarnings() override;
  void Display() const override;

 private:
  // The first pass and the parameters, with the records in the runner's parts.
  MCCommon::MCStatus CreateParameters(MCPassRunner& runner,
                                      std::vector<MCRegrParameter>& parameters);

  MCRegSettings fCompSettings;
  std::unique_ptr<MCGLMAlgorithm> fpAlgorithm;
  std::unique_ptr<MCGLMOutputStats> fpOutputStats;
  MCCommon::MCStatus fStatus;
};

#endif  // MCSTAT_MCGLMCOMPONENT_H_

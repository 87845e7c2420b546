#ifndef MCSTAT_MCLOGCOMPONENT_H_
#define MCSTAT_MCLOGCOMPONENT_H_

#include <memory>
#include <vector>

#include "IMCRegComponent.h"
#include "MCLogRegSettings.h"
#include "mcstat_export.h"

class MCLogAlgorithm;
class MCLogOutputStats;
class MCPassRunner;

// The multinomial logistic regression: for the K response categories present in the data
// (the reference last) one logit per other category, each with the intercept, covariate terms
// and occurring factor combinations of the model effects, fitted by Newton-Raphson iterations
// with step halving. Parameters that depend on earlier ones (found by sweeping the weighted
// cross products in order) are redundant in every logit: their redundancy bit is CLEAR (a set
// bit marks a non-redundant parameter) and their estimate 0.
//
// The component keeps the first error it meets and returns it from every later call. Refused
// repeats (a second CreateParameters: 306, a second BuildModel: 310) and GetOutputStats before
// a build (310) are returned without replacing the status.
class MCSTAT_EXPORT MCLogComponent : public IMCRegComponent {
 public:
  // Copies the settings and checks them (301, 302); with an error no algorithm is made and
  // every later step returns that error.
  explicit MCLogComponent(const MCLogRegSettings& settings);
  MCLogComponent(const MCLogComponent&) = delete;
  MCLogComponent& operator=(const MCLogComponent&) = delete;
  ~MCLogComponent() override;

  // 1.
  MCConst::MCRegModelType GetModelType() override;
  // First pass, response categories and parameters: 306 when already run, 307 without valid
  // records, 312 for a missing record, 315/316 for a bad record, 308 (pattern tabulation)
  // without positive weight, 318 with fewer than two response categories, 305 when the
  // parameters do not fit in memory, 1 on cancel; warning 319 when the requested reference
  // category does not occur (the last present one is used). parameters receives the
  // (K-1) x basic parameters on success.
  MCCommon::MCStatus CreateParameters(MCCommon::MultiPassRecordIter& data,
                                      std::vector<MCRegrParameter>& parameters) override;
  // Runs the first pass when needed, then the cross-product pass and the estimation: 310 when
  // built already, 313 for a refused row, 303 for a category without weight, 304/307 from the
  // estimation passes, 1 on cancel; on success the last warning, if any.
  MCCommon::MCStatus BuildModel(MCCommon::MultiPassRecordIter& data) override;
  // The same build with every pass run in parts by the runner (MCPartialStats.h), the first
  // one too unless CreateParameters ran it; 320 for parts of another model or settings.
  MCCommon::MCStatus BuildModel(MCPassRunner& runner);
  bool IsModelBuilt() const override;
  // 310 (stats set to null) while no model is built; otherwise lends the statistics (an
  // MCLogOutputStats), made once.
  MCCommon::MCStatus GetOutputStats(IMCRegOutputStats*& stats) override;
  const MCRegSettings& GetCompSettings() const override { return fCompSettings; }
  // prediction becomes the predicted category code (-1 when the record's row cannot be
  // formed) and probabilities the K category probabilities in the order of
  // MCLogOutputStats::GetDependCategories (reference last). 311 without a built model, 1 when
  // a cancel is pending, 315/316 for a record the scoring check rejects.
  MCCommon::MCStatus Score(const MCCommon::Record& record, double& prediction,
                           std::vector<double>& probabilities) const override;
  void Cancel() override;
  MCCommon::MCStatus GetStatus() override { return fStatus; }
  std::vector<MCCommon::MCStatus> GetWarnings() override;
  void Display() const override;

 private:
  // The first pass, the categories and the parameters, with the records in the runner's parts.
  MCCommon::MCStatus CreateParameters(MCPassRunner& runner,
                                      std::vector<MCRegrParameter>& parameters);

  MCLogRegSettings fCompSettings;
  std::unique_ptr<MCLogAlgorithm> fpAlgorithm;
  std::unique_ptr<MCLogOutputStats> fpOutputStats;
  MCCommon::MCStatus fStatus;
};

#endif  // MCSTAT_MCLOGCOMPONENT_H_

#include "MCGLMAlgorithm.h"

#include <algorithm>
#include <cstdint>
#include <variant>

#include "MCComponentDisplay.h"
#include "MCMV.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommon::MultiPassRecordIter;
using MCCommon::Record;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

}  // namespace

MCGLMAlgorithm::MCGLMAlgorithm(const MCRegSettings* settings)
    : fCancelInfo(settings->GetCancelPointer()),
      fpSettings(settings),
      fValidator(settings->GetVariableTypes(), settings->GetFactors(), settings->GetFactorSizes(),
                 0),
      fFactorTables(FirstPassTables(*settings)),
      fModel(settings, &fCancelInfo),
      fFingerprint(MCPartCodec::Fingerprint(*settings)) {}

MCGLMAlgorithm::~MCGLMAlgorithm() = default;

void MCGLMAlgorithm::AddWarning(const MCStatus& status) {
  if (std::find(fvWarnings.begin(), fvWarnings.end(), status) == fvWarnings.end()) {
    fvWarnings.push_back(status);
  }
}

MCPassPlan MCGLMAlgorithm::MakePlan(MCPassKind kind) const {
  MCPassPlan plan;
  MCPassPlan::Impl& p = plan.GetImpl();
  p.fModel = MCConst::kLinearModel;
  p.fKind = kind;
  p.fFingerprint = fFingerprint;
  if (kind != MCPassKind::kFirstPass) p.fpFirstPass = fpFirstPass;
  return plan;
}

MCStatus MCGLMAlgorithm::RunPass(MCPassRunner& runner, const MCPassPlan& plan,
                                 MCPartialStats& merged) {
  MCStatus status = RunPlannedPass(runner, plan, merged);
  for (const MCStatus& warning : merged.GetImpl().fOutcome.fvWarnings) AddWarning(warning);
  // Workers ask their own cancel queries; the component's Cancel is seen here.
  if (!status.IsError() && fCancelInfo.WillCancel()) status = Error(1);
  return status;
}

MCStatus MCGLMAlgorithm::ProcessData(MultiPassRecordIter& data) {
  MCSingleStreamRunner runner(*fpSettings, data, fCancelInfo);
  return ProcessData(runner);
}

MCStatus MCGLMAlgorithm::ProcessData(MCPassRunner& runner) {
  // A repeat is refused before the source is touched: whatever the source, it must not cost
  // the tables (or a model built from them).
  if (fbDataProcessed) return Error(306);
  MCPartialStats merged;
  MCStatus status = RunPass(runner, MakePlan(MCPassKind::kFirstPass), merged);
  // No record at all (every part empty): nothing is kept.
  if (!status.IsError() && ReadNothing(merged)) return Error(307);
  if (MCFirstPassData* first = FirstPassOf(*fpSettings, merged)) {
    fRecordCount = static_cast<int>(std::min<std::int64_t>(first->fNRecords, INT32_MAX));
    fValidCount = static_cast<int>(std::min<std::int64_t>(first->fNValid, INT32_MAX));
    fpFirstPass = std::make_shared<const MCFirstPassData>(*first);
    fFactorTables = std::move(first->fTables);
  } else if (!status.IsError()) {
    status = MCPartCodec::Refused(MCPartCodec::kShape);
  }
  const bool cancelled = merged.GetImpl().fOutcome.fbCancelled || fCancelInfo.WillCancel();
  if (!status.IsError() && fFactorTables.HasFailedAllocation()) status = Error(305);
  if (!status.IsError() && cancelled) status = Error(1);
  if (!status.IsError() && fValidCount == 0) status = Error(307);
  if (!status.IsError() && !cancelled) fbDataProcessed = true;
  fMeanValues = fFactorTables.GetCovariateMeans();
  fStatus = status;
  return status;
}

MCStatus MCGLMAlgorithm::SetupParameters() {
  if (!fbDataProcessed) return Error(309);
  fStatus = fModel.SetupParameters(&fFactorTables);
  return fStatus;
}

MCStatus MCGLMAlgorithm::BuildModel(MultiPassRecordIter& data) {
  MCSingleStreamRunner runner(*fpSettings, data, fCancelInfo);
  return BuildModel(runner);
}

MCStatus MCGLMAlgorithm::BuildModel(MCPassRunner& runner) {
  if (!fModel.IsReady()) return Error(309);
  if (fModel.IsBuilt() || fbModelBuilt) return Error(310);
  fModel.SetMeanAndTotalWeight(fMeanValues.empty() ? 0.0 : fMeanValues.back(),
                               fFactorTables.GetTotalWeight());

  MCStatus status;
  if (!fbDataProcessed) status = Error(313);
  if (!status.IsError()) {
    MCPartialStats merged;
    status = RunPass(runner, MakePlan(MCPassKind::kCrossProducts), merged);
    auto* part = std::get_if<MCCrossProductData>(&merged.GetImpl().fData);
    if (!status.IsError() && part != nullptr) status = fModel.AdoptCrossProducts(std::move(*part));
  }
  if (!status.IsError()) status = fModel.Solve();
  if (!status.IsError()) {
    MCPassPlan plan = MakePlan(MCPassKind::kResiduals);
    plan.GetImpl().fvValues = fModel.GetParamEstimates();
    MCPartialStats merged;
    status = RunPass(runner, plan, merged);
    auto* part = std::get_if<MCResidualData>(&merged.GetImpl().fData);
    if (!status.IsError() && part != nullptr) status = fModel.AdoptResiduals(std::move(*part));
  }
  if (!status.IsError()) status = fModel.ComputeFit();
  if (!status.IsError()) {
    fbModelBuilt = true;
    if (!fvWarnings.empty()) status = fvWarnings.back();
  }
  fStatus = status;
  return status;
}

MCStatus MCGLMAlgorithm::Score(const Record& record, double& prediction) const {
  if (fStatus.IsError()) return fStatus;
  if (fCancelInfo.WillCancel()) return Error(1);
  prediction = fModel.Predict(record);
  return MCStatus();
}

void MCGLMAlgorithm::Display() const {
  MCComponentDisplay::DisplayText(1, "MCGLMAlgorithm display start");
  MCComponentDisplay::DisplayText(1, "Record Validator");
  fValidator.Display();
  MCComponentDisplay::DisplayText(1, "fFactorTables");
  fFactorTables.Display();
  MCComponentDisplay::DisplayDV("fMeanValues", fMeanValues);
  MCComponentDisplay::DisplayText(1, "fModel");
  fModel.Display();
  MCComponentDisplay::DisplayB("fbDataProcessed", fbDataProcessed);
  MCComponentDisplay::DisplayB("fbModelBuilt", fbModelBuilt);
  MCComponentDisplay::DisplayI("fRecordCount", fRecordCount);
  MCComponentDisplay::DisplayI("fValidCount", fValidCount);
  MCComponentDisplay::DisplayText(1, "MCGLMAlgorithm display end");
}

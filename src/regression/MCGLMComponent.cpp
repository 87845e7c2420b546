#include "MCGLMComponent.h"

#include "MCComponentDisplay.h"
#include "MCGLMAlgorithm.h"
#include "MCGLMOutputStats.h"
#include "MCRegLimits.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;

MCGLMComponent::MCGLMComponent(const MCRegSettings& settings)
    : fCompSettings(settings), fStatus(fCompSettings.IsValidSettings()) {
  if (fStatus.IsError()) return;
  fStatus = MCRegLimits::Guarded([this] {
    fpAlgorithm = std::make_unique<MCGLMAlgorithm>(&fCompSettings);
    return fStatus;
  });
}

MCGLMComponent::~MCGLMComponent() = default;

MCConst::MCRegModelType MCGLMComponent::GetModelType() { return MCConst::kLinearModel; }

MCStatus MCGLMComponent::CreateParameters(MCCommon::MultiPassRecordIter& data,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  return MCRegLimits::Guarded([&] {
    MCSingleStreamRunner runner(fCompSettings, data, fpAlgorithm->GetCancelInfo());
    return CreateParameters(runner, parameters);
  });
}

MCStatus MCGLMComponent::CreateParameters(MCPassRunner& runner,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  bool repeat = false;
  const MCStatus result = MCRegLimits::Guarded([&] {
    MCStatus step = fpAlgorithm->ProcessData(runner);
    // A refused repeat leaves the component (and the model it may have built) as it was.
    repeat = step.IsError() && step.GetErrorCode() == 306;
    if (repeat) return step;
    if (!step.IsError()) step = fpAlgorithm->SetupParameters();
    if (!step.IsError()) parameters = fpAlgorithm->GetModel().GetParameters();
    return step;
  });
  if (!repeat) fStatus = result;
  return result;
}

MCStatus MCGLMComponent::BuildModel(MCCommon::MultiPassRecordIter& data) {
  if (fStatus.IsError()) return fStatus;
  return MCRegLimits::Guarded([&] {
    MCSingleStreamRunner runner(fCompSettings, data, fpAlgorithm->GetCancelInfo());
    return BuildModel(runner);
  });
}

MCStatus MCGLMComponent::BuildModel(MCPassRunner& runner) {
  if (fStatus.IsError()) return fStatus;
  if (!fpAlgorithm->AreParametersReady()) {
    std::vector<MCRegrParameter> scratch;
    const MCStatus created = CreateParameters(runner, scratch);
    if (created.IsError()) return created;
  }
  if (fpAlgorithm->IsModelBuilt()) return MCStatus(310, false);
  fStatus = MCRegLimits::Guarded([&] { return fpAlgorithm->BuildModel(runner); });
  return fStatus;
}

bool MCGLMComponent::IsModelBuilt() const {
  return !fStatus.IsError() && fpAlgorithm->IsModelBuilt();
}

MCStatus MCGLMComponent::GetOutputStats(IMCRegOutputStats*& stats) {
  MCStatus result = fStatus;
  if (!result.IsError() && !fpAlgorithm->IsModelBuilt()) result = MCStatus(311, false);
  if (result.IsError()) return result;
  // Statistics that cannot be made leave the model as it is.
  result = MCRegLimits::Guarded([this, &result] {
    if (!fpOutputStats) {
      fpOutputStats = std::make_unique<MCGLMOutputStats>(fCompSettings, fpAlgorithm.get());
    }
    return result;
  });
  if (!result.IsError()) stats = fpOutputStats.get();
  return result;
}

MCStatus MCGLMComponent::Score(const MCCommon::Record& record, double& prediction,
                               std::vector<double>& /*values*/) const {
  if (fStatus.IsError()) return fStatus;
  if (!fpAlgorithm->IsModelBuilt()) return MCStatus(311, false);
  return MCRegLimits::Guarded([&] { return fpAlgorithm->Score(record, prediction); });
}

void MCGLMComponent::Cancel() {
  if (fpAlgorithm) fpAlgorithm->Cancel();
}

std::vector<MCStatus> MCGLMComponent::GetWarnings() {
  if (!fpAlgorithm) return {};
  try {
    return fpAlgorithm->GetWarnings();
  } catch (...) {
    return {};  // a copy that cannot be made: nothing may reach the host
  }
}

void MCGLMComponent::Display() const {
  MCComponentDisplay::DisplayText(1, "MCGLMComponent display start");
  MCComponentDisplay::DisplayText(1, "fCompSettings");
  fCompSettings.Display();
  MCComponentDisplay::DisplayText(1, "fpAlgorithm");
  if (fpAlgorithm) fpAlgorithm->Display();
  MCComponentDisplay::DisplayText(1, "fpOutputStats");
  if (fpOutputStats) fpOutputStats->Display();
  MCComponentDisplay::DisplayText(1, "MCGLMComponent display end");
}

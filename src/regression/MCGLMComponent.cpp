#include "MCGLMComponent.h"

#include "MCComponentDisplay.h"
#include "MCGLMAlgorithm.h"
#include "MCGLMOutputStats.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;

MCGLMComponent::MCGLMComponent(const MCRegSettings& settings)
    : fCompSettings(settings), fStatus(fCompSettings.IsValidSettings()) {
  if (!fStatus.IsError()) fpAlgorithm = std::make_unique<MCGLMAlgorithm>(&fCompSettings);
}

MCGLMComponent::~MCGLMComponent() = default;

MCConst::MCRegModelType MCGLMComponent::GetModelType() { return MCConst::kLinearModel; }

MCStatus MCGLMComponent::CreateParameters(MCCommon::MultiPassRecordIter& data,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  MCStatus result = fpAlgorithm->ProcessData(data);
  // A refused repeat leaves the component (and the model it may have built) as it was.
  if (result.IsError() && result.GetErrorCode() == 306) return result;
  if (!result.IsError()) result = fpAlgorithm->SetupParameters();
  fStatus = result;
  if (!result.IsError()) parameters = fpAlgorithm->GetModel().GetParameters();
  return result;
}

MCStatus MCGLMComponent::BuildModel(MCCommon::MultiPassRecordIter& data) {
  if (fStatus.IsError()) return fStatus;
  if (!fpAlgorithm->AreParametersReady()) {
    std::vector<MCRegrParameter> scratch;
    const MCStatus created = CreateParameters(data, scratch);
    if (created.IsError()) return created;
  }
  if (fpAlgorithm->IsModelBuilt()) return MCStatus(310, false);
  fStatus = fpAlgorithm->BuildModel(data);
  return fStatus;
}

bool MCGLMComponent::IsModelBuilt() const {
  return !fStatus.IsError() && fpAlgorithm->IsModelBuilt();
}

MCStatus MCGLMComponent::GetOutputStats(IMCRegOutputStats*& stats) {
  MCStatus result = fStatus;
  if (!result.IsError() && !fpAlgorithm->IsModelBuilt()) result = MCStatus(311, false);
  if (result.IsError()) return result;
  if (!fpOutputStats) {
    fpOutputStats = std::make_unique<MCGLMOutputStats>(fCompSettings, fpAlgorithm.get());
  }
  stats = fpOutputStats.get();
  return result;
}

MCStatus MCGLMComponent::Score(const MCCommon::Record& record, double& prediction,
                               std::vector<double>& /*values*/) const {
  if (fStatus.IsError()) return fStatus;
  if (!fpAlgorithm->IsModelBuilt()) return MCStatus(311, false);
  return fpAlgorithm->Score(record, prediction);
}

void MCGLMComponent::Cancel() {
  if (fpAlgorithm) fpAlgorithm->Cancel();
}

std::vector<MCStatus> MCGLMComponent::GetWarnings() {
  if (!fpAlgorithm) return {};
  return fpAlgorithm->GetWarnings();
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

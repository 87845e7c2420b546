#include "MCLogComponent.h"

#include "MCComponentDisplay.h"
#include "MCLogAlgorithm.h"
#include "MCLogOutputStats.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;

MCLogComponent::MCLogComponent(const MCLogRegSettings& settings)
    : fCompSettings(settings), fStatus(fCompSettings.IsValidSettings()) {
  if (!fStatus.IsError()) fpAlgorithm = std::make_unique<MCLogAlgorithm>(&fCompSettings);
}

MCLogComponent::~MCLogComponent() = default;

MCConst::MCRegModelType MCLogComponent::GetModelType() { return MCConst::kLogisticModel; }

MCStatus MCLogComponent::CreateParameters(MCCommon::MultiPassRecordIter& data,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  const MCStatus result = fpAlgorithm->CreateParameters(data, parameters);
  // A refused repeat leaves the component (and the model it may have built) as it was.
  if (result.IsError() && result.GetErrorCode() == 306) return result;
  fStatus = result;
  return result;
}

MCStatus MCLogComponent::BuildModel(MCCommon::MultiPassRecordIter& data) {
  if (fStatus.IsError()) return fStatus;
  if (!fpAlgorithm->AreParametersCreated() && !fpAlgorithm->IsModelBuilt()) {
    std::vector<MCRegrParameter> scratch;
    const MCStatus created = CreateParameters(data, scratch);
    if (created.IsError()) return created;
  }
  if (fpAlgorithm->IsModelBuilt()) return MCStatus(310, false);
  const MCStatus result = fpAlgorithm->BuildModel(data);
  if (!result.IsOK()) fStatus = result;
  return result;
}

bool MCLogComponent::IsModelBuilt() const {
  return !fStatus.IsError() && fpAlgorithm->IsModelBuilt();
}

MCStatus MCLogComponent::GetOutputStats(IMCRegOutputStats*& stats) {
  stats = nullptr;
  if (fStatus.IsError()) return fStatus;
  if (!fpAlgorithm->IsModelBuilt()) return MCStatus(310, false);
  if (!fpOutputStats) {
    fpOutputStats = std::make_unique<MCLogOutputStats>(fCompSettings, fpAlgorithm.get());
  }
  stats = fpOutputStats.get();
  return fStatus;
}

MCStatus MCLogComponent::Score(const MCCommon::Record& record, double& prediction,
                               std::vector<double>& probabilities) const {
  if (fStatus.IsError()) return fStatus;
  int category = -1;
  const MCStatus result = fpAlgorithm->Score(record, category, probabilities);
  prediction = category;
  return result;
}

void MCLogComponent::Cancel() {
  if (fpAlgorithm) fpAlgorithm->Cancel();
  if (fpOutputStats) fpOutputStats->Cancel();
}

std::vector<MCStatus> MCLogComponent::GetWarnings() {
  if (!fpAlgorithm) return {};
  return fpAlgorithm->GetWarnings();
}

void MCLogComponent::Display() const {
  MCComponentDisplay::DisplayText(1, "MCLogComponent display start");
  MCComponentDisplay::DisplayText(1, "fCompSettings");
  fCompSettings.Display();
  MCComponentDisplay::DisplayText(1, "fpAlgorithm");
  if (fpAlgorithm) fpAlgorithm->Display();
  MCComponentDisplay::DisplayText(1, "fpOutputStats");
  if (fpOutputStats) fpOutputStats->Display();
  MCComponentDisplay::DisplayText(1, "MCLogComponent display end");
}

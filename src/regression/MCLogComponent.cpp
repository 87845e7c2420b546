#include "MCLogComponent.h"

#include "MCComponentDisplay.h"
#include "MCLogAlgorithm.h"
#include "MCLogOutputStats.h"
#include "MCRegLimits.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;

MCLogComponent::MCLogComponent(const MCLogRegSettings& settings)
    : fCompSettings(settings), fStatus(fCompSettings.IsValidSettings()) {
  if (fStatus.IsError()) return;
  fStatus = MCRegLimits::Guarded([this] {
    fpAlgorithm = std::make_unique<MCLogAlgorithm>(&fCompSettings);
    return fStatus;
  });
}

MCLogComponent::~MCLogComponent() = default;

MCConst::MCRegModelType MCLogComponent::GetModelType() { return MCConst::kLogisticModel; }

MCStatus MCLogComponent::CreateParameters(MCCommon::MultiPassRecordIter& data,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  return MCRegLimits::Guarded([&] {
    MCSingleStreamRunner runner(fCompSettings, data, fpAlgorithm->GetCancelInfo());
    return CreateParameters(runner, parameters);
  });
}

MCStatus MCLogComponent::CreateParameters(MCPassRunner& runner,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  const MCStatus result =
      MCRegLimits::Guarded([&] { return fpAlgorithm->CreateParameters(runner, parameters); });
  // A refused repeat leaves the component (and the model it may have built) as it was.
  if (result.IsError() && result.GetErrorCode() == 306) return result;
  fStatus = result;
  return result;
}

MCStatus MCLogComponent::BuildModel(MCCommon::MultiPassRecordIter& data) {
  if (fStatus.IsError()) return fStatus;
  return MCRegLimits::Guarded([&] {
    MCSingleStreamRunner runner(fCompSettings, data, fpAlgorithm->GetCancelInfo());
    return BuildModel(runner);
  });
}

MCStatus MCLogComponent::BuildModel(MCPassRunner& runner) {
  if (fStatus.IsError()) return fStatus;
  if (!fpAlgorithm->AreParametersCreated() && !fpAlgorithm->IsModelBuilt()) {
    std::vector<MCRegrParameter> scratch;
    const MCStatus created = CreateParameters(runner, scratch);
    if (created.IsError()) return created;
  }
  if (fpAlgorithm->IsModelBuilt()) return MCStatus(310, false);
  const MCStatus result = MCRegLimits::Guarded([&] { return fpAlgorithm->BuildModel(runner); });
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
  // Statistics that cannot be made leave the model as it is.
  const MCStatus result = MCRegLimits::Guarded([this] {
    if (!fpOutputStats) {
      fpOutputStats = std::make_unique<MCLogOutputStats>(fCompSettings, fpAlgorithm.get());
    }
    return fStatus;
  });
  if (!result.IsError()) stats = fpOutputStats.get();
  return result;
}

MCStatus MCLogComponent::Score(const MCCommon::Record& record, double& prediction,
                               std::vector<double>& probabilities) const {
  if (fStatus.IsError()) return fStatus;
  int category = -1;
  const MCStatus result =
      MCRegLimits::Guarded([&] { return fpAlgorithm->Score(record, category, probabilities); });
  prediction = category;
  return result;
}

void MCLogComponent::Cancel() {
  if (fpAlgorithm) fpAlgorithm->Cancel();
  if (fpOutputStats) fpOutputStats->Cancel();
}

std::vector<MCStatus> MCLogComponent::GetWarnings() {
  if (!fpAlgorithm) return {};
  try {
    return fpAlgorithm->GetWarnings();
  } catch (...) {
    return {};  // a copy that cannot be made: nothing may reach the host
  }
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

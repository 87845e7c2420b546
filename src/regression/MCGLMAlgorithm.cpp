#include "MCGLMAlgorithm.h"

#include <algorithm>

#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MCModelEffect.h"

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
      fFactorTables(settings->GetFactors(), settings->GetFactorSizes(),
                    settings->GetFrequencyWeightVar(), -1, 0, 0, -1, 0.0, MCConst::kNoOffset),
      fModel(settings, &fCancelInfo) {
  fFactorTables.SetRegrWeightVar(settings->GetRegrWeightVar());
}

MCGLMAlgorithm::~MCGLMAlgorithm() = default;

void MCGLMAlgorithm::AddWarning(const MCStatus& status) {
  if (std::find(fvWarnings.begin(), fvWarnings.end(), status) == fvWarnings.end()) {
    fvWarnings.push_back(status);
  }
}

template <typename OnValid>
MCStatus MCGLMAlgorithm::RunPass(MultiPassRecordIter& data, OnValid onValid) {
  data.NewPass();
  MCStatus status;
  while (data.HasMore()) {
    if (fCancelInfo.WillCancel()) break;
    const Record* record = data.Next();
    if (record == nullptr) return Error(312);
    MCStatus check = fStatus;
    if (!fValidator.IsValidRecord(*record, check)) {
      if (check.IsError()) {  // 315 or 316
        // The failing position and value travel with the status into the warnings.
        AddWarning(check);
        return check;
      }
      continue;
    }
    status = onValid(*record);
    if (status.IsError()) return status;
  }
  if (fCancelInfo.WillCancel()) return Error(1);
  return status;
}

MCStatus MCGLMAlgorithm::ProcessData(MultiPassRecordIter& data) {
  // A repeat is refused before the source is touched: whatever the source, it must not cost
  // the tables (or a model built from them).
  if (fbDataProcessed) return Error(306);
  data.NewPass();
  if (!data.HasMore()) return Error(307);

  // Every effect's factors in the order of a parameter set up from it, the intercept first.
  const std::vector<MCModelEffect>& effects = fpSettings->GetModelEffects();
  std::vector<std::vector<int>> effectFactors;
  if (fpSettings->GetInterceptUse()) effectFactors.emplace_back();
  for (int j = 0; j < static_cast<int>(effects.size()); ++j) {
    MCRegrParameter parameter;
    parameter.SetupFromEffect(effects[j], j, 0);
    effectFactors.push_back(parameter.GetFactors());
  }
  // An effect naming a factor the settings do not declare: the settings describe no model.
  if (!fFactorTables.SetModelEffectFactors(effectFactors, fpSettings->GetFactors())) {
    fStatus = Error(302);
    return fStatus;
  }
  // The dependent rides along with the covariates so that its mean comes out with theirs.
  std::vector<int> meanPositions = fpSettings->GetCovariates();
  meanPositions.push_back(fpSettings->GetDependent());
  fFactorTables.SetCovariates(meanPositions);

  fRecordCount = 0;
  fValidCount = 0;
  // The pass was started above: it counts every record read, valid or not.
  MCStatus status;
  while (data.HasMore()) {
    if (fCancelInfo.WillCancel()) break;
    const Record* record = data.Next();
    if (record == nullptr) {
      status = Error(312);
      break;
    }
    ++fRecordCount;
    MCStatus check = fStatus;
    if (!fValidator.IsValidRecord(*record, check)) {
      if (check.IsError()) {  // 315 or 316
        AddWarning(check);
        status = check;
        break;
      }
      continue;
    }
    fFactorTables.UpdateAll(*record);
    ++fValidCount;
  }
  const bool cancelled = fCancelInfo.WillCancel();
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
  if (!fModel.IsReady()) return Error(309);
  if (fModel.IsBuilt() || fbModelBuilt) return Error(310);
  fModel.SetMeanAndTotalWeight(fMeanValues.empty() ? 0.0 : fMeanValues.back(),
                               fFactorTables.GetTotalWeight());

  MCStatus status;
  if (!fbDataProcessed) status = Error(313);
  if (!status.IsError()) {
    status = RunPass(data, [this](const Record& record) {
      bool added = false;
      return fModel.AddToMatrix(record, added);
    });
  }
  if (!status.IsError()) status = fModel.Solve();
  if (!status.IsError()) {
    status = RunPass(data, [this](const Record& record) { return fModel.AddResidual(record); });
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

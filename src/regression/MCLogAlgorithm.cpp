#include "MCLogAlgorithm.h"

#include <algorithm>

#include "MCAccumStats.h"
#include "MCComponentDisplay.h"
#include "MCDataHandler.h"
#include "MCModelEffect.h"
#include "MCPatternTabulator.h"
#include "MCRegLimits.h"
#include "MCRegOptimizer.h"

using MCCommon::MCComponentDisplay;
using MCCommon::MCStatus;
using MCCommon::MultiPassRecordIter;
using MCCommon::Record;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

}  // namespace

MCLogAlgorithm::MCLogAlgorithm(const MCLogRegSettings* settings)
    : fpSettings(settings),
      fExtractor(settings->GetDependent(), settings->GetFactors(), settings->GetCovariates(),
                 settings->GetFrequencyWeightVar(), settings->GetRegrWeightVar()),
      fFactorTables(settings->GetFactors(), settings->GetFactorSizes(),
                    settings->GetFrequencyWeightVar(), settings->GetDependent(),
                    settings->GetDependentNCategs(), 0, -1, 0.0, MCConst::kNoOffset),
      fValidator(settings->GetVariableTypes(), settings->GetFactors(), settings->GetFactorSizes(),
                 settings->GetDependentNCategs()),
      fCancelInfo(settings->GetCancelPointer()),
      fModel(settings) {
  fFactorTables.SetRegrWeightVar(settings->GetRegrWeightVar());
}

MCLogAlgorithm::~MCLogAlgorithm() = default;

MCStatus MCLogAlgorithm::Keep(const MCStatus& status) {
  if (status.IsError()) {
    fStatus = status;
  } else if (status.IsWarning()) {
    AddWarning(status);
  }
  return status;
}

void MCLogAlgorithm::AddWarning(const MCStatus& status) {
  if (std::find(fvWarnings.begin(), fvWarnings.end(), status) == fvWarnings.end()) {
    fvWarnings.push_back(status);
  }
}

void MCLogAlgorithm::AddWarnings(const IMCDataHandler& handler) {
  for (const MCStatus& status : handler.GetWarnings()) AddWarning(status);
}

MCStatus MCLogAlgorithm::FillFactorTables(MultiPassRecordIter& data) {
  // A repeat is refused before the source is touched: whatever the source, it must not cost
  // the tables (or a model built from them).
  if (fbFactorTableFilled) return Error(306);
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
    return Error(302);
  }
  fFactorTables.SetCovariates(fpSettings->GetCovariates());

  MCStatus status;
  if (fpSettings->GetUsePatternTabulator()) {
    fPatternExtractor =
        std::make_unique<MCPatternTabulator>(*fpSettings, fExtractor, fCancelInfo, true);
    status = fPatternExtractor->TabulateFactors(data, fFactorTables);
    AddWarnings(*fPatternExtractor);
  } else {
    // The pass was started above.
    int valid = 0;
    while (data.HasMore()) {
      if (fCancelInfo.WillCancel()) break;
      const Record* record = data.Next();
      if (record == nullptr) {
        status = Error(312);
        break;
      }
      MCStatus check;
      if (!fValidator.IsValidRecord(*record, check)) {
        if (check.IsError()) {  // 315, 313 or 316, with the position and value attached
          AddWarning(check);
          status = check;
          break;
        }
        continue;
      }
      if (fFactorTables.UpdateAll(*record)) ++valid;
    }
    if (!status.IsError() && fCancelInfo.WillCancel()) status = Error(1);
    if (!status.IsError() && valid == 0) status = Error(307);
  }
  if (!status.IsError() && fFactorTables.HasFailedAllocation()) status = Error(305);
  if (status.IsError()) return status;
  fMeanValues = fFactorTables.GetCovariateMeans();
  fbFactorTableFilled = true;
  return status;
}

MCStatus MCLogAlgorithm::CreateParameters(MultiPassRecordIter& data,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  MCStatus status = FillFactorTables(data);
  // A refused repeat leaves the algorithm (and a model it may have built) as it was.
  if (status.IsError() && status.GetErrorCode() == 306) return status;
  Keep(status);
  if (status.IsError()) return status;
  if (fCancelInfo.WillCancel()) return Keep(Error(1));
  if (!fbFactorTableFilled) return Keep(Error(309));
  if (fbModelBuilt) return Keep(Error(310));

  fModel.SetPositions(fExtractor);
  status = Keep(fModel.SetDependentCategories(fFactorTables));
  if (status.IsError()) return status;
  const MCStatus created = Keep(fModel.CreateParameters(&fFactorTables));
  if (created.IsError()) return created;

  const std::vector<MCRegrParameter>& list = fModel.GetParameters();
  if (!list.empty()) {
    parameters = list;
    fbParametersCreated = true;
  }
  return status;
}

MCStatus MCLogAlgorithm::AddRecordsToModel(MultiPassRecordIter& data) {
  MCStatus status;
  if (fPatternExtractor) {
    data.NewPass();
    status = fPatternExtractor->CreateRowPatterns(data, fFactorTables, fModel);
    AddWarnings(*fPatternExtractor);
    if (!status.IsError()) status = fPatternExtractor->AddPatternsToModel(fModel);
    return status;
  }
  data.NewPass();
  while (data.HasMore()) {
    if (fCancelInfo.WillCancel()) break;
    const Record* record = data.Next();
    if (record == nullptr) return Error(312);
    MCStatus check;
    if (!fValidator.IsValidRecord(*record, check)) {
      if (check.IsError()) {
        AddWarning(check);
        return check;
      }
      continue;
    }
    bool added = false;
    status = fModel.AddRecord(*record, added);
    if (status.IsError()) return status;
  }
  if (fCancelInfo.WillCancel()) return Error(1);
  data.NewPass();
  return status;
}

MCStatus MCLogAlgorithm::BuildModel(MultiPassRecordIter& data) {
  if (fStatus.IsError()) return fStatus;
  if (!fbFactorTableFilled || !fbParametersCreated) return Keep(Error(309));
  if (fbModelBuilt) return Error(310);

  MCStatus status = Keep(AddRecordsToModel(data));
  if (!status.IsError() && fCancelInfo.WillCancel()) status = Keep(Error(1));
  if (!status.IsError()) status = Keep(fModel.FindRedundancy(&fCancelInfo));
  if (!status.IsError()) status = Keep(fModel.ComputeStartValues(fvEstimParams));
  if (!status.IsError()) {
    const int K = fModel.GetNDependentCategories();
    const int p = fModel.GetNBasicNonRed();
    // What the estimation holds at once: the accumulator's sums, the factor of the information
    // and its inverse, and that inverse expanded over all parameters; refused before any of it
    // is allocated when it cannot be held.
    const double bytes = MCAccumStatsLogistic::RequiredBytes(p, K) +
                         MCRegOptimizer::RequiredBytes(fModel.GetNEstimatedParameters()) +
                         8.0 * MCRegLimits::PackedSize(fModel.GetNAll());
    std::unique_ptr<MCAccumStatsLogistic> accumulator;
    if (MCRegLimits::FitsInMemory(bytes)) {
      accumulator = std::make_unique<MCAccumStatsLogistic>(*fpSettings, p, K, fvEstimParams);
    }
    if (!accumulator || !accumulator->IsValid()) {
      MCStatus invalid = Error(305);
      invalid.SetDiscreteDatum(0, static_cast<long>(fvEstimParams.size()));
      status = Keep(invalid);
    } else {
      fpAccumulator = std::move(accumulator);
    }
  }
  if (!status.IsError()) {
    IMCDataHandler* handler = fPatternExtractor.get();
    if (handler == nullptr) {
      fpRecordHandler = std::make_unique<MCRecordIterHandler>(
          data, fCancelInfo, fValidator, fpSettings->GetDependent(),
          fpSettings->GetFrequencyWeightVar(), fpSettings->GetRegrWeightVar());
      handler = fpRecordHandler.get();
    }
    fpEstimator = std::make_unique<MCRegOptimizer>(
        *fpSettings, &fModel, handler, fpAccumulator.get(), &fvEstimParams,
        fpSettings->GetProgressListener(), fpSettings->GetIterationFrequency(),
        MCConst::kNewtonRaphson, 0, &fCancelInfo);
    fModel.SetTotals(fFactorTables.GetTotalWeight(), fFactorTables.GetSampleSize());
    status = Keep(fpEstimator->Estimate());
    AddWarnings(*handler);
    // The sums have served; free them before the inverse is expanded.
    fpAccumulator.reset();
    if (!status.IsError()) {
      status = Keep(fModel.StoreEstimates(fvEstimParams, fpEstimator->GetHessian()));
      fpEstimator->ReleaseHessian();
    }
  }
  fpAccumulator.reset();
  fPatternExtractor.reset();
  fpRecordHandler.reset();
  fModel.FreeXPrimeX();

  if (status.IsError()) return status;
  fbModelBuilt = true;
  if (!fvWarnings.empty()) return fvWarnings.back();
  return status;
}

MCStatus MCLogAlgorithm::Score(const Record& record, int& category,
                               std::vector<double>& probabilities) const {
  category = -1;
  if (fStatus.IsError()) return fStatus;
  if (fCancelInfo.WillCancel()) return Error(1);
  if (!fbModelBuilt) return Error(311);
  MCStatus check;
  if (!fValidator.IsValid4Scoring(record, check)) {
    probabilities.assign(static_cast<std::size_t>(fModel.GetNDependentCategories()),
                         MCMV::kMissing);
    return check;
  }
  category = fModel.Score(record, probabilities);
  return MCStatus();
}

void MCLogAlgorithm::Display() const {
  MCComponentDisplay::DisplayText(1, "MCLogAlgorithm display start");
  MCComponentDisplay::DisplayText(1, "Record Extractor");
  fExtractor.Display();
  MCComponentDisplay::DisplayText(1, "fFactorTables");
  fFactorTables.Display();
  MCComponentDisplay::DisplayText(1, "Record Validator");
  fValidator.Display();
  if (fPatternExtractor) {
    MCComponentDisplay::DisplayText(1, "fPatternExtractor");
    fPatternExtractor->Display();
  }
  MCComponentDisplay::DisplayDV("fMeanValues", fMeanValues);
  MCComponentDisplay::DisplayText(1, "fModel");
  fModel.Display();
  if (fpEstimator) fpEstimator->Display();
  MCComponentDisplay::DisplayB("fbFactorTableFilled", fbFactorTableFilled);
  MCComponentDisplay::DisplayB("Parameters created", fbParametersCreated);
  MCComponentDisplay::DisplayB("fbModelBuilt", fbModelBuilt);
  MCComponentDisplay::DisplayText(1, "MCLogAlgorithm display end");
}

#include "MCLogAlgorithm.h"

#include <algorithm>
#include <utility>
#include <variant>

#include "MCAccumStats.h"
#include "MCComponentDisplay.h"
#include "MCDataHandler.h"
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
      fFactorTables(FirstPassTables(*settings)),
      fValidator(settings->GetVariableTypes(), settings->GetFactors(), settings->GetFactorSizes(),
                 settings->GetDependentNCategs()),
      fCancelInfo(settings->GetCancelPointer()),
      fModel(settings),
      fFingerprint(MCPartCodec::Fingerprint(*settings)) {}

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

MCPassPlan MCLogAlgorithm::MakePlan(MCPassKind kind) const {
  MCPassPlan plan;
  MCPassPlan::Impl& p = plan.GetImpl();
  p.fModel = MCConst::kLogisticModel;
  p.fKind = kind;
  p.fFingerprint = fFingerprint;
  if (kind != MCPassKind::kFirstPass) p.fpFirstPass = fpFirstPass;
  p.fExpectedRows = fNTabulated;
  return plan;
}

MCStatus MCLogAlgorithm::RunPass(MCPassRunner& runner, const MCPassPlan& plan,
                                 MCPartialStats& merged) {
  const MCStatus status = RunPlannedPass(runner, plan, merged);
  for (const MCStatus& warning : merged.GetImpl().fOutcome.fvWarnings) AddWarning(warning);
  return status;
}

namespace {

// The estimation's data handler: every pass is a plan of an iteration at the accumulator's
// parameters, run by the runner; the merged parts become the accumulator's sums.
class RunnerHandler : public IMCDataHandler {
 public:
  // base: a plan with the model, the settings' fingerprint, the first pass and the
  // non-redundant parameters.
  RunnerHandler(MCPassRunner& runner, MCPassPlan base) : fRunner(runner), fPlan(std::move(base)) {
    fPlan.GetImpl().fKind = MCPassKind::kLogitIteration;
  }

  void SetStatsModel(IMCAccumStats* stats, const IMCRegModel* /*model*/) override {
    fpStats = dynamic_cast<MCAccumStatsLogistic*>(stats);
  }
  void ResetAccumStats(MCConst::MCEstimationMethod method, bool separationCheck) override {
    MCPassPlan::Impl& plan = fPlan.GetImpl();
    plan.fMethod = method;
    plan.fbSeparation = separationCheck;
    if (fpStats != nullptr) fpStats->Reset(method, separationCheck);
  }
  void CleanStatsModel() override { fpStats = nullptr; }
  MCStatus ComputeStatsForOptimizer(bool llOnly) override {
    if (fpStats == nullptr) return Error(303);
    MCPassPlan::Impl& plan = fPlan.GetImpl();
    plan.fvValues = fpStats->GetParameters();
    const std::vector<double>* base = fpStats->GetLLBase();
    plan.fbHasBase = base != nullptr && base->size() == plan.fvValues.size();
    plan.fvBase = plan.fbHasBase ? *base : std::vector<double>();
    plan.fBaseLL = plan.fbHasBase ? fpStats->GetBaseLL() : MCCommonMath::ddkernels::DD();
    plan.fbLLOnly = llOnly;
    MCPartialStats merged;
    MCStatus status = RunPlannedPass(fRunner, fPlan, merged);
    for (const MCStatus& warning : merged.GetImpl().fOutcome.fvWarnings) {
      if (std::find(fvWarnings.begin(), fvWarnings.end(), warning) == fvWarnings.end()) {
        fvWarnings.push_back(warning);
      }
    }
    auto* sums = std::get_if<MCLogitSums>(&merged.GetImpl().fData);
    if (!status.IsError() && sums != nullptr && !fpStats->AdoptSums(std::move(*sums))) {
      status = MCPartCodec::Refused(MCPartCodec::kShape);
    }
    return status;
  }
  const std::vector<MCStatus>& GetWarnings() const override { return fvWarnings; }
  void Display() const override {}

 private:
  MCPassRunner& fRunner;
  MCPassPlan fPlan;
  MCAccumStatsLogistic* fpStats = nullptr;
  std::vector<MCStatus> fvWarnings;
};

}  // namespace

MCStatus MCLogAlgorithm::FillFactorTables(MCPassRunner& runner) {
  // A repeat is refused before the source is touched: whatever the source, it must not cost
  // the tables (or a model built from them).
  if (fbFactorTableFilled) return Error(306);
  MCPartialStats merged;
  MCStatus status = RunPass(runner, MakePlan(MCPassKind::kFirstPass), merged);
  // No record at all (every part empty).
  if (!status.IsError() && ReadNothing(merged)) return Error(307);
  if (MCFirstPassData* first = FirstPassOf(*fpSettings, merged)) {
    fNTabulated = first->fNTabulated;
    fpFirstPass = std::make_shared<const MCFirstPassData>(*first);
    fFactorTables = std::move(first->fTables);
  } else if (!status.IsError()) {
    status = MCPartCodec::Refused(MCPartCodec::kShape);
  }
  const bool cancelled = merged.GetImpl().fOutcome.fbCancelled || fCancelInfo.WillCancel();
  if (fpSettings->GetUsePatternTabulator()) {
    status = MCPatternFactorPassStatus(status, fNTabulated, fFactorTables, cancelled);
  } else {
    if (!status.IsError() && cancelled) status = Error(1);
    if (!status.IsError() && fNTabulated == 0) status = Error(307);
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
  MCSingleStreamRunner runner(*fpSettings, data, fCancelInfo);
  return CreateParameters(runner, parameters);
}

MCStatus MCLogAlgorithm::CreateParameters(MCPassRunner& runner,
                                          std::vector<MCRegrParameter>& parameters) {
  if (fStatus.IsError()) return fStatus;
  MCStatus status = FillFactorTables(runner);
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

MCStatus MCLogAlgorithm::AddRecordsToModel(MCPassRunner& runner) {
  MCPartialStats merged;
  MCStatus status = RunPass(runner, MakePlan(MCPassKind::kLogitCrossProducts), merged);
  if (status.IsError()) return status;
  auto* part = std::get_if<MCLogitCrossProductData>(&merged.GetImpl().fData);
  const bool none = part == nullptr || part->fNAdded == 0;
  if (part != nullptr) status = fModel.AdoptCrossProducts(std::move(*part));
  if (status.IsError()) return status;
  // With patterns, a pass that stores no row has nothing to estimate from.
  if (fpSettings->GetUsePatternTabulator() && none) return Error(307);
  if (merged.GetImpl().fOutcome.fbCancelled) return Error(1);
  return status;
}

MCStatus MCLogAlgorithm::BuildModel(MultiPassRecordIter& data) {
  if (fStatus.IsError()) return fStatus;
  MCSingleStreamRunner runner(*fpSettings, data, fCancelInfo);
  return BuildModel(runner);
}

MCStatus MCLogAlgorithm::BuildModel(MCPassRunner& runner) {
  if (fStatus.IsError()) return fStatus;
  if (!fbFactorTableFilled || !fbParametersCreated) return Keep(Error(309));
  if (fbModelBuilt) return Error(310);

  MCStatus status = Keep(AddRecordsToModel(runner));
  if (!status.IsError() && fCancelInfo.WillCancel()) status = Keep(Error(1));
  if (!status.IsError()) status = Keep(fModel.FindRedundancy(&fCancelInfo));
  if (!status.IsError()) status = Keep(fModel.ComputeStartValues(fvEstimParams));
  std::unique_ptr<MCAccumStatsLogistic> accumulator;
  if (!status.IsError()) {
    const int K = fModel.GetNDependentCategories();
    const int p = fModel.GetNBasicNonRed();
    // What the estimation holds at once: the accumulator's sums, the factor of the information
    // and its inverse, and that inverse expanded over all parameters; refused before any of it
    // is allocated when it cannot be held.
    const double bytes = MCAccumStatsLogistic::RequiredBytes(p, K) +
                         MCRegOptimizer::RequiredBytes(fModel.GetNEstimatedParameters()) +
                         8.0 * MCRegLimits::PackedSize(fModel.GetNAll());
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
    MCPassPlan base = MakePlan(MCPassKind::kLogitIteration);
    const MCCommonMath::MCBitSet& kept = fModel.GetBasicRedundancy();
    base.GetImpl().fvNonRedundant.resize(static_cast<std::size_t>(fModel.GetNBasic()));
    for (int k = 0; k < fModel.GetNBasic(); ++k) {
      base.GetImpl().fvNonRedundant[static_cast<std::size_t>(k)] = kept.IsIn(k) ? 1 : 0;
    }
    RunnerHandler handler(runner, std::move(base));
    fpEstimator = std::make_unique<MCRegOptimizer>(
        *fpSettings, &fModel, &handler, fpAccumulator.get(), &fvEstimParams,
        fpSettings->GetProgressListener(), fpSettings->GetIterationFrequency(),
        MCConst::kNewtonRaphson, 0, &fCancelInfo);
    fModel.SetTotals(fFactorTables.GetTotalWeight(), fFactorTables.GetSampleSize());
    status = Keep(fpEstimator->Estimate());
    AddWarnings(handler);
    // The sums have served; free them before the inverse is expanded.
    fpAccumulator.reset();
    if (!status.IsError()) {
      status = Keep(fModel.StoreEstimates(fvEstimParams, fpEstimator->GetHessian()));
      fpEstimator->ReleaseHessian();
    }
  }
  fpAccumulator.reset();
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
  MCComponentDisplay::DisplayDV("fMeanValues", fMeanValues);
  MCComponentDisplay::DisplayText(1, "fModel");
  fModel.Display();
  if (fpEstimator) fpEstimator->Display();
  MCComponentDisplay::DisplayB("fbFactorTableFilled", fbFactorTableFilled);
  MCComponentDisplay::DisplayB("Parameters created", fbParametersCreated);
  MCComponentDisplay::DisplayB("fbModelBuilt", fbModelBuilt);
  MCComponentDisplay::DisplayText(1, "MCLogAlgorithm display end");
}

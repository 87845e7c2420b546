#include <algorithm>
#include <memory>
#include <utility>
#include <variant>

#include "MCAccumStats.h"
#include "MCDataHandler.h"
#include "MCGLMAlgorithm.h"
#include "MCLogAlgorithm.h"
#include "MCLogRegSettings.h"
#include "MCPartialStats.h"
#include "MCPassData.h"
#include "MCPatternTabulator.h"
#include "MCRegLimits.h"

using MCCommon::MCStatus;
using MCCommon::MultiPassRecordIter;
using MCCommon::Record;

namespace {

MCStatus Error(long code) { return MCStatus(code, false); }

}  // namespace

// The worker's state: the settings' view of the records, and the design of the fit it serves,
// rebuilt from a plan's first pass when the plan brings another one.
class MCPartWorker::Impl {
 public:
  Impl(const MCRegSettings& settings, MCCommon::MCQueryCancel* cancel)
      : fSettings(settings),
        fpLogSettings(dynamic_cast<const MCLogRegSettings*>(&settings)),
        fOwnCancel(cancel != nullptr ? cancel : settings.GetCancelPointer()),
        fValidator(settings.GetVariableTypes(), settings.GetFactors(), settings.GetFactorSizes(),
                   fpLogSettings ? fpLogSettings->GetDependentNCategs() : 0),
        fExtractor(settings.GetDependent(), settings.GetFactors(), settings.GetCovariates(),
                   settings.GetFrequencyWeightVar(), settings.GetRegrWeightVar()),
        fFingerprint(MCPartCodec::Fingerprint(settings)) {
    fSettingsStatus = settings.IsValidSettings();
  }

  // The holder asked before every record (the algorithm's, for one stream).
  void SetCancelHolder(const MCCommon::MCCancelInfo* cancel) {
    fpCancel = cancel != nullptr ? cancel : &fOwnCancel;
  }

  MCStatus Fill(const MCPassPlan::Impl& plan, MultiPassRecordIter& records,
                MCPartialStats::Impl& part);
  MCStatus Predict(const Record& record, double& prediction) const;

 private:
  MCConst::MCRegModelType Model() const {
    return fpLogSettings != nullptr ? MCConst::kLogisticModel : MCConst::kLinearModel;
  }
  MCPassOutcome FirstPass(MultiPassRecordIter& records, MCFirstPassData& data);
  // The tables and the model of the plan's first pass (made anew when fresh, or for another
  // first pass); the parameters set up.
  MCStatus Design(const MCPassPlan::Impl& plan, bool fresh);
  MCPassOutcome LinearPass(const MCPassPlan::Impl& plan, MultiPassRecordIter& records,
                           MCPartialStats::Impl::Data& data);
  MCPassOutcome LogitCrossProducts(const MCPassPlan::Impl& plan, MultiPassRecordIter& records,
                                   MCLogitCrossProductData& data);
  MCPassOutcome LogitIteration(const MCPassPlan::Impl& plan, MultiPassRecordIter& records,
                               MCLogitSums& data);

  const MCRegSettings& fSettings;
  const MCLogRegSettings* fpLogSettings = nullptr;
  MCCommon::MCCancelInfo fOwnCancel;
  const MCCommon::MCCancelInfo* fpCancel = &fOwnCancel;
  MCRegRecordValidator fValidator;
  MCRecordExtractor fExtractor;
  std::uint32_t fFingerprint = 0;
  MCStatus fSettingsStatus;

  // The design: the first pass it comes from, its tables and its model.
  std::shared_ptr<const MCFirstPassData> fpSource;
  std::unique_ptr<MCFactorTables> fpTables;
  std::unique_ptr<MCGLMModel> fpLinear;
  std::unique_ptr<MCLogModel> fpLogit;
  // The non-redundant basic parameters the logistic model was given.
  std::vector<std::uint8_t> fvNonRedundant;
  // With covariate patterns: the rows of this part, grouped, from its X'X pass.
  std::unique_ptr<MCPatternTabulator> fpPatterns;
  // Records this worker's last first pass tabulated (the rows its pattern table may expect).
  std::int64_t fNTabulated = 0;
  // The accumulator of the iterations and the parameters it reads.
  std::vector<double> fvParameters;
  std::vector<double> fvBase;
  std::unique_ptr<MCAccumStatsLogistic> fpAccumulator;
};

MCStatus MCPartWorker::Impl::Fill(const MCPassPlan::Impl& plan, MultiPassRecordIter& records,
                                  MCPartialStats::Impl& part) {
  part = MCPartialStats::Impl();
  if (fSettingsStatus.IsError()) return fSettingsStatus;
  if (plan.fModel != Model() || plan.fKind == MCPassKind::kNone) {
    return MCPartCodec::Refused(MCPartCodec::kKind);
  }
  if (plan.fFingerprint != fFingerprint) return MCPartCodec::Refused(MCPartCodec::kSettings);
  part.fModel = plan.fModel;
  part.fKind = plan.fKind;
  part.fFingerprint = plan.fFingerprint;
  switch (plan.fKind) {
    case MCPassKind::kFirstPass: {
      MCFirstPassData data{0, 0, 0, FirstPassTables(fSettings)};
      part.fOutcome = FirstPass(records, data);
      part.fData = std::move(data);
      break;
    }
    case MCPassKind::kCrossProducts:
    case MCPassKind::kResiduals:
      part.fOutcome = LinearPass(plan, records, part.fData);
      break;
    case MCPassKind::kLogitCrossProducts: {
      MCLogitCrossProductData data;
      part.fOutcome = LogitCrossProducts(plan, records, data);
      part.fData = std::move(data);
      break;
    }
    default: {
      MCLogitSums data;
      part.fOutcome = LogitIteration(plan, records, data);
      part.fData = std::move(data);
      break;
    }
  }
  return part.fOutcome.fStatus;
}

MCPassOutcome MCPartWorker::Impl::FirstPass(MultiPassRecordIter& records, MCFirstPassData& data) {
  MCPassOutcome outcome;
  records.NewPass();
  const MCStatus layout = SetFirstPassLayout(fSettings, data.fTables);
  // A part without records adds nothing (not even the refusal of the settings' effects): its
  // tables merge with those of every other part.
  if (!records.HasMore()) return outcome;
  outcome.fStatus = layout;
  if (outcome.fStatus.IsError()) return outcome;
  outcome = TabulateRecords(records, fValidator, data.fTables, *fpCancel, data);
  fNTabulated = data.fNTabulated;
  return outcome;
}

MCStatus MCPartWorker::Impl::Design(const MCPassPlan::Impl& plan, bool fresh) {
  if (!plan.fpFirstPass) return MCPartCodec::Refused(MCPartCodec::kContent);
  if (!fresh && plan.fpFirstPass == fpSource && (fpLinear || fpLogit)) return MCStatus();
  // Tables of another layout than the settings' cannot come from these settings.
  MCFactorTables expected = FirstPassTables(fSettings);
  if (SetFirstPassLayout(fSettings, expected).IsError() ||
      !plan.fpFirstPass->fTables.SameLayout(expected)) {
    return MCPartCodec::Refused(MCPartCodec::kShape);
  }
  fpLinear.reset();
  fpLogit.reset();
  fpPatterns.reset();
  fpAccumulator.reset();
  fvNonRedundant.clear();
  fpSource = plan.fpFirstPass;
  fpTables = std::make_unique<MCFactorTables>(fpSource->fTables);
  if (fpLogSettings == nullptr) {
    fpLinear = std::make_unique<MCGLMModel>(&fSettings, fpCancel);
    const MCStatus status = fpLinear->SetupParameters(fpTables.get());
    if (status.IsError()) {
      fpLinear.reset();
      return status;
    }
    const std::vector<double>& means = fpTables->GetCovariateMeans();
    fpLinear->SetMeanAndTotalWeight(means.empty() ? 0.0 : means.back(), fpTables->GetTotalWeight());
    return MCStatus();
  }
  fpLogit = std::make_unique<MCLogModel>(fpLogSettings);
  fpLogit->SetPositions(fExtractor);
  MCStatus status = fpLogit->SetDependentCategories(*fpTables);
  if (!status.IsError()) status = fpLogit->CreateParameters(fpTables.get());
  if (status.IsError()) fpLogit.reset();
  return status.IsError() ? status : MCStatus();
}

MCPassOutcome MCPartWorker::Impl::LinearPass(const MCPassPlan::Impl& plan,
                                             MultiPassRecordIter& records,
                                             MCPartialStats::Impl::Data& data) {
  MCPassOutcome outcome;
  // The cross products start from a model of their own; the residuals may follow them.
  outcome.fStatus = Design(plan, plan.fKind == MCPassKind::kCrossProducts);
  if (outcome.fStatus.IsError()) return outcome;
  MCGLMModel& model = *fpLinear;
  if (plan.fKind == MCPassKind::kCrossProducts) {
    outcome = RunRecords(records, fValidator, *fpCancel, [&model](const Record& record) {
      bool added = false;
      return model.AddToMatrix(record, added);
    });
    MCCrossProductData part;
    model.TakeCrossProducts(part);
    data = std::move(part);
    return outcome;
  }
  outcome.fStatus = model.SetEstimates(plan.fvValues);
  if (outcome.fStatus.IsError()) return outcome;
  outcome = RunRecords(records, fValidator, *fpCancel,
                       [&model](const Record& record) { return model.AddResidual(record); });
  MCResidualData part;
  model.TakeResiduals(part);
  data = std::move(part);
  return outcome;
}

MCPassOutcome MCPartWorker::Impl::LogitCrossProducts(const MCPassPlan::Impl& plan,
                                                     MultiPassRecordIter& records,
                                                     MCLogitCrossProductData& data) {
  MCPassOutcome outcome;
  outcome.fStatus = Design(plan, true);
  if (outcome.fStatus.IsError()) return outcome;
  MCLogModel& model = *fpLogit;
  if (fpLogSettings->GetUsePatternTabulator()) {
    // The part's rows are kept pattern by pattern for its iterations.
    fpPatterns = std::make_unique<MCPatternTabulator>(*fpLogSettings, fExtractor, *fpCancel, true);
    fpPatterns->ExpectRows(fNTabulated > 0 ? fNTabulated : plan.fExpectedRows);
    outcome.fStatus = fpPatterns->StoreRowPatterns(records, *fpTables, model);
    for (const MCStatus& warning : fpPatterns->GetWarnings()) outcome.AddWarning(warning);
    if (!outcome.fStatus.IsError()) outcome.fStatus = fpPatterns->AddPatternsToModel(model);
    outcome.fbCancelled = fpCancel->WillCancel();
  } else {
    outcome = RunRecords(records, fValidator, *fpCancel, [&model](const Record& record) {
      bool added = false;
      return model.AddRecord(record, added);
    });
    if (!outcome.fStatus.IsError()) records.NewPass();
  }
  model.TakeCrossProducts(data);
  return outcome;
}

MCPassOutcome MCPartWorker::Impl::LogitIteration(const MCPassPlan::Impl& plan,
                                                 MultiPassRecordIter& records, MCLogitSums& data) {
  MCPassOutcome outcome;
  outcome.fStatus = Design(plan, false);
  if (outcome.fStatus.IsError()) return outcome;
  MCLogModel& model = *fpLogit;
  if (plan.fvNonRedundant != fvNonRedundant) {
    if (plan.fvNonRedundant.size() != static_cast<std::size_t>(model.GetNBasic())) {
      outcome.fStatus = MCPartCodec::Refused(MCPartCodec::kShape);
      return outcome;
    }
    MCCommonMath::MCBitSet kept(model.GetNBasic());
    for (int k = 0; k < model.GetNBasic(); ++k) kept.Set(k, plan.fvNonRedundant[k] != 0);
    model.SetRedundancy(kept);
    fvNonRedundant = plan.fvNonRedundant;
    fpAccumulator.reset();
  }
  const int p = model.GetNBasicNonRed();
  const int K = model.GetNDependentCategories();
  if (plan.fvValues.size() != static_cast<std::size_t>(K - 1) * static_cast<std::size_t>(p)) {
    outcome.fStatus = MCPartCodec::Refused(MCPartCodec::kShape);
    return outcome;
  }
  fvParameters = plan.fvValues;
  fvBase = plan.fvBase;
  if (!fpAccumulator) {
    fpAccumulator = std::make_unique<MCAccumStatsLogistic>(*fpLogSettings, p, K, fvParameters);
    if (!fpAccumulator->IsValid()) {
      fpAccumulator.reset();
      outcome.fStatus = Error(305);
      return outcome;
    }
  }
  MCAccumStatsLogistic& accumulator = *fpAccumulator;
  accumulator.SetLLBase(plan.fbHasBase ? &fvBase : nullptr, plan.fBaseLL);
  accumulator.Reset(plan.fMethod, plan.fbSeparation);
  // The part's pattern table when its X'X pass made one; its records otherwise (the sums are
  // the same either way).
  std::unique_ptr<MCRecordIterHandler> recordHandler;
  IMCDataHandler* handler = fpPatterns.get();
  if (handler == nullptr || !fpPatterns->AreRowPatternsCreated()) {
    recordHandler = std::make_unique<MCRecordIterHandler>(
        records, *fpCancel, fValidator, fSettings.GetDependent(), fSettings.GetFrequencyWeightVar(),
        fSettings.GetRegrWeightVar());
    handler = recordHandler.get();
  }
  handler->SetStatsModel(&accumulator, &model);
  outcome.fStatus = handler->ComputeStatsForOptimizer(plan.fbLLOnly);
  handler->CleanStatsModel();
  for (const MCStatus& warning : handler->GetWarnings()) outcome.AddWarning(warning);
  outcome.fbCancelled = fpCancel->WillCancel();
  accumulator.TakeSums(data);
  return outcome;
}

MCStatus MCPartWorker::Impl::Predict(const Record& record, double& prediction) const {
  if (!fpLinear || !fpLinear->IsBuilt()) return Error(303);
  prediction = fpLinear->Predict(record);
  return MCStatus();
}

// ---------------------------------------------------------------------------------------------

MCPartWorker::MCPartWorker(const MCRegSettings& settings, MCCommon::MCQueryCancel* cancel) noexcept
    : fSettings(settings), fpCancel(cancel) {}

MCPartWorker::~MCPartWorker() = default;

MCStatus MCPartWorker::Fill(const MCPassPlan& plan, MultiPassRecordIter& records,
                            MCPartialStats& part) {
  const MCStatus status =
      MCRegLimits::Guarded([&] { return GetImpl().Fill(plan.GetImpl(), records, part.GetImpl()); });
  // Out of memory: the part keeps the failure and no sums (which may miss records, be half
  // moved or never made); a part that could not be made at all stays empty.
  if (status.GetErrorCode() == 305 && !part.IsEmpty()) {
    part.GetImpl().fOutcome.fStatus = status;
    part.GetImpl().fData.emplace<std::monostate>();
  }
  return status;
}

MCStatus MCPartWorker::Predict(const Record& record, double& prediction) {
  return MCRegLimits::Guarded([&] { return GetImpl().Predict(record, prediction); });
}

MCPartWorker::Impl& MCPartWorker::GetImpl() {
  if (!fpImpl) fpImpl = std::make_unique<Impl>(fSettings, fpCancel);
  return *fpImpl;
}

// ---------------------------------------------------------------------------------------------

MCSingleStreamRunner::MCSingleStreamRunner(const MCRegSettings& settings,
                                           MCCommon::MultiPassRecordIter& data,
                                           const MCCommon::MCCancelInfo& cancel)
    : fData(data), fpWorker(std::make_unique<MCPartWorker>(settings)) {
  fpWorker->GetImpl().SetCancelHolder(&cancel);
}

MCSingleStreamRunner::~MCSingleStreamRunner() = default;

MCStatus MCSingleStreamRunner::RunPass(const MCPassPlan& plan, MCPartialStats& merged) {
  return fpWorker->Fill(plan, fData, merged);
}

#include "MCPartialStats.h"

#include <algorithm>
#include <exception>
#include <new>

#include "MCGLMAlgorithm.h"
#include "MCGLMComponent.h"
#include "MCLogComponent.h"
#include "MCLogRegSettings.h"
#include "MCModelEffect.h"
#include "MCPassData.h"
#include "MCRegLimits.h"
#include "MCRegrParameter.h"

using MCCommon::MCStatus;

// ---------------------------------------------------------------------------------------------
// MCPassOutcome

void MCPassOutcome::AddWarning(const MCStatus& status) {
  if (std::find(fvWarnings.begin(), fvWarnings.end(), status) == fvWarnings.end()) {
    fvWarnings.push_back(status);
  }
}

void MCPassOutcome::Merge(const MCPassOutcome& other) {
  if (fStatus.IsError()) return;
  fStatus = other.fStatus;
  for (const MCStatus& status : other.fvWarnings) AddWarning(status);
  fbCancelled = fbCancelled || other.fbCancelled;
}

std::int64_t MCPartialStats::Impl::Records() const {
  const auto* first = std::get_if<MCFirstPassData>(&fData);
  return first != nullptr ? first->fNRecords : 0;
}

// ---------------------------------------------------------------------------------------------
// The first pass's tables and record loop, shared by every first pass.

MCFactorTables FirstPassTables(const MCRegSettings& settings) {
  const auto* logistic = dynamic_cast<const MCLogRegSettings*>(&settings);
  MCFactorTables tables(settings.GetFactors(), settings.GetFactorSizes(),
                        settings.GetFrequencyWeightVar(), logistic ? settings.GetDependent() : -1,
                        logistic ? logistic->GetDependentNCategs() : 0, 0, -1, 0.0,
                        MCConst::kNoOffset);
  tables.SetRegrWeightVar(settings.GetRegrWeightVar());
  return tables;
}

MCStatus SetFirstPassLayout(const MCRegSettings& settings, MCFactorTables& tables) {
  const std::vector<MCModelEffect>& effects = settings.GetModelEffects();
  std::vector<std::vector<int>> effectFactors;
  if (settings.GetInterceptUse()) effectFactors.emplace_back();
  for (int j = 0; j < static_cast<int>(effects.size()); ++j) {
    MCRegrParameter parameter;
    parameter.SetupFromEffect(effects[j], j, 0);
    effectFactors.push_back(parameter.GetFactors());
  }
  // An effect naming a factor the settings do not declare: the settings describe no model.
  if (!tables.SetModelEffectFactors(effectFactors, settings.GetFactors())) {
    return MCStatus(302, false);
  }
  std::vector<int> meanPositions = settings.GetCovariates();
  // The linear model's dependent rides along with the covariates so that its mean comes out
  // with theirs.
  if (dynamic_cast<const MCLogRegSettings*>(&settings) == nullptr) {
    meanPositions.push_back(settings.GetDependent());
  }
  tables.SetCovariates(meanPositions);
  return MCStatus();
}

MCPassOutcome TabulateRecords(MCCommon::MultiPassRecordIter& data,
                              const MCRegRecordValidator& validator, MCFactorTables& tables,
                              const MCCommon::MCCancelInfo& cancel, MCFirstPassData& counts) {
  MCPassOutcome outcome;
  while (data.HasMore()) {
    if (cancel.WillCancel()) break;
    const MCCommon::Record* record = data.Next();
    if (record == nullptr) {
      outcome.fStatus = MCStatus(312, false);
      break;
    }
    ++counts.fNRecords;
    MCStatus check;
    if (!validator.IsValidRecord(*record, check)) {
      if (check.IsError()) {  // 315, 313 or 316, with the position and value attached
        outcome.AddWarning(check);
        outcome.fStatus = check;
        break;
      }
      continue;
    }
    ++counts.fNValid;
    if (tables.UpdateAll(*record)) ++counts.fNTabulated;
  }
  outcome.fbCancelled = cancel.WillCancel();
  return outcome;
}

// ---------------------------------------------------------------------------------------------
// MCPassPlan

// A missing state is the empty one: making or moving an object allocates nothing, and the
// state is made by the first (guarded) step that changes it.
namespace {

template <typename Impl>
std::unique_ptr<Impl> CopyOf(const std::unique_ptr<Impl>& impl) {
  return impl ? std::make_unique<Impl>(*impl) : nullptr;
}
template <typename Impl>
Impl& Made(std::unique_ptr<Impl>& impl) {
  if (!impl) impl = std::make_unique<Impl>();
  return *impl;
}
template <typename Impl>
const Impl& OrEmpty(const std::unique_ptr<Impl>& impl) {
  static const Impl empty;
  return impl ? *impl : empty;
}

}  // namespace

MCPassPlan::MCPassPlan() noexcept = default;
MCPassPlan::MCPassPlan(const MCPassPlan& other) : fpImpl(CopyOf(other.fpImpl)) {}
MCPassPlan& MCPassPlan::operator=(const MCPassPlan& other) {
  if (this != &other) fpImpl = CopyOf(other.fpImpl);
  return *this;
}
MCPassPlan::MCPassPlan(MCPassPlan&& other) noexcept = default;
MCPassPlan& MCPassPlan::operator=(MCPassPlan&& other) noexcept {
  fpImpl.swap(other.fpImpl);
  return *this;
}
MCPassPlan::~MCPassPlan() = default;

MCPassPlan::Impl& MCPassPlan::GetImpl() { return Made(fpImpl); }
const MCPassPlan::Impl& MCPassPlan::GetImpl() const { return OrEmpty(fpImpl); }
MCPassKind MCPassPlan::GetPassKind() const { return GetImpl().fKind; }
int MCPassPlan::GetModelType() const { return GetImpl().fModel; }

std::string MCPassPlan::ToBytes() const {
  try {
    return MCPartCodec::Write(GetImpl());
  } catch (const std::exception&) {
    return std::string();
  }
}

MCStatus MCPassPlan::FromBytes(const void* data, std::size_t size) {
  return MCRegLimits::Guarded([&] { return MCPartCodec::Read(data, size, GetImpl()); });
}

// ---------------------------------------------------------------------------------------------
// MCPartialStats

MCPartialStats::MCPartialStats() noexcept = default;
MCPartialStats::MCPartialStats(const MCPartialStats& other) : fpImpl(CopyOf(other.fpImpl)) {}
MCPartialStats& MCPartialStats::operator=(const MCPartialStats& other) {
  if (this != &other) fpImpl = CopyOf(other.fpImpl);
  return *this;
}
MCPartialStats::MCPartialStats(MCPartialStats&& other) noexcept = default;
MCPartialStats& MCPartialStats::operator=(MCPartialStats&& other) noexcept {
  fpImpl.swap(other.fpImpl);
  return *this;
}
MCPartialStats::~MCPartialStats() = default;

MCPartialStats::Impl& MCPartialStats::GetImpl() { return Made(fpImpl); }
const MCPartialStats::Impl& MCPartialStats::GetImpl() const { return OrEmpty(fpImpl); }
bool MCPartialStats::IsEmpty() const { return GetImpl().fKind == MCPassKind::kNone; }
MCPassKind MCPartialStats::GetPassKind() const { return GetImpl().fKind; }
int MCPartialStats::GetModelType() const { return GetImpl().fModel; }
MCStatus MCPartialStats::GetStatus() const { return GetImpl().fOutcome.fStatus; }
std::int64_t MCPartialStats::GetRecordCount() const { return GetImpl().Records(); }

namespace {

// Adds the data of other records to data of the same pass; false for another shape.
struct MergeData {
  const MCPartialStats::Impl::Data& fOther;

  bool operator()(std::monostate&) const { return true; }
  bool operator()(MCFirstPassData& d) const {
    const auto& o = std::get<MCFirstPassData>(fOther);
    if (!d.fTables.Merge(o.fTables)) return false;
    d.fNRecords += o.fNRecords;
    d.fNValid += o.fNValid;
    d.fNTabulated += o.fNTabulated;
    return true;
  }
  bool operator()(MCCrossProductData& d) const {
    const auto& o = std::get<MCCrossProductData>(fOther);
    if (d.fSums.Size() != o.fSums.Size()) return false;
    d.fSums.Merge(o.fSums);
    d.fNAdded += o.fNAdded;
    return true;
  }
  bool operator()(MCResidualData& d) const {
    const auto& o = std::get<MCResidualData>(fOther);
    if (d.fSums.Size() != o.fSums.Size()) return false;
    d.fSums.Merge(o.fSums);
    d.fNWeighted += o.fNWeighted;
    return true;
  }
  bool operator()(MCLogitCrossProductData& d) const {
    const auto& o = std::get<MCLogitCrossProductData>(fOther);
    if (d.fSums.Size() != o.fSums.Size() || d.fCategorySums.Size() != o.fCategorySums.Size()) {
      return false;
    }
    d.fSums.Merge(o.fSums);
    d.fCategorySums.Merge(o.fCategorySums);
    d.fNAdded += o.fNAdded;
    return true;
  }
  bool operator()(MCLogitSums& d) const { return d.Merge(std::get<MCLogitSums>(fOther)); }
};

}  // namespace

MCStatus MCPartialStats::Merge(const MCPartialStats& other) {
  const Impl& o = other.GetImpl();
  if (o.fKind == MCPassKind::kNone) return MCStatus();
  return MCRegLimits::Guarded([&] {
    Impl& d = GetImpl();
    if (d.fKind == MCPassKind::kNone) {
      d = o;
      return MCStatus();
    }
    if (d.fModel != o.fModel || d.fKind != o.fKind) return MCPartCodec::Refused(MCPartCodec::kKind);
    if (d.fFingerprint != o.fFingerprint) return MCPartCodec::Refused(MCPartCodec::kSettings);
    // A pass in one stream would have stopped at this part's error: what follows adds nothing.
    if (d.fOutcome.fStatus.IsError()) return MCStatus();
    // A part that ran out of memory ends the pass with its status alone (it keeps no sums).
    if (o.fOutcome.fStatus.IsError() && std::holds_alternative<std::monostate>(o.fData)) {
      d.fOutcome.Merge(o.fOutcome);
      return MCStatus();
    }
    if (d.fData.index() != o.fData.index()) return MCPartCodec::Refused(MCPartCodec::kShape);
    // Each merge checks the shapes before it adds anything, and adds without allocating (the
    // tables note a combination they cannot store as an allocation failure).
    if (!std::visit(MergeData{o.fData}, d.fData)) return MCPartCodec::Refused(MCPartCodec::kShape);
    d.fOutcome.Merge(o.fOutcome);
    return MCStatus();
  });
}

std::string MCPartialStats::ToBytes() const {
  try {
    return MCPartCodec::Write(GetImpl());
  } catch (const std::exception&) {
    return std::string();
  }
}

MCStatus MCPartialStats::FromBytes(const void* data, std::size_t size) {
  return MCRegLimits::Guarded([&] { return MCPartCodec::Read(data, size, GetImpl()); });
}

// ---------------------------------------------------------------------------------------------
// Runners

MCPassRunner::~MCPassRunner() = default;

bool ReadNothing(const MCPartialStats& merged) {
  const MCPartialStats::Impl& part = merged.GetImpl();
  const auto* first = std::get_if<MCFirstPassData>(&part.fData);
  return first == nullptr || (first->fNRecords == 0 && !part.fOutcome.fbCancelled);
}

MCFirstPassData* FirstPassOf(const MCRegSettings& settings, MCPartialStats& merged) {
  auto* first = std::get_if<MCFirstPassData>(&merged.GetImpl().fData);
  MCFactorTables expected = FirstPassTables(settings);
  if (first == nullptr || SetFirstPassLayout(settings, expected).IsError() ||
      !first->fTables.SameLayout(expected)) {
    return nullptr;
  }
  return first;
}

MCStatus RunPlannedPass(MCPassRunner& runner, const MCPassPlan& plan, MCPartialStats& merged) {
  MCStatus status;
  // The runner is the host's code: what it throws must not pass for a failed allocation of ours.
  try {
    status = runner.RunPass(plan, merged);
  } catch (const std::bad_alloc&) {
    return MCStatus(305, false);
  } catch (...) {
    return MCStatus(321, false);
  }
  if (status.IsError()) return status;
  const MCPartialStats::Impl& part = merged.GetImpl();
  const MCPassPlan::Impl& planned = plan.GetImpl();
  // No part at all is a pass over no records.
  if (part.fKind == MCPassKind::kNone) return MCStatus();
  if (part.fKind != planned.fKind || part.fModel != planned.fModel) {
    return MCPartCodec::Refused(MCPartCodec::kKind);
  }
  if (part.fFingerprint != planned.fFingerprint) {
    return MCPartCodec::Refused(MCPartCodec::kSettings);
  }
  return part.fOutcome.fStatus;
}

MCStatus MCBuildModelInParts(IMCRegComponent& component, MCPassRunner& runner) {
  if (auto* linear = dynamic_cast<MCGLMComponent*>(&component)) return linear->BuildModel(runner);
  if (auto* logistic = dynamic_cast<MCLogComponent*>(&component)) {
    return logistic->BuildModel(runner);
  }
  return MCStatus(309, false);
}

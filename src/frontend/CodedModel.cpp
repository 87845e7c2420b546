#include "frontend/CodedModel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <utility>

#include "MCMV.h"
#include "MCModelEffect.h"
#include "ModelLayout.h"
#include "Parallel.h"
#include "Precoded.h"
#include "Text.h"

namespace MCFrontEnd {

namespace {

// How often (in records) a scan asks whether to stop.
constexpr std::int64_t kCancelEvery = 4096;

std::string Magnitude(double log10Value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "1e%+.0f", std::floor(log10Value));
  return buf;
}

// The coded records of a model over a range of its data, read ahead by one record so that
// HasMore knows. A read error ends the pass with fail reason 3 and is kept for CheckRecords:
// nothing is thrown through the library.
class CodedRecords : public MCCommon::MultiPassRecordIter {
 public:
  CodedRecords(const CodedModel& model, RecordRange range)
      : fModel(model),
        fRange(range),
        fCurrent(model.Layout().Width()),
        fAhead(model.Layout().Width()) {
    NewPass();
  }

  bool HasMore() const override { return fbHave; }
  const MCCommon::Record* Next() override {
    if (!fbHave) return nullptr;
    std::swap(fCurrent, fAhead);
    Advance();
    return &fCurrent;
  }
  int GetFailReason() const override { return fFail; }
  int NewPass() override {
    fpPass.reset();
    try {
      fpPass = fModel.Data().Open(fRange);
    } catch (const InputError& e) {
      Stop(e.what());
      return fFail;
    }
    Advance();
    return fFail;
  }
  const std::string& Error() const { return fError; }

 private:
  void Advance() {
    try {
      while (const double* values = fpPass ? fpPass->Next() : nullptr) {
        if (!fModel.Matches(values)) continue;
        fModel.Code(values, fAhead.GetAll(), fScratch);
        fbHave = true;
        fFail = MCCommon::kFailNone;
        return;
      }
      fbHave = false;
      fFail = MCCommon::kFailEndOfData;
    } catch (const InputError& e) {
      Stop(e.what());
    }
  }
  void Stop(const std::string& error) {
    fError = error;
    fbHave = false;
    fFail = MCCommon::kFailRead;
  }

  const CodedModel& fModel;
  RecordRange fRange;
  std::unique_ptr<PrecodedData::Pass> fpPass;
  MCCommon::Record fCurrent;
  MCCommon::Record fAhead;
  std::vector<double> fScratch;
  bool fbHave = false;
  int fFail = MCCommon::kFailEndOfData;
  std::string fError;
};

}  // namespace

CodedModel::CodedModel(DataSource& source, const ModelRequest& request, CacheMode cache,
                       const CancelCheck& cancelled, int threads)
    : fpLayout(std::make_unique<ModelLayout>(request, source)) {
  fpData = std::make_shared<PrecodedData>(source, fpLayout->Slots(), cache, cancelled);
  fpLayout->Settle(fpData->Slots());
  Scan(cancelled, threads);
}

CodedModel::CodedModel(std::shared_ptr<const PrecodedData> data, const ModelLayout& layout,
                       std::vector<SplitCondition> when, const CancelCheck& cancelled, int threads)
    : fpData(std::move(data)),
      fpLayout(std::make_unique<ModelLayout>(layout)),
      fvWhen(std::move(when)) {
  Scan(cancelled, threads);
}

CodedModel::~CodedModel() = default;

const ModelRequest& CodedModel::Request() const { return fpLayout->Request(); }
const std::vector<Term>& CodedModel::Terms() const { return fpLayout->Terms(); }

// What one range of records tells the model: the category keys of each position, the largest
// magnitude of the others, the weight and the record counts.
struct CodedModel::ScanPart {
  std::vector<KeySet> keys;
  std::vector<double> largest;
  double totalWeight = 0.0;
  std::int64_t read = 0, used = 0, notFinite = 0;
};

void CodedModel::ScanRange(RecordRange range, const CancelCheck& cancelled, ScanPart& part) const {
  const ModelLayout& layout = *fpLayout;
  const std::vector<PositionPlan>& positions = layout.Positions();
  const int width = layout.Width();
  part.keys.resize(positions.size());
  part.largest.assign(positions.size(), 0.0);
  std::vector<double> scratch;

  // Records as the library will see them, category keys standing in for their codes.
  std::vector<double> record(positions.size());
  std::unique_ptr<PrecodedData::Pass> pass = fpData->Open(range);
  while (const double* values = pass->Next()) {
    if (!Matches(values)) continue;
    if (++part.read % kCancelEvery == 0 && cancelled && cancelled()) throw Cancelled();
    bool notFinite = false;
    for (int p = 0; p < width; ++p) {
      const PositionPlan& plan = positions[static_cast<std::size_t>(p)];
      const double v = plan.kind == PositionPlan::kDerived ? Derived(values, p, scratch, &notFinite)
                                                           : values[plan.slot];
      record[static_cast<std::size_t>(p)] = v;
      if (plan.kind == PositionPlan::kCategory && !MCMV::IsMissing(v)) {
        part.keys[static_cast<std::size_t>(p)].Insert(v);
      }
      if (p >= layout.WeightsFrom() && v < 0.0 && !MCMV::IsMissing(v)) {
        // As R refuses them: a negative weight is an error in the data, not a record to skip.
        throw InputError(pass->Where() + ": " +
                         fpData->Slots()[static_cast<std::size_t>(plan.slot)].role + " '" +
                         plan.name + "' is " + ShortestText(v) + "; weights cannot be negative");
      }
    }
    if (notFinite) ++part.notFinite;
    if (!layout.Used(record.data())) continue;
    ++part.used;
    part.totalWeight += layout.Weight(record.data());
    for (int p = 0; p < width; ++p) {
      if (positions[static_cast<std::size_t>(p)].kind == PositionPlan::kCategory) continue;
      double& m = part.largest[static_cast<std::size_t>(p)];
      m = std::max(m, std::fabs(record[static_cast<std::size_t>(p)]));
    }
  }
}

void ScanSummary::Merge(const ScanSummary& other) {
  if (keys.size() < other.keys.size()) keys.resize(other.keys.size());
  if (largest.size() < other.largest.size()) largest.resize(other.largest.size(), 0.0);
  for (std::size_t p = 0; p < other.keys.size(); ++p) {
    std::vector<double> both;
    std::set_union(keys[p].begin(), keys[p].end(), other.keys[p].begin(), other.keys[p].end(),
                   std::back_inserter(both));
    keys[p] = std::move(both);
  }
  for (std::size_t p = 0; p < other.largest.size(); ++p) {
    largest[p] = std::max(largest[p], other.largest[p]);
  }
  totalWeight += other.totalWeight;
  read += other.read;
  used += other.used;
  notFinite += other.notFinite;
}

CodedModel::CodedModel(DataSource& source, const ModelRequest& request, const ScanSummary& whole)
    : fpLayout(std::make_unique<ModelLayout>(request, source)) {
  fpData = std::make_shared<PrecodedData>(source, fpLayout->Slots(), CacheMode::kAuto,
                                          CancelCheck());
  fpLayout->Settle(fpData->Slots());
  const std::vector<PositionPlan>& positions = fpLayout->Positions();
  bool fits = whole.keys.size() == positions.size() && whole.largest.size() == positions.size();
  for (std::size_t p = 0; fits && p < positions.size(); ++p) {
    for (const double key : whole.keys[p]) {
      fits = fits && positions[p].kind == PositionPlan::kCategory &&
             fpData->ValidKey(positions[p].slot, key);
    }
  }
  if (!fits) throw InputError("the summary of the data does not belong to this model");
  Settle(whole);
}

CodedModel::CodedModel(std::shared_ptr<const PrecodedData> data,
                       std::unique_ptr<ModelLayout> layout)
    : fpData(std::move(data)), fpLayout(std::move(layout)) {}

ScanSummary CodedModel::Summarize(DataSource& source, const ModelRequest& request) {
  auto layout = std::make_unique<ModelLayout>(request, source);
  auto data =
      std::make_shared<PrecodedData>(source, layout->Slots(), CacheMode::kAuto, CancelCheck());
  layout->Settle(data->Slots());
  return CodedModel(std::move(data), std::move(layout)).Gather(CancelCheck(), 1);
}

void CodedModel::Scan(const CancelCheck& cancelled, int threads) {
  Settle(Gather(cancelled, threads));
}

ScanSummary CodedModel::Gather(const CancelCheck& cancelled, int threads) const {
  const std::vector<PositionPlan>& positions = fpLayout->Positions();
  // Ranges read at once: their first error (in the order of the records) is the one reported,
  // and the host's check is asked by one of them at a time.
  const std::vector<RecordRange> ranges = SplitRecords(fpData->RecordCount(), threads);
  std::vector<ScanPart> parts(ranges.size());
  std::mutex lock;
  const CancelCheck check = [&]() {
    const std::lock_guard<std::mutex> guard(lock);
    return cancelled && cancelled();
  };
  RunParallel(static_cast<int>(ranges.size()), [&](int i) {
    ScanRange(ranges[static_cast<std::size_t>(i)], ranges.size() > 1 ? check : cancelled,
              parts[static_cast<std::size_t>(i)]);
  });
  std::vector<KeySet> keys(positions.size());
  ScanSummary whole;
  whole.largest.assign(positions.size(), 0.0);
  for (const ScanPart& part : parts) {
    for (std::size_t p = 0; p < positions.size(); ++p) {
      keys[p].Merge(part.keys[p]);
      whole.largest[p] = std::max(whole.largest[p], part.largest[p]);
    }
    whole.totalWeight += part.totalWeight;
    whole.read += part.read;
    whole.used += part.used;
    whole.notFinite += part.notFinite;
  }
  if (cancelled && cancelled()) throw Cancelled();
  for (const KeySet& k : keys) whole.keys.push_back(k.Keys());
  return whole;
}

void CodedModel::Settle(const ScanSummary& whole) {
  const ModelLayout& layout = *fpLayout;
  const std::vector<PositionPlan>& positions = layout.Positions();
  fRecordsRead = whole.read;
  fRecordsUsed = whole.used;
  fRecordsNotFinite = whole.notFinite;
  fvCodings.resize(positions.size());
  const ModelRequest& request = layout.Request();
  for (std::size_t p = 0; p < positions.size(); ++p) {
    const PositionPlan& plan = positions[p];
    if (plan.kind != PositionPlan::kCategory) continue;
    const auto ref = request.references.find(plan.name);
    const bool factor = p > 0;
    KeySet keys;
    for (const double key : whole.keys[p]) keys.Insert(key);
    try {
      fvCodings[p] = std::make_unique<CategoryCoding>(
          *fpData, plan.slot, keys,
          factor && ref != request.references.end() ? ref->second : std::string(),
          "factor '" + plan.name + "'");
    } catch (const InputError& e) {
      layout.FailAt(plan.name, e.what());
    }
  }
  CheckScale(whole.largest, whole.totalWeight);
  BuildSettings();
  fpRecords = std::make_unique<CodedRecords>(*this, RecordRange{});
}

bool CodedModel::Matches(const double* values) const {
  for (const SplitCondition& c : fvWhen) {
    const double key = values[c.slot];
    if (MCMV::IsMissing(key) || c.coding->Code(key) != c.code) return false;
  }
  return true;
}

double CodedModel::Derived(const double* values, int position, std::vector<double>& scratch,
                           bool* notFinite) const {
  const PositionPlan& plan = fpLayout->Positions()[static_cast<std::size_t>(position)];
  scratch.resize(plan.inputs.size());
  for (std::size_t k = 0; k < plan.inputs.size(); ++k) {
    scratch[k] = values[plan.inputs[k]];
    if (MCMV::IsMissing(scratch[k])) return MCMV::Missing();
  }
  const DerivedCovariate& d = Request().derived[static_cast<std::size_t>(plan.derived)];
  const double v = d.evaluate ? d.evaluate(scratch.data()) : MCMV::Missing();
  if (std::isfinite(v)) return v;
  // Not finite: the record cannot be used, as one with a missing value.
  if (notFinite != nullptr) *notFinite = true;
  return MCMV::Missing();
}

void CodedModel::Code(const double* values, double* record, std::vector<double>& scratch) const {
  const std::vector<PositionPlan>& positions = fpLayout->Positions();
  for (std::size_t p = 0; p < positions.size(); ++p) {
    const PositionPlan& plan = positions[p];
    switch (plan.kind) {
      case PositionPlan::kNumber:
        record[p] = values[plan.slot];
        break;
      case PositionPlan::kCategory: {
        const double key = values[plan.slot];
        const int code = MCMV::IsMissing(key) ? -1 : fvCodings[p]->Code(key);
        record[p] = code < 0 ? MCMV::Missing() : code;
        break;
      }
      case PositionPlan::kDerived:
        record[p] = Derived(values, static_cast<int>(p), scratch, nullptr);
        break;
    }
  }
}

MCCommon::MultiPassRecordIter& CodedModel::Records() { return *fpRecords; }

std::unique_ptr<MCCommon::MultiPassRecordIter> CodedModel::OpenRecords(RecordRange range) const {
  return std::make_unique<CodedRecords>(*this, range);
}

void CodedModel::CheckRecords() const { CheckRecords(*fpRecords); }

void CodedModel::CheckRecords(const MCCommon::MultiPassRecordIter& records) const {
  const auto* coded = static_cast<const CodedRecords*>(&records);
  if (!coded->Error().empty()) throw InputError(coded->Error());
}

std::int64_t CodedModel::SourceRecordCount() const { return fpData->RecordCount(); }

void CodedModel::CheckScale(const std::vector<double>& largest, double totalWeight) const {
  // The fit sums weighted squares and products of the dependent and of each term. When the
  // largest of them overflows, or is too small to keep its digits among the normal doubles,
  // the library's sweep sees infinities or zeros and would present a meaningless fit.
  const double log10Weight = std::log10(std::max(totalWeight, 1.0));
  const auto check = [&](const std::string& what, double log10Size) {
    if (2.0 * log10Size + log10Weight >= std::log10(DBL_MAX)) {
      throw FitError(what + " reaches " + Magnitude(log10Size) +
                     ": its weighted sum of squares overflows; rescale the data");
    }
    if (2.0 * log10Size < std::log10(DBL_MIN / DBL_EPSILON)) {
      throw FitError(what + " is at most " + Magnitude(log10Size) +
                     ": its squares underflow; rescale the data");
    }
  };
  const ModelRequest& request = Request();
  if (!fpLayout->Logistic() && largest[0] > 0.0) {
    check("the dependent '" + request.dependent + "'", std::log10(largest[0]));
  }
  for (const Term& term : Terms()) {
    double log10Size = 0.0;
    bool covariates = false;
    bool zero = false;
    for (const std::string& name : term.names) {
      const int pos = Position(name);
      if (pos <= fpLayout->FactorCount()) continue;
      covariates = true;
      const double m = largest[static_cast<std::size_t>(pos)];
      if (m == 0.0) zero = true;  // an all-zero column is aliased, not a scale problem
      if (!zero) log10Size += std::log10(m);
    }
    if (covariates && !zero) check("the term " + term.Text(), log10Size);
  }
}

void CodedModel::BuildSettings() {
  const ModelLayout& layout = *fpLayout;
  const int nF = layout.FactorCount();
  const int nC = layout.CovariateCount();
  fSettings.SetDependent(0);
  fpEffectIndices = std::make_unique<std::vector<int>>();
  for (int f = 0; f < nF; ++f) {
    // A factor seen with no category at all still needs a size of at least 1.
    fSettings.AddFactor(1 + f, std::max(1, CategoryCount(f)));
    fpEffectIndices->push_back(1 + f);
  }
  for (int c = 0; c < nC; ++c) {
    fSettings.AddCovariate(1 + nF + c);
    fpEffectIndices->push_back(1 + nF + c);
  }
  if (layout.FrequencyPosition() >= 0) fSettings.SetFrequencyWeightVar(layout.FrequencyPosition());
  if (layout.RegressionPosition() >= 0) fSettings.SetRegrWeightVar(layout.RegressionPosition());
  fSettings.SetInterceptUse(Request().intercept);
  fSettings.SetTolerance(Request().tolerance);
  for (const MCModelEffect& effect : MakeModelEffects(layout.Plan(), fpEffectIndices.get())) {
    fSettings.AddModelEffect(effect);
  }
}

int CodedModel::Position(const std::string& name) const { return fpLayout->Position(name); }

int CodedModel::CategoryCount(int factor) const {
  if (factor < 0 || factor >= fpLayout->FactorCount()) return 0;
  return fvCodings[static_cast<std::size_t>(1 + factor)]->Size();
}

std::string CodedModel::CategoryText(int factor, int code) const {
  if (factor < 0 || factor >= fpLayout->FactorCount()) return std::string();
  return fvCodings[static_cast<std::size_t>(1 + factor)]->Text(code);
}

bool CodedModel::NumericCategories(int factor) const {
  return factor >= 0 && factor < fpLayout->FactorCount() &&
         fvCodings[static_cast<std::size_t>(1 + factor)]->Numeric();
}

int CodedModel::ResponseCategoryCount() const { return fvCodings[0] ? fvCodings[0]->Size() : 0; }

std::string CodedModel::ResponseText(int code) const {
  return fvCodings[0] ? fvCodings[0]->Text(code) : std::string();
}

bool CodedModel::ResponseNumeric() const { return fvCodings[0] && fvCodings[0]->Numeric(); }

std::vector<PredictorCell> CodedModel::ParameterCells(const MCRegrParameter& parameter) const {
  std::vector<PredictorCell> cells;
  const int effect = parameter.GetEffectIndex();
  if (parameter.IsIntercept() || effect < 0 || effect >= static_cast<int>(Terms().size())) {
    return cells;
  }
  for (const std::string& var : Terms()[static_cast<std::size_t>(effect)].names) {
    PredictorCell cell;
    cell.variable = var;
    const int pos = Position(var);
    if (pos >= 1 && pos <= fpLayout->FactorCount()) {
      cell.factor = true;
      cell.category = CategoryText(pos - 1, parameter.ContainsFactor(pos, -1));
    }
    cells.push_back(std::move(cell));
  }
  return cells;
}

std::string CodedModel::ParameterName(const MCRegrParameter& parameter) const {
  const std::vector<PredictorCell> cells = ParameterCells(parameter);
  if (cells.empty()) return "(Intercept)";
  std::string name;
  for (const PredictorCell& cell : cells) {
    if (!name.empty()) name += '*';
    name += cell.factor ? cell.variable + "=" + cell.category : cell.variable;
  }
  return ToUtf8(name);
}

std::vector<std::string> RequestColumns(const ModelRequest& request, const DataSource& source) {
  const ModelLayout layout(request, source);
  const std::vector<std::string>& names = source.ColumnNames();
  std::vector<bool> read(names.size(), false);
  for (const Slot& slot : layout.Slots()) read[static_cast<std::size_t>(slot.column)] = true;
  std::vector<std::string> columns;
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (read[c]) columns.push_back(names[c]);
  }
  return columns;
}

}  // namespace MCFrontEnd

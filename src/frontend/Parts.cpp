#include "frontend/Parts.h"

#include <cstring>

#include "LinearFit.h"
#include "LogisticFit.h"
#include "MCLogRegSettings.h"
#include "frontend/Fit.h"

namespace MCFrontEnd {

namespace {

// Final sums travel as a kind byte and the two parts of each exact sum.
constexpr char kExact = 'x';

MCPartialStats ReadPart(const std::string& bytes) {
  MCPartialStats part;
  const MCCommon::MCStatus status = part.FromBytes(bytes.data(), bytes.size());
  if (status.IsError())
    throw FitError("a part's statistics cannot be read: " + StatusWords(status));
  return part;
}

// The settings a part's worker needs: the model's, or its logistic ones.
struct PartSettings {
  PartSettings(CodedModel& part, const FitChoices& choices) {
    if (part.Request().model == "logistic") SetLogisticSettings(part, choices.logistic, logistic);
  }
  const MCRegSettings& Of(CodedModel& part) const {
    if (part.Request().model == "logistic") return logistic;
    return part.Settings();
  }
  MCLogRegSettings logistic;
};

// The client's build again from its merged statistics, pass by pass, and the part's own
// final sums, which stand for all of them.
class ReplayHost : public PartsHost, public MCPassRunner {
 public:
  explicit ReplayHost(const std::vector<std::string>& passes) : fPasses(passes) {}
  MCPassRunner& Runner() override { return *this; }
  MCCommon::MCStatus RunPass(const MCPassPlan& plan, MCPartialStats& merged) override {
    if (fNext >= fPasses.size()) return MCCommon::MCStatus(320, false);
    const std::string& bytes = fPasses[fNext++];
    if (bytes.empty()) return MCCommon::MCStatus();  // no part had records
    // Statuses, not exceptions, go back to the library.
    const MCCommon::MCStatus read = merged.FromBytes(bytes.data(), bytes.size());
    if (read.IsError()) return read;
    if (merged.GetPassKind() != plan.GetPassKind()) return MCCommon::MCStatus(320, false);
    return merged.GetStatus();
  }
  // Ends the part's fit: what follows the final pass is the client's.
  std::string FinalPass(const std::string& local) override {
    fFinal = local;
    throw Taken();
  }
  struct Taken {};
  const std::string& Final() const { return fFinal; }

 private:
  const std::vector<std::string>& fPasses;
  std::size_t fNext = 0;
  std::string fFinal;
};

}  // namespace

PartsHost::~PartsHost() = default;

std::string FinalSums(const std::vector<MCCommonMath::MCExactSum>& exact) {
  std::string bytes(1 + 2 * exact.size() * sizeof(double), kExact);
  for (std::size_t i = 0; i < exact.size(); ++i) {
    double parts[2];
    exact[i].GetParts(parts[0], parts[1]);
    std::memcpy(&bytes[1 + 2 * i * sizeof(double)], parts, sizeof parts);
  }
  return bytes;
}

void ReadFinalSums(const std::string& bytes, std::vector<MCCommonMath::MCExactSum>& exact) {
  if (bytes.size() != 1 + 2 * exact.size() * sizeof(double) || bytes[0] != kExact) {
    throw InputError("the final sums of a part of the data are cut short or of another fit");
  }
  for (std::size_t i = 0; i < exact.size(); ++i) {
    double parts[2];
    std::memcpy(parts, &bytes[1 + 2 * i * sizeof(double)], sizeof parts);
    exact[i] = MCCommonMath::MCExactSum::FromParts(parts[0], parts[1]);
  }
}

std::string MergeFinalSums(const std::string& a, const std::string& b) {
  const std::size_t n = a.size() / (2 * sizeof(double));
  std::vector<MCCommonMath::MCExactSum> sum(n), other(n);
  ReadFinalSums(a, sum);
  ReadFinalSums(b, other);
  for (std::size_t i = 0; i < n; ++i) sum[i].Merge(other[i]);
  return FinalSums(sum);
}

std::string MergePartBytes(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return a.empty() ? b : a;
  MCPartialStats merged = ReadPart(a);
  const MCCommon::MCStatus status = merged.Merge(ReadPart(b));
  if (status.IsError())
    throw FitError("parts' statistics cannot be merged: " + StatusWords(status));
  return merged.ToBytes();
}

std::string FillPart(CodedModel& part, const FitChoices& choices, const std::string& plan) {
  MCPassPlan read;
  MCCommon::MCStatus status = read.FromBytes(plan.data(), plan.size());
  const PartSettings settings(part, choices);
  MCPartWorker worker(settings.Of(part));
  MCPartialStats stats;
  // A part without records adds nothing; the library's passes are for parts that have some.
  MCCommon::MultiPassRecordIter& records = part.Records();
  records.NewPass();
  if (status.IsOK() && !records.HasMore() && records.GetFailReason() == MCCommon::kFailEndOfData) {
    return std::string();
  }
  // The part's own error (a refused record) stays in its statistics, for the merge to order.
  if (status.IsOK()) status = worker.Fill(read, records, stats);
  if (status.GetErrorCode() == 320) throw FitError("a pass cannot run: " + StatusWords(status));
  part.CheckRecords();
  return stats.ToBytes();
}

std::string FinalOfPart(CodedModel& part, const FitChoices& choices,
                        const std::vector<std::string>& passes) {
  ReplayHost host(passes);
  FitChoices replay = choices;
  replay.predictions = nullptr;
  replay.collinearity = false;
  replay.parts = &host;
  try {
    FitModel(part, replay, nullptr, nullptr);
  } catch (const ReplayHost::Taken&) {
    return host.Final();
  }
  throw FitError("the fit of a part ended without its final pass");
}

}  // namespace MCFrontEnd

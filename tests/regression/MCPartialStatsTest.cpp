// The benchmark models fitted in parts give the fit of one stream; bad bytes are refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "../../bench/LinearBenchModel.h"
#include "../../bench/LogisticBenchModel.h"
#include "MCFactorTables.h"
#include "MCLogOutputStats.h"
#include "MCPartialStats.h"
#include "RegTestSupport.h"

namespace {

using regtest::MemoryRecords;
using regtest::Rows;

// A host's runner: a worker per part for the whole fit; with bytes, plans and parts travel as
// bytes (the first part's are kept).
class PartsRunner : public MCPassRunner {
 public:
  PartsRunner(const MCRegSettings& settings, const std::vector<Rows>& parts, bool bytes)
      : fbBytes(bytes) {
    for (const Rows& rows : parts) {
      fvRecords.push_back(std::make_unique<MemoryRecords>(rows));
      fvWorkers.push_back(std::make_unique<MCPartWorker>(settings));
    }
  }
  MCCommon::MCStatus RunPass(const MCPassPlan& plan, MCPartialStats& merged) override {
    MCPassPlan received;
    if (fbBytes) {
      const std::string sent = plan.ToBytes();
      EXPECT_TRUE(received.FromBytes(sent.data(), sent.size()).IsOK());
      fPlans[plan.GetPassKind()] = sent;
    }
    for (std::size_t i = 0; i < fvWorkers.size(); ++i) {
      MCPartialStats part;
      fvWorkers[i]->Fill(fbBytes ? received : plan, *fvRecords[i], part);
      if (fbBytes) {
        const std::string back = part.ToBytes();
        if (i == 0) fParts[plan.GetPassKind()] = back;
        part = MCPartialStats();
        EXPECT_TRUE(part.FromBytes(back.data(), back.size()).IsOK());
        EXPECT_TRUE(part.ToBytes() == back);  // read and written again, the same bytes
      }
      const MCCommon::MCStatus merge = merged.Merge(part);
      if (merge.IsError()) return merge;
    }
    return merged.GetStatus();
  }

  std::map<MCPassKind, std::string> fPlans, fParts;

 private:
  bool fbBytes;
  std::vector<std::unique_ptr<MemoryRecords>> fvRecords;
  std::vector<std::unique_ptr<MCPartWorker>> fvWorkers;
};

// What a fit shows: every number of its output statistics, and its status.
struct Fit {
  long code = -1;
  std::vector<double> numbers;  // estimates, covariance, fit statistics, weights, means
  std::vector<double> counts;   // factor counts: whole numbers, exact in any split
  std::vector<bool> kept;
};

Fit Summarise(IMCRegComponent& component, const MCCommon::MCStatus& status) {
  Fit fit;
  fit.code = status.IsError() ? status.GetErrorCode() : 0;
  IMCRegOutputStats* stats = nullptr;
  if (status.IsError() || component.GetOutputStats(stats).IsError()) return fit;
  fit.numbers = stats->GetParamEstimates();
  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  for (int i = 0; cov != nullptr && i < cov->GetNRows(); ++i) {
    for (int j = 0; j <= i; ++j) fit.numbers.push_back(cov->GetElem(i, j));
  }
  for (int s = 0; s < 6; ++s) {
    fit.numbers.push_back(stats->GetModelFitStat(static_cast<MCConst::MCModelFitStat>(s)));
  }
  fit.numbers.push_back(stats->GetTotalRegrWeight());
  fit.numbers.push_back(stats->GetNDegFreedom());
  for (double m : stats->GetMeanValues()) fit.numbers.push_back(m);
  if (auto* logistic = dynamic_cast<MCLogOutputStats*>(stats)) {
    fit.numbers.push_back(logistic->GetInitialLogLikelihood());
    fit.numbers.push_back(logistic->GetFinalLogLikelihood());
    fit.counts.push_back(logistic->GetNIterations());
    fit.counts.push_back(logistic->GetStopReason());
  }
  const MCFactorCounts& counts = stats->GetFactorCounts();
  for (int f = 0; f < counts.GetNFactors(); ++f) {
    for (const auto& pair : *counts.GetCountsPtr(f)) {
      fit.counts.push_back(pair.first);
      fit.counts.push_back(pair.second);
    }
  }
  fit.counts.push_back(stats->GetTotalFreqWeight());
  for (int k = 0; k < static_cast<int>(stats->GetParamEstimates().size()); ++k) {
    fit.kept.push_back(stats->GetRedundancyIndicators().IsIn(k));
  }
  return fit;
}

// The same to the bit, or (where a merge rounds differently) within 1e-15 relative.
void ExpectSameFit(const Fit& parts, const Fit& one) {
  EXPECT_EQ(parts.code, one.code);
  EXPECT_EQ(parts.kept, one.kept);
  EXPECT_EQ(parts.counts, one.counts);
  ASSERT_EQ(parts.numbers.size(), one.numbers.size());
  int differ = 0;
  for (std::size_t k = 0; k < one.numbers.size(); ++k) {
    const double a = parts.numbers[k], b = one.numbers[k];
    if (std::memcmp(&a, &b, sizeof a) == 0) continue;
    ++differ;
    EXPECT_LE(std::fabs(a - b), 1e-15 * std::max(std::fabs(a), std::fabs(b))) << "number " << k;
  }
  // Double-double merges round like one stream almost always.
  EXPECT_LE(differ, static_cast<int>(one.numbers.size() / 20));
}

// A benchmark model; its effects point into indices.
struct Model {
  Model(bool isLog, bool patterns) : isLogistic(isLog) {
    if (isLogistic) logistic = logbench::MakeSettings(indices);
    if (!isLogistic) linear = linbench::MakeSettings(indices);
    logistic.SetUsePatternTabulator(patterns);
  }
  bool isLogistic;
  MCLogRegSettings logistic;
  MCRegSettings linear;
  std::vector<int> indices;
  MCRegSettings& Settings() { return isLogistic ? logistic : linear; }
};

template <class Maker>
Rows MakeRowsOf(int n, int width) {
  Maker maker;
  Rows rows(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(width)));
  for (std::vector<double>& row : rows) maker.Next(row.data());
  return rows;
}
Rows MakeRows(bool logistic, int n) {
  return logistic ? MakeRowsOf<logbench::RecordMaker>(n, logbench::kNValues)
                  : MakeRowsOf<linbench::RecordMaker>(n, linbench::kNValues);
}

Fit FitInParts(MCRegSettings& settings, MCPassRunner& runner) {
  std::unique_ptr<IMCRegComponent> component = regtest::MakeComponent(settings);
  const MCCommon::MCStatus status = MCBuildModelInParts(*component, runner);
  return Summarise(*component, status);
}

// n parts of the rows in order, of unequal sizes; with n > 3 the third is empty.
std::vector<Rows> Split(const Rows& rows, int n) {
  std::vector<Rows> parts(static_cast<std::size_t>(n));
  std::vector<double> share(static_cast<std::size_t>(n));
  double total = 0.0;
  for (int i = 0; i < n; ++i) total += share[i] = (n > 3 && i == 2) ? 0.0 : 1.0 + i % 3;
  double at = 0.0;
  std::size_t from = 0;
  for (int i = 0; i < n; ++i) {
    at += share[i];
    const auto to = i + 1 == n ? rows.size() : static_cast<std::size_t>(rows.size() * at / total);
    parts[i].assign(rows.begin() + from, rows.begin() + to);
    from = to;
  }
  return parts;
}

struct PartsCase {
  const char* name;
  bool logistic;
  bool patterns;
  int nParts;
  bool bytes;
  // Records ordered by their first factor, so that each part lacks levels the others have.
  bool byFactor;
};

class PartsFitTest : public ::testing::TestWithParam<PartsCase> {};

TEST_P(PartsFitTest, GivesTheFitOfOneStream) {
  const PartsCase& c = GetParam();
  const std::unique_ptr<Model> model = std::make_unique<Model>(c.logistic, c.patterns);
  Rows rows = MakeRows(c.logistic, c.logistic ? 20000 : 30000);
  if (c.byFactor) {
    std::stable_sort(
        rows.begin(), rows.end(),
        [](const std::vector<double>& a, const std::vector<double>& b) { return a[1] < b[1]; });
  }
  regtest::Built b(model->Settings(), rows);
  const Fit one = Summarise(*b.component, b.status);
  ASSERT_EQ(one.code, 0);
  PartsRunner runner(model->Settings(), Split(rows, c.nParts), c.bytes);
  ExpectSameFit(FitInParts(model->Settings(), runner), one);
}

INSTANTIATE_TEST_SUITE_P(
    BenchmarkModels, PartsFitTest,
    ::testing::Values(PartsCase{"Linear3Bytes", false, false, 3, true, false},
                      PartsCase{"Linear7EmptyPart", false, false, 7, false, false},
                      PartsCase{"Linear3MissingLevels", false, false, 3, true, true},
                      PartsCase{"Logistic3Bytes", true, true, 3, true, false},
                      PartsCase{"Logistic3Records", true, false, 3, true, false},
                      PartsCase{"Logistic7MissingLevels", true, true, 7, false, true}),
    [](const ::testing::TestParamInfo<PartsCase>& info) { return info.param.name; });

TEST(PartsFitTest, AnErrorInALaterPartStopsTheFitAsInOneStream) {
  const std::unique_ptr<Model> model = std::make_unique<Model>(false, false);
  Rows rows = MakeRows(false, 3000);
  rows[2500][1] = rows[2700][2] = 2.5;  // factor codes that are no whole numbers
  PartsRunner runner(model->Settings(), Split(rows, 3), true);
  EXPECT_EQ(FitInParts(model->Settings(), runner).code, 316);
  // Every part empty: no record to fit.
  PartsRunner empty(model->Settings(), std::vector<Rows>(3), false);
  EXPECT_EQ(FitInParts(model->Settings(), empty).code, 307);
  // A host's runner that throws: out of memory is 305, any other failure 321.
  struct Throwing : MCPassRunner {
    bool fbMemory = false;
    MCCommon::MCStatus RunPass(const MCPassPlan&, MCPartialStats&) override {
      if (fbMemory) throw std::bad_alloc();
      throw std::runtime_error("the host lost a worker");
    }
  } throwing;
  for (const bool memory : {true, false}) {
    throwing.fbMemory = memory;
    EXPECT_EQ(FitInParts(model->Settings(), throwing).code, memory ? 305 : 321);
  }
}

std::uint32_t Crc(const std::string& bytes, std::size_t size) {
  return static_cast<std::uint32_t>(
      crc32_z(0, reinterpret_cast<const unsigned char*>(bytes.data()), size));
}
// The bytes with their checksum made right again (content changes the checksum cannot see).
std::string Resealed(std::string bytes) {
  const std::uint32_t crc = Crc(bytes, bytes.size() - 4);
  for (int b = 0; b < 4; ++b) bytes[bytes.size() - 4 + b] = static_cast<char>(crc >> (8 * b));
  return bytes;
}
void PutU64(std::string& bytes, std::size_t at, std::uint64_t v) {
  for (int b = 0; b < 8; ++b) bytes[at + b] = static_cast<char>(v >> (8 * b));
}
long Reason(const MCCommon::MCStatus& status) {
  return status.GetErrorCode() == 320 ? status.GetDiscreteDatum(0) : -status.GetErrorCode();
}

class BytesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fLinear = std::make_unique<Model>(false, false);
    fLogistic = std::make_unique<Model>(true, true);
    PartsRunner linear(fLinear->Settings(), Split(MakeRows(false, 2000), 2), true);
    PartsRunner logistic(fLogistic->Settings(), Split(MakeRows(true, 2000), 2), true);
    ASSERT_EQ(FitInParts(fLinear->Settings(), linear).code, 0);
    ASSERT_EQ(FitInParts(fLogistic->Settings(), logistic).code, 0);
    fParts = linear.fParts;
    fParts.insert(logistic.fParts.begin(), logistic.fParts.end());
    fPlans = linear.fPlans;
    fPlans.insert(logistic.fPlans.begin(), logistic.fPlans.end());
  }
  std::unique_ptr<Model> fLinear, fLogistic;
  std::map<MCPassKind, std::string> fParts, fPlans;
};

TEST_F(BytesTest, EveryCutAndEveryChangedByteIsRefused) {
  ASSERT_EQ(fParts.size(), 5u);  // every pass of both models
  for (const auto& [kind, bytes] : fParts) {
    SCOPED_TRACE(static_cast<int>(kind));
    const std::size_t n = bytes.size();
    for (std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{27}, n / 2, n - 1}) {
      MCPartialStats part;
      EXPECT_EQ(Reason(part.FromBytes(bytes.data(), size)), 1);
      EXPECT_TRUE(part.IsEmpty());
    }
    for (std::size_t at = 0; at < n; at += 1 + n / 97) {
      std::string changed = bytes;
      changed[at] = static_cast<char>(changed[at] ^ 0x10);
      MCPartialStats part;
      // The length field changed reads as a cut buffer; any other byte breaks the checksum.
      EXPECT_EQ(Reason(part.FromBytes(changed.data(), n)), at >= 16 && at < 24 ? 1 : 2) << at;
    }
  }
}

TEST_F(BytesTest, WellSealedNonsenseIsRefused) {
  const std::string& first = fParts.at(MCPassKind::kFirstPass);
  struct Case {
    const char* what;
    std::string bytes;
    long reason;
  };
  std::string version = first, object = first, count = first, extra = first, pass = first;
  version[4] = 2;
  object[6] = 2;                       // a plan's object number
  pass[8] = 2;                         // another pass than the content
  PutU64(count, 24 + 41, 1ull << 62);  // warnings that cannot all follow
  extra.insert(extra.size() - 4, 1, '\0');
  PutU64(extra, 16, first.size() - 27);
  const std::vector<Case> cases = {{"version", Resealed(version), 3},
                                   {"object", Resealed(object), 3},
                                   {"pass", Resealed(pass), 4},
                                   {"count", Resealed(count), 4},
                                   {"trailing byte", Resealed(extra), 4}};
  for (const Case& c : cases) {
    MCPartialStats part;
    EXPECT_EQ(Reason(part.FromBytes(c.bytes.data(), c.bytes.size())), c.reason) << c.what;
    MCPassPlan plan;
    EXPECT_EQ(plan.FromBytes(c.bytes.data(), c.bytes.size()).GetErrorCode(), 320) << c.what;
  }
  // A part is no plan, and a plan no part.
  const std::string& planBytes = fPlans.at(MCPassKind::kCrossProducts);
  MCPartialStats part;
  EXPECT_EQ(Reason(part.FromBytes(planBytes.data(), planBytes.size())), 3);
  MCPassPlan plan;
  EXPECT_EQ(Reason(plan.FromBytes(first.data(), first.size())), 3);
  EXPECT_TRUE(plan.FromBytes(planBytes.data(), planBytes.size()).IsOK());
  EXPECT_TRUE(plan.ToBytes() == planBytes);
}

TEST_F(BytesTest, PartsOfOtherPassesOrSettingsDoNotMerge) {
  const auto read = [](const std::string& bytes) {
    MCPartialStats part;
    EXPECT_TRUE(part.FromBytes(bytes.data(), bytes.size()).IsOK());
    return part;
  };
  MCPartialStats first = read(fParts.at(MCPassKind::kFirstPass));
  const std::string before = first.ToBytes();
  EXPECT_EQ(Reason(first.Merge(read(fParts.at(MCPassKind::kCrossProducts)))), 5);
  std::string otherModel = fParts.at(MCPassKind::kFirstPass);
  otherModel[7] = 1;  // the same first pass, said to be the logistic model's
  EXPECT_EQ(Reason(first.Merge(read(Resealed(otherModel)))), 5);
  // The same first pass of a model without the intercept.
  MCRegSettings other = fLinear->linear;
  other.SetInterceptUse(false);
  MCPartWorker worker(other);
  MemoryRecords records(MakeRows(false, 10));
  MCPartialStats otherFirst;
  MCPassPlan plan;
  const std::string& planBytes = fPlans.at(MCPassKind::kFirstPass);
  ASSERT_TRUE(plan.FromBytes(planBytes.data(), planBytes.size()).IsOK());
  EXPECT_EQ(Reason(worker.Fill(plan, records, otherFirst)), 6);
  EXPECT_TRUE(otherFirst.IsEmpty());
  double predicted = 0.0;  // a worker with no fit predicts nothing
  const MCCommon::Record record = regtest::MakeRecord(MakeRows(false, 1)[0]);
  EXPECT_EQ(worker.Predict(record, predicted).GetErrorCode(), 303);
  // A linear plan for a logistic worker.
  MCPartWorker logistic(fLogistic->logistic);
  EXPECT_EQ(Reason(logistic.Fill(plan, records, otherFirst)), 5);
  EXPECT_TRUE(first.ToBytes() == before);  // nothing merged by a refusal
  // Merged, a part counts the records of both.
  const std::int64_t n = first.GetRecordCount();
  EXPECT_TRUE(first.Merge(read(fParts.at(MCPassKind::kFirstPass))).IsOK());
  EXPECT_EQ(first.GetRecordCount(), 2 * n);
  // Moved from, a part is empty and takes a merge as a new one does.
  const MCPartialStats taken = std::move(first);
  EXPECT_TRUE(first.IsEmpty());
  EXPECT_TRUE(first.Merge(taken).IsOK());
  EXPECT_TRUE(first.ToBytes() == taken.ToBytes());
}

}  // namespace

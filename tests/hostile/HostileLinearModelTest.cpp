// Hostile numbers and failing allocations: an error status or finite estimates, never a crash.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "IMCRegComponent.h"
#include "MCLogRegSettings.h"
#include "MCModelEffect.h"
#include "MCPartialStats.h"
#include "MCRegFactory.h"
#include "MCRegSettings.h"
#include "MCStatus.h"
#include "regression/RegTestSupport.h"

namespace {

using Rows = std::vector<std::vector<double>>;

struct Outcome {
  MCCommon::MCStatus status;
  bool built = false;
  std::vector<double> estimates;
  std::vector<bool> nonRedundant;
  double rmse = 0.0, rsquare = 0.0, df = 0.0;
};

Outcome Fit(const MCRegSettings &settings, const Rows &rows) {
  const regtest::Built b(settings, rows);
  IMCRegOutputStats *stats = b.stats;
  Outcome out;
  out.status = b.status;
  out.built = b.component->IsModelBuilt();
  if (out.built && stats != nullptr) {
    out.estimates = stats->GetParamEstimates();
    for (const MCRegrParameterStats &p : stats->GetParamStats()) {
      out.nonRedundant.push_back(p.fNotRedundant != 0);
    }
    out.rmse = stats->GetModelFitStat(MCConst::kRMSE);
    out.rsquare = stats->GetModelFitStat(MCConst::kRSquare);
    out.df = stats->GetNDegFreedom();
  }
  return out;
}

// A build that does not end in an error must present a model with numbers, never NaN.
void ExpectNoNaNPresented(const Outcome &out) {
  if (out.status.IsError()) return;
  ASSERT_TRUE(out.built) << "status " << out.status.GetErrorCode() << " without a model";
  ASSERT_FALSE(out.estimates.empty());
  for (std::size_t k = 0; k < out.estimates.size(); ++k) {
    EXPECT_TRUE(std::isfinite(out.estimates[k])) << "estimate " << k << " = " << out.estimates[k]
                                                 << " with status " << out.status.GetErrorCode();
  }
  EXPECT_FALSE(std::isnan(out.rmse)) << "RMSE with status " << out.status.GetErrorCode();
  EXPECT_FALSE(std::isnan(out.rsquare)) << "R squared with status " << out.status.GetErrorCode();
}

// Record layout: regtest's (y, factor A, covariate x, unused x2, frequency weight) and the
// regression weight at 5; the roles in their order "yaxfr".
constexpr int kR = 5;
constexpr int kRolePosition[] = {regtest::kY, regtest::kA, regtest::kX, regtest::kF, kR};
constexpr int kHostileRow = 5;

// y ~ A + x with the intercept, both weights in use.
MCRegSettings ModelSettings() {
  MCRegSettings settings = regtest::Linear({regtest::kA, regtest::kX}, true);
  settings.SetRegrWeightVar(kR);
  return settings;
}

// 24 well-behaved records with a little deterministic noise, one value replaced.
Rows BaseRows(int role = -1, double value = 0.0) {
  Rows rows;
  for (int i = 0; i < 24; ++i) {
    const double a = i % 3;
    const double x = 0.5 * i + (i % 4 == 1 ? 0.3 : 0.0);
    const double y = 1.0 + 2.0 * x +
                     (a == 1   ? 0.5
                      : a == 2 ? -1.0
                               : 0.0) +
                     ((i * 7) % 5 - 2) * 0.01;
    rows.push_back({y, a, x, 0.0, 1.0 + i % 2, 1.0});
  }
  if (role >= 0) rows[kHostileRow][static_cast<std::size_t>(kRolePosition[role])] = value;
  return rows;
}

Outcome FitModel(const Rows &rows) { return Fit(ModelSettings(), rows); }

void ExpectSameFit(const Outcome &a, const Outcome &b) {
  EXPECT_LE(regtest::MaxDiff(a.estimates, b.estimates), 1e-9);
  EXPECT_NEAR(a.rmse, b.rmse, 1e-12);
  EXPECT_NEAR(a.rsquare, b.rsquare, 1e-12);
}

// Edge doubles in each role and what each must lead to: S the record is skipped, E error 316
// naming the position, Z like 0.0, N any status but no NaN presented.
const double kSpecial[] = {-0.0, 1e308, std::numeric_limits<double>::denorm_min(), 2147483648.0,
                           1.0000000001};
const char *const kSpecialNames[] = {"neg_zero", "1e308", "denormal", "2e31", "near_1"};
const char *const kExpectByRole[] = {"ZNNNN", "ZEEEE", "ZNNNN", "SNNNN", "SNNNN"};

struct Case {
  int role;
  int value;  // index into kSpecial
};

class SpecialValueTest : public testing::TestWithParam<Case> {};

TEST_P(SpecialValueTest, NeverCrashesNorPresentsNaN) {
  const Case c = GetParam();
  const double value = kSpecial[c.value];
  const Outcome out = FitModel(BaseRows(c.role, value));
  ExpectNoNaNPresented(out);
  switch (kExpectByRole[c.role][c.value]) {
    case 'S': {
      Rows without = BaseRows();
      without.erase(without.begin() + kHostileRow);
      ASSERT_TRUE(out.status.IsOK()) << out.status.GetErrorCode();
      ExpectSameFit(out, FitModel(without));
      break;
    }
    case 'E':
      EXPECT_TRUE(out.status.IsError());
      EXPECT_EQ(out.status.GetErrorCode(), 316);
      EXPECT_EQ(out.status.GetDiscreteDatum(1), kRolePosition[c.role]);
      EXPECT_EQ(out.status.GetScaleDatum(1), value);
      EXPECT_FALSE(out.built);
      break;
    case 'Z': {
      const Outcome expected = FitModel(BaseRows(c.role, 0.0));
      EXPECT_EQ(out.status, expected.status);
      if (expected.built) ExpectSameFit(out, expected);
      break;
    }
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (int role = 0; role < 5; ++role) {
    for (int v = 0; v < 5; ++v) cases.push_back({role, v});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryRole, SpecialValueTest, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<Case> &info) {
                           return std::string(1, "yaxfr"[info.param.role]) + "_" +
                                  kSpecialNames[info.param.value];
                         });

// y ~ A with A declared at 100,000 categories, of which four occur.
TEST(FactorSizeTest, HundredThousandCategoriesMakeParametersOnlyForCodesSeen) {
  Rows rows;
  for (int i = 0; i < 40; ++i) rows.push_back({static_cast<double>(i % 4), 99990.0 + i % 4});
  const Outcome out = Fit(regtest::OneFactor<MCRegSettings>(100000), rows);
  ASSERT_TRUE(out.status.IsOK()) << out.status.GetErrorCode();
  ExpectNoNaNPresented(out);
  ASSERT_EQ(out.estimates.size(), 5u);
  EXPECT_NEAR(out.rmse, 0.0, 1e-12);
}

// Numerically hopeless data on y ~ x + x2 with the intercept.
Outcome FitTwoCovariates(const Rows &rows) {
  const Outcome out = Fit(regtest::Linear({regtest::kX, regtest::kX2}), rows);
  ExpectNoNaNPresented(out);
  return out;
}

TEST(NumericalTest, DependentWithoutVarianceFitsExactly) {
  Rows rows;
  for (int i = 0; i < 10; ++i) rows.push_back({5.0, 0, 1.0 * i, std::fmod(i * 3.0, 7.0)});
  const Outcome out = FitTwoCovariates(rows);
  ASSERT_TRUE(out.status.IsOK());
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(out.estimates[k], k == 0 ? 5.0 : 0.0, 1e-10);
  EXPECT_NEAR(out.rmse, 0.0, 1e-10);
}

TEST(NumericalTest, SingleRecordFitsTheInterceptOnly) {
  const Outcome out = FitTwoCovariates({{7.5, 0, 2.0, 3.0}});
  ASSERT_FALSE(out.status.IsError()) << out.status.GetErrorCode();
  ASSERT_EQ(out.estimates.size(), 3u);
  EXPECT_EQ(out.nonRedundant, (std::vector<bool>{true, false, false}));
  EXPECT_DOUBLE_EQ(out.estimates[0], 7.5);
  EXPECT_DOUBLE_EQ(out.rmse, 0.0);
  EXPECT_DOUBLE_EQ(out.df, 1.0 - 3.0);
}

}  // namespace

// The program's operator new fails at the armed allocation: the library may end a step with
// 305 but throws nothing into the host, and a step that does not fail gives the clean results.

namespace {
long gAllocations = 0;
long gFailAt = -1;  // the allocation that fails, -1 for none
}  // namespace

// Not inlined: the compiler would then pair malloc with delete expressions and warn.
__attribute__((noinline)) void *operator new(std::size_t size) {
  if (gAllocations++ == gFailAt) throw std::bad_alloc();
  if (void *p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void *p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void *p, std::size_t) noexcept { std::free(p); }
// The other forms on the same pair, so that every allocation and release meet.
void *operator new[](std::size_t size) { return ::operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
  return ::operator new(size, tag);
}
void operator delete[](void *p) noexcept { ::operator delete(p); }
void operator delete[](void *p, std::size_t) noexcept { ::operator delete(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { ::operator delete(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { ::operator delete(p); }

namespace {

// A host's runner over two halves whose plans and parts travel as bytes.
class HalvesRunner : public MCPassRunner {
 public:
  HalvesRunner(const MCRegSettings &settings, regtest::MemoryRecords (&halves)[2])
      : fHalves(halves), fWorkers{MCPartWorker(settings), MCPartWorker(settings)} {}
  MCCommon::MCStatus RunPass(const MCPassPlan &plan, MCPartialStats &merged) override {
    const std::string sent = plan.ToBytes();
    if (sent.empty()) return MCCommon::MCStatus(305, false);
    MCPassPlan received;
    MCCommon::MCStatus status = received.FromBytes(sent.data(), sent.size());
    for (int i = 0; i < 2 && !status.IsError(); ++i) {
      MCPartialStats part, back;
      // The part keeps the pass's status, unless it could not be made.
      const MCCommon::MCStatus filled = fWorkers[i].Fill(received, fHalves[i], part);
      if (part.IsEmpty() && filled.IsError()) return filled;
      const std::string bytes = part.ToBytes();
      if (bytes.empty()) return MCCommon::MCStatus(305, false);
      status = back.FromBytes(bytes.data(), bytes.size());
      if (!status.IsError()) status = merged.Merge(back);
    }
    return status.IsError() ? status : merged.GetStatus();
  }

 private:
  regtest::MemoryRecords (&fHalves)[2];
  MCPartWorker fWorkers[2];
};

// The first error code (-1 for none) or the estimates and one score; threw when anything
// reached the host.
struct HostRun {
  bool threw = false;
  long code = -1;
  std::vector<double> estimates;
  double score = 0.0;
};

HostRun RunAsHost(MCRegSettings &settings, const Rows &rows, long failAt, bool inParts) {
  regtest::MemoryRecords data(rows);
  const auto half = rows.begin() + static_cast<long>(rows.size() / 2);
  regtest::MemoryRecords halves[2] = {regtest::MemoryRecords(Rows(rows.begin(), half)),
                                      regtest::MemoryRecords(Rows(half, rows.end()))};
  const MCCommon::Record record = regtest::MakeRecord(rows[3]);
  HostRun run;
  gAllocations = 0;
  gFailAt = failAt;
  try {
    MCRegFactory factory;
    std::unique_ptr<IMCRegComponent> component(factory.CreateRegAlgorithm(settings));
    HalvesRunner runner(settings, halves);
    MCCommon::MCStatus status = !component ? factory.GetStatus()
                                : inParts  ? MCBuildModelInParts(*component, runner)
                                           : component->BuildModel(data);
    IMCRegOutputStats *stats = nullptr;
    if (!status.IsError()) status = component->GetOutputStats(stats);
    std::vector<double> probabilities;
    if (!status.IsError()) status = component->Score(record, run.score, probabilities);
    gFailAt = -1;  // the test's own copies below
    if (status.IsError()) run.code = status.GetErrorCode();
    if (!status.IsError() && component->IsModelBuilt()) run.estimates = stats->GetParamEstimates();
  } catch (...) {
    run.threw = true;
  }
  gFailAt = -1;
  return run;
}

// The logistic data's factor level 2 occurs once: its combination is stored by one record.
TEST(AllocationFailureTest, NothingReachesTheHostAndNothingIsSilentlyWrong) {
  MCRegSettings linear = ModelSettings();
  MCLogRegSettings logistic = regtest::Logistic({regtest::kA, regtest::kX});
  Rows categorical;
  for (int i = 0; i < 24; ++i) {
    categorical.push_back({double((i * 7 + i / 5) % 3), i == 11 ? 2.0 : i % 2, 0.25 * (i % 7), 0});
  }
  const Rows base = BaseRows();
  // Linear, logistic, logistic over patterns; each in one stream and in halves.
  for (int m = 0; m < 6; ++m) {
    logistic.SetUsePatternTabulator(m % 3 == 2);
    const Rows &data = m % 3 == 0 ? base : categorical;
    MCRegSettings &settings = m % 3 == 0 ? linear : logistic;
    const bool inParts = m >= 3;
    const HostRun clean = RunAsHost(settings, data, -1, inParts);
    ASSERT_TRUE(!clean.threw && !clean.estimates.empty()) << m;
    for (long at = 0, total = gAllocations; at < total; ++at) {
      const HostRun run = RunAsHost(settings, data, at, inParts);
      ASSERT_FALSE(run.threw) << "model " << m << " allocation " << at;
      EXPECT_TRUE(run.code == 305 ||
                  (run.code < 0 && run.estimates == clean.estimates && run.score == clean.score))
          << "model " << m << " allocation " << at << " status " << run.code;
    }
  }
}

}  // namespace

#ifndef MCSTAT_REGRESSION_MCPASSDATA_H_
#define MCSTAT_REGRESSION_MCPASSDATA_H_

// What the passes of a fit in parts hold: the statistics of each pass as values that merge,
// the plans, and their bytes. Internal to the library; exported for the tests.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "../mcmath/MCDDKernels.h"
#include "MCAccumStats.h"
#include "MCCancelInfo.h"
#include "MCConst.h"
#include "MCFactorTables.h"
#include "MCPartialStats.h"
#include "MCRecord.h"
#include "MCRegRecordValidator.h"
#include "MCRegSettings.h"
#include "MCStatus.h"
#include "mcstat_export.h"

// How a pass over some records ended: its first error (or OK), the validator's errors met on
// the way (the models keep them among their warnings), and whether a cancel was pending at its
// end.
struct MCSTAT_EXPORT MCPassOutcome {
  MCCommon::MCStatus fStatus;
  std::vector<MCCommon::MCStatus> fvWarnings;
  bool fbCancelled = false;

  // Adds a status to the warnings unless an equal one is there.
  void AddWarning(const MCCommon::MCStatus& status);
  // The outcome of these records followed by other's: a pass in one stream would have stopped
  // at this part's error, so other then adds nothing.
  void Merge(const MCPassOutcome& other);
};

// First pass: records read, records the validator accepted, records the tables counted, and
// the tables themselves.
struct MCSTAT_EXPORT MCFirstPassData {
  std::int64_t fNRecords = 0;
  std::int64_t fNValid = 0;
  std::int64_t fNTabulated = 0;
  MCFactorTables fTables;
};

// Linear model, cross-product pass: Z'Z with the dependent (packed, order P + 1).
struct MCSTAT_EXPORT MCCrossProductData {
  MCCommonMath::ddkernels::DDSums fSums;
  std::int64_t fNAdded = 0;
};

// Linear model, residual pass: sum w e^2, sum w d, sum w d^2, and the records weighted.
struct MCSTAT_EXPORT MCResidualData {
  MCCommonMath::ddkernels::DDSums fSums;
  std::int64_t fNWeighted = 0;
};

// Logistic model, X'X pass: X'X (packed, order nBasic), the weight of each category present
// (reference last), the rows added.
struct MCSTAT_EXPORT MCLogitCrossProductData {
  MCCommonMath::ddkernels::DDSums fSums;
  MCCommonMath::ddkernels::DDSums fCategorySums;
  std::int64_t fNAdded = 0;
};

class MCPartialStats::Impl {
 public:
  using Data = std::variant<std::monostate, MCFirstPassData, MCCrossProductData, MCResidualData,
                            MCLogitCrossProductData, MCLogitSums>;

  MCConst::MCRegModelType fModel = MCConst::kLinearModel;
  MCPassKind fKind = MCPassKind::kNone;
  std::uint32_t fFingerprint = 0;
  MCPassOutcome fOutcome;
  Data fData;

  // Records read by the pass.
  std::int64_t Records() const;
};

class MCPassPlan::Impl {
 public:
  MCConst::MCRegModelType fModel = MCConst::kLinearModel;
  MCPassKind fKind = MCPassKind::kNone;
  std::uint32_t fFingerprint = 0;
  // Every pass after the first: the merged first pass, which gives the design.
  std::shared_ptr<const MCFirstPassData> fpFirstPass;
  // Residual pass: the estimates (P). Logistic iteration: the parameters ((K-1) p).
  std::vector<double> fvValues;
  // Logistic iteration: one flag per basic parameter, 1 for a non-redundant one; the method,
  // the separation check and whether the log-likelihood alone is wanted; the base of the
  // changes (when there is one) and its log-likelihood.
  std::vector<std::uint8_t> fvNonRedundant;
  MCConst::MCEstimationMethod fMethod = MCConst::kNewtonRaphson;
  bool fbSeparation = false;
  bool fbLLOnly = false;
  bool fbHasBase = false;
  std::vector<double> fvBase;
  MCCommonMath::ddkernels::DD fBaseLL;
  // Rows a part's pattern table may expect (a hint for one stream; 0 when unknown). Not in the
  // bytes.
  std::int64_t fExpectedRows = 0;
};

// The byte format of plans and partial statistics (see MCPartialStats.h), and the settings'
// fingerprint. A friend of the factor tables, whose state it writes and reads.
class MCSTAT_EXPORT MCPartCodec {
 public:
  // Refusal of bytes or parts: 320 with the reason as discrete datum 0.
  enum Reason {
    kLength = 1,
    kChecksum = 2,
    kHeader = 3,
    kContent = 4,
    kKind = 5,
    kSettings = 6,
    kShape = 7
  };
  static MCCommon::MCStatus Refused(Reason reason);

  // CRC-32 of what defines the passes: positions and roles, factor sizes, effects, intercept,
  // and for the logistic model the response categories and the reference.
  static std::uint32_t Fingerprint(const MCRegSettings& settings);

  static std::string Write(const MCPartialStats::Impl& stats);
  static std::string Write(const MCPassPlan::Impl& plan);
  // OK with out filled, or 320 (out unchanged).
  static MCCommon::MCStatus Read(const void* data, std::size_t size, MCPartialStats::Impl& out);
  static MCCommon::MCStatus Read(const void* data, std::size_t size, MCPassPlan::Impl& out);
};

// The factor tables a first pass of the model fills (the logistic model's, which count the
// dependent, for MCLogRegSettings): made from the settings, without effects or covariates yet.
MCSTAT_EXPORT MCFactorTables FirstPassTables(const MCRegSettings& settings);
// Gives the tables the settings' effects (the intercept first, each effect's factors in the
// order of a parameter made from it) and the covariates whose means are tracked (for the
// linear model followed by the dependent). 302 when an effect names a factor the settings do
// not declare.
MCSTAT_EXPORT MCCommon::MCStatus SetFirstPassLayout(const MCRegSettings& settings,
                                                    MCFactorTables& tables);

// The first pass over records from the current position of a pass already started (the caller
// has called NewPass): every record is validated and the valid ones go to the tables, until the
// end, an error (312 for a promised record that does not come, 315, 313 or 316 from the
// validator, which also joins the warnings) or a cancel.
MCSTAT_EXPORT MCPassOutcome TabulateRecords(MCCommon::MultiPassRecordIter& data,
                                            const MCRegRecordValidator& validator,
                                            MCFactorTables& tables,
                                            const MCCommon::MCCancelInfo& cancel,
                                            MCFirstPassData& counts);

// A pass after the first over records (it starts the pass): every valid record goes to
// onValid(record), which may end the pass with an error. 312 for a promised record that does
// not come; 315, 313 or 316 from the validator (also among the warnings); 1 when a cancel cuts
// the pass short or is pending at its end.
template <typename OnValid>
MCPassOutcome RunRecords(MCCommon::MultiPassRecordIter& data, const MCRegRecordValidator& validator,
                         const MCCommon::MCCancelInfo& cancel, OnValid onValid) {
  MCPassOutcome outcome;
  data.NewPass();
  while (data.HasMore()) {
    if (cancel.WillCancel()) break;
    const MCCommon::Record* record = data.Next();
    if (record == nullptr) {
      outcome.fStatus = MCCommon::MCStatus(312, false);
      return outcome;
    }
    MCCommon::MCStatus check;
    if (!validator.IsValidRecord(*record, check)) {
      if (check.IsError()) {  // 315, 313 or 316, with the position and value attached
        outcome.AddWarning(check);
        outcome.fStatus = check;
        return outcome;
      }
      continue;
    }
    outcome.fStatus = onValid(*record);
    if (outcome.fStatus.IsError()) return outcome;
  }
  if (cancel.WillCancel()) {
    outcome.fbCancelled = true;
    outcome.fStatus = MCCommon::MCStatus(1, false);
  }
  return outcome;
}

// Whether a merged first pass read no record at all (every part empty, and no cancel).
MCSTAT_EXPORT bool ReadNothing(const MCPartialStats& merged);
// The merged first pass when its tables have the settings' layout; null otherwise.
MCSTAT_EXPORT MCFirstPassData* FirstPassOf(const MCRegSettings& settings, MCPartialStats& merged);

// What the client makes of a runner's pass: the pass's status (the runner's error, else the
// merged part's), with 320 when merged is of another model, pass or settings than the plan.
MCSTAT_EXPORT MCCommon::MCStatus RunPlannedPass(MCPassRunner& runner, const MCPassPlan& plan,
                                                MCPartialStats& merged);

// The runner of one stream: the whole pass by one worker over the caller's records.
class MCSTAT_EXPORT MCSingleStreamRunner : public MCPassRunner {
 public:
  // The settings, the records and the cancel holder (the algorithm's) must outlive the runner.
  MCSingleStreamRunner(const MCRegSettings& settings, MCCommon::MultiPassRecordIter& data,
                       const MCCommon::MCCancelInfo& cancel);
  ~MCSingleStreamRunner() override;
  MCCommon::MCStatus RunPass(const MCPassPlan& plan, MCPartialStats& merged) override;

 private:
  MCCommon::MultiPassRecordIter& fData;
  std::unique_ptr<MCPartWorker> fpWorker;
};

#endif  // MCSTAT_REGRESSION_MCPASSDATA_H_

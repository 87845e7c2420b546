#ifndef MCSTAT_MCPARTIALSTATS_H_
#define MCSTAT_MCPARTIALSTATS_H_

// Fits over data split into parts. Every pass of both models is a sum over the records: the
// first pass's factor tables, counts and covariate sums; the linear model's cross products and
// residual sums; the log-likelihood, scores and information of each logistic iteration. Sums
// over disjoint parts can be formed apart (on threads, processes or machines) and added, and
// with the exact (double-double) sums the model uses, the sum of the parts is the sum of the
// whole: a fit in parts gives the numbers of the fit in one stream.
//
// The pieces, for each pass:
// - the client makes an MCPassPlan: what the pass computes and what a worker needs for it (the
//   merged first pass, the estimates or parameters of the moment). MCBuildModelInParts makes
//   the plans and hands each to the host's MCPassRunner;
// - every worker, an MCPartWorker made from the same settings as the client's, fills an
//   MCPartialStats from its own records (Fill);
// - the runner merges the parts in the order of the records (Merge) and returns the sum; the
//   client takes it over and does what follows the pass (the solve, the Newton step...).
// Plans and partial statistics travel as bytes (ToBytes, FromBytes) between processes.
//
// Byte format (version 1), all integers little-endian: "MCPS", a 16-bit version, an 8-bit
// object (1 partial statistics, 2 plan), an 8-bit model type (0 linear, 1 logistic), an 8-bit
// pass kind, three zero bytes, a 32-bit fingerprint of the settings, a 64-bit payload length,
// the payload, and a CRC-32 (zlib's) of everything before it. Doubles are their IEEE bits.
// FromBytes refuses a buffer that is truncated, longer than it says, corrupt (the checksum, or
// content that does not hold together), of another version or object, with status 320; Merge
// and Fill refuse parts and plans of another model, pass or settings with 320 (discrete datum
// 0 says which check failed: 1 length, 2 checksum, 3 header, 4 content, 5 model or pass, 6
// settings, 7 sizes).
//
// The single-stream build (IMCRegComponent::BuildModel) runs these same steps with one part.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MCCancelInfo.h"
#include "MCRecord.h"
#include "MCStatus.h"
#include "mcstat_export.h"

class IMCRegComponent;
class MCRegSettings;

// The passes of a fit.
enum class MCPassKind : std::uint8_t {
  kNone = 0,
  // Both models: records validated, category combinations, counts, weights, covariate sums.
  kFirstPass = 1,
  // Linear model: the cross-product matrix Z'Z with the dependent.
  kCrossProducts = 2,
  // Linear model: residual and total sums at the estimates.
  kResiduals = 3,
  // Logistic model: X'X (which decides the redundant parameters) and the category weights.
  kLogitCrossProducts = 4,
  // Logistic model: log-likelihood, scores and information at given parameters.
  kLogitIteration = 5
};

// What one pass computes and what a worker needs for it. Made by the client (through
// MCBuildModelInParts); workers read it, or its bytes.
class MCSTAT_EXPORT MCPassPlan {
 public:
  class Impl;

  // An empty plan (kNone), to be read with FromBytes. Making, moving and destroying plans and
  // partial statistics allocates nothing (a moved-from one is empty); a copy throws
  // std::bad_alloc when memory runs out, as the standard containers do.
  MCPassPlan() noexcept;
  MCPassPlan(const MCPassPlan& other);
  MCPassPlan& operator=(const MCPassPlan& other);
  MCPassPlan(MCPassPlan&& other) noexcept;
  MCPassPlan& operator=(MCPassPlan&& other) noexcept;
  ~MCPassPlan();

  MCPassKind GetPassKind() const;
  // 0 linear, 1 logistic.
  int GetModelType() const;

  // The plan as bytes (the format above); empty when it cannot be held.
  std::string ToBytes() const;
  // Reads a plan from bytes. 320 (the plan unchanged) for bytes that are not a whole plan of
  // this format; OK otherwise.
  MCCommon::MCStatus FromBytes(const void* data, std::size_t size);

  // The library's own state; not for hosts.
  Impl& GetImpl();
  const Impl& GetImpl() const;

 private:
  std::unique_ptr<Impl> fpImpl;
};

// The statistics of one pass over some of the records: a worker's part, or the merge of parts.
// A pass that ends with an error (a record the validator refuses, a cancel...) keeps that
// status; merged in the order of the records, the first part's error stands, as it would in
// one stream.
class MCSTAT_EXPORT MCPartialStats {
 public:
  class Impl;

  // Empty: no pass; merging a part into it copies the part.
  MCPartialStats() noexcept;
  MCPartialStats(const MCPartialStats& other);
  MCPartialStats& operator=(const MCPartialStats& other);
  MCPartialStats(MCPartialStats&& other) noexcept;
  MCPartialStats& operator=(MCPartialStats&& other) noexcept;
  ~MCPartialStats();

  bool IsEmpty() const;
  MCPassKind GetPassKind() const;
  int GetModelType() const;
  // How the pass over these records ended: OK, or the first error met (which ends the fit).
  MCCommon::MCStatus GetStatus() const;
  // Records a first pass read (all of them, valid or not); 0 for the other passes.
  std::int64_t GetRecordCount() const;

  // Adds other, the part of records that follow these. 320 (nothing changed) when other is of
  // another model, pass or settings, or its sums have another shape; OK otherwise. An empty
  // other changes nothing.
  MCCommon::MCStatus Merge(const MCPartialStats& other);

  // The statistics as bytes (the format above); empty when they cannot be held.
  std::string ToBytes() const;
  // Reads statistics from bytes. 320 (nothing changed) for bytes that are not whole partial
  // statistics of this format; OK otherwise.
  MCCommon::MCStatus FromBytes(const void* data, std::size_t size);

  // The library's own state; not for hosts.
  Impl& GetImpl();
  const Impl& GetImpl() const;

 private:
  std::unique_ptr<Impl> fpImpl;
};

// Fills partial statistics from the records of one part. A worker serves one thread at a
// time; it keeps what it built for one fit's plans (the design, and with covariate patterns
// the rows of its part) from pass to pass, so a worker that sees every pass of a fit (a
// thread's) does not rebuild it.
class MCSTAT_EXPORT MCPartWorker {
 public:
  // The settings must be those of the client's component (linear, or MCLogRegSettings for the
  // logistic model) and must outlive the worker. cancel (optional, not owned) is asked before
  // every record instead of the settings' cancel query. Allocates nothing: the worker's state
  // is made by its first Fill (305 when memory runs out).
  explicit MCPartWorker(const MCRegSettings& settings,
                        MCCommon::MCQueryCancel* cancel = nullptr) noexcept;
  MCPartWorker(const MCPartWorker&) = delete;
  MCPartWorker& operator=(const MCPartWorker&) = delete;
  ~MCPartWorker();

  // One pass of the plan over records (from a new pass of them; none is fine): part receives
  // its statistics. Returns the part's status: OK; the pass's error (312 a record promised but
  // not delivered, 315 or 316 a record refused by the validator, 313 a record that cannot be
  // accumulated, 302 an effect naming an undeclared factor, 305 memory, 1 a cancel), which the
  // part keeps too (but for 305 before the part could be made: it stays empty); 320 for a plan
  // of another model or settings, or one it cannot use.
  MCCommon::MCStatus Fill(const MCPassPlan& plan, MCCommon::MultiPassRecordIter& records,
                          MCPartialStats& part);

  // Linear model, after a residual plan: the fitted value of a record with that plan's
  // estimates, bit for bit the component's Score (the missing value when the record's row
  // cannot be formed). 303 before a residual plan, or for the logistic model.
  MCCommon::MCStatus Predict(const MCCommon::Record& record, double& prediction);

  // The library's own state (made when missing); not for hosts.
  class Impl;
  Impl& GetImpl();

 private:
  const MCRegSettings& fSettings;
  MCCommon::MCQueryCancel* fpCancel;
  std::unique_ptr<Impl> fpImpl;
};

// The host's way of running a pass over all of its parts.
class MCSTAT_EXPORT MCPassRunner {
 public:
  virtual ~MCPassRunner();
  // Fills one part per piece of the data with the plan (MCPartWorker::Fill), merges them into
  // merged (empty on entry) in the order of the records and returns merged's status, or an
  // error of its own (e.g. 320 for bytes a worker sent that cannot be read). What it throws
  // ends the build: std::bad_alloc with 305, anything else with 321; a runner that can say
  // what failed keeps that itself and returns an error status.
  virtual MCCommon::MCStatus RunPass(const MCPassPlan& plan, MCPartialStats& merged) = 0;
};

// Builds a component from the factory (linear or logistic) with every pass, the first one
// included unless CreateParameters ran it, run by the runner: the component's BuildModel, its
// statuses and its model, with the data in parts. 309 for a component of another kind.
MCSTAT_EXPORT MCCommon::MCStatus MCBuildModelInParts(IMCRegComponent& component,
                                                     MCPassRunner& runner);

#endif  // MCSTAT_MCPARTIALSTATS_H_

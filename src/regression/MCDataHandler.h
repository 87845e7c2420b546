#ifndef MCSTAT_REGRESSION_MCDATAHANDLER_H_
#define MCSTAT_REGRESSION_MCDATAHANDLER_H_

// The data side of the logistic estimation passes. Internal to the library; exported for the
// tests.

#include <vector>

#include "MCAccumStats.h"
#include "MCCancelInfo.h"
#include "MCConst.h"
#include "MCRecord.h"
#include "MCRegRecordValidator.h"
#include "MCStatus.h"
#include "mcstat_export.h"

class IMCRegModel;

// Knows where the rows come from and drives one pass: every usable row is expanded by the
// model and handed to the accumulator.
class MCSTAT_EXPORT IMCDataHandler {
 public:
  virtual ~IMCDataHandler();
  // The accumulator and the model for the following passes; neither is owned.
  virtual void SetStatsModel(IMCAccumStats* stats, const IMCRegModel* model) = 0;
  // Resets the accumulator (nothing without one).
  virtual void ResetAccumStats(MCConst::MCEstimationMethod method, bool separationCheck) = 0;
  // Forgets the accumulator and the model.
  virtual void CleanStatsModel() = 0;
  // One pass at the current parameters of the accumulator.
  virtual MCCommon::MCStatus ComputeStatsForOptimizer(bool llOnly) = 0;
  virtual const std::vector<MCCommon::MCStatus>& GetWarnings() const = 0;
  virtual void Display() const = 0;
};

// Passes over the host's records. Each pass starts the source anew, asks the cancel holder
// before every record, skips the records the validator rejects and those whose factor
// combination or dependent category the first pass did not count, and hands the others to the
// accumulator with the category's local index (reference last) and the weight frequency
// weight x regression weight.
//
// The status is sticky for a source that cannot start a pass (307) and a row the accumulator
// refuses (303): every later pass returns it without reading data.
class MCSTAT_EXPORT MCRecordIterHandler : public IMCDataHandler {
 public:
  // The source, the cancel holder and the validator stay the caller's and must outlive the
  // handler. A negative weight index means no such weight.
  MCRecordIterHandler(MCCommon::MultiPassRecordIter& data, const MCCommon::MCCancelInfo& cancel,
                      const MCRegRecordValidator& validator, int dependent, int freqWeight,
                      int regrWeight);
  MCRecordIterHandler(const MCRecordIterHandler& other);
  MCRecordIterHandler& operator=(const MCRecordIterHandler&) = delete;
  ~MCRecordIterHandler() override;

  // The model's local category indices (when it has any) are looked up from here on.
  void SetStatsModel(IMCAccumStats* stats, const IMCRegModel* model) override;
  void ResetAccumStats(MCConst::MCEstimationMethod method, bool separationCheck) override;
  void CleanStatsModel() override;
  // The handler's error unchanged; 303 without an accumulator and a model (not kept); 307 when
  // the source refuses a new pass; 304 when it promised a record and delivered none; 315 or
  // 316 from the validator (the pass ends there, with the position and value attached); 1 when
  // a cancel cuts the pass short; 303 when the accumulator refuses a row; OK otherwise. A
  // validator's error (with its position and value) is also kept among the warnings.
  MCCommon::MCStatus ComputeStatsForOptimizer(bool llOnly) override;
  const std::vector<MCCommon::MCStatus>& GetWarnings() const override { return fvWarnings; }
  // Prints nothing: the handler has nothing of its own worth showing.
  void Display() const override;

  const MCCommon::MCStatus& GetStatus() const { return fStatus; }

 private:
  MCCommon::MCStatus fStatus;
  std::vector<MCCommon::MCStatus> fvWarnings;
  MCCommon::MultiPassRecordIter& fData;
  const MCCommon::MCCancelInfo& fCancelInfo;
  const IMCRegModel* fpModel = nullptr;
  IMCAccumStats* fpStats = nullptr;
  int fDependVar = -1;
  int fFreqWeightVar = -1;
  int fRegrWeightVar = -1;
  const MCRegRecordValidator& fValidator;

  // The model's local index per category code; null or empty when the codes are used as
  // they are.
  const std::vector<int>* fpLocalIndices = nullptr;
  // The design row of the current record, reused from record to record.
  std::vector<int> fvIndices;
  std::vector<double> fvValues;
};

// The category index of a dependent value: the value truncated toward zero, looked up in the
// local indices when they are given. -1 when the value is not a representable integer or the
// code has no local index.
int MCLogCategoryIndex(double value, const std::vector<int>* localIndices);

#endif  // MCSTAT_REGRESSION_MCDATAHANDLER_H_

#ifndef MCSTAT_REGRESSION_MCPATTERNTABULATOR_H_
#define MCSTAT_REGRESSION_MCPATTERNTABULATOR_H_

// Covariate pattern tabulation for the logistic estimation. Internal to the library; exported
// for the tests.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "MCCancelInfo.h"
#include "MCConst.h"
#include "MCDataHandler.h"
#include "MCFactorTables.h"
#include "MCHashKey.h"
#include "MCLogRegSettings.h"
#include "MCPackedInt.h"
#include "MCRecord.h"
#include "MCRegRecordValidator.h"
#include "MCStatus.h"
#include "mcstat_export.h"

class IMCRegModel;
struct MCPassOutcome;
template <typename V>
class MCHashtable;

// The status that ends a factor pass for the pattern tabulation: the pass's error; 307 when no
// record was tabulated; 308 when the tables' total weight is not positive; 1 when a cancel is
// pending; OK otherwise.
MCSTAT_EXPORT MCCommon::MCStatus MCPatternFactorPassStatus(const MCCommon::MCStatus& pass,
                                                           std::int64_t tabulated,
                                                           const MCFactorTables& tables,
                                                           bool cancelled);

// One pattern of the table: its number (patterns are numbered in the order they first occur)
// and the number of rows stored under it. The rows themselves live in the tabulator.
class MCSTAT_EXPORT MCRowPatterns {
 public:
  int GetNRows() const { return fNRows; }

  int fIndex = -1;
  int fNRows = 0;
};

// Groups the valid records by their pattern of factor-effect parameters and keeps the extracted
// rows with the pattern of each. The records are read twice (the factor pass and the row-pattern
// pass); the rows are then handed to the model once and every estimation pass runs over them.
// A pattern's key is its per-effect local parameter indices packed into a few integers; its
// parameter positions are worked out once, when the pattern first occurs.
//
// Once the row-pattern pass is complete the rows are kept pattern by pattern, and the
// estimation passes visit them so: an accumulator that can add a
// pattern's rows together (IMCAccumStats::BeginPattern) then does its per-row work once per
// pattern where it can. Every sum is exact (double-double), so the order changes nothing a fit
// decides. The row store is reserved once for the records the factor pass accepted and is
// regrouped in place, so it is never moved.
//
// Every status is kept: once the tabulator holds an error every operation returns it.
class MCSTAT_EXPORT MCPatternTabulator : public IMCDataHandler {
 public:
  // Takes the dependent, the variable roles and the weight positions from the settings and the
  // weight offsets from the extractor; builds the validator. With createTable the pattern table
  // is created (89 buckets). The settings, the extractor and the cancel holder stay the
  // caller's and must outlive the tabulator.
  MCPatternTabulator(const MCLogRegSettings& settings, const MCRecordExtractor& extractor,
                     const MCCommon::MCCancelInfo& cancel, bool createTable);
  MCPatternTabulator(const MCPatternTabulator&) = delete;
  MCPatternTabulator& operator=(const MCPatternTabulator&) = delete;
  ~MCPatternTabulator() override;

  void SetStatsModel(IMCAccumStats* stats, const IMCRegModel* model) override;
  void ResetAccumStats(MCConst::MCEstimationMethod method, bool separationCheck) override;
  void CleanStatsModel() override;
  // One pass over the stored rows. 313 before the patterns exist, without an accumulator and a
  // model, or when the model or the accumulator refuses a row; 1 when a cancel cuts it short.
  MCCommon::MCStatus ComputeStatsForOptimizer(bool llOnly) override;
  // The validator's errors of the record passes (315, 313, 316 with their position and value).
  const std::vector<MCCommon::MCStatus>& GetWarnings() const override { return fvWarnings; }
  void Display() const override;

  // The first pass (it starts the source anew): every valid record goes into the factor
  // tables. 307 for an empty source or no valid record, 303 when the pass was done already,
  // 312 for a promised record that does not come, 315 for a record shorter than the role list,
  // 313 or 316 from the validator, 308 when the tables' total weight is not positive, 1 when a
  // cancel is pending at the end.
  virtual MCCommon::MCStatus TabulateFactors(MCCommon::MultiPassRecordIter& data,
                                             MCFactorTables& tables);
  // The second pass (it starts the source anew): every valid record whose factor combination
  // and dependent category the tables know is stored under its pattern. The tables (with their
  // parameter indices made) and the model (with its categories settled) must be ready; the
  // tables must outlive the tabulator. 307 for an empty source or no stored row, 313 when the
  // patterns exist already (or there is no table), 305 when the rows cannot be held, 312, 313,
  // 314, 315 and 316 as they arise, 1 when a cancel is pending at the end.
  virtual MCCommon::MCStatus CreateRowPatterns(MCCommon::MultiPassRecordIter& data,
                                               const MCFactorTables& tables,
                                               const IMCRegModel& model);
  // The row-pattern pass over one part of the records (the tables those of all): as
  // CreateRowPatterns, but a part without records or rows is complete, with none.
  MCCommon::MCStatus StoreRowPatterns(MCCommon::MultiPassRecordIter& data,
                                      const MCFactorTables& tables, const IMCRegModel& model);
  // The rows the row-pattern pass may store at most (the records its factor pass tabulated);
  // the store is reserved for them once.
  void ExpectRows(std::int64_t rows) {
    fValidCount =
        static_cast<int>(std::min<std::int64_t>(std::max<std::int64_t>(rows, 0), INT32_MAX));
  }
  // Hands every stored row with its pattern's parameter positions to the model. 303 before
  // the patterns exist, 313 when the model refuses a row, 1 when a cancel is pending.
  virtual MCCommon::MCStatus AddPatternsToModel(IMCRegModel& model);
  // Stores one valid record of the row-pattern pass; skips (OK) a record whose combination or
  // category the tables do not know. 314 for a record without values, 305 when it cannot be
  // held.
  virtual MCCommon::MCStatus AddRecordToPatterns(const MCCommon::Record& record,
                                                 const IMCRegModel& model);

  const MCCommon::MCStatus& GetStatus() const { return fStatus; }
  int GetRecordCount() const { return fRecordCount; }
  int GetValidCount() const { return fValidCount; }
  int GetNRowsStored() const { return fNRowsStored; }
  // Number of distinct patterns, and the buckets of the table (0 without a table).
  int GetNPatterns() const;
  int GetNBuckets() const;
  int GetNPackedKey() const { return fNPackedKey; }
  bool IsFactorTableFilled() const { return fbFactorTableFilled; }
  bool AreRowPatternsCreated() const { return fbRowPatternsCreated; }
  // Every pattern, in the order of their numbers.
  std::vector<const MCRowPatterns*> GetPatterns() const;
  // Stored row r (0 <= r < GetNRowsStored()): fNAnalysVars values in the extractor's order,
  // the dependent as its local category index; null outside the range. Once the patterns are
  // complete the rows of pattern 0 come first, then those of pattern 1, and so on.
  const double* GetStoredRow(int r) const;
  // Number of the pattern of stored row r, -1 outside the range.
  int GetRowPattern(int r) const;
  // Parameter positions (one per local effect) of a pattern; empty for an unknown number.
  const std::vector<int>& GetPatternPositions(int pattern) const;

 private:
  // The row-pattern pass; with whole (the records are all there are) an empty source and a
  // pass that stores no row are 307.
  MCCommon::MCStatus RowPatternPass(MCCommon::MultiPassRecordIter& data,
                                    const MCFactorTables& tables, const IMCRegModel& model,
                                    bool whole);
  // Reads the next record of a pass into record; false (status set) on 312 or 315.
  bool NextRecord(MCCommon::MultiPassRecordIter& data, const MCCommon::Record*& record);
  // Parameter positions of a new pattern from its factor effects' local parameter indices.
  void AddPatternPositions(const std::vector<int>& local);
  // Puts the stored rows in pattern order, in place, and notes where each pattern starts.
  void GroupRowsByPattern();
  // One pass over the rows of a pattern: together, when the model and the accumulator can,
  // else row by row. 313 when a row is refused, 1 when a cancel is pending before a row.
  MCCommon::MCStatus AddPatternToStats(int pattern, bool llOnly);
  MCCommon::MCStatus Keep(const MCCommon::MCStatus& status);
  // Adds a status to the warnings unless an equal one is there.
  void AddWarning(const MCCommon::MCStatus& status);
  // The validator's build rule; its error (315, 313, 316) becomes the status and a warning.
  bool IsValid(const MCCommon::Record& record);

  int fNFactorEffects = 0;
  int fNAllEffects = 0;
  const std::vector<int>* fpModelEffectsWithFactors = nullptr;
  const std::vector<int>* fpLocalEffects = nullptr;
  const std::vector<int>* fpParameterOffsets = nullptr;
  std::vector<int> fvBounds;
  std::vector<int> fvPackedBounds;
  int fNPackedKey = 0;
  std::vector<int> fvDependCategories;
  std::vector<int> fvDependLocalIndices;
  int fDependVar = -1;
  const std::vector<MCConst::MCVariableType>& fVariableType;
  int fFreqWeightVar = -1;
  int fRegrWeightVar = -1;
  int fFreqWeightOffset = -1;
  int fRegrWeightOffset = -1;
  const MCRecordExtractor& fRecordExtractor;
  int fNAnalysVars = 0;
  std::unique_ptr<MCHashtable<MCRowPatterns>> fpRowPatternTable;
  std::unique_ptr<MCCommonMath::MCHashKey> fpKey;
  int fRecordCount = 0;
  int fValidCount = 0;
  int fNRowsStored = 0;
  bool fbFactorTableFilled = false;
  bool fbRowPatternsCreated = false;
  const MCCommon::MCCancelInfo& fCancelInfo;
  MCCommonMath::MCPackedInt fPackedInt;
  MCCommon::MCStatus fStatus;
  MCRegRecordValidator fValidator;
  IMCAccumStats* fpStats = nullptr;
  const IMCRegModel* fpModel = nullptr;

  const MCFactorTables* fpFactorTables = nullptr;
  std::vector<MCCommon::MCStatus> fvWarnings;
  // The stored rows, fNAnalysVars values each, and the pattern of each; once grouped, the
  // first row of every pattern (and the end of the last).
  std::vector<double> fvRowData;
  std::vector<int32_t> fvRowPattern;
  std::vector<std::size_t> fvPatternStart;
  // Parameter positions of every pattern, by pattern number.
  std::vector<std::vector<int>> fvPatternPositions;
  // Work lists reused from record to record.
  std::vector<int> fvPacked;
  std::vector<int> fvIndices;
  std::vector<double> fvValues;
  std::vector<int> fvColumns;
};

#endif  // MCSTAT_REGRESSION_MCPATTERNTABULATOR_H_

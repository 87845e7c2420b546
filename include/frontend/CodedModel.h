#ifndef MCSTAT_FRONTEND_CODEDMODEL_H_
#define MCSTAT_FRONTEND_CODEDMODEL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MCRecord.h"
#include "MCRegSettings.h"
#include "MCRegrParameter.h"
#include "frontend/DataSource.h"
#include "frontend/Errors.h"
#include "frontend/FitResult.h"
#include "frontend/ModelRequest.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

class CategoryCoding;
class ModelLayout;
class PrecodedData;

// Records of a model whose split values are these: a split slot with its coding and the
// code of its value.
struct SplitCondition {
  int slot = -1;
  std::shared_ptr<const CategoryCoding> coding;
  int code = -1;
};

// What reading records tells a model before its categories are coded: per record position,
// the category keys met (ascending; empty for other positions) and the largest magnitude of
// the values used, with the weight and the record counts. Summaries of disjoint parts of the
// data merge into the summary of the whole, when the parts' sources key categories alike (the
// same numbers, the same label lists).
struct MCFRONTEND_EXPORT ScanSummary {
  std::vector<std::vector<double>> keys;
  std::vector<double> largest;
  double totalWeight = 0.0;
  std::int64_t read = 0, used = 0, notFinite = 0;
  // Adds other, the summary of other records.
  void Merge(const ScanSummary& other);
};

// A model set up for the library over a data source: the regression settings, and the
// records coded pass by pass (dependent at position 0, then the factors, the covariates and
// the weights) as the library's record iterator. Memory holds the categories and the
// settings, never the records: every pass reads the source (or its temporary cache) again.
//
// Factor categories (and a logistic model's response categories) are those the records
// hold, coded in ascending order (numbers numerically, text by bytes), so the last category
// is the aliased one unless the request names another. Not copyable: the settings' effects
// point into it.
class MCFRONTEND_EXPORT CodedModel {
 public:
  // Reads the source as the request needs it (one pass, or two when the source's passes are
  // costly and its records go into the temporary cache first; a formula's column that turns
  // out to hold text starts the first pass over). The source must outlive the model. With
  // threads above 1 the records (when their number is known) are read in as many ranges at
  // once; the model is the same.
  // InputError for a request that does not fit the source (an unknown column, a bad term...;
  // TextInputError pointing into a formula) or bad data (text where a number is needed, a
  // negative weight); FitError for data whose scale overflows or underflows the fit's sums of
  // squares; Cancelled when cancelled says so.
  CodedModel(DataSource& source, const ModelRequest& request, CacheMode cache = CacheMode::kAuto,
             const CancelCheck& cancelled = {}, int threads = 1);
  // The model of the source with the categories and counts of whole (the merged summaries of
  // all parts of some data, of which the source is one, or none): the model every part of the
  // data is coded with, without a pass over the source. Errors as above.
  CodedModel(DataSource& source, const ModelRequest& request, const ScanSummary& whole);
  // The summary of the source's records for the request (one pass); InputError as above.
  static ScanSummary Summarize(DataSource& source, const ModelRequest& request);
  // The model of the records of shared data that meet the conditions (a split's records).
  CodedModel(std::shared_ptr<const PrecodedData> data, const ModelLayout& layout,
             std::vector<SplitCondition> when, const CancelCheck& cancelled, int threads = 1);
  CodedModel(const CodedModel&) = delete;
  CodedModel& operator=(const CodedModel&) = delete;
  ~CodedModel();

  MCRegSettings& Settings() { return fSettings; }
  // The coded records, read again from the first one at every NewPass.
  MCCommon::MultiPassRecordIter& Records();
  // The coded records of a range of the source's records, independent of every other
  // iterator (for passes split over threads).
  std::unique_ptr<MCCommon::MultiPassRecordIter> OpenRecords(RecordRange range) const;
  // Throws the InputError a pass of Records met (a source that became unreadable), if any.
  void CheckRecords() const;
  // The same for records OpenRecords gave.
  void CheckRecords(const MCCommon::MultiPassRecordIter& records) const;
  // The number of records of the source (not only those of a split) when known without a
  // pass, else -1: the ranges of OpenRecords split it.
  std::int64_t SourceRecordCount() const;

  // Records read (those of the split when there is one), and those with every value the
  // model uses present and positive weights; among those not used, the records where a
  // derived covariate's value is not finite (log(0), a division by 0...).
  std::int64_t RecordsRead() const { return fRecordsRead; }
  std::int64_t RecordsUsed() const { return fRecordsUsed; }
  std::int64_t RecordsNotFinite() const { return fRecordsNotFinite; }
  const ModelRequest& Request() const;
  const std::vector<Term>& Terms() const;
  const ModelLayout& Layout() const { return *fpLayout; }

  // "(Intercept)", "NAME=VALUE" for a factor level, "NAME" for a covariate, products in the
  // order of the term joined by '*'; always UTF-8.
  std::string ParameterName(const MCRegrParameter& parameter) const;
  // The predictors of a parameter in the order of its term; empty for the intercept.
  std::vector<PredictorCell> ParameterCells(const MCRegrParameter& parameter) const;
  // Factor f (in the order of the request): its number of categories, the category with
  // code `code` as written in the data (numbers with 15 significant digits; empty for a code
  // it does not have), and whether its categories are numbers.
  int CategoryCount(int factor) const;
  std::string CategoryText(int factor, int code) const;
  bool NumericCategories(int factor) const;
  // The record position of a variable (dependent, factor or covariate), or -1.
  int Position(const std::string& name) const;
  // Logistic model: the dependent's categories like a factor's; 0 categories and empty
  // texts for a linear model.
  int ResponseCategoryCount() const;
  std::string ResponseText(int code) const;
  bool ResponseNumeric() const;

  // Whether a record of the data (its slot values) belongs to this model, and its coded
  // values (Settings' positions); scratch holds derived covariates' inputs.
  bool Matches(const double* values) const;
  void Code(const double* values, double* record, std::vector<double>& scratch) const;
  const PrecodedData& Data() const { return *fpData; }

 private:
  struct ScanPart;
  // A model that only reads its records (Gather): nothing coded, no settings.
  CodedModel(std::shared_ptr<const PrecodedData> data, std::unique_ptr<ModelLayout> layout);
  void Scan(const CancelCheck& cancelled, int threads);
  ScanSummary Gather(const CancelCheck& cancelled, int threads) const;
  void Settle(const ScanSummary& whole);
  void ScanRange(RecordRange range, const CancelCheck& cancelled, ScanPart& part) const;
  void BuildSettings();
  void CheckScale(const std::vector<double>& largest, double totalWeight) const;
  double Derived(const double* values, int position, std::vector<double>& scratch,
                 bool* notFinite) const;

  std::shared_ptr<const PrecodedData> fpData;
  std::unique_ptr<ModelLayout> fpLayout;
  std::vector<SplitCondition> fvWhen;
  std::vector<std::unique_ptr<CategoryCoding>> fvCodings;  // by position; null: no category
  std::unique_ptr<std::vector<int>> fpEffectIndices;       // shared by all effects
  MCRegSettings fSettings;
  std::unique_ptr<MCCommon::MultiPassRecordIter> fpRecords;
  std::int64_t fRecordsRead = 0;
  std::int64_t fRecordsUsed = 0;
  std::int64_t fRecordsNotFinite = 0;
};

// The columns of source that a request reads (its variables, the columns of its derived
// covariates, its weights), in the source's order, without reading a record: what a caller
// holding the columns elsewhere needs to hand over. InputError (TextInputError pointing into
// a formula) as CodedModel's constructor gives for a request that does not fit the columns.
MCFRONTEND_EXPORT std::vector<std::string> RequestColumns(const ModelRequest& request,
                                                          const DataSource& source);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_CODEDMODEL_H_

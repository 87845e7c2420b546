#ifndef MCSTAT_FRONTEND_MODELSETUP_H_
#define MCSTAT_FRONTEND_MODELSETUP_H_

#include <memory>
#include <string>
#include <vector>

#include "DataTable.h"
#include "frontend/FitResult.h"
#include "frontend/ModelRequest.h"
#include "IMCVariable.h"
#include "MCRecord.h"
#include "MCRegSettings.h"
#include "MCRegrParameter.h"
#include "Terms.h"

namespace MCFrontEnd {

// Text from the data as UTF-8: valid UTF-8 unchanged, other text read byte by byte as
// Windows-1252 (the usual encoding of such files).
std::string ToUtf8(const std::string& text);

// Coded records held in memory, read again from the first record at every pass.
class MemoryRecords : public MCCommon::MultiPassRecordIter {
 public:
  // `values` holds nRecords records of `width` values each, one after the other.
  MemoryRecords(std::vector<double> values, int width);

  bool HasMore() const override { return fNext < fNRecords; }
  const MCCommon::Record* Next() override;
  int GetFailReason() const override;
  int NewPass() override;

  std::size_t GetNRecords() const { return fNRecords; }
  int GetWidth() const { return fWidth; }
  // Record i's values (not checked).
  const double* RecordValues(std::size_t i) const { return fValues.data() + i * fWidth; }

 private:
  std::vector<double> fValues;
  int fWidth = 0;
  std::size_t fNRecords = 0;
  std::size_t fNext = 0;
  MCCommon::Record fCurrent;
};

// The model set up for the library: the data coded into records (dependent at position 0,
// then the factors, the covariates and the weights), the regression settings, and what is
// needed to name the parameters. Factor categories are coded in ascending order (numbers
// numerically, text by bytes) through the library's categorical variables, so the last
// category is the aliased one. Not copyable: the settings' effects point into it.
class CodedModel {
 public:
  // InputError for an unknown column, a text value where a number is needed, a factor
  // value that is not a number in a binary file, or a bad term; FitError for data whose
  // scale overflows or underflows the fit's sums of squares.
  CodedModel(const DataTable& data, const ModelRequest& request);
  CodedModel(const CodedModel&) = delete;
  CodedModel& operator=(const CodedModel&) = delete;

  MCRegSettings& Settings() { return fSettings; }
  MemoryRecords& Records() { return *fpRecords; }
  // Records with every value the model uses present and positive weights.
  long RecordsUsed() const { return fRecordsUsed; }
  const std::vector<Term>& Terms() const { return fTerms; }
  const ModelRequest& Request() const { return fRequest; }

  // "(Intercept)", "NAME=VALUE" for a factor level, "NAME" for a covariate, products in the
  // order of the term joined by '*'; always UTF-8 (see ToUtf8).
  std::string ParameterName(const MCRegrParameter& parameter) const;
  // The predictors of a parameter in the order of its term; empty for the intercept.
  std::vector<PredictorCell> ParameterCells(const MCRegrParameter& parameter) const;
  // The category of factor f (in the order of the request) with code `code`, as written in the
  // data (numbers with up to 15 significant digits).
  std::string CategoryText(int factor, int code) const;
  // The record position of a variable name in the coded records, or -1.
  int Position(const std::string& name) const;
  // Logistic model: the dependent is coded like a factor (ascending categories). The number
  // of its categories and the text of a code (empty for a code it does not have); 0 and
  // empty for a linear model.
  int ResponseCategoryCount() const;
  std::string ResponseText(int code) const;

 private:
  void CodeFactor(const DataTable& data, int column, int factor);
  std::unique_ptr<MCCommonMetadata::IMCVariable> CodeCategorical(const DataTable& data, int column,
                                                                 std::size_t position,
                                                                 const std::string& role);
  void CodeNumber(const DataTable& data, int column, int position, const std::string& role);
  void BuildSettings();
  // FitError when the largest value of the dependent or of a covariate term (from `largest`,
  // by record position) would overflow or underflow the weighted cross products.
  void CheckScale(const std::vector<double>& largest, double totalWeight) const;

  ModelRequest fRequest;
  std::vector<Term> fTerms;
  int fWidth = 0;
  std::vector<double> fValues;  // coded records before they move into fpRecords
  std::vector<std::unique_ptr<MCCommonMetadata::IMCVariable>> fFactorVars;
  // The dependent's categories (logistic model only).
  std::unique_ptr<MCCommonMetadata::IMCVariable> fpResponseVar;
  std::unique_ptr<std::vector<int>> fpEffectIndices;  // shared by all effects
  MCRegSettings fSettings;
  std::unique_ptr<MemoryRecords> fpRecords;
  long fRecordsUsed = 0;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_MODELSETUP_H_

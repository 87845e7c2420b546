#ifndef MCSTAT_FRONTEND_PREDICTIONS_H_
#define MCSTAT_FRONTEND_PREDICTIONS_H_

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "frontend/DataSource.h"
#include "frontend/Fit.h"

namespace MCFrontEnd {

// A field as text: the text of a CSV field, the shortest text of a number, a label; empty
// when missing.
std::string FieldText(const DataSource& source, int column, const Field& field);

// The values of one column of a source, record by record, read beside a fit's pass (the
// source is read again from its start). InputError for an unknown column or a source that
// cannot be read a second time.
class IdColumn {
 public:
  IdColumn(DataSource& source, const std::string& name);
  const std::string& Name() const { return fName; }
  // The value of the next record ("" when missing, or when the column has no more records).
  std::string Next();

 private:
  const DataSource& fSource;
  std::string fName;
  int fColumn;
  std::unique_ptr<RowCursor> fpCursor;
};

// Writes a fit's predictions as CSV, one line per record read: the id column when given,
// then "fitted","residual" (linear) or "predicted" and "P(category)" per category (logistic);
// empty fields where there is no value. Numbers are the shortest text that reads back alike.
class CsvPredictions : public PredictionSink {
 public:
  CsvPredictions(std::ostream& out, IdColumn* id) : fOut(out), fpId(id) {}
  void Begin(const FitResult& result) override;
  void Fitted(std::int64_t index, double fitted, double residual) override;
  void Classified(std::int64_t index, int category,
                  const std::vector<double>& probabilities) override;

 private:
  void Id();
  std::ostream& fOut;
  IdColumn* fpId;
  std::vector<std::string> fvCategories;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PREDICTIONS_H_

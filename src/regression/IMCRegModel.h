#ifndef MCSTAT_REGRESSION_IMCREGMODEL_H_
#define MCSTAT_REGRESSION_IMCREGMODEL_H_

// The model side of the logistic data passes: what the data handlers and the estimation loop
// ask of a model. Internal to the library; exported only so that tests can drive the passes
// with a model of their own.

#include <vector>

#include "MCRecord.h"
#include "mcstat_export.h"

// A regression model as the data passes see it. A design row is sparse: the local indices of
// the non-redundant basic parameters of one logit block, strictly increasing, with their
// non-zero design values. A row whose design values are all zero is the empty row.
class MCSTAT_EXPORT IMCRegModel {
 public:
  virtual ~IMCRegModel();

  // Number of estimated (non-redundant) parameters over all logits, (K-1) p; negative while
  // unknown.
  virtual int GetNEstimatedParameters() const = 0;
  // Number K of dependent categories present in the data.
  virtual int GetNDependentCategories() const = 0;
  // The category codes present in the data, the reference category last.
  virtual const std::vector<int>& GetDependentCategories() const = 0;
  // Local index (0 .. K-1, the reference K-1) of every category code, -1 for a code that is
  // not present. Empty when the dependent values of the records already are local indices.
  virtual const std::vector<int>& GetDependentLocalIndices() const = 0;

  // Whether the first pass counted a valid record: every factor and the dependent inside its
  // range, whether or not an effect uses the factor. The data passes skip a record it did not.
  virtual bool IsCounted(const MCCommon::Record& record) const = 0;
  // The sparse design row of a valid record, into the caller's reused buffers. False when the
  // record's factor combination never occurred in the first pass: the data passes skip it.
  virtual bool ExpandRecordSparse(const MCCommon::Record& record, std::vector<int>& indices,
                                  std::vector<double>& values) const = 0;
  // The same for a row stored by the pattern tabulator (the record extractor's layout, the
  // dependent as local index) whose parameter positions, one per model effect, come from its
  // pattern. False when the row cannot be expanded.
  virtual bool ExpandPatternRowSparse(const double* row, const std::vector<int>& positions,
                                      std::vector<int>& indices,
                                      std::vector<double>& values) const = 0;
  // Adds a stored pattern row, weighted by its stored weights, to the model's cross-product
  // matrix. False when the model refuses it.
  virtual bool AddPatternRow(const double* row, const std::vector<int>& positions) = 0;

  // A stored pattern's design by columns: the indices ExpandPatternRowSparse gives before it
  // leaves out zero values, and for each the column of its value, 0 for the value 1, a > 0 for
  // the a-th of the model's distinct covariate products. False (the default) when the model
  // gives no columns for the pattern: its rows are then expanded one by one.
  virtual bool ExpandPatternColumns(const std::vector<int>& positions, std::vector<int>& indices,
                                    std::vector<int>& columns) const;
  // The number of columns, and a stored row's value of each (values receives that many).
  virtual int GetNPatternColumns() const;
  virtual void PatternRowColumnValues(const double* row, double* values) const;
};

#endif  // MCSTAT_REGRESSION_IMCREGMODEL_H_

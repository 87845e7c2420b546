#ifndef MCSTAT_FRONTEND_PREDICT_H_
#define MCSTAT_FRONTEND_PREDICT_H_

#include <string>
#include <vector>

#include "frontend/DataSource.h"
#include "frontend/Errors.h"
#include "frontend/FitResult.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// What a fitted model predicts for each record of a source.
struct Predictions {
  // Logistic model: the response categories, in the order of the result's categories; empty
  // for a linear model.
  std::vector<std::string> categories;
  // Record by record, max(1, categories.size()) values each: the predicted value (linear) or
  // the probability of each category (logistic); NaN for a record that cannot be scored.
  std::vector<double> values;
};

// Scores every record of data with the fitted model exactly as `mcfit score` scores them with
// the model's PMML document (RunScore): a record missing a value the model needs, or with a
// factor category the model was not fitted with, cannot be scored. A category matches when
// its text is the category's or when it is the same number; numeric columns of the source
// (binary files, columns in memory) match numeric categories by number. InputError for a
// column the model needs that data lacks, or a covariate holding text that is not a number;
// Cancelled when cancelled says so (asked every few thousand records; may be empty).
MCFRONTEND_EXPORT Predictions Predict(const FitResult& result, DataSource& data,
                                      const CancelCheck& cancelled = {});

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PREDICT_H_

#ifndef MCSTAT_FRONTEND_PREDICT_H_
#define MCSTAT_FRONTEND_PREDICT_H_

#include <string>
#include <vector>

#include "frontend/CodedModel.h"
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
  // When asked (linear model): each record's dependent less its predicted value; NaN where
  // either is missing (or the dependent's arithmetic is not finite).
  std::vector<double> residuals;
};

// The columns of the fitted model's data that its predictions read (factors, covariates, the
// columns of derived covariates), in order of first use. InputError as for Predict.
MCFRONTEND_EXPORT std::vector<std::string> PredictorColumns(const FitResult& result,
                                                            const CodedModel& model);

// Scores every record of data with the fitted model (its result, and the coded model that
// says how its variables come from columns: C(x), log(x)...) exactly as `mcfit score` scores
// them with the model's PMML document (RunScore): a record missing a value the model needs,
// with a factor category the model was not fitted with, or whose derived covariate is not
// finite, cannot be scored. A category matches when its text is the category's or when it is
// the same number; numeric columns of the source (binary files, columns in memory) match
// numeric categories by number. With residuals (a linear model only), data must also hold
// the dependent. InputError for a column the model needs that data lacks, a covariate holding
// text that is not a number, or a variable computed by the caller's function; Cancelled when
// cancelled says so (asked every few thousand records; may be empty).
MCFRONTEND_EXPORT Predictions Predict(const FitResult& result, const CodedModel& model,
                                      DataSource& data, bool residuals = false,
                                      const CancelCheck& cancelled = {});

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PREDICT_H_

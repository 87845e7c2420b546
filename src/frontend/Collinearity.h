#ifndef MCSTAT_FRONTEND_COLLINEARITY_H_
#define MCSTAT_FRONTEND_COLLINEARITY_H_

#include <vector>

#include "frontend/FitResult.h"
#include "MCSymMatrix.h"
#include "frontend/CodedModel.h"

namespace MCFrontEnd {

// Belsley's diagnostics of a cross-product matrix X'WX: scaled to unit diagonal (the columns
// of X to unit length), its eigenvalues in descending order and the condition indices
// sqrt(largest / eigenvalue) (NaN where the eigenvalue is not positive). A zero column keeps
// its zero row. False when the eigenvalues cannot be computed.
bool ScaledEigenvalues(const MCCommonMath::MCSymMatrix& crossProducts,
                       std::vector<double>& eigenvalues, std::vector<double>& conditionIndices);

// Fills result's collinearity fields from the design columns of its non-redundant parameters
// (those of the first target category in a logistic model) over the records the fit used,
// weighted by the frequency and regression weights.
void AddCollinearity(CodedModel& model, FitResult& result);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_COLLINEARITY_H_

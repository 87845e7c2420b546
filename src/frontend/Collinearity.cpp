#include "Collinearity.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "MCEigenValues.h"
#include "MCMV.h"
#include "ModelLayout.h"
#include "RecordPass.h"

namespace MCFrontEnd {

bool ScaledEigenvalues(const MCCommonMath::MCSymMatrix& crossProducts,
                       std::vector<double>& eigenvalues, std::vector<double>& conditionIndices) {
  const int n = crossProducts.GetNRows();
  eigenvalues.clear();
  conditionIndices.clear();
  if (n < 1) return false;
  std::vector<double> scale(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double d = crossProducts.GetElem(i, i);
    scale[static_cast<std::size_t>(i)] = d > 0.0 ? 1.0 / std::sqrt(d) : 0.0;
  }
  MCCommonMath::MCSymMatrix scaled(n);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      scaled.SetElem(i, j,
                     crossProducts.GetElem(i, j) * scale[static_cast<std::size_t>(i)] *
                         scale[static_cast<std::size_t>(j)]);
    }
  }
  MCCommonMath::MCEigenValues solver(scaled);
  if (solver.GetSorted(eigenvalues, false) != n) {
    eigenvalues.clear();
    return false;
  }
  const double largest = eigenvalues.front();
  for (const double e : eigenvalues) {
    conditionIndices.push_back(e > 0.0 && largest > 0.0 ? std::sqrt(largest / e)
                                                        : std::numeric_limits<double>::quiet_NaN());
  }
  return true;
}

void AddCollinearity(CodedModel& model, FitResult& result) {
  result.collinearity = true;
  const MCRegSettings& settings = model.Settings();
  const std::vector<int>& sizes = settings.GetFactorSizes();
  const int nFactors = static_cast<int>(model.Request().factors.size());
  // Each column as (record position, factor code or -1 for a covariate) per cell.
  std::vector<std::vector<std::pair<int, int>>> columns;
  for (const ParameterResult& p : result.parameters) {
    if (p.redundant) continue;
    if (p.target && result.parameters.front().target &&
        *p.target != *result.parameters.front().target) {
      continue;
    }
    std::vector<std::pair<int, int>> column;
    for (const PredictorCell& cell : p.cells) {
      const int pos = model.Position(cell.variable);
      int code = -1;
      if (cell.factor && pos >= 1 && pos <= nFactors) {
        const int size = sizes[static_cast<std::size_t>(pos - 1)];
        for (int c = 0; c < size && code < 0; ++c) {
          if (model.CategoryText(pos - 1, c) == cell.category) code = c;
        }
      }
      column.emplace_back(pos, code);
    }
    columns.push_back(std::move(column));
  }
  const int n = static_cast<int>(columns.size());
  if (n == 0) return;

  const ModelLayout& layout = model.Layout();
  MCCommonMath::MCSymMatrix xtx(n);
  std::vector<double>& packed = xtx.AsVector();
  std::vector<double> x(static_cast<std::size_t>(n));
  ForEachRecord(model, [&](const MCCommon::Record& record) {
    const double* v = record.GetAll();
    if (!layout.Used(v)) return;
    const double w = layout.Weight(v);
    for (int c = 0; c < n; ++c) {
      double value = 1.0;
      for (const auto& [pos, code] : columns[static_cast<std::size_t>(c)]) {
        value *= code >= 0 ? (v[pos] == code ? 1.0 : 0.0) : v[pos];
      }
      x[static_cast<std::size_t>(c)] = value;
    }
    // Packed lower triangle, row by row.
    std::size_t p = 0;
    for (int i = 0; i < n; ++i) {
      const double wx = w * x[static_cast<std::size_t>(i)];
      for (int j = 0; j <= i; ++j) packed[p++] += wx * x[static_cast<std::size_t>(j)];
    }
  });
  ScaledEigenvalues(xtx, result.eigenvalues, result.conditionIndices);
}

}  // namespace MCFrontEnd

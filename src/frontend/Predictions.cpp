#include "Predictions.h"

#include <cmath>

#include "Text.h"
#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

std::string Number(double v) { return std::isfinite(v) ? ShortestText(v) : std::string(); }

}  // namespace

std::string FieldText(const DataSource& source, int column, const Field& field) {
  switch (field.kind) {
    case Field::kText:
      return std::string(field.text);
    case Field::kNumber:
      return ShortestText(field.number);
    case Field::kLabel:
      return source.Labels(column)[static_cast<std::size_t>(field.label)];
    default:
      return std::string();
  }
}

IdColumn::IdColumn(DataSource& source, const std::string& name)
    : fSource(source), fName(name), fColumn(source.Find(name)) {
  if (fColumn < 0 || name.empty()) {
    throw InputError("--id: unknown column '" + name + "'" +
                     DidYouMean(name, source.ColumnNames()));
  }
  if (source.PassCost() == DataSource::Passes::kOnce) {
    throw InputError("--id: " + source.Name() +
                     " can be read only once (binary records on standard input or a pipe)");
  }
  fpCursor = source.Open({fColumn});
}

std::string IdColumn::Next() {
  if (!fpCursor->Next()) return std::string();
  return FieldText(fSource, fColumn, fpCursor->Fields()[0]);
}

void CsvPredictions::Begin(const FitResult& result) {
  fvCategories = result.categories;
  if (fpId != nullptr) fOut << CsvField(ToUtf8(fpId->Name())) << ",";
  if (result.model != "logistic") {
    fOut << "fitted,residual\n";
    return;
  }
  fOut << "predicted";
  for (const std::string& c : fvCategories) fOut << "," << CsvField(ToUtf8("P(" + c + ")"));
  fOut << "\n";
}

void CsvPredictions::Id() {
  if (fpId != nullptr) fOut << CsvField(fpId->Next()) << ",";
}

void CsvPredictions::Fitted(std::int64_t /*index*/, double fitted, double residual) {
  Id();
  fOut << Number(fitted) << "," << Number(residual) << "\n";
}

void CsvPredictions::Classified(std::int64_t /*index*/, int category,
                                const std::vector<double>& probabilities) {
  Id();
  if (category >= 0 && category < static_cast<int>(fvCategories.size())) {
    fOut << CsvField(ToUtf8(fvCategories[static_cast<std::size_t>(category)]));
  }
  for (const double p : probabilities) fOut << "," << Number(p);
  fOut << "\n";
}

}  // namespace MCFrontEnd

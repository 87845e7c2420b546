#include "ModelSetup.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>
#include <utility>

#include "IMCEncoder.h"
#include "LinearFit.h"
#include "MCCatVar.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "XMLElement.h"

namespace MCFrontEnd {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

void CheckDistinct(const std::vector<std::string>& list, const std::string& option) {
  std::set<std::string> seen;
  for (const std::string& name : list) {
    if (!seen.insert(name).second) throw InputError(option + ": '" + name + "' given twice");
  }
}

std::string Magnitude(double log10Value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "1e%+.0f", std::floor(log10Value));
  return buf;
}

}  // namespace

std::string ToUtf8(const std::string& text) {
  std::ostringstream out;
  MCCommonXML::WriteUTF(out, text);
  return out.str();
}

MemoryRecords::MemoryRecords(std::vector<double> values, int width)
    : fValues(std::move(values)), fWidth(width), fCurrent(width) {
  fNRecords = width > 0 ? fValues.size() / static_cast<std::size_t>(width) : 0;
}

const MCCommon::Record* MemoryRecords::Next() {
  if (fNext >= fNRecords) return nullptr;
  std::copy_n(RecordValues(fNext), fWidth, fCurrent.GetAll());
  ++fNext;
  return &fCurrent;
}

int MemoryRecords::GetFailReason() const {
  return fNext < fNRecords ? MCCommon::kFailNone : MCCommon::kFailEndOfData;
}

int MemoryRecords::NewPass() {
  fNext = 0;
  return GetFailReason();
}

CodedModel::CodedModel(const DataTable& data, const ModelRequest& request) : fRequest(request) {
  if (fRequest.dependent.empty()) throw InputError("no dependent variable (--dependent)");
  CheckDistinct(fRequest.factors, "--factors");
  CheckDistinct(fRequest.covariates, "--covariates");
  for (const std::string& f : fRequest.factors) {
    if (Contains(fRequest.covariates, f)) {
      throw InputError("'" + f + "' is both a factor and a covariate");
    }
  }
  if (Contains(fRequest.factors, fRequest.dependent) ||
      Contains(fRequest.covariates, fRequest.dependent)) {
    throw InputError("the dependent '" + fRequest.dependent + "' is also a predictor");
  }
  // Every named column must exist before any work is done.
  std::vector<std::string> used{fRequest.dependent};
  used.insert(used.end(), fRequest.factors.begin(), fRequest.factors.end());
  used.insert(used.end(), fRequest.covariates.begin(), fRequest.covariates.end());
  if (!fRequest.freqWeight.empty()) used.push_back(fRequest.freqWeight);
  if (!fRequest.regrWeight.empty()) used.push_back(fRequest.regrWeight);
  for (const std::string& name : used) {
    if (data.Find(name) < 0) {
      throw InputError(data.source + ": unknown column '" + name +
                       "' (columns: " + data.NameList() + ")");
    }
  }

  if (fRequest.effects.empty()) {
    fTerms = DefaultTerms(fRequest.factors, fRequest.covariates);
  } else {
    for (const std::string& text : fRequest.effects) fTerms.push_back(ParseTerm(text));
  }
  CheckTerms(fTerms, fRequest.factors, fRequest.covariates);

  fWidth = static_cast<int>(used.size());
  fValues.assign(data.nRows * static_cast<std::size_t>(fWidth), MCMV::Missing());
  int position = 0;
  if (fRequest.model == "logistic") {
    fpResponseVar = CodeCategorical(data, data.Find(fRequest.dependent), 0, "dependent");
    ++position;
  } else {
    CodeNumber(data, data.Find(fRequest.dependent), position++, "dependent");
  }
  for (std::size_t f = 0; f < fRequest.factors.size(); ++f) {
    CodeFactor(data, data.Find(fRequest.factors[f]), static_cast<int>(f));
    ++position;
  }
  for (const std::string& c : fRequest.covariates) {
    CodeNumber(data, data.Find(c), position++, "covariate");
  }
  if (!fRequest.freqWeight.empty()) {
    CodeNumber(data, data.Find(fRequest.freqWeight), position++, "frequency weight");
  }
  if (!fRequest.regrWeight.empty()) {
    CodeNumber(data, data.Find(fRequest.regrWeight), position++, "regression weight");
  }

  // A record is used when the values of every role are present and the weights positive,
  // which is the rule the library's record validator applies.
  const int weightsFrom =
      1 + static_cast<int>(fRequest.factors.size() + fRequest.covariates.size());
  std::vector<double> largest(static_cast<std::size_t>(fWidth), 0.0);
  double totalWeight = 0.0;
  for (std::size_t i = 0; i < data.nRows; ++i) {
    const double* r = fValues.data() + i * static_cast<std::size_t>(fWidth);
    bool ok = true;
    for (int k = 0; k < fWidth && ok; ++k) {
      ok = k < weightsFrom ? !MCMV::IsMissing(r[k]) : r[k] > 0.0;
    }
    if (!ok) continue;
    ++fRecordsUsed;
    double weight = 1.0;
    for (int k = 0; k < fWidth; ++k) {
      if (k >= weightsFrom) weight *= r[k];
      largest[static_cast<std::size_t>(k)] =
          std::max(largest[static_cast<std::size_t>(k)], std::fabs(r[k]));
    }
    totalWeight += weight;
  }
  CheckScale(largest, totalWeight);
  fpRecords = std::make_unique<MemoryRecords>(std::move(fValues), fWidth);
  BuildSettings();
}

void CodedModel::CheckScale(const std::vector<double>& largest, double totalWeight) const {
  // The fit sums weighted squares and products of the dependent and of each term. When the
  // largest of them overflows, or is too small to keep its digits among the normal doubles,
  // the library's sweep sees infinities or zeros and would present a meaningless fit.
  const double log10Weight = std::log10(std::max(totalWeight, 1.0));
  const auto check = [&](const std::string& what, double log10Size) {
    if (2.0 * log10Size + log10Weight >= std::log10(DBL_MAX)) {
      throw FitError(what + " reaches " + Magnitude(log10Size) +
                     ": its weighted sum of squares overflows; rescale the data");
    }
    if (2.0 * log10Size < std::log10(DBL_MIN / DBL_EPSILON)) {
      throw FitError(what + " is at most " + Magnitude(log10Size) +
                     ": its squares underflow; rescale the data");
    }
  };
  if (fRequest.model == "linear" && largest[0] > 0.0) {
    check("the dependent '" + fRequest.dependent + "'", std::log10(largest[0]));
  }
  for (const Term& term : fTerms) {
    double log10Size = 0.0;
    bool covariates = false;
    bool zero = false;
    for (const std::string& name : term.names) {
      const int pos = Position(name);
      if (pos <= static_cast<int>(fRequest.factors.size())) continue;
      covariates = true;
      const double m = largest[static_cast<std::size_t>(pos)];
      if (m == 0.0) zero = true;  // an all-zero column is aliased, not a scale problem
      if (!zero) log10Size += std::log10(m);
    }
    if (covariates && !zero) check("the term " + term.Text(), log10Size);
  }
}

void CodedModel::CodeNumber(const DataTable& data, int column, int position,
                            const std::string& role) {
  const Column& col = data.columns[static_cast<std::size_t>(column)];
  for (std::size_t i = 0; i < data.nRows; ++i) {
    double v = MCMV::Missing();
    if (col.numeric) {
      v = col.values[i];
      if (std::isnan(v) || std::isinf(v)) {
        throw InputError(data.Where(i) + ": " + role + " '" + col.name +
                         "' holds a value that is not a finite number");
      }
    } else if (!col.missing[i] && !ParseNumber(col.text[i], v)) {
      throw InputError(data.Where(i) + ": " + role + " '" + col.name + "' holds '" + col.text[i] +
                       "', not a number");
    }
    fValues[i * static_cast<std::size_t>(fWidth) + static_cast<std::size_t>(position)] = v;
  }
}

void CodedModel::CodeFactor(const DataTable& data, int column, int factor) {
  fFactorVars.push_back(
      CodeCategorical(data, column, 1 + static_cast<std::size_t>(factor), "factor"));
}

std::unique_ptr<MCCommonMetadata::IMCVariable> CodedModel::CodeCategorical(
    const DataTable& data, int column, std::size_t position, const std::string& role) {
  using MCCommonMetadata::IMCVariable;
  const Column& col = data.columns[static_cast<std::size_t>(column)];
  auto var = std::make_unique<MCCommonMetadata::MCCatVar>(
      col.name, col.name, 0,
      col.numeric ? IMCVariable::kNumericCategorical : IMCVariable::kStringCategorical,
      IMCVariable::kInput, false);
  // The encoders number categories in the order they first meet them: hand them the sorted
  // categories so that the codes follow ascending order.
  if (col.numeric) {
    std::set<double> levels;
    for (std::size_t i = 0; i < data.nRows; ++i) {
      const double v = col.values[i];
      if (std::isnan(v) || std::isinf(v)) {
        throw InputError(data.Where(i) + ": " + role + " '" + col.name +
                         "' holds a value that is not a finite number");
      }
      if (!MCMV::IsMissing(v)) levels.insert(v);
    }
    var->ChangeEncoder(
        new MCCommonMetadata::MCCatNumEncoder(std::vector<double>(levels.begin(), levels.end())));
  } else {
    std::set<std::string> levels;
    for (std::size_t i = 0; i < data.nRows; ++i) {
      if (!col.missing[i]) levels.insert(col.text[i]);
    }
    var->ChangeEncoder(new MCCommonMetadata::MCStringEncoder(
        std::vector<std::string>(levels.begin(), levels.end())));
  }
  const MCCommonMetadata::IMCEncoder* encoder = var->GetEncoder();
  for (std::size_t i = 0; i < data.nRows; ++i) {
    const double code = col.numeric ? encoder->EncodeConst(col.values[i])
                                    : (col.missing[i] ? -1.0 : encoder->EncodeConst(col.text[i]));
    fValues[i * static_cast<std::size_t>(fWidth) + position] = code < 0.0 ? MCMV::Missing() : code;
  }
  return var;
}

void CodedModel::BuildSettings() {
  const int nF = static_cast<int>(fRequest.factors.size());
  const int nC = static_cast<int>(fRequest.covariates.size());
  fSettings.SetDependent(0);
  fpEffectIndices = std::make_unique<std::vector<int>>();
  for (int f = 0; f < nF; ++f) {
    // A factor seen with no category at all still needs a size of at least 1.
    const int size = std::max(1, fFactorVars[static_cast<std::size_t>(f)]->GetNumberOfCategories());
    fSettings.AddFactor(1 + f, size);
    fpEffectIndices->push_back(1 + f);
  }
  for (int c = 0; c < nC; ++c) {
    fSettings.AddCovariate(1 + nF + c);
    fpEffectIndices->push_back(1 + nF + c);
  }
  int next = 1 + nF + nC;
  if (!fRequest.freqWeight.empty()) fSettings.SetFrequencyWeightVar(next++);
  if (!fRequest.regrWeight.empty()) fSettings.SetRegrWeightVar(next++);
  fSettings.SetInterceptUse(fRequest.intercept);
  fSettings.SetTolerance(fRequest.tolerance);
  for (const Term& term : fTerms) {
    MCModelEffect effect(nF, nC, fpEffectIndices.get());
    for (const std::string& name : term.names) {
      const int pos = Position(name);
      if (pos <= nF) {
        effect.AddNewFactor(pos, false);
      } else {
        effect.AddCovariate(pos);
      }
    }
    fSettings.AddModelEffect(effect);
  }
}

int CodedModel::Position(const std::string& name) const {
  if (name == fRequest.dependent) return 0;
  const auto f = std::find(fRequest.factors.begin(), fRequest.factors.end(), name);
  if (f != fRequest.factors.end()) return 1 + static_cast<int>(f - fRequest.factors.begin());
  const auto c = std::find(fRequest.covariates.begin(), fRequest.covariates.end(), name);
  if (c != fRequest.covariates.end()) {
    return 1 + static_cast<int>(fRequest.factors.size() + (c - fRequest.covariates.begin()));
  }
  return -1;
}

int CodedModel::ResponseCategoryCount() const {
  return fpResponseVar ? fpResponseVar->GetNumberOfCategories() : 0;
}

std::string CodedModel::ResponseText(int code) const {
  if (!fpResponseVar || code < 0 || code >= ResponseCategoryCount()) return std::string();
  return fpResponseVar->GetEncoder()->Decode(code);
}

std::string CodedModel::CategoryText(int factor, int code) const {
  if (factor < 0 || factor >= static_cast<int>(fFactorVars.size())) return std::string();
  return fFactorVars[static_cast<std::size_t>(factor)]->GetEncoder()->Decode(code);
}

std::vector<PredictorCell> CodedModel::ParameterCells(const MCRegrParameter& parameter) const {
  std::vector<PredictorCell> cells;
  const int effect = parameter.GetEffectIndex();
  if (parameter.IsIntercept() || effect < 0 || effect >= static_cast<int>(fTerms.size())) {
    return cells;
  }
  for (const std::string& var : fTerms[static_cast<std::size_t>(effect)].names) {
    PredictorCell cell;
    cell.variable = var;
    const int pos = Position(var);
    if (pos >= 1 && pos <= static_cast<int>(fRequest.factors.size())) {
      cell.factor = true;
      cell.category = CategoryText(pos - 1, parameter.ContainsFactor(pos, -1));
    }
    cells.push_back(std::move(cell));
  }
  return cells;
}

std::string CodedModel::ParameterName(const MCRegrParameter& parameter) const {
  const std::vector<PredictorCell> cells = ParameterCells(parameter);
  if (cells.empty()) return "(Intercept)";
  std::string name;
  for (const PredictorCell& cell : cells) {
    if (!name.empty()) name += '*';
    name += cell.factor ? cell.variable + "=" + cell.category : cell.variable;
  }
  return ToUtf8(name);
}

}  // namespace MCFrontEnd

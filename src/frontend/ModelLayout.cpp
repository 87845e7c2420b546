#include "ModelLayout.h"

#include <algorithm>
#include <set>

#include "MCMV.h"
#include "Text.h"
#include "Terms.h"

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

}  // namespace

ModelLayout::ModelLayout(const ModelRequest& request, const DataSource& source,
                         const std::vector<std::string>& split)
    : fRequest(request) {
  const ModelRequest& r = fRequest;
  if (r.dependent.empty()) throw InputError("no dependent variable (--dependent)");
  // The sweep calls a pivot redundant below tolerance x its diagonal: a proportion.
  if (!(r.tolerance >= 0.0 && r.tolerance < 1.0)) {
    throw InputError("--tolerance must be a number with 0 <= T < 1, not " +
                     ShortestText(r.tolerance));
  }
  CheckDistinct(r.factors, "--factors");
  CheckDistinct(r.covariates, "--covariates");
  CheckDistinct(split, "--split");
  for (const std::string& f : r.factors) {
    if (Contains(r.covariates, f)) throw InputError("'" + f + "' is both a factor and a covariate");
  }
  if (Contains(r.factors, r.dependent) || Contains(r.covariates, r.dependent)) {
    throw InputError("the dependent '" + r.dependent + "' is also a predictor");
  }
  std::vector<std::string> derivedNames;
  for (const DerivedCovariate& d : r.derived) derivedNames.push_back(d.name);
  CheckDistinct(derivedNames, "derived covariates");

  // Every named column must exist before any work is done.
  const auto column = [&source](const std::string& name) {
    const int c = name.empty() ? -1 : source.Find(name);
    if (c < 0) {
      throw InputError(source.Name() + ": unknown column '" + name +
                       "' (columns: " + source.NameList() + ")");
    }
    return c;
  };
  const auto derivedIndex = [&derivedNames](const std::string& name) {
    const auto at = std::find(derivedNames.begin(), derivedNames.end(), name);
    return at == derivedNames.end() ? -1 : static_cast<int>(at - derivedNames.begin());
  };
  std::vector<int> columns{column(r.dependent)};
  for (const std::string& f : r.factors) columns.push_back(column(f));
  for (const std::string& c : r.covariates) {
    if (derivedIndex(c) < 0) column(c);
  }
  if (!r.freqWeight.empty()) column(r.freqWeight);
  if (!r.regrWeight.empty()) column(r.regrWeight);
  for (const DerivedCovariate& d : r.derived) {
    for (const std::string& input : d.inputs) column(input);
  }
  for (const std::string& s : split) column(s);

  if (!r.terms.empty()) {
    fvTerms = r.terms;
  } else if (!r.effects.empty()) {
    for (const std::string& text : r.effects) fvTerms.push_back(ParseTerm(text));
  } else {
    fvTerms = DefaultTerms(r.factors, r.covariates);
  }
  CheckTerms(fvTerms, r.factors, r.covariates);

  // The record layout and the slots behind it.
  const bool logistic = Logistic();
  const auto read = [this](PositionSpec::Kind kind, const std::string& name, int slot) {
    PositionSpec p;
    p.kind = kind;
    p.name = name;
    p.slot = slot;
    fvPositions.push_back(std::move(p));
  };
  read(logistic ? PositionSpec::kCategory : PositionSpec::kNumber, r.dependent,
       AddSlot(columns[0], logistic, "dependent"));
  for (std::size_t f = 0; f < r.factors.size(); ++f) {
    read(PositionSpec::kCategory, r.factors[f], AddSlot(columns[1 + f], true, "factor"));
  }
  for (const std::string& c : r.covariates) {
    const int d = derivedIndex(c);
    if (d < 0) {
      read(PositionSpec::kNumber, c, AddSlot(column(c), false, "covariate"));
    } else {
      PositionSpec p;
      p.kind = PositionSpec::kDerived;
      p.name = c;
      p.derived = d;
      for (const std::string& input : r.derived[static_cast<std::size_t>(d)].inputs) {
        p.inputs.push_back(AddSlot(column(input), false, "covariate"));
      }
      fvPositions.push_back(std::move(p));
    }
  }
  if (!r.freqWeight.empty()) {
    fFreq = Width();
    read(PositionSpec::kNumber, r.freqWeight,
         AddSlot(column(r.freqWeight), false, "frequency weight"));
  }
  if (!r.regrWeight.empty()) {
    fRegr = Width();
    read(PositionSpec::kNumber, r.regrWeight,
         AddSlot(column(r.regrWeight), false, "regression weight"));
  }
  for (const std::string& s : split) fvSplitSlots.push_back(AddSlot(column(s), true, "split variable"));
}

int ModelLayout::AddSlot(int column, bool categorical, const std::string& role) {
  for (std::size_t k = 0; k < fvSlots.size(); ++k) {
    if (fvSlots[k].column == column && fvSlots[k].categorical == categorical) {
      return static_cast<int>(k);
    }
  }
  fvSlots.push_back({column, categorical, role});
  return static_cast<int>(fvSlots.size()) - 1;
}

bool ModelLayout::Used(const double* record) const {
  const int weightsFrom = WeightsFrom();
  for (int p = 0; p < weightsFrom; ++p) {
    if (MCMV::IsMissing(record[p])) return false;
  }
  for (int p = weightsFrom; p < Width(); ++p) {
    if (!(record[p] > 0.0)) return false;
  }
  return true;
}

double ModelLayout::Weight(const double* record) const {
  double weight = 1.0;
  for (int p = WeightsFrom(); p < Width(); ++p) weight *= record[p];
  return weight;
}

int ModelLayout::Position(const std::string& name) const {
  // Weights are no variables of the model's terms.
  for (int p = 0; p < WeightsFrom(); ++p) {
    if (fvPositions[static_cast<std::size_t>(p)].name == name) return p;
  }
  return -1;
}

}  // namespace MCFrontEnd

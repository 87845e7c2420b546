#include "ModelLayout.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

#include "Expression.h"
#include "MCMV.h"
#include "Text.h"

namespace MCFrontEnd {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

int IndexOf(const std::vector<std::string>& list, const std::string& name) {
  const auto at = std::find(list.begin(), list.end(), name);
  return at == list.end() ? -1 : static_cast<int>(at - list.begin());
}

void CheckDistinct(const std::vector<std::string>& list, const std::string& option) {
  std::set<std::string> seen;
  for (const std::string& name : list) {
    if (!seen.insert(name).second) throw InputError(option + ": '" + name + "' given twice");
  }
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// An effects list of terms given by names, each name written so that the list reads it back.
std::string EffectsText(const std::vector<Term>& terms) {
  std::vector<std::string> written;
  for (const Term& t : terms) {
    std::vector<std::string> names;
    for (const std::string& n : t.names) names.push_back(QuoteName(n));
    written.push_back(Joined(names, "*"));
  }
  return Joined(written, ",");
}

constexpr std::size_t kNoPosition = std::string::npos;

}  // namespace

std::string Term::Text() const { return label.empty() ? Joined(names, "*") : label; }

ModelLayout::ModelLayout(const ModelRequest& request, const DataSource& source,
                         const std::vector<std::string>& split)
    : fRequest(request), fvColumns(source.ColumnNames()), fSourceName(source.Name()) {
  const ModelRequest& r = fRequest;
  // The sweep calls a pivot redundant below tolerance x its diagonal: a proportion.
  if (!(r.tolerance >= 0.0 && r.tolerance < 1.0)) {
    throw InputError("--tolerance must be a number with 0 <= T < 1, not " +
                     ShortestText(r.tolerance));
  }
  CheckDistinct(split, "--split");
  std::vector<std::string> derivedNames;
  for (const DerivedCovariate& d : r.derived) derivedNames.push_back(d.name);
  CheckDistinct(derivedNames, "derived covariates");

  fbFormula = !r.formula.empty();
  if (fbFormula) {
    std::vector<std::string> given;
    if (!r.dependent.empty()) given.push_back("--dependent");
    if (!r.factors.empty()) given.push_back("--factors");
    if (!r.covariates.empty() || !r.derived.empty()) given.push_back("--covariates");
    if (!r.effects.empty() || !r.terms.empty()) given.push_back("--effects");
    if (!r.intercept) given.push_back("--no-intercept (write '- 1' in the formula)");
    if (!given.empty()) {
      throw InputError("--formula names the dependent, the terms and the intercept: leave out " +
                       Joined(given, ", "));
    }
    fOption = "--formula";
    fText = r.formula;
    // '.' stands for every named column but the weights and split variables.
    std::vector<std::string> dot;
    for (const std::string& name : fvColumns) {
      if (!name.empty() && name != r.freqWeight && name != r.regrWeight && !Contains(split, name)) {
        dot.push_back(name);
      }
    }
    try {
      fFormula = ParseFormula(fText, &dot);
    } catch (const FormulaError& e) {
      Fail(e.what(), e.GetPosition());
    }
    if (!fFormula.response) Fail("the formula has no response: write it as 'y ~ terms'", 0);
  } else {
    if (r.dependent.empty()) throw InputError("no dependent variable (--dependent or --formula)");
    CheckDistinct(r.factors, "--factors");
    CheckDistinct(r.covariates, "--covariates");
    for (const std::string& f : r.factors) {
      if (Contains(r.covariates, f)) {
        throw InputError("'" + f + "' is both a factor and a covariate");
      }
    }
    if (Contains(r.factors, r.dependent) || Contains(r.covariates, r.dependent)) {
      throw InputError("the dependent '" + r.dependent + "' is also a predictor");
    }
    fOption = "--effects";
    if (!r.terms.empty()) {
      fText = EffectsText(r.terms);
    } else if (!r.effects.empty()) {
      fText = Joined(r.effects, ",");
    } else {
      std::vector<Term> main;
      for (const std::string& f : r.factors) main.push_back(Term{{f}, ""});
      for (const std::string& c : r.covariates) main.push_back(Term{{c}, ""});
      fText = EffectsText(main);
    }
    if (!fText.empty()) {
      try {
        fFormula = ParseEffects(fText);
      } catch (const FormulaError& e) {
        Fail(e.what(), e.GetPosition());
      }
    }
    for (const Variable& v : fFormula.variables) {
      if (!Contains(r.factors, v.column) && !Contains(r.covariates, v.column)) {
        Fail("'" + v.column + "' is neither a factor (--factors) nor a covariate (--covariates)",
             v.position);
      }
    }
    // A name repeated in a term is a power: of a covariate only.
    for (const FormulaTerm& t : fFormula.terms) {
      for (const TermPart& p : t.parts) {
        const std::string& name = fFormula.variables[static_cast<std::size_t>(p.variable)].column;
        if (p.power > 1 && Contains(r.factors, name)) {
          Fail("factor '" + name + "' twice in term '" + t.label + "'", t.position);
        }
      }
    }
    // Declared variables that no term uses are read all the same: a record missing one is
    // not used.
    std::vector<std::string> declared = r.factors;
    declared.insert(declared.end(), r.covariates.begin(), r.covariates.end());
    for (const std::string& name : declared) {
      const bool used = std::any_of(fFormula.variables.begin(), fFormula.variables.end(),
                                    [&](const Variable& v) { return v.column == name; });
      if (used) continue;
      Variable v;
      v.column = v.label = name;
      v.position = kNoPosition;
      fFormula.variables.push_back(v);
      fvDeclared.push_back(static_cast<int>(fFormula.variables.size()) - 1);
    }
    Variable y;
    y.column = y.label = r.dependent;
    y.position = kNoPosition;
    fFormula.variables.push_back(y);
    fFormula.response = TermPart{static_cast<int>(fFormula.variables.size()) - 1, 1, 0};
    fFormula.intercept = r.intercept;
  }

  // The slots: the response, the variables of the terms, the weights, the split variables.
  const Variable& y = fFormula.variables[static_cast<std::size_t>(fFormula.response->variable)];
  if (Logistic()) {
    if (y.kind == Variable::Kind::kDerived) {
      Fail("the response of a logistic model is a column, or C(column)", y.position);
    }
    AddSlot(Column(y.column, y.position), Use::kCategory, "dependent");
    if (y.reference) fResponseReference = *y.reference;
  } else {
    if (y.kind == Variable::Kind::kFactor) {
      Fail("the response of a linear model is a number: C() would make it a factor", y.position);
    }
    AddVariableSlots(y, "dependent");
  }
  std::set<int> used(fvDeclared.begin(), fvDeclared.end());
  for (const FormulaTerm& t : fFormula.terms) {
    for (const TermPart& p : t.parts) used.insert(p.variable);
  }
  for (const int v : used) {
    AddVariableSlots(fFormula.variables[static_cast<std::size_t>(v)], "covariate");
  }
  if (!r.freqWeight.empty()) {
    AddSlot(Column(r.freqWeight, kNoPosition), Use::kNumber, "frequency weight");
  }
  if (!r.regrWeight.empty()) {
    AddSlot(Column(r.regrWeight, kNoPosition), Use::kNumber, "regression weight");
  }
  for (const std::string& s : split) {
    fvSplitSlots.push_back(AddSlot(Column(s, kNoPosition), Use::kCategory, "split variable"));
  }
}

void ModelLayout::Fail(const std::string& what, std::size_t position) const {
  // An effects list is short and its messages name the term: one line, as every problem.
  if (position == kNoPosition || !fbFormula) throw InputError(fOption + ": " + what);
  throw TextInputError(fOption + ": " + what, fText, position);
}

void ModelLayout::FailAt(const std::string& name, const std::string& what) const {
  if (fbFormula) {
    for (const Variable& v : fFormula.variables) {
      if (v.label == name || (v.kind == Variable::Kind::kFactor && v.column == name)) {
        throw TextInputError(fOption + ": " + what, fText, v.position);
      }
    }
  }
  throw InputError(what);
}

int ModelLayout::Column(const std::string& name, std::size_t position) const {
  const int c = name.empty() ? -1 : IndexOf(fvColumns, name);
  if (c >= 0) return c;
  const std::string hint = DidYouMean(name, fvColumns);
  // An effects list names declared variables: the option that declared it is at fault.
  if (fbFormula && position != kNoPosition) Fail("unknown column '" + name + "'" + hint, position);
  throw InputError(fSourceName + ": unknown column '" + name + "'" +
                   (hint.empty() ? " (columns: " + Joined(fvColumns, ", ") + ")" : hint));
}

void ModelLayout::AddVariableSlots(const Variable& v, const std::string& role) {
  const bool factor = !fbFormula && Contains(fRequest.factors, v.column);
  switch (v.kind) {
    case Variable::Kind::kColumn: {
      const int d = fbFormula ? -1 : [&] {
        for (std::size_t k = 0; k < fRequest.derived.size(); ++k) {
          if (fRequest.derived[k].name == v.column) return static_cast<int>(k);
        }
        return -1;
      }();
      if (d >= 0) {
        for (const std::string& input : fRequest.derived[static_cast<std::size_t>(d)].inputs) {
          AddSlot(Column(input, kNoPosition), Use::kNumber, role);
        }
      } else if (factor) {
        AddSlot(Column(v.column, v.position), Use::kCategory, "factor");
      } else {
        // A formula's column is a factor when it holds text; the dependent is a number.
        const bool either = fbFormula && role != "dependent";
        AddSlot(Column(v.column, v.position), either ? Use::kEither : Use::kNumber, role);
      }
      break;
    }
    case Variable::Kind::kFactor:
      AddSlot(Column(v.column, v.position), Use::kCategory, "factor");
      break;
    case Variable::Kind::kDerived: {
      std::vector<const Expr*> columns;
      CollectColumns(v.expression, columns);
      // Whether the columns hold numbers is the plan's to check, pointing into the formula.
      const Use use = fbFormula ? Use::kEither : Use::kNumber;
      for (const Expr* c : columns) AddSlot(Column(c->name, c->position), use, role);
      break;
    }
  }
}

int ModelLayout::AddSlot(int column, Use use, const std::string& role) {
  for (std::size_t k = 0; k < fvSlots.size(); ++k) {
    if (fvSlots[k].column == column && fvUses[k] == use) return static_cast<int>(k);
  }
  Slot slot;
  slot.column = column;
  slot.categorical = use == Use::kCategory;
  slot.either = use == Use::kEither;
  slot.role = role;
  fvSlots.push_back(slot);
  fvUses.push_back(use);
  return static_cast<int>(fvSlots.size()) - 1;
}

int ModelLayout::SlotOf(const std::string& column, bool categorical) const {
  const int c = IndexOf(fvColumns, column);
  int either = -1;
  for (std::size_t k = 0; k < fvSlots.size(); ++k) {
    if (fvSlots[k].column != c || fvSlots[k].categorical != categorical) continue;
    if (fvUses[k] != Use::kEither) return static_cast<int>(k);
    either = static_cast<int>(k);
  }
  if (either < 0) throw std::logic_error("ModelLayout: no slot for column '" + column + "'");
  return either;
}

int ModelLayout::AddDerived(const Variable& v) {
  DerivedCovariate d;
  d.name = v.label;
  auto program =
      std::make_shared<const ExpressionProgram>(v.expression, [&d](const std::string& name) {
        const int at = IndexOf(d.inputs, name);
        if (at >= 0) return at;
        d.inputs.push_back(name);
        return static_cast<int>(d.inputs.size()) - 1;
      });
  d.evaluate = [program](const double* inputs) {
    double value = 0.0;
    return program->Evaluate(inputs, value) == ExpressionProgram::Outcome::kValue ? value
                                                                                  : std::nan("");
  };
  fRequest.derived.push_back(std::move(d));
  fvExpressions.resize(fRequest.derived.size());
  fvExpressions.back() = std::make_shared<const Expr>(v.expression);
  return static_cast<int>(fRequest.derived.size()) - 1;
}

void ModelLayout::Settle(const std::vector<Slot>& settled) {
  if (settled.size() != fvSlots.size()) throw std::logic_error("ModelLayout: slots differ");
  fvSlots = settled;
  const ModelRequest given = fRequest;
  const auto columnType = [&](const std::string& name) {
    if (!fbFormula) {
      if (Contains(given.factors, name)) return ColumnType::kText;
      const bool number = Contains(given.covariates, name) || name == given.dependent;
      return number ? ColumnType::kNumber : ColumnType::kAbsent;
    }
    const int c = IndexOf(fvColumns, name);
    if (c < 0) return ColumnType::kAbsent;
    for (std::size_t k = 0; k < fvSlots.size(); ++k) {
      if (fvSlots[k].column == c && fvUses[k] == Use::kEither) {
        return fvSlots[k].categorical ? ColumnType::kText : ColumnType::kNumber;
      }
    }
    return ColumnType::kNumber;  // read only within C() or arithmetic
  };
  try {
    fPlan = PlanEffects(fFormula, columnType);
  } catch (const FormulaError& e) {
    Fail(e.what(), e.GetPosition());
  }
  for (const int v : fvDeclared) {
    const std::string& name = fFormula.variables[static_cast<std::size_t>(v)].column;
    (Contains(given.factors, name) ? fPlan.factors : fPlan.covariates).push_back(v);
  }

  // The record: the response, the factors, the covariates, the weights.
  const auto variable = [this](int v) -> const Variable& {
    return fFormula.variables[static_cast<std::size_t>(v)];
  };
  fRequest.derived.resize(given.derived.size());
  fvExpressions.assign(given.derived.size(), nullptr);
  fRequest.factors.clear();
  fRequest.covariates.clear();
  if (fbFormula) fRequest.references.clear();
  fvPositions.clear();
  const auto number = [this, &given](const Variable& v, const std::string& name) {
    PositionPlan p;
    p.name = name;
    int d = -1;
    if (v.kind == Variable::Kind::kDerived) {
      d = AddDerived(v);
    } else if (!fbFormula) {
      for (std::size_t k = 0; k < given.derived.size(); ++k) {
        if (given.derived[k].name == v.column) d = static_cast<int>(k);
      }
    }
    if (d < 0) {
      p.kind = PositionPlan::kNumber;
      p.slot = SlotOf(v.column, false);
      return p;
    }
    p.kind = PositionPlan::kDerived;
    p.derived = d;
    for (const std::string& input : fRequest.derived[static_cast<std::size_t>(d)].inputs) {
      p.inputs.push_back(SlotOf(input, false));
    }
    return p;
  };
  const Variable& y = variable(fFormula.response->variable);
  if (Logistic()) {
    PositionPlan p;
    p.kind = PositionPlan::kCategory;
    p.name = y.column;
    p.slot = SlotOf(y.column, true);
    fvPositions.push_back(p);
  } else {
    fvPositions.push_back(number(y, y.label));
  }
  fRequest.dependent = fvPositions.front().name;
  for (const int f : fPlan.factors) {
    const Variable& v = variable(f);
    PositionPlan p;
    p.kind = PositionPlan::kCategory;
    p.name = v.label;
    p.slot = SlotOf(v.column, true);
    if (v.reference) fRequest.references[p.name] = *v.reference;
    fRequest.factors.push_back(p.name);
    fvPositions.push_back(p);
  }
  for (const int c : fPlan.covariates) {
    const Variable& v = variable(c);
    fvPositions.push_back(number(v, v.label));
    fRequest.covariates.push_back(v.label);
  }
  const auto weight = [this](const std::string& column) {
    PositionPlan p;
    p.name = column;
    p.slot = SlotOf(column, false);
    fvPositions.push_back(p);
    return Width() - 1;
  };
  if (!fRequest.freqWeight.empty()) fFreq = weight(fRequest.freqWeight);
  if (!fRequest.regrWeight.empty()) fRegr = weight(fRequest.regrWeight);

  // Names are how terms, parameters and the documents refer to the variables.
  std::set<std::string> names;
  for (int p = 0; p < WeightsFrom(); ++p) {
    const std::string& name = fvPositions[static_cast<std::size_t>(p)].name;
    if (!names.insert(name).second) {
      throw InputError(fOption + ": two variables of the model are named '" + name + "'");
    }
  }

  fRequest.intercept = fPlan.intercept;
  fRequest.terms.clear();
  fvTermLabels.clear();
  for (const PlannedEffect& e : fPlan.effects) {
    Term t;
    for (const auto& f : e.factors)
      t.names.push_back(fRequest.factors[static_cast<std::size_t>(f[0])]);
    for (const auto& c : e.covariates) {
      for (int k = 0; k < c[1]; ++k) {
        t.names.push_back(fRequest.covariates[static_cast<std::size_t>(c[0])]);
      }
    }
    t.label = e.label;
    fRequest.terms.push_back(t);
    fvTermLabels.push_back(e.label);
  }
}

const Expr* ModelLayout::Expression(int derived) const {
  return derived >= 0 && derived < static_cast<int>(fvExpressions.size())
             ? fvExpressions[static_cast<std::size_t>(derived)].get()
             : nullptr;
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

bool ModelLayout::Scorable(const double* record) const {
  for (int p = 1; p < WeightsFrom(); ++p) {
    if (MCMV::IsMissing(record[p]) || !std::isfinite(record[p])) return false;
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
  for (int p = 0; p < WeightsFrom() && p < Width(); ++p) {
    if (fvPositions[static_cast<std::size_t>(p)].name == name) return p;
  }
  return -1;
}

}  // namespace MCFrontEnd

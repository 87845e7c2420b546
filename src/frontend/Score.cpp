#include "frontend/Commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "Expression.h"
#include "Guarded.h"
#include "ModelLayout.h"
#include "Predictions.h"
#include "Text.h"
#include "frontend/CodedModel.h"
#include "frontend/DataSource.h"
#include "frontend/OutputFile.h"
#include "frontend/Predict.h"
#include "MCMV.h"
#include "MCXMLReadWrite.h"
#include "MCXMLUtil.h"

namespace MCFrontEnd {

namespace {

namespace U = MCComXPrsUtil;
using xercesc::DOMElement;

// One regression parameter: the product of its cells (1 for the intercept).
struct Parameter {
  std::vector<std::pair<int, std::string>> factors;  // column, category
  std::vector<std::pair<int, int>> covariates;       // input, power
};

// A covariate's value: a column's number, or arithmetic of columns' numbers.
struct Input {
  int column = -1;
  std::shared_ptr<const ExpressionProgram> program;
  std::vector<int> columns;  // the program's slots
};

// A "GeneralRegressionModel" ready to score records of one data table.
struct Model {
  bool logistic = false;
  std::vector<std::string> targets;  // response categories in order (logistic)
  int reference = -1;                // the reference among them
  std::vector<Parameter> parameters;
  std::vector<Input> inputs;
  int response = -1;  // the input of the dependent, when asked for (not needed to predict)
  std::vector<std::vector<double>> beta;        // [target][parameter]; one row when linear
  std::map<int, std::set<std::string>> levels;  // the categories each factor column knows
};

// A model with the split values that select it (none for a model of its own).
struct Segment {
  std::vector<std::pair<int, std::string>> when;  // column, value
  Model model;
};

[[noreturn]] void Bad(const std::string& file, const std::string& what) {
  throw InputError(file + ": " + what);
}

std::string Attr(const DOMElement* e, const char* name) {
  return U::ToUTF8(U::GetAttribute(e, name));
}

template <typename F>
void ForChildren(const DOMElement* parent, const char* name, F f) {
  for (DOMElement* e = U::GetFirstChildElmt(parent, name); e != nullptr;
       e = U::GetNextSiblingElmt(e, name)) {
    f(e);
  }
}

// Reads the model documents, giving every data column a model uses its place among the
// fields read (the columns to open the data with).
class Reader {
 public:
  Reader(const std::string& file, const DataSource& data) : fFile(file), fData(data) {}

  int Column(const std::string& name) {
    const int c = fData.Find(name);
    if (c < 0 || name.empty()) {
      throw InputError(fData.Name() + ": unknown column '" + name +
                       "' (columns: " + fData.NameList() + ")");
    }
    const auto at = std::find(fvColumns.begin(), fvColumns.end(), c);
    if (at != fvColumns.end()) return static_cast<int>(at - fvColumns.begin());
    fvColumns.push_back(c);
    fvNames.push_back(name);
    return static_cast<int>(fvColumns.size()) - 1;
  }
  const std::vector<int>& Columns() const { return fvColumns; }
  const std::vector<std::string>& Names() const { return fvNames; }

  // The arithmetic of a derived field as the fit writes it (PMML's +, -, *, /, pow, ln,
  // log10, exp, sqrt, abs over fields and constants).
  Expr ReadExpression(const DOMElement* e) {
    Expr x;
    if (e == nullptr) Bad(fFile, "a derived field has no expression");
    if (U::TagNameEquals(e, "FieldRef")) {
      x.kind = Expr::Kind::kColumn;
      x.name = Attr(e, "field");
      return x;
    }
    if (U::TagNameEquals(e, "Constant")) {
      x.kind = Expr::Kind::kNumber;
      const std::string text = U::ToUTF8(e->getTextContent());
      if (!ParseNumber(text, x.number)) Bad(fFile, "a constant '" + text + "' is not a number");
      return x;
    }
    if (!U::TagNameEquals(e, "Apply")) Bad(fFile, "a derived field mcfit cannot evaluate");
    const std::string function = Attr(e, "function");
    for (const DOMElement* o = U::GetFirstChildElmt(e, nullptr); o != nullptr;
         o = U::GetNextSiblingElmt(o, nullptr)) {
      x.operands.push_back(ReadExpression(o));
    }
    static const std::map<std::string, Expr::Kind> kBinary = {
        {"+", Expr::Kind::kAdd},      {"-", Expr::Kind::kSubtract}, {"*", Expr::Kind::kMultiply},
        {"/", Expr::Kind::kDivide},   {"pow", Expr::Kind::kPower}};
    static const std::map<std::string, std::string> kCalls = {
        {"ln", "log"}, {"log10", "log10"}, {"exp", "exp"}, {"sqrt", "sqrt"}, {"abs", "abs"}};
    if (kBinary.count(function) != 0 && x.operands.size() == 2) {
      x.kind = kBinary.at(function);
    } else if (kCalls.count(function) != 0 && x.operands.size() == 1) {
      x.kind = Expr::Kind::kCall;
      x.name = kCalls.at(function);
    } else {
      Bad(fFile, "the function '" + function + "' with " + std::to_string(x.operands.size()) +
                     " arguments cannot be evaluated");
    }
    return x;
  }

  // The model's local transformations: a derived field that is a column (C(x)) gives that
  // column, one of arithmetic its compiled program.
  void ReadDerived(const DOMElement* grm) {
    NewModel();
    ForChildren(U::GetFirstChildElmt(grm, "LocalTransformations"), "DerivedField",
                [&](const DOMElement* e) {
                  const DOMElement* expression = U::GetFirstChildElmt(e, nullptr);
                  while (expression != nullptr && U::TagNameEquals(expression, "Extension")) {
                    expression = U::GetNextSiblingElmt(expression, nullptr);
                  }
                  fDerived[Attr(e, "name")] = ReadExpression(expression);
                });
  }

  // The input of a covariate named `name`.
  int InputOf(Model& m, const std::string& name) {
    Input input;
    const auto derived = fDerived.find(name);
    if (derived == fDerived.end() || derived->second.kind == Expr::Kind::kColumn) {
      input.column = Column(derived == fDerived.end() ? name : derived->second.name);
    } else {
      try {
        input.program = std::make_shared<const ExpressionProgram>(
            derived->second, [&](const std::string& column) {
              input.columns.push_back(Column(column));
              return static_cast<int>(input.columns.size()) - 1;
            });
      } catch (const FormulaError& e) {
        Bad(fFile, "the derived field '" + name + "': " + e.what());
      }
    }
    m.inputs.push_back(std::move(input));
    return static_cast<int>(m.inputs.size()) - 1;
  }

  // Forgets the variables of the model read before.
  void NewModel() {
    fDerived.clear();
    fInputs.clear();
  }

  // Adds to p the cell of a factor at a category: the factor is a column, or a local
  // transformation naming one (C(x)).
  void AddFactor(Model& m, Parameter& p, const std::string& factor, const std::string& category) {
    const auto derived = fDerived.find(factor);
    if (derived != fDerived.end() && derived->second.kind != Expr::Kind::kColumn) {
      Bad(fFile, "factor '" + factor + "' is not a column");
    }
    const int column = Column(derived == fDerived.end() ? factor : derived->second.name);
    p.factors.emplace_back(column, category);
    m.levels[column].insert(category);
  }

  // Adds to p a covariate raised to a power (each covariate is one input of the model).
  void AddCovariate(Model& m, Parameter& p, const std::string& covariate, int power) {
    auto at = fInputs.find(covariate);
    if (at == fInputs.end()) at = fInputs.emplace(covariate, InputOf(m, covariate)).first;
    p.covariates.emplace_back(at->second, power);
  }

  Model ReadModel(const DOMElement* grm) {
    Model m;
    const std::string type = Attr(grm, "modelType");
    if (type != "regression" && type != "multinomialLogistic") {
      Bad(fFile, "model type '" + type + "' cannot be scored");
    }
    m.logistic = type == "multinomialLogistic";
    ReadDerived(grm);
    std::set<std::string> factorNames;
    ForChildren(U::GetFirstChildElmt(grm, "FactorList"), "Predictor",
                [&](const DOMElement* e) { factorNames.insert(Attr(e, "name")); });

    std::map<std::string, std::size_t> index;
    ForChildren(U::GetFirstChildElmt(grm, "ParameterList"), "Parameter",
                [&](const DOMElement* e) { index.emplace(Attr(e, "name"), index.size()); });
    if (index.empty()) Bad(fFile, "the model has no parameter list");
    m.parameters.resize(index.size());
    auto param = [&](const DOMElement* e) -> std::size_t {
      const auto it = index.find(Attr(e, "parameterName"));
      if (it == index.end()) Bad(fFile, "a cell names an unknown parameter");
      return it->second;
    };
    ForChildren(U::GetFirstChildElmt(grm, "PPMatrix"), "PPCell", [&](const DOMElement* e) {
      Parameter& p = m.parameters[param(e)];
      const std::string predictor = Attr(e, "predictorName");
      const std::string value = Attr(e, "value");
      if (factorNames.count(predictor) != 0) {
        AddFactor(m, p, predictor, value);
      } else {
        double power = 0.0;
        if (!ParseNumber(value, power) || power != std::floor(power) || power < 0.0 ||
            power > 64.0) {
          Bad(fFile, "covariate '" + predictor + "' has the power '" + value + "'");
        }
        AddCovariate(m, p, predictor, static_cast<int>(power));
      }
    });

    if (m.logistic) {
      const DOMElement* target =
          U::GetFirstChildElmt(U::GetFirstChildElmt(grm, "Targets"), "Target");
      ForChildren(target, "TargetValue",
                  [&](const DOMElement* e) { m.targets.push_back(Attr(e, "value")); });
      if (m.targets.size() < 2) Bad(fFile, "the model does not list its response categories");
    }
    m.beta.assign(m.logistic ? m.targets.size() : 1, std::vector<double>(index.size(), 0.0));
    ForChildren(U::GetFirstChildElmt(grm, "ParamMatrix"), "PCell", [&](const DOMElement* e) {
      double beta = 0.0;
      if (U::GetDoubleAttribute(e, "beta", beta) != 0 || MCMV::IsMissing(beta)) {
        Bad(fFile, "a parameter cell has no valid \"beta\"");
      }
      std::size_t row = 0;
      if (m.logistic) {
        const std::string category = Attr(e, "targetCategory");
        while (row < m.targets.size() && m.targets[row] != category) ++row;
        if (row == m.targets.size()) Bad(fFile, "unknown target category '" + category + "'");
      }
      m.beta[row][param(e)] = beta;
    });
    if (m.logistic) {
      // The reference: named (PMML 4.4), else the category without parameter cells.
      const std::string named = Attr(grm, "targetReferenceCategory");
      std::vector<bool> cells(m.targets.size(), false);
      ForChildren(U::GetFirstChildElmt(grm, "ParamMatrix"), "PCell", [&](const DOMElement* e) {
        for (std::size_t t = 0; t < m.targets.size(); ++t) {
          if (m.targets[t] == Attr(e, "targetCategory")) cells[t] = true;
        }
      });
      for (std::size_t t = 0; t < m.targets.size(); ++t) {
        if (named.empty() ? !cells[t] && m.reference < 0 : m.targets[t] == named) {
          m.reference = static_cast<int>(t);
        }
      }
      if (m.reference < 0) Bad(fFile, "the model has no reference category");
    }
    return m;
  }

  // The model of a fit, as its PMML document (WritePmml) states it: the parameters of the
  // result, and the model's variables that are not columns (C(x), arithmetic) as the coded
  // model's layout computes them; with `response`, the dependent as an input too.
  Model FromFit(const FitResult& result, const CodedModel& coded, bool response) {
    NewModel();
    const ModelLayout& layout = coded.Layout();
    const std::vector<std::string>& columns = coded.Data().Source().ColumnNames();
    const std::vector<Slot>& slots = coded.Data().Slots();
    for (int p = response ? 0 : 1; p < layout.WeightsFrom(); ++p) {
      const PositionPlan& plan = layout.Positions()[static_cast<std::size_t>(p)];
      Expr derived;
      if (plan.kind == PositionPlan::kDerived) {
        const Expr* expression = layout.Expression(plan.derived);
        if (expression == nullptr) {
          Bad(fFile, "the covariate '" + plan.name + "' is computed by the caller's function");
        }
        derived = *expression;
      } else {
        derived.kind = Expr::Kind::kColumn;
        derived.name =
            columns[static_cast<std::size_t>(slots[static_cast<std::size_t>(plan.slot)].column)];
        if (derived.name == plan.name) continue;
      }
      fDerived[plan.name] = std::move(derived);
    }

    Model m;
    m.logistic = result.model == "logistic";
    if (m.logistic) m.targets = result.categories;
    // One parameter per distinct name: a logistic model repeats each for every target.
    std::map<std::string, std::size_t> index;
    for (const ParameterResult& p : result.parameters) {
      if (!index.emplace(p.name, index.size()).second) continue;
      Parameter& q = m.parameters.emplace_back();
      std::vector<std::pair<std::string, int>> powers;  // a covariate listed twice: its square
      for (const PredictorCell& cell : p.cells) {
        if (cell.factor) {
          AddFactor(m, q, cell.variable, cell.category);
          continue;
        }
        auto at = std::find_if(powers.begin(), powers.end(),
                               [&](const auto& c) { return c.first == cell.variable; });
        if (at == powers.end()) {
          powers.emplace_back(cell.variable, 1);
        } else {
          ++at->second;
        }
      }
      for (const auto& [name, power] : powers) AddCovariate(m, q, name, power);
    }
    m.beta.assign(m.logistic ? m.targets.size() : 1, std::vector<double>(index.size(), 0.0));
    for (const ParameterResult& p : result.parameters) {
      std::size_t row = 0;
      if (m.logistic) {
        while (row < m.targets.size() && (!p.target || m.targets[row] != *p.target)) ++row;
        if (row == m.targets.size()) Bad(fFile, "a parameter names no category of the response");
      }
      m.beta[row][index[p.name]] = p.estimate;
    }
    if (m.logistic) {
      const auto at = std::find(m.targets.begin(), m.targets.end(), result.reference.value_or(""));
      if (at == m.targets.end()) Bad(fFile, "the model has no reference category");
      m.reference = static_cast<int>(at - m.targets.begin());
    }
    if (response) m.response = InputOf(m, layout.Positions().front().name);
    return m;
  }

  std::vector<Segment> ReadDocument(const DOMElement* root) {
    std::vector<Segment> segments;
    if (!U::TagNameEquals(root, "PMML")) Bad(fFile, "not a PMML document");
    if (const DOMElement* grm = U::GetFirstChildElmt(root, "GeneralRegressionModel")) {
      segments.push_back({{}, ReadModel(grm)});
      return segments;
    }
    const DOMElement* mining = U::GetFirstChildElmt(root, "MiningModel");
    const DOMElement* segmentation = U::GetFirstChildElmt(mining, "Segmentation");
    if (segmentation == nullptr || Attr(segmentation, "multipleModelMethod") != "selectFirst") {
      Bad(fFile, "no general regression model or segmented model that mcfit can score");
    }
    ForChildren(segmentation, "Segment", [&](const DOMElement* s) {
      Segment segment;
      const DOMElement* compound = U::GetFirstChildElmt(s, "CompoundPredicate");
      const DOMElement* predicates = compound != nullptr ? compound : s;
      if (compound != nullptr && Attr(compound, "booleanOperator") != "and") {
        Bad(fFile, "a segment predicate mcfit cannot evaluate");
      }
      ForChildren(predicates, "SimplePredicate", [&](const DOMElement* p) {
        if (Attr(p, "operator") != "equal") Bad(fFile, "a segment predicate is not \"equal\"");
        segment.when.emplace_back(Column(Attr(p, "field")), Attr(p, "value"));
      });
      const DOMElement* grm = U::GetFirstChildElmt(s, "GeneralRegressionModel");
      if (grm == nullptr) Bad(fFile, "a segment holds no general regression model");
      segment.model = ReadModel(grm);
      segments.push_back(std::move(segment));
    });
    if (segments.empty()) Bad(fFile, "the segmented model has no segment");
    return segments;
  }

 private:
  std::string fFile;
  const DataSource& fData;
  std::vector<int> fvColumns;
  std::vector<std::string> fvNames;
  std::map<std::string, Expr> fDerived;  // of the model being read
  std::map<std::string, int> fInputs;    // its covariates' inputs
};

// A record's fields as scoring reads them: a category matches the model's text when its text
// is the same, or when it is a number written the way the fit writes numeric categories.
// Text comes from a text file or a column's labels; numbers (binary files, columns in memory)
// match by their number.
class RecordFields {
 public:
  RecordFields(const RowCursor& cursor, const DataSource& data, const std::vector<int>& columns,
               const std::vector<std::string>& names)
      : fCursor(cursor), fData(data), fColumns(columns), fNames(names) {}

  bool Is(int field, const std::string& category) const {
    return Matches(field, [&](std::string_view text) { return text == category; });
  }
  bool Known(int field, const std::set<std::string>& categories) const {
    return Matches(field, [&](std::string_view text) {
      return categories.count(std::string(text)) != 0;
    });
  }
  // The number in a field, false when missing; InputError for text that is not a number.
  bool Number(int field, double& x) const {
    const Field& f = fCursor.Fields()[field];
    if (f.kind == Field::kMissing) return false;
    if (f.kind == Field::kNumber) {
      x = f.number;
      return true;
    }
    const std::string_view text = Text(field);
    if (!ParseNumber(text, x)) {
      throw InputError(fCursor.Where() + ": covariate '" + fNames[static_cast<std::size_t>(field)] +
                       "' holds '" + std::string(text) + "', not a number");
    }
    return true;
  }

 private:
  std::string_view Text(int field) const {
    const Field& f = fCursor.Fields()[field];
    if (f.kind != Field::kLabel) return f.text;
    return fData.Labels(
        fColumns[static_cast<std::size_t>(field)])[static_cast<std::size_t>(f.label)];
  }
  // Whether the field's text, or else its number as a category text, passes the test.
  template <typename Test>
  bool Matches(int field, Test test) const {
    const Field& f = fCursor.Fields()[field];
    if (f.kind == Field::kMissing) return false;
    double v = 0.0;
    if (f.kind == Field::kNumber) {
      v = f.number == 0.0 ? 0.0 : f.number;  // -0.0 is the category 0
    } else {
      const std::string_view text = Text(field);
      if (test(text)) return true;
      if (!ParseNumber(text, v)) return false;
    }
    return test(CategoryNumberText(v));
  }

  const RowCursor& fCursor;
  const DataSource& fData;
  const std::vector<int>& fColumns;
  const std::vector<std::string>& fNames;
};

// What scoring a record needs besides the model, kept from record to record.
struct Scratch {
  std::vector<double> x;       // design values
  std::vector<double> values;  // the model's inputs
  std::vector<double> row;     // an expression's columns
  std::vector<double> eta;     // linear predictors, then probabilities
};

// The value of an input of a record; false when a column is missing or the arithmetic does
// not give a finite number.
bool Value(const Input& input, const RecordFields& record, std::vector<double>& row,
           double& value) {
  if (!input.program) return record.Number(input.column, value);
  row.resize(input.columns.size());
  for (std::size_t c = 0; c < row.size(); ++c) {
    if (!record.Number(input.columns[c], row[c])) return false;
  }
  return input.program->Evaluate(row.data(), value) == ExpressionProgram::Outcome::kValue;
}

// The design values of a record; false when the record cannot be scored (a value missing,
// a category the model does not know, arithmetic that is not finite).
bool Design(const Model& m, const RecordFields& record, Scratch& s) {
  for (const auto& [field, known] : m.levels) {
    // Missing, or a category the model was not fitted with.
    if (!record.Known(field, known)) return false;
  }
  s.values.resize(m.inputs.size());
  for (std::size_t i = 0; i < m.inputs.size(); ++i) {
    if (static_cast<int>(i) == m.response) continue;
    if (!Value(m.inputs[i], record, s.row, s.values[i])) return false;
  }
  s.x.assign(m.parameters.size(), 1.0);
  for (std::size_t k = 0; k < m.parameters.size(); ++k) {
    for (const auto& [field, category] : m.parameters[k].factors) {
      if (!record.Is(field, category)) s.x[k] = 0.0;
    }
    for (const auto& [input, power] : m.parameters[k].covariates) {
      for (int i = 0; i < power; ++i) s.x[k] *= s.values[static_cast<std::size_t>(input)];
    }
  }
  return true;
}

// The predicted category as the library's scoring picks it: the reference (whose linear
// predictor is 0) unless another's exceeds the best so far by more than the machine epsilon,
// the others taken in the library's order (the targets' order without the reference).
std::size_t Predicted(const Model& m, const std::vector<double>& eta) {
  const double epsilon = std::numeric_limits<double>::epsilon();
  std::size_t best = static_cast<std::size_t>(m.reference);
  double bestValue = 0.0;
  for (std::size_t t = 0; t < eta.size(); ++t) {
    if (static_cast<int>(t) == m.reference) continue;
    if (eta[t] - bestValue > epsilon) {
      best = t;
      bestValue = eta[t];
    }
  }
  return best;
}

// Scores the current record with the first segment whose split values it has: false when
// none applies or the record misses what its model needs. Otherwise `chosen` is the segment,
// s.eta holds its model's prediction (linear) or the probability of each of its targets in
// their order (logistic), and `best` is the predicted target (Predicted).
bool ScoreRecord(const std::vector<Segment>& segments, const RecordFields& record, Scratch& s,
                 std::size_t& chosen, std::size_t& best) {
  for (chosen = 0; chosen < segments.size(); ++chosen) {
    bool match = true;
    for (const auto& [field, value] : segments[chosen].when) {
      match = match && record.Is(field, value);
    }
    if (match) break;
  }
  if (chosen == segments.size() || !Design(segments[chosen].model, record, s)) return false;
  const Model& m = segments[chosen].model;
  std::vector<double>& eta = s.eta;
  eta.assign(m.beta.size(), 0.0);
  for (std::size_t t = 0; t < m.beta.size(); ++t) {
    for (std::size_t k = 0; k < s.x.size(); ++k) eta[t] += m.beta[t][k] * s.x[k];
  }
  if (!m.logistic) return true;
  best = Predicted(m, eta);
  // Probabilities exp(eta_t) / sum exp(eta_s), shifted by the largest for safety.
  double top = eta[0];
  for (double e : eta) top = std::max(top, e);
  double sum = 0.0;
  for (double& e : eta) sum += (e = std::exp(e - top));
  for (double& e : eta) e /= sum;
  return true;
}

}  // namespace

std::vector<std::string> PredictorColumns(const FitResult& result, const CodedModel& model) {
  const DataSource& source = model.Data().Source();
  Reader reader(source.Name(), source);
  reader.FromFit(result, model, false);
  return reader.Names();
}

Predictions Predict(const FitResult& result, const CodedModel& model, DataSource& data,
                    bool residuals, const CancelCheck& cancelled) {
  if (residuals && result.model != "linear") {
    throw InputError("residuals are those of a linear model");
  }
  Reader reader(data.Name(), data);
  const std::vector<Segment> segments{{{}, reader.FromFit(result, model, residuals)}};
  const Model& m = segments.front().model;
  Predictions predictions;
  predictions.categories = m.targets;
  const std::size_t width = std::max<std::size_t>(1, predictions.categories.size());
  Scratch scratch;
  const std::unique_ptr<RowCursor> cursor = data.Open(reader.Columns());
  const RecordFields record(*cursor, data, reader.Columns(), reader.Names());
  for (std::int64_t row = 1; cursor->Next(); ++row) {
    if (row % 4096 == 0 && cancelled && cancelled()) throw Cancelled();
    std::size_t chosen = 0;
    std::size_t best = 0;
    const bool scored = ScoreRecord(segments, record, scratch, chosen, best);
    if (scored) {
      predictions.values.insert(predictions.values.end(), scratch.eta.begin(), scratch.eta.end());
    } else {
      predictions.values.insert(predictions.values.end(), width, std::nan(""));
    }
    if (residuals) {
      double observed = 0.0;
      const bool known =
          scored && Value(m.inputs[static_cast<std::size_t>(m.response)], record, scratch.row,
                          observed);
      predictions.residuals.push_back(known ? observed - scratch.eta[0] : std::nan(""));
    }
  }
  if (cancelled && cancelled()) throw Cancelled();
  return predictions;
}

int RunScore(const ScoreOptions& options, std::ostream& out, std::ostream& err,
             MCCommon::MCQueryCancel* cancel) {
  return Guarded(err, options.data, [&]() {
    const CancelCheck check = [cancel]() { return cancel != nullptr && cancel->WillCancel(); };
    U::MCXMLReadWrite xml;
    const MCCommon::MCStatus parsed = xml.ParseToDOM(options.pmml);
    if (!parsed.IsOK() || xml.GetDocument() == nullptr) {
      Bad(options.pmml, "cannot be read as an XML document" +
                            (xml.GetXercesMessage().empty() ? std::string()
                                                            : " (" + xml.GetXercesMessage() + ")"));
    }
    FileOptions format;
    format.format = "csv";
    const std::unique_ptr<DataSource> data = OpenDataFile(options.data, format);
    Reader reader(options.pmml, *data);
    const std::vector<Segment> segments =
        reader.ReadDocument(xml.GetDocument()->getDocumentElement());
    const bool logistic = segments.front().model.logistic;
    // One probability column per category of any segment, in the order first met; a
    // segment fitted without a category gives it probability 0.
    std::vector<std::string> categories;
    std::vector<std::vector<std::size_t>> columnOf(segments.size());
    for (std::size_t s = 0; s < segments.size(); ++s) {
      if (segments[s].model.logistic != logistic) {
        Bad(options.pmml, "the segments hold models of different kinds");
      }
      for (const std::string& t : segments[s].model.targets) {
        std::size_t c = 0;
        while (c < categories.size() && categories[c] != t) ++c;
        if (c == categories.size()) categories.push_back(t);
        columnOf[s].push_back(c);
      }
    }

    // The id column is read with the model's columns.
    const int idColumn = options.id.empty() ? -1 : data->Find(options.id);
    if (!options.id.empty() && idColumn < 0) {
      throw InputError("--id: unknown column '" + options.id + "'" +
                       DidYouMean(options.id, data->ColumnNames()));
    }
    const int id = options.id.empty() ? -1 : reader.Column(options.id);
    OutputFile file(options.out, out, false);
    std::ostream& os = file.Stream();
    if (id >= 0) os << CsvField(options.id) << ",";
    os << "predicted";
    for (const std::string& c : categories) os << "," << CsvField("P(" + c + ")");
    os << "\n";
    Scratch scratch;
    const std::unique_ptr<RowCursor> cursor = data->Open(reader.Columns());
    const RecordFields record(*cursor, *data, reader.Columns(), reader.Names());
    for (std::int64_t row = 1; cursor->Next(); ++row) {
      if (row % 4096 == 0 && check()) throw Cancelled();
      std::size_t chosen = 0;
      std::size_t best = 0;
      if (id >= 0) os << CsvField(FieldText(*data, idColumn, cursor->Fields()[id])) << ",";
      if (!ScoreRecord(segments, record, scratch, chosen, best)) {
        // A lone empty field is quoted: an empty line would read as no record at all.
        os << (logistic ? std::string(categories.size(), ',')
                        : std::string(id >= 0 ? "" : "\"\""))
           << "\n";
        continue;
      }
      const std::vector<double>& eta = scratch.eta;
      if (!logistic) {
        os << ShortestText(eta[0]) << "\n";
        continue;
      }
      std::vector<double> probability(categories.size(), 0.0);
      for (std::size_t t = 0; t < eta.size(); ++t) probability[columnOf[chosen][t]] = eta[t];
      os << CsvField(segments[chosen].model.targets[best]);
      for (double p : probability) os << "," << ShortestText(p);
      os << "\n";
    }
    if (check()) throw Cancelled();
    file.Commit();
    return kExitOK;
  });
}

}  // namespace MCFrontEnd

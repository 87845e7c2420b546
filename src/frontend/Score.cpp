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
#include "Predictions.h"
#include "Text.h"
#include "frontend/DataSource.h"
#include "frontend/OutputFile.h"
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
    fDerived.clear();
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
    std::map<std::string, int> inputs;
    ForChildren(U::GetFirstChildElmt(grm, "PPMatrix"), "PPCell", [&](const DOMElement* e) {
      Parameter& p = m.parameters[param(e)];
      const std::string predictor = Attr(e, "predictorName");
      const std::string value = Attr(e, "value");
      if (factorNames.count(predictor) != 0) {
        const auto derived = fDerived.find(predictor);
        if (derived != fDerived.end() && derived->second.kind != Expr::Kind::kColumn) {
          Bad(fFile, "factor '" + predictor + "' is not a column");
        }
        const int column = Column(derived == fDerived.end() ? predictor : derived->second.name);
        p.factors.emplace_back(column, value);
        m.levels[column].insert(value);
      } else {
        double power = 0.0;
        if (!ParseNumber(value, power) || power != std::floor(power) || power < 0.0 ||
            power > 64.0) {
          Bad(fFile, "covariate '" + predictor + "' has the power '" + value + "'");
        }
        if (inputs.count(predictor) == 0) inputs[predictor] = InputOf(m, predictor);
        p.covariates.emplace_back(inputs[predictor], static_cast<int>(power));
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
};

// A record's fields as scoring reads them: a category matches the model's text when its text
// is the same, or when it is a number written the way the fit writes numeric categories.
class RecordFields {
 public:
  RecordFields(const RowCursor& cursor, const std::vector<std::string>& names)
      : fCursor(cursor), fNames(names) {}

  bool Is(int field, const std::string& category) const {
    const Field& f = fCursor.Fields()[field];
    if (f.kind == Field::kMissing) return false;
    if (f.text == category) return true;
    double v = 0.0;
    return ParseNumber(f.text, v) && CategoryNumberText(v) == category;
  }
  bool Known(int field, const std::set<std::string>& categories) const {
    const Field& f = fCursor.Fields()[field];
    if (f.kind == Field::kMissing) return false;
    if (categories.count(std::string(f.text)) != 0) return true;
    double v = 0.0;
    return ParseNumber(f.text, v) && categories.count(CategoryNumberText(v)) != 0;
  }
  // The number in a field, false when missing; InputError for text that is not a number.
  bool Number(int field, double& x) const {
    const Field& f = fCursor.Fields()[field];
    if (f.kind == Field::kMissing) return false;
    if (!ParseNumber(f.text, x)) {
      throw InputError(fCursor.Where() + ": covariate '" + fNames[static_cast<std::size_t>(field)] +
                       "' holds '" + std::string(f.text) + "', not a number");
    }
    return true;
  }

 private:
  const RowCursor& fCursor;
  const std::vector<std::string>& fNames;
};

// The design values of a record; false when the record cannot be scored (a value missing,
// a category the model does not know, arithmetic that is not finite).
bool Design(const Model& m, const RecordFields& record, std::vector<double>& x,
            std::vector<double>& values) {
  for (const auto& [field, known] : m.levels) {
    // Missing, or a category the model was not fitted with.
    if (!record.Known(field, known)) return false;
  }
  values.resize(m.inputs.size());
  std::vector<double> row;
  for (std::size_t i = 0; i < m.inputs.size(); ++i) {
    const Input& input = m.inputs[i];
    if (!input.program) {
      if (!record.Number(input.column, values[i])) return false;
      continue;
    }
    row.resize(input.columns.size());
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (!record.Number(input.columns[c], row[c])) return false;
    }
    if (input.program->Evaluate(row.data(), values[i]) != ExpressionProgram::Outcome::kValue) {
      return false;
    }
  }
  x.assign(m.parameters.size(), 1.0);
  for (std::size_t k = 0; k < m.parameters.size(); ++k) {
    for (const auto& [field, category] : m.parameters[k].factors) {
      if (!record.Is(field, category)) x[k] = 0.0;
    }
    for (const auto& [input, power] : m.parameters[k].covariates) {
      for (int i = 0; i < power; ++i) x[k] *= values[static_cast<std::size_t>(input)];
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

}  // namespace

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
    std::vector<double> x;
    std::vector<double> values;
    std::vector<double> eta;
    const std::unique_ptr<RowCursor> cursor = data->Open(reader.Columns());
    const RecordFields record(*cursor, reader.Names());
    for (std::int64_t row = 1; cursor->Next(); ++row) {
      if (row % 4096 == 0 && check()) throw Cancelled();
      std::size_t chosen = 0;
      for (; chosen < segments.size(); ++chosen) {
        bool match = true;
        for (const auto& [field, value] : segments[chosen].when) {
          match = match && record.Is(field, value);
        }
        if (match) break;
      }
      if (id >= 0) os << CsvField(FieldText(*data, idColumn, cursor->Fields()[id])) << ",";
      if (chosen == segments.size() || !Design(segments[chosen].model, record, x, values)) {
        // A lone empty field is quoted: an empty line would read as no record at all.
        os << (logistic ? std::string(categories.size(), ',')
                        : std::string(id >= 0 ? "" : "\"\""))
           << "\n";
        continue;
      }
      const Model& m = segments[chosen].model;
      eta.assign(m.beta.size(), 0.0);
      for (std::size_t t = 0; t < m.beta.size(); ++t) {
        for (std::size_t k = 0; k < x.size(); ++k) eta[t] += m.beta[t][k] * x[k];
      }
      if (!logistic) {
        os << ShortestText(eta[0]) << "\n";
        continue;
      }
      const std::size_t best = Predicted(m, eta);
      // Probabilities exp(eta_t) / sum exp(eta_s), shifted by the largest for safety.
      double top = eta[0];
      for (double e : eta) top = std::max(top, e);
      double sum = 0.0;
      for (double& e : eta) sum += (e = std::exp(e - top));
      std::vector<double> probability(categories.size(), 0.0);
      for (std::size_t t = 0; t < eta.size(); ++t) {
        probability[columnOf[chosen][t]] = eta[t] / sum;
      }
      os << CsvField(m.targets[best]);
      for (double p : probability) os << "," << ShortestText(p);
      os << "\n";
    }
    if (check()) throw Cancelled();
    file.Commit();
    return kExitOK;
  });
}

}  // namespace MCFrontEnd

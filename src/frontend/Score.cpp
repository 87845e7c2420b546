#include "frontend/Commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "Guarded.h"
#include "Text.h"
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
  std::vector<std::pair<int, int>> covariates;       // column, power
};

// A "GeneralRegressionModel" ready to score records of one data table.
struct Model {
  bool logistic = false;
  std::vector<std::string> targets;  // response categories in order (logistic)
  std::vector<Parameter> parameters;
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

  Model ReadModel(const DOMElement* grm) {
    Model m;
    const std::string type = Attr(grm, "modelType");
    if (type != "regression" && type != "multinomialLogistic") {
      Bad(fFile, "model type '" + type + "' cannot be scored");
    }
    m.logistic = type == "multinomialLogistic";
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
      const int column = Column(predictor);
      const std::string value = Attr(e, "value");
      if (factorNames.count(predictor) != 0) {
        p.factors.emplace_back(column, value);
        m.levels[column].insert(value);
      } else {
        double power = 0.0;
        if (!ParseNumber(value, power) || power != std::floor(power) || power < 0.0 ||
            power > 64.0) {
          Bad(fFile, "covariate '" + predictor + "' has the power '" + value + "'");
        }
        p.covariates.emplace_back(column, static_cast<int>(power));
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
    return m;
  }

  // The model of a fit's result, as its PMML document (WritePmml) describes it.
  Model FromResult(const FitResult& result) {
    Model m;
    m.logistic = result.model == "logistic";
    if (m.logistic) m.targets = result.categories;
    // One parameter per distinct name: a logistic model repeats each for every target.
    std::map<std::string, std::size_t> index;
    for (const ParameterResult& p : result.parameters) {
      if (!index.emplace(p.name, index.size()).second) continue;
      Parameter q;
      for (const PredictorCell& cell : p.cells) {
        const int column = Column(cell.variable);
        if (cell.factor) {
          q.factors.emplace_back(column, cell.category);
          m.levels[column].insert(cell.category);
          continue;
        }
        // A covariate listed twice is its square.
        auto at = std::find_if(q.covariates.begin(), q.covariates.end(),
                               [column](const auto& c) { return c.first == column; });
        if (at == q.covariates.end()) {
          q.covariates.emplace_back(column, 1);
        } else {
          ++at->second;
        }
      }
      m.parameters.push_back(std::move(q));
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
    return fData.Labels(fColumns[static_cast<std::size_t>(field)])[static_cast<std::size_t>(f.label)];
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

// The design values of a record; false when the record cannot be scored.
bool Design(const Model& m, const RecordFields& record, std::vector<double>& x) {
  for (const auto& [field, known] : m.levels) {
    // Missing, or a category the model was not fitted with.
    if (!record.Known(field, known)) return false;
  }
  x.assign(m.parameters.size(), 1.0);
  for (std::size_t k = 0; k < m.parameters.size(); ++k) {
    for (const auto& [field, category] : m.parameters[k].factors) {
      if (!record.Is(field, category)) x[k] = 0.0;
    }
    for (const auto& [field, power] : m.parameters[k].covariates) {
      double v = 0.0;
      if (!record.Number(field, v)) return false;
      for (int i = 0; i < power; ++i) x[k] *= v;
    }
  }
  return true;
}

// Scores the current record: false when no segment applies or the record misses what its
// model needs. Otherwise `chosen` is the segment, eta holds its model's prediction (linear) or
// the probability of each of its targets in their order (logistic), and `best` is the most
// probable target (the first of them).
bool ScoreRecord(const std::vector<Segment>& segments, const RecordFields& record,
                 std::vector<double>& x, std::vector<double>& eta, std::size_t& chosen,
                 std::size_t& best) {
  for (chosen = 0; chosen < segments.size(); ++chosen) {
    bool match = true;
    for (const auto& [field, value] : segments[chosen].when) {
      match = match && record.Is(field, value);
    }
    if (match) break;
  }
  if (chosen == segments.size() || !Design(segments[chosen].model, record, x)) return false;
  const Model& m = segments[chosen].model;
  eta.assign(m.beta.size(), 0.0);
  for (std::size_t t = 0; t < m.beta.size(); ++t) {
    for (std::size_t k = 0; k < x.size(); ++k) eta[t] += m.beta[t][k] * x[k];
  }
  if (!m.logistic) return true;
  // Probabilities exp(eta_t) / sum exp(eta_s), shifted by the largest for safety.
  double top = eta[0];
  for (double e : eta) top = std::max(top, e);
  double sum = 0.0;
  for (double& e : eta) sum += (e = std::exp(e - top));
  best = 0;
  for (std::size_t t = 1; t < eta.size(); ++t) {
    if (eta[t] > eta[best]) best = t;
  }
  for (double& e : eta) e /= sum;
  return true;
}

}  // namespace

Predictions Predict(const FitResult& result, DataSource& data, const CancelCheck& cancelled) {
  Reader reader(data.Name(), data);
  const std::vector<Segment> segments{{{}, reader.FromResult(result)}};
  Predictions predictions;
  predictions.categories = segments[0].model.targets;
  const std::size_t width = std::max<std::size_t>(1, predictions.categories.size());
  std::vector<double> x;
  std::vector<double> eta;
  const std::unique_ptr<RowCursor> cursor = data.Open(reader.Columns());
  const RecordFields record(*cursor, data, reader.Columns(), reader.Names());
  for (std::int64_t row = 1; cursor->Next(); ++row) {
    if (row % 4096 == 0 && cancelled && cancelled()) throw Cancelled();
    std::size_t chosen = 0;
    std::size_t best = 0;
    if (ScoreRecord(segments, record, x, eta, chosen, best)) {
      predictions.values.insert(predictions.values.end(), eta.begin(), eta.end());
    } else {
      predictions.values.insert(predictions.values.end(), width, std::nan(""));
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

    OutputFile file(options.out, out, false);
    std::ostream& os = file.Stream();
    os << "predicted";
    for (const std::string& c : categories) os << "," << CsvField("P(" + c + ")");
    os << "\n";
    std::vector<double> x;
    std::vector<double> eta;
    const std::unique_ptr<RowCursor> cursor = data->Open(reader.Columns());
    const RecordFields record(*cursor, *data, reader.Columns(), reader.Names());
    for (std::int64_t row = 1; cursor->Next(); ++row) {
      if (row % 4096 == 0 && check()) throw Cancelled();
      std::size_t chosen = 0;
      std::size_t best = 0;
      if (!ScoreRecord(segments, record, x, eta, chosen, best)) {
        // A lone empty field is quoted: an empty line would read as no record at all.
        os << (logistic ? std::string(categories.size(), ',') : std::string("\"\"")) << "\n";
        continue;
      }
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

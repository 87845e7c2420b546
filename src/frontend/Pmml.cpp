#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "Expression.h"
#include "MCMV.h"
#include "MCPMMLExporter.h"
#include "MCUniStats.h"
#include "MCVarList.h"
#include "ModelLayout.h"
#include "RecordPass.h"
#include "Text.h"
#include "XMLElement.h"
#include "frontend/Fit.h"

namespace MCFrontEnd {

namespace {

using MCCommonMetadata::IMCVariable;
using MCCommonXML::XMLElement;
using Owned = std::unique_ptr<XMLElement>;

// More digits than the library's 15, so that the scores read back equal the fit's.
std::string Exact(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

XMLElement* Child(XMLElement& parent, const std::string& name) {
  XMLElement* child = XMLElement::Create(name);
  parent.AddElement(child);
  return child;
}

void Check(const MCCommon::MCStatus& status, const std::string& what) {
  if (status.IsError()) {
    throw InputError("the PMML writer refused the " + what + " (status " +
                     std::to_string(status.GetErrorCode()) + ")");
  }
}

// Univariate statistics of the records the fit used, frequency-weighted: category counts of
// the categorical positions; count, extremes, mean and standard deviation of the others.
class UsedStats {
 public:
  explicit UsedStats(CodedModel& model) : fLayout(model.Layout()) {
    const std::size_t width = static_cast<std::size_t>(fLayout.WeightsFrom());
    fCounts.resize(width);
    fSum.assign(width, 0.0);
    fMin.assign(width, 0.0);
    fMax.assign(width, 0.0);
    fSquares.assign(width, 0.0);
    const int freq = fLayout.FrequencyPosition();
    ForEachRecord(model, [&](const MCCommon::Record& record) {
      const double* r = record.GetAll();
      if (!fLayout.Used(r)) return;
      const double w = freq >= 0 ? r[freq] : 1.0;
      for (std::size_t p = 0; p < width; ++p) {
        if (Categorical(p)) {
          const auto code = static_cast<std::size_t>(r[p]);
          if (code >= fCounts[p].size()) fCounts[p].resize(code + 1, 0.0);
          fCounts[p][code] += w;
          continue;
        }
        fMin[p] = fN == 0.0 ? r[p] : std::min(fMin[p], r[p]);
        fMax[p] = fN == 0.0 ? r[p] : std::max(fMax[p], r[p]);
        fSum[p] += w * r[p];
      }
      fN += w;
    });
    // Squares about the mean in a second pass: no cancellation.
    ForEachRecord(model, [&](const MCCommon::Record& record) {
      const double* r = record.GetAll();
      if (!fLayout.Used(r)) return;
      const double w = freq >= 0 ? r[freq] : 1.0;
      for (std::size_t p = 0; p < width; ++p) {
        if (Categorical(p)) continue;
        const double d = r[p] - fSum[p] / fN;
        fSquares[p] += w * d * d;
      }
    });
  }

  double N() const { return fN; }
  // Weighted counts by code (size at least `size`).
  std::vector<double> Counts(int position, int size) const {
    std::vector<double> counts = fCounts[static_cast<std::size_t>(position)];
    if (counts.size() < static_cast<std::size_t>(size))
      counts.resize(static_cast<std::size_t>(size), 0.0);
    return counts;
  }
  MCCommonMetadata::MCUniStats Continuous(const std::string& name, int position) const {
    const auto p = static_cast<std::size_t>(position);
    MCCommonMetadata::MCUniStats::SummStats summ;
    if (fN > 0.0) {
      const double mean = fSum[p] / fN;
      summ.fMinimum = fMin[p];
      summ.fMaximum = fMax[p];
      summ.fMean = std::min(fMax[p], std::max(fMin[p], mean));
      if (fN > 1.0) summ.fStdDev = std::sqrt(fSquares[p] / (fN - 1.0));
    }
    return MCCommonMetadata::MCUniStats(name, fN, summ, {}, {});
  }

 private:
  bool Categorical(std::size_t p) const {
    return fLayout.Positions()[p].kind == PositionPlan::kCategory;
  }

  const ModelLayout& fLayout;
  double fN = 0.0;
  std::vector<std::vector<double>> fCounts;
  std::vector<double> fSum, fMin, fMax, fSquares;
};

std::vector<std::string> FactorLevels(const CodedModel& model, int factor) {
  std::vector<std::string> levels;
  for (int code = 0; code < model.CategoryCount(factor); ++code) {
    levels.push_back(model.CategoryText(factor, code));
  }
  return levels;
}

// Adds a categorical variable whose categories are the texts, numeric when the column is.
void AddCategorical(MCCommonMetadata::MCVarList& list, const std::string& name,
                    const std::vector<std::string>& levels, bool numeric,
                    IMCVariable::VariableRole role) {
  if (numeric) {
    std::vector<double> values;
    for (const std::string& text : levels) {
      double v = 0.0;
      ParseNumber(text, v);
      values.push_back(v);
    }
    list.AddCatVar(name, "", values, role);
  } else {
    list.AddCatVar(name, "", levels, role);
  }
}

// The parameter cells of one parameter: factor categories, and covariates with their powers
// (x1*x1 is one cell of power 2).
void AddPPCells(XMLElement& matrix, const ParameterResult& p, const std::string& id) {
  std::vector<std::pair<std::string, int>> powers;
  for (const PredictorCell& cell : p.cells) {
    if (cell.factor) {
      XMLElement* pp = Child(matrix, "PPCell");
      pp->AddAttribute("value", cell.category);
      pp->AddAttribute("predictorName", cell.variable);
      pp->AddAttribute("parameterName", id);
      continue;
    }
    bool seen = false;
    for (auto& power : powers) {
      if (power.first == cell.variable) {
        ++power.second;
        seen = true;
      }
    }
    if (!seen) powers.emplace_back(cell.variable, 1);
  }
  for (const auto& power : powers) {
    XMLElement* pp = Child(matrix, "PPCell");
    pp->AddAttribute("value", std::to_string(power.second));
    pp->AddAttribute("predictorName", power.first);
    pp->AddAttribute("parameterName", id);
  }
}

XMLElement* Constant(double value) {
  XMLElement* c = XMLElement::Create("Constant");
  c->AddAttribute("dataType", "double");
  c->AddElement(MCCommonXML::XMLString::Create(Exact(value)));
  return c;
}

XMLElement* Apply(const std::string& function, std::vector<XMLElement*> operands) {
  XMLElement* a = XMLElement::Create("Apply");
  a->AddAttribute("function", function);
  for (XMLElement* o : operands) a->AddElement(o);
  return a;
}

// The arithmetic of a derived covariate in PMML's built-in functions; score reads it back
// (PmmlExpression there) into the same arithmetic.
XMLElement* Expression(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kNumber:
      return Constant(e.number);
    case Expr::Kind::kColumn: {
      XMLElement* f = XMLElement::Create("FieldRef");
      f->AddAttribute("field", e.name);
      return f;
    }
    case Expr::Kind::kNegate:
      return Apply("*", {Constant(-1.0), Expression(e.operands[0])});
    case Expr::Kind::kCall: {
      XMLElement* x = Expression(e.operands[0]);
      if (e.name == "log") return Apply("ln", {x});
      // PMML has no log2: ln(x) / ln(2).
      if (e.name == "log2") return Apply("/", {Apply("ln", {x}), Constant(std::log(2.0))});
      return Apply(e.name, {x});  // log10, exp, sqrt, abs
    }
    default: {
      static const char* const kFunctions[] = {"+", "-", "*", "/", "pow"};
      const int k = static_cast<int>(e.kind) - static_cast<int>(Expr::Kind::kAdd);
      return Apply(kFunctions[k], {Expression(e.operands[0]), Expression(e.operands[1])});
    }
  }
}

XMLElement* CategoryValues(XMLElement* field, const std::vector<std::string>& categories) {
  for (const std::string& c : categories) {
    XMLElement* v = Child(*field, "Value");
    v->AddAttribute("value", c);
  }
  return field;
}

}  // namespace

void WritePmml(const FitResult& result, CodedModel& model, std::ostream& os,
               const std::string& version) {
  if (version != "4.4" && version != "3.2") {
    throw InputError("PMML version must be 4.4 or 3.2, not '" + version + "'");
  }
  // A PMML 3.2 model needs a cell in its predictor-to-parameter matrix, which a model of the
  // intercept alone does not have: such a document would not validate.
  if (version == "3.2" && std::none_of(result.parameters.begin(), result.parameters.end(),
                                       [](const ParameterResult& p) { return !p.cells.empty(); })) {
    throw InputError("--pmml: PMML 3.2 cannot hold a model without predictors; write PMML 4.4");
  }
  const ModelRequest& request = model.Request();
  const ModelLayout& layout = model.Layout();
  const std::vector<PositionPlan>& positions = layout.Positions();
  const std::vector<Slot>& slots = model.Data().Slots();
  const std::vector<std::string>& columnNames = model.Data().Source().ColumnNames();
  const bool logistic = result.model == "logistic";
  if (positions.front().kind == PositionPlan::kDerived) {
    throw InputError("--pmml: the response " + request.dependent +
                     " is computed from the data, and PMML names a column as its target");
  }
  const UsedStats used(model);

  // The data columns the model reads (the dictionary and the mining schema), the model's
  // variables computed from them (its local transformations), and the statistics of the
  // model's variables over the records used.
  const auto columnOf = [&](int slot) {
    return columnNames[static_cast<std::size_t>(slots[static_cast<std::size_t>(slot)].column)];
  };
  std::vector<std::string> columns;     // in order of first use
  std::map<std::string, bool> numeric;  // whether a column is read as numbers
  std::map<std::string, int> factorOf;  // a factor named by its column: its index
  const auto use = [&](const std::string& column, bool number) {
    if (numeric.count(column) == 0) columns.push_back(column);
    numeric[column] = numeric[column] || number;
  };
  std::vector<std::pair<std::string, int>> derivedFactors;  // name, factor
  std::vector<int> derivedCovariates;                       // positions
  for (int p = 0; p < layout.WeightsFrom(); ++p) {
    const PositionPlan& plan = positions[static_cast<std::size_t>(p)];
    const int factor = p - 1;
    if (plan.kind == PositionPlan::kDerived) {
      if (layout.Expression(plan.derived) == nullptr) {
        throw InputError("--pmml: PMML cannot state how the covariate '" + plan.name +
                         "' is computed");
      }
      for (const int input : plan.inputs) use(columnOf(input), true);
      derivedCovariates.push_back(p);
      continue;
    }
    const std::string column = columnOf(plan.slot);
    use(column, plan.kind == PositionPlan::kNumber);
    if (plan.kind != PositionPlan::kCategory || p == 0) continue;
    if (column == plan.name) {
      factorOf[column] = factor;
    } else {
      derivedFactors.emplace_back(plan.name, factor);
    }
  }

  MCCommonMetadata::MCVarList list;
  std::vector<MCCommonMetadata::MCUniStats> stats;
  for (const std::string& column : columns) {
    const bool response = column == columnOf(positions.front().slot);
    const IMCVariable::VariableRole role = response ? IMCVariable::kTarget : IMCVariable::kInput;
    if (response && logistic) {
      AddCategorical(list, column, result.categories, model.ResponseNumeric(), role);
    } else if (!numeric[column] && factorOf.count(column) != 0) {
      const int f = factorOf[column];
      AddCategorical(list, column, FactorLevels(model, f), model.NumericCategories(f), role);
    } else {
      list.AddContVar(column, "", role);
    }
  }
  if (logistic) {
    // The result's categories are those the fit kept, in ascending order, as are the codes.
    const std::vector<double> byCode = used.Counts(0, model.ResponseCategoryCount());
    std::vector<double> counts;
    for (const std::string& category : result.categories) {
      double count = 0.0;
      for (int code = 0; code < model.ResponseCategoryCount(); ++code) {
        if (model.ResponseText(code) == category) count = byCode[static_cast<std::size_t>(code)];
      }
      counts.push_back(count);
    }
    stats.emplace_back(request.dependent, used.N(), counts);
  } else {
    stats.push_back(used.Continuous(request.dependent, 0));
  }
  for (std::size_t f = 0; f < request.factors.size(); ++f) {
    const int factor = static_cast<int>(f);
    stats.emplace_back(request.factors[f], used.N(),
                       used.Counts(1 + factor, model.CategoryCount(factor)));
  }
  for (std::size_t c = 0; c < request.covariates.size(); ++c) {
    stats.push_back(
        used.Continuous(request.covariates[c], 1 + static_cast<int>(request.factors.size() + c)));
  }

  MCComXPrsUtil::MCPMMLExporter exporter;
  Owned pmml;
  if (version == "3.2") {
    pmml.reset(exporter.ExportPMMLElement());
  } else {
    // The library's writer makes PMML 3.2 roots; the parts it writes are alike in 4.4.
    pmml.reset(XMLElement::Create("PMML"));
    pmml->AddAttribute("version", "4.4");
    pmml->AddAttribute("xmlns", "http://www.dmg.org/PMML-4_4");
    pmml->AddAttribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    pmml->AddAttribute("xsi:schemaLocation", "http://www.dmg.org/PMML-4_4 pmml-4-4.xsd");
  }
  MCComXPrsUtil::MCApplicInfo4XML info;
  info.fAppName = "mcfit";
  XMLElement* header = nullptr;
  Check(exporter.ExportHeader(&info, result.formula, false, header), "header");
  pmml->AddElement(header);
  XMLElement* dictionary = nullptr;
  const MCCommon::MCStatus dictStatus = exporter.ExportDataDictionary(list, {}, dictionary);
  if (dictionary != nullptr) pmml->AddElement(dictionary);
  Check(dictStatus, "data dictionary");

  XMLElement* grm = Child(*pmml, "GeneralRegressionModel");
  grm->AddAttribute("modelType", logistic ? "multinomialLogistic" : "regression");
  grm->AddAttribute("modelName", result.formula);
  grm->AddAttribute("functionName", logistic ? "classification" : "regression");
  grm->AddAttribute("algorithmName", logistic ? "Newton-Raphson" : "least squares");
  if (logistic && version == "4.4" && result.reference) {
    grm->AddAttribute("targetReferenceCategory", *result.reference);
  }

  XMLElement* schema = Child(*grm, "MiningSchema");
  for (const std::string& column : columns) {
    XMLElement* field = Child(*schema, "MiningField");
    field->AddAttribute("name", column);
    if (column == columnOf(positions.front().slot)) field->AddAttribute("usageType", "predicted");
  }

  XMLElement* modelStats = Child(*grm, "ModelStats");
  for (const MCCommonMetadata::MCUniStats& s : stats) {
    XMLElement* uni = nullptr;
    Check(exporter.ExportUniStats(s, uni), "statistics of '" + s.GetVarName() + "'");
    modelStats->AddElement(uni);
  }

  if (logistic) {
    // PMML 3.2 names no reference category: the categories are listed here, in order, and
    // the reference is the one without parameter cells.
    XMLElement* t = Child(*Child(*grm, "Targets"), "Target");
    t->AddAttribute("field", request.dependent);
    t->AddAttribute("optype", "categorical");
    for (const std::string& c : result.categories) {
      Child(*t, "TargetValue")->AddAttribute("value", c);
    }
  }

  // The model's variables that are not columns: factors of C() and derived covariates.
  if (!derivedFactors.empty() || !derivedCovariates.empty()) {
    XMLElement* local = Child(*grm, "LocalTransformations");
    for (const auto& [name, factor] : derivedFactors) {
      XMLElement* field = Child(*local, "DerivedField");
      field->AddAttribute("name", name);
      field->AddAttribute("optype", "categorical");
      field->AddAttribute("dataType", model.NumericCategories(factor) ? "double" : "string");
      const PositionPlan& plan = positions[static_cast<std::size_t>(1 + factor)];
      XMLElement* ref = Child(*field, "FieldRef");
      ref->AddAttribute("field", columnOf(plan.slot));
      CategoryValues(field, FactorLevels(model, factor));
    }
    for (const int p : derivedCovariates) {
      const PositionPlan& plan = positions[static_cast<std::size_t>(p)];
      XMLElement* field = Child(*local, "DerivedField");
      field->AddAttribute("name", plan.name);
      field->AddAttribute("optype", "continuous");
      field->AddAttribute("dataType", "double");
      field->AddElement(Expression(*layout.Expression(plan.derived)));
    }
  }

  // One PMML parameter per distinct name: a logistic model repeats each for every target.
  std::map<std::string, std::string> ids;
  std::vector<const ParameterResult*> distinct;
  for (const ParameterResult& p : result.parameters) {
    if (ids.count(p.name) == 0) {
      ids[p.name] = "p" + std::to_string(distinct.size());
      distinct.push_back(&p);
    }
  }
  XMLElement* parameterList = Child(*grm, "ParameterList");
  for (const ParameterResult* p : distinct) {
    XMLElement* e = Child(*parameterList, "Parameter");
    e->AddAttribute("name", ids[p->name]);
    e->AddAttribute("label", p->name);
  }
  if (!request.factors.empty()) {
    XMLElement* factorList = Child(*grm, "FactorList");
    for (const std::string& name : request.factors) {
      Child(*factorList, "Predictor")->AddAttribute("name", name);
    }
  }
  if (!request.covariates.empty()) {
    XMLElement* covariateList = Child(*grm, "CovariateList");
    for (const std::string& name : request.covariates) {
      Child(*covariateList, "Predictor")->AddAttribute("name", name);
    }
  }
  XMLElement* ppMatrix = Child(*grm, "PPMatrix");
  for (const ParameterResult* p : distinct) AddPPCells(*ppMatrix, *p, ids[p->name]);
  XMLElement* paramMatrix = Child(*grm, "ParamMatrix");
  for (const ParameterResult& p : result.parameters) {
    XMLElement* cell = Child(*paramMatrix, "PCell");
    if (p.target) cell->AddAttribute("targetCategory", *p.target);
    cell->AddAttribute("parameterName", ids[p.name]);
    cell->AddAttribute("beta", Exact(p.estimate));
  }
  MCCommonXML::WriteTreeUTF8(os, nullptr, pmml.get(), true);
  os << "\n";
}

}  // namespace MCFrontEnd

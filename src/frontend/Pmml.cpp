#include "Pmml.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "MCMV.h"
#include "MCPMMLExporter.h"
#include "MCUniStats.h"
#include "MCVarList.h"
#include "XMLElement.h"

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

// The model's variables as the coded records hold them.
struct Roles {
  std::string dependent;
  std::vector<std::string> factors;
  std::vector<std::string> covariates;
  int freqPosition = -1;
};

// Which coded records the fit used: every role present and the weights positive.
std::vector<bool> UsedRows(CodedModel& model, const Roles& roles) {
  MemoryRecords& records = model.Records();
  const int weightsFrom = 1 + static_cast<int>(roles.factors.size() + roles.covariates.size());
  std::vector<bool> used(records.GetNRecords(), false);
  for (std::size_t i = 0; i < used.size(); ++i) {
    const double* r = records.RecordValues(i);
    bool ok = true;
    for (int k = 0; k < records.GetWidth() && ok; ++k) {
      ok = k < weightsFrom ? !MCMV::IsMissing(r[k]) : r[k] > 0.0;
    }
    used[i] = ok;
  }
  return used;
}

std::vector<std::string> FactorLevels(const CodedModel& model, int factor) {
  std::vector<std::string> levels;
  for (int code = 0;; ++code) {
    std::string text = model.CategoryText(factor, code);
    if (text.empty()) break;
    levels.push_back(std::move(text));
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

MCCommonMetadata::MCUniStats ContinuousStats(const std::string& name, CodedModel& model,
                                             int position, const std::vector<bool>& used,
                                             int freqPosition) {
  MemoryRecords& records = model.Records();
  double n = 0.0, sum = 0.0, min = 0.0, max = 0.0;
  for (std::size_t i = 0; i < used.size(); ++i) {
    if (!used[i]) continue;
    const double* r = records.RecordValues(i);
    const double w = freqPosition >= 0 ? r[freqPosition] : 1.0;
    const double x = r[position];
    min = n == 0.0 ? x : std::min(min, x);
    max = n == 0.0 ? x : std::max(max, x);
    n += w;
    sum += w * x;
  }
  MCCommonMetadata::MCUniStats::SummStats summ;
  if (n > 0.0) {
    const double mean = sum / n;
    double ss = 0.0;
    for (std::size_t i = 0; i < used.size(); ++i) {
      if (!used[i]) continue;
      const double* r = records.RecordValues(i);
      const double w = freqPosition >= 0 ? r[freqPosition] : 1.0;
      ss += w * (r[position] - mean) * (r[position] - mean);
    }
    summ.fMinimum = min;
    summ.fMaximum = max;
    summ.fMean = std::min(max, std::max(min, mean));
    if (n > 1.0) summ.fStdDev = std::sqrt(ss / (n - 1.0));
  }
  return MCCommonMetadata::MCUniStats(name, n, summ, {}, {});
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

}  // namespace

std::string ValueText(const Column& column, std::size_t row) {
  if (column.numeric) {
    const double v = column.values[row];
    return MCMV::IsMissing(v) ? std::string() : MCCommonXML::ReplaceSep(v);
  }
  return column.missing[row] ? std::string() : column.text[row];
}

void WritePmml(const FitResult& result, CodedModel& model, const DataTable& data,
               std::ostream& os) {
  const ModelRequest& request = model.Request();
  const bool logistic = result.model == "logistic";
  Roles roles{request.dependent, request.factors, request.covariates, -1};
  if (!request.freqWeight.empty()) {
    roles.freqPosition = 1 + static_cast<int>(request.factors.size() + request.covariates.size());
  }
  const std::vector<bool> used = UsedRows(model, roles);
  auto numeric = [&data](const std::string& name) {
    return data.columns[static_cast<std::size_t>(data.Find(name))].numeric;
  };

  // The variables, with the univariate statistics of the records used.
  MCCommonMetadata::MCVarList list;
  std::vector<MCCommonMetadata::MCUniStats> stats;
  if (logistic) {
    AddCategorical(list, roles.dependent, result.categories, numeric(roles.dependent),
                   IMCVariable::kTarget);
    std::vector<double> counts(result.categories.size(), 0.0);
    const Column& col = data.columns[static_cast<std::size_t>(data.Find(roles.dependent))];
    MemoryRecords& records = model.Records();
    double n = 0.0;
    for (std::size_t i = 0; i < used.size() && i < data.nRows; ++i) {
      if (!used[i]) continue;
      const double w = roles.freqPosition >= 0 ? records.RecordValues(i)[roles.freqPosition] : 1.0;
      const std::string text = ValueText(col, i);
      for (std::size_t c = 0; c < counts.size(); ++c) {
        if (result.categories[c] == text) counts[c] += w;
      }
      n += w;
    }
    stats.emplace_back(roles.dependent, n, counts);
  } else {
    list.AddContVar(roles.dependent, "", IMCVariable::kTarget);
    stats.push_back(ContinuousStats(roles.dependent, model, 0, used, roles.freqPosition));
  }
  for (std::size_t f = 0; f < roles.factors.size(); ++f) {
    const std::vector<std::string> levels = FactorLevels(model, static_cast<int>(f));
    AddCategorical(list, roles.factors[f], levels, numeric(roles.factors[f]), IMCVariable::kInput);
    std::vector<double> counts(levels.size(), 0.0);
    MemoryRecords& records = model.Records();
    double n = 0.0;
    for (std::size_t i = 0; i < used.size(); ++i) {
      if (!used[i]) continue;
      const double* r = records.RecordValues(i);
      const double w = roles.freqPosition >= 0 ? r[roles.freqPosition] : 1.0;
      const auto code = static_cast<std::size_t>(r[1 + f]);
      if (code < counts.size()) counts[code] += w;
      n += w;
    }
    stats.emplace_back(roles.factors[f], n, counts);
  }
  for (std::size_t c = 0; c < roles.covariates.size(); ++c) {
    list.AddContVar(roles.covariates[c], "", IMCVariable::kInput);
    const int position = 1 + static_cast<int>(roles.factors.size() + c);
    stats.push_back(
        ContinuousStats(roles.covariates[c], model, position, used, roles.freqPosition));
  }

  MCComXPrsUtil::MCPMMLExporter exporter;
  Owned pmml(exporter.ExportPMMLElement());
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

  XMLElement* schema = Child(*grm, "MiningSchema");
  XMLElement* target = Child(*schema, "MiningField");
  target->AddAttribute("name", roles.dependent);
  target->AddAttribute("usageType", "predicted");
  for (const std::string& name : roles.factors)
    Child(*schema, "MiningField")->AddAttribute("name", name);
  for (const std::string& name : roles.covariates) {
    Child(*schema, "MiningField")->AddAttribute("name", name);
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
    t->AddAttribute("field", roles.dependent);
    t->AddAttribute("optype", "categorical");
    for (const std::string& c : result.categories) {
      Child(*t, "TargetValue")->AddAttribute("value", c);
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
  if (!roles.factors.empty()) {
    XMLElement* factorList = Child(*grm, "FactorList");
    for (const std::string& name : roles.factors) {
      Child(*factorList, "Predictor")->AddAttribute("name", name);
    }
  }
  if (!roles.covariates.empty()) {
    XMLElement* covariateList = Child(*grm, "CovariateList");
    for (const std::string& name : roles.covariates) {
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

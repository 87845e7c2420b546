#ifndef MCSTAT_TESTS_MCPARSEXML_PMMLTESTDOCS_H_
#define MCSTAT_TESTS_MCPARSEXML_PMMLTESTDOCS_H_

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "IMCEncoder.h"
#include "MCCatVar.h"
#include "MCContVar.h"
#include "MCMV.h"
#include "MCVarList.h"

// Small builders for the PMML and settings documents the readers' tests feed in.
namespace pmml_test {

using Attrs = std::vector<std::pair<std::string, std::string>>;

// <tag a="v"...>children</tag>; attributes with an empty value are left out.
inline std::string El(const std::string& tag, const Attrs& attrs,
                      const std::string& children = "") {
  std::string s = "<" + tag;
  for (const auto& a : attrs) {
    if (!a.second.empty()) s += " " + a.first + "=\"" + a.second + "\"";
  }
  return children.empty() ? s + "/>" : s + ">" + children + "</" + tag + ">";
}

inline std::string Field(const std::string& name, const std::string& optype,
                         const std::string& type, const std::string& children = "") {
  return El("DataField", {{"name", name}, {"optype", optype}, {"dataType", type}}, children);
}

inline std::string Value(const std::string& v, const std::string& property = "",
                         const std::string& display = "") {
  return El("Value", {{"value", v}, {"property", property}, {"displayValue", display}});
}

inline std::string Interval(const std::string& closure, const std::string& left,
                            const std::string& right) {
  return El("Interval", {{"closure", closure}, {"leftMargin", left}, {"rightMargin", right}});
}

inline std::string Dict(const std::string& fields) {
  return "<DataDictionary>" + fields + "</DataDictionary>";
}

inline std::string Doc(const std::string& body) {
  return "<PMML version=\"3.2\">" + body + "</PMML>";
}

// A transformation dictionary with one derived field that cuts field into (m[k], m[k+1]] bins.
inline std::string Binned(const std::string& field, const std::vector<std::string>& m) {
  std::string bins;
  for (std::size_t k = 0; k + 1 < m.size(); ++k) {
    bins += El("DiscretizeBin", {{"binValue", std::to_string(k + 1)}},
               Interval("openClosed", m[k], m[k + 1]));
  }
  return "<TransformationDictionary>" +
         El("DerivedField",
            {{"name", field + "b"}, {"optype", "categorical"}, {"dataType", "string"}},
            El("Discretize", {{"field", field}}, bins)) +
         "</TransformationDictionary>";
}

// The system-missing value (the lowest double) as "MV", the highest double as "max".
inline std::string Num(double x) {
  if (MCMV::IsMissing(x)) return "MV";
  if (x == std::numeric_limits<double>::max()) return "max";
  std::ostringstream os;
  os << x;
  return os.str();
}

// One line a variable: name, level (C, N, S, W) and storage, then what is set.
inline std::string Describe(const MCCommonMetadata::MCVarList& list) {
  using MCCommonMetadata::IMCVariable;
  std::ostringstream os;
  const auto items = [&os](const std::vector<std::string>& texts,
                           const std::vector<std::string>* labels, const char* open) {
    for (std::size_t k = 0; k < texts.size(); ++k) {
      os << (k == 0 ? open : " ") << texts[k];
      if (labels != nullptr && k < labels->size() && !(*labels)[k].empty())
        os << '=' << (*labels)[k];
    }
    if (!texts.empty()) os << '}';
  };
  const auto nums = [](const std::vector<double>* values) {
    std::vector<std::string> texts;
    for (std::size_t k = 0; values != nullptr && k < values->size(); ++k) {
      texts.push_back(Num((*values)[k]));
    }
    return texts;
  };
  for (int i = 0; i < list.Size(); ++i) {
    const IMCVariable& v = *list.GetVarAt(i);
    const MCCommonMetadata::IMCEncoder& e = *v.GetEncoder();
    const auto* cont = dynamic_cast<const MCCommonMetadata::MCContVar*>(&v);
    const auto* cat = dynamic_cast<const MCCommonMetadata::MCCatVar*>(&v);
    os << v.GetVariableName() << ' ' << "?CNSW"[v.GetMeasureLevel()] << v.GetVariableStorage();
    if (!v.GetVariableLabel().empty()) os << " '" << v.GetVariableLabel() << "'";
    std::vector<std::string> categories;
    for (int code = 0; cat != nullptr && code < e.GetNumberOfCategories(); ++code) {
      const bool text = v.GetMeasureLevel() == IMCVariable::kStringCategorical;
      categories.push_back(text ? e.Decode(code) : Num(e.DecodeNum(code)));
    }
    items(categories, e.GetValueLabels(), " {");
    const std::vector<std::string>* missStrings = e.GetDiscreteMissValuesStr();
    items(missStrings != nullptr ? *missStrings : nums(e.GetDiscreteMissValues()),
          e.GetMissValueLabels(), " miss{");
    double low = 0, high = 0;
    if (e.GetMissingInterval(low, high)) os << " [" << Num(low) << "," << Num(high) << "]";
    if (cat != nullptr && cat->GetOrdinalFlag()) os << " ordinal";
    if (cont != nullptr) {
      os << " range " << Num(cont->GetMin()) << ".." << Num(cont->GetMax());
      items(nums(&cont->GetCutPoints()), nullptr, " cuts{");
      os << " bins " << cont->GetNBins() << "/" << e.GetNumberOfCategories();
    }
    os << '\n';
  }
  return os.str();
}

// Status -1 when xmllint is not installed.
struct SchemaCheck {
  int status = -1;
  std::string report;
};

inline SchemaCheck ValidateAgainst(const std::string& schema,
                                   const std::vector<std::string>& files) {
  SchemaCheck check;
  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) return check;
  std::string command =
      "xmllint --noout --schema '" + std::string(MCSTAT_SCHEMA_DIR) + "/" + schema + "'";
  for (const std::string& file : files) command += " '" + file + "'";
  if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p) != nullptr) check.report += buffer;
    check.status = pclose(p);
  }
  return check;
}

}  // namespace pmml_test

#endif  // MCSTAT_TESTS_MCPARSEXML_PMMLTESTDOCS_H_

#ifndef MCSTAT_TESTS_MCPARSEXML_PMMLTESTDOCS_H_
#define MCSTAT_TESTS_MCPARSEXML_PMMLTESTDOCS_H_

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

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

inline std::string Ext(const std::string& name, const std::string& value) {
  return El("Extension", {{"name", name}, {"value", value}});
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

// xmllint's exit status and report on the files against a schema of the repository's
// schemas/ folder; status -1 when xmllint is not installed.
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

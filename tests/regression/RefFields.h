// The reference files of tests/fixtures, as the library's and the program's tests read them.
#ifndef MCSTAT_TESTS_REGRESSION_REFFIELDS_H_
#define MCSTAT_TESTS_REGRESSION_REFFIELDS_H_

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace regtest {

// A fixture of tests/fixtures/<folder>: "key: words" fields and "param ..." lines.
struct FixtureFields {
  explicit FixtureFields(const std::string& path) {
    std::ifstream in(path);
    present = static_cast<bool>(in);
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::vector<std::string> w;
      for (std::string word; words >> word;) w.push_back(word);
      if (w.empty()) continue;
      if (w[0] == "param") {
        params.emplace_back(w.begin() + 1, w.end());
      } else {
        fields[w[0].substr(0, w[0].size() - 1)] = {w.begin() + 1, w.end()};
      }
    }
  }
  const std::vector<std::string>& List(const std::string& key) const {
    static const std::vector<std::string> kNone;
    const auto it = fields.find(key);
    return it == fields.end() ? kNone : it->second;
  }
  // A one-word field, "" for "-".
  std::string One(const std::string& key) const {
    return List(key).empty() || List(key)[0] == "-" ? "" : List(key)[0];
  }
  double Number(const std::string& key) const { return std::stod(List(key).at(0)); }

  bool present = false;
  std::map<std::string, std::vector<std::string>> fields;
  std::vector<std::vector<std::string>> params;
};

}  // namespace regtest

#endif  // MCSTAT_TESTS_REGRESSION_REFFIELDS_H_

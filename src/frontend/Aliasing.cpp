#include "Aliasing.h"

#include <algorithm>
#include <map>
#include <set>

namespace MCFrontEnd {

std::vector<int> IdentifiableCounts(const std::vector<Term>& terms,
                                    const std::vector<std::string>& factors,
                                    const std::vector<int>& categories, bool intercept) {
  // For each covariate product (its sorted names), the factor subsets already spanned.
  std::map<std::vector<std::string>, std::set<std::vector<int>>> spanned;
  if (intercept) spanned[std::vector<std::string>()].insert(std::vector<int>());
  std::vector<int> counts;
  for (const Term& term : terms) {
    std::vector<int> fs;  // factor indices of the term
    std::vector<std::string> product;
    for (const std::string& name : term.names) {
      const auto f = std::find(factors.begin(), factors.end(), name);
      if (f != factors.end()) {
        fs.push_back(static_cast<int>(f - factors.begin()));
      } else {
        product.push_back(name);
      }
    }
    std::sort(fs.begin(), fs.end());
    std::sort(product.begin(), product.end());
    std::set<std::vector<int>>& done = spanned[product];
    int count = 0;
    for (unsigned mask = 0; mask < (1u << fs.size()); ++mask) {
      std::vector<int> subset;
      int dimension = 1;
      for (std::size_t k = 0; k < fs.size(); ++k) {
        if ((mask >> k & 1u) == 0) continue;
        subset.push_back(fs[k]);
        dimension *= std::max(0, categories[static_cast<std::size_t>(fs[k])] - 1);
      }
      if (done.insert(subset).second) count += dimension;
    }
    counts.push_back(count);
  }
  return counts;
}

std::vector<std::string> AliasWarnings(const std::vector<Term>& terms,
                                       const std::vector<std::string>& factors,
                                       const std::vector<ParameterResult>& parameters,
                                       bool intercept) {
  // One logit's parameters; the categories of each factor among the parameters holding it
  // (all the categories of the records used).
  std::vector<std::set<std::string>> levels(factors.size());
  std::vector<int> identified(terms.size(), 0);
  for (const ParameterResult& p : parameters) {
    if (p.target != parameters.front().target) continue;
    for (const PredictorCell& cell : p.cells) {
      const auto f = std::find(factors.begin(), factors.end(), cell.variable);
      if (cell.factor && f != factors.end()) levels[static_cast<std::size_t>(f - factors.begin())].insert(cell.category);
    }
    if (p.term >= 0 && p.term < static_cast<int>(terms.size()) && !p.redundant) {
      ++identified[static_cast<std::size_t>(p.term)];
    }
  }
  std::vector<int> categories;
  for (const auto& l : levels) categories.push_back(static_cast<int>(l.size()));
  const std::vector<int> expected = IdentifiableCounts(terms, factors, categories, intercept);
  std::vector<std::string> warnings;
  for (std::size_t t = 0; t < terms.size(); ++t) {
    const int missing = expected[t] - identified[t];
    if (missing <= 0) continue;
    const std::string name = "term '" + terms[t].Text() + "'";
    if (identified[t] == 0) {
      warnings.push_back(name + " is aliased: the data identify none of its estimates (it is " +
                         "a combination of the terms before it, or its cells lack records)");
    } else {
      warnings.push_back(name + ": " + std::to_string(missing) + " of its " +
                         std::to_string(expected[t]) +
                         " estimates are not identified (aliased with earlier terms, or cells " +
                         "without records)");
    }
  }
  return warnings;
}

}  // namespace MCFrontEnd

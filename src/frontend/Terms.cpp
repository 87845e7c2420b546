#include "Terms.h"

#include <algorithm>
#include <set>
#include <utility>

#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

std::string TrimBlanks(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

std::string Term::Text() const {
  std::string s;
  for (const std::string& n : names) s += (s.empty() ? "" : "*") + n;
  return s;
}

Term ParseTerm(const std::string& text) {
  Term term;
  std::size_t start = 0;
  for (;;) {
    const std::size_t star = text.find('*', start);
    const std::string name = TrimBlanks(
        text.substr(start, star == std::string::npos ? std::string::npos : star - start));
    if (name.empty()) throw InputError("--effects: term '" + text + "' has an empty name");
    term.names.push_back(name);
    if (star == std::string::npos) break;
    start = star + 1;
  }
  return term;
}

void CheckTerms(const std::vector<Term>& terms, const std::vector<std::string>& factors,
                const std::vector<std::string>& covariates) {
  // A term's identity: its set of factors and its multiset of covariates.
  std::set<std::pair<std::vector<std::string>, std::vector<std::string>>> seen;
  for (const Term& term : terms) {
    std::vector<std::string> fs;
    std::vector<std::string> cs;
    for (const std::string& name : term.names) {
      if (Contains(factors, name)) {
        if (Contains(fs, name)) {
          throw InputError("--effects: factor '" + name + "' twice in term '" + term.Text() + "'");
        }
        fs.push_back(name);
      } else if (Contains(covariates, name)) {
        cs.push_back(name);
      } else {
        throw InputError("--effects: '" + name + "' in term '" + term.Text() +
                         "' is neither a factor nor a covariate");
      }
    }
    std::sort(fs.begin(), fs.end());
    std::sort(cs.begin(), cs.end());
    if (!seen.emplace(fs, cs).second) {
      throw InputError("--effects: term '" + term.Text() + "' is given twice");
    }
  }
}

std::vector<Term> DefaultTerms(const std::vector<std::string>& factors,
                               const std::vector<std::string>& covariates) {
  std::vector<Term> terms;
  for (const std::string& f : factors) terms.push_back(Term{{f}});
  for (const std::string& c : covariates) terms.push_back(Term{{c}});
  return terms;
}

}  // namespace MCFrontEnd

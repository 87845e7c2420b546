#ifndef MCSTAT_FRONTEND_TERMS_H_
#define MCSTAT_FRONTEND_TERMS_H_

#include <string>
#include <vector>

#include "frontend/ModelRequest.h"

namespace MCFrontEnd {

// Parses "A", "A*B", "x1*x1" (blanks around names allowed). InputError for an empty term
// or an empty name ("A**B", "*A").
Term ParseTerm(const std::string& text);

// Checks terms against the model's variables: every name is a factor or a covariate, no
// factor appears twice in one term (a covariate may: that is a power), and no term is given
// twice, in any order of its names. InputError naming the term otherwise.
void CheckTerms(const std::vector<Term>& terms, const std::vector<std::string>& factors,
                const std::vector<std::string>& covariates);

// The main effects of all factors, then of all covariates.
std::vector<Term> DefaultTerms(const std::vector<std::string>& factors,
                               const std::vector<std::string>& covariates);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_TERMS_H_

#ifndef MCSTAT_FRONTEND_ALIASING_H_
#define MCSTAT_FRONTEND_ALIASING_H_

#include <string>
#include <vector>

#include "frontend/FitResult.h"
#include "frontend/ModelRequest.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// The number of estimates each term would have with data in every cell of its factors and
// covariates in general position, in the library's order (the intercept, then the terms in
// turn, each counting what the earlier ones do not already span). A term with factor set F
// and covariate product c spans the functions of F times c; these split into parts, one per
// subset S of F, of dimension the product over S of (categories - 1), and a part counts once
// for all terms of the same covariate product. categories[f] is the number of categories of
// the factor named factors[f].
MCFRONTEND_EXPORT std::vector<int> IdentifiableCounts(const std::vector<Term>& terms,
                                                      const std::vector<std::string>& factors,
                                                      const std::vector<int>& categories,
                                                      bool intercept);

// Words for the terms whose estimates the data identify fewer of than that: a term aliased
// with earlier ones as a whole, or some of its estimates not identified (aliased, or cells
// without records). The parameters are a fit's (of the first logit for a logistic model).
MCFRONTEND_EXPORT std::vector<std::string> AliasWarnings(const std::vector<Term>& terms,
                                                         const std::vector<std::string>& factors,
                                                         const std::vector<ParameterResult>& parameters,
                                                         bool intercept);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_ALIASING_H_

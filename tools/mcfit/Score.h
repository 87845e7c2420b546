#ifndef MCFIT_SCORE_H_
#define MCFIT_SCORE_H_

#include <ostream>
#include <string>

#include "MCCancelInfo.h"

namespace mcfit {

// Everything `mcfit score` is told.
struct ScoreOptions {
  std::string pmml;
  std::string data;
  std::string out;
};

// Scores every record of a CSV file with a model that fit wrote (a PMML 3.2
// "GeneralRegressionModel", or the PMML 4.4 "MiningModel" of a split fit, whose segment is the
// first one whose split values the record has) and writes a CSV: "predicted" for a linear
// model; the predicted category (the first of the most probable) and one probability column
// per category for a logistic one. A record missing a value the model needs, or with a factor
// category or split values the model does not know, gets empty fields. Exit codes as for fit:
// 2 for an unreadable or unusable model, a missing column or unreadable data, 130 when
// cancelled; no output file then.
int RunScore(const ScoreOptions& options, std::ostream& err, MCCommon::MCQueryCancel* cancel);

}  // namespace mcfit

#endif  // MCFIT_SCORE_H_

#ifndef MCSTAT_FRONTEND_FIT_H_
#define MCSTAT_FRONTEND_FIT_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "MCCancelInfo.h"
#include "ProgressListener.h"
#include "frontend/CodedModel.h"
#include "frontend/FitResult.h"
#include "frontend/ModelRequest.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

class PartsHost;

// Receives a fit's prediction for every record of its data, in order (FitChoices).
class MCFRONTEND_EXPORT PredictionSink {
 public:
  virtual ~PredictionSink();
  // Called once before the records, with the result so far (its categories, its model).
  virtual void Begin(const FitResult& result);
  // Linear model: record `index` (0-based among the records read) with its fitted value and
  // residual (dependent - fitted); NaN where the record lacks a predictor the model needs (or,
  // for the residual, the dependent). Records the fit did not use are predicted too.
  virtual void Fitted(std::int64_t index, double fitted, double residual);
  // Logistic model: the predicted category (an index into FitResult::categories; -1 when the
  // record cannot be scored) and the probability of each category in that order (NaN then).
  // The prediction is the library's: among categories whose linear predictors are equal to
  // rounding, the reference, then the first in the library's order, wins.
  virtual void Classified(std::int64_t index, int category,
                          const std::vector<double>& probabilities);
};

// What a fit computes beside the estimates.
struct FitChoices {
  LogisticOptions logistic;  // for a logistic model
  double confLevel = 0.95;   // of the confidence intervals, 0 < level < 1
  bool collinearity = false;  // the collinearity diagnostics
  PredictionSink* predictions = nullptr;  // not owned; null: none
  // Threads the fit's passes run on, each over a range of the records (when their number is
  // known without a pass: binary files, cached or in-memory data); the numbers are those of one
  // thread. 1: one stream.
  int threads = 1;
  // Not owned; when set, the records lie elsewhere in parts and the host runs every pass over
  // them (frontend/Parts.h); the model's own records are not read. Predictions need the
  // records here.
  PartsHost* parts = nullptr;
};

// Fits the model of the coded data through the library's factory and component: linear or
// multinomial logistic as the request says, with the inference of FitResult (intervals at
// the choices' level, effect tests, overall tests and likelihoods), the classification table
// of a logistic model, and what the choices ask besides. cancel is asked before every record
// and progress hears every iteration; both may be null. InputError for a bad choice (or data
// that became unreadable), FitError for the library's error status in words, Cancelled.
MCFRONTEND_EXPORT FitResult FitModel(CodedModel& model, const FitChoices& choices,
                                     MCCommon::MCQueryCancel* cancel, ProgressListener* progress);
// The same with the logistic options and the collinearity choice alone (level 0.95, no
// predictions), as earlier callers have it.
MCFRONTEND_EXPORT FitResult FitModel(CodedModel& model, const LogisticOptions& logistic,
                                     bool collinearity, MCCommon::MCQueryCancel* cancel,
                                     ProgressListener* progress);

// The R-like text report: summary of the records, coefficient table (one per non-reference
// category for a logistic model; aliased parameters shown as such), fit statistics (for a
// logistic model with the stop reason and the classification table), the collinearity
// diagnostics when asked, and warnings.
MCFRONTEND_EXPORT void WriteReport(const FitResult& result, std::ostream& out);

// The JSON document of a fit, indented, with a final line end: model, records, total weight,
// categories, parameters, fit statistics, reference category, classification table,
// collinearity and warnings, in that order; what does not apply is null.
MCFRONTEND_EXPORT std::string JsonText(const FitResult& result);

// Writes the PMML document (version "4.4" or "3.2") of a fitted model: header, data
// dictionary of the columns read (with their categories), and a "GeneralRegressionModel"
// ("regression" or "multinomialLogistic") with its mining schema, univariate statistics of
// the records used (two passes over them), the response categories as "Targets" (logistic),
// the model's variables that are not columns as local transformations (C(x) as a categorical
// field, arithmetic in PMML's functions), parameter, factor and covariate lists, PP matrix and
// parameter matrix. Estimates are written with 17 significant digits so that scores reproduce
// the fit. The reference category of a logistic model is the one without parameter cells; 4.4
// also names it (targetReferenceCategory). InputError for another version, a response or
// covariate PMML cannot state (computed by the caller's function), or when the library's PMML
// writer refuses the data.
MCFRONTEND_EXPORT void WritePmml(const FitResult& result, CodedModel& model, std::ostream& os,
                                 const std::string& version = "4.4");

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_FIT_H_

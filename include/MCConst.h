#ifndef MCSTAT_MCCONST_H_
#define MCSTAT_MCCONST_H_

#include "mcstat_export.h"

// Enumerations shared across the library.
class MCSTAT_EXPORT MCConst {
 public:
  // Role of a record position in a regression.
  enum MCVariableType {
    kUnused = 0,
    kFrequencyWeight = 1,
    kRegressionWeight = 2,
    kFactor = 3,
    kCovariate = 4,
    kDependent = 5
  };

  enum MCRegModelType { kLinearModel = 0, kLogisticModel = 1 };

  // Model-fit statistics; an output-statistics object answers those it knows and the
  // missing value for the rest.
  enum MCModelFitStat {
    kRMSE = 0,
    kRSquare = 1,
    kCoxSnellRSquare = 2,
    kNagelkerkeRSquare = 3,
    kMcFaddenRSquare = 4
  };

  enum MCOffsetType { kNoOffset = 0, kOffsetVariable = 1, kOffsetValue = 2 };

  enum MCEstimationMethod { kNewtonRaphson = 0, kFisherScoring = 1, kMixedMethod = 2 };

  enum MCCovbType { kModelBased = 0, kRobust = 1 };

  enum MCPAdjustMethod { kNoAdjustment = 0, kBonferroni = 1, kSidak = 2, kHolm = 3 };

  enum MCTestType { kWaldTest = 0, kLikelihoodRatioTest = 1, kScoreTest = 2 };
};

#endif  // MCSTAT_MCCONST_H_

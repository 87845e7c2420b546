// Fitting helpers for the hostile-input tests of the linear model.
#ifndef MCSTAT_TESTS_HOSTILE_HOSTILESUPPORT_H_
#define MCSTAT_TESTS_HOSTILE_HOSTILESUPPORT_H_

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "IMCRegComponent.h"
#include "MCRegFactory.h"
#include "MCRegSettings.h"
#include "MCStatus.h"
#include "regression/RegTestSupport.h"

namespace hostile {

using Rows = std::vector<std::vector<double>>;

// Everything a host reads after a build.
struct Outcome {
  MCCommon::MCStatus status;
  bool built = false;
  std::vector<double> estimates;
  std::vector<bool> nonRedundant;
  double rmse = 0.0, rsquare = 0.0, df = 0.0;
};

inline Outcome Fit(MCRegSettings &settings, MCCommon::MultiPassRecordIter &data) {
  Outcome out;
  MCRegFactory factory;
  std::unique_ptr<IMCRegComponent> component(factory.CreateRegAlgorithm(settings));
  if (!component) {
    out.status = factory.GetStatus();
    return out;
  }
  out.status = component->BuildModel(data);
  out.built = component->IsModelBuilt();
  IMCRegOutputStats *stats = nullptr;
  if (out.built && component->GetOutputStats(stats).IsOK() && stats != nullptr) {
    out.estimates = stats->GetParamEstimates();
    for (const MCRegrParameterStats &p : stats->GetParamStats()) {
      out.nonRedundant.push_back(p.fNotRedundant != 0);
    }
    out.rmse = stats->GetModelFitStat(MCConst::kRMSE);
    out.rsquare = stats->GetModelFitStat(MCConst::kRSquare);
    out.df = stats->GetNDegFreedom();
  }
  return out;
}

inline Outcome Fit(MCRegSettings &settings, const Rows &rows) {
  regtest::MemoryRecords data(rows);
  return Fit(settings, data);
}

// A build that does not end in an error must present a model with numbers, never NaN.
inline void ExpectNoNaNPresented(const Outcome &out) {
  if (out.status.IsError()) return;
  ASSERT_TRUE(out.built) << "status " << out.status.GetErrorCode() << " without a model";
  ASSERT_FALSE(out.estimates.empty());
  for (std::size_t k = 0; k < out.estimates.size(); ++k) {
    EXPECT_TRUE(std::isfinite(out.estimates[k])) << "estimate " << k << " = " << out.estimates[k]
                                                 << " with status " << out.status.GetErrorCode();
  }
  EXPECT_FALSE(std::isnan(out.rmse)) << "RMSE with status " << out.status.GetErrorCode();
  EXPECT_FALSE(std::isnan(out.rsquare)) << "R squared with status " << out.status.GetErrorCode();
}

}  // namespace hostile

#endif  // MCSTAT_TESTS_HOSTILE_HOSTILESUPPORT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "../../src/regression/MCAccumStats.h"
#include "MCSparseVector.h"
#include "RegTestSupport.h"

namespace {

using regtest::MaxDiff;

// Four categories, three parameters a logit; every accepted row is also kept densely.
class AccumStatsTest : public ::testing::Test {
 protected:
  int Add(const std::vector<int>& idx, const std::vector<double>& val, int c, double w,
          bool llOnly = false) {
    const int result = fStats.UpdateForRow(idx, val, c, w, llOnly);
    if (result == 0) {
      fObs.push_back({std::vector<double>(3, 0.0), c, w});
      for (std::size_t k = 0; k < idx.size(); ++k) fObs.back().x[idx[k]] = val[k];
    }
    return result;
  }
  void AddSome() {
    ASSERT_EQ(Add({0, 1, 2}, {1.0, 0.5, -2.0}, 0, 2.0), 0);
    ASSERT_EQ(Add({0, 2}, {1.0, 3.0}, 3, 1.5), 0);  // the reference category
    ASSERT_EQ(Add({1, 2}, {9.0, 6.0}, 1, 0.25), 0);  // the least likely category the reference
    ASSERT_EQ(Add({}, {}, 2, 1.0), 0);  // all design values zero: valid
    ASSERT_EQ(Add({0, 1, 2}, {1.0, 2.0, 0.7}, 2, 3.0), 0);
  }
  std::vector<double> MinMax() const {
    std::vector<double> m(3);
    fStats.GetMinMaxProbabilities(m[0], m[1], m[2]);
    return m;
  }
  std::vector<double> Hessian() const {
    MCCommonMath::MCSymMatrix h;
    fStats.GetHessian(h);
    return h.AsVectorConst();
  }

  MCRegSettings fSettings;
  std::vector<double> fBeta{0.4, -0.3, 0.8, -1.1, 0.2, 0.5, 0.0, 0.9, -0.6};
  MCAccumStatsLogistic fStats{fSettings, 3, 4, fBeta};
  std::vector<regtest::Obs> fObs;
};

TEST_F(AccumStatsTest, SumsMatchDenseDefinitions) {
  ASSERT_TRUE(fStats.IsValid());
  fStats.Reset(MCConst::kNewtonRaphson, true);
  AddSome();
  const regtest::DenseStats dense(fObs, fBeta, 4, 3);
  EXPECT_NEAR(fStats.GetLL(), dense.ll, 1e-13);
  EXPECT_LT(MaxDiff(fStats.GetScores(), dense.score), 1e-13);
  EXPECT_LT(MaxDiff(Hessian(), dense.info), 1e-13);
  EXPECT_LT(MaxDiff(MinMax(), {dense.minObs, dense.maxObs, dense.minAny}), 1e-15);
  int valid = 0, invalid = 0;
  double weight = 0;
  fStats.GetCounts(valid, invalid, weight);
  EXPECT_EQ(valid, 5);
  EXPECT_DOUBLE_EQ(weight, 7.75);

  // Refused rows change nothing.
  const std::vector<double> scores = fStats.GetScores();
  const double ll = fStats.GetLL();
  for (double w : {0.0, -2.0}) EXPECT_EQ(Add({0}, {1.0}, 0, w), -1);
  for (int c : {4, -1}) EXPECT_EQ(Add({0}, {1.0}, c, 1.0), -1);
  EXPECT_EQ(Add({2, 1}, {1.0, 1.0}, 0, 1.0), -1);  // indices not increasing
  EXPECT_EQ(Add({1, 3}, {1.0, 1.0}, 0, 1.0), -1);  // index beyond the block
  EXPECT_EQ(Add({0, 1}, {1.0}, 0, 1.0), -1);       // lists of different lengths
  EXPECT_EQ(fStats.GetLL(), ll);
  EXPECT_EQ(scores, fStats.GetScores());
  fStats.GetCounts(valid, invalid, weight);
  EXPECT_EQ(valid, 5);
}

// Parameters 0 and 2 share column 0; a row of zeros is the empty row; one row is added row by
// row inside, six by the pattern's column sums.
TEST_F(AccumStatsTest, PatternRowsAddWhatTheirRowsAdd) {
  const double x[6][2] = {{0.5, -1.2}, {0.0, 0.7}, {0.0, 0.0}, {2.0, 0.3}, {-0.4, 1.1}, {1.5, -2}};
  for (int nRows : {1, 6}) {
    MCAccumStatsLogistic byPattern(fSettings, 3, 4, fBeta);
    byPattern.Reset(MCConst::kNewtonRaphson, true);
    fStats.Reset(MCConst::kNewtonRaphson, true);
    ASSERT_TRUE(byPattern.BeginPattern({0, 1, 2}, {0, 1, 0}, 2, nRows));
    for (int r = 0; r < nRows; ++r) {
      ASSERT_EQ(byPattern.UpdateForPatternRow(x[r], r % 4, 0.5 + r, false), 0);
      const bool zero = x[r][0] == 0.0;
      ASSERT_EQ(fStats.UpdateForRow(zero ? std::vector<int>{1} : std::vector<int>{0, 1, 2},
                                    zero ? std::vector<double>{x[r][1]}
                                         : std::vector<double>{x[r][0], x[r][1], x[r][0]},
                                    r % 4, 0.5 + r, false),
                0);
    }
    byPattern.EndPattern();
    MCCommonMath::MCSymMatrix h;
    byPattern.GetHessian(h);
    EXPECT_EQ(byPattern.GetLL(), fStats.GetLL());
    EXPECT_LT(MaxDiff(byPattern.GetScores(), fStats.GetScores()), 1e-15);
    EXPECT_LT(MaxDiff(h.AsVectorConst(), Hessian()), 1e-15);
  }
  EXPECT_FALSE(fStats.BeginPattern({1, 0}, {0, 0}, 1, 9));  // indices not increasing
}

TEST_F(AccumStatsTest, LogLikelihoodOnlyAndNoSeparationCheckLeaveTheRestAlone) {
  fStats.Reset(MCConst::kNewtonRaphson, false);
  AddSome();
  fStats.Reset(MCConst::kNewtonRaphson, false);
  fObs.clear();
  ASSERT_EQ(Add({0, 1}, {1.0, 2.0}, 1, 1.0, true), 0);
  EXPECT_NEAR(fStats.GetLL(), regtest::DenseStats(fObs, fBeta, 4, 3).ll, 1e-14);
  EXPECT_EQ(MaxDiff(fStats.GetScores(), std::vector<double>(9, 0.0)), 0.0);
  EXPECT_EQ(MaxDiff(Hessian(), std::vector<double>(45, 0.0)), 0.0);
  const double big = std::numeric_limits<double>::max();
  EXPECT_EQ(MinMax(), (std::vector<double>{big, -big, big}));
}

TEST_F(AccumStatsTest, HugePredictorsKeepTheSumsFinite) {
  std::fill(fBeta.begin(), fBeta.end(), 0.0);
  fBeta[0] = 800.0;  // eta_0 = 800, far beyond exp's range
  fStats.Reset(MCConst::kNewtonRaphson, true);
  ASSERT_EQ(Add({0}, {1.0}, 0, 1.0), 0);
  ASSERT_EQ(Add({0}, {1.0}, 1, 1.0), 0);
  EXPECT_NEAR(fStats.GetLL(), -800.0, 1e-9);  // log pi_0 = 0, log pi_1 = -800
  for (double s : fStats.GetScores()) EXPECT_TRUE(std::isfinite(s));
  EXPECT_EQ(MinMax()[1], 1.0);
  EXPECT_EQ(MinMax()[2], 0.0);
}

// With the predictors as the parameters (p = 1, x = 1), to the bit.
TEST(AccumStatsLogisticTest, ProbabilitiesAgreeWithTheSparseVector) {
  MCRegSettings settings;
  const std::vector<std::vector<double>> predictors = {
      {708.9, 708.9, 708.9}, {708.3, 708.3, 708.3}, {709.0, 709.0, 709.0}, {710.0, 710.0, 710.0},
      {1e-3, 1e-3, 1e-3},    {0.0, 0.0, 0.0},       {-3.0, -3.0, -3.0},    {-708.5, -708.5, -708.5},
      {708.9, 708.9, 0.5},   {-800.0, 2.0, 1.5},    {30.0, -30.0, 0.0}};
  const std::vector<int> idx{0};
  const std::vector<double> one{1.0};
  for (const std::vector<double>& eta : predictors) {
    std::vector<double> pi;
    double logRef = 0.0;
    ASSERT_TRUE(MCCommonMath::MCSparseVector(idx, one).ComputeProbabilities(eta, 4, 1, pi, logRef));
    MCAccumStatsLogistic stats(settings, 1, 4, eta);
    for (int c = 0; c < 4; ++c) {
      stats.Reset(MCConst::kNewtonRaphson, false);
      ASSERT_EQ(stats.UpdateForRow(idx, one, c, 1.0, false), 0) << eta[0] << " " << c;
      EXPECT_EQ(stats.GetLL(), c < 3 ? logRef + eta[static_cast<std::size_t>(c)] : logRef)
          << eta[0] << " " << c;
      if (c == 0 && eta == predictors[0]) {
        EXPECT_NEAR(stats.GetLL(), -std::log(3.0), 2e-13);
      }
    }
  }
}

TEST(AccumStatsLogisticTest, ShapesWithoutParametersAndInvalidShapes) {
  MCRegSettings settings;
  const std::vector<double> four(4, 0.0);
  MCAccumStatsLogistic none(settings, 0, 3, four);
  ASSERT_TRUE(none.IsValid());
  none.Reset(MCConst::kNewtonRaphson, false);
  ASSERT_EQ(none.UpdateForRow({}, {}, 0, 2.0, false), 0);
  ASSERT_EQ(none.UpdateForRow({}, {}, 2, 1.0, false), 0);
  EXPECT_NEAR(none.GetLL(), 3.0 * std::log(1.0 / 3.0), 1e-15);
  EXPECT_TRUE(none.GetScores().empty());
  MCAccumStatsLogistic oneCategory(settings, 2, 1, four);
  EXPECT_FALSE(oneCategory.IsValid());
  EXPECT_EQ(oneCategory.UpdateForRow({0}, {1.0}, 0, 1.0, false), -1);
  EXPECT_FALSE(MCAccumStatsLogistic(settings, -1, 3, four).IsValid());
  EXPECT_FALSE(MCAccumStatsLogistic(settings, 3, 3, four).IsValid());  // 6 values needed
  EXPECT_TRUE(MCAccumStatsLogistic(settings, 2, 3, four).IsValid());
}

}  // namespace

namespace {

namespace dd = MCCommonMath::ddkernels;

// The change matches the second-order expansion g'd - d'Id/2 down to steps of 1e-12, where two
// direct log-likelihoods differ by noise alone.
TEST(AccumStatsChangeTest, LogLikelihoodChangeKeepsItsDigits) {
  MCRegSettings settings;
  const std::vector<double> beta0{0.4, -0.3, 0.8, -1.1, 0.2, 0.5, 0.0, 0.9, -0.6};
  std::vector<double> beta = beta0;
  MCAccumStatsLogistic stats(settings, 3, 4, beta);
  const std::vector<double> u = regtest::Uniforms(4 * 400, 3);
  const auto pass = [&](bool llOnly) {
    stats.Reset(MCConst::kNewtonRaphson, false);
    for (std::size_t r = 0; r + 4 <= u.size(); r += 4) {
      const std::vector<double> x{1.0, 4 * u[r] - 2, 2 * u[r + 1]};
      ASSERT_EQ(stats.UpdateForRow({0, 1, 2}, x, static_cast<int>(4 * u[r + 2]), 1 + 3 * u[r + 3],
                                   llOnly),
                0);
    }
  };
  pass(false);
  const dd::DD ll0 = stats.GetLLExtended();
  std::vector<dd::DD> g, info;
  stats.GetScoresExtended(g);
  stats.GetHessianExtended(info);
  const std::vector<double> direction{0.3, -0.7, 0.2, 0.5, 0.1, -0.4, 0.9, -0.2, 0.6};
  stats.SetLLBase(&beta0, ll0);
  for (double step : {1e-2, 1e-5, 1e-8, 1e-12}) {
    for (std::size_t t = 0; t < beta.size(); ++t) beta[t] = beta0[t] + step * direction[t];
    std::vector<double> d(beta.size());
    for (std::size_t t = 0; t < beta.size(); ++t) d[t] = beta[t] - beta0[t];
    dd::DD expected;  // g'd - d'Id / 2
    for (std::size_t i = 0; i < d.size(); ++i) {
      expected = dd::Add(expected, dd::Mul(g[i], d[i]));
      for (std::size_t j = 0; j < d.size(); ++j) {
        const dd::DD& a =
            i >= j ? info[dd::PackedRowStart(i) + j] : info[dd::PackedRowStart(j) + i];
        expected = dd::Sub(expected, dd::Mul(dd::Mul(a, d[i]), 0.5 * d[j]));
      }
    }
    pass(true);
    const double change = dd::ToDouble(dd::Sub(stats.GetLLExtended(), ll0));
    const double e = dd::ToDouble(expected);
    EXPECT_NEAR(change, e, std::max(0.1 * step * step, 1e-13) * std::fabs(e)) << step;
    EXPECT_EQ(stats.GetLL(), dd::ToDouble(stats.GetLLExtended()));
    // A full pass adds the same changes besides its own direct terms.
    const dd::DD byChanges = stats.GetLLExtended();
    pass(false);
    dd::DD fromFull;
    ASSERT_TRUE(stats.GetLLByChange(fromFull));
    EXPECT_EQ(fromFull.hi, byChanges.hi);
    EXPECT_EQ(fromFull.lo, byChanges.lo);
    EXPECT_NEAR(stats.GetLL(), dd::ToDouble(byChanges), 1e-9);  // direct: rounding only
  }
  // Without a base the pass is direct again.
  stats.SetLLBase(nullptr, dd::DD{});
  beta = beta0;
  pass(true);
  EXPECT_EQ(stats.GetLL(), dd::ToDouble(ll0));
}

}  // namespace

// The linear model fed hostile numbers: special doubles in every record role, category codes
// that are no codes, degenerate factor sizes, too many parameters, and numerically hopeless
// data. A build either ends in an error status or presents finite estimates; it never
// crashes.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "HostileSupport.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegSettings.h"

namespace {

using hostile::ExpectNoNaNPresented;
using hostile::Fit;
using hostile::Outcome;
using hostile::Rows;

// Record layout: y at 0, factor A at 1, covariate x at 2, frequency weight at 3, regression
// weight at 4.
constexpr int kY = 0, kA = 1, kX = 2, kF = 3, kR = 4;
constexpr int kASize = 3;
constexpr int kHostileRow = 5;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kDenormal = std::numeric_limits<double>::denorm_min();

// y ~ A + x with the intercept, both weights in use.
struct Model {
  Model() {
    settings.SetDependent(kY);
    settings.AddFactor(kA, kASize);
    settings.AddCovariate(kX);
    settings.SetFrequencyWeightVar(kF);
    settings.SetRegrWeightVar(kR);
    indices = {kA, kX};
    MCModelEffect a(1, 1, &indices);
    a.AddNewFactor(kA, false);
    settings.AddModelEffect(a);
    MCModelEffect x(1, 1, &indices);
    x.AddCovariate(kX);
    settings.AddModelEffect(x);
  }
  std::vector<int> indices;
  MCRegSettings settings;
};

// 24 well-behaved records with a little deterministic noise.
Rows BaseRows() {
  Rows rows;
  for (int i = 0; i < 24; ++i) {
    const double a = i % kASize;
    const double x = 0.5 * i + (i % 4 == 1 ? 0.3 : 0.0);
    const double noise = ((i * 7) % 5 - 2) * 0.01;
    const double y = 1.0 + 2.0 * x + (a == 1 ? 0.5 : a == 2 ? -1.0 : 0.0) + noise;
    rows.push_back({y, a, x, 1.0 + i % 2, 1.0});
  }
  return rows;
}

void ExpectSameFit(const Outcome& a, const Outcome& b) {
  ASSERT_EQ(a.estimates.size(), b.estimates.size());
  for (std::size_t k = 0; k < a.estimates.size(); ++k) {
    EXPECT_NEAR(a.estimates[k], b.estimates[k], 1e-9) << "estimate " << k;
  }
  EXPECT_NEAR(a.rmse, b.rmse, 1e-12);
  EXPECT_NEAR(a.rsquare, b.rsquare, 1e-12);
}

// What a special value in one role must lead to.
enum class Expect {
  kSkipped,   // the record is left out: the fit equals the fit without it
  kError316,  // the build ends with 316 naming the position and the value
  kLikeZero,  // -0.0 behaves as 0.0
  kError313,  // a NaN or an infinity reaching the cross products: the record cannot be added
  kNoNaN      // any status, but no NaN presented as a result
};

struct Case {
  const char* name;
  int role;
  double value;
  Expect expect;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

class SpecialValueTest : public testing::TestWithParam<Case> {};

TEST_P(SpecialValueTest, NeverCrashesNorPresentsNaN) {
  const Case& c = GetParam();
  Model model;
  Rows rows = BaseRows();
  rows[kHostileRow][static_cast<std::size_t>(c.role)] = c.value;
  const Outcome out = Fit(model.settings, rows);
  ExpectNoNaNPresented(out);

  switch (c.expect) {
    case Expect::kSkipped: {
      Rows without = BaseRows();
      without.erase(without.begin() + kHostileRow);
      Model reference;
      const Outcome expected = Fit(reference.settings, without);
      ASSERT_TRUE(out.status.IsOK()) << out.status.GetErrorCode();
      ExpectSameFit(out, expected);
      break;
    }
    case Expect::kError316:
      EXPECT_TRUE(out.status.IsError());
      EXPECT_EQ(out.status.GetErrorCode(), 316);
      EXPECT_EQ(out.status.GetDiscreteDatum(1), c.role);
      EXPECT_FALSE(out.built);
      break;
    case Expect::kLikeZero: {
      Rows zero = BaseRows();
      zero[kHostileRow][static_cast<std::size_t>(c.role)] = 0.0;
      Model reference;
      const Outcome expected = Fit(reference.settings, zero);
      EXPECT_EQ(out.status, expected.status);
      if (expected.built) ExpectSameFit(out, expected);
      break;
    }
    case Expect::kError313:
      EXPECT_TRUE(out.status.IsError());
      EXPECT_EQ(out.status.GetErrorCode(), 313);
      EXPECT_FALSE(out.built);
      break;
    case Expect::kNoNaN:
      break;  // checked above for every case
  }
}

const double kMissing = -1.7976931348623157e308;

INSTANTIATE_TEST_SUITE_P(
    EveryRole, SpecialValueTest,
    testing::Values(
        // The dependent.
        Case{"y_missing", kY, kMissing, Expect::kSkipped},
        Case{"y_nan", kY, kNaN, Expect::kError313}, Case{"y_inf", kY, kInf, Expect::kError313},
        Case{"y_neg_inf", kY, -kInf, Expect::kError313},
        Case{"y_neg_zero", kY, -0.0, Expect::kLikeZero}, Case{"y_1e308", kY, 1e308, Expect::kNoNaN},
        Case{"y_denormal", kY, kDenormal, Expect::kNoNaN},
        // The covariate.
        Case{"x_missing", kX, kMissing, Expect::kSkipped},
        Case{"x_nan", kX, kNaN, Expect::kError313}, Case{"x_inf", kX, kInf, Expect::kError313},
        Case{"x_neg_inf", kX, -kInf, Expect::kError313},
        Case{"x_neg_zero", kX, -0.0, Expect::kLikeZero}, Case{"x_1e308", kX, 1e308, Expect::kNoNaN},
        Case{"x_denormal", kX, kDenormal, Expect::kNoNaN},
        // The factor: below -0.5 is skipped, anything not a whole code in range is 316.
        Case{"a_missing", kA, kMissing, Expect::kSkipped},
        Case{"a_neg_inf", kA, -kInf, Expect::kSkipped}, Case{"a_nan", kA, kNaN, Expect::kError316},
        Case{"a_inf", kA, kInf, Expect::kError316}, Case{"a_neg_zero", kA, -0.0, Expect::kLikeZero},
        Case{"a_1e308", kA, 1e308, Expect::kError316},
        Case{"a_denormal", kA, kDenormal, Expect::kError316},
        // The weights: only a positive weight keeps the record.
        Case{"f_missing", kF, kMissing, Expect::kSkipped},
        Case{"f_nan", kF, kNaN, Expect::kSkipped}, Case{"f_inf", kF, kInf, Expect::kError313},
        Case{"f_neg_inf", kF, -kInf, Expect::kSkipped},
        Case{"f_neg_zero", kF, -0.0, Expect::kSkipped}, Case{"f_1e308", kF, 1e308, Expect::kNoNaN},
        Case{"f_denormal", kF, kDenormal, Expect::kNoNaN},
        Case{"r_missing", kR, kMissing, Expect::kSkipped},
        Case{"r_nan", kR, kNaN, Expect::kSkipped}, Case{"r_inf", kR, kInf, Expect::kError313},
        Case{"r_neg_inf", kR, -kInf, Expect::kSkipped},
        Case{"r_neg_zero", kR, -0.0, Expect::kSkipped}, Case{"r_1e308", kR, 1e308, Expect::kNoNaN},
        Case{"r_denormal", kR, kDenormal, Expect::kNoNaN}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Category codes that are no codes: huge, negative, fractional, and the size itself.
class CategoryCodeTest : public testing::TestWithParam<double> {};

TEST_P(CategoryCodeTest, BadCodeIsRefusedOrSkipped) {
  const double code = GetParam();
  Model model;
  Rows rows = BaseRows();
  rows[kHostileRow][kA] = code;
  const Outcome out = Fit(model.settings, rows);
  ExpectNoNaNPresented(out);
  if (code < -0.5) {
    EXPECT_TRUE(out.status.IsOK()) << "a code below -0.5 skips the record";
  } else if (code == kASize) {
    // Passes the validator but is not counted: neither an error nor a parameter.
    EXPECT_TRUE(out.status.IsOK());
    EXPECT_EQ(out.estimates.size(), 1u + kASize + 1u);
  } else {
    EXPECT_EQ(out.status.GetErrorCode(), 316);
    EXPECT_TRUE(out.status.IsError());
    EXPECT_EQ(out.status.GetScaleDatum(1), code);
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, CategoryCodeTest,
                         testing::Values(1e9, 3e9, 1e300, 2147483648.0, -1.0, -2147483649.0, -0.3,
                                         0.5, 2.5, 1.0000000001, kASize));

// Factor sizes 0, 1 and 100,000.
TEST(FactorSizeTest, SizeZeroIsRefusedBySettings) {
  MCRegSettings settings;
  EXPECT_EQ(settings.AddFactor(kA, 0), -1);
  EXPECT_EQ(settings.AddFactor(kA, -5), -1);
  EXPECT_TRUE(settings.GetFactors().empty());
}

TEST(FactorSizeTest, SizeOneKeepsCodesZeroAndOneOnly) {
  MCRegSettings settings;
  settings.SetDependent(kY);
  settings.AddFactor(kA, 1);
  std::vector<int> indices = {kA};
  MCModelEffect a(1, 0, &indices);
  a.AddNewFactor(kA, false);
  settings.AddModelEffect(a);
  // Code 0 forms the only counted category; code 1 (the size) passes but is not counted.
  const Outcome out = Fit(settings, {{1.0, 0.0}, {3.0, 0.0}, {7.0, 1.0}});
  ASSERT_TRUE(out.status.IsOK()) << out.status.GetErrorCode();
  ExpectNoNaNPresented(out);
  ASSERT_EQ(out.estimates.size(), 2u);  // intercept and A=0, which is aliased with it
  EXPECT_EQ(out.nonRedundant, (std::vector<bool>{true, false}));
  EXPECT_DOUBLE_EQ(out.estimates[0], 2.0);
  // Code 2 is beyond the limit: 316.
  EXPECT_EQ(Fit(settings, {{1.0, 0.0}, {3.0, 2.0}}).status.GetErrorCode(), 316);
}

TEST(FactorSizeTest, HundredThousandCategoriesMakeParametersOnlyForCodesSeen) {
  MCRegSettings settings;
  settings.SetDependent(kY);
  settings.AddFactor(kA, 100000);
  std::vector<int> indices = {kA};
  MCModelEffect a(1, 0, &indices);
  a.AddNewFactor(kA, false);
  settings.AddModelEffect(a);
  Rows rows;
  for (int i = 0; i < 40; ++i) rows.push_back({static_cast<double>(i % 4), 99990.0 + i % 4});
  const Outcome out = Fit(settings, rows);
  ASSERT_TRUE(out.status.IsOK()) << out.status.GetErrorCode();
  ExpectNoNaNPresented(out);
  ASSERT_EQ(out.estimates.size(), 5u);
  EXPECT_NEAR(out.rmse, 0.0, 1e-12);
}

// More than 23169 parameters: 305 with the count and the limit, before any matrix exists.
TEST(ParameterLimitTest, MoreThan23169ParametersIs305) {
  MCRegSettings settings;
  settings.SetDependent(kY);
  settings.AddFactor(kA, 30000);
  std::vector<int> indices = {kA};
  MCModelEffect a(1, 0, &indices);
  a.AddNewFactor(kA, false);
  settings.AddModelEffect(a);
  Rows rows;
  for (int i = 0; i < 23169; ++i) rows.push_back({1.0, static_cast<double>(i)});
  // 23169 codes and the intercept: 23170 parameters.
  const Outcome out = Fit(settings, rows);
  EXPECT_EQ(out.status.GetErrorCode(), 305);
  EXPECT_TRUE(out.status.IsError());
  EXPECT_EQ(out.status.GetDiscreteDatum(0), 23170);
  EXPECT_EQ(out.status.GetDiscreteDatum(1), 23169);
  EXPECT_FALSE(out.built);
}

// Numerical hostility.
struct Simple {
  // y ~ x1 + x2 with the intercept, covariates at 1 and 2, frequency weight at 3.
  Simple() {
    settings.SetDependent(0);
    settings.AddCovariate(1);
    settings.AddCovariate(2);
    indices = {1, 2};
    for (int position : {1, 2}) {
      MCModelEffect x(0, 2, &indices);
      x.AddCovariate(position);
      settings.AddModelEffect(x);
    }
  }
  std::vector<int> indices;
  MCRegSettings settings;
};

TEST(NumericalTest, ConstantCovariateIsRedundant) {
  Simple m;
  Rows rows;
  for (int i = 0; i < 10; ++i) rows.push_back({1.0 + 2.0 * i, static_cast<double>(i), 4.0});
  const Outcome out = Fit(m.settings, rows);
  ASSERT_TRUE(out.status.IsOK());
  ExpectNoNaNPresented(out);
  EXPECT_EQ(out.nonRedundant, (std::vector<bool>{true, true, false}));
  EXPECT_NEAR(out.estimates[0], 1.0, 1e-10);
  EXPECT_NEAR(out.estimates[1], 2.0, 1e-10);
  EXPECT_EQ(out.estimates[2], 0.0);
}

TEST(NumericalTest, DependentWithoutVarianceFitsExactly) {
  Simple m;
  Rows rows;
  for (int i = 0; i < 10; ++i) rows.push_back({5.0, static_cast<double>(i), (i * 3) % 7 * 1.0});
  const Outcome out = Fit(m.settings, rows);
  ASSERT_TRUE(out.status.IsOK());
  ExpectNoNaNPresented(out);
  EXPECT_NEAR(out.estimates[0], 5.0, 1e-10);
  EXPECT_NEAR(out.estimates[1], 0.0, 1e-10);
  EXPECT_NEAR(out.estimates[2], 0.0, 1e-10);
  EXPECT_NEAR(out.rmse, 0.0, 1e-10);
}

TEST(NumericalTest, PerfectlyCollinearColumnIsRedundant) {
  Simple m;
  Rows rows;
  for (int i = 0; i < 10; ++i) {
    const double x = 0.25 * i * i - i;
    rows.push_back({3.0 - x, x, -2.0 * x + 1.0});
  }
  const Outcome out = Fit(m.settings, rows);
  ASSERT_TRUE(out.status.IsOK());
  ExpectNoNaNPresented(out);
  EXPECT_EQ(out.nonRedundant, (std::vector<bool>{true, true, false}));
  EXPECT_NEAR(out.estimates[1], -1.0, 1e-10);
  EXPECT_NEAR(out.rsquare, 1.0, 1e-12);
}

TEST(NumericalTest, AllWeightsZeroLeaveNoValidRecord) {
  Simple m;
  m.settings.SetFrequencyWeightVar(3);
  Rows rows;
  for (int i = 0; i < 5; ++i) rows.push_back({1.0 * i, 2.0 * i, 1.0, 0.0});
  const Outcome out = Fit(m.settings, rows);
  EXPECT_EQ(out.status.GetErrorCode(), 307);
  EXPECT_TRUE(out.status.IsError());
  EXPECT_FALSE(out.built);
}

TEST(NumericalTest, SingleRecordFitsTheInterceptOnly) {
  Simple m;
  const Outcome out = Fit(m.settings, {{7.5, 2.0, 3.0}});
  ASSERT_FALSE(out.status.IsError()) << out.status.GetErrorCode();
  ExpectNoNaNPresented(out);
  ASSERT_EQ(out.estimates.size(), 3u);
  EXPECT_EQ(out.nonRedundant, (std::vector<bool>{true, false, false}));
  EXPECT_DOUBLE_EQ(out.estimates[0], 7.5);
  EXPECT_DOUBLE_EQ(out.rmse, 0.0);
  EXPECT_DOUBLE_EQ(out.df, 1.0 - 3.0);
}

// Data scaled by s: y = s * (2 + 3 x1 - x2). Tiny data underflow in the cross products and
// huge data overflow; neither may be presented as NaN.
class ScaledDataTest : public testing::TestWithParam<double> {};

TEST_P(ScaledDataTest, ExtremeScaleGivesAStatusOrNumbers) {
  const double s = GetParam();
  Simple m;
  Rows rows;
  for (int i = 0; i < 12; ++i) {
    const double x1 = i, x2 = (i * 5) % 7;
    rows.push_back({s * (2.0 + 3.0 * x1 - x2), s * x1, s * x2});
  }
  const Outcome out = Fit(m.settings, rows);
  ExpectNoNaNPresented(out);
  if (!out.status.IsError() && s >= 1e-3 && s <= 1e3) {
    EXPECT_NEAR(out.estimates[1], 3.0, 1e-9);
    EXPECT_NEAR(out.estimates[2], -1.0, 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledDataTest,
                         testing::Values(1.0, 1e-300, 1e300, 1e-160, 1e160));

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "MCMV.h"
#include "MCStatus.h"

using MCCommon::MCStatus;

TEST(MCStatusTest, SeverityAloneDecidesTheKind) {
  const MCStatus ok;
  EXPECT_TRUE(ok.IsOK() && !ok.IsError() && !ok.IsWarning());
  EXPECT_EQ(ok.GetErrorCode(), 0);

  const MCStatus error(301, false);
  EXPECT_TRUE(error.IsError() && !error.IsWarning() && !error.IsOK());
  EXPECT_EQ(error.GetErrorCode(), 301);

  const MCStatus warning(120, true);
  EXPECT_TRUE(warning.IsWarning() && !warning.IsError() && !warning.IsOK());
  EXPECT_EQ(warning.GetErrorCode(), 120);

  EXPECT_TRUE(MCStatus(0, false).IsError());
  EXPECT_TRUE(MCStatus(0, true).IsWarning());
}

TEST(MCStatusTest, EqualityComparesEveryField) {
  MCStatus base(316, false);
  base.SetDiscreteDatum(2, -7);
  base.SetScaleDatum(1, 2.5);
  EXPECT_EQ(base.GetDiscreteDatum(2), -7);
  EXPECT_EQ(base.GetDiscreteDatum(1), 0);
  EXPECT_EQ(base.GetScaleDatum(1), 2.5);
  EXPECT_EQ(base.GetScaleDatum(0), 0.0);
  const MCStatus copy = base;
  EXPECT_EQ(copy, base);

  EXPECT_NE(base, MCStatus(316, false));
  EXPECT_NE(MCStatus(312, false), MCStatus(313, false));
  EXPECT_NE(MCStatus(312, false), MCStatus(312, true));
  EXPECT_NE(MCStatus(), MCStatus(0, true));
  for (unsigned i = 0; i < 3; ++i) {
    MCStatus discrete = copy;
    discrete.SetDiscreteDatum(i, 1);
    EXPECT_NE(base, discrete) << "discrete datum " << i;
    MCStatus scale = copy;
    scale.SetScaleDatum(i, 1e-300);
    EXPECT_FALSE(base == scale) << "scale datum " << i;
  }
}

TEST(MCMVTest, MissingIsMinusTheLargestDouble) {
  const double m = MCMV::Missing();
  uint64_t bits = 0;
  std::memcpy(&bits, &m, sizeof bits);
  EXPECT_EQ(bits, 0xFFEFFFFFFFFFFFFFull);
  EXPECT_EQ(m, -1.7976931348623157e+308);
  EXPECT_TRUE(MCMV::IsMissing(m));
}

class MCMVNotMissingTest : public testing::TestWithParam<double> {};

TEST_P(MCMVNotMissingTest, IsNotMissing) { EXPECT_FALSE(MCMV::IsMissing(GetParam())); }

INSTANTIATE_TEST_SUITE_P(
    Values, MCMVNotMissingTest,
    testing::Values(-1.7976931348623155e+308,  // the next double above the missing value
                    0.0, std::numeric_limits<double>::quiet_NaN(),
                    -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max()));

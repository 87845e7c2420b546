#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "MCMV.h"
#include "MCStatus.h"

using MCCommon::MCStatus;

TEST(MCStatusTest, SeverityAloneDecidesTheKind) {
  EXPECT_TRUE(MCStatus().IsOK() && !MCStatus().IsError() && !MCStatus().IsWarning());
  const MCStatus error(301, false), warning(120, true);
  EXPECT_TRUE(error.IsError() && !error.IsWarning() && !error.IsOK());
  EXPECT_TRUE(warning.IsWarning() && !warning.IsError() && !warning.IsOK());
  EXPECT_TRUE(MCStatus(0, false).IsError());
  EXPECT_TRUE(MCStatus(0, true).IsWarning());
}

TEST(MCStatusTest, EqualityComparesEveryField) {
  MCStatus base(316, false);
  base.SetDiscreteDatum(2, -7);
  base.SetScaleDatum(1, 2.5);
  EXPECT_EQ(base.GetDiscreteDatum(1), 0);
  EXPECT_EQ(MCStatus(base), base);
  EXPECT_NE(base, MCStatus(316, false));
  EXPECT_NE(MCStatus(312, false), MCStatus(313, false));
  EXPECT_NE(MCStatus(312, false), MCStatus(312, true));
  for (unsigned i = 0; i < 3; ++i) {
    MCStatus discrete = base, scale = base;
    discrete.SetDiscreteDatum(i, 1);
    scale.SetScaleDatum(i, 1e-300);
    EXPECT_NE(base, discrete) << "discrete datum " << i;
    EXPECT_FALSE(base == scale) << "scale datum " << i;
  }
}

TEST(MCMVTest, MissingIsExactlyMinusTheLargestDouble) {
  const double m = MCMV::Missing();
  uint64_t bits = 0;
  std::memcpy(&bits, &m, sizeof bits);
  EXPECT_EQ(bits, 0xFFEFFFFFFFFFFFFFull);
  EXPECT_TRUE(MCMV::IsMissing(m));
  for (double v : {-1.7976931348623155e+308, 0.0, std::numeric_limits<double>::quiet_NaN(),
                   -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max()}) {
    EXPECT_FALSE(MCMV::IsMissing(v)) << v;
  }
}

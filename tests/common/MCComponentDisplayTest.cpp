#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <regex>
#include <sstream>

#include "MCComponentDisplay.h"
#include "MCMV.h"

using D = MCCommon::MCComponentDisplay;

namespace {

const double kMiss = MCMV::Missing();

struct DisplayCase {
  std::function<void()> show;
  const char* text;
};
void PrintTo(const DisplayCase& c, std::ostream* os) { *os << c.text; }

// Each display function writes to the stream that was set, and prints missing values as "miss".
class MCComponentDisplayTest : public testing::TestWithParam<DisplayCase> {
 protected:
  void SetUp() override { D::SetOutStream(fOut); }
  void TearDown() override { D::SetOutStream(std::cout); }
  std::ostringstream fOut;
};

TEST_P(MCComponentDisplayTest, Writes) {
  EXPECT_EQ(&D::GetOutStream(), &fOut);
  GetParam().show();
  EXPECT_EQ(fOut.str(), GetParam().text);
}

const double kA[3] = {1, 2, 3};

// One row per layout rule: missing as "miss", ten values a line, full precision, maps sorted.
INSTANTIATE_TEST_SUITE_P(
    Functions, MCComponentDisplayTest,
    testing::Values(
        DisplayCase{[] { D::DisplayB("b", false), D::DisplayI("i", -42), D::DisplayD("m", kMiss); },
                    "\nb = false\ni = -42\nm = miss"},
        DisplayCase{[] {
                      D::DisplayDV("v", {0.5, 1, 1.5, kMiss, 2.5, 3, 3.5, 4, 4.5, 5, 5.5}, false);
                    },
                    "\nv (size = 11)\n  0.5 1 1.5 miss 2.5 3 3.5 4 4.5 5\n  5.5"},
        DisplayCase{[] { D::DisplayDA("a", kA, 2, false), D::DisplayDA("n", nullptr, 4, false); },
                    "\na (size = 2)\n  1 2\nn (size = 0)"},
        DisplayCase{[] {
                      D::DisplayDV("v", {0.1, kMiss}, true);
                    },
                    "\nv (size = 2)\n  = 0.10000000000000001\n miss"},
        DisplayCase{[] {
                      D::DisplayIIM("m", {{3, 30}, {1, 10}});
                    },
                    "\nm (map size = 2)\n  (1,10) (3,30)"}));

TEST(MCComponentDisplayStampTest, TimeStamp) {
  std::ostringstream out;
  D::SetOutStream(out);
  D::DisplayTimeStamp("Now");
  D::SetOutStream(std::cout);
  EXPECT_TRUE(
      std::regex_match(out.str(), std::regex("\nNow: \\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d")));
}

}  // namespace

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

INSTANTIATE_TEST_SUITE_P(
    Functions, MCComponentDisplayTest,
    testing::Values(
        DisplayCase{[] { D::DisplayText(2L, "ab"), D::DisplayText(-3L, std::string("e")); },
                    "\n\nabe"},
        DisplayCase{[] { D::DisplayB("b", false), D::DisplayI("i", -42), D::DisplayD("m", kMiss); },
                    "\nb = false\ni = -42\nm = miss"},
        DisplayCase{[] { D::DisplayDF("f", 0.1); }, "\nf = 0.10000000000000001"},
        DisplayCase{[] {
                      D::DisplayDV("v", {0.5, 1, 1.5, kMiss, 2.5, 3, 3.5, 4, 4.5, 5, 5.5}, false);
                    },
                    "\nv (size = 11)\n  0.5 1 1.5 miss 2.5 3 3.5 4 4.5 5\n  5.5"},
        DisplayCase{
            [] { D::DisplayIV("i", std::vector<int>(10, 7)); },  // no empty line after a full one
            "\ni (size = 10)\n  7 7 7 7 7 7 7 7 7 7"},
        DisplayCase{[] {
                      D::DisplayDV("v", {0.1, kMiss}, true);
                    },
                    "\nv (size = 2)\n  = 0.10000000000000001\n miss"},
        DisplayCase{[] { D::DisplayDA("a", kA, 2, false), D::DisplayDA("n", nullptr, 4, false); },
                    "\na (size = 2)\n  1 2\nn (size = 0)"},
        DisplayCase{[] {
                      D::DisplayUV("u", {4000000000u}), D::DisplayBV("b", {true, false});
                    },
                    "\nu (size = 1)\n  4000000000\nb (size = 2)\n  t f"},
        DisplayCase{[] {
                      D::DisplaySV("s", {"x", "y z"});
                    },
                    "\ns (size = 2)\n  \"x\" \"y z\""},
        DisplayCase{[] {
                      D::DisplayVPII("p", {{1, 2}}), D::DisplayVPD("d", {{0.5, kMiss}});
                    },
                    "\np (size = 1)\n (1,2) \nd (size = 1)\n (0.5,miss) "},
        DisplayCase{[] {
                      D::DisplayVPDI("m", {{1.5, 7}});
                    },
                    "\nm (size = 1)\n (1.5,7) "},
        DisplayCase{[] {
                      D::DisplayDVV("d", {{1, 2}, {}}), D::DisplaySVV("s", {{"b", "c"}});
                    },
                    "\nd (size = 2)\n  1 2\n <none>\ns (size = 1)\n  \"b\" \"c\""},
        DisplayCase{[] {
                      D::DisplayBVV("b", {{true, false}, {false, true}});
                    },
                    "\nb ( number of rows = 2, number of columns = 2 )\n  t f\n  f t"},
        DisplayCase{[] {
                      D::DisplayDVTR("t", {{1}, {2, 0.25}});
                    },
                    "\nt\nnumber of rows = 2\nrow 0: 1\nrow 1: 2, 0.25"},
        DisplayCase{[] {
                      D::DisplayIIM("m", {{3, 30}, {1, 10}});
                    },
                    "\nm (map size = 2)\n  (1,10) (3,30)"},
        DisplayCase{[] {
                      D::DisplayVIM("v", {{{2, 5}}, {}});
                    },
                    "\nv (size = 2)\n (map size = 1)\n  (2,5)\n (map size = 0)"},
        DisplayCase{[] {
                      D::DisplayIntVecDVecMap("k", {{{1, 2}, {0.5, kMiss}}});
                    },
                    "\nk (size = 1)\n Map key: 1 2\n Map value: 0.5 miss"},
        DisplayCase{[] {
                      D::DisplayIntVecIntMap("c", {{{4}, 9}});
                    },
                    "\nc (size = 1)\n Map key: 4\n Map value: 9"},
        DisplayCase{[] {
                      D::DisplaySLDM("s", {{{"a"}, 2.5}});
                    },
                    "\ns (size = 1)\n Map's StringList: \"a\"\n Map's double = 2.5"}));

TEST(MCComponentDisplayStampTest, TimeStamp) {
  std::ostringstream out;
  D::SetOutStream(out);
  D::DisplayTimeStamp("Now");
  D::SetOutStream(std::cout);
  EXPECT_TRUE(
      std::regex_match(out.str(), std::regex("\nNow: \\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d")));
}

}  // namespace

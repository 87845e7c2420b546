#include <gtest/gtest.h>

#include <iostream>
#include <regex>
#include <sstream>

#include "MCComponentDisplay.h"
#include "MCMV.h"

using MCCommon::MCComponentDisplay;

namespace {

class MCComponentDisplayTest : public testing::Test {
 protected:
  void SetUp() override { MCComponentDisplay::SetOutStream(fOut); }
  void TearDown() override { MCComponentDisplay::SetOutStream(std::cout); }

  std::string Take() {
    std::string s = fOut.str();
    fOut.str("");
    return s;
  }

  std::ostringstream fOut;
  const double kMiss = MCMV::Missing();
};

TEST_F(MCComponentDisplayTest, StreamIsProcessWide) {
  EXPECT_EQ(&MCComponentDisplay::GetOutStream(), &fOut);
  MCComponentDisplay::SetOutStream(std::cout);
  EXPECT_EQ(&MCComponentDisplay::GetOutStream(), &std::cout);
}

TEST_F(MCComponentDisplayTest, DisplayText) {
  const long two = 2;
  const long none = 0;
  const long negative = -3;
  MCComponentDisplay::DisplayText(two, "ab");
  MCComponentDisplay::DisplayText(none, std::string("cd"));
  MCComponentDisplay::DisplayText(negative, "e");
  MCComponentDisplay::DisplayText(two, static_cast<const char*>(nullptr));
  EXPECT_EQ(Take(), "\n\nabcde");
}

TEST_F(MCComponentDisplayTest, Scalars) {
  MCComponentDisplay::DisplayB("b", true);
  MCComponentDisplay::DisplayB("c", false);
  MCComponentDisplay::DisplayI("i", -42);
  MCComponentDisplay::DisplayD("d", 0.1);
  MCComponentDisplay::DisplayD("m", kMiss);
  MCComponentDisplay::DisplayDF("f", 0.1);
  MCComponentDisplay::DisplayDF("g", kMiss);
  MCComponentDisplay::DisplayS("s", "text");
  EXPECT_EQ(Take(),
            "\nb = true\nc = false\ni = -42\nd = 0.1\nm = miss\nf = 0.10000000000000001"
            "\ng = miss\ns = text");
}

TEST_F(MCComponentDisplayTest, TimeStamp) {
  MCComponentDisplay::DisplayTimeStamp("Now");
  EXPECT_TRUE(
      std::regex_match(Take(), std::regex("\nNow: \\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d")));
}

TEST_F(MCComponentDisplayTest, DisplayDVWrapsTenPerLine) {
  std::vector<double> v;
  for (int i = 1; i <= 12; ++i) v.push_back(i * 0.5);
  v[3] = kMiss;
  MCComponentDisplay::DisplayDV("v", v, false);
  EXPECT_EQ(Take(), "\nv (size = 12)\n  0.5 1 1.5 miss 2.5 3 3.5 4 4.5 5\n  5.5 6");
  v.resize(10);
  MCComponentDisplay::DisplayDV("v", v, false);  // no empty line after a full one
  EXPECT_EQ(Take(), "\nv (size = 10)\n  0.5 1 1.5 miss 2.5 3 3.5 4 4.5 5");
  MCComponentDisplay::DisplayDV("e", {}, false);
  EXPECT_EQ(Take(), "\ne (size = 0)");
}

TEST_F(MCComponentDisplayTest, DisplayDVOnePerLine) {
  MCComponentDisplay::DisplayDV("v", {0.1, kMiss}, true);
  EXPECT_EQ(Take(), "\nv (size = 2)\n  = 0.10000000000000001\n miss");
  const double a[3] = {1, 2, 3};
  MCComponentDisplay::DisplayDA("a", a, 3, true);
  EXPECT_EQ(Take(), "\na (size = 3)\n  = 1\n  = 2\n  = 3");
  MCComponentDisplay::DisplayDA("a", a, 2, false);
  MCComponentDisplay::DisplayDA("n", nullptr, 4, false);
  EXPECT_EQ(Take(), "\na (size = 2)\n  1 2\nn (size = 0)");
}

TEST_F(MCComponentDisplayTest, FlatLists) {
  MCComponentDisplay::DisplayIV("i", {1, -2});
  MCComponentDisplay::DisplayUV("u", {4000000000u});
  MCComponentDisplay::DisplayBV("b", {true, false});
  MCComponentDisplay::DisplaySV("s", {"x", "y z"});
  EXPECT_EQ(Take(),
            "\ni (size = 2)\n  1 -2\nu (size = 1)\n  4000000000\nb (size = 2)\n  t f"
            "\ns (size = 2)\n  \"x\" \"y z\"");
  MCComponentDisplay::DisplayIV("i", std::vector<int>(11, 7));
  EXPECT_EQ(Take(), "\ni (size = 11)\n  7 7 7 7 7 7 7 7 7 7\n  7");
}

TEST_F(MCComponentDisplayTest, Pairs) {
  MCComponentDisplay::DisplayVPII("p", {{1, 2}, {3, 4}});
  MCComponentDisplay::DisplayVPD("d", {{0.5, kMiss}});
  MCComponentDisplay::DisplayVPDI("m", {{1.5, 7}});
  EXPECT_EQ(Take(),
            "\np (size = 2)\n (1,2) (3,4) \nd (size = 1)\n (0.5,miss) \nm (size = 1)\n (1.5,7) ");
}

TEST_F(MCComponentDisplayTest, ListsOfLists) {
  MCComponentDisplay::DisplayDVV("d", {{1, 2}, {}, {kMiss}});
  MCComponentDisplay::DisplayDVV("e", {});
  MCComponentDisplay::DisplaySVV("s", {{"a"}, {"b", "c"}});
  EXPECT_EQ(Take(),
            "\nd (size = 3)\n  1 2\n <none>\n  miss\ne (size = 0)\n <none>"
            "\ns (size = 2)\n  \"a\"\n  \"b\" \"c\"");
  MCComponentDisplay::DisplayBVV("b", {{true, false, true}, {false, false, true}});
  EXPECT_EQ(Take(), "\nb ( number of rows = 2, number of columns = 3 )\n  t f t\n  f f t");
  MCComponentDisplay::DisplayDVTR("t", {{1}, {2, 0.25}});
  EXPECT_EQ(Take(), "\nt\nnumber of rows = 2\nrow 0: 1\nrow 1: 2, 0.25");
}

TEST_F(MCComponentDisplayTest, Maps) {
  MCComponentDisplay::DisplayIIM("m", {{3, 30}, {1, 10}});
  EXPECT_EQ(Take(), "\nm (map size = 2)\n  (1,10) (3,30)");
  MCComponentDisplay::DisplayVIM("v", {{{2, 5}}, {}});
  EXPECT_EQ(Take(), "\nv (size = 2)\n (map size = 1)\n  (2,5)\n (map size = 0)");
  MCComponentDisplay::DisplayIntVecDVecMap("k", {{{1, 2}, {0.5, kMiss}}});
  EXPECT_EQ(Take(), "\nk (size = 1)\n Map key: 1 2\n Map value: 0.5 miss");
  MCComponentDisplay::DisplayIntVecIntMap("c", {{{4}, 9}});
  EXPECT_EQ(Take(), "\nc (size = 1)\n Map key: 4\n Map value: 9");
  MCComponentDisplay::DisplaySLDM("s", {{{"a", "b"}, 2.5}});
  EXPECT_EQ(Take(), "\ns (size = 1)\n Map's StringList: \"a\" \"b\"\n Map's double = 2.5");
}

}  // namespace

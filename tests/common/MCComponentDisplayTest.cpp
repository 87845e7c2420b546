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

// What show writes to the stream that is set.
std::string Shown(const std::function<void()>& show) {
  std::ostringstream out;
  D::SetOutStream(out);
  EXPECT_EQ(&D::GetOutStream(), &out);
  show();
  D::SetOutStream(std::cout);
  return out.str();
}

// One row per layout rule: missing as "miss", ten values a line, full precision, maps sorted.
TEST(MCComponentDisplayTest, Writes) {
  static const double kA[3] = {1, 2, 3};
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { D::DisplayB("b", false), D::DisplayI("i", -42), D::DisplayD("m", kMiss); },
       "\nb = false\ni = -42\nm = miss"},
      {[] {
         D::DisplayDV("v", {0.5, 1, 1.5, kMiss, 2.5, 3, 3.5, 4, 4.5, 5, 5.5}, false);
       },
       "\nv (size = 11)\n  0.5 1 1.5 miss 2.5 3 3.5 4 4.5 5\n  5.5"},
      {[] { D::DisplayDA("a", kA, 2, false), D::DisplayDA("n", nullptr, 4, false); },
       "\na (size = 2)\n  1 2\nn (size = 0)"},
      {[] {
         D::DisplayDV("v", {0.1, kMiss}, true);
       },
       "\nv (size = 2)\n  = 0.10000000000000001\n miss"},
      {[] {
         D::DisplayIIM("m", {{3, 30}, {1, 10}});
       },
       "\nm (map size = 2)\n  (1,10) (3,30)"}};
  for (const auto& [show, text] : cases) EXPECT_EQ(Shown(show), text);
  EXPECT_TRUE(std::regex_match(Shown([] { D::DisplayTimeStamp("Now"); }),
                               std::regex("\nNow: \\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d")));
}

}  // namespace

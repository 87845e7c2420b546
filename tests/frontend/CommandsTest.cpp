// A cancel at every stage of a fit run in process; the rest is the program tests' (tests/mcfit).
#include "frontend/Commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace MCFrontEnd {
namespace {

// Answers yes from the n-th question on.
class CancelAfter : public MCCommon::MCQueryCancel {
 public:
  explicit CancelAfter(int n) : fLeft(n) {}
  bool IsCancel() override { return WillCancel(); }
  bool WillCancel() override { return --fLeft < 0; }

 private:
  int fLeft;
};

TEST(RunFitTest, CancelAtAnyStageLeavesNoFile) {
  const std::string dir = ::testing::TempDir() + "mcfit_runfit_" + std::to_string(::getpid());
  ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
  std::ofstream(dir + "/d.csv") << "y,x\n1,1\n2,2.5\n3,2.9\n4,4.2\n5,5\n";
  FitOptions options;
  options.data = dir + "/d.csv";
  options.request.dependent = "y";
  options.request.covariates = {"x"};
  options.jsonFile = dir + "/out.json";
  const auto files = [&dir] {
    return std::system(("test $(ls -A '" + dir + "' | wc -l) -ne 1").c_str()) == 0;
  };
  std::ostringstream out, err;
  for (int after : {0, 3, 8, 12}) {
    CancelAfter cancel(after);
    EXPECT_EQ(RunFit(options, out, err, &cancel), kExitCancelled) << after;
    EXPECT_FALSE(files()) << after;
  }
  EXPECT_NE(err.str().find("cancelled"), std::string::npos);
  EXPECT_EQ(RunFit(options, out, err, nullptr), kExitOK) << err.str();
  EXPECT_TRUE(files());
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace MCFrontEnd

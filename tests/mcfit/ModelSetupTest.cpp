#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "LinearFit.h"
#include "MCMV.h"
#include "ModelSetup.h"

namespace mcfit {
namespace {

// Factor codes in ascending order: numbers numerically, text by bytes.
TEST(CodedModelTest, CodesCategoriesInAscendingOrder) {
  const DataTable data =
      ParseCsv("y,n,s,x\n1,10,b,0.5\n2,2,B,1\n3,3,a,NA\n4,10,,2\n5,2,A,3\n", "d.csv");
  ModelRequest request;
  request.dependent = "y";
  request.factors = {"n", "s"};
  request.covariates = {"x"};
  CodedModel model(data, request);
  MemoryRecords& records = model.Records();
  ASSERT_EQ(records.GetNRecords(), 5u);
  ASSERT_EQ(records.GetWidth(), 4);
  const std::vector<double> nCodes = {2, 0, 1, 2, 0};
  const std::vector<double> sCodes = {3, 1, 2, -1, 0};  // "A" < "B" < "a" < "b"
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(records.RecordValues(i)[0], static_cast<double>(i + 1));
    EXPECT_EQ(records.RecordValues(i)[1], nCodes[i]) << i;
    if (sCodes[i] < 0) {
      EXPECT_TRUE(MCMV::IsMissing(records.RecordValues(i)[2]));
    } else {
      EXPECT_EQ(records.RecordValues(i)[2], sCodes[i]) << i;
    }
  }
  EXPECT_EQ(model.CategoryText(0, 2), "10");
  EXPECT_EQ(model.CategoryText(1, 0), "A");
  EXPECT_EQ(model.Settings().GetFactorSizes(), (std::vector<int>{3, 4}));
  // Records 3 (x missing) and 4 (s missing) are not used.
  EXPECT_EQ(model.RecordsUsed(), 3);
  // The iterator delivers every record again after a new pass.
  int seen = 0;
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(records.NewPass(), 0);
    while (records.HasMore()) seen += records.Next() != nullptr;
    EXPECT_EQ(records.GetFailReason(), 1);
    EXPECT_EQ(records.Next(), nullptr);
  }
  EXPECT_EQ(seen, 10);
}

TEST(CodedModelTest, RefusesBadColumnsAndValues) {
  const DataTable data = ParseCsv("y,g,x,w\n1,a,1,1\n2,b,oops,1\n", "d.csv");
  auto make = [&data](ModelRequest request) { CodedModel model(data, request); };
  ModelRequest request;
  request.dependent = "y";
  request.factors = {"g"};
  EXPECT_NO_THROW(make(request));
  ModelRequest unknown = request;
  unknown.covariates = {"nope"};
  EXPECT_THROW(make(unknown), InputError);
  ModelRequest text = request;
  text.covariates = {"x"};
  try {
    make(text);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "d.csv, line 3: covariate 'x' holds 'oops', not a number");
  }
  ModelRequest both = request;
  both.covariates = {"g"};
  EXPECT_THROW(make(both), InputError);
  ModelRequest textDependent = request;
  textDependent.dependent = "g";
  textDependent.factors = {};
  EXPECT_THROW(make(textDependent), InputError);
}

TEST(CodedModelTest, NaNFactorInBinaryDataIsBadInput) {
  DataTable data;
  data.source = "r.bin";
  data.binary = true;
  data.nRows = 2;
  data.columns = {Column{"y", true, {1, 2}, {}, {}}, Column{"g", true, {0, std::nan("")}, {}, {}}};
  ModelRequest request;
  request.dependent = "y";
  request.factors = {"g"};
  try {
    CodedModel model(data, request);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("r.bin, record 2: factor 'g'"), std::string::npos);
  }
}

TEST(CodedModelTest, ParameterNamesFollowTheTerms) {
  const DataTable data = ParseCsv("y,A,B,x\n1,1,u,1\n2,2,v,3\n3,1,v,2\n4,2,u,5\n", "d.csv");
  ModelRequest request;
  request.dependent = "y";
  request.factors = {"A", "B"};
  request.covariates = {"x"};
  request.effects = {"B*A", "x*x", "x*A"};
  CodedModel model(data, request);
  MCRegrParameter intercept;
  EXPECT_EQ(model.ParameterName(intercept), "(Intercept)");
  MCRegrParameter ba;
  ba.AddFactor(model.Position("A"), 1, 0);
  ba.AddFactor(model.Position("B"), 0, 0);
  ba.SetEffectIndex(0);
  EXPECT_EQ(model.ParameterName(ba), "B=u*A=2");
  MCRegrParameter power;
  power.AddCovariate(model.Position("x"), 2);
  power.SetEffectIndex(1);
  EXPECT_EQ(model.ParameterName(power), "x*x");
  MCRegrParameter xa;
  xa.AddCovariate(model.Position("x"), 1);
  xa.AddFactor(model.Position("A"), 0, 0);
  xa.SetEffectIndex(2);
  EXPECT_EQ(model.ParameterName(xa), "x*A=1");
}

TEST(ErrorStatsTest, ResidualVarianceAndTStatistics) {
  // rmse^2 x W is the weighted residual sum: 0.5^2 x 12 = 3, on 12 - 2 = 10 df.
  const ErrorStats e = ComputeErrorStats(0.5, 12.0, 2);
  EXPECT_DOUBLE_EQ(e.df, 10.0);
  EXPECT_DOUBLE_EQ(e.rss, 3.0);
  EXPECT_DOUBLE_EQ(e.variance, 0.3);
  ParameterResult p;
  p.estimate = 2.0;
  FillTStatistics(p, 0.3, e);  // se = sqrt(0.3 x 0.3) = 0.3
  ASSERT_TRUE(p.stdError && p.statistic && p.pValue && p.df);
  EXPECT_DOUBLE_EQ(*p.stdError, 0.3);
  EXPECT_DOUBLE_EQ(*p.statistic, 2.0 / 0.3);
  // Two-sided p of t = 20/3 on 10 df, from the closed form for even df:
  // 1 - sin(a) (1 + c/2 + 3c^2/8 + 15c^3/48 + 105c^4/384), a = atan(t / sqrt(10)), c = cos(a)^2.
  EXPECT_NEAR(*p.pValue, 5.5918369660012957e-05, 1e-15);
  ParameterResult aliased;
  aliased.redundant = true;
  FillTStatistics(aliased, 0.3, e);
  EXPECT_FALSE(aliased.stdError || aliased.statistic || aliased.pValue || aliased.df);
  ParameterResult noDf;
  FillTStatistics(noDf, 0.3, ComputeErrorStats(0.5, 2.0, 2));
  EXPECT_FALSE(noDf.stdError);
}

// Answers yes from the n-th question on.
class CancelAfter : public MCCommon::MCQueryCancel {
 public:
  explicit CancelAfter(int n) : fLeft(n) {}
  bool IsCancel() override { return WillCancel(); }
  bool WillCancel() override { return --fLeft < 0; }

 private:
  int fLeft;
};

class RunFitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fDir = ::testing::TempDir() + "mcfit_runfit_" + std::to_string(::getpid());
    std::system(("rm -rf '" + fDir + "' && mkdir -p '" + fDir + "'").c_str());
    std::ofstream(fDir + "/d.csv") << "y,x\n1,1\n2,2.5\n3,2.9\n4,4.2\n5,5\n";
    fOptions.data = fDir + "/d.csv";
    fOptions.request.dependent = "y";
    fOptions.request.covariates = {"x"};
    fOptions.jsonFile = fDir + "/out.json";
  }
  void TearDown() override { std::system(("rm -rf '" + fDir + "'").c_str()); }
  // Files in the folder besides the data.
  int OtherFiles() const {
    const std::string cmd = "ls -A '" + fDir + "' | grep -v '^d.csv$' | wc -l";
    FILE* p = popen(cmd.c_str(), "r");
    int n = -1;
    if (p != nullptr && std::fscanf(p, "%d", &n) != 1) n = -1;
    if (p != nullptr) pclose(p);
    return n;
  }
  std::string fDir;
  FitOptions fOptions;
  std::ostringstream fOut;
  std::ostringstream fErr;
};

TEST_F(RunFitTest, WritesReportAndJson) {
  EXPECT_EQ(RunFit(fOptions, fOut, fErr, nullptr), kExitOK) << fErr.str();
  EXPECT_EQ(OtherFiles(), 1);
  EXPECT_NE(fOut.str().find("Records: 5 read, 5 used"), std::string::npos);
  EXPECT_TRUE(fErr.str().empty());
}

TEST_F(RunFitTest, CancelDuringTheBuildLeavesNoFile) {
  for (int after : {0, 3, 8, 12}) {
    CancelAfter cancel(after);
    EXPECT_EQ(RunFit(fOptions, fOut, fErr, &cancel), kExitCancelled) << after;
    EXPECT_EQ(OtherFiles(), 0) << after;
  }
  EXPECT_NE(fErr.str().find("cancelled"), std::string::npos);
}

TEST_F(RunFitTest, InterruptFlagReachesTheQuery) {
  InterruptQuery query;
  ClearInterrupt();
  EXPECT_FALSE(query.WillCancel());
  InstallInterruptHandler();
  std::raise(SIGINT);
  EXPECT_TRUE(query.IsCancel());
  EXPECT_EQ(RunFit(fOptions, fOut, fErr, &query), kExitCancelled);
  ClearInterrupt();
  EXPECT_EQ(OtherFiles(), 0);
}

TEST_F(RunFitTest, ModelThatCannotBeFittedGivesOne) {
  fOptions.request.covariates.clear();
  fOptions.request.intercept = false;  // no intercept, no effects: error 302
  EXPECT_EQ(RunFit(fOptions, fOut, fErr, nullptr), kExitNotFitted);
  EXPECT_NE(fErr.str().find("error 302"), std::string::npos) << fErr.str();
  EXPECT_EQ(OtherFiles(), 0);
}

TEST_F(RunFitTest, PendingFileIsRemovedUnlessCommitted) {
  std::string temp;
  {
    PendingFile f(fDir + "/x.txt");
    temp = f.TempPath();
    f.Stream() << "data";
    EXPECT_EQ(OtherFiles(), 1);
  }
  EXPECT_EQ(OtherFiles(), 0);
  PendingFile g(fDir + "/x.txt");
  g.Stream() << "data";
  g.Commit();
  std::ifstream in(fDir + "/x.txt");
  std::string text;
  in >> text;
  EXPECT_EQ(text, "data");
  EXPECT_THROW(PendingFile(fDir + "/no/such/dir/x.txt"), InputError);
}

}  // namespace
}  // namespace mcfit

#include <gtest/gtest.h>

#include "MCCancelInfo.h"

using MCCommon::MCCancelInfo;

namespace {

// Answers what the test sets and counts the questions.
class ScriptedQuery : public MCCommon::MCQueryCancel {
 public:
  bool IsCancel() override { return ++fIsCalls, fNow; }
  bool WillCancel() override { return ++fWillCalls, fSoon; }
  bool fNow = false;
  bool fSoon = false;
  int fIsCalls = 0;
  int fWillCalls = 0;
};

TEST(MCCancelInfoTest, WithoutQueryOnlySetCancelCancels) {
  MCCancelInfo info;
  EXPECT_FALSE(info.WillCancel() || info.IsCancel());
  info.SetCancel();
  EXPECT_TRUE(info.WillCancel() && info.IsCancel());
}

TEST(MCCancelInfoTest, IsCancelIsRememberedWillCancelIsNot) {
  ScriptedQuery query;
  MCCancelInfo info(&query);
  query.fSoon = true;
  EXPECT_TRUE(info.WillCancel());
  query.fSoon = false;
  EXPECT_FALSE(info.WillCancel());
  EXPECT_FALSE(info.IsCancel());
  query.fNow = true;
  EXPECT_TRUE(info.IsCancel());
  query.fNow = false;  // the host changing its mind does not matter any more
  EXPECT_TRUE(info.IsCancel());
  EXPECT_TRUE(info.WillCancel());
  EXPECT_EQ(query.fIsCalls, 2);
  EXPECT_EQ(query.fWillCalls, 2);
}

TEST(MCCancelInfoTest, SetCancelStopsAskingTheHostAndOutlivesTheQuery) {
  ScriptedQuery query;
  MCCancelInfo info(&query);
  info.SetCancel();
  EXPECT_TRUE(info.IsCancel() && info.WillCancel());
  EXPECT_EQ(query.fIsCalls + query.fWillCalls, 0);
  info.SetCancelPtr(nullptr);
  EXPECT_EQ(info.GetCancelPtr(), nullptr);
  EXPECT_TRUE(info.IsCancel());
}

}  // namespace

#include <gtest/gtest.h>

#include "MCCancelInfo.h"

using MCCommon::MCCancelInfo;
using MCCommon::MCQueryCancel;

namespace {

// Answers what the test sets and counts the questions.
class ScriptedQuery : public MCQueryCancel {
 public:
  bool IsCancel() override {
    ++fIsCalls;
    return fNow;
  }
  bool WillCancel() override {
    ++fWillCalls;
    return fSoon;
  }
  bool fNow = false;
  bool fSoon = false;
  int fIsCalls = 0;
  int fWillCalls = 0;
};

TEST(MCCancelInfoTest, WithoutQueryOnlySetCancelCancels) {
  MCCancelInfo info;
  EXPECT_EQ(info.GetCancelPtr(), nullptr);
  EXPECT_FALSE(info.WillCancel());
  EXPECT_FALSE(info.IsCancel());
  info.SetCancel();
  EXPECT_TRUE(info.WillCancel());
  EXPECT_TRUE(info.IsCancel());
}

TEST(MCCancelInfoTest, IsCancelAnswerIsRemembered) {
  ScriptedQuery query;
  MCCancelInfo info(&query);
  EXPECT_FALSE(info.IsCancel());
  query.fNow = true;
  EXPECT_TRUE(info.IsCancel());
  query.fNow = false;  // the host changing its mind does not matter any more
  EXPECT_TRUE(info.IsCancel());
  EXPECT_TRUE(info.WillCancel());
  EXPECT_EQ(query.fIsCalls, 2);
  EXPECT_EQ(query.fWillCalls, 0);
}

TEST(MCCancelInfoTest, WillCancelAnswerIsNotRemembered) {
  ScriptedQuery query;
  const MCCancelInfo info(&query);
  query.fSoon = true;
  EXPECT_TRUE(info.WillCancel());
  query.fSoon = false;
  EXPECT_FALSE(info.WillCancel());
  EXPECT_EQ(query.fWillCalls, 2);
  EXPECT_EQ(query.fIsCalls, 0);
}

TEST(MCCancelInfoTest, SetCancelStopsAskingTheHostAndOutlivesTheQuery) {
  ScriptedQuery query;
  MCCancelInfo info(&query);
  info.SetCancel();
  EXPECT_TRUE(info.IsCancel());
  EXPECT_TRUE(info.WillCancel());
  EXPECT_EQ(query.fIsCalls + query.fWillCalls, 0);
  info.SetCancelPtr(nullptr);
  EXPECT_EQ(info.GetCancelPtr(), nullptr);
  EXPECT_TRUE(info.IsCancel());
}

}  // namespace

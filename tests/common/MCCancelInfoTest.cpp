#include <gtest/gtest.h>

#include <utility>

#include "MCCancelInfo.h"

using MCCommon::MCCancelInfo;

namespace {

// Answers what the test sets and counts the questions.
class ScriptedQuery : public MCCommon::MCQueryCancel {
 public:
  bool IsCancel() override { return ++fIsCalls, fNow; }
  bool WillCancel() override { return ++fWillCalls, fSoon; }
  bool fNow = false, fSoon = false;
  int fIsCalls = 0, fWillCalls = 0;
};

// IsCancel keeps a yes, WillCancel does not; SetCancel answers yes without asking the host,
// with or without a query.
TEST(MCCancelInfoTest, IsCancelIsRememberedWillCancelIsNotSetCancelStopsAsking) {
  ScriptedQuery query;
  MCCancelInfo info(&query), alone;
  EXPECT_FALSE(alone.WillCancel() || alone.IsCancel());
  query.fSoon = true;
  EXPECT_TRUE(info.WillCancel());
  query.fSoon = false;
  EXPECT_FALSE(info.WillCancel() || info.IsCancel());
  query.fNow = true;
  EXPECT_TRUE(info.IsCancel());
  query.fNow = false;  // the host changing its mind does not matter any more
  EXPECT_TRUE(info.IsCancel() && info.WillCancel());
  EXPECT_EQ(std::make_pair(query.fIsCalls, query.fWillCalls), std::make_pair(2, 2));

  ScriptedQuery untouched;
  MCCancelInfo set(&untouched);
  set.SetCancel();
  EXPECT_TRUE(set.IsCancel() && set.WillCancel());
  EXPECT_EQ(untouched.fIsCalls + untouched.fWillCalls, 0);
  set.SetCancelPtr(nullptr);
  alone.SetCancel();
  EXPECT_TRUE(set.GetCancelPtr() == nullptr && set.IsCancel() && alone.IsCancel());
}

}  // namespace

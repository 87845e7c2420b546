#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "MCVarList.h"
#include "MetadataTestUtil.h"

namespace {

using MCCommonMetadata::IMCEncoder;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCCatNumEncoder;
using MCCommonMetadata::MCStringEncoder;
using MCCommonMetadata::MCVarList;
using metadata_test::ExpectReadFailure;
using metadata_test::Indexes;

const char kListFailure[] = "Failure reading MCVarList!\n";

class VarListTest : public ::testing::Test {
 protected:
  static std::string Written(const MCVarList& list) {
    std::ostringstream os;
    list.WriteObjectXML(os, 1);
    return os.str();
  }

  MCVarList list_ = metadata_test::SampleList();
};

TEST_F(VarListTest, AddingKeepsCountsAndIndexes) {
  EXPECT_EQ(Indexes(list_),
            (std::vector<int>{6, 2, 3, 2, 3, 4}));  // the weight is not counted as categorical
  EXPECT_EQ(list_.GetNTargetCats(), 3);
  EXPECT_EQ(list_.GetNOutputCats(), 2);
  EXPECT_EQ(list_.GetEncoderAt(2)->EncodeConst(1.0), 1.0);  // value k has code k
  EXPECT_EQ(list_.GetEncoderAt(3)->Decode(1), "south");
  EXPECT_EQ(list_.GetNumInputVars(), 1);
  EXPECT_EQ(list_.GetNumPossibleInputVars(), 1);
  EXPECT_EQ(list_.GetNInputCats(), std::vector<int>{4});
  std::vector<std::string> inputs{"stale"};
  std::string response;
  list_.GetVarNames(inputs, response);
  EXPECT_EQ(inputs, std::vector<std::string>{"age"});
  EXPECT_EQ(response, "region");
  EXPECT_EQ(list_.FindVariable("Age"), -1);
  EXPECT_EQ(list_.GetVarAt(-1), nullptr);
  EXPECT_EQ(list_.GetVarAt(list_.Size()), nullptr);
  EXPECT_EQ(list_.GetVariableRole(6), IMCVariable::kUndefinedRole);
  EXPECT_EQ(list_.SetWeightVar("w2", "", IMCVariable::kTruncate), 4);  // replaced in its slot
  EXPECT_EQ(list_.Size(), 6);
  EXPECT_EQ(list_.GetFreqWeightVariable()->GetVariableName(), "w2");
  EXPECT_FALSE(list_.SetVariableRole(6, IMCVariable::kInput));
  EXPECT_FALSE(list_.SetMissingValueReplacement(-1, "x"));
  // An empty or a duplicate name adds nothing.
  EXPECT_EQ(list_.AddContVar("", "", IMCVariable::kTarget), -1);
  EXPECT_EQ(list_.AddCatVar("grade", "", 2, IMCVariable::kNumericCategorical, IMCVariable::kTarget),
            -1);
  EXPECT_EQ(list_.AddCatVar("w2", "", std::vector<std::string>{"a"}, IMCVariable::kTargetResponse),
            -1);
  EXPECT_EQ(Indexes(list_), (std::vector<int>{6, 2, 3, 2, 3, 4}));
}

TEST_F(VarListTest, RoleChangesFollowTheTargetRules) {
  EXPECT_TRUE(list_.SetVariableRole(0, IMCVariable::kTarget));
  EXPECT_EQ(list_.GetTargetIndex(), 2);  // a target exists already
  EXPECT_EQ(list_.GetVariableRole(0), IMCVariable::kTarget);
  EXPECT_TRUE(list_.SetVariableRole(2, IMCVariable::kInput));
  EXPECT_EQ(list_.GetTargetIndex(), -1);
  EXPECT_EQ(list_.GetNTargetCats(), 0);
  EXPECT_TRUE(list_.SetVariableRole(3, IMCVariable::kPossibleInput));
  EXPECT_EQ(list_.GetTargetRespIndex(), -1);
  EXPECT_TRUE(list_.SetVariableRole(1, IMCVariable::kTargetResponse));
  EXPECT_EQ(list_.GetTargetRespIndex(), 1);
}

TEST_F(VarListTest, RemovingShiftsOrClearsTheIndexes) {
  EXPECT_FALSE(list_.RemoveVar(6));
  EXPECT_FALSE(list_.RemoveVar("nobody"));
  ASSERT_TRUE(list_.RemoveVar("income"));
  EXPECT_EQ(Indexes(list_), (std::vector<int>{5, 1, 3, 1, 2, 3}));
  ASSERT_TRUE(list_.RemoveVar(1));  // the target: its categorical count is not given back
  EXPECT_EQ(Indexes(list_), (std::vector<int>{4, 1, 3, -1, 1, 2}));
  ASSERT_TRUE(list_.RemoveVar("spare"));
  ASSERT_TRUE(list_.RemoveVar("w"));
  EXPECT_EQ(Indexes(list_), (std::vector<int>{2, 1, 2, -1, 1, -1}));
}

TEST_F(VarListTest, TargetEncoderIsReplacedAndJudged) {
  EXPECT_FALSE(list_.ChangeTargetEncoder(nullptr));
  EXPECT_FALSE(list_.ChangeTargetEncoder(new MCCatNumEncoder()));  // replaced, but empty
  EXPECT_EQ(list_.GetNTargetCats(), 0);
  EXPECT_TRUE(list_.ChangeTargetEncoder(new MCStringEncoder(std::vector<std::string>{"a", "b"})));
  EXPECT_EQ(list_.GetNTargetCats(), 2);
  EXPECT_EQ(list_.GetEncoderAt(2)->GetEncoderType(), IMCEncoder::kStringEncoder);
  list_.SetVariableRole(2, IMCVariable::kInput);
  MCCatNumEncoder kept(std::vector<double>{1.0});  // without a target it is not taken
  EXPECT_FALSE(list_.ChangeTargetEncoder(&kept));
}

TEST_F(VarListTest, TruncatedVariableLeavesAnEmptySlot) {
  const std::string text = Written(list_);
  const std::size_t inCat = text.find("<Obj name=\"MCCatNumEncoder\">");
  ASSERT_NE(inCat, std::string::npos);
  MCVarList read;
  std::istringstream is(text.substr(0, inCat + 40));
  ExpectReadFailure([&] { read.ReadObjectXML(is); }, "Failure reading MCCatNumEncoder!\n");
  ASSERT_EQ(read.Size(), 3);
  EXPECT_EQ(read.GetVarAt(1)->GetVariableName(), "income");
  EXPECT_EQ(read.GetVarAt(2), nullptr);
  EXPECT_EQ(read.FindVariable("grade"), -1);
  MCVarList copy(read);
  EXPECT_EQ(copy.GetVarAt(2), nullptr);
  // An empty slot is written as level 0, which no reader accepts.
  MCVarList again;
  std::istringstream is2(Written(read));
  ExpectReadFailure([&] { again.ReadObjectXML(is2); }, kListFailure);
}

}  // namespace

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "MCHashKey.h"
#include "MCPackedInt.h"

using MCCommonMath::MCHashKey;
using MCCommonMath::MCPackedInt;

namespace {

// The word bound depends on the process-wide key offset: pin it to 0 and restore it.
class MCPackedIntTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fSavedOffset = MCHashKey::GetElementOffset();
    MCHashKey::SetElementOffset(0);
  }
  void TearDown() override { MCHashKey::SetElementOffset(fSavedOffset); }
  int fSavedOffset = 0;
};

}  // namespace

TEST_F(MCPackedIntTest, SetupFailures) {
  EXPECT_EQ(MCPackedInt(2, 0, {0, 5}).GetPackedSize(), 0);  // a position without levels
  MCPackedInt packer;
  EXPECT_FALSE(packer.SetForSequence(3, 0, {2, 2}));  // fewer counts than positions
  EXPECT_FALSE(packer.SetForSequence(0, 0, {2}));
  EXPECT_EQ(packer.GetSeqSize(), 0);
  EXPECT_TRUE(packer.SetForSequence(1, 0, {2, 0}));  // counts past the sequence are ignored
  EXPECT_EQ(packer.GetNDiffVal(1), -1);
}

TEST_F(MCPackedIntTest, WordsCloseAtTheElementBound) {
  // sqrt(9377657) is about 3062.3: two positions of 3062 share a word, of 3063 do not.
  EXPECT_EQ(MCPackedInt(2, 0, {3062, 3062}).GetPackedSize(), 1);
  EXPECT_EQ(MCPackedInt(2, 0, {3063, 3063}).GetPackedSize(), 2);
  // A position is never split: 3000 * 3000 fits, a further factor 2 starts a new word.
  EXPECT_EQ(MCPackedInt(3, 0, {3000, 3000, 2}).GetPackedSize(), 2);
  EXPECT_EQ(MCPackedInt(4, 0, {3000, 1, 3000, 1}).GetPackedSize(), 1);
  MCHashKey::SetElementOffset(1000000);  // lowers the bound below 9e6
  EXPECT_EQ(MCPackedInt(2, 0, {3000, 3000}).GetPackedSize(), 2);
}

TEST_F(MCPackedIntTest, RandomSequencesRoundTrip) {
  std::mt19937 gen(2024);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 1 + static_cast<int>(gen() % 40);
    const int lower = static_cast<int>(gen() % 21) - 10;
    std::vector<int> n_diff(n);
    std::vector<int> values(n);
    for (int i = 0; i < n; ++i) {
      const unsigned kind = gen() % 4;
      n_diff[i] = kind == 0   ? 1
                  : kind == 1 ? 1 + static_cast<int>(gen() % 5)
                              : 1 + static_cast<int>(gen() % 200000);
      values[i] = lower + static_cast<int>(gen() % static_cast<unsigned>(n_diff[i]));
    }
    const MCPackedInt packer(n, lower, n_diff);
    std::vector<int> packed;
    ASSERT_TRUE(packer.Pack(values, packed, true));
    for (int word : packed) {
      EXPECT_GE(word, 0);
      EXPECT_LT(word, MCHashKey::GetElementUpperBound());
    }
    std::vector<int> back;
    ASSERT_TRUE(packer.Unpack(back, packed));
    ASSERT_EQ(back, values) << "trial " << trial;
  }
}

TEST_F(MCPackedIntTest, BadInputIsRefused) {
  const MCPackedInt packer(3, 1, {2, 3, 4});
  std::vector<int> packed = {99};
  EXPECT_FALSE(packer.Pack({0, 1, 1}, packed, true));  // below L
  EXPECT_FALSE(packer.Pack({3, 1, 1}, packed, true));  // L + nDiff
  EXPECT_FALSE(packer.Pack({1, 1}, packed, false));
  EXPECT_EQ(packed, std::vector<int>({99}));              // untouched by refusals
  EXPECT_TRUE(packer.Pack({1, 1, 1, 42}, packed, true));  // extra values are ignored

  const MCPackedInt two_words(2, 0, {5000, 5000});
  std::vector<int> values = {1, 2, 3};
  EXPECT_FALSE(two_words.Unpack(values, {7}));
  ASSERT_TRUE(two_words.Unpack(values, {7, 8}));
  EXPECT_EQ(values, std::vector<int>({7, 8, 3}));  // longer vectors keep their tail
}

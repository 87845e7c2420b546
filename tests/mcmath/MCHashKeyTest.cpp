#include <gtest/gtest.h>

#include <unordered_set>
#include <vector>

#include "MCHashKey.h"

using MCCommonMath::MCHashKey;

namespace {

MCHashKey MakeKey(const std::vector<int>& elements) {
  MCHashKey key(static_cast<int>(elements.size()));
  for (size_t i = 0; i < elements.size(); ++i) key[static_cast<int>(i)] = elements[i];
  key.UpdateHashCode();
  return key;
}

// The element offset is process-wide: every test leaves it as it found it.
class MCHashKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { fSavedOffset = MCHashKey::GetElementOffset(); }
  void TearDown() override { MCHashKey::SetElementOffset(fSavedOffset); }
  int fSavedOffset = 0;
};

}  // namespace

TEST_F(MCHashKeyTest, HashCodes) {
  MCHashKey::SetElementOffset(0);
  EXPECT_EQ(MakeKey({1, 1}).GetHashcode(), 3 ^ 5);
  EXPECT_EQ(MCHashKey().GetHashcode(), 0);
  // Wrap-around in 32 bits, read back as signed.
  EXPECT_EQ(MakeKey({-1}).GetHashcode(), -3);
  EXPECT_EQ(MakeKey({2147483647}).GetHashcode(), 2147483645);
  // The prime table repeats after 49 elements.
  std::vector<int> long_key(50, 0);
  long_key[49] = 1;
  EXPECT_EQ(MakeKey(long_key).GetHashcode(), 3);

  MCHashKey::SetElementOffset(1);
  EXPECT_EQ(MakeKey({2}).GetHashcode(), 9);
  EXPECT_EQ(MCHashKey::GetElementUpperBound(), 9377656);
  MCHashKey::SetElementOffset(0);
  EXPECT_EQ(MCHashKey::GetElementUpperBound(), 9377657);
}

TEST_F(MCHashKeyTest, EqualityNeedsHashLengthAndElements) {
  MCHashKey::SetElementOffset(0);
  // Colliding hashes: (0), (0, 0) and the empty key all hash to 0; 3*5 ^ 5*3 = 0 too.
  const MCHashKey one = MakeKey({0}), two = MakeKey({0, 0}), other = MakeKey({5, 3});
  EXPECT_NE(MCHashKey(), one);
  EXPECT_NE(one, two);
  EXPECT_NE(two, other);
  // The stored code takes part: a key whose owner forgot UpdateHashCode differs.
  MCHashKey stale(2);
  stale[0] = stale[1] = 1;
  EXPECT_NE(stale, MakeKey({1, 1}));
  stale.UpdateHashCode();
  EXPECT_EQ(stale, MakeKey({1, 1}));
  MCHashKey copy(stale);  // deep copy
  copy[0] = 2;
  EXPECT_EQ(stale[0], 1);
}

TEST_F(MCHashKeyTest, OrderingAndMismatch) {
  const MCHashKey a = MakeKey({1, 2, 3});
  EXPECT_TRUE(MakeKey({100}) < a);  // shorter first
  EXPECT_FALSE(a < MakeKey({100}));
  EXPECT_TRUE(MakeKey({1, 2, -4}) < a);  // signed comparison
  EXPECT_TRUE(a < MakeKey({1, 3, 0}));
  EXPECT_FALSE(a < MakeKey({1, 2, 3}));
  EXPECT_EQ(a.Mismatch(MakeKey({1, 2, 4})), 2);
  EXPECT_EQ(a.Mismatch(MakeKey({1, 2})), 2);
  EXPECT_EQ(a.Mismatch(MakeKey({0, 2, 3})), 0);

  std::unordered_set<MCHashKey> keys;
  for (int i = 0; i < 100; ++i) keys.insert(MakeKey({i % 10, i % 7}));
  EXPECT_EQ(keys.size(), 70u);
}

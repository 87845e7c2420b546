#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "MCBitSet.h"

using MCCommonMath::MCBitSet;

namespace {

void ExpectMatches(const MCBitSet& set, const std::vector<bool>& ref) {
  ASSERT_EQ(set.Size(), static_cast<int>(ref.size()));
  int count = 0;
  for (int i = 0; i < set.Size(); ++i) {
    EXPECT_EQ(set.IsIn(i), ref[i]) << "bit " << i;
    count += ref[i] ? 1 : 0;
  }
  EXPECT_EQ(set.InSet(), count);
}

MCBitSet FromBits(const std::vector<bool>& bits) {
  MCBitSet set(static_cast<int>(bits.size()));
  for (size_t i = 0; i < bits.size(); ++i) set.Set(static_cast<int>(i), bits[i]);
  return set;
}

}  // namespace

TEST(MCBitSetTest, OutOfRangeIndicesAreRefused) {
  EXPECT_EQ(MCBitSet(-3).Size(), 0);
  MCBitSet set(40);
  set.SetRange(0, 39, true);
  const MCBitSet before = set;
  EXPECT_FALSE(set.SetSubset({1, 2, 40}, false));
  EXPECT_FALSE(set.SetSubset({-1, 5}, false));
  EXPECT_EQ(set, before);  // a refused subset changes nothing
  EXPECT_FALSE(set.IsIn(-1) || set.IsIn(40));
  for (int r : {set.InRangeS(0, -1), set.InRangeS(1, 40), set.InRangeS(1, 2147483647)})
    EXPECT_EQ(r, -1);
  EXPECT_EQ(set.InRangeS(1, 39), 39);
  EXPECT_EQ(set.InRangeS(2, 0), 0);
}

TEST(MCBitSetTest, RangesAcrossWordBoundaries) {
  MCBitSet set(70);
  EXPECT_TRUE(set.SetSubset({0, 31, 32, 63, 64, 69}));
  EXPECT_EQ(set.InRange(31, 32), 2);
  EXPECT_EQ(set.InRangeS(32, 33), 3);  // 32, 63, 64
  EXPECT_TRUE(set.SetRange(30, 65, true));
  EXPECT_EQ(set.InSet(), 38);
  EXPECT_TRUE(set.SetRange(31, 64, false));
  EXPECT_TRUE(set.SetSubset({30, 69}, false));
  std::vector<bool> ref(70, false);
  ref[0] = ref[65] = true;
  ExpectMatches(set, ref);
  ExpectMatches(set.GetSubset(-4, 1), {true, false});
  ExpectMatches(set.GetSubset(64, 99), {false, true, false, false, false, false});
  EXPECT_EQ(set.GetSubset(3, 2).Size(), 0);
  EXPECT_EQ(set.GetSubset(70, 80).Size(), 0);
}

TEST(MCBitSetTest, ResizeSetsEveryBitAndEqualityNeedsSameSize) {
  MCBitSet set(10);
  set.Set(4);
  set.Resize(3, true);
  ExpectMatches(set, {true, true, true});
  set.Resize(33, true);
  MCBitSet other(32);
  other.SetRange(0, 31, true);
  EXPECT_NE(set, other);
  EXPECT_EQ(other.Append(true), 33);
  EXPECT_EQ(set, other);
}

TEST(MCBitSetTest, BooleanAlgebraUsesTheShorterSize) {
  const MCBitSet a = FromBits({true, true, false, false});
  const MCBitSet b = FromBits({true, false, true, false, true, true});
  MCBitSet result;
  result.DoAND(a, b);
  ExpectMatches(result, {true, false, false, false});
  result.DoOR(b, a);
  ExpectMatches(result, {true, true, true, false});
  MCBitSet self = b;
  self.DoAND(self, a);  // operand aliases the target
  ExpectMatches(self, {true, false, false, false});

  const MCBitSet here = FromBits({false, true, false, true});
  EXPECT_FALSE(here.IsNewFalse(FromBits({false, true, false, false}), 3));
  EXPECT_TRUE(here.IsNewFalse(FromBits({false, true, false, false}), 4));
  EXPECT_TRUE(here.IsNewFalse(FromBits({false, true}), 10));  // absent bits count as clear
  EXPECT_FALSE(here.IsNewFalse(here, 10));
}

TEST(MCBitSetTest, AgreesWithReferenceUnderRandomOperations) {
  std::mt19937 gen(12345);
  MCBitSet set(50);
  std::vector<bool> ref(50, false);
  for (int step = 0; step < 2000; ++step) {
    const int n = static_cast<int>(ref.size());
    const int a = static_cast<int>(gen() % (n + 4)) - 2;
    const int b = static_cast<int>(gen() % (n + 4)) - 2;
    const bool v = gen() % 2 == 0;
    const bool range_ok = a >= 0 && a <= b && b < n;
    int expected = range_ok ? 0 : -1;
    switch (gen() % 6) {
      case 0:
        EXPECT_EQ(set.Set(a, v), a >= 0 && a < n);
        if (a >= 0 && a < n) ref[a] = v;
        break;
      case 1:
        EXPECT_EQ(set.SetRange(a, b, v), range_ok);
        for (int i = a; range_ok && i <= b; ++i) ref[i] = v;
        break;
      case 2:
        for (int i = a; range_ok && i <= b; ++i) expected += ref[i] ? 1 : 0;
        EXPECT_EQ(set.InRange(a, b), expected);
        break;
      case 3:
        if (n < 120) {
          EXPECT_EQ(set.Append(v), n + 1);
          ref.push_back(v);
        }
        break;
      case 4:
        if (step % 10 == 0) {
          set.Clear();
          ref.assign(ref.size(), false);
        }
        break;
      default:
        set.Negate();
        ref.flip();
    }
  }
  ExpectMatches(set, ref);
}

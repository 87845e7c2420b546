#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "MCBitSet.h"

using MCCommonMath::MCBitSet;

namespace {

void ExpectMatches(const MCBitSet& set, const std::vector<bool>& ref) {
  const int n = static_cast<int>(ref.size());
  ASSERT_EQ(set.Size(), n);
  EXPECT_EQ(set.InSet(), std::count(ref.begin(), ref.end(), true));
  EXPECT_FALSE(set.IsIn(-1) || set.IsIn(n));
  for (int i = 0; i < n; ++i) EXPECT_EQ(set.IsIn(i), ref[i]) << "bit " << i;
}

MCBitSet FromBits(const std::vector<bool>& bits) {
  MCBitSet set(static_cast<int>(bits.size()));
  for (size_t i = 0; i < bits.size(); ++i) set.Set(static_cast<int>(i), bits[i]);
  return set;
}

// Every operation on a set and on a vector<bool> beside it, with indices a little outside the
// set and sizes up to 120, so that ranges cross the 32-bit words.
TEST(MCBitSetTest, AgreesWithReferenceUnderRandomOperations) {
  std::mt19937 gen(12345);
  MCBitSet set(50);
  std::vector<bool> ref(50, false);
  for (int step = 0; step < 4000; ++step) {
    const int n = static_cast<int>(ref.size());
    const int a = static_cast<int>(gen() % (n + 4)) - 2;
    const int b = static_cast<int>(gen() % (n + 4)) - 2;
    const bool v = gen() % 2 == 0, in = a >= 0 && a < n, rangeOk = a >= 0 && a <= b && b < n;
    int count = 0;
    for (int i = std::max(a, 0); i <= std::min(b, n - 1); ++i) count += ref[i] ? 1 : 0;
    // A second set of another size, for the operations between sets.
    std::vector<bool> oref(std::max(1, n - 1 + static_cast<int>(gen() % 4)));
    for (size_t i = 0; i < oref.size(); ++i) oref[i] = gen() % 2 == 0;
    const MCBitSet other = FromBits(oref);
    const int m = static_cast<int>(std::min(ref.size(), oref.size()));
    switch (gen() % 11) {
      case 0:
        EXPECT_EQ(set.Set(a, v), in);
        if (in) ref[a] = v;
        break;
      case 1:
        EXPECT_EQ(set.SetRange(a, b, v), rangeOk);
        for (int i = a; rangeOk && i <= b; ++i) ref[i] = v;
        break;
      case 2:  // a refused subset changes nothing
        EXPECT_EQ(set.SetSubset({a, b}, v), in && b >= 0 && b < n);
        if (in && b >= 0 && b < n) ref[a] = ref[b] = v;
        break;
      case 3:
        EXPECT_EQ(set.InRange(a, b), rangeOk ? count : -1);
        EXPECT_EQ(set.InRangeS(a, b - a + 1), a < 0 || b < a - 1 ? -1
                                              : b == a - 1       ? 0
                                              : b >= n           ? -1
                                                                 : count);
        break;
      case 4:
        if (n < 120) {
          EXPECT_EQ(set.Append(v), n + 1);
          ref.push_back(v);
        }
        break;
      case 5:  // Resize sets every bit
        if (step % 10 == 0) {  // to -1 .. 120
          const int size = static_cast<int>(gen() % 122) - 1;
          set.Resize(size, v);
          ref.assign(std::max(size, 0), v);
        } else if (step % 10 == 1) {
          set.Clear();
          ref.assign(ref.size(), false);
        }
        break;
      case 6:
        set.Negate();
        ref.flip();
        break;
      case 7: {  // the shorter size; the operand may be the target
        MCBitSet orSet;
        orSet.DoOR(other, set);
        set.DoAND(set, other);
        std::vector<bool> orRef(ref.begin(), ref.begin() + m);
        for (int i = 0; i < m; ++i) orRef[i] = orRef[i] || oref[i];
        for (int i = 0; i < m; ++i) ref[i] = ref[i] && oref[i];
        ref.resize(m);
        ExpectMatches(orSet, orRef);
        break;
      }
      case 8: {  // absent bits count as clear
        bool newFalse = false;
        for (int i = 0; i < std::min(a, n); ++i) newFalse |= ref[i] && !(i < m && oref[i]);
        EXPECT_EQ(set.IsNewFalse(other, a), newFalse);
        break;
      }
      case 9: {
        const int first = std::max(a, 0), last = std::min(b + 30, n - 1);
        ExpectMatches(set.GetSubset(a, b + 30),
                      first > last
                          ? std::vector<bool>()
                          : std::vector<bool>(ref.begin() + first, ref.begin() + last + 1));
        break;
      }
      default: {  // equality needs the same size and the same bits
        std::vector<bool> longer = ref, flipped = ref;
        longer.push_back(false);
        if (n > 0) flipped[a < 0 ? 0 : a % n] = !flipped[a < 0 ? 0 : a % n];
        EXPECT_EQ(set, FromBits(ref));
        EXPECT_NE(set, FromBits(longer));
        EXPECT_EQ(set == FromBits(flipped), n == 0);
      }
    }
    ExpectMatches(set, ref);
  }
  EXPECT_EQ(MCBitSet(-3).Size(), 0);
  EXPECT_EQ(set.InRangeS(1, INT_MAX), -1);  // the end is past the set, not wrapped into it
}

}  // namespace

// The table is internal to the library and header-only, so the test compiles it directly.
#include <gtest/gtest.h>

#include <vector>

#include "../../src/regression/MCHashtable.h"
#include "MCHashKey.h"

namespace {

using MCCommonMath::MCHashKey;

MCHashKey Key(const std::vector<int>& elements) {
  MCHashKey key(static_cast<int>(elements.size()));
  for (int i = 0; i < key.GetLength(); ++i) key[i] = elements[i];
  key.UpdateHashCode();
  return key;
}

TEST(MCHashtableTest, GrowsToTwoNPlusOneWhenTheThresholdWouldBeExceeded) {
  MCHashtable<int> table;
  for (int i = 0; i < 135; ++i) {
    // 89 buckets (threshold 66) up to 66 keys, then 179 (134), and 359 (269) from 135 on.
    EXPECT_EQ(table.GetBucketCount(), i <= 66 ? 89 : 179) << i;
    EXPECT_EQ(table.GetThreshold(), i <= 66 ? 66 : 134) << i;
    table.Insert(Key({i, 7 * i}), i);
  }
  EXPECT_EQ(table.GetBucketCount(), 359);
  EXPECT_EQ(table.GetThreshold(), 269);
  EXPECT_EQ(table.GetNGrowths(), 2);
  ASSERT_EQ(table.GetCount(), 135);
  for (int i = 0; i < 135; ++i) {
    ASSERT_NE(table.Find(Key({i, 7 * i})), nullptr) << i;
    EXPECT_EQ(table.Find(Key({i, 7 * i}))->fValue, i);
  }
  EXPECT_EQ(table.Find(Key({1, 6})), nullptr);
}

TEST(MCHashtableTest, AKeyIsInsertedOnceAndKeepsItsFirstValue) {
  MCHashtable<int> table;
  bool inserted = false;
  MCHashPair<int>* first = table.Insert(Key({3, 1}), 10, &inserted);
  EXPECT_TRUE(inserted);
  EXPECT_EQ(table.Insert(Key({3, 1}), 20, &inserted), first);
  EXPECT_FALSE(inserted);
  EXPECT_EQ(first->fValue, 10);
  EXPECT_EQ(table.GetCount(), 1);
}

// Equal hash codes of keys of different lengths, and negative hash codes.
TEST(MCHashtableTest, CollidingAndNegativeHashCodesFindTheirKeys) {
  MCHashtable<int> table;
  const MCHashKey empty, zero = Key({0});
  ASSERT_EQ(empty.GetHashcode(), zero.GetHashcode());
  table.Insert(empty, 1);
  table.Insert(zero, 2);
  EXPECT_EQ(table.Find(empty)->fValue, 1);
  EXPECT_EQ(table.Find(zero)->fValue, 2);
  int negatives = 0;
  for (int i = 0; i < 100; ++i) {
    negatives += Key({(1 << 30) + i, -i}).GetHashcode() < 0;
    table.Insert(Key({(1 << 30) + i, -i}), i);
  }
  EXPECT_GT(negatives, 0);
  for (int i = 0; i < 100; ++i) {
    ASSERT_NE(table.Find(Key({(1 << 30) + i, -i})), nullptr);
    EXPECT_EQ(table.Find(Key({(1 << 30) + i, -i}))->fValue, i);
  }
}

TEST(MCHashtableTest, SortedPairsStayLinkedAndCopiesAreIndependent) {
  MCHashtable<int> table;
  for (const MCHashKey& k : {Key({1, 0}), Key({0, 1}), Key({0, 0})}) table.Insert(k, 0);
  table.SortPairs(
      [](const MCHashPair<int>& a, const MCHashPair<int>& b) { return a.fKey < b.fKey; });
  int next = 0;
  for (MCHashPair<int>* pair : table.GetPairs()) pair->fValue = next++;
  EXPECT_EQ(table.Find(Key({0, 0}))->fValue, 0);
  EXPECT_EQ(table.Find(Key({0, 1}))->fValue, 1);
  EXPECT_EQ(table.Find(Key({1, 0}))->fValue, 2);
  // The copy owns its pairs: its lookups must not reach the source's.
  MCHashtable<int> copy(table);
  table.Find(Key({0, 1}))->fValue = 99;
  EXPECT_EQ(copy.Find(Key({0, 1}))->fValue, 1);
  EXPECT_EQ(copy.GetPairs()[2]->fKey, Key({1, 0}));
}

}  // namespace

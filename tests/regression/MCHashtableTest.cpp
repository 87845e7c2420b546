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
  EXPECT_EQ(table.GetBucketCount(), 89);
  EXPECT_EQ(table.GetThreshold(), 66);
  for (int i = 0; i < 66; ++i) table.Insert(Key({i, 7 * i}), i);
  EXPECT_EQ(table.GetBucketCount(), 89);
  EXPECT_EQ(table.GetNGrowths(), 0);
  table.Insert(Key({66, 7 * 66}), 66);
  EXPECT_EQ(table.GetBucketCount(), 179);
  EXPECT_EQ(table.GetThreshold(), 134);
  EXPECT_EQ(table.GetNGrowths(), 1);
  for (int i = 67; i < 135; ++i) table.Insert(Key({i, 7 * i}), i);
  EXPECT_EQ(table.GetBucketCount(), 359);
  EXPECT_EQ(table.GetThreshold(), 269);
  ASSERT_EQ(table.GetCount(), 135);
  for (int i = 0; i < 135; ++i) {
    const MCHashPair<int>* pair = table.Find(Key({i, 7 * i}));
    ASSERT_NE(pair, nullptr) << i;
    EXPECT_EQ(pair->fValue, i);
  }
  EXPECT_EQ(table.Find(Key({1, 6})), nullptr);
}

TEST(MCHashtableTest, AKeyIsInsertedOnceAndKeepsItsFirstValue) {
  MCHashtable<int> table;
  bool inserted = false;
  MCHashPair<int>* first = table.Insert(Key({3, 1}), 10, &inserted);
  EXPECT_TRUE(inserted);
  MCHashPair<int>* again = table.Insert(Key({3, 1}), 20, &inserted);
  EXPECT_FALSE(inserted);
  EXPECT_EQ(first, again);
  EXPECT_EQ(again->fValue, 10);
  EXPECT_EQ(table.GetCount(), 1);
  EXPECT_EQ(table.GetPairs().size(), 1u);
}

TEST(MCHashtableTest, EqualHashCodesOfDifferentLengthsAreDifferentKeys) {
  MCHashtable<int> table;
  const MCHashKey empty;
  const MCHashKey zero = Key({0});
  ASSERT_EQ(empty.GetHashcode(), zero.GetHashcode());
  table.Insert(empty, 1);
  table.Insert(zero, 2);
  EXPECT_EQ(table.GetCount(), 2);
  EXPECT_EQ(table.Find(empty)->fValue, 1);
  EXPECT_EQ(table.Find(zero)->fValue, 2);
}

TEST(MCHashtableTest, NegativeHashCodesSelectABucketInsideTheTable) {
  MCHashtable<int> table;
  std::vector<MCHashKey> keys;
  for (int i = 0; i < 100; ++i) {
    keys.push_back(Key({(1 << 30) + i, -i}));
    table.Insert(keys.back(), i);
  }
  int negatives = 0;
  for (int i = 0; i < 100; ++i) {
    if (keys[i].GetHashcode() < 0) ++negatives;
    ASSERT_NE(table.Find(keys[i]), nullptr);
    EXPECT_EQ(table.Find(keys[i])->fValue, i);
  }
  EXPECT_GT(negatives, 0);
}

TEST(MCHashtableTest, SortedPairsStayLinkedAndCopiesAreIndependent) {
  MCHashtable<int> table;
  table.Insert(Key({1, 0}), 0);
  table.Insert(Key({0, 1}), 0);
  table.Insert(Key({0, 0}), 0);
  table.SortPairs(
      [](const MCHashPair<int>& a, const MCHashPair<int>& b) { return a.fKey < b.fKey; });
  int next = 0;
  for (MCHashPair<int>* pair : table.GetPairs()) pair->fValue = next++;
  EXPECT_EQ(table.Find(Key({0, 0}))->fValue, 0);
  EXPECT_EQ(table.Find(Key({0, 1}))->fValue, 1);
  EXPECT_EQ(table.Find(Key({1, 0}))->fValue, 2);

  MCHashtable<int> copy(table);
  table.Find(Key({0, 1}))->fValue = 99;
  table.Insert(Key({5, 5}), 5);
  EXPECT_EQ(copy.Find(Key({0, 1}))->fValue, 1);
  EXPECT_EQ(copy.Find(Key({5, 5})), nullptr);
  EXPECT_EQ(copy.GetCount(), 3);
  EXPECT_EQ(copy.GetPairs()[2]->fKey, Key({1, 0}));
  MCHashtable<int> assigned;
  assigned = copy;
  EXPECT_EQ(assigned.Find(Key({1, 0}))->fValue, 2);
}

}  // namespace

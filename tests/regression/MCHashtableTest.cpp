// Internal and header-only; the factor tables and the pattern tabulator exercise the rest.
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

}  // namespace

#ifndef MCSTAT_REGRESSION_MCHASHTABLE_H_
#define MCSTAT_REGRESSION_MCHASHTABLE_H_

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "MCHashKey.h"

// One entry of an MCHashtable: a key and the value stored under it.
template <typename V>
struct MCHashPair {
  MCCommonMath::MCHashKey fKey;
  V fValue{};
};

// A chained hash table keyed by MCHashKey. The bucket of a key is its hash code taken as an
// unsigned number modulo the bucket count; a key is found by equal hash code, length and
// elements. The table starts with 89 buckets and grows to 2n + 1 buckets whenever an insertion
// would take the entry count above bucket count x 0.75 (truncated), relinking every node.
// Chain nodes come from a pool with stable addresses, so the pairs handed out stay valid for the
// table's life. Besides the chains the table keeps a list of its pairs, in insertion order until
// the owner reorders it with SortPairs; the values stay writable through that list.
template <typename V>
class MCHashtable {
 public:
  static constexpr int kInitialBuckets = 89;
  static constexpr double kLoadFactor = 0.75;

  // An empty table of kInitialBuckets buckets.
  MCHashtable() { ResetBuckets(kInitialBuckets); }

  // Copies every pair, in the order of the source's pair list, with the source's bucket count.
  MCHashtable(const MCHashtable& other) { CopyFrom(other); }
  MCHashtable& operator=(const MCHashtable& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  // Moves keep every node where it is, so pairs handed out stay valid in the new owner.
  MCHashtable(MCHashtable&&) = default;
  MCHashtable& operator=(MCHashtable&&) = default;
  ~MCHashtable() = default;

  // The pair stored under key, or null. The key's hash code must be current.
  const MCHashPair<V>* Find(const MCCommonMath::MCHashKey& key) const {
    const Node* node = fvBuckets[BucketOf(key)];
    while (node != nullptr && !(node->fPair.fKey == key)) node = node->fpNext;
    return node != nullptr ? &node->fPair : nullptr;
  }
  MCHashPair<V>* Find(const MCCommonMath::MCHashKey& key) {
    return const_cast<MCHashPair<V>*>(static_cast<const MCHashtable&>(*this).Find(key));
  }

  // Stores a copy of key with value unless the key is present already (a key is inserted once).
  // Returns the pair under the key; inserted (when given) tells whether it is new. Allocation
  // failures surface as std::bad_alloc with the table unchanged.
  MCHashPair<V>* Insert(const MCCommonMath::MCHashKey& key, const V& value,
                        bool* inserted = nullptr) {
    if (MCHashPair<V>* found = Find(key)) {
      if (inserted != nullptr) *inserted = false;
      return found;
    }
    // Room for the new pair before anything is linked; doubling keeps insertion linear.
    if (fvPairs.size() == fvPairs.capacity()) fvPairs.reserve(2 * fvPairs.size() + 16);
    if (fCount + 1 > fThreshold) Grow();
    fPool.emplace_back();
    Node* node = &fPool.back();
    node->fPair.fKey = key;
    node->fPair.fValue = value;
    Link(node);
    fvPairs.push_back(&node->fPair);
    ++fCount;
    if (inserted != nullptr) *inserted = true;
    return &node->fPair;
  }

  int GetCount() const { return fCount; }
  int GetBucketCount() const { return static_cast<int>(fvBuckets.size()); }
  int GetThreshold() const { return fThreshold; }
  int GetNGrowths() const { return fNGrowths; }

  // The pairs, in insertion order or in the order of the last SortPairs.
  const std::vector<MCHashPair<V>*>& GetPairs() const { return fvPairs; }
  // Reorders the pair list (not the chains) by a strict weak order on pairs.
  template <typename Less>
  void SortPairs(Less less) {
    std::sort(fvPairs.begin(), fvPairs.end(),
              [&less](const MCHashPair<V>* a, const MCHashPair<V>* b) { return less(*a, *b); });
  }

 private:
  struct Node {
    MCHashPair<V> fPair;
    Node* fpNext = nullptr;
  };

  std::size_t BucketOf(const MCCommonMath::MCHashKey& key) const {
    return static_cast<uint32_t>(key.GetHashcode()) % static_cast<uint32_t>(fvBuckets.size());
  }

  void Link(Node* node) {
    Node*& head = fvBuckets[BucketOf(node->fPair.fKey)];
    node->fpNext = head;
    head = node;
  }

  void ResetBuckets(int nBuckets) {
    fvBuckets.assign(static_cast<std::size_t>(nBuckets), nullptr);
    fThreshold = static_cast<int>(nBuckets * kLoadFactor);
  }

  // 2n + 1 buckets; every node is relinked into its new bucket.
  void Grow() {
    std::vector<Node*> buckets(fvBuckets.size() * 2 + 1, nullptr);
    fvBuckets.swap(buckets);
    fThreshold = static_cast<int>(static_cast<double>(fvBuckets.size()) * kLoadFactor);
    for (Node& node : fPool) Link(&node);
    ++fNGrowths;
  }

  void CopyFrom(const MCHashtable& other) {
    MCHashtable copy;
    copy.ResetBuckets(other.GetBucketCount());
    copy.fNGrowths = other.fNGrowths;
    copy.fvPairs.reserve(other.fvPairs.size());
    for (const MCHashPair<V>* pair : other.fvPairs) {
      copy.fPool.emplace_back();
      Node* node = &copy.fPool.back();
      node->fPair = *pair;
      copy.Link(node);
      copy.fvPairs.push_back(&node->fPair);
      ++copy.fCount;
    }
    *this = std::move(copy);
  }

  std::vector<Node*> fvBuckets;
  int fCount = 0;
  int fThreshold = 0;
  int fNGrowths = 0;
  std::deque<Node> fPool;  // node storage; deque growth never moves existing nodes
  std::vector<MCHashPair<V>*> fvPairs;
};

#endif  // MCSTAT_REGRESSION_MCHASHTABLE_H_

#ifndef MCSTAT_MCHASHKEY_H_
#define MCSTAT_MCHASHKEY_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "mcstat_export.h"

namespace MCCommonMath {

// A sequence of 32-bit integers with a precomputed hash code: the key of the hash tables
// that count factor combinations and covariate patterns. Writers of elements must call
// UpdateHashCode afterwards; comparison relies on the stored code.
class MCSTAT_EXPORT MCHashKey {
 public:
  // Number of entries in PRIME_FACTOR; element i is weighted by PRIME_FACTOR[i % kNumPrimes].
  static constexpr int kNumPrimes = 49;
  // The odd primes 3..229 in increasing order.
  static constexpr int32_t PRIME_FACTOR[kNumPrimes] = {
      3,   5,   7,   11,  13,  17,  19,  23,  29,  31,  37,  41,  43,  47,  53,  59,  61,
      67,  71,  73,  79,  83,  89,  97,  101, 103, 107, 109, 113, 127, 131, 137, 139, 149,
      151, 157, 163, 167, 173, 179, 181, 191, 193, 197, 199, 211, 223, 227, 229};

  // No elements, length 0, hash 0.
  MCHashKey() = default;
  // n elements (n < 0 counts as 0), all 0 until the owner writes them; the hash is computed.
  explicit MCHashKey(int n);
  // Deep copies.
  MCHashKey(const MCHashKey& other);
  // Re-allocates only when the lengths differ; self-assignment does nothing.
  MCHashKey& operator=(const MCHashKey& other);
  // Moves leave the source empty (length 0, hash 0).
  MCHashKey(MCHashKey&& other) noexcept;
  MCHashKey& operator=(MCHashKey&& other) noexcept;
  ~MCHashKey() = default;

  // Element i; no bounds check, i must be in [0, GetLength()).
  int32_t& operator[](int i) { return fpElements[i]; }
  const int32_t& operator[](int i) const { return fpElements[i]; }

  int GetLength() const { return fLength; }
  int GetHashcode() const { return fHashCode; }
  // Recomputes the stored hash from the current elements.
  void UpdateHashCode() { fHashCode = ComputeHashCode(); }

  // Equal hash, equal length and equal elements.
  bool operator==(const MCHashKey& other) const;
  bool operator!=(const MCHashKey& other) const { return !(*this == other); }

  // Length of the common prefix of this key and other.
  int Mismatch(const MCHashKey& other) const;

  // The process-wide value added to every element before hashing (initially 0).
  static void SetElementOffset(int offset);
  static int GetElementOffset();
  // 9377657 - offset: the largest element value (exclusive) that packed sequences use.
  // Clamped to the int range when the offset is extreme.
  static int GetElementUpperBound();

  // Writes "\t Key: " and each element as "  %d" on one line to the diagnostic stream.
  void Display() const;

 private:
  int32_t ComputeHashCode() const;

  static int32_t ADD_LOWER_BOUND;

  std::unique_ptr<int32_t[]> fpElements;
  int32_t fLength = 0;
  int32_t fHashCode = 0;
};

// Shorter keys first; keys of equal length compare element by element as signed integers.
MCSTAT_EXPORT bool operator<(const MCHashKey& a, const MCHashKey& b);

}  // namespace MCCommonMath

// Lets MCHashKey serve directly as the key of std::unordered_map / std::unordered_set.
namespace std {
template <>
struct hash<MCCommonMath::MCHashKey> {
  size_t operator()(const MCCommonMath::MCHashKey& key) const noexcept {
    return static_cast<size_t>(static_cast<uint32_t>(key.GetHashcode()));
  }
};
}  // namespace std

#endif  // MCSTAT_MCHASHKEY_H_

#ifndef MCSTAT_MCBITSET_H_
#define MCSTAT_MCBITSET_H_

#include <cstdint>
#include <vector>

#include "mcstat_export.h"

namespace MCCommonMath {

// A resizable set of indices (rows, columns, parameters), 32 bits to a word, bit i in
// word i / 32 at position i % 32 from the least significant bit. New bits are false.
// Where a set marks redundancy, a set bit means the parameter is NOT redundant.
class MCSTAT_EXPORT MCBitSet {
 public:
  MCBitSet() = default;
  // n false bits; empty for n < 0.
  explicit MCBitSet(int n);

  int Size() const { return fSize; }
  // n < 1 empties the set; otherwise n bits, every one (old ones too) set to v.
  void Resize(int n, bool v = false);
  // Every bit false.
  void Clear();
  // False when i is outside [0, size).
  bool Set(int i, bool v = true);
  // Bits a..b; false unless 0 <= a <= b < size.
  bool SetRange(int a, int b, bool v = true);
  // False and nothing changed when any index is outside [0, size).
  bool SetSubset(const std::vector<int>& indices, bool v = true);
  // False outside [0, size).
  bool IsIn(int i) const;
  // Number of set bits in a..b; -1 unless 0 <= a <= b < size.
  int InRange(int a, int b) const;
  // Number of set bits in start..start+count-1; -1 for a negative start or count or an
  // end at or past the size; 0 for count 0.
  int InRangeS(int start, int count) const;
  // Number of set bits.
  int InSet() const;
  // Flips every bit.
  void Negate();
  // True when some bit i < min(size, n) is set here and clear (or absent) in other.
  bool IsNewFalse(const MCBitSet& other, int n) const;
  bool operator==(const MCBitSet& other) const;
  bool operator!=(const MCBitSet& other) const { return !(*this == other); }
  // This becomes a AND b (a OR b) over min(a.Size(), b.Size()) bits.
  void DoAND(const MCBitSet& a, const MCBitSet& b);
  void DoOR(const MCBitSet& a, const MCBitSet& b);
  // Bits max(a, 0)..min(b, size - 1); empty when that range is empty.
  MCBitSet GetSubset(int a, int b) const;
  // Adds one bit at the end; returns the new size.
  int Append(bool v);
  // Writes the bits to the diagnostic stream.
  void Display() const;

 private:
  int32_t fSize = 0;
  std::vector<uint32_t> fBits;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCBITSET_H_

#ifndef MCSTAT_MCPACKEDINT_H_
#define MCSTAT_MCPACKEDINT_H_

#include <cstdint>
#include <vector>

#include "mcstat_export.h"

namespace MCCommonMath {

// Mixed-radix packing of a sequence of small integers (factor levels) into as few words as
// possible, each word below MCHashKey::GetElementUpperBound() so it can be a key element.
// Within a word the first position is the least significant digit; a position is never
// split across words.
class MCSTAT_EXPORT MCPackedInt {
 public:
  // Sequence size 0, nothing to pack.
  MCPackedInt() = default;
  // n positions, every value at least L, nDiff[i] distinct values at position i.
  // Check GetSeqSize() > 0 to know whether the layout could be set up.
  MCPackedInt(int n, int L, const std::vector<int>& nDiff);

  // Replaces the layout. False (and sequence size 0) unless 0 < n <= nDiff.size() and
  // nDiff[i] >= 1 for every position i < n.
  bool SetForSequence(int n, int L, const std::vector<int>& nDiff);

  int GetSeqSize() const { return fSeqSize; }
  int GetLowerBound() const { return fLowerBound; }
  // Number of packed words.
  int GetPackedSize() const { return fPackedSize; }
  // nDiff[i]; -1 outside [0, n).
  int GetNDiffVal(int i) const;

  // Packs the first n values into packed (re-sized to the packed size). With check, false
  // unless values holds n entries and L <= values[i] < L + nDiff[i]. Without check,
  // values out of range give meaningless words; too few values still give false.
  bool Pack(const std::vector<int>& values, std::vector<int>& packed, bool check) const;
  // Decodes packed into values[0..n) (values grows to n when shorter). False when packed
  // holds fewer than the packed size entries.
  bool Unpack(std::vector<int>& values, const std::vector<int>& packed) const;

  // Writes the fields to the diagnostic stream.
  void Display() const;

 private:
  bool Setup();

  int32_t fSeqSize = 0;
  int32_t fLowerBound = 0;
  std::vector<int> fvNDiff;
  int32_t fPackedSize = 0;
  std::vector<int> fvWordIndex;
  // Product of nDiff over this position and the earlier ones of the same word.
  std::vector<int> fvRadix;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCPACKEDINT_H_

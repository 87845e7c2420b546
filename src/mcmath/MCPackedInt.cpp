#include "MCPackedInt.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "MCComponentDisplay.h"
#include "MCHashKey.h"

namespace MCCommonMath {

MCPackedInt::MCPackedInt(int n, int L, const std::vector<int>& nDiff)
    : fSeqSize(n), fLowerBound(L), fvNDiff(nDiff) {
  Setup();
}

bool MCPackedInt::SetForSequence(int n, int L, const std::vector<int>& nDiff) {
  fSeqSize = n;
  fLowerBound = L;
  fvNDiff = nDiff;
  return Setup();
}

bool MCPackedInt::Setup() {
  fvWordIndex.clear();
  fvRadix.clear();
  fPackedSize = 0;

  bool valid = fSeqSize > 0 && static_cast<std::size_t>(fSeqSize) <= fvNDiff.size();
  for (int i = 0; valid && i < fSeqSize; ++i) valid = fvNDiff[i] >= 1;
  if (!valid) {
    fSeqSize = 0;
    fvNDiff.clear();
    return false;
  }

  // Summing logarithms keeps the word products below the bound without overflow.
  const double bound = std::log(static_cast<double>(MCHashKey::GetElementUpperBound()));
  double s = 0.0;
  int w = 0;
  int64_t r = 1;
  fvWordIndex.resize(static_cast<std::size_t>(fSeqSize));
  fvRadix.resize(static_cast<std::size_t>(fSeqSize));
  for (int i = 0; i < fSeqSize; ++i) {
    const double lnDiff = std::log(static_cast<double>(fvNDiff[i]));
    int64_t radix;
    if (s + lnDiff <= bound) {
      radix = fvNDiff[i] * r;
      s += lnDiff;
    } else {
      ++w;
      radix = fvNDiff[i];
      s = lnDiff;
    }
    fvWordIndex[i] = w;
    fvRadix[i] = static_cast<int>(radix);
    r = radix;
  }
  fPackedSize = w + 1;
  return true;
}

int MCPackedInt::GetNDiffVal(int i) const {
  if (i < 0 || i >= fSeqSize) return -1;
  return fvNDiff[i];
}

bool MCPackedInt::Pack(const std::vector<int>& values, std::vector<int>& packed, bool check) const {
  // Reading past the end is never allowed, checked or not.
  if (values.size() < static_cast<std::size_t>(fSeqSize)) return false;
  if (check) {
    for (int i = 0; i < fSeqSize; ++i) {
      const int64_t offset = static_cast<int64_t>(values[i]) - fLowerBound;
      if (offset < 0 || offset >= fvNDiff[i]) return false;
    }
  }
  // Unsigned accumulation: unchecked values may overflow a word, which then wraps harmlessly.
  std::vector<uint64_t> words(static_cast<std::size_t>(fPackedSize), 0);
  for (int i = 0; i < fSeqSize; ++i) {
    const bool firstInWord = i == 0 || fvWordIndex[i - 1] != fvWordIndex[i];
    const int64_t multiplier = firstInWord ? 1 : fvRadix[i - 1];
    const int64_t digit = static_cast<int64_t>(values[i]) - fLowerBound;
    words[fvWordIndex[i]] += static_cast<uint64_t>(digit) * static_cast<uint64_t>(multiplier);
  }
  // Written only now, so that packed may be the same vector as values.
  packed.resize(static_cast<std::size_t>(fPackedSize));
  for (int k = 0; k < fPackedSize; ++k) {
    packed[k] = static_cast<int>(static_cast<uint32_t>(words[k]));
  }
  return true;
}

bool MCPackedInt::Unpack(std::vector<int>& values, const std::vector<int>& packed) const {
  if (packed.size() < static_cast<std::size_t>(fPackedSize)) return false;
  if (values.size() < static_cast<std::size_t>(fSeqSize)) {
    values.resize(static_cast<std::size_t>(fSeqSize));
  }
  int64_t v = 0;
  for (int i = fSeqSize - 1; i >= 0; --i) {
    const bool lastInWord = i == fSeqSize - 1 || fvWordIndex[i + 1] != fvWordIndex[i];
    if (lastInWord) v = packed[fvWordIndex[i]];
    const bool sameWordBefore = i > 0 && fvWordIndex[i - 1] == fvWordIndex[i];
    const int64_t divisor = sameWordBefore ? fvRadix[i - 1] : 1;
    values[i] = static_cast<int>(fLowerBound + v / divisor);
    v %= divisor;
  }
  return true;
}

void MCPackedInt::Display() const {
  using MCCommon::MCComponentDisplay;
  const long oneLine = 1;
  MCComponentDisplay::DisplayText(oneLine, "MCPackedInt display start");
  MCComponentDisplay::DisplayI("Sequence size", fSeqSize);
  MCComponentDisplay::DisplayI("Lower bound", fLowerBound);
  MCComponentDisplay::DisplayIV("Number of distinct values", fvNDiff);
  MCComponentDisplay::DisplayI("Packed size", fPackedSize);
  MCComponentDisplay::DisplayIV("Word index", fvWordIndex);
  MCComponentDisplay::DisplayIV("Radix", fvRadix);
  MCComponentDisplay::DisplayText(oneLine, "MCPackedInt display end");
}

}  // namespace MCCommonMath

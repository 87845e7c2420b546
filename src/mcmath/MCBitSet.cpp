#include "MCBitSet.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "MCComponentDisplay.h"

namespace MCCommonMath {

namespace {

constexpr int kWordBits = 32;

int WordCount(int nBits) { return nBits <= 0 ? 0 : (nBits + kWordBits - 1) / kWordBits; }

uint32_t Mask(int i) { return uint32_t{1} << (i % kWordBits); }

// Set bits at positions first..last of a word array.
int CountBits(const std::vector<uint32_t>& words, int first, int last) {
  int count = 0;
  for (int i = first; i <= last; ++i) {
    if ((words[i / kWordBits] & Mask(i)) != 0) ++count;
  }
  return count;
}

}  // namespace

MCBitSet::MCBitSet(int n) {
  if (n > 0) {
    fSize = n;
    fBits.assign(WordCount(n), 0u);
  }
}

void MCBitSet::Resize(int n, bool v) {
  if (n < 1) {
    fSize = 0;
    fBits.clear();
    return;
  }
  fSize = n;
  fBits.assign(WordCount(n), v ? ~uint32_t{0} : 0u);
  // Bits past the size stay clear, so that the words alone describe the set.
  const int tail = n % kWordBits;
  if (tail != 0) fBits.back() &= (uint32_t{1} << tail) - 1u;
}

void MCBitSet::Clear() { std::fill(fBits.begin(), fBits.end(), 0u); }

bool MCBitSet::Set(int i, bool v) {
  if (i < 0 || i >= fSize) return false;
  if (v) {
    fBits[i / kWordBits] |= Mask(i);
  } else {
    fBits[i / kWordBits] &= ~Mask(i);
  }
  return true;
}

bool MCBitSet::SetRange(int a, int b, bool v) {
  if (a < 0 || a > b || b >= fSize) return false;
  for (int i = a; i <= b; ++i) Set(i, v);
  return true;
}

bool MCBitSet::SetSubset(const std::vector<int>& indices, bool v) {
  for (int i : indices) {
    if (i < 0 || i >= fSize) return false;
  }
  for (int i : indices) Set(i, v);
  return true;
}

bool MCBitSet::IsIn(int i) const {
  if (i < 0 || i >= fSize) return false;
  return (fBits[i / kWordBits] & Mask(i)) != 0;
}

int MCBitSet::InRange(int a, int b) const {
  if (a < 0 || a > b || b >= fSize) return -1;
  return CountBits(fBits, a, b);
}

int MCBitSet::InRangeS(int start, int count) const {
  if (start < 0 || count < 0) return -1;
  if (count == 0) return 0;
  // Computed in 64 bits so that a huge count cannot wrap into range.
  const long long end = static_cast<long long>(start) + count - 1;
  if (end >= fSize) return -1;
  return CountBits(fBits, start, static_cast<int>(end));
}

int MCBitSet::InSet() const { return fSize == 0 ? 0 : CountBits(fBits, 0, fSize - 1); }

void MCBitSet::Negate() {
  for (int i = 0; i < fSize; ++i) fBits[i / kWordBits] ^= Mask(i);
}

bool MCBitSet::IsNewFalse(const MCBitSet& other, int n) const {
  const int limit = std::min(fSize, n);
  for (int i = 0; i < limit; ++i) {
    if (IsIn(i) && !other.IsIn(i)) return true;
  }
  return false;
}

bool MCBitSet::operator==(const MCBitSet& other) const {
  if (fSize != other.fSize) return false;
  for (int i = 0; i < fSize; ++i) {
    if (IsIn(i) != other.IsIn(i)) return false;
  }
  return true;
}

void MCBitSet::DoAND(const MCBitSet& a, const MCBitSet& b) {
  const int n = std::min(a.fSize, b.fSize);
  // Build aside first: a or b may be this set.
  MCBitSet result(n);
  for (int i = 0; i < n; ++i) result.Set(i, a.IsIn(i) && b.IsIn(i));
  *this = std::move(result);
}

void MCBitSet::DoOR(const MCBitSet& a, const MCBitSet& b) {
  const int n = std::min(a.fSize, b.fSize);
  MCBitSet result(n);
  for (int i = 0; i < n; ++i) result.Set(i, a.IsIn(i) || b.IsIn(i));
  *this = std::move(result);
}

MCBitSet MCBitSet::GetSubset(int a, int b) const {
  const int first = std::max(a, 0);
  const int last = std::min(b, fSize - 1);
  if (first > last) return MCBitSet();
  MCBitSet result(last - first + 1);
  for (int i = first; i <= last; ++i) result.Set(i - first, IsIn(i));
  return result;
}

int MCBitSet::Append(bool v) {
  ++fSize;
  if (WordCount(fSize) > static_cast<int>(fBits.size())) fBits.push_back(0u);
  Set(fSize - 1, v);
  return fSize;
}

void MCBitSet::Display() const {
  using MCCommon::MCComponentDisplay;
  const long oneLine = 1;
  MCComponentDisplay::DisplayText(oneLine, "MCBitSet display start");
  MCComponentDisplay::DisplayI("Size", fSize);
  std::vector<bool> bits(static_cast<size_t>(fSize));
  for (int i = 0; i < fSize; ++i) bits[static_cast<size_t>(i)] = IsIn(i);
  MCComponentDisplay::DisplayBV("Bits", bits);
  MCComponentDisplay::DisplayText(oneLine, "MCBitSet display end");
}

}  // namespace MCCommonMath

#include "MCHashKey.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "MCComponentDisplay.h"

namespace MCCommonMath {

int32_t MCHashKey::ADD_LOWER_BOUND = 0;

namespace {

constexpr int64_t kElementBound = 9377657;

}  // namespace

MCHashKey::MCHashKey(int n) {
  if (n > 0) {
    fLength = n;
    // Zero-filled so that the initial hash never reads indeterminate values.
    fpElements = std::make_unique<int32_t[]>(static_cast<std::size_t>(n));
  }
  UpdateHashCode();
}

MCHashKey::MCHashKey(const MCHashKey& other) : fLength(other.fLength), fHashCode(other.fHashCode) {
  if (fLength > 0) {
    fpElements = std::make_unique<int32_t[]>(static_cast<std::size_t>(fLength));
    std::copy(other.fpElements.get(), other.fpElements.get() + fLength, fpElements.get());
  }
}

MCHashKey& MCHashKey::operator=(const MCHashKey& other) {
  if (this == &other) return *this;
  if (fLength != other.fLength) {
    fpElements.reset();
    if (other.fLength > 0) {
      fpElements = std::make_unique<int32_t[]>(static_cast<std::size_t>(other.fLength));
    }
    fLength = other.fLength;
  }
  if (fLength > 0) {
    std::copy(other.fpElements.get(), other.fpElements.get() + fLength, fpElements.get());
  }
  fHashCode = other.fHashCode;
  return *this;
}

MCHashKey::MCHashKey(MCHashKey&& other) noexcept
    : fpElements(std::move(other.fpElements)), fLength(other.fLength), fHashCode(other.fHashCode) {
  other.fLength = 0;
  other.fHashCode = 0;
}

MCHashKey& MCHashKey::operator=(MCHashKey&& other) noexcept {
  if (this == &other) return *this;
  fpElements = std::move(other.fpElements);
  fLength = other.fLength;
  fHashCode = other.fHashCode;
  other.fLength = 0;
  other.fHashCode = 0;
  return *this;
}

int32_t MCHashKey::ComputeHashCode() const {
  // Unsigned arithmetic: the sum and product wrap around instead of overflowing.
  const uint32_t offset = static_cast<uint32_t>(ADD_LOWER_BOUND);
  uint32_t h = 0;
  for (int i = 0; i < fLength; ++i) {
    const uint32_t term = (static_cast<uint32_t>(fpElements[i]) + offset) *
                          static_cast<uint32_t>(PRIME_FACTOR[i % kNumPrimes]);
    h ^= term;
  }
  return static_cast<int32_t>(h);
}

bool MCHashKey::operator==(const MCHashKey& other) const {
  // The hash first: most unequal keys differ there.
  if (fHashCode != other.fHashCode || fLength != other.fLength) return false;
  return std::equal(fpElements.get(), fpElements.get() + fLength, other.fpElements.get());
}

int MCHashKey::Mismatch(const MCHashKey& other) const {
  const int n = std::min(fLength, other.fLength);
  int i = 0;
  while (i < n && fpElements[i] == other.fpElements[i]) ++i;
  return i;
}

void MCHashKey::SetElementOffset(int offset) { ADD_LOWER_BOUND = offset; }

int MCHashKey::GetElementOffset() { return ADD_LOWER_BOUND; }

int MCHashKey::GetElementUpperBound() {
  const int64_t bound = kElementBound - static_cast<int64_t>(ADD_LOWER_BOUND);
  const int64_t hi = std::numeric_limits<int32_t>::max();
  const int64_t lo = std::numeric_limits<int32_t>::min();
  return static_cast<int>(std::clamp(bound, lo, hi));
}

void MCHashKey::Display() const {
  std::string line = "\t Key: ";
  char buffer[32];
  for (int i = 0; i < fLength; ++i) {
    std::snprintf(buffer, sizeof(buffer), "  %d", static_cast<int>(fpElements[i]));
    line += buffer;
  }
  const long oneLine = 1;
  MCCommon::MCComponentDisplay::DisplayText(oneLine, line);
}

bool operator<(const MCHashKey& a, const MCHashKey& b) {
  if (a.GetLength() != b.GetLength()) return a.GetLength() < b.GetLength();
  for (int i = 0; i < a.GetLength(); ++i) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return false;
}

}  // namespace MCCommonMath

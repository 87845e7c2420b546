#include "RandomKernels.h"

namespace MCCommonMath {
namespace randomkernels {

namespace {
uint32_t gRuntimeNext = 1;

constexpr uint32_t kMatrixA = 0x9908b0dfu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7fffffffu;
constexpr std::size_t kShift = 397;

uint32_t Twist(uint32_t upper, uint32_t lower, uint32_t far) {
  const uint32_t y = (upper & kUpperMask) | (lower & kLowerMask);
  return far ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
}

void Regenerate(uint32_t* mt) {
  std::size_t k = 0;
  for (; k < kTwisterWords - kShift; ++k) mt[k] = Twist(mt[k], mt[k + 1], mt[k + kShift]);
  for (; k < kTwisterWords - 1; ++k) {
    mt[k] = Twist(mt[k], mt[k + 1], mt[k + kShift - kTwisterWords]);
  }
  mt[kTwisterWords - 1] = Twist(mt[kTwisterWords - 1], mt[0], mt[kShift - 1]);
  mt[kTwisterWords] = 0;
}
}  // namespace

void RuntimeSrand(uint32_t seed) { gRuntimeNext = seed; }

int RuntimeRand() {
  gRuntimeNext = gRuntimeNext * 1103515245u + 12345u;
  return static_cast<int>((gRuntimeNext / 65536u) % 32768u);
}

void TwisterSeed(uint32_t* block, uint32_t seed) {
  block[0] = seed;
  for (uint32_t i = 1; i < kTwisterWords; ++i) {
    block[i] = 1812433253u * (block[i - 1] ^ (block[i - 1] >> 30)) + i;
  }
  block[kTwisterWords] = kTwisterWords;
}

void TwisterSeedByArray(uint32_t* block, const uint32_t* key, std::size_t length) {
  const uint32_t zero = 0;
  if (key == nullptr || length == 0) {
    key = &zero;
    length = 1;
  }
  TwisterSeed(block, 19650218u);
  std::size_t i = 1, j = 0;
  for (std::size_t k = kTwisterWords > length ? kTwisterWords : length; k > 0; --k) {
    block[i] = (block[i] ^ ((block[i - 1] ^ (block[i - 1] >> 30)) * 1664525u)) + key[j] +
               static_cast<uint32_t>(j);
    ++i;
    ++j;
    if (i >= kTwisterWords) {
      block[0] = block[kTwisterWords - 1];
      i = 1;
    }
    if (j >= length) j = 0;
  }
  for (std::size_t k = kTwisterWords - 1; k > 0; --k) {
    block[i] = (block[i] ^ ((block[i - 1] ^ (block[i - 1] >> 30)) * 1566083941u)) -
               static_cast<uint32_t>(i);
    ++i;
    if (i >= kTwisterWords) {
      block[0] = block[kTwisterWords - 1];
      i = 1;
    }
  }
  block[0] = 0x80000000u;  // the first word's low bits do not count: keep the state non-zero
  block[kTwisterWords] = kTwisterWords;
}

uint32_t TwisterNext(uint32_t* block) {
  if (block[kTwisterWords] >= kTwisterWords) {
    if (block[kTwisterWords] != kTwisterWords) TwisterSeed(block, 5489u);
    Regenerate(block);
  }
  uint32_t y = block[block[kTwisterWords]++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

}  // namespace randomkernels
}  // namespace MCCommonMath

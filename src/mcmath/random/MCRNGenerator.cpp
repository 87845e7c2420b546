#include "MCRNGenerator.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "RandomKernels.h"

namespace MCCommonMath {

namespace rk = randomkernels;

namespace {
std::unique_ptr<uint32_t[]> NewBlock() {
  std::unique_ptr<uint32_t[]> block(new (std::nothrow) uint32_t[rk::kTwisterBlockWords]);
  if (block) {
    std::fill(block.get(), block.get() + rk::kTwisterBlockWords, 0u);
    block[rk::kTwisterWords] = rk::kTwisterUnseeded;
  }
  return block;
}

constexpr double kLargestSeed = 2147483647.0;
}  // namespace

MCRNGenerator::~MCRNGenerator() = default;

// --- MCRNGUCongruential ------------------------------------------------------------------

MCRNGUCongruential::~MCRNGUCongruential() = default;

void MCRNGUCongruential::SetSeed(double seed) {
  double v = std::floor(std::fabs(seed));
  if (std::isnan(v) || v == 0.0) v = 1.0;
  if (v > kLargestSeed) v = kLargestSeed;
  fState = static_cast<int32_t>(v);
}

double MCRNGUCongruential::GetNext() {
  const uint32_t next = rk::CongruentialStep(static_cast<uint32_t>(fState));
  fState = static_cast<int32_t>(next);
  return next * rk::kTwoToMinus31;
}

// --- MCRNGUTwister -----------------------------------------------------------------------

MCRNGUTwister::MCRNGUTwister() : fpState(NewBlock()) {}

MCRNGUTwister::MCRNGUTwister(const MCRNGUTwister& other)
    : MCRNGenerator(other), fpState(NewBlock()) {
  if (fpState && other.fpState) {
    std::copy(other.fpState.get(), other.fpState.get() + rk::kTwisterBlockWords, fpState.get());
  }
}

MCRNGUTwister& MCRNGUTwister::operator=(const MCRNGUTwister& other) {
  if (this != &other && fpState && other.fpState) {
    std::copy(other.fpState.get(), other.fpState.get() + rk::kTwisterBlockWords, fpState.get());
  }
  return *this;
}

MCRNGUTwister::~MCRNGUTwister() = default;

void MCRNGUTwister::EncodeSeed(double seed, uint32_t key[3]) {
  key[0] = key[1] = key[2] = 0;
  if (!std::isfinite(seed)) return;
  double a = std::fabs(seed);
  const bool large = a >= 1.0;
  uint32_t steps = 0;
  if (a != 0.0) {
    // Scaling by powers of two is exact, so the significand survives unchanged.
    const double factor = large ? 0.5 : 2.0;
    while (a < 0.5 || a >= 1.0) {
      a *= factor;
      ++steps;
    }
  }
  key[0] = 2u * (seed < 0 ? 1u : 0u) + 4u * (large ? 1u : 0u) + 8u * steps;
  const double high = a * 67108864.0;  // 2^26
  key[1] = static_cast<uint32_t>(high);
  key[2] = static_cast<uint32_t>((high - key[1]) * 134217728.0);  // 2^27
}

void MCRNGUTwister::SetSeed(double seed) {
  if (!fpState || !std::isfinite(seed)) return;
  if (seed >= 0.0 && seed <= kLargestSeed && std::floor(seed) == seed) {
    rk::TwisterSeed(fpState.get(), static_cast<uint32_t>(seed));
    return;
  }
  uint32_t key[3];
  EncodeSeed(seed, key);
  rk::TwisterSeedByArray(fpState.get(), key, 3);
}

double MCRNGUTwister::GetNext() { return fpState ? rk::TwisterRes53(fpState.get()) : 0.0; }

}  // namespace MCCommonMath

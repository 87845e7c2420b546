#include "MCRandomTwister.h"

#include <algorithm>
#include <new>
#include <vector>

#include "MCRandom.h"
#include "RandomKernels.h"

namespace MCCommon {
MCRandom::~MCRandom() = default;
}  // namespace MCCommon

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
}  // namespace

MCRandomTwister::MCRandomTwister() : fpState(NewBlock()) {}

MCRandomTwister::MCRandomTwister(const MCRandomTwister& other) : fpState(NewBlock()) {
  if (fpState && other.fpState) {
    std::copy(other.fpState.get(), other.fpState.get() + rk::kTwisterBlockWords, fpState.get());
  }
}

MCRandomTwister& MCRandomTwister::operator=(const MCRandomTwister& other) {
  if (this != &other && fpState && other.fpState) {
    std::copy(other.fpState.get(), other.fpState.get() + rk::kTwisterBlockWords, fpState.get());
  }
  return *this;
}

MCRandomTwister::~MCRandomTwister() = default;

void MCRandomTwister::Initialize(unsigned long seed) {
  if (fpState) rk::TwisterSeed(fpState.get(), static_cast<uint32_t>(seed));
}

void MCRandomTwister::InitByArray(const unsigned long key[], unsigned long length) {
  if (!fpState) return;
  std::vector<uint32_t> words;
  if (key != nullptr) {
    words.reserve(length);
    for (unsigned long i = 0; i < length; ++i) words.push_back(static_cast<uint32_t>(key[i]));
  }
  rk::TwisterSeedByArray(fpState.get(), words.data(), words.size());
}

unsigned long MCRandomTwister::GetInteger32() {
  return fpState ? rk::TwisterNext(fpState.get()) : 0u;
}

long MCRandomTwister::GetInteger31() { return static_cast<long>(GetInteger32() >> 1); }

double MCRandomTwister::GetRealClosed() {
  return static_cast<double>(GetInteger32()) * (1.0 / 4294967295.0);
}

double MCRandomTwister::GetRealClosedOpen() {
  return static_cast<double>(GetInteger32()) * 2.3283064365386963e-10;
}

double MCRandomTwister::GetRealOpen() {
  return (static_cast<double>(GetInteger32()) + 0.5) * 2.3283064365386963e-10;
}

double MCRandomTwister::GetRealRes53() { return fpState ? rk::TwisterRes53(fpState.get()) : 0.0; }

}  // namespace MCCommonMath

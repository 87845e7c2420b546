#ifndef MCSTAT_SRC_MCMATH_RANDOM_RANDOMKERNELS_H_
#define MCSTAT_SRC_MCMATH_RANDOM_RANDOMKERNELS_H_

// Kernels shared by the uniform and variate generators. Internal to the library.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "MCMV.h"

namespace MCCommonMath {
namespace randomkernels {

// --- Runtime generator -------------------------------------------------------------------
// The classic 15-bit ANSI C generator (next = next * 1103515245 + 12345, value
// (next / 65536) % 32768) with srand/rand semantics and one process-wide state starting at
// 1. The library divides by 32767.0, which assumes exactly this range; the host runtime's
// own rand may have 31 bits.
constexpr int kRuntimeRandMax = 32767;
void RuntimeSrand(uint32_t seed);
int RuntimeRand();

// --- Multiplicative congruential generator -----------------------------------------------
constexpr uint64_t kCongruentialModulus = 2147483647u;  // 2^31 - 1
constexpr uint64_t kCongruentialMultiplier = 397204094u;
constexpr double kTwoToMinus31 = 4.656612873077393e-10;
inline uint32_t CongruentialStep(uint32_t state) {
  return static_cast<uint32_t>(static_cast<uint64_t>(state) * kCongruentialMultiplier %
                               kCongruentialModulus);
}

// --- MT19937 over a block of 624 state words followed by the position --------------------
constexpr std::size_t kTwisterWords = 624;
constexpr std::size_t kTwisterBlockWords = 625;
constexpr uint32_t kTwisterUnseeded = 625;
void TwisterSeed(uint32_t* block, uint32_t seed);
// An empty key counts as the key {0}.
void TwisterSeedByArray(uint32_t* block, const uint32_t* key, std::size_t length);
uint32_t TwisterNext(uint32_t* block);
inline double TwisterRes53(uint32_t* block) {
  const uint32_t a = TwisterNext(block) >> 5;
  const uint32_t b = TwisterNext(block) >> 6;
  return (a * 67108864.0 + b) * 1.1102230246251565e-16;
}

// --- Rejection loops ---------------------------------------------------------------------
// A correct uniform source leaves a rejection loop after a few rounds; this bound only stops
// a degenerate source (a constant, say) from hanging the host.
constexpr long kMaxRejections = 1000000;

// --- Standard normal by Kinderman and Ramage (1976) --------------------------------------
constexpr double kKRA = 2.216035867166471;
constexpr double kKRHalfA2 = 2.455407482284127;  // A^2 / 2

// g(t), the difference between the normal density and the triangular part of the method.
inline double KRAuxF(double t) {
  const double tri = kKRA - std::fabs(t);
  return 0.3989422804014327 * std::exp(-0.5 * t * t) - 0.180025191068563 * (tri > 0 ? tri : 0);
}

// One standard normal value from the uniform source u (a callable returning doubles); the
// system-missing value only when a rejection loop runs out.
template <class Uniform>
double KindermanRamage(Uniform&& u) {
  const double u1 = u();
  if (u1 < 0.884070402298758) {
    const double u2 = u();
    return kKRA * (1.13113163544418 * u1 + u2 - 1.0);
  }
  if (u1 >= 0.973310954173898) {
    for (long i = 0; i < kMaxRejections; ++i) {
      const double u2 = u();
      const double u3 = u();
      const double tail = kKRHalfA2 - std::log(u3);
      if (u2 * u2 * tail <= kKRHalfA2) {
        const double z = std::sqrt(2.0 * tail);
        return u1 >= 0.986655477086949 ? -z : z;
      }
    }
    return MCMV::Missing();
  }
  // Three regions left of the tail: each draws t from a triangle and corrects by g.
  double base = 0.479727404222441, slope = -0.59550713801594, box = 0.805577924423817,
         scale = 0.053377549506886;
  if (u1 >= 0.958720824790463) {
    base = kKRA, slope = -0.63083480192196, box = 0.755591531667601, scale = 0.034240503750111;
  } else if (u1 >= 0.911312780288703) {
    slope = 1.10547366102207, box = 0.87283497667179, scale = 0.049264496373128;
  }
  const bool lowRegion = u1 < 0.911312780288703;
  for (long i = 0; i < kMaxRejections; ++i) {
    const double u2 = u();
    const double u3 = u();
    const double t = base + slope * (u2 < u3 ? u2 : u3);
    if (lowRegion && t < 0) continue;
    const double hi = u2 > u3 ? u2 : u3;
    if (hi <= box || scale * std::fabs(u2 - u3) <= KRAuxF(t)) return u2 < u3 ? t : -t;
  }
  return MCMV::Missing();
}

}  // namespace randomkernels
}  // namespace MCCommonMath

#endif  // MCSTAT_SRC_MCMATH_RANDOM_RANDOMKERNELS_H_

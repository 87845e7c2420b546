// The numbers the benchmark models' records are drawn from, independent of the standard
// library's distributions: uniforms from the 53 high bits of a 64-bit Mersenne Twister, normals
// by Box-Muller. Each object with the same seed gives the same sequence.
#ifndef MCSTAT_BENCH_BENCHNUMBERS_H_
#define MCSTAT_BENCH_BENCHNUMBERS_H_

#include <cmath>
#include <cstdint>
#include <random>

namespace bench {

class Numbers {
 public:
  explicit Numbers(std::uint64_t seed) : fGen(seed) {}
  double Uniform() { return (static_cast<double>(fGen() >> 11) + 0.5) * 0x1.0p-53; }
  double Normal() {
    const double r = std::sqrt(-2.0 * std::log(Uniform()));
    return r * std::cos(6.283185307179586 * Uniform());
  }

 private:
  std::mt19937_64 fGen;
};

}  // namespace bench

#endif  // MCSTAT_BENCH_BENCHNUMBERS_H_

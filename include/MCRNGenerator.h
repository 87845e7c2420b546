#ifndef MCSTAT_MCRNGENERATOR_H_
#define MCSTAT_MCRNGENERATOR_H_

#include <cstdint>
#include <memory>

#include "mcstat_export.h"

namespace MCCommonMath {

// A random number generator seeded by a double. The uniform generators below and the
// variate generators (MCRNGNormal, MCRNGBeta, MCRNGBinomial) share this interface.
class MCSTAT_EXPORT MCRNGenerator {
 public:
  MCRNGenerator() = default;
  MCRNGenerator(const MCRNGenerator&) = default;
  MCRNGenerator& operator=(const MCRNGenerator&) = default;
  virtual ~MCRNGenerator();

  virtual void SetSeed(double seed) = 0;
  virtual double GetNext() = 0;
};

// The multiplicative congruential generator state = state * 397204094 mod (2^31 - 1),
// values state * 2^-31: the same sequence as the portable generator of MCURandom.
class MCSTAT_EXPORT MCRNGUCongruential : public MCRNGenerator {
 public:
  MCRNGUCongruential() = default;
  MCRNGUCongruential(const MCRNGUCongruential&) = default;
  MCRNGUCongruential& operator=(const MCRNGUCongruential&) = default;
  ~MCRNGUCongruential() override;

  // state = floor(|seed|), 1 when that is 0 or seed is not a number, 2^31 - 1 when larger.
  void SetSeed(double seed) override;
  // Advances the state; value in [0, 1).
  double GetNext() override;
  int32_t GetState() const { return fState; }

 private:
  int32_t fState = 1;
};

// MT19937 with 53-bit values in [0, 1). A whole seed in [0, 2^31 - 1] seeds by one word;
// any other finite seed is encoded exactly into three words (sign, binary exponent and
// significand) and seeds by array. An infinite or NaN seed is ignored (the state stays).
class MCSTAT_EXPORT MCRNGUTwister : public MCRNGenerator {
 public:
  MCRNGUTwister();
  MCRNGUTwister(const MCRNGUTwister& other);
  MCRNGUTwister& operator=(const MCRNGUTwister& other);
  ~MCRNGUTwister() override;

  void SetSeed(double seed) override;
  double GetNext() override;

  // The three-word key of a finite seed that is not a whole number in [0, 2^31 - 1].
  static void EncodeSeed(double seed, uint32_t key[3]);

 private:
  std::unique_ptr<uint32_t[]> fpState;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCRNGENERATOR_H_

#ifndef MCSTAT_MCURANDOM_H_
#define MCSTAT_MCURANDOM_H_

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>

#include "MCRandom.h"
#include "MCRandomTwister.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// The library's default source of uniform numbers. The source is chosen at construction,
// in this order of precedence:
//  1. a host generator (MCCommon::MCRandom, not owned) when one is given;
//  2. the runtime generator (15-bit, values rand() / 32767.0) when usePortable is false;
//  3. the portable congruential generator seed = seed * 397204094 mod (2^31 - 1), value
//     seed * 2^-31, when usePortable is true and useTwister false;
//  4. an owned Mersenne Twister (MCRandomTwister), values in (0, 1), otherwise.
// The Twister exists exactly when the use-twister flag is set; that flag implies the
// portable flag and no host generator.
class MCSTAT_EXPORT MCURandom {
 public:
  // A Twister seeded with 34567.
  MCURandom();
  // Stores the values; the use-twister flag becomes usePortable && useTwister && !user,
  // and when set the Twister is seeded with seed (low 32 bits).
  MCURandom(unsigned long seed, bool usePortable, bool useTwister, MCCommon::MCRandom* user);
  // Copies seed, flags and host pointer; a Twister in the copy starts afresh from the seed.
  MCURandom(const MCURandom& other);
  MCURandom& operator=(const MCURandom& other);
  ~MCURandom();

  // Stores seed (low 32 bits). The runtime generator is seeded when the portable flag is
  // clear, the Twister when there is one; the portable generator takes seed as its state.
  void SetSeed(unsigned long seed);
  // Stores b; false frees the Twister (the runtime generator is used from then on).
  // True never creates a Twister.
  void SetUsePortable(bool b);
  bool GetUsePortable() const { return fbUsePortable; }
  bool GetUseTwister() const { return fbUseTwister; }
  MCCommon::MCRandom* GetUserRNG() const { return fpUserRNG; }
  // The seed field: the last seed set, or the portable generator's running state.
  uint32_t GetSeed() const { return fSeed; }

  // The next uniform value from the selected source.
  double GetRandom();

  // Binary save, 20 bytes little-endian: "MCUR", the seed as a double, the portable and
  // twister flags as 32-bit 1 or 0. Returns 20, or 0 with nothing written when the stream
  // is not good.
  int WriteObject(std::ostream& os) const;
  // Binary restore. Returns 20; 0 with the object unchanged when the stream is not good,
  // the magic differs, the record is short or the seed is not a 32-bit unsigned value.
  int ReadObject(std::istream& is);
  // Object-stream save: object "MCURandom" with the seed (Double) and the two flags (Int),
  // indented by tabs. Returns 5, or 0 when the stream is not good.
  int WriteObjectXML(std::ostream& os, int tabs) const;
  // Object-stream restore. Returns 5; on failure writes "Failure reading MCURandom!" to
  // standard error and returns 0 with the object unchanged.
  int ReadObjectXML(std::istream& is);

  // Writes the seed and the flags to the diagnostic stream.
  void Display() const;

 private:
  // After a restore: the flags decide again whether a Twister exists; one that exists
  // restarts from the seed.
  void ApplyRestored(uint32_t seed, bool usePortable, bool useTwister);

  uint32_t fSeed = 34567;
  bool fbUsePortable = true;
  bool fbUseTwister = true;
  std::unique_ptr<MCRandomTwister> fpTwister;
  MCCommon::MCRandom* fpUserRNG = nullptr;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCURANDOM_H_

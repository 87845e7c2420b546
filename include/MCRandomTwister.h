#ifndef MCSTAT_MCRANDOMTWISTER_H_
#define MCSTAT_MCRANDOMTWISTER_H_

#include <cstdint>
#include <memory>

#include "mcstat_export.h"

namespace MCCommonMath {

// The Mersenne Twister MT19937 of Matsumoto and Nishimura (2002 reference with seeding by
// array), bit for bit. The state is one block of 625 words: 624 state words and the
// position. A generator that was never seeded seeds itself with 5489 on its first draw.
// When the block cannot be allocated the generator stays empty: seeding does nothing and
// every draw gives 0.
class MCSTAT_EXPORT MCRandomTwister {
 public:
  MCRandomTwister();
  // Copies the whole state, position included.
  MCRandomTwister(const MCRandomTwister& other);
  MCRandomTwister& operator=(const MCRandomTwister& other);
  ~MCRandomTwister();

  // Seeds by one word (the low 32 bits of seed).
  void Initialize(unsigned long seed);
  // Seeds by the low 32 bits of key[0 .. length-1]. An empty or null key seeds as the
  // one-word key {0}.
  void InitByArray(const unsigned long key[], unsigned long length);

  // The next tempered 32-bit word.
  unsigned long GetInteger32();
  // The next word shifted right by one, in [0, 2^31).
  long GetInteger31();
  // word / (2^32 - 1), in [0, 1].
  double GetRealClosed();
  // word * 2^-32, in [0, 1).
  double GetRealClosedOpen();
  // (word + 0.5) * 2^-32, in (0, 1).
  double GetRealOpen();
  // 53-bit value from two words (first >> 5, second >> 6), in [0, 1).
  double GetRealRes53();

 private:
  std::unique_ptr<uint32_t[]> fpState;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCRANDOMTWISTER_H_

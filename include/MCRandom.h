#ifndef MCSTAT_MCRANDOM_H_
#define MCSTAT_MCRANDOM_H_

#include "mcstat_export.h"

namespace MCCommon {

// A uniform generator supplied by the host. MCURandom, when given one, draws every uniform
// value from it instead of from its own generators. The host owns the object.
class MCSTAT_EXPORT MCRandom {
 public:
  MCRandom() = default;
  MCRandom(const MCRandom&) = default;
  MCRandom& operator=(const MCRandom&) = default;
  virtual ~MCRandom();

  // The next uniform value in [0, 1).
  virtual double GetRandom() = 0;
};

}  // namespace MCCommon

#endif  // MCSTAT_MCRANDOM_H_

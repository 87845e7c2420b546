#ifndef MCSTAT_REGRESSION_MCREGLIMITS_H_
#define MCSTAT_REGRESSION_MCREGLIMITS_H_

// What the models may allocate. Internal to the library; exported only for the tests.

#include <cstddef>

#include "MCStatus.h"
#include "mcstat_export.h"

// A model whose matrices cannot be held is refused (305) before any of them is allocated: on a
// system that overcommits memory, an allocation beyond it succeeds and the process is killed
// later, when the pages are touched.
class MCSTAT_EXPORT MCRegLimits {
 public:
  // Largest number of parameters of a model's packed matrices (order P + 1 for the linear
  // model): the integer part of the square root of 536870911, less one.
  static constexpr int kMaxParameters = 23169;

  // Bytes of memory this process can ever have: the physical memory, or the memory limit of
  // its control group when that is lower; 0 when neither is known.
  static double MemoryLimit();
  // Whether bytes can be held: not more than MemoryLimit() (always when that is unknown).
  static bool FitsInMemory(double bytes);
  // Elements of a packed lower-triangular matrix of order n.
  static double PackedSize(double n) { return n * (n + 1.0) / 2.0; }

  // Runs a step of a component for the host: its status, or 305 when an allocation failed
  // (or anything else was thrown), since nothing may be thrown across the library's boundary.
  template <typename Step>
  static MCCommon::MCStatus Guarded(Step step) noexcept {
    try {
      return step();
    } catch (...) {
      return MCCommon::MCStatus(305, false);
    }
  }
};

#endif  // MCSTAT_REGRESSION_MCREGLIMITS_H_

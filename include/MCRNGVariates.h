#ifndef MCSTAT_MCRNGVARIATES_H_
#define MCSTAT_MCRNGVARIATES_H_

#include <memory>

#include "MCRNGenerator.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// Non-uniform generators that draw their uniforms from another MCRNGenerator. Until one is
// given with SetURNGenerator (not owned; it must outlive its use), each generator creates
// and owns an MCRNGUCongruential on SetSeed or on its first draw (state 1 unless seeded).
// Copies of a generator that owns its uniform source get their own source in the same
// state; a source that is not owned is shared.

// Normal variates by Kinderman and Ramage's (1976) method.
class MCSTAT_EXPORT MCRNGNormal : public MCRNGenerator {
 public:
  // (0, 1); with arguments, sd < 0 gives (0, 1).
  MCRNGNormal();
  MCRNGNormal(double mean, double sd);
  MCRNGNormal(const MCRNGNormal& other);
  MCRNGNormal& operator=(const MCRNGNormal& other);
  ~MCRNGNormal() override;

  // sd < 0 gives (0, 1).
  void SetParameters(double mean, double sd);
  // Seeds the uniform source (created and owned when there is none).
  void SetSeed(double seed) override;
  // Uses g from now on, freeing an owned source.
  void SetURNGenerator(MCRNGenerator& g);
  // mean + sd z with the stored parameters; the system-missing value only when the uniform
  // source is degenerate (a rejection loop never ends).
  double GetNext() override;
  // The same with the given parameters (sd < 0 means (0, 1)).
  double GetNext(double mean, double sd);

  struct Impl;

 private:
  std::unique_ptr<Impl> fpImpl;
};

// Beta variates: uniform and inversion cases for a shape of 1, a normal envelope for both
// shapes above 1, Johnk's method otherwise, and the inverse distribution function after
// 5000 rejections.
class MCSTAT_EXPORT MCRNGBeta : public MCRNGenerator {
 public:
  // (1, 1); with arguments, unless a > 0 and b > 0 both become 1.
  MCRNGBeta();
  MCRNGBeta(double a, double b);
  MCRNGBeta(const MCRNGBeta& other);
  MCRNGBeta& operator=(const MCRNGBeta& other);
  ~MCRNGBeta() override;

  // Unless a > 0 and b > 0 both become 1.
  void SetParameters(double a, double b);
  void SetSeed(double seed) override;
  // Also handed to the inner normal generator.
  void SetURNGenerator(MCRNGenerator& g);
  double GetNext() override;
  // A draw with shapes a and b; -1.0 when a <= 0 or b <= 0.
  double GetNext(double a, double b);

  struct Impl;

 private:
  std::unique_ptr<Impl> fpImpl;
};

// Binomial variates by median splitting with beta variates while 100 or more trials remain,
// then trial by trial.
class MCSTAT_EXPORT MCRNGBinomial : public MCRNGenerator {
 public:
  // (0, 0); with arguments, unless n >= 0 is a whole number and 0 <= p <= 1, both
  // become 0.
  MCRNGBinomial();
  MCRNGBinomial(double n, double p);
  MCRNGBinomial(const MCRNGBinomial& other);
  MCRNGBinomial& operator=(const MCRNGBinomial& other);
  ~MCRNGBinomial() override;

  // Unless n >= 0 is a whole number and 0 <= p <= 1, both become 0.
  void SetParameters(double n, double p);
  void SetSeed(double seed) override;
  // Also handed to the inner beta generator.
  void SetURNGenerator(MCRNGenerator& g);
  // The number of successes as a double.
  double GetNext() override;
  // A draw with n trials of probability p; 0 when n < 0, n is not whole, or p is outside
  // [0, 1].
  double GetNext(double n, double p);

  struct Impl;

 private:
  std::unique_ptr<Impl> fpImpl;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCRNGVARIATES_H_

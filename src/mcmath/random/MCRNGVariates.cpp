#include "MCRNGVariates.h"

#include <cmath>

#include "MCDistFun.h"
#include "MCMV.h"
#include "RandomKernels.h"

namespace MCCommonMath {

namespace rk = randomkernels;

namespace {
constexpr int kMaxAttempts = 5000;
constexpr long kSplitLimit = 100;
constexpr double kMaxWholeTrials = 9007199254740992.0;  // 2^53: every double below is exact

// The uniform source of a variate generator: either an owned congruential generator or one
// lent by the caller.
class UniformSource {
 public:
  UniformSource() = default;
  UniformSource(const UniformSource& other) { CopyFrom(other); }
  UniformSource& operator=(const UniformSource& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }

  // True when an owned source had to be created.
  bool Ensure() {
    if (fpURNG != nullptr) return false;
    fpOwned = std::make_unique<MCRNGUCongruential>();
    fpURNG = fpOwned.get();
    return true;
  }
  void Use(MCRNGenerator& g) {
    if (&g == fpOwned.get()) return;
    fpOwned.reset();
    fpURNG = &g;
  }
  MCRNGenerator& Get() { return *fpURNG; }
  bool Has() const { return fpURNG != nullptr; }

 private:
  void CopyFrom(const UniformSource& other) {
    if (other.fpOwned) {
      fpOwned = std::make_unique<MCRNGUCongruential>(*other.fpOwned);
      fpURNG = fpOwned.get();
    } else {
      fpOwned.reset();
      fpURNG = other.fpURNG;
    }
  }

  MCRNGenerator* fpURNG = nullptr;
  std::unique_ptr<MCRNGUCongruential> fpOwned;
};

// A uniform value above 0, zeros redrawn; -1 when the source only gives zeros.
double PositiveUniform(MCRNGenerator& g) {
  for (long i = 0; i < rk::kMaxRejections; ++i) {
    const double u = g.GetNext();
    if (u > 0) return u;
  }
  return -1.0;
}

bool ValidBinomial(double n, double p) {
  return n >= 0 && n <= kMaxWholeTrials && std::floor(n) == n && p >= 0 && p <= 1;
}
}  // namespace

// --- MCRNGNormal -------------------------------------------------------------------------

struct MCRNGNormal::Impl {
  UniformSource fURNG;
  double fMean = 0.0;
  double fSD = 1.0;

  MCRNGenerator& Source() {
    fURNG.Ensure();
    return fURNG.Get();
  }
  double Draw(double mean, double sd) {
    MCRNGenerator& g = Source();
    const double z = rk::KindermanRamage([&g]() { return g.GetNext(); });
    if (MCMV::IsMissing(z)) return z;
    return mean + sd * z;
  }
};

MCRNGNormal::MCRNGNormal() : fpImpl(std::make_unique<Impl>()) {}
MCRNGNormal::MCRNGNormal(double mean, double sd) : MCRNGNormal() { SetParameters(mean, sd); }
MCRNGNormal::MCRNGNormal(const MCRNGNormal& other)
    : MCRNGenerator(other), fpImpl(std::make_unique<Impl>(*other.fpImpl)) {}
MCRNGNormal& MCRNGNormal::operator=(const MCRNGNormal& other) {
  if (this != &other) *fpImpl = *other.fpImpl;
  return *this;
}
MCRNGNormal::~MCRNGNormal() = default;

void MCRNGNormal::SetParameters(double mean, double sd) {
  const bool ok = sd >= 0;
  fpImpl->fMean = ok ? mean : 0.0;
  fpImpl->fSD = ok ? sd : 1.0;
}

void MCRNGNormal::SetSeed(double seed) { fpImpl->Source().SetSeed(seed); }
void MCRNGNormal::SetURNGenerator(MCRNGenerator& g) { fpImpl->fURNG.Use(g); }
double MCRNGNormal::GetNext() { return fpImpl->Draw(fpImpl->fMean, fpImpl->fSD); }
double MCRNGNormal::GetNext(double mean, double sd) {
  return sd < 0 ? fpImpl->Draw(0.0, 1.0) : fpImpl->Draw(mean, sd);
}

// --- MCRNGBeta ---------------------------------------------------------------------------

struct MCRNGBeta::Impl {
  UniformSource fURNG;
  MCRNGNormal fNormal;  // standard, always drawing from fURNG
  double fA = 1.0;
  double fB = 1.0;
  double fMaxExp = 709.0;
  double fMinExp = -708.0;

  Impl() = default;
  Impl(const Impl& other) : fURNG(other.fURNG), fNormal(other.fNormal), fA(other.fA), fB(other.fB) {
    if (fURNG.Has()) fNormal.SetURNGenerator(fURNG.Get());
  }
  Impl& operator=(const Impl& other) {
    if (this == &other) return *this;
    fURNG = other.fURNG;
    fNormal = other.fNormal;
    fA = other.fA;
    fB = other.fB;
    if (fURNG.Has()) fNormal.SetURNGenerator(fURNG.Get());
    return *this;
  }

  MCRNGenerator& Source() {
    if (fURNG.Ensure()) fNormal.SetURNGenerator(fURNG.Get());
    return fURNG.Get();
  }
  void Use(MCRNGenerator& g) {
    fURNG.Use(g);
    fNormal.SetURNGenerator(g);
  }
  // exp(l), or 0 below the underflow limit.
  double Exp(double l) const { return l < fMinExp ? 0.0 : std::exp(l); }

  double Draw(double a, double b);
  bool NormalEnvelope(double a, double b, double& x);
  bool Johnk(double a, double b, double& x);
};

double MCRNGBeta::Impl::Draw(double a, double b) {
  if (!(a > 0) || !(b > 0)) return -1.0;
  MCRNGenerator& g = Source();
  if (a == 1.0 && b == 1.0) return g.GetNext();
  if (b == 1.0) {
    const double u = g.GetNext();
    return u <= 0 ? 0.0 : Exp(std::log(u) / a);
  }
  if (a == 1.0) {
    const double u = g.GetNext();
    return u <= 0 ? 1.0 : 1.0 - Exp(std::log(u) / b);
  }
  double x = 0.0;
  if (a > 1.0 && b > 1.0 ? NormalEnvelope(a, b, x) : Johnk(a, b, x)) return x;
  return MCDistFun::IdfBeta(g.GetNext(), a, b);
}

// Rejection from a normal around the mode; false after kMaxAttempts rejections.
bool MCRNGBeta::Impl::NormalEnvelope(double a, double b, double& x) {
  MCRNGenerator& g = fURNG.Get();
  const double s = a + b - 2.0;
  const double mode = (a - 1.0) / s;
  const double sigma = 0.5 / std::sqrt(s);
  const double logConst = s * std::log(s);
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    double z = 0.0;
    long tries = 0;
    do {
      z = fNormal.GetNext();
      if (MCMV::IsMissing(z) || ++tries > rk::kMaxRejections) return false;
      x = mode + sigma * z;
    } while (!(x >= 0.0 && x <= 1.0));
    const double u = PositiveUniform(g);
    if (u < 0) return false;
    const double bound = (a - 1.0) * std::log(x / (a - 1.0)) +
                         (b - 1.0) * std::log((1.0 - x) / (b - 1.0)) + logConst + 0.5 * z * z;
    if (std::log(u) <= bound) return true;
  }
  return false;
}

// Johnk's method for shapes not both above 1; false after kMaxAttempts rejections.
bool MCRNGBeta::Impl::Johnk(double a, double b, double& x) {
  MCRNGenerator& g = fURNG.Get();
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    const double u = PositiveUniform(g);
    if (u < 0) return false;
    const double xa = Exp(std::log(u) / a);
    const double v = PositiveUniform(g);
    if (v < 0) return false;
    const double yb = Exp(std::log(v) / b);
    const double sum = xa + yb;
    if (sum > 0.0 && sum <= 1.0) {
      x = xa / sum;
      return true;
    }
  }
  return false;
}

MCRNGBeta::MCRNGBeta() : fpImpl(std::make_unique<Impl>()) {}
MCRNGBeta::MCRNGBeta(double a, double b) : MCRNGBeta() { SetParameters(a, b); }
MCRNGBeta::MCRNGBeta(const MCRNGBeta& other)
    : MCRNGenerator(other), fpImpl(std::make_unique<Impl>(*other.fpImpl)) {}
MCRNGBeta& MCRNGBeta::operator=(const MCRNGBeta& other) {
  if (this != &other) *fpImpl = *other.fpImpl;
  return *this;
}
MCRNGBeta::~MCRNGBeta() = default;

void MCRNGBeta::SetParameters(double a, double b) {
  const bool ok = a > 0 && b > 0;
  fpImpl->fA = ok ? a : 1.0;
  fpImpl->fB = ok ? b : 1.0;
}

void MCRNGBeta::SetSeed(double seed) { fpImpl->Source().SetSeed(seed); }
void MCRNGBeta::SetURNGenerator(MCRNGenerator& g) { fpImpl->Use(g); }
double MCRNGBeta::GetNext() { return fpImpl->Draw(fpImpl->fA, fpImpl->fB); }
double MCRNGBeta::GetNext(double a, double b) { return fpImpl->Draw(a, b); }

// --- MCRNGBinomial -----------------------------------------------------------------------

struct MCRNGBinomial::Impl {
  UniformSource fURNG;
  MCRNGBeta fBeta;  // always drawing from fURNG
  double fN = 0.0;
  double fP = 0.0;

  Impl() = default;
  Impl(const Impl& other) : fURNG(other.fURNG), fBeta(other.fBeta), fN(other.fN), fP(other.fP) {
    if (fURNG.Has()) fBeta.SetURNGenerator(fURNG.Get());
  }
  Impl& operator=(const Impl& other) {
    if (this == &other) return *this;
    fURNG = other.fURNG;
    fBeta = other.fBeta;
    fN = other.fN;
    fP = other.fP;
    if (fURNG.Has()) fBeta.SetURNGenerator(fURNG.Get());
    return *this;
  }

  MCRNGenerator& Source() {
    if (fURNG.Ensure()) fBeta.SetURNGenerator(fURNG.Get());
    return fURNG.Get();
  }
  void Use(MCRNGenerator& g) {
    fURNG.Use(g);
    fBeta.SetURNGenerator(g);
  }
  double Draw(double n, double p);
};

double MCRNGBinomial::Impl::Draw(double n, double p) {
  if (n <= 0 || p <= 0) return 0.0;
  // With p = 1 every trial succeeds; rounding in the interval bookkeeping must not lose any.
  if (p >= 1) return n;
  MCRNGenerator& g = Source();
  long long count = 0;
  auto m = static_cast<long long>(n);
  double lo = 0.0, width = 1.0, q = p;
  // The median of the m remaining uniforms splits the interval: the trials on one side of
  // it are all successes or all failures, the other side carries on.
  while (m >= kSplitLimit) {
    if (m % 2 == 0) {
      if (g.GetNext() <= q) ++count;
      --m;
    }
    const long long k = (m + 1) / 2;
    const double y = width * fBeta.GetNext(static_cast<double>(k), static_cast<double>(k));
    const double position = lo + y;
    if (p < position) {
      m = k - 1;
      width = y;
      q = (p - lo) / y;
    } else {
      count += k;
      m = k - 1;
      lo = position;
      width -= y;
      q = (p - position) / width;
    }
  }
  if (q > 0 && q < 1) {
    for (long long i = 0; i < m; ++i) {
      if (g.GetNext() <= q) ++count;
    }
  } else if (q >= 1) {
    count += m;  // q above 1 can only come from rounding
  }
  return static_cast<double>(count);
}

MCRNGBinomial::MCRNGBinomial() : fpImpl(std::make_unique<Impl>()) {}
MCRNGBinomial::MCRNGBinomial(double n, double p) : MCRNGBinomial() { SetParameters(n, p); }
MCRNGBinomial::MCRNGBinomial(const MCRNGBinomial& other)
    : MCRNGenerator(other), fpImpl(std::make_unique<Impl>(*other.fpImpl)) {}
MCRNGBinomial& MCRNGBinomial::operator=(const MCRNGBinomial& other) {
  if (this != &other) *fpImpl = *other.fpImpl;
  return *this;
}
MCRNGBinomial::~MCRNGBinomial() = default;

void MCRNGBinomial::SetParameters(double n, double p) {
  const bool ok = ValidBinomial(n, p);
  fpImpl->fN = ok ? n : 0.0;
  fpImpl->fP = ok ? p : 0.0;
}

void MCRNGBinomial::SetSeed(double seed) { fpImpl->Source().SetSeed(seed); }
void MCRNGBinomial::SetURNGenerator(MCRNGenerator& g) { fpImpl->Use(g); }
double MCRNGBinomial::GetNext() { return fpImpl->Draw(fpImpl->fN, fpImpl->fP); }
double MCRNGBinomial::GetNext(double n, double p) {
  return ValidBinomial(n, p) ? fpImpl->Draw(n, p) : 0.0;
}

}  // namespace MCCommonMath

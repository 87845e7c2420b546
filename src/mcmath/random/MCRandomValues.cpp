#include "MCRandomValues.h"

#include <cmath>

#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MCPower.h"
#include "RandomKernels.h"

namespace MCCommonMath {

namespace rk = randomkernels;
using MCCommon::MCComponentDisplay;

namespace {
constexpr double kE = 2.718281828459045;

// Row-oriented Cholesky factorisation in place, L in the packed lower triangle. A pivot at
// or below tol times its reference (the diagonal, or 1 where the diagonal is below tol)
// marks a redundant row: its column of L is 0. Returns the number of redundant rows.
int CholeskyInPlace(MCSymMatrix& m, double tol) {
  const int n = m.GetNRows();
  std::vector<double> ref;
  m.GetNCheckDiagonal(ref, tol, 1.0);
  std::vector<double>& a = m.AsVector();
  int redundant = 0;
  for (int i = 0; i < n; ++i) {
    const std::size_t ri = static_cast<std::size_t>(i) * (i + 1) / 2;
    for (int j = 0; j <= i; ++j) {
      const std::size_t rj = static_cast<std::size_t>(j) * (j + 1) / 2;
      double s = a[ri + j];
      for (int k = 0; k < j; ++k) s -= a[ri + k] * a[rj + k];
      if (j == i) {
        if (s <= ref[i] * tol) {
          a[ri + i] = 0.0;
          ++redundant;
        } else {
          a[ri + i] = std::sqrt(s);
        }
      } else {
        const double pivot = a[rj + j];
        a[ri + j] = pivot == 0.0 ? 0.0 : s / pivot;
      }
    }
  }
  return redundant;
}

const char* TypeName(int type) {
  switch (type) {
    case MCRandomValues::kUniform:
      return "Uniform";
    case MCRandomValues::kNormal:
      return "Normal";
    case MCRandomValues::kChiSquare:
      return "Chi-square";
    default:
      return "Wishart";
  }
}
}  // namespace

MCRandomValues::MCRandomValues()
    : fpOwnedURNG(std::make_unique<MCURandom>(34567, true, true, nullptr)),
      fpURNG(fpOwnedURNG.get()) {}

MCRandomValues::MCRandomValues(const MCRandomValues& other) { *this = other; }

MCRandomValues& MCRandomValues::operator=(const MCRandomValues& other) {
  if (this == &other) return *this;
  fSeed = other.fSeed;
  fTolerance = other.fTolerance;
  if (other.fpOwnedURNG) {
    fpOwnedURNG = std::make_unique<MCURandom>(*other.fpOwnedURNG);
    fpURNG = fpOwnedURNG.get();
  } else {
    fpOwnedURNG.reset();
    fpURNG = other.fpURNG;
  }
  fDistType = other.fDistType;
  fbUnivariate = other.fbUnivariate;
  fNVariates = other.fNVariates;
  fbStandard = other.fbStandard;
  fUniLow = other.fUniLow;
  fUniHigh = other.fUniHigh;
  fvUniLows = other.fvUniLows;
  fvUniHighs = other.fvUniHighs;
  fNorMean = other.fNorMean;
  fvNorMeans = other.fvNorMeans;
  fNorSigma2 = other.fNorSigma2;
  fmNorCov = other.fmNorCov;
  fChiDF = other.fChiDF;
  fvChiDFs = other.fvChiDFs;
  fWishartP = other.fWishartP;
  fWishartM = other.fWishartM;
  fmWishartScale = other.fmWishartScale;
  fNorSigma = other.fNorSigma;
  fmNorChol = other.fmNorChol;
  fmWishartChol = other.fmWishartChol;
  return *this;
}

MCRandomValues::~MCRandomValues() = default;

void MCRandomValues::SetSeed(unsigned long s) {
  fSeed = static_cast<uint32_t>(s);
  fpOwnedURNG = std::make_unique<MCURandom>(fSeed, true, true, nullptr);
  fpURNG = fpOwnedURNG.get();
}

bool MCRandomValues::SetTolerance(double t) {
  if (!(t > 0)) return false;
  fTolerance = t;
  return true;
}

bool MCRandomValues::SetURNGPtr(MCURandom* g) {
  if (g == nullptr) return false;
  if (g != fpOwnedURNG.get()) fpOwnedURNG.reset();
  fpURNG = g;
  return true;
}

// --- Settings ----------------------------------------------------------------------------

void MCRandomValues::SetParamUniform() {
  fDistType = kUniform;
  fbUnivariate = true;
  fbStandard = true;
  fUniLow = 0.0;
  fUniHigh = 1.0;
}

bool MCRandomValues::SetParamUniform(double lo, double hi) {
  if (!(lo < hi)) return false;
  fDistType = kUniform;
  fbUnivariate = true;
  fbStandard = lo == 0.0 && hi == 1.0;
  fUniLow = lo;
  fUniHigh = hi;
  return true;
}

bool MCRandomValues::SetParamUniform(int n) {
  if (n <= 0) return false;
  if (n == 1) {
    SetParamUniform();
    fNVariates = 1;
    return true;
  }
  fDistType = kUniform;
  fbUnivariate = false;
  fNVariates = n;
  fbStandard = true;
  fvUniLows.assign(n, 0.0);
  fvUniHighs.assign(n, 1.0);
  return true;
}

bool MCRandomValues::SetParamUniform(const std::vector<double>& lo, const std::vector<double>& hi) {
  if (lo.empty() || lo.size() != hi.size()) return false;
  bool standard = true;
  for (std::size_t i = 0; i < lo.size(); ++i) {
    if (!(hi[i] > lo[i])) return false;
    standard = standard && lo[i] == 0.0 && hi[i] == 1.0;
  }
  if (lo.size() == 1) {
    fNVariates = 1;
    return SetParamUniform(lo[0], hi[0]);
  }
  fDistType = kUniform;
  fbUnivariate = false;
  fNVariates = static_cast<int32_t>(lo.size());
  fbStandard = standard;
  fvUniLows = lo;
  fvUniHighs = hi;
  return true;
}

void MCRandomValues::SetParamNormal() {
  fDistType = kNormal;
  fbUnivariate = true;
  fbStandard = true;
  fNorMean = 0.0;
  fNorSigma2 = 1.0;
  fNorSigma = 1.0;
}

bool MCRandomValues::SetParamNormal(double mean, double var) {
  if (!(var > 0)) return false;
  fDistType = kNormal;
  fbUnivariate = true;
  fbStandard = false;
  fNorMean = mean;
  fNorSigma2 = var;
  fNorSigma = std::sqrt(var);
  return true;
}

bool MCRandomValues::SetParamNormal(int n) {
  if (n <= 0) return false;
  if (n == 1) {
    SetParamNormal();
    fNVariates = 1;
    return true;
  }
  fDistType = kNormal;
  fbUnivariate = false;
  fNVariates = n;
  fbStandard = true;
  fvNorMeans.assign(n, 0.0);
  fNorSigma2 = 1.0;
  fNorSigma = 1.0;
  fmNorCov.SetNRows(n);
  fmNorCov.AddToDiagonal(1.0);
  return true;
}

bool MCRandomValues::SetParamNormal(const std::vector<double>& means, double s2,
                                    const MCSymMatrixData& cov) {
  const int n = static_cast<int>(means.size());
  if (n == 0 || cov.GetNRows() != n || !(s2 > 0)) return false;
  if (n > 1) {
    MCSymMatrix chol;
    chol.SetData(cov);
    if (CholeskyInPlace(chol, fTolerance) >= n) return false;
    fmNorChol = chol;
  }
  fDistType = kNormal;
  fbUnivariate = n == 1;
  fNVariates = n;
  fbStandard = false;
  fvNorMeans = means;
  fNorSigma2 = s2;
  fNorSigma = std::sqrt(s2);
  fmNorCov.SetData(cov);
  if (n == 1) fNorMean = means[0];
  return true;
}

bool MCRandomValues::SetParamChi(double df) {
  if (!(df > 0)) return false;
  fDistType = kChiSquare;
  fbUnivariate = true;
  fbStandard = false;
  fChiDF = df;
  return true;
}

bool MCRandomValues::SetParamWishart(int p, double m) {
  if (p < 1 || !(m >= p)) return false;
  fDistType = kWishart;
  fbUnivariate = false;
  fNVariates = p;
  fbStandard = true;
  fWishartP = p;
  fWishartM = m;
  fmWishartScale.SetNRows(p);
  fmWishartScale.AddToDiagonal(1.0);
  return true;
}

bool MCRandomValues::SetParamWishart(int p, double m, const MCSymMatrixData& scale) {
  if (p < 1 || !(m >= p) || scale.GetNRows() != p) return false;
  MCSymMatrix chol;
  chol.SetData(scale);
  if (CholeskyInPlace(chol, fTolerance) >= p) return false;
  fDistType = kWishart;
  fbUnivariate = false;
  fNVariates = p;
  fbStandard = false;
  fWishartP = p;
  fWishartM = m;
  fmWishartScale.SetData(scale);
  fmWishartChol = chol;
  return true;
}

// --- Draws -------------------------------------------------------------------------------

double MCRandomValues::GetRandom() {
  if (!fbUnivariate) return MCMV::Missing();
  switch (fDistType) {
    case kUniform:
      return RVUni(fUniLow, fUniHigh);
    case kNormal:
      return RVNor(fNorMean, fNorSigma);
    case kChiSquare:
      return RVChi(fChiDF);
    default:
      return MCMV::Missing();
  }
}

bool MCRandomValues::GetRandom(std::vector<double>& x) {
  if (fbUnivariate || (fDistType != kUniform && fDistType != kNormal)) return false;
  const auto n = static_cast<std::size_t>(fNVariates);
  x.resize(n);
  if (fDistType == kUniform) {
    for (std::size_t i = 0; i < n; ++i) x[i] = RVUni(fvUniLows[i], fvUniHighs[i]);
    return true;
  }
  if (fbStandard) {
    for (std::size_t i = 0; i < n; ++i) x[i] = RVSNor();
    return true;
  }
  std::vector<double> z(n), y;
  for (std::size_t i = 0; i < n; ++i) z[i] = RVSNor();
  if (!fmNorChol.ComputeLV(z, y)) return false;
  for (std::size_t i = 0; i < n; ++i) x[i] = fvNorMeans[i] + fNorSigma * y[i];
  return true;
}

bool MCRandomValues::GetRandom(MCSymMatrix& W) {
  if (fDistType != kWishart || fbUnivariate) return false;
  const int p = fWishartP;
  // Bartlett's decomposition: T lower triangular with chi diagonals and normal below.
  std::vector<double> t(static_cast<std::size_t>(p) * (p + 1) / 2);
  for (int i = 0; i < p; ++i) {
    const std::size_t ri = static_cast<std::size_t>(i) * (i + 1) / 2;
    const double chi2 = RVGam((fWishartM - i) / 2.0, 0.5);
    if (MCMV::IsMissing(chi2) || !(chi2 > 0)) return false;
    t[ri + i] = std::sqrt(chi2);
    for (int j = 0; j < i; ++j) {
      t[ri + j] = RVSNor();
      if (MCMV::IsMissing(t[ri + j])) return false;
    }
  }
  MCSymMatrix ttt(p);
  for (int i = 0; i < p; ++i) {
    const std::size_t ri = static_cast<std::size_t>(i) * (i + 1) / 2;
    for (int j = 0; j <= i; ++j) {
      const std::size_t rj = static_cast<std::size_t>(j) * (j + 1) / 2;
      double s = 0.0;
      for (int k = 0; k <= j; ++k) s += t[ri + k] * t[rj + k];
      ttt.SetElem(i, j, s);
    }
  }
  if (fbStandard) {
    W = ttt;
    return true;
  }
  return fmWishartChol.ComputeLSLTrans(ttt, W);
}

// --- Kernels -----------------------------------------------------------------------------

double MCRandomValues::Uniform() { return fpURNG->GetRandom(); }

double MCRandomValues::RVUni(double lo, double hi) {
  if (!(lo <= hi)) return MCMV::Missing();
  return lo + Uniform() * (hi - lo);
}

double MCRandomValues::RVExp(double lambda) {
  if (!(lambda > 0)) return MCMV::Missing();
  const double u = Uniform();
  // u = 1 would give 0 and u = 0 infinity: neither is a draw.
  if (!(u > 0 && u < 1)) return MCMV::Missing();
  return -std::log(u) / lambda;
}

double MCRandomValues::RVGam(double shape, double rate) {
  if (!(shape > 0) || !(rate > 0)) return MCMV::Missing();
  if (shape == 1.0) {
    const double e = RVExp(1.0);
    return MCMV::IsMissing(e) ? e : e / rate;
  }
  if (shape > 1.0) {
    // Fishman: an exponential with the same mean, accepted with the ratio of densities.
    for (long i = 0; i < rk::kMaxRejections; ++i) {
      const double v1 = -std::log(Uniform());
      const double u2 = Uniform();
      if ((shape - 1.0) * (std::log(v1) + 1.0 - v1) >= std::log(u2)) return shape * v1 / rate;
    }
    return MCMV::Missing();
  }
  // Ahrens and Dieter's GS for shape below 1.
  const double c = (shape + kE) / kE;
  for (long i = 0; i < rk::kMaxRejections; ++i) {
    const double u = Uniform();
    if (u == 0.0) continue;
    const double p = c * u;
    double x = 0.0;
    if (p > 1.0) {
      x = -std::log((c - p) / shape);
      if (x <= 0) continue;
      if ((shape - 1.0) * std::log(x) >= std::log(Uniform())) return x / rate;
    } else {
      MCPower::Exponent(std::log(p) / shape, x);
      if (std::exp(-x) >= Uniform()) return x / rate;
    }
  }
  return MCMV::Missing();
}

double MCRandomValues::RVChi(double df) { return RVGam(df / 2.0, 0.5); }

double MCRandomValues::RVSNor() {
  return rk::KindermanRamage([this]() { return Uniform(); });
}

double MCRandomValues::RVNor(double mean, double sigma) {
  if (sigma < 0) return MCMV::Missing();
  if (sigma == 0) return mean;
  const double z = RVSNor();
  return MCMV::IsMissing(z) ? z : mean + sigma * z;
}

double MCRandomValues::RVAuxF(double t) { return rk::KRAuxF(t); }

// --- Diagnostics -------------------------------------------------------------------------

void MCRandomValues::Display() const {
  MCComponentDisplay::DisplayText(1, "MCRandomValues display start");
  MCComponentDisplay::DisplayDF("Current seed", static_cast<double>(fSeed));
  MCComponentDisplay::DisplayD("Computational tolerance", fTolerance);
  MCComponentDisplay::DisplayText(1, fpURNG != nullptr
                                         ? "Standard uniform random number generator is defined"
                                         : "Standard uniform random number generator undefined");
  MCComponentDisplay::DisplayText(1, std::string("Distribution type: ") + TypeName(fDistType));
  MCComponentDisplay::DisplayText(
      1, fbUnivariate ? "Distribution is univariate" : "Distribution is multivariate");
  MCComponentDisplay::DisplayI("Number of variates", fNVariates);
  MCComponentDisplay::DisplayText(
      1, fbStandard ? "Distribution is standard" : "Distribution is not standard");
  switch (fDistType) {
    case kUniform:
      if (fbUnivariate) {
        MCComponentDisplay::DisplayD("Uniform low boundary", fUniLow);
        MCComponentDisplay::DisplayD("Uniform upper boundary", fUniHigh);
      } else {
        MCComponentDisplay::DisplayDV("Uniform low boundaries", fvUniLows);
        MCComponentDisplay::DisplayDV("Uniform upper boundaries", fvUniHighs);
      }
      break;
    case kNormal:
      if (fbUnivariate) {
        MCComponentDisplay::DisplayD("Normal mean", fNorMean);
      } else {
        MCComponentDisplay::DisplayDV("Normal means", fvNorMeans);
      }
      MCComponentDisplay::DisplayD("Normal sigma squared", fNorSigma2);
      MCComponentDisplay::DisplayD("Normal sigma", fNorSigma);
      if (!fbUnivariate) {
        MCComponentDisplay::DisplayText(1, "Multivariate normal proportional covariance matrix:");
        fmNorCov.Display();
        MCComponentDisplay::DisplayText(1, "Multivariate normal Cholesky factor:");
        fmNorChol.Display();
      }
      break;
    case kChiSquare:
      if (fbUnivariate) {
        MCComponentDisplay::DisplayD("Chi-square number of degrees of freedom", fChiDF);
      } else {
        MCComponentDisplay::DisplayDV("Chi-square numbers of degrees of freedom", fvChiDFs);
      }
      break;
    default:
      MCComponentDisplay::DisplayI("Wishart parameter P", fWishartP);
      MCComponentDisplay::DisplayD("Wishart parameter M", fWishartM);
      MCComponentDisplay::DisplayText(1, "Wishart scale matrix:");
      fmWishartScale.Display();
      MCComponentDisplay::DisplayText(1, "Cholesky factor fmWishartChol:");
      fmWishartChol.Display();
      break;
  }
  MCComponentDisplay::DisplayText(1, "MCRandomValues display end");
}

}  // namespace MCCommonMath

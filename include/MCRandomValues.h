#ifndef MCSTAT_MCRANDOMVALUES_H_
#define MCSTAT_MCRANDOMVALUES_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "MCSymMatrix.h"
#include "MCURandom.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// Random values of one distribution at a time: uniform, normal, chi-square (univariate or
// multivariate) or Wishart, drawn from an MCURandom. The generator is owned (a Twister
// seeded with 34567 at first) until SetURNGPtr hands over an external one.
// Each SetParam call that succeeds replaces the distribution type, the flags and the
// parameters it names; one that fails (false) changes nothing.
class MCSTAT_EXPORT MCRandomValues {
 public:
  enum DistType { kUniform = 0, kNormal = 1, kChiSquare = 2, kWishart = 3 };

  MCRandomValues();
  // Copies every field; an owned generator is copied into a new owned one.
  MCRandomValues(const MCRandomValues& other);
  MCRandomValues& operator=(const MCRandomValues& other);
  ~MCRandomValues();

  // The generator becomes a new owned MCURandom(s, true, true, null) (a Twister).
  void SetSeed(unsigned long s);
  // Tolerance of the Cholesky factorisations; false (unchanged) unless t > 0.
  bool SetTolerance(double t);
  // False for null. Otherwise g (not owned; it must outlive its use) replaces the current
  // generator, owned or not, and the result is true.
  bool SetURNGPtr(MCURandom* g);

  // Standard uniform on [0, 1).
  void SetParamUniform();
  // Uniform on [lo, hi); false unless lo < hi.
  bool SetParamUniform(double lo, double hi);
  // n independent standard uniforms; false unless n > 0 (n = 1 is univariate).
  bool SetParamUniform(int n);
  // Independent uniforms on [lo[i], hi[i]); false unless both are non-empty, of equal
  // size and hi[i] > lo[i] everywhere (size 1 is univariate).
  bool SetParamUniform(const std::vector<double>& lo, const std::vector<double>& hi);

  // Standard normal.
  void SetParamNormal();
  // Normal with the given mean and variance; false unless var > 0.
  bool SetParamNormal(double mean, double var);
  // n independent standard normals; false unless n > 0 (n = 1 is univariate).
  bool SetParamNormal(int n);
  // Multivariate normal with the given means and covariance s2 * cov. False unless means
  // is non-empty, cov has that many rows and s2 > 0, and (for two or more variates) when
  // the Cholesky factorisation of cov finds every row redundant. Size 1 is univariate.
  bool SetParamNormal(const std::vector<double>& means, double s2, const MCSymMatrixData& cov);

  // Chi-square with df degrees of freedom; false unless df > 0.
  bool SetParamChi(double df);

  // Wishart of dimension p with m degrees of freedom and identity scale; false unless
  // p >= 1 and m >= p.
  bool SetParamWishart(int p, double m);
  // The same with the given p x p scale; false also when the Cholesky factorisation of
  // scale finds every row redundant.
  bool SetParamWishart(int p, double m, const MCSymMatrixData& scale);

  // A univariate draw; the system-missing value when the setting is multivariate or
  // Wishart, or the draw fails.
  double GetRandom();
  // A multivariate uniform or normal draw into x (re-sized to the number of variates);
  // false for any other setting.
  bool GetRandom(std::vector<double>& x);
  // A Wishart draw into W (P x P); false for any other setting or when a chi-square draw
  // fails.
  bool GetRandom(MCSymMatrix& W);

  uint32_t GetSeed() const { return fSeed; }
  double GetTolerance() const { return fTolerance; }
  MCURandom* GetURNGPtr() const { return fpURNG; }
  bool GetOwnsURNG() const { return fpOwnedURNG != nullptr; }
  int GetDistType() const { return fDistType; }
  bool GetUnivariate() const { return fbUnivariate; }
  int GetNVariates() const { return fNVariates; }
  bool GetStandard() const { return fbStandard; }

  // Writes the seed, tolerance, setting and the current type's parameters to the
  // diagnostic stream.
  void Display() const;

 private:
  double Uniform();
  double RVUni(double lo, double hi);
  double RVExp(double lambda);
  double RVGam(double shape, double rate);
  double RVChi(double df);
  double RVSNor();
  double RVNor(double mean, double sigma);
  static double RVAuxF(double t);

  uint32_t fSeed = 34567;
  double fTolerance = 1e-12;
  // The owned generator, when there is one; fpURNG is the generator in use.
  std::unique_ptr<MCURandom> fpOwnedURNG;
  MCURandom* fpURNG = nullptr;
  int32_t fDistType = kUniform;
  bool fbUnivariate = true;
  int32_t fNVariates = 0;
  bool fbStandard = true;
  double fUniLow = 0.0;
  double fUniHigh = 1.0;
  std::vector<double> fvUniLows;
  std::vector<double> fvUniHighs;
  double fNorMean = 0.0;
  std::vector<double> fvNorMeans;
  double fNorSigma2 = 1.0;
  MCSymMatrix fmNorCov;
  double fChiDF = 0.0;
  std::vector<double> fvChiDFs;
  int32_t fWishartP = 0;
  double fWishartM = 0.0;
  MCSymMatrix fmWishartScale;
  double fNorSigma = 1.0;
  MCSymMatrix fmNorChol;
  MCSymMatrix fmWishartChol;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCRANDOMVALUES_H_

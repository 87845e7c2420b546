#ifndef MCSTAT_MCDISTFUN_H_
#define MCSTAT_MCDISTFUN_H_

#include <vector>

#include "mcstat_export.h"

namespace MCCommonMath {

class MCDistFunTestAccess;

// Distribution functions: cumulative distribution (Cdf), upper-tail significance (Sig),
// inverse distribution (Idf) and probability functions of the normal, chi-square, F, t,
// beta, binomial and hypergeometric distributions, and two order-statistic utilities.
//
// Failure conventions:
//  - functions without a code argument return the system-missing value (MCMV::Missing())
//    for an argument outside the domain (a NaN argument included) or a failed computation;
//  - functions with a trailing code argument set it to 0 on entry and report 1 for an
//    argument outside the domain, 2 for a failed computation (an inverse that does not
//    converge, an overflow), 3 for a count that is not a whole number; the result is then
//    the missing value;
//  - IdfBeta returns -1.0 instead.
// The class is stateless; all functions are static and may be called from any thread.
class MCSTAT_EXPORT MCDistFun {
 public:
  // Does nothing; there is nothing to assign.
  MCDistFun& operator=(const MCDistFun&) { return *this; }

  // Standard normal CDF, any x.
  static double CdfStdNorm(double x);
  // Normal CDF; missing unless sd > 0.
  static double CdfNorm(double x, double mean, double sd);
  // Standard normal quantile (AS 241); missing unless 0 < p < 1; 0 for p = 0.5.
  static double IdfStdNorm(double p);
  // Normal quantile; missing unless 0 < p < 1 and sd > 0; mean for p = 0.5.
  static double IdfNorm(double p, double mean, double sd);

  // Chi-square CDF; missing unless df > 0; 0 for x <= 0.
  static double CdfChi(double x, double df);
  // Chi-square upper tail P(X > x); missing unless df > 0; 1 for x <= 0.
  static double SigChi(double x, double df);
  // Chi-square quantile (AS 91); missing unless 0 <= p < 1 and df > 0; 0 for p = 0.
  static double IdfChi(double p, double df);

  // F CDF; missing unless df1 > 0 and df2 > 0; 0 for f <= 0.
  static double CdfF(double f, double df1, double df2);
  // F upper tail; missing unless df1 > 0 and df2 > 0; 1 for f <= 0.
  static double SigF(double f, double df1, double df2);
  // F quantile; missing unless 0 <= p < 1, df1 > 0 and df2 > 0, and missing where the
  // quantile lies outside the double range (above e^709 or below e^-708); 0 for p = 0.
  static double IdfF(double p, double df1, double df2);

  // Student t CDF; missing unless df > 0; 0.5 for t = 0.
  static double CdfT(double t, double df);
  // Student t upper tail P(T > t); missing unless df > 0; 0.5 for t = 0.
  static double SigT(double t, double df);
  // Student t quantile; missing unless 0 < p < 1 and df > 0, and missing where the
  // quantile lies beyond the double range (abs(t) above e^709); 0 for p = 0.5.
  static double IdfT(double p, double df);

  // Beta quantile (AS 109). p = 0 gives 0 and p = 1 gives 1 before any other test;
  // otherwise -1.0 unless a > 0, b > 0 and 0 <= p <= 1, -1.0 when the search fails and
  // -1.0 where the quantile lies below the double range (below e^-708), except with b = 1,
  // whose exact form gives 0 there.
  static double IdfBeta(const double& p, const double& a, const double& b);

  // Binomial P(X <= floor(x)) for n trials of probability p. Code 3 when n is not whole,
  // code 1 when n < 1 or p is outside [0, 1].
  static double CdfBin(double x, double n, double p, long& code);
  // Binomial P(X = x). Code 3 when n is not whole, code 1 when n < 1 or p is outside
  // [0, 1]; 0 when x is not whole or lies outside [0, n].
  static double PdfBin(double x, double n, double p, long& code);
  // Smallest whole x with P(X <= x) >= p. Code 1 when n is not whole; code 2 when n < 1
  // or p or prob lies outside [0, 1]. p = 0 gives 0.
  static double IdfBin(double p, double n, double prob, long& code);

  // Hypergeometric P(X <= floor(x)) for n draws without replacement from a population
  // of N holding M successes. Code 3 when N, M or n is not whole; code 1 unless N >= 1,
  // 0 <= M <= N and 0 <= n <= N.
  static double CDFHyper(double x, double N, double M, double n, int& code);

  // Percentile of grouped data. Group i (0 <= i < nGroups, ascending) covers the class
  // [lower[i], upper[i]] and carries weight[i] >= 0; classes do not overlap. With W the
  // total weight, the percentile lies in the first class of positive weight whose
  // cumulative weight reaches pct/100 x W. method 0: linear interpolation inside that
  // class, L + (pct/100 x W - F) / f x (U - L) with F the weight below the class and f
  // its own; method 1: the midpoint of that class. pct = 0 gives the lower end of the
  // first class of positive weight, pct = 100 the upper end of the last one.
  // Code 0 success; 1 nGroups < 1, a vector shorter than nGroups, pct outside
  // [0, 100], a negative or missing weight, lower > upper, classes out of order or an
  // unknown method; 2 a total weight that is not positive. result is missing unless
  // the code is 0.
  static void GPTile(long nGroups, double pct, const std::vector<double>& lower,
                     const std::vector<double>& upper, const std::vector<double>& weight,
                     long method, double& result, long& code);

  // Median (in general the q-quantile, q = 0.5 for the median) of n weighted values with
  // a distribution-free confidence interval of the given level (0 < level < 1).
  // Cases whose value is missing or NaN or whose weight is not positive are skipped;
  // weights are frequencies. With W the total weight: the estimate is the first value
  // whose cumulative weight exceeds qW, or the mean of that value and the next one when
  // the cumulative weight equals qW. The bounds are the order statistics x(r) and x(s)
  // of N = round(W) cases, x(k) being the first value whose cumulative weight reaches
  // k: r is the largest rank with P(B <= r - 1) <= (1 - level)/2 and s the smallest
  // with P(B <= s - 1) >= (1 + level)/2, B binomial(N, q), clamped into [1, N].
  // bSorted says the values are already ascending; otherwise they are sorted here.
  // False, with the three results missing, when n < 1, a vector is shorter than n,
  // level or q lies outside (0, 1) or N < 1.
  static bool Mednci(long n, const std::vector<double>& x, const std::vector<double>& w,
                     double level, double q, bool bSorted, double& estimate, double& lower,
                     double& upper);

  // ln Gamma(x); missing for x <= 0 (and where the result would overflow).
  static double zelkdnlgam(double x);

 private:
  friend class MCDistFunTestAccess;

  // Standard normal CDF through derf/derfc.
  static double prbnrm(double x);
  // Standard normal quantile, AS 241 (PPND16); missing unless 0 < p < 1.
  static double probit(double p);
  static double derf(double x);
  static double derfc(double x);
  // Log-gamma used by the beta and gamma routines (same as zelkdnlgam).
  static double dnlgam(double x);
  // (1 - y^2 + 2y ln y) / (1 - y)^2 for the Peizer-Pratt approximation; 1 at y = 0,
  // 0 at y = 1, missing for y < 0.
  static double cbtaux(double y);
  // Regularised incomplete gamma P(a, x) (lower) or 1 - P(a, x); code 1 when a <= 0.
  static double gammad(double x, double a, bool lower, long& code);
  // Regularised incomplete beta I_x(a, b); code 1 when a <= 0 or b <= 0.
  static double cdfbet(double x, double a, double b, long& code);
  // Same with the complement y = 1 - x given separately, so that callers who know it
  // exactly do not lose it to rounding.
  static double cdfbet2(double x, double y, double a, double b, long& code);
  // cdfbet2 with ln x and ln y given too, exact to rounding where x or y lies near 1.
  static double cdfbetln(double x, double y, double lnx, double lny, double a, double b,
                         long& code);
  // I_x(a, b) at x = u / (1 + u) for odds u >= 0, taken from ln u where u lies below the
  // double range (t^2 overflowing in the t tails, extreme F ratios).
  static double cdfbetodds(double u, double lnu, double a, double b, long& code);
  // ln I_x(a, b) from x, y = 1 - x and their logarithms, which may lie far below the
  // double range; code 2 where the Peizer-Pratt fallback fails.
  static double lncdfbet(double x, double y, double lnx, double lny, double a, double b,
                         long& code);
  // I_x(a, b) = exp(lnf) s, or 1 - exp(lnf) s when swapped (the arguments exchanged),
  // from the power series or the continued fraction; false when neither settles.
  static bool betparts(double x, double y, double lnx, double lny, double a, double b,
                       double& lnf, double& s, bool& swapped);
  // Continued fraction of I_x(a, b) without the front factor; false when it does not
  // settle within the term limit.
  static bool betcf(double x, double a, double b, double& h);
  // Peizer-Pratt normal approximation of I_x(a, b); missing with code 2 where the
  // auxiliary function is undefined.
  static double cdfbetpp(double x, double y, double a, double b, long& code);
  // ln(x^a y^b / B(a, b)) with y = 1 - x, computed without cancellation; ln x and ln y
  // stand in for x and y where those underflow.
  static double lnbetfront(double x, double y, double lnx, double lny, double a, double b);
  // Inverse incomplete beta (AS 109); -1.0 on failure and where the quantile lies below
  // the double range (0 there when b = 1).
  static double betinv(double p, double a, double b);
  // The same quantile as ln x and ln(1 - x), each accurate where it is the smaller;
  // false on failure.
  static bool betinvln(double p, double a, double b, double& lnx, double& lny);
  // Solves I_x(a, b) = alpha (alpha <= 1/2) in logarithms from the estimate x0, by
  // safeguarded Newton steps on ln I; false when they do not settle.
  static bool betsolve(double alpha, double a, double b, double x0, double& lnx, double& lny);
  // ln C(a, b); code 1 unless a > 0, b > 0 and a >= b.
  static double dnlbnc(double a, double b, long& code);
  // Chi-square quantile by bisection; start is a chi-square value believed to lie at or
  // above the quantile. Code 2 when the bracket fails.
  static double idfchb(double p, double df, double start, long& code);
  // Stirling-series error ln Gamma(z + 1) - (z + 0.5) ln z + z - ln sqrt(2 pi).
  static double stirlerr(double z);
  // Deviance term x ln(x / np) + np - x, accurate when x is close to np; d = x - np given
  // to full relative accuracy where np itself is rounded.
  static double bd0(double x, double np);
  static double bd0(double x, double np, double d);

  static double zelkcdff(double f, double df1, double df2, long& code);
  static double zelkcdft(double t, double df, long& code);
  static double zelkidff(double p, double df1, double df2, long& code);
  static double zelkidft(double p, double df, long& code);
  static double zelkidfchi(double p, double df, long& code);
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCDISTFUN_H_

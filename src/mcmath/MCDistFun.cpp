// Public distribution functions of MCDistFun; the numerical workers are in
// MCDistFunWorkers.cpp.

#include "MCDistFun.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "MCMV.h"

namespace MCCommonMath {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kLn2Pi = 1.8378770664093453;
constexpr double kMinExp = -708.0;
constexpr double kMaxExp = 709.0;
constexpr double kEpsilon = 2.220446049250313e-16;

double Missing() { return MCMV::Missing(); }

bool IsWhole(double v) { return std::isfinite(v) && std::floor(v) == v; }

}  // namespace

// ---------------------------------------------------------------------------------------
// Normal

double MCDistFun::CdfStdNorm(double x) { return prbnrm(x); }

double MCDistFun::CdfNorm(double x, double mean, double sd) {
  if (!(sd > 0.0) || std::isnan(x) || std::isnan(mean)) return Missing();
  return prbnrm((x - mean) / sd);
}

double MCDistFun::IdfStdNorm(double p) {
  if (!(p > 0.0 && p < 1.0)) return Missing();
  if (p == 0.5) return 0.0;
  return probit(p);
}

double MCDistFun::IdfNorm(double p, double mean, double sd) {
  if (!(p > 0.0 && p < 1.0) || !(sd > 0.0) || std::isnan(mean)) return Missing();
  if (p == 0.5) return mean;
  const double z = probit(p);
  if (MCMV::IsMissing(z)) return Missing();
  return mean + sd * z;
}

// ---------------------------------------------------------------------------------------
// Chi-square

double MCDistFun::CdfChi(double x, double df) {
  if (!(df > 0.0) || std::isnan(x)) return Missing();
  if (x <= 0.0) return 0.0;
  long code = 0;
  const double r = gammad(0.5 * x, 0.5 * df, true, code);
  return code != 0 ? Missing() : r;
}

double MCDistFun::SigChi(double x, double df) {
  if (!(df > 0.0) || std::isnan(x)) return Missing();
  if (x <= 0.0) return 1.0;
  long code = 0;
  const double r = gammad(0.5 * x, 0.5 * df, false, code);
  return code != 0 ? Missing() : r;
}

double MCDistFun::IdfChi(double p, double df) {
  long code = 0;
  const double r = zelkidfchi(p, df, code);
  return code != 0 ? Missing() : r;
}

namespace {

// Large degrees of freedom: t, and F with one numerator degree of freedom.

// From this many degrees of freedom on, the t distribution function is the normal one at Hill's
// (1970) asymptotic deviate: against 40-digit values it keeps all but the digits that the
// rounding of t itself decides (1e-13 relative at |t| = 37), where the incomplete beta's
// continued fraction loses digits in proportion to df (1e-11 at 1e4, 1e-5 at 1e12).
constexpr double kLargeTDf = 1e4;

// Hill's deviate is f(y) sqrt(y) with y = (df - 1/2) ln(1 + t^2 / df); this is f.
double HillFactor(double y, double df) {
  const double a = df - 0.5;
  const double b = 48.0 * a * a;
  return ((((-0.4 * y - 3.3) * y - 24.0) * y - 85.5) / (0.8 * y * y + 100.0 + b) + y + 3.0) / b +
         1.0;
}

// Hill's normal deviate of |t| with df degrees of freedom: P(T > |t|) = P(Z > deviate).
double LargeDfDeviate(double t, double df) {
  const double w = std::fabs(t) / std::sqrt(df);
  // ln(1 + t^2 / df), also where t^2 / df overflows.
  const double l = (w < 1e150) ? std::log1p(w * w) : 2.0 * std::log(w);
  const double y = (df - 0.5) * l;
  // Beyond this every tail lies below the double range, and the factor's powers would
  // overflow.
  if (!(y < 1e100)) return std::sqrt(y);
  return HillFactor(y, df) * std::sqrt(y);
}

// F with one numerator degree of freedom is t^2: P(F <= f) = P(|Z| <= deviate of sqrt(f)),
// which keeps the digits the incomplete beta loses to a small shape beside a large one.
bool OneDfF(double f, double df2) { return df2 >= kLargeTDf && std::isfinite(f); }
double OneDfFDeviate(double f, double df2) {
  return LargeDfDeviate(std::sqrt(f), df2) / std::sqrt(2.0);
}

// The |t| whose deviate is z >= 0: y from f(y) sqrt(y) = z by fixed-point steps, which
// contract by about y / (48 df^2), then t^2 = df (exp(y / (df - 1/2)) - 1).
double LargeDfQuantile(double z, double df) {
  double y = z * z;
  for (int i = 0; i < 20; ++i) {
    const double f = HillFactor(y, df);
    const double next = (z / f) * (z / f);
    if (next == y) break;
    y = next;
  }
  return std::sqrt(df * std::expm1(y / (df - 0.5)));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// F

double MCDistFun::zelkcdff(double f, double df1, double df2, long& code) {
  code = 0;
  if (std::isnan(f) || !(df1 > 0.0) || !(df2 > 0.0)) {
    code = 1;
    return Missing();
  }
  if (f <= 0.0) return 0.0;
  if (df1 == 1.0 && OneDfF(f, df2)) return derf(OneDfFDeviate(f, df2));
  const double r = df2 / df1;
  long c = 0;
  double v;
  // x = f / (r + f) from the odds f / r, or its complement from r / f above 1; an
  // infinite f gives odds 0.
  const double lnr = std::log(df2) - std::log(df1);
  if (f <= 1.0) {
    v = cdfbetodds(f / r, std::log(f) - lnr, 0.5 * df1, 0.5 * df2, c);
  } else {
    v = 1.0 - cdfbetodds(r / f, lnr - std::log(f), 0.5 * df2, 0.5 * df1, c);
  }
  if (c > 0) {
    code = c;
    return Missing();
  }
  return v;
}

double MCDistFun::CdfF(double f, double df1, double df2) {
  long code = 0;
  const double r = zelkcdff(f, df1, df2, code);
  return code != 0 ? Missing() : r;
}

double MCDistFun::SigF(double f, double df1, double df2) {
  if (!(df1 > 0.0) || !(df2 > 0.0) || std::isnan(f)) return Missing();
  if (f <= 0.0) return 1.0;
  if (df1 == 1.0 && OneDfF(f, df2)) return derfc(OneDfFDeviate(f, df2));
  const double r = df2 / df1;
  long c = 0;
  double v;
  const double lnr = std::log(df2) - std::log(df1);
  if (f >= 1.0) {
    v = cdfbetodds(r / f, lnr - std::log(f), 0.5 * df2, 0.5 * df1, c);
  } else {
    v = 1.0 - cdfbetodds(f / r, std::log(f) - lnr, 0.5 * df1, 0.5 * df2, c);
  }
  return c > 0 ? Missing() : v;
}

double MCDistFun::zelkidff(double p, double df1, double df2, long& code) {
  code = 0;
  if (!(p >= 0.0 && p < 1.0) || !(df1 > 0.0) || !(df2 > 0.0)) {
    code = 1;
    return Missing();
  }
  if (p == 0.0) return 0.0;
  // (df2 / df1) x / (1 - x) from the logarithms of x and 1 - x: either may lie far below
  // the double range while the quotient does not. A quotient outside the range fails.
  double lnx = 0.0, lny = 0.0;
  if (!betinvln(p, 0.5 * df1, 0.5 * df2, lnx, lny)) {
    code = 2;
    return Missing();
  }
  const double r = df2 / df1;
  const double e = lnx - lny;
  const double lnf = std::log(df2) - std::log(df1) + e;
  if (!(lnf >= kMinExp && lnf <= kMaxExp)) {
    code = 2;
    return Missing();
  }
  return (std::fabs(e) < kMaxExp && std::isnormal(r)) ? r * std::exp(e) : std::exp(lnf);
}

double MCDistFun::IdfF(double p, double df1, double df2) {
  long code = 0;
  const double r = zelkidff(p, df1, df2, code);
  return code != 0 ? Missing() : r;
}

// ---------------------------------------------------------------------------------------
// Student t

double MCDistFun::zelkcdft(double t, double df, long& code) {
  code = 0;
  if (std::isnan(t) || !(df > 0.0)) {
    code = 1;
    return Missing();
  }
  if (t == 0.0) return 0.5;
  if (df >= kLargeTDf) {
    const double z = LargeDfDeviate(t, df);
    return prbnrm(t > 0.0 ? z : -z);
  }
  if (df == 1.0) {
    // 0.5 + atan(t)/pi, written for t < -1 so that the small lower tail does not cancel.
    return (t < -1.0) ? std::atan(-1.0 / t) / kPi : 0.5 + std::atan(t) / kPi;
  }
  long c = 0;
  double v;
  if (std::fabs(t) <= 1.0) {
    const double w = t * t / df;  // x = t^2 / (df + t^2) = w / (1 + w)
    const double half = 0.5 * cdfbet2(w / (1.0 + w), 1.0 / (1.0 + w), 0.5, 0.5 * df, c);
    v = (t > 0.0) ? 0.5 + half : 0.5 - half;
  } else {
    // x = df / (df + t^2) from the odds df / t^2, whose logarithm stands in where t^2
    // overflows.
    const double lnu = std::log(df) - 2.0 * std::log(std::fabs(t));
    const double h = 0.5 * cdfbetodds(df / (t * t), lnu, 0.5 * df, 0.5, c);
    v = (t > 1.0) ? 1.0 - h : h;
  }
  if (c > 0) {
    code = c;
    return Missing();
  }
  return v;
}

double MCDistFun::CdfT(double t, double df) {
  long code = 0;
  const double r = zelkcdft(t, df, code);
  return code != 0 ? Missing() : r;
}

double MCDistFun::SigT(double t, double df) {
  if (!(df > 0.0) || std::isnan(t)) return Missing();
  if (t == 0.0) return 0.5;
  if (df >= kLargeTDf) {
    const double z = LargeDfDeviate(t, df);
    return prbnrm(t > 0.0 ? -z : z);
  }
  if (df == 1.0) return (t > 1.0) ? std::atan(1.0 / t) / kPi : 0.5 - std::atan(t) / kPi;
  long c = 0;
  double v;
  if (std::fabs(t) <= 1.0) {
    const double w = t * t / df;
    const double i = cdfbet2(w / (1.0 + w), 1.0 / (1.0 + w), 0.5, 0.5 * df, c);
    v = (t > 0.0) ? 0.5 - 0.5 * i : 0.5 + 0.5 * i;
  } else {
    const double lnu = std::log(df) - 2.0 * std::log(std::fabs(t));
    const double i = cdfbetodds(df / (t * t), lnu, 0.5 * df, 0.5, c);
    v = (t > 1.0) ? 0.5 * i : 1.0 - 0.5 * i;
  }
  return c > 0 ? Missing() : v;
}

double MCDistFun::zelkidft(double p, double df, long& code) {
  code = 0;
  if (!(p > 0.0 && p < 1.0) || !(df > 0.0)) {
    code = 1;
    return Missing();
  }
  if (p == 0.5) return 0.0;
  if (df >= kLargeTDf) {
    // 1 - p is exact above 0.5.
    const double t = LargeDfQuantile(-probit(p < 0.5 ? p : 1.0 - p), df);
    return (p < 0.5) ? -t : t;
  }
  const double q = (p < 0.5) ? 2.0 * p : 2.0 - 2.0 * p;
  // t^2 = df (1/x - 1) = df (1 - x) / x from the logarithms of x and 1 - x, which keep
  // their digits near either end; a t beyond the double range fails.
  double lnx = 0.0, lny = 0.0;
  const bool ok = betinvln(q, 0.5 * df, 0.5, lnx, lny);
  const double e = lny - lnx;
  const double lnt = 0.5 * (std::log(df) + e);
  if (!ok || !(lnt >= kMinExp && lnt <= kMaxExp)) {  // 1 - x = 0 included
    code = 2;
    return Missing();
  }
  const double v = df * std::exp(e);
  const double t = (std::fabs(e) < kMaxExp && std::isnormal(v)) ? std::sqrt(v) : std::exp(lnt);
  return (p < 0.5) ? -t : t;
}

double MCDistFun::IdfT(double p, double df) {
  long code = 0;
  const double r = zelkidft(p, df, code);
  return code != 0 ? Missing() : r;
}

// ---------------------------------------------------------------------------------------
// Beta

double MCDistFun::IdfBeta(const double& p, const double& a, const double& b) {
  if (p == 0.0) return 0.0;
  if (p == 1.0) return 1.0;
  if (!(a > 0.0) || !(b > 0.0) || !(p >= 0.0 && p <= 1.0)) return -1.0;
  return betinv(p, a, b);
}

// ---------------------------------------------------------------------------------------
// Binomial

double MCDistFun::CdfBin(double x, double n, double p, long& code) {
  code = 0;
  if (std::isfinite(n) && !IsWhole(n)) {
    code = 3;
    return Missing();
  }
  if (!IsWhole(n) || n < 1.0 || !(p >= 0.0 && p <= 1.0) || std::isnan(x)) {
    code = 1;
    return Missing();
  }
  const double k = std::floor(x);
  if (p == 0.0) return (k < 0.0) ? 0.0 : 1.0;
  if (p == 1.0) return (k >= n) ? 1.0 : 0.0;
  if (k < 0.0) return 0.0;
  if (k >= n) return 1.0;
  if (k == 0.0) {
    const double e = n * std::log1p(-p);
    return (e < kMinExp) ? 0.0 : std::exp(e);
  }
  // The smaller tail, summed from its largest term: P(X <= k) below the mean, 1 - P(X > k)
  // above it. Each term follows from its neighbour by their ratio, which falls away from
  // the mode, so the rest of the tail is bounded by a geometric series; every 32nd term is
  // recomputed by the saddle-point form so that rounding does not gather along the walk,
  // and the sum carries the rounding error of each addition (the terms fall, so each is
  // below the sum it joins). Near the mean this takes about 9 sqrt(n p (1 - p)) terms.
  const double q = 1.0 - p;
  const bool lower = k < n * p;
  double j = lower ? k : k + 1.0;
  long c = 0;
  double term = PdfBin(j, n, p, c);
  double sum = 0.0;
  double carry = 0.0;
  for (long step = 1; term > 0.0; ++step) {
    const double s = sum + term;
    carry += (sum - s) + term;
    sum = s;
    if (lower ? j == 0.0 : j == n) break;
    const double ratio = lower ? j * q / ((n - j + 1.0) * p) : (n - j) * p / ((j + 1.0) * q);
    j += lower ? -1.0 : 1.0;
    if (term * ratio <= 1e-17 * sum * (1.0 - ratio)) break;
    term = (step % 32 == 0) ? PdfBin(j, n, p, c) : term * ratio;
  }
  return lower ? sum + carry : 1.0 - (sum + carry);
}

double MCDistFun::PdfBin(double x, double n, double p, long& code) {
  code = 0;
  if (std::isfinite(n) && !IsWhole(n)) {
    code = 3;
    return Missing();
  }
  if (!IsWhole(n) || n < 1.0 || !(p >= 0.0 && p <= 1.0)) {
    code = 1;
    return Missing();
  }
  if (!IsWhole(x) || x < 0.0 || x > n) return 0.0;
  const double q = 1.0 - p;
  if (p == 0.0) return (x == 0.0) ? 1.0 : 0.0;
  if (q == 0.0) return (x == n) ? 1.0 : 0.0;
  // Loader's saddle-point form: accurate for every n, no large logarithms cancelling.
  if (x == 0.0) {
    const double e = (p < 0.1) ? -bd0(n, n * q) - n * p : n * std::log(q);
    return std::exp(e);
  }
  if (x == n) {
    const double e = (q < 0.1) ? -bd0(n, n * p) - n * q : n * std::log(p);
    return std::exp(e);
  }
  // The deviances hinge on x - n p, whose rounding n p would spoil for large n: the
  // product is split into its double and the rounding error, and n - x - n (1 - p) = -d.
  const double np = n * p;
  const double d = (x - np) - std::fma(n, p, -np);
  const double lc =
      stirlerr(n) - stirlerr(x) - stirlerr(n - x) - bd0(x, np, d) - bd0(n - x, n - np, -d);
  const double lf = kLn2Pi + std::log(x) + std::log1p(-x / n);
  return std::exp(lc - 0.5 * lf);
}

double MCDistFun::IdfBin(double p, double n, double prob, long& code) {
  code = 0;
  if (std::isnan(n) || (std::isfinite(n) && !IsWhole(n))) {
    code = 1;
    return Missing();
  }
  if (!IsWhole(n) || n < 1.0 || !(p >= 0.0 && p <= 1.0) || !(prob >= 0.0 && prob <= 1.0)) {
    code = 2;
    return Missing();
  }
  if (p == 0.0 || prob == 0.0) return 0.0;
  if (p == 1.0 || prob == 1.0) return n;
  // A hair below p so that a p equal to a cumulative probability finds that point
  // despite rounding in the cumulative sum.
  const double target = p * (1.0 - 64.0 * kEpsilon);
  double lo = -1.0;  // P(X <= lo) < p
  double hi = n;     // P(X <= hi) >= p
  while (hi - lo > 1.0) {
    const double mid = std::floor(0.5 * (lo + hi));
    long c = 0;
    const double f = CdfBin(mid, n, prob, c);
    if (c != 0) {
      code = 2;
      return Missing();
    }
    if (f >= target) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return hi;
}

// ---------------------------------------------------------------------------------------
// Hypergeometric

double MCDistFun::CDFHyper(double x, double N, double M, double n, int& code) {
  code = 0;
  if ((std::isfinite(N) && !IsWhole(N)) || (std::isfinite(M) && !IsWhole(M)) ||
      (std::isfinite(n) && !IsWhole(n))) {
    code = 3;
    return Missing();
  }
  if (!IsWhole(N) || !IsWhole(M) || !IsWhole(n) || N < 1.0 || M < 0.0 || M > N || n < 0.0 ||
      n > N || std::isnan(x)) {
    code = 1;
    return Missing();
  }
  const double k = std::floor(x);
  const double lo = std::max(0.0, n + M - N);
  const double hi = std::min(n, M);
  if (k < lo) return 0.0;
  if (k >= hi) return 1.0;
  // Terms relative to the one at the mode, by the ratio of neighbouring terms
  // t(j+1)/t(j) = (M - j)(n - j) / ((j + 1)(N - M - n + j + 1)); the total normalises.
  const double mode = std::min(hi, std::max(lo, std::floor((n + 1.0) * (M + 1.0) / (N + 2.0))));
  double total = 1.0;
  double below = (mode <= k) ? 1.0 : 0.0;
  double t = 1.0;
  for (double j = mode; j > lo; j -= 1.0) {
    // t(j-1) = t(j) j (N - M - n + j) / ((M - j + 1)(n - j + 1)); the terms fall away from
    // the mode, so the walk ends once they no longer count.
    t *= j * (N - M - n + j) / ((M - j + 1.0) * (n - j + 1.0));
    total += t;
    if (j - 1.0 <= k) {
      below += t;
      if (t <= 1e-17 * below) break;
    } else if (t < 1e-300) {
      break;
    }
  }
  t = 1.0;
  for (double j = mode; j < hi; j += 1.0) {
    t *= (M - j) * (n - j) / ((j + 1.0) * (N - M - n + j + 1.0));
    total += t;
    if (j + 1.0 <= k) {
      below += t;
      if (t < 1e-300) break;  // what is left of the tail no longer counts
    } else if (t <= 1e-17 * total) {
      break;
    }
  }
  return std::min(1.0, below / total);
}

// ---------------------------------------------------------------------------------------
// Order statistics

void MCDistFun::GPTile(long nGroups, double pct, const std::vector<double>& lower,
                       const std::vector<double>& upper, const std::vector<double>& weight,
                       long method, double& result, long& code) {
  code = 0;
  result = Missing();
  const auto size = static_cast<size_t>(std::max(nGroups, 0L));
  if (nGroups < 1 || lower.size() < size || upper.size() < size || weight.size() < size ||
      !(pct >= 0.0 && pct <= 100.0) || (method != 0 && method != 1)) {
    code = 1;
    return;
  }
  double total = 0.0;
  for (size_t i = 0; i < size; ++i) {
    const bool bad = !(weight[i] >= 0.0) || MCMV::IsMissing(weight[i]) || std::isinf(weight[i]) ||
                     !(lower[i] <= upper[i]) || (i > 0 && lower[i] < upper[i - 1]);
    if (bad) {
      code = 1;
      return;
    }
    total += weight[i];
  }
  if (!(total > 0.0)) {
    code = 2;
    return;
  }
  const double pos = pct / 100.0 * total;
  double below = 0.0;
  size_t last = 0;
  for (size_t i = 0; i < size; ++i) {
    if (weight[i] <= 0.0) continue;
    last = i;
    const double cum = below + weight[i];
    if (cum >= pos || i + 1 == size) {
      if (method == 1) {
        result = 0.5 * (lower[i] + upper[i]);
      } else {
        const double frac = std::min(1.0, std::max(0.0, (pos - below) / weight[i]));
        result = lower[i] + frac * (upper[i] - lower[i]);
      }
      return;
    }
    below = cum;
  }
  // Rounding left the position beyond the last class.
  result = (method == 1) ? 0.5 * (lower[last] + upper[last]) : upper[last];
}

bool MCDistFun::Mednci(long n, const std::vector<double>& x, const std::vector<double>& w,
                       double level, double q, bool bSorted, double& estimate, double& lower,
                       double& upper) {
  estimate = lower = upper = Missing();
  const auto size = static_cast<size_t>(std::max(n, 0L));
  if (n < 1 || x.size() < size || w.size() < size || !(level > 0.0 && level < 1.0) ||
      !(q > 0.0 && q < 1.0)) {
    return false;
  }
  std::vector<std::pair<double, double>> cases;
  cases.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    if (std::isnan(x[i]) || MCMV::IsMissing(x[i]) || !(w[i] > 0.0) || std::isinf(w[i])) continue;
    cases.emplace_back(x[i], w[i]);
  }
  if (!bSorted) {
    std::stable_sort(cases.begin(), cases.end(),
                     [](const auto& l, const auto& r) { return l.first < r.first; });
  }
  double total = 0.0;
  for (const auto& c : cases) total += c.second;
  const double whole = std::floor(total + 0.5);
  if (cases.empty() || whole < 1.0) return false;

  // Cumulative weights are compared with a tolerance that absorbs rounding in the sums.
  const double fuzz = 1e-12 * total;
  const double pos = q * total;
  double cum = 0.0;
  for (size_t i = 0; i < cases.size(); ++i) {
    cum += cases[i].second;
    if (cum > pos + fuzz) {
      estimate = cases[i].first;
      break;
    }
    if (cum >= pos - fuzz) {
      estimate =
          (i + 1 < cases.size()) ? 0.5 * (cases[i].first + cases[i + 1].first) : cases[i].first;
      break;
    }
  }
  if (MCMV::IsMissing(estimate)) estimate = cases.back().first;

  // Ranks of the bounds from the binomial(N, q) distribution of the number of cases
  // below the population quantile.
  const double alpha = 1.0 - level;
  long code = 0;
  // r: the largest rank with P(B <= r - 1) <= alpha / 2, one above the smallest j with
  // P(B <= j) > alpha / 2.
  const double j = IdfBin(0.5 * alpha, whole, q, code);
  double r = (CdfBin(j, whole, q, code) <= 0.5 * alpha) ? j + 1.0 : j;
  // s: the smallest rank with P(B <= s - 1) >= 1 - alpha / 2.
  double s = IdfBin(1.0 - 0.5 * alpha, whole, q, code) + 1.0;
  r = std::min(std::max(r, 1.0), whole);
  s = std::min(std::max(s, 1.0), whole);
  auto orderStat = [&](double k) {
    double c = 0.0;
    for (const auto& cs : cases) {
      c += cs.second;
      if (c >= k - fuzz) return cs.first;
    }
    return cases.back().first;
  };
  lower = orderStat(r);
  upper = orderStat(s);
  return true;
}

}  // namespace MCCommonMath

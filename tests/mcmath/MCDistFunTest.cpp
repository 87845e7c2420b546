#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "MCDistFun.h"
#include "MCMV.h"
#include "MCMathFun.h"

namespace MCCommonMath {

// Reaches the private workers whose behaviour the public functions cannot show alone.
class MCDistFunTestAccess {
 public:
  static constexpr auto cbtaux = &MCDistFun::cbtaux;
  static constexpr auto idfchb = &MCDistFun::idfchb;
  static constexpr auto dnlbnc = &MCDistFun::dnlbnc;
  static constexpr auto cdfbet = &MCDistFun::cdfbet;
  static constexpr auto cdfbetpp = &MCDistFun::cdfbetpp;
  static constexpr auto gammad = &MCDistFun::gammad;
};

namespace {

using D = MCDistFun;
using A = MCDistFunTestAccess;
using Args = std::vector<double>;
const double kMiss = MCMV::Missing();
const double kPi = std::acos(-1.0);
const double kNaN = std::nan("");

// Against R: data/distfun_r.csv (written by data/distfun_r.R): function, arguments, value.
std::vector<std::pair<std::string, Args>> RRows() {
  std::vector<std::pair<std::string, Args>> out;
  std::ifstream in(MCSTAT_TEST_DATA_DIR "/distfun_r.csv");
  for (std::string line, cell; std::getline(in, line);) {
    std::stringstream ss(line);
    auto& [fn, args] = out.emplace_back();
    std::getline(ss, fn, ',');
    while (std::getline(ss, cell, ',')) args.push_back(std::strtod(cell.c_str(), nullptr));
  }
  return out;
}

// Ours for R's fn; missing where ours fails (a nonzero code, or -1 from IdfBeta).
double Eval(const std::string& fn, const Args& a) {
  // A coded call must set its code: -1 left there counts as failure.
  long code = fn == "pbeta" || fn.find("binom") != std::string::npos ? -1 : 0;
  int hyperCode = fn == "phyper" ? -1 : 0;
  double r = kMiss;
  if (fn == "pnorm") r = D::CdfStdNorm(a[0]);
  if (fn == "qnorm") r = D::IdfStdNorm(a[0]);
  if (fn == "pchisq") r = D::CdfChi(a[0], a[1]);
  if (fn == "pchisq.upper") r = D::SigChi(a[0], a[1]);
  if (fn == "qchisq") r = D::IdfChi(a[0], a[1]);
  if (fn == "pf") r = D::CdfF(a[0], a[1], a[2]);
  if (fn == "pf.upper") r = D::SigF(a[0], a[1], a[2]);
  if (fn == "qf") r = D::IdfF(a[0], a[1], a[2]);
  if (fn == "pt") r = D::CdfT(a[0], a[1]);
  if (fn == "pt.upper") r = D::SigT(a[0], a[1]);
  if (fn == "qt") r = D::IdfT(a[0], a[1]);
  if (fn == "qbeta") r = D::IdfBeta(a[0], a[1], a[2]);
  if (fn == "pbeta") r = A::cdfbet(a[0], a[1], a[2], code);
  if (fn == "pbinom") r = D::CdfBin(a[0], a[1], a[2], code);
  if (fn == "dbinom") r = D::PdfBin(a[0], a[1], a[2], code);
  if (fn == "qbinom") r = D::IdfBin(a[0], a[1], a[2], code);
  // R's phyper(q, m, n, k) is CDFHyper(q, N = m + n, M = m, k).
  if (fn == "phyper") r = D::CDFHyper(a[0], a[1] + a[2], a[1], a[3], hyperCode);
  if (fn == "lgamma") r = D::zelkdnlgam(a[0]);
  if (fn == "digamma") r = MCMathFun::Digamma(a[0]);
  return code != 0 || hyperCode != 0 || (fn == "qbeta" && r == -1.0) ? kMiss : r;
}

// rel < 0: a probability, within 1e-12 (below 1e-3: 1e-9 relative); else within rel x
// max(|value|, floor). A bounded quantile whose reference is 0 or infinite must fail.
constexpr double kProb = -1.0;
struct RFun {
  const char* name;
  double rel, floor;
  bool bounded = false;
};

// Chi-square and binomial keep double precision at every size; far tails lose about |ln value|
// eps to the exponent; so do t and F, whose rows reach 1e10 degrees of freedom. The quantiles:
// AS 241 (normal), AS 91 (chi-square), AS 109 (beta, and through it F and t below 1e4 df).
// Digamma is held absolutely near its root at 1.46.
const RFun kRFuns[] = {
    {"pnorm", kProb, 0},        {"qnorm", 1e-12, 0},    {"pchisq", 3e-13, 0},
    {"pchisq.upper", 3e-13, 0}, {"qchisq", 1e-6, 0},    {"pf", 1e-12, 0},
    {"pf.upper", 1e-12, 0},     {"qf", 1e-12, 0, true}, {"pt", 1e-12, 0},
    {"pt.upper", 1e-12, 0},     {"qt", 1e-12, 0, true}, {"qbeta", 1e-12, 0, true},
    {"pbeta", kProb, 0},        {"pbinom", 3e-13, 0},   {"dbinom", 3e-13, 0},
    {"qbinom", 0, 0},           {"phyper", kProb, 0},   {"lgamma", 1e-13, 0},
    {"digamma", 1e-13, 1}};

class AgainstR : public ::testing::TestWithParam<RFun> {};

TEST_P(AgainstR, EveryRowWithinTheAlgorithmsAccuracy) {
  const RFun& f = GetParam();
  int rows = 0;
  for (const auto& [fn, all] : RRows()) {
    if (fn != f.name) continue;
    ++rows;
    const Args args(all.begin(), all.end() - 1);
    const double got = Eval(fn, args), want = all.back(), err = std::fabs(got - want);
    ::testing::Message where;
    where << std::setprecision(17) << fn;
    for (double v : all) where << " " << v;
    SCOPED_TRACE(where);
    if (f.bounded && (want == 0.0 || std::isinf(want))) {
      EXPECT_EQ(got, kMiss);
      continue;
    }
    ASSERT_NE(got, kMiss);
    if (f.rel >= 0.0) {
      EXPECT_LE(err, f.rel * std::max(std::fabs(want), f.floor)) << got;
    } else if (want < 1e-300) {  // below exp(-708) the functions give 0 by design
      EXPECT_LE(got, 1e-300);
    } else {
      EXPECT_LE(err, want < 1e-3 ? 1e-9 * want : 1e-12) << got;
    }
  }
  EXPECT_GE(rows, 10);
}

INSTANTIATE_TEST_SUITE_P(Fixture, AgainstR, ::testing::ValuesIn(kRFuns));

TEST(DistFunDomain, MissingOutsideTheDomain) {
  for (double bad : {0.0, -1.0, kNaN}) {
    for (double r : {D::CdfNorm(0.0, 0.0, bad), D::IdfNorm(0.3, 0.0, bad), D::CdfChi(1.0, bad),
                     D::SigChi(1.0, bad), D::IdfChi(0.5, bad), D::CdfF(1.0, bad, 3.0),
                     D::CdfF(1.0, 3.0, bad), D::SigF(1.0, 3.0, bad), D::IdfF(0.5, bad, 3.0),
                     D::CdfT(1.0, bad), D::SigT(1.0, bad), D::IdfT(0.3, bad), D::zelkdnlgam(bad)})
      EXPECT_EQ(r, kMiss) << bad;
  }
  for (double p : {0.0, 1.0, -0.1, 1.1, kNaN}) {
    EXPECT_EQ(D::IdfStdNorm(p), kMiss) << p;
    EXPECT_EQ(D::IdfNorm(p, 1.0, 2.0), kMiss) << p;
    EXPECT_EQ(D::IdfT(p, 4.0), kMiss) << p;
    EXPECT_EQ(D::IdfChi(p, 3.0), p == 0.0 ? 0.0 : kMiss) << p;
    EXPECT_EQ(D::IdfF(p, 3.0, 4.0), p == 0.0 ? 0.0 : kMiss) << p;
  }
  EXPECT_EQ(D::CdfStdNorm(kNaN), kMiss);
}

// The public functions check their arguments first; the workers refuse bad ones too.
TEST(DistFunDomain, CodesOfTheWorkers) {
  long code = -5;
  const double refused[] = {A::gammad(1.0, 0.0, true, code), A::cdfbet(0.5, 1.0, -1.0, code),
                            A::dnlbnc(3.0, 4.0, code)};
  EXPECT_EQ(code, 1);
  for (double r : refused) EXPECT_EQ(r, kMiss);
  code = 1;
  EXPECT_NEAR(A::dnlbnc(10.0, 3.0, code), std::log(120.0), 1e-14);
  EXPECT_EQ(code, 0);
}

TEST(DistFunDomain, ListedSpecialValues) {
  const std::pair<double, double> cases[] = {
      {D::IdfStdNorm(0.5), 0.0},    {D::IdfNorm(0.5, 3, 2), 3.0},
      {D::CdfChi(-1.0, 3.0), 0.0},  {D::SigChi(0.0, 3.0), 1.0},
      {D::SigT(0.0, 5.0), 0.5},     {D::CdfT(0.0, 5.0), 0.5},
      {D::IdfT(0.5, 7.0), 0.0},     {D::SigF(0.0, 2, 3), 1.0},
      {D::CdfF(-2.0, 2, 3), 0.0},   {D::SigF(1.0, 0, 3), kMiss},
      {D::CdfF(INFINITY, 2, 3), 1.0}, {D::CdfT(-INFINITY, 4), 0.0},
      {D::zelkdnlgam(1.0), 0.0},    {D::zelkdnlgam(2.0), 0.0},
      {D::zelkdnlgam(0.5), 0.5 * std::log(kPi)}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.first, c.second);
}

TEST(DistFunIdfBeta, ExactCasesAndFailures) {
  EXPECT_EQ(D::IdfBeta(0.0, -1.0, 2.0), 0.0);
  EXPECT_EQ(D::IdfBeta(1.0, -1.0, 2.0), 1.0);
  for (double r : {D::IdfBeta(0.3, -1.0, 2.0), D::IdfBeta(0.3, 2.0, 0.0), D::IdfBeta(1.5, 2.0, 2.0),
                   D::IdfBeta(kNaN, 2.0, 2.0)})
    EXPECT_EQ(r, -1.0);
  EXPECT_EQ(D::IdfBeta(0.5, 3.7, 3.7), 0.5);
  EXPECT_EQ(D::IdfBeta(0.3, 1.0, 1e-30), 1.0);                // b <= a * 1e-20
  EXPECT_EQ(D::IdfBeta(1e-300, 1.0 / 3.0 * 1e-3, 1.0), 0.0);  // exponent below -708
}

struct CodeCase {
  int fn;  // 0 CdfBin, 1 PdfBin, 2 IdfBin, 3 CDFHyper
  Args a;
  long code;
  double result;
};

// CDFHyper(0.9, 10, 8, 5) is 0: at least 3 successes are drawn.
TEST(DistFunDiscrete, CodesAndBoundaries) {
  const CodeCase cases[] = {
      {0, {2, 4.5, 0.5}, 3, kMiss},  {0, {2, 0, 0.5}, 1, kMiss},     {0, {2, 4, 1.5}, 1, kMiss},
      {1, {2, 4, -0.1}, 1, kMiss},   {1, {2, 4.5, 0.3}, 3, kMiss},   {2, {0.5, 4.5, 0.3}, 1, kMiss},
      {2, {1.5, 4, 0.3}, 2, kMiss},  {2, {0.5, 0, 0.3}, 2, kMiss},   {0, {2.9, 4, 0}, 0, 1.0},
      {0, {-0.5, 4, 0}, 0, 0.0},     {0, {3.9, 4, 1}, 0, 0.0},       {0, {4, 4, 1}, 0, 1.0},
      {0, {-1, 4, 0.3}, 0, 0.0},     {0, {7, 4, 0.3}, 0, 1.0},       {0, {0, 1e6, 0.5}, 0, 0.0},
      {1, {2.5, 4, 0.3}, 0, 0.0},    {1, {5, 4, 0.3}, 0, 0.0},       {2, {0, 9, 0.3}, 0, 0.0},
      {2, {1, 9, 0.3}, 0, 9.0},      {3, {1, 10.5, 4, 3}, 3, kMiss}, {3, {1, 10, 11, 3}, 1, kMiss},
      {3, {1, 10, 4, 12}, 1, kMiss}, {3, {1, 0, 0, 0}, 1, kMiss},    {3, {0.9, 10, 8, 5}, 0, 0.0},
      {3, {5, 10, 8, 5}, 0, 1.0}};
  for (const CodeCase& c : cases) {
    long code = -1;
    int icode = -1;
    const Args& a = c.a;
    const double r = c.fn == 0   ? D::CdfBin(a[0], a[1], a[2], code)
                     : c.fn == 1 ? D::PdfBin(a[0], a[1], a[2], code)
                     : c.fn == 2 ? D::IdfBin(a[0], a[1], a[2], code)
                                 : D::CDFHyper(a[0], a[1], a[2], a[3], icode);
    EXPECT_EQ(c.fn == 3 ? icode : code, c.code) << c.fn << " " << a[0] << " " << a[1];
    EXPECT_EQ(r, c.result) << c.fn << " " << a[0] << " " << a[1];
  }
  long code = 0;
  // A p equal to a cumulative probability finds that point.
  EXPECT_EQ(D::IdfBin(D::CdfBin(3.0, 12.0, 0.4, code), 12.0, 0.4, code), 3.0);
}

TEST(DistFunWorkers, PeizerPrattFallback) {
  EXPECT_EQ(A::cbtaux(0.0), 1.0);
  EXPECT_EQ(A::cbtaux(-0.1), kMiss);
  for (double y : {0.2, 0.995, 1.004, 9.0}) {
    const double closed = (1.0 - y * y + 2.0 * y * std::log(y)) / ((1.0 - y) * (1.0 - y));
    EXPECT_NEAR(A::cbtaux(y), closed, 1e-9) << y;
  }
  const double e = std::ldexp(1.0, -30);  // 1 + e is exact
  EXPECT_NEAR(A::cbtaux(1.0 + e), -e / 3.0 + e * e / 6.0, 1e-24);
  // The approximation is close to the exact integral in the body, relatively in the tail.
  long code = 0;
  for (double x : {0.3, 0.45, 0.55})
    EXPECT_NEAR(A::cdfbetpp(x, 1.0 - x, 30.0, 40.0, code), A::cdfbet(x, 30.0, 40.0, code), 5e-6)
        << x;
  EXPECT_EQ(code, 0);
  const double tail = A::cdfbet(0.3, 300.0, 400.0, code);
  EXPECT_NEAR(A::cdfbetpp(0.3, 0.7, 300.0, 400.0, code) / tail, 1.0, 1e-3);
  // The auxiliary function is undefined for a shape below 1/2.
  EXPECT_EQ(A::cdfbetpp(0.3, 0.7, 0.4, 2.0, code), kMiss);
  EXPECT_EQ(code, 2);
}

TEST(DistFunWorkers, ChiSquareBisectionAndGammaTails) {
  long code = -1;
  EXPECT_NEAR(A::idfchb(0.95, 3.0, 20.0, code) / 7.814727903251178, 1.0, 1e-8);
  EXPECT_EQ(code, 0);
  // An upper end that still falls short after one doubling; one doubling that is enough.
  EXPECT_EQ(A::idfchb(0.95, 3.0, 1.0, code), kMiss);
  EXPECT_EQ(code, 2);
  EXPECT_NEAR(A::idfchb(0.95, 3.0, 10.0, code) / 7.814727903251178, 1.0, 1e-8);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(A::gammad(0.0, 2.0, true, code), 0.0);
  EXPECT_EQ(A::gammad(-3.0, 2.0, false, code), 1.0);
  EXPECT_EQ(A::gammad(710.0, 1.0, false, code), 0.0);
  EXPECT_NEAR(A::gammad(1e-20, 1.0, true, code), 1e-20, 1e-35);
}

TEST(DistFunGPTile, InterpolatesInsideTheClassAndRefusesBadArguments) {
  const std::vector<double> lo{10, 20, 30, 40, 50}, hi{20, 30, 40, 50, 60}, w{5, 8, 15, 12, 10};
  const std::vector<double> w0{0, 0, 4, 0, 0};  // only the middle class holds weight
  // (pct, weights, method, result): 25% of 50 lies 7.5 into the second class of weight 8.
  const std::tuple<double, const std::vector<double>*, long, double> cases[] = {
      {25, &w, 0, 20.0 + 7.5 / 8.0 * 10.0},
      {25, &w, 1, 25.0},
      {0, &w, 0, 10.0},
      {100, &w, 0, 60.0},
      {0, &w0, 0, 30.0}};
  double r = 0.0;
  long code = -1;
  for (const auto& [pct, weights, method, expected] : cases) {
    D::GPTile(5, pct, lo, hi, *weights, method, r, code);
    EXPECT_EQ(code, 0);
    EXPECT_NEAR(r, expected, 1e-12) << pct;
  }
  // Bad shapes, percentages, methods, weights or classes (code 1); no weight (code 2).
  const std::vector<double> l2{0, 1}, h2{1, 2}, w2{1, 1};
  const std::tuple<int, double, std::vector<double>, std::vector<double>, long, long> bad[] = {
      {3, 50, l2, w2, 0, 1},    {2, 101, l2, w2, 0, 1},     {2, 50, l2, w2, 2, 1},
      {2, 50, l2, w2, -1, 1},   {2, 50, l2, {1, -1}, 0, 1}, {2, 50, {1, 0}, w2, 0, 1},
      {2, 50, l2, {0, 0}, 0, 2}};
  for (const auto& [n, pct, lo, weights, method, want] : bad) {
    D::GPTile(n, pct, lo, lo == l2 ? h2 : std::vector<double>{2, 1}, weights, method, r, code);
    EXPECT_EQ(code, want) << n << " " << pct << " " << method;
    EXPECT_EQ(r, kMiss);
  }
}

// Bounds from B ~ binomial(N, q): 10 values at 95%, P(B <= 1) = 11/1024 <= 0.025 < P(B <= 2)
// gives (x(2), x(9)), at 99% (x(1), x(10)); weights repeat values, a missing value is skipped.
// The lower quartile of 1..20 at 90%: P(B <= 1) <= 0.05 < P(B <= 2), P(B <= 7) < 0.95 <= P(B <= 8).
TEST(DistFunMednci, MedianAndBinomialRanks) {
  std::vector<double> ten{7, 3, 9, 1, 10, 4, 2, 8, 6, 5}, twenty, ones(20, 1.0);
  for (int i = 20; i >= 1; --i) twenty.push_back(i);
  const std::vector<double> ten1(10, 1.0), x5{1, 2, 3, 4, 5, kMiss}, w5{2, 2, 2, 2, 2, 5};
  const std::tuple<std::vector<double>, std::vector<double>, double, double, std::vector<double>>
      cases[] = {{ten, ten1, 0.95, 0.5, {5.5, 2, 9}},
                 {ten, ten1, 0.99, 0.5, {5.5, 1, 10}},
                 {x5, w5, 0.95, 0.5, {3, 1, 5}},
                 {twenty, ones, 0.9, 0.25, {5.5, 2, 9}},
                 {{4, 1, 3, 5, 2}, {1, 1, 1, 1, 1}, 0.5, 0.5, {3, 2, 4}}};
  double est = 0, lo = 0, hi = 0;
  for (const auto& [x, w, level, q, expected] : cases) {
    ASSERT_TRUE(D::Mednci(x.size(), x, w, level, q, false, est, lo, hi));
    EXPECT_EQ(std::vector<double>({est, lo, hi}), expected);
  }
  const std::vector<double> x{1, 2, 3}, w{1, 1, 1};
  EXPECT_FALSE(D::Mednci(0, x, w, 0.95, 0.5, true, est, lo, hi));
  EXPECT_EQ(est, kMiss);
  EXPECT_FALSE(D::Mednci(4, x, w, 0.95, 0.5, true, est, lo, hi));
  EXPECT_FALSE(D::Mednci(3, x, w, 1.0, 0.5, true, est, lo, hi));
  EXPECT_FALSE(D::Mednci(3, x, w, 0.95, 0.0, true, est, lo, hi));
  EXPECT_FALSE(D::Mednci(3, x, {0, 0, 0.2}, 0.95, 0.5, true, est, lo, hi));
  EXPECT_EQ(std::vector<double>({lo, hi}), std::vector<double>({kMiss, kMiss}));
}

}  // namespace
}  // namespace MCCommonMath

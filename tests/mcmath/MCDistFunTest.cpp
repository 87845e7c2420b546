#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MCDistFun.h"
#include "MCMV.h"

namespace MCCommonMath {

// Reaches the private workers whose behaviour the public functions cannot show alone.
class MCDistFunTestAccess {
 public:
  static double cbtaux(double y) { return MCDistFun::cbtaux(y); }
  static double idfchb(double p, double df, double start, long& code) {
    return MCDistFun::idfchb(p, df, start, code);
  }
  static double dnlbnc(double a, double b, long& code) { return MCDistFun::dnlbnc(a, b, code); }
  static double cdfbet(double x, double a, double b, long& code) {
    return MCDistFun::cdfbet(x, a, b, code);
  }
  static double cdfbetpp(double x, double a, double b, long& code) {
    return MCDistFun::cdfbetpp(x, 1.0 - x, a, b, code);
  }
  static double gammad(double x, double a, bool lower, long& code) {
    return MCDistFun::gammad(x, a, lower, code);
  }
  static double zelkcdft(double t, double df, long& code) {
    return MCDistFun::zelkcdft(t, df, code);
  }
  static double zelkidfchi(double p, double df, long& code) {
    return MCDistFun::zelkidfchi(p, df, code);
  }
  static double zelkidff(double p, double df1, double df2, long& code) {
    return MCDistFun::zelkidff(p, df1, df2, code);
  }
  static double zelkidft(double p, double df, long& code) {
    return MCDistFun::zelkidft(p, df, code);
  }
  static double zelkcdff(double f, double df1, double df2, long& code) {
    return MCDistFun::zelkcdff(f, df1, df2, code);
  }
};

namespace {

using D = MCDistFun;
using A = MCDistFunTestAccess;
const double kMiss = MCMV::Missing();
const double kPi = std::acos(-1.0);

// ---------------------------------------------------------------------------------------
// Reference values from tests/mcmath/data/make_distfun_reference.py (mpmath at 40 digits,
// exact rational sums for the discrete distributions).

struct RefRow {
  std::string fn;
  std::vector<double> args;
  double expected = 0.0;
};

void PrintTo(const RefRow& r, std::ostream* os) {
  *os << r.fn << "(";
  for (double a : r.args) *os << a << " ";
  *os << ") = " << r.expected;
}

std::vector<RefRow> LoadReference() {
  std::vector<RefRow> rows;
  // The fixture lives beside this source, in data/.
  const std::string self = __FILE__;
  std::ifstream in(self.substr(0, self.find_last_of("/\\") + 1) + "data/distfun_reference.csv");
  std::string line;
  while (std::getline(in, line)) {
    std::stringstream ss(line);
    std::string cell;
    RefRow row;
    std::getline(ss, row.fn, ',');
    std::vector<double> v;
    while (std::getline(ss, cell, ',')) v.push_back(std::strtod(cell.c_str(), nullptr));
    if (v.empty()) continue;
    row.expected = v.back();
    v.pop_back();
    row.args = v;
    rows.push_back(row);
  }
  return rows;
}

// Absolute 1e-12 everywhere and 1e-9 relative below 1e-3.
void ExpectProbability(double got, double expected) {
  ASSERT_NE(got, kMiss);
  EXPECT_NEAR(got, expected, 1e-12);
  // Below exp(-708) the functions return 0 by design.
  if (expected < 1e-300) {
    EXPECT_LE(got, 1e-300);
  } else if (expected < 1e-3) {
    EXPECT_LE(std::fabs(got - expected), 1e-9 * expected) << got;
  }
}

void ExpectRelative(double got, double expected, double rel) {
  ASSERT_NE(got, kMiss);
  EXPECT_LE(std::fabs(got - expected), rel * std::fabs(expected)) << got << " vs " << expected;
}

// The continued fraction of the incomplete beta stops when successive approximants agree
// within 10 (a + b) machine epsilons, so quantiles from it are as good as 1e-12 relative
// only for moderate shapes.
double QuantileTol(double shapeSum) { return 1e-12 * std::max(1.0, shapeSum / 500.0); }

class DistFunReference : public ::testing::TestWithParam<RefRow> {};

TEST_P(DistFunReference, MatchesIndependentValue) {
  const RefRow& r = GetParam();
  const auto& a = r.args;
  long code = -7;
  if (r.fn == "CdfStdNorm") {
    ExpectProbability(D::CdfStdNorm(a[0]), r.expected);
  } else if (r.fn == "IdfStdNorm") {
    ExpectRelative(D::IdfStdNorm(a[0]), r.expected, 1e-14);
  } else if (r.fn == "CdfChi") {
    ExpectProbability(D::CdfChi(a[0], a[1]), r.expected);
  } else if (r.fn == "SigChi") {
    ExpectProbability(D::SigChi(a[0], a[1]), r.expected);
  } else if (r.fn == "IdfChi") {
    // AS 91 stops at a relative change of 5e-7 after a seventh-order step, which leaves
    // far smaller errors, except that a quantile below 5e-7 is the starting
    // approximation itself.
    ExpectRelative(D::IdfChi(a[0], a[1]), r.expected, r.expected < 5e-7 ? 1e-6 : 1e-9);
  } else if (r.fn == "CdfF") {
    ExpectProbability(D::CdfF(a[0], a[1], a[2]), r.expected);
  } else if (r.fn == "SigF") {
    ExpectProbability(D::SigF(a[0], a[1], a[2]), r.expected);
  } else if (r.fn == "IdfF") {
    ExpectRelative(D::IdfF(a[0], a[1], a[2]), r.expected, QuantileTol(0.5 * (a[1] + a[2])));
  } else if (r.fn == "CdfT") {
    ExpectProbability(D::CdfT(a[0], a[1]), r.expected);
  } else if (r.fn == "SigT") {
    ExpectProbability(D::SigT(a[0], a[1]), r.expected);
  } else if (r.fn == "IdfT") {
    ExpectRelative(D::IdfT(a[0], a[1]), r.expected, QuantileTol(0.5 * a[1]));
  } else if (r.fn == "IdfBeta") {
    ExpectRelative(D::IdfBeta(a[0], a[1], a[2]), r.expected, QuantileTol(a[1] + a[2]));
  } else if (r.fn == "IBeta") {
    ExpectProbability(A::cdfbet(a[0], a[1], a[2], code), r.expected);
    EXPECT_EQ(code, 0);
  } else if (r.fn == "CdfBin") {
    ExpectProbability(D::CdfBin(a[0], a[1], a[2], code), r.expected);
    EXPECT_EQ(code, 0);
  } else if (r.fn == "PdfBin") {
    ExpectRelative(D::PdfBin(a[0], a[1], a[2], code), r.expected, 1e-12);
    EXPECT_EQ(code, 0);
  } else if (r.fn == "IdfBin") {
    EXPECT_EQ(D::IdfBin(a[0], a[1], a[2], code), r.expected);
    EXPECT_EQ(code, 0);
  } else if (r.fn == "CDFHyper4") {
    int icode = -7;
    ExpectProbability(D::CDFHyper(a[0], a[1], a[2], a[3], icode), r.expected);
    EXPECT_EQ(icode, 0);
  } else if (r.fn == "LnGamma") {
    ExpectRelative(D::zelkdnlgam(a[0]), r.expected, 1e-13);
  } else {
    FAIL() << "unknown function " << r.fn;
  }
}

INSTANTIATE_TEST_SUITE_P(Fixture, DistFunReference, ::testing::ValuesIn(LoadReference()),
                         [](const ::testing::TestParamInfo<RefRow>& info) {
                           return info.param.fn + "_" + std::to_string(info.index);
                         });

TEST(DistFunReferenceFile, IsPresentAndCoversEveryFunction) {
  const auto rows = LoadReference();
  ASSERT_GT(rows.size(), 1000u);
  for (const char* fn :
       {"CdfStdNorm", "IdfStdNorm", "CdfChi", "SigChi", "IdfChi", "CdfF", "SigF", "IdfF", "CdfT",
        "SigT", "IdfT", "IdfBeta", "CdfBin", "PdfBin", "IdfBin", "CDFHyper4", "LnGamma", "IBeta"}) {
    int n = 0;
    for (const auto& r : rows) n += (r.fn == fn);
    EXPECT_GE(n, 10) << fn;
  }
}

// ---------------------------------------------------------------------------------------
// Closed forms and published table values.

class ClosedForms : public ::testing::TestWithParam<double> {};

TEST_P(ClosedForms, TOneAndTwoDfChiTwoDfAndFAgainstT) {
  const double x = GetParam();
  // t with 1 df is Cauchy; with 2 df P(T <= t) = 1/2 + t / (2 sqrt(2 + t^2)).
  EXPECT_NEAR(D::CdfT(x, 1.0), 0.5 + std::atan(x) / kPi, 1e-15);
  EXPECT_NEAR(D::CdfT(x, 2.0), 0.5 + x / (2.0 * std::sqrt(2.0 + x * x)), 1e-14);
  EXPECT_NEAR(D::SigT(x, 2.0), 0.5 - x / (2.0 * std::sqrt(2.0 + x * x)), 1e-14);
  const double ax = std::fabs(x);
  EXPECT_NEAR(D::CdfChi(ax, 2.0), -std::expm1(-ax / 2.0), 1e-15);
  EXPECT_NEAR(D::SigChi(ax, 2.0), std::exp(-ax / 2.0), 1e-15);
  // F(1, n) is the square of t(n); chi-square(1) the square of a normal.
  for (double n : {1.0, 3.0, 7.5, 40.0}) {
    EXPECT_NEAR(D::CdfF(x * x, 1.0, n), 2.0 * D::CdfT(ax, n) - 1.0, 1e-14) << n;
    EXPECT_NEAR(D::SigF(x * x, 1.0, n), 2.0 * D::SigT(ax, n), 1e-14) << n;
  }
  EXPECT_NEAR(D::CdfChi(x * x, 1.0), 2.0 * D::CdfStdNorm(ax) - 1.0, 1e-14);
  EXPECT_NEAR(D::CdfNorm(3.0 + 2.0 * x, 3.0, 2.0), 0.5 * std::erfc(-x / std::sqrt(2.0)), 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Grid, ClosedForms,
                         ::testing::Values(-40.0, -7.0, -2.5, -1.0, -0.3, 1e-6, 0.5, 0.999, 1.0,
                                           1.001, 3.0, 12.0, 300.0));

TEST(DistFunTables, PublishedQuantiles) {
  EXPECT_NEAR(D::IdfStdNorm(0.975), 1.959963984540054, 1e-15);
  EXPECT_NEAR(D::IdfNorm(0.975, 10.0, 2.0), 10.0 + 2.0 * 1.959963984540054, 1e-14);
  EXPECT_NEAR(D::IdfT(0.975, 10.0), 2.228138851986274, 1e-12);
  EXPECT_NEAR(D::IdfChi(0.95, 1.0), 3.841458820694124, 1e-6);
  EXPECT_NEAR(D::IdfF(0.95, 5.0, 10.0), 3.325834530413011, 1e-11);
}

// ---------------------------------------------------------------------------------------
// Round trips Idf(Cdf(x)) = x.

class RoundTrip : public ::testing::TestWithParam<double> {};

TEST_P(RoundTrip, InverseUndoesCdf) {
  const double x = GetParam();
  auto usable = [](double p) { return p > 1e-12 && p < 1.0 - 1e-12; };
  EXPECT_NEAR(D::IdfStdNorm(D::CdfStdNorm(x - 2.0)), x - 2.0, 1e-12);
  int checked = 0;
  for (double df : {0.4, 1.0, 3.0, 17.0, 250.0}) {
    const double pc = D::CdfChi(x * df, df);
    if (usable(pc)) {
      EXPECT_NEAR(D::IdfChi(pc, df) / (x * df), 1.0, 1e-6) << df;
      ++checked;
    }
    const double pt = D::CdfT(x - 2.0, df);
    if (usable(pt)) {
      EXPECT_NEAR(D::IdfT(pt, df), x - 2.0, 1e-9) << df;
      ++checked;
    }
    const double pf = D::CdfF(x, df, 6.0);
    if (usable(pf)) {
      EXPECT_NEAR(D::IdfF(pf, df, 6.0) / x, 1.0, 1e-9) << df;
      ++checked;
    }
    // B ~ beta(df/2, 3) <=> (6/df) B/(1 - B) ~ F(df, 6).
    const double u = x / 5.0;
    const double pb = D::CdfF(u / (1.0 - u) * 6.0 / df, df, 6.0);
    if (usable(pb)) {
      EXPECT_NEAR(D::IdfBeta(pb, df / 2.0, 3.0), u, 1e-10) << df;
      ++checked;
    }
  }
  EXPECT_GE(checked, 12);
}

INSTANTIATE_TEST_SUITE_P(Grid, RoundTrip, ::testing::Values(0.05, 0.3, 0.9, 1.7, 2.5, 3.3, 4.6));

// ---------------------------------------------------------------------------------------
// Domains and failure conventions.

TEST(DistFunDomain, MissingOutsideTheDomain) {
  for (double bad : {0.0, -1.0, std::nan("")}) {
    EXPECT_EQ(D::CdfNorm(0.0, 0.0, bad), kMiss);
    EXPECT_EQ(D::IdfNorm(0.3, 0.0, bad), kMiss);
    EXPECT_EQ(D::CdfChi(1.0, bad), kMiss);
    EXPECT_EQ(D::SigChi(1.0, bad), kMiss);
    EXPECT_EQ(D::IdfChi(0.5, bad), kMiss);
    EXPECT_EQ(D::CdfF(1.0, bad, 3.0), kMiss);
    EXPECT_EQ(D::CdfF(1.0, 3.0, bad), kMiss);
    EXPECT_EQ(D::SigF(1.0, 3.0, bad), kMiss);
    EXPECT_EQ(D::IdfF(0.5, bad, 3.0), kMiss);
    EXPECT_EQ(D::CdfT(1.0, bad), kMiss);
    EXPECT_EQ(D::SigT(1.0, bad), kMiss);
    EXPECT_EQ(D::IdfT(0.3, bad), kMiss);
    EXPECT_EQ(D::zelkdnlgam(bad), kMiss);
  }
  for (double p : {0.0, 1.0, -0.1, 1.1, std::nan("")}) {
    EXPECT_EQ(D::IdfStdNorm(p), kMiss) << p;
    EXPECT_EQ(D::IdfNorm(p, 1.0, 2.0), kMiss) << p;
    EXPECT_EQ(D::IdfT(p, 4.0), kMiss) << p;
  }
  for (double p : {1.0, -0.1, std::nan("")}) {
    EXPECT_EQ(D::IdfChi(p, 3.0), kMiss) << p;
    EXPECT_EQ(D::IdfF(p, 3.0, 4.0), kMiss) << p;
  }
  EXPECT_EQ(D::CdfStdNorm(std::nan("")), kMiss);
}

TEST(DistFunDomain, CodesOfTheWorkers) {
  long code = -5;
  EXPECT_EQ(A::zelkcdff(1.0, 0.0, 2.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(A::zelkcdft(1.0, -2.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(A::zelkidff(1.0, 2.0, 2.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(A::zelkidft(0.0, 2.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(A::zelkidfchi(-0.5, 2.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(A::gammad(1.0, 0.0, true, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(A::cdfbet(0.5, 1.0, -1.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(A::dnlbnc(3.0, 4.0, code), kMiss);
  EXPECT_EQ(code, 1);
  // A successful call resets the code.
  EXPECT_NEAR(A::zelkcdft(0.0, 3.0, code), 0.5, 0.0);
  EXPECT_EQ(code, 0);
  EXPECT_NEAR(A::dnlbnc(10.0, 3.0, code), std::log(120.0), 1e-14);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(A::zelkidff(0.0, 2.0, 2.0, code), 0.0);
  EXPECT_EQ(code, 0);
}

TEST(DistFunDomain, ListedSpecialValues) {
  EXPECT_EQ(D::CdfStdNorm(0.0), 0.5);
  EXPECT_EQ(D::IdfStdNorm(0.5), 0.0);
  EXPECT_EQ(D::IdfNorm(0.5, 3.0, 2.0), 3.0);
  EXPECT_EQ(D::CdfChi(-1.0, 3.0), 0.0);
  EXPECT_EQ(D::SigChi(0.0, 3.0), 1.0);
  EXPECT_EQ(D::CdfChi(1.0, 0.0), kMiss);
  EXPECT_EQ(D::IdfChi(0.0, 3.0), 0.0);
  EXPECT_EQ(D::SigT(0.0, 5.0), 0.5);
  EXPECT_EQ(D::CdfT(0.0, 5.0), 0.5);
  EXPECT_DOUBLE_EQ(D::SigT(1.0, 1.0), 0.25);
  EXPECT_EQ(D::IdfT(0.5, 7.0), 0.0);
  EXPECT_EQ(D::SigF(0.0, 2.0, 3.0), 1.0);
  EXPECT_EQ(D::CdfF(-2.0, 2.0, 3.0), 0.0);
  EXPECT_EQ(D::SigF(1.0, 0.0, 3.0), kMiss);
  EXPECT_EQ(D::IdfF(0.0, 2.0, 3.0), 0.0);
  EXPECT_EQ(D::CdfF(INFINITY, 2.0, 3.0), 1.0);
  EXPECT_EQ(D::CdfT(-INFINITY, 4.0), 0.0);
  EXPECT_EQ(D::zelkdnlgam(1.0), 0.0);
  EXPECT_EQ(D::zelkdnlgam(2.0), 0.0);
  EXPECT_NEAR(D::zelkdnlgam(0.5), 0.5 * std::log(kPi), 1e-16);
}

TEST(DistFunIdfBeta, ExactCasesAndFailures) {
  EXPECT_EQ(D::IdfBeta(0.0, -1.0, 2.0), 0.0);
  EXPECT_EQ(D::IdfBeta(1.0, -1.0, 2.0), 1.0);
  EXPECT_EQ(D::IdfBeta(0.3, -1.0, 2.0), -1.0);
  EXPECT_EQ(D::IdfBeta(0.3, 2.0, 0.0), -1.0);
  EXPECT_EQ(D::IdfBeta(1.5, 2.0, 2.0), -1.0);
  EXPECT_EQ(D::IdfBeta(std::nan(""), 2.0, 2.0), -1.0);
  EXPECT_EQ(D::IdfBeta(0.5, 3.7, 3.7), 0.5);
  const double p = 0.3;
  EXPECT_NEAR(D::IdfBeta(p, 0.5, 0.5), std::pow(std::sin(kPi * p / 2.0), 2.0), 1e-16);
  EXPECT_NEAR(D::IdfBeta(p, 2.5, 1.0), std::pow(p, 1.0 / 2.5), 1e-15);
  EXPECT_NEAR(D::IdfBeta(p, 1.0, 4.0), 1.0 - std::pow(1.0 - p, 0.25), 1e-15);
  EXPECT_EQ(D::IdfBeta(p, 1.0, 1e-30), 1.0);                  // b <= a * 1e-20
  EXPECT_EQ(D::IdfBeta(1e-300, 1.0 / 3.0 * 1e-3, 1.0), 0.0);  // exponent below -708
}

// ---------------------------------------------------------------------------------------
// Binomial and hypergeometric conventions.

TEST(DistFunBinomial, CodesAndSpecialCases) {
  long code = -1;
  EXPECT_EQ(D::CdfBin(2.0, 4.5, 0.5, code), kMiss);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(D::CdfBin(2.0, 0.0, 0.5, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(D::CdfBin(2.0, 4.0, 1.5, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(D::PdfBin(2.0, 4.0, -0.1, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(D::PdfBin(2.0, 4.5, 0.3, code), kMiss);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(D::IdfBin(0.5, 4.5, 0.3, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(D::IdfBin(1.5, 4.0, 0.3, code), kMiss);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(D::IdfBin(0.5, 0.0, 0.3, code), kMiss);
  EXPECT_EQ(code, 2);

  EXPECT_EQ(D::CdfBin(2.9, 4.0, 0.0, code), 1.0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(D::CdfBin(-0.5, 4.0, 0.0, code), 0.0);
  EXPECT_EQ(D::CdfBin(3.9, 4.0, 1.0, code), 0.0);
  EXPECT_EQ(D::CdfBin(4.0, 4.0, 1.0, code), 1.0);
  EXPECT_EQ(D::CdfBin(-1.0, 4.0, 0.3, code), 0.0);
  EXPECT_EQ(D::CdfBin(7.0, 4.0, 0.3, code), 1.0);
  EXPECT_NEAR(D::CdfBin(0.7, 4.0, 0.3, code), std::pow(0.7, 4.0), 1e-16);
  EXPECT_EQ(D::CdfBin(0.0, 1e6, 0.5, code), 0.0);  // n ln(1 - p) below -708
  EXPECT_EQ(D::PdfBin(2.5, 4.0, 0.3, code), 0.0);
  EXPECT_EQ(D::PdfBin(5.0, 4.0, 0.3, code), 0.0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(D::IdfBin(0.0, 9.0, 0.3, code), 0.0);
  EXPECT_EQ(D::IdfBin(1.0, 9.0, 0.3, code), 9.0);
  // A p equal to a cumulative probability finds that point.
  const double f3 = D::CdfBin(3.0, 12.0, 0.4, code);
  EXPECT_EQ(D::IdfBin(f3, 12.0, 0.4, code), 3.0);
}

TEST(DistFunBinomial, PdfSumsToCdf) {
  long code = 0;
  for (double n : {7.0, 60.0}) {
    double acc = 0.0;
    for (double k = 0.0; k <= n; k += 1.0) {
      acc += D::PdfBin(k, n, 0.37, code);
      EXPECT_NEAR(D::CdfBin(k, n, 0.37, code), acc, 1e-14) << n << " " << k;
    }
  }
}

TEST(DistFunHyper, CodesAndBounds) {
  int code = -1;
  EXPECT_EQ(D::CDFHyper(1.0, 10.5, 4.0, 3.0, code), kMiss);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(D::CDFHyper(1.0, 10.0, 11.0, 3.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(D::CDFHyper(1.0, 10.0, 4.0, 12.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(D::CDFHyper(1.0, 0.0, 0.0, 0.0, code), kMiss);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(D::CDFHyper(0.9, 10.0, 8.0, 5.0, code), 0.0);  // at least 3 successes drawn
  EXPECT_EQ(code, 0);
  EXPECT_EQ(D::CDFHyper(5.0, 10.0, 8.0, 5.0, code), 1.0);
  // P(X <= 1) for 3 draws from 4 of 10: (C(6,3) + 4 C(6,2)) / C(10,3) = 80 / 120.
  EXPECT_NEAR(D::CDFHyper(1.7, 10.0, 4.0, 3.0, code), 80.0 / 120.0, 1e-15);
}

// ---------------------------------------------------------------------------------------
// Private workers.

TEST(DistFunWorkers, PeizerPrattAuxiliary) {
  EXPECT_EQ(A::cbtaux(0.0), 1.0);
  EXPECT_EQ(A::cbtaux(-0.1), kMiss);
  for (double y : {0.2, 0.9, 0.995, 1.004, 2.0, 9.0}) {
    const double closed = (1.0 - y * y + 2.0 * y * std::log(y)) / ((1.0 - y) * (1.0 - y));
    EXPECT_NEAR(A::cbtaux(y), closed, 1e-9) << y;
  }
  const double e = std::ldexp(1.0, -30);  // 1 + e is exact
  EXPECT_NEAR(A::cbtaux(1.0 + e), -e / 3.0 + e * e / 6.0, 1e-24);
  // The approximation is close to the exact integral in the body of the distribution.
  long code = 0;
  for (double x : {0.3, 0.4, 0.45, 0.55}) {
    const double exact = A::cdfbet(x, 30.0, 40.0, code);
    EXPECT_NEAR(A::cdfbetpp(x, 30.0, 40.0, code), exact, 5e-6) << x;
    EXPECT_EQ(code, 0);
  }
  // and in the far tail, relatively.
  const double tail = A::cdfbet(0.3, 300.0, 400.0, code);
  EXPECT_NEAR(A::cdfbetpp(0.3, 300.0, 400.0, code) / tail, 1.0, 1e-3);
  // The auxiliary function is undefined for a shape below 1/2.
  EXPECT_EQ(A::cdfbetpp(0.3, 0.4, 2.0, code), kMiss);
  EXPECT_EQ(code, 2);
}

TEST(DistFunWorkers, ChiSquareBisection) {
  long code = -1;
  const double q = A::idfchb(0.95, 3.0, 20.0, code);
  EXPECT_EQ(code, 0);
  EXPECT_NEAR(q / 7.814727903251178, 1.0, 1e-8);
  // An upper end that still falls short after one doubling.
  EXPECT_EQ(A::idfchb(0.95, 3.0, 1.0, code), kMiss);
  EXPECT_EQ(code, 2);
  // One doubling is enough here: 2 x 5 = 10 > 7.81.
  EXPECT_NEAR(A::idfchb(0.95, 3.0, 10.0, code) / 7.814727903251178, 1.0, 1e-8);
  EXPECT_EQ(code, 0);
}

TEST(DistFunWorkers, IncompleteGammaTails) {
  long code = -1;
  EXPECT_EQ(A::gammad(0.0, 2.0, true, code), 0.0);
  EXPECT_EQ(A::gammad(-3.0, 2.0, false, code), 1.0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(A::gammad(710.0, 1.0, false, code), 0.0);
  EXPECT_NEAR(A::gammad(1e-20, 1.0, true, code), 1e-20, 1e-35);
  // Both branches (series for x <= a, fraction above) agree with P + Q = 1.
  for (double a : {0.3, 4.0, 80.0}) {
    for (double x : {0.5, 3.9, 4.1, 79.0, 81.0}) {
      EXPECT_NEAR(A::gammad(x, a, true, code) + A::gammad(x, a, false, code), 1.0, 1e-14);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Order statistics.

TEST(DistFunGPTile, InterpolatesInsideTheClass) {
  const std::vector<double> lo{10, 20, 30, 40, 50}, hi{20, 30, 40, 50, 60}, w{5, 8, 15, 12, 10};
  double r = 0.0;
  long code = -1;
  D::GPTile(5, 25.0, lo, hi, w, 0, r, code);
  EXPECT_EQ(code, 0);
  EXPECT_NEAR(r, 20.0 + (12.5 - 5.0) / 8.0 * 10.0, 1e-12);  // 29.375
  D::GPTile(5, 25.0, lo, hi, w, 1, r, code);
  EXPECT_NEAR(r, 25.0, 1e-12);
  D::GPTile(5, 50.0, lo, hi, w, 0, r, code);
  EXPECT_NEAR(r, 30.0 + (25.0 - 13.0) / 15.0 * 10.0, 1e-12);
  D::GPTile(5, 0.0, lo, hi, w, 0, r, code);
  EXPECT_NEAR(r, 10.0, 1e-12);
  D::GPTile(5, 100.0, lo, hi, w, 0, r, code);
  EXPECT_NEAR(r, 60.0, 1e-12);
  const std::vector<double> w0{0, 0, 4, 0, 0};  // only the middle class holds weight
  D::GPTile(5, 0.0, lo, hi, w0, 0, r, code);
  EXPECT_NEAR(r, 30.0, 1e-12);
  D::GPTile(5, 75.0, lo, hi, w0, 0, r, code);
  EXPECT_NEAR(r, 37.5, 1e-12);
}

TEST(DistFunGPTile, RefusesBadArguments) {
  const std::vector<double> lo{0, 1}, hi{1, 2}, w{1, 1};
  double r = 0.0;
  long code = 0;
  D::GPTile(3, 50.0, lo, hi, w, 0, r, code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(r, kMiss);
  D::GPTile(2, 101.0, lo, hi, w, 0, r, code);
  EXPECT_EQ(code, 1);
  D::GPTile(2, 50.0, lo, hi, w, 2, r, code);
  EXPECT_EQ(code, 1);
  D::GPTile(2, 50.0, lo, hi, {1, -1}, 0, r, code);
  EXPECT_EQ(code, 1);
  D::GPTile(2, 50.0, {1, 0}, {2, 1}, w, 0, r, code);  // classes out of order
  EXPECT_EQ(code, 1);
  D::GPTile(2, 50.0, lo, hi, {0, 0}, 0, r, code);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(r, kMiss);
}

TEST(DistFunMednci, MedianAndBinomialRanks) {
  // Ten values: the 95% interval is (x(2), x(9)) since P(B <= 1) = 11/1024 <= 0.025 <
  // P(B <= 2) = 56/1024 for B binomial(10, 1/2).
  const std::vector<double> x{7, 3, 9, 1, 10, 4, 2, 8, 6, 5};
  const std::vector<double> w(10, 1.0);
  double est = 0, lo = 0, hi = 0;
  ASSERT_TRUE(D::Mednci(10, x, w, 0.95, 0.5, false, est, lo, hi));
  EXPECT_EQ(est, 5.5);
  EXPECT_EQ(lo, 2.0);
  EXPECT_EQ(hi, 9.0);
  // 99%: P(B <= 0) = 1/1024 <= 0.005 < P(B <= 1), so (x(1), x(10)).
  ASSERT_TRUE(D::Mednci(10, x, w, 0.99, 0.5, false, est, lo, hi));
  EXPECT_EQ(lo, 1.0);
  EXPECT_EQ(hi, 10.0);
  // Frequency weights give the same answer as repeated values; a skipped case changes
  // nothing.
  const std::vector<double> xs{1, 2, 3, 4, 5, MCMV::Missing()}, ws{2, 2, 2, 2, 2, 5};
  const std::vector<double> xr{1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
  double e2 = 0, l2 = 0, h2 = 0;
  ASSERT_TRUE(D::Mednci(6, xs, ws, 0.95, 0.5, true, est, lo, hi));
  ASSERT_TRUE(D::Mednci(10, xr, w, 0.95, 0.5, true, e2, l2, h2));
  EXPECT_EQ(est, e2);
  EXPECT_EQ(lo, l2);
  EXPECT_EQ(hi, h2);
  EXPECT_EQ(est, 3.0);
  EXPECT_EQ(lo, 1.0);
  EXPECT_EQ(hi, 5.0);
  // Lower quartile of 1..20 at 90%: P(B <= 1) = 0.0243 <= 0.05 < P(B <= 2) and
  // P(B <= 7) = 0.898 < 0.95 <= P(B <= 8) for B binomial(20, 1/4) give (x(2), x(9)).
  std::vector<double> x20, w20(20, 1.0);
  for (int i = 20; i >= 1; --i) x20.push_back(i);
  ASSERT_TRUE(D::Mednci(20, x20, w20, 0.9, 0.25, false, est, lo, hi));
  EXPECT_EQ(est, 5.5);  // the cumulative weight meets 5 exactly at the fifth value
  EXPECT_EQ(lo, 2.0);
  EXPECT_EQ(hi, 9.0);
  // Odd count: the middle value.
  ASSERT_TRUE(D::Mednci(5, {4, 1, 3, 5, 2}, {1, 1, 1, 1, 1}, 0.5, 0.5, false, est, lo, hi));
  EXPECT_EQ(est, 3.0);
}

TEST(DistFunMednci, RefusesBadArguments) {
  double est = 0, lo = 0, hi = 0;
  const std::vector<double> x{1, 2, 3}, w{1, 1, 1};
  EXPECT_FALSE(D::Mednci(0, x, w, 0.95, 0.5, true, est, lo, hi));
  EXPECT_EQ(est, kMiss);
  EXPECT_FALSE(D::Mednci(4, x, w, 0.95, 0.5, true, est, lo, hi));
  EXPECT_FALSE(D::Mednci(3, x, w, 1.0, 0.5, true, est, lo, hi));
  EXPECT_FALSE(D::Mednci(3, x, w, 0.95, 0.0, true, est, lo, hi));
  EXPECT_FALSE(D::Mednci(3, x, {0, 0, 0.2}, 0.95, 0.5, true, est, lo, hi));
  EXPECT_EQ(lo, kMiss);
  EXPECT_EQ(hi, kMiss);
}

}  // namespace
}  // namespace MCCommonMath

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "MCMV.h"
#include "MCSparseVector.h"
#include "MCSymMatrix.h"

using MCCommonMath::MCSparseVector;
using MCCommonMath::MCSymMatrix;

namespace {

// A random sparse vector over [0, len): about half the positions, increasing.
void RandomSparse(int len, unsigned seed, std::vector<int>& idx, std::vector<double>& val) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  idx.clear();
  val.clear();
  for (int i = 0; i < len; ++i) {
    if (gen() % 2 == 0 || (i == len - 1 && idx.empty())) {
      idx.push_back(i);
      val.push_back(u(gen));
    }
  }
}

std::vector<double> Dense(const std::vector<int>& idx, const std::vector<double>& val, int len) {
  std::vector<double> d(len, 0.0);
  for (size_t k = 0; k < idx.size(); ++k) d[idx[k]] = val[k];
  return d;
}

TEST(SparseVector, Validity) {
  const std::vector<double> two{1, 2};
  EXPECT_FALSE(MCSparseVector({}, {}).IsValid());
  EXPECT_FALSE(MCSparseVector({1, 1}, two).IsValid());
  EXPECT_FALSE(MCSparseVector({-1, 2}, two).IsValid());
  EXPECT_FALSE(MCSparseVector({1, 2}, {1}).IsValid());
  EXPECT_EQ(MCSparseVector({0, 4}, two).GetMinVecSize(), 5);

  // Every operation refuses an invalid (decreasing) view.
  const std::vector<int> bad{3, 1};  // the vector keeps pointers: no temporaries
  MCSparseVector w(bad, two);
  std::vector<double> x(5, 7.0), p;
  MCSymMatrix s(5);
  double logTerm = 0.0;
  EXPECT_EQ(w.ConvertToRegularVector(x), -1);
  EXPECT_FALSE(w.IncrementPart(x, 0, 1.0));
  EXPECT_EQ(x, std::vector<double>(5, 7.0));
  EXPECT_TRUE(MCMV::IsMissing(w.InnerProductWithPart(x, 0)));
  EXPECT_FALSE(w.QuadraticOuterProductIncr(s, 1.0));
  EXPECT_FALSE(w.ComputeProbabilities(x, 2, 5, p, logTerm));
  // Parts before the start of the dense vector.
  const std::vector<int> good{1, 3};
  const MCSparseVector v(good, two);
  EXPECT_FALSE(v.IncrementPart(x, -1, 3.0));
  EXPECT_TRUE(MCMV::IsMissing(v.InnerProductWithPart(x, -1)));
}

TEST(SparseVector, InnerProductOfRawArraysEmptyAndRefused) {
  const int a0[] = {0, 3}, b0[] = {1, 2, 3};
  const double av[] = {5, 7}, bv[] = {1, 1, 1};
  EXPECT_EQ(MCSparseVector::InnerProduct(a0, av, 0, b0, bv, 3), 0.0);
  EXPECT_TRUE(MCMV::IsMissing(MCSparseVector::InnerProduct(nullptr, av, 2, b0, bv, 3)));
  EXPECT_TRUE(MCMV::IsMissing(MCSparseVector::InnerProduct(a0, av, -1, b0, bv, 3)));
}

// Conversion, parts, inner products, and outer products added to a matrix, against dense
// arithmetic; parts that would reach past the end are refused.
TEST(SparseVector, RandomVectorsMatchDenseArithmetic) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::vector<int> idx, ib;
    std::vector<double> val, vb;
    RandomSparse(12, seed, idx, val);
    RandomSparse(12, seed + 100, ib, vb);
    MCSparseVector v(idx, val);
    const int len = v.GetMinVecSize();
    const std::vector<double> d = Dense(idx, val, len), db = Dense(ib, vb, 12);
    double dense = 0.0;
    for (int i = 0; i < len; ++i) dense += d[i] * db[i];
    EXPECT_NEAR(MCSparseVector::InnerProduct(idx.data(), val.data(), int(idx.size()), ib.data(),
                                             vb.data(), int(ib.size())),
                dense, 1e-12);
    std::vector<double> beta(3 + 12);  // a dense vector at an offset
    for (int i = 0; i < 12; ++i) beta[3 + i] = db[i];
    EXPECT_NEAR(v.InnerProductWithPart(beta, 3), dense, 1e-12);
    EXPECT_TRUE(MCMV::IsMissing(v.InnerProductWithPart(beta, 16 - len)));

    std::vector<double> x{9}, z = db, zWant = db;
    EXPECT_EQ(v.ConvertToRegularVector(x), len);
    EXPECT_EQ(x, d);
    ASSERT_TRUE(v.IncrementPart(z, 12 - len, 3.0));
    for (int i = 0; i < len; ++i) zWant[12 - len + i] += 3.0 * d[i];
    EXPECT_EQ(z, zWant);
    EXPECT_FALSE(v.IncrementPart(z, 13 - len, 3.0));
    // Row len from column 1: its last element is the diagonal, added once.
    MCSymMatrix row(len + 1), rowRef(len + 1);
    ASSERT_TRUE(v.IncrementRowPart(row, len, 1, 0.5));
    for (int i = 0; i < len; ++i) rowRef.SetElem(len, i + 1, 0.5 * d[i]);
    EXPECT_EQ(row.AsVectorConst(), rowRef.AsVectorConst());
    EXPECT_FALSE(v.IncrementRowPart(row, len + 1, 0, 1.0));
    EXPECT_FALSE(v.IncrementRowPart(row, 0, 2, 1.0));

    MCSymMatrix part(len + 3), shiftedRef(len + 3);
    ASSERT_TRUE(v.QuadraticOuterProductPartIncr(part, 2, -2.0));
    std::vector<double> shifted(len + 3, 0.0);
    for (int i = 0; i < len; ++i) shifted[i + 2] = d[i];
    shiftedRef.UpdateXXPosNegW(shifted, -2.0);
    EXPECT_EQ(part.AsVectorConst(), shiftedRef.AsVectorConst());
    EXPECT_FALSE(v.QuadraticOuterProductPartIncr(part, 4, 1.0));

    MCSymMatrix outer(len + 1);
    outer.AddToDiagonal(3.0);
    ASSERT_TRUE(v.QuadraticOuterProduct(outer));
    MCSymMatrix vv;
    std::vector<double> d1 = d;
    d1.push_back(0.0);
    vv.SetToVV(d1);
    EXPECT_EQ(outer.AsVectorConst(), vv.AsVectorConst());
  }
}

// A matrix too small is resized (its old contents gone), one large enough added to.
TEST(SparseVector, OuterIncrementResizesSmallMatrixAndAddsToLargeOne) {
  const std::vector<int> idx{0, 2};
  const std::vector<double> val{1.0, 2.0};
  const MCSparseVector v(idx, val);
  MCSymMatrix s(2);
  s.SetElem(1, 1, 5.0);
  ASSERT_TRUE(v.QuadraticOuterProductIncr(s, 0.5));
  ASSERT_TRUE(v.QuadraticOuterProductIncr(s, 2.5));
  EXPECT_EQ(s.AsVectorConst(), (std::vector<double>{3, 0, 0, 6, 0, 12}));
}

class Probabilities : public ::testing::TestWithParam<int> {};

// Predictors beyond both exp limits against long double (whose range holds exp(800)): all equal
// (to 4e-16, subnormals too), or eta and 1 (losing |eta| eps; subnormals may flush to 0).
TEST_P(Probabilities, MatchExtendedPrecision) {
  const int nCat = GetParam(), ref = nCat - 1;
  const std::vector<int> idx{0};
  const std::vector<double> one{1.0};
  MCSparseVector v(idx, one);
  for (bool equal : {true, false}) {
    for (double eta : {-1000.0, -708.3, -30.0, 0.0, 30.0, 708.3, 708.9, 709.0, 800.0}) {
      std::vector<double> beta(ref, equal ? eta : 0.0), p;
      beta[0] = eta;
      if (!equal && ref > 1) beta[1] = 1.0;
      double logTerm = 1.0;
      ASSERT_TRUE(v.ComputeProbabilities(beta, nCat, 1, p, logTerm));
      long double den = 1.0L;
      for (double b : beta) den += std::exp(static_cast<long double>(b));
      for (int c = 0; c <= ref; ++c) {
        const long double e = c < ref ? std::exp(static_cast<long double>(beta[c])) : 1.0L;
        const double want = static_cast<double>(e / den);
        EXPECT_LE(std::fabs(p[c] - want), equal ? 4e-16 * want + 1e-322 : 1e-13 * want + DBL_MIN)
            << eta << " " << c << " " << p[c];
      }
      EXPECT_NEAR(logTerm, static_cast<double>(-std::log(den)),
                  1e-15 * std::max(1.0, std::fabs(eta)))
          << eta;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Categories, Probabilities, ::testing::Values(2, 3, 4, 6));

TEST(SparseVector, ProbabilityRefusalsAndSingleCategory) {
  const std::vector<int> idx{0, 2};
  const std::vector<double> val{1.0, 1.0};
  MCSparseVector v(idx, val);
  std::vector<double> p, beta(6, 0.0);
  double logTerm = 5.0;
  EXPECT_FALSE(v.ComputeProbabilities(beta, 0, 3, p, logTerm));
  EXPECT_FALSE(v.ComputeProbabilities(beta, 3, 2, p, logTerm));  // stride < min size
  EXPECT_FALSE(v.ComputeProbabilities(beta, 4, 3, p, logTerm));  // beta too short
  ASSERT_TRUE(v.ComputeProbabilities(beta, 1, 3, p, logTerm));
  EXPECT_EQ(p, std::vector<double>{1.0});
  EXPECT_EQ(logTerm, 0.0);
  // Predictors that are not numbers: a NaN coefficient, a product that overflows.
  for (double b : {std::nan(""), 1e308}) {
    beta[3] = b;
    beta[5] = b;
    EXPECT_FALSE(v.ComputeProbabilities(beta, 3, 3, p, logTerm)) << b;
  }
}

}  // namespace

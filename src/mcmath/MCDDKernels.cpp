#include "mcmath/MCDDKernels.h"

#include <cmath>

// The hot kernels are compiled twice: for the default x86-64 target, where std::fma is a
// library call, and for processors with fused multiply-add, where it is one instruction. The
// loader picks the clone once; both compute the same correctly rounded fma, hence the same bits.
// Defining MCSTAT_NO_FMA_CLONES builds the portable code only, as a processor without FMA runs
// it (to test that path on any machine).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(MCSTAT_NO_FMA_CLONES)
#include <immintrin.h>
#define MCSTAT_HAVE_AVX_BLOCKS 1
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(MCSTAT_NO_FMA_CLONES)
#define MCSTAT_FMA_CLONES __attribute__((target_clones("default", "fma")))
#else
#define MCSTAT_FMA_CLONES
#endif

namespace MCCommonMath {
namespace ddkernels {

namespace {

// acc += a * b for two pairs; the products a.hi b.lo and a.lo b.hi join the error sum.
inline void AddPairProduct(DD& acc, const DD& a, const DD& b) {
  const double p = a.hi * b.hi;
  double e = std::fma(a.hi, b.hi, -p);
  e = std::fma(a.hi, b.lo, e);
  e = std::fma(a.lo, b.hi, e);
  const double s = acc.hi + p;
  const double bb = s - acc.hi;
  acc.lo += ((acc.hi - (s - bb)) + (p - bb)) + e;
  acc.hi = s;
}

// Sum of x[t] y[t] over pairs, compensated, normalised.
inline DD PairDot(int n, const DD* x, const DD* y) {
  DD acc;
  for (int t = 0; t < n; ++t) AddPairProduct(acc, x[t], y[t]);
  return Normalised(acc);
}

bool IsZero(const DD& a) { return a.hi == 0.0 && a.lo == 0.0; }

}  // namespace

MCSTAT_FMA_CLONES
void AddOuterSparse(int m, const int* idx, const double* val, double w, DD* packed) {
  for (int k = 0; k < m; ++k) {
    const DD c = TwoProd(val[k], w);
    DD* row = packed + PackedRowStart(idx[k]);
    for (int l = 0; l <= k; ++l) AddProduct(row[idx[l]], c, val[l]);
  }
}

// The block loop with nb known at compile time, so that the coefficients stay in registers and
// the loop over the blocks becomes vector operations; the product val[k] coef[t] stays an
// unnormalised pair. Always inlined: a copy of its own would be built for the default target
// only, with std::fma a library call.
template <int NB>
__attribute__((always_inline)) inline void AddOuterSparseFixed(int m, const int* idx,
                                                               const double* val, const DD* coef,
                                                               double* sums) {
  for (int k = 0; k < m; ++k) {
    double ckHi[NB], ckLo[NB];
    for (int t = 0; t < NB; ++t) {
      ckHi[t] = coef[t].hi * val[k];
      ckLo[t] = std::fma(coef[t].lo, val[k], std::fma(coef[t].hi, val[k], -ckHi[t]));
    }
    const std::size_t rowStart = PackedRowStart(idx[k]);
    for (int l = 0; l <= k; ++l) {
      double* hi = sums + (rowStart + static_cast<std::size_t>(idx[l])) * (2 * NB);
      double* lo = hi + NB;
      const double vl = val[l];
      for (int t = 0; t < NB; ++t) {
        const double p = ckHi[t] * vl;
        const double e = std::fma(ckLo[t], vl, std::fma(ckHi[t], vl, -p));
        const double s = hi[t] + p;
        const double bb = s - hi[t];
        lo[t] += ((hi[t] - (s - bb)) + (p - bb)) + e;
        hi[t] = s;
      }
    }
  }
}

namespace {

#if defined(MCSTAT_HAVE_AVX_BLOCKS)
// The same sums four (then two) blocks at a time in AVX registers, for processors with AVX and
// FMA; every lane does exactly the scalar operations, so the bits are the same.
__attribute__((target("avx,fma"))) void AddOuterSparseBlocksAvx(int m, const int* idx,
                                                                const double* val, int nb,
                                                                const DD* coef, double* sums) {
  constexpr int kMaxBlocks = 64;
  alignas(32) double ckHi[kMaxBlocks];
  alignas(32) double ckLo[kMaxBlocks];
  // The coefficients' parts apart, so that the row's products of them go four at a time too.
  alignas(32) double cHi[kMaxBlocks];
  alignas(32) double cLo[kMaxBlocks];
  for (int t = 0; t < nb; ++t) {
    cHi[t] = coef[t].hi;
    cLo[t] = coef[t].lo;
  }
  const std::size_t stride = 2 * static_cast<std::size_t>(nb);
  for (int k = 0; k < m; ++k) {
    const double vk = val[k];
    const __m256d vk4 = _mm256_set1_pd(vk);
    int t = 0;
    for (; t + 4 <= nb; t += 4) {
      const __m256d h = _mm256_load_pd(cHi + t);
      const __m256d p = _mm256_mul_pd(h, vk4);
      _mm256_store_pd(ckHi + t, p);
      _mm256_store_pd(ckLo + t,
                      _mm256_fmadd_pd(_mm256_load_pd(cLo + t), vk4, _mm256_fmsub_pd(h, vk4, p)));
    }
    for (; t < nb; ++t) {
      ckHi[t] = cHi[t] * vk;
      ckLo[t] = std::fma(cLo[t], vk, std::fma(cHi[t], vk, -ckHi[t]));
    }
    const std::size_t rowStart = PackedRowStart(idx[k]);
    for (int l = 0; l <= k; ++l) {
      double* hi = sums + (rowStart + static_cast<std::size_t>(idx[l])) * stride;
      double* lo = hi + nb;
      const double vl = val[l];
      const __m256d v4 = _mm256_set1_pd(vl);
      int t = 0;
      for (; t + 4 <= nb; t += 4) {
        const __m256d ch = _mm256_load_pd(ckHi + t);
        const __m256d p = _mm256_mul_pd(ch, v4);
        const __m256d e = _mm256_fmadd_pd(_mm256_load_pd(ckLo + t), v4, _mm256_fmsub_pd(ch, v4, p));
        const __m256d a = _mm256_loadu_pd(hi + t);
        const __m256d sum = _mm256_add_pd(a, p);
        const __m256d bb = _mm256_sub_pd(sum, a);
        const __m256d err =
            _mm256_add_pd(_mm256_sub_pd(a, _mm256_sub_pd(sum, bb)), _mm256_sub_pd(p, bb));
        _mm256_storeu_pd(lo + t, _mm256_add_pd(_mm256_loadu_pd(lo + t), _mm256_add_pd(err, e)));
        _mm256_storeu_pd(hi + t, sum);
      }
      const __m128d v2 = _mm_set1_pd(vl);
      for (; t + 2 <= nb; t += 2) {
        const __m128d ch = _mm_load_pd(ckHi + t);
        const __m128d p = _mm_mul_pd(ch, v2);
        const __m128d e = _mm_fmadd_pd(_mm_load_pd(ckLo + t), v2, _mm_fmsub_pd(ch, v2, p));
        const __m128d a = _mm_loadu_pd(hi + t);
        const __m128d sum = _mm_add_pd(a, p);
        const __m128d bb = _mm_sub_pd(sum, a);
        const __m128d err = _mm_add_pd(_mm_sub_pd(a, _mm_sub_pd(sum, bb)), _mm_sub_pd(p, bb));
        _mm_storeu_pd(lo + t, _mm_add_pd(_mm_loadu_pd(lo + t), _mm_add_pd(err, e)));
        _mm_storeu_pd(hi + t, sum);
      }
      for (; t < nb; ++t) {
        DD a{hi[t], lo[t]};
        AddProduct(a, DD{ckHi[t], ckLo[t]}, vl);
        hi[t] = a.hi;
        lo[t] = a.lo;
      }
    }
  }
}

__attribute__((target("avx,fma"))) void AddScaledColumnsAvx(int c, const double* v, int n,
                                                            const DD* coef, double* hi,
                                                            double* lo) {
  for (int j = 0; j < n; ++j) {
    const __m256d ch = _mm256_set1_pd(coef[j].hi);
    const __m256d cl = _mm256_set1_pd(coef[j].lo);
    double* h = hi + static_cast<std::size_t>(j) * c;
    double* l = lo + static_cast<std::size_t>(j) * c;
    int a = 0;
    for (; a + 4 <= c; a += 4) {
      const __m256d va = _mm256_loadu_pd(v + a);
      const __m256d p = _mm256_mul_pd(ch, va);
      const __m256d e = _mm256_fmadd_pd(cl, va, _mm256_fmsub_pd(ch, va, p));
      const __m256d s0 = _mm256_loadu_pd(h + a);
      const __m256d sum = _mm256_add_pd(s0, p);
      const __m256d bb = _mm256_sub_pd(sum, s0);
      const __m256d err =
          _mm256_add_pd(_mm256_sub_pd(s0, _mm256_sub_pd(sum, bb)), _mm256_sub_pd(p, bb));
      _mm256_storeu_pd(l + a, _mm256_add_pd(_mm256_loadu_pd(l + a), _mm256_add_pd(err, e)));
      _mm256_storeu_pd(h + a, sum);
    }
    if (a + 2 <= c) {
      const __m128d ch2 = _mm_set1_pd(coef[j].hi);
      const __m128d va = _mm_loadu_pd(v + a);
      const __m128d p = _mm_mul_pd(ch2, va);
      const __m128d e = _mm_fmadd_pd(_mm_set1_pd(coef[j].lo), va, _mm_fmsub_pd(ch2, va, p));
      const __m128d s0 = _mm_loadu_pd(h + a);
      const __m128d sum = _mm_add_pd(s0, p);
      const __m128d bb = _mm_sub_pd(sum, s0);
      const __m128d err = _mm_add_pd(_mm_sub_pd(s0, _mm_sub_pd(sum, bb)), _mm_sub_pd(p, bb));
      _mm_storeu_pd(l + a, _mm_add_pd(_mm_loadu_pd(l + a), _mm_add_pd(err, e)));
      _mm_storeu_pd(h + a, sum);
      a += 2;
    }
    for (; a < c; ++a) {
      DD acc{h[a], l[a]};
      AddProduct(acc, coef[j], v[a]);
      h[a] = acc.hi;
      l[a] = acc.lo;
    }
  }
}

bool Supports(int path) {
  static const bool avx = __builtin_cpu_supports("avx") && __builtin_cpu_supports("fma");
  return path == 0 || (path == 1 && avx);
}
#else
bool Supports(int path) { return path == 0; }
#endif

MCSTAT_FMA_CLONES
void AddOuterSparseBlocksPortable(int m, const int* idx, const double* val, int nb, const DD* coef,
                                  double* sums) {
  switch (nb) {
    case 1:
      return AddOuterSparseFixed<1>(m, idx, val, coef, sums);
    case 3:
      return AddOuterSparseFixed<3>(m, idx, val, coef, sums);
    case 6:
      return AddOuterSparseFixed<6>(m, idx, val, coef, sums);
    case 10:
      return AddOuterSparseFixed<10>(m, idx, val, coef, sums);
    default:
      break;
  }
  for (int k = 0; k < m; ++k) {
    const std::size_t rowStart = PackedRowStart(idx[k]);
    for (int t = 0; t < nb; ++t) {
      const DD ck = Mul(coef[t], val[k]);
      for (int l = 0; l <= k; ++l) {
        double* hi = sums + (rowStart + static_cast<std::size_t>(idx[l])) * (2 * nb) + t;
        DD a{hi[0], hi[nb]};
        AddProduct(a, ck, val[l]);
        hi[0] = a.hi;
        hi[nb] = a.lo;
      }
    }
  }
}

}  // namespace

bool AddOuterSparseBlocksOn(int path, int m, const int* idx, const double* val, int nb,
                            const DD* coef, double* sums) {
  if (!Supports(path)) return false;
#if defined(MCSTAT_HAVE_AVX_BLOCKS)
  if (path == 1 && nb >= 2 && nb <= 64) {
    AddOuterSparseBlocksAvx(m, idx, val, nb, coef, sums);
    return true;
  }
#endif
  AddOuterSparseBlocksPortable(m, idx, val, nb, coef, sums);
  return true;
}

void AddOuterSparseBlocks(int m, const int* idx, const double* val, int nb, const DD* coef,
                          double* sums) {
  static const int best = Supports(1) ? 1 : 0;
  AddOuterSparseBlocksOn(best, m, idx, val, nb, coef, sums);
}

DD BlockSum(const double* sums, int nb, std::size_t position, int t) {
  const double* hi = sums + position * (2 * static_cast<std::size_t>(nb)) + t;
  return Normalised(DD{hi[0], hi[nb]});
}

void MergeBlocks(std::size_t nPositions, int nb, const double* src, double* dst) {
  const std::size_t n = static_cast<std::size_t>(nb);
  for (std::size_t e = 0; e < nPositions; ++e) {
    for (std::size_t t = 0; t < n; ++t) {
      double* hi = dst + e * 2 * n + t;
      const double* other = src + e * 2 * n + t;
      DD s = TwoSum(hi[0], other[0]);
      hi[0] = s.hi;
      hi[n] += s.lo + other[n];
    }
  }
}

namespace {

MCSTAT_FMA_CLONES
void AddScaledColumnsPortable(int c, const double* v, int n, const DD* coef, double* hi,
                              double* lo) {
  for (int j = 0; j < n; ++j) {
    double* h = hi + static_cast<std::size_t>(j) * c;
    double* l = lo + static_cast<std::size_t>(j) * c;
    for (int a = 0; a < c; ++a) {
      DD acc{h[a], l[a]};
      AddProduct(acc, coef[j], v[a]);
      h[a] = acc.hi;
      l[a] = acc.lo;
    }
  }
}

}  // namespace

bool AddScaledColumnsOn(int path, int c, const double* v, int n, const DD* coef, double* hi,
                        double* lo) {
  if (!Supports(path)) return false;
#if defined(MCSTAT_HAVE_AVX_BLOCKS)
  if (path == 1) {
    AddScaledColumnsAvx(c, v, n, coef, hi, lo);
    return true;
  }
#endif
  AddScaledColumnsPortable(c, v, n, coef, hi, lo);
  return true;
}

void AddScaledColumns(int c, const double* v, int n, const DD* coef, double* hi, double* lo) {
  static const int best = Supports(1) ? 1 : 0;
  AddScaledColumnsOn(best, c, v, n, coef, hi, lo);
}

MCSTAT_FMA_CLONES
void TwoProducts(int n, double a, const double* b, DD* out) {
  for (int t = 0; t < n; ++t) out[t] = TwoProd(a, b[t]);
}

MCSTAT_FMA_CLONES
void AddLogitRow(int m, const int* idx, const double* val, int nLogits, int p, double w,
                 const double* residual, const double* products, DD* coef, DD* scores,
                 double* information) {
  for (int j = 0; j < nLogits; ++j) {
    const DD c = TwoProd(w, residual[j]);
    DD* s = scores + static_cast<std::size_t>(j) * p;
    for (int k = 0; k < m; ++k) AddProduct(s[idx[k]], c, val[k]);
  }
  const int nb = nLogits * (nLogits + 1) / 2;
  for (int t = 0; t < nb; ++t) coef[t] = TwoProd(w, products[t]);
  AddOuterSparseBlocks(m, idx, val, nb, coef, information);
}

MCSTAT_FMA_CLONES
void AddResidualTerms(int m, const int* idx, const double* val, const double* beta, double y,
                      double c, double w, DD* sums) {
  DD prediction;
  for (int k = 0; k < m; ++k) AddProduct(prediction, beta[idx[k]], val[k]);
  const DD e = Add(Neg(Normalised(prediction)), y);
  AddProduct(sums[0], Mul(e, e), w);
  const DD d = TwoSum(y, -c);
  AddProduct(sums[1], d, w);
  AddProduct(sums[2], Mul(d, d), w);
}

void Merge(int n, const DD* src, DD* dst) {
  for (int t = 0; t < n; ++t) {
    DD s = TwoSum(dst[t].hi, src[t].hi);
    s.lo += dst[t].lo + src[t].lo;
    dst[t] = s;
  }
}

void Round(int n, const DD* x, double* out, int stride) {
  for (int t = 0; t < n; ++t)
    out[static_cast<std::size_t>(t) * stride] = ToDouble(Normalised(x[t]));
}

MCSTAT_FMA_CLONES
bool SweepPivot(int n, DD* packed, int k, double tol, const DD* refDiag, unsigned char* swept) {
  DD* rowK = packed + PackedRowStart(k);
  const DD d = rowK[k];
  const auto at = [packed](int i, int j) -> const DD& {
    return i >= j ? packed[PackedRowStart(i) + j] : packed[PackedRowStart(j) + i];
  };
  if (swept[k] == 0) {
    // Pivot test, written so that a NaN pivot is refused too.
    if (!(Compare(d, Mul(refDiag[k], tol)) > 0)) return false;
    const DD minusOne{-1.0, 0.0};
    for (int i = 0; i < n; ++i) {
      if (i == k || swept[i] == 0) continue;
      const DD aik = at(i, k);
      const DD v = Mul(Mul(Sub(at(i, i), Div(Mul(aik, aik), d)), tol), refDiag[i]);
      if (Compare(v, minusOne) <= 0) return false;
    }
  }
  const bool positive = d.hi > 0.0;
  const DD absD = positive ? d : Neg(d);
  rowK[k] = Neg(Div(DD{1.0, 0.0}, d));

  // Rows above the pivot: column k sits in row k; a(j,k) for j <= i is rescaled by then.
  DD* rowI = packed;
  for (int i = 0; i < k; ++i) {
    const DD m = rowK[i];
    rowK[i] = Div(m, absD);
    const DD f = positive ? Neg(m) : m;
    for (int j = 0; j <= i; ++j) rowI[j] = Add(rowI[j], Mul(rowK[j], f));
    rowI += i + 1;
  }
  // Rows below: columns before k read row k, columns k+1..i read column k of rows k+1..i.
  rowI = rowK + k + 1;
  for (int i = k + 1; i < n; ++i) {
    const DD m = rowI[k];
    rowI[k] = Div(m, absD);
    const DD f = positive ? Neg(m) : m;
    for (int j = 0; j < k; ++j) rowI[j] = Add(rowI[j], Mul(rowK[j], f));
    for (int j = k + 1; j <= i; ++j) {
      rowI[j] = Add(rowI[j], Mul(packed[PackedRowStart(j) + k], f));
    }
    rowI += i + 1;
  }
  swept[k] = swept[k] == 0 ? 1 : 0;
  return true;
}

MCSTAT_FMA_CLONES
bool CholeskyRow(DD* packed, int i, const DD& refDiag, double tol) {
  DD* ri = packed + PackedRowStart(i);
  for (int j = 0; j < i; ++j) {
    const DD* rj = packed + PackedRowStart(j);
    const DD s = Sub(ri[j], PairDot(j, ri, rj));
    ri[j] = IsZero(rj[j]) ? DD{} : Div(s, rj[j]);
  }
  const DD s = Sub(ri[i], PairDot(i, ri, ri));
  if (!(Compare(s, Mul(refDiag, tol)) > 0)) {
    ri[i] = DD{};
    return false;
  }
  ri[i] = Sqrt(s);
  return true;
}

void ForwardSubstitute(int n, const DD* packed, const DD* b, DD* y) {
  for (int i = 0; i < n; ++i) {
    const DD* ri = packed + PackedRowStart(i);
    const DD s = Sub(b[i], PairDot(i, ri, y));
    y[i] = IsZero(ri[i]) ? DD{} : Div(s, ri[i]);
  }
}

void BackSubstitute(int n, const DD* packed, const DD* y, DD* x) {
  for (int i = n - 1; i >= 0; --i) {
    DD acc;
    for (int j = i + 1; j < n; ++j) AddPairProduct(acc, packed[PackedRowStart(j) + i], x[j]);
    const DD s = Sub(y[i], Normalised(acc));
    const DD& d = packed[PackedRowStart(i) + i];
    x[i] = IsZero(d) ? DD{} : Div(s, d);
  }
}

MCSTAT_FMA_CLONES
void InverseFromFactor(int n, DD* packed) {
  if (n <= 0) return;
  // L^-1 column by column from the last; a zero diagonal zeroes its row and column.
  std::vector<DD> col(static_cast<std::size_t>(n));
  for (int k = n - 1; k >= 0; --k) {
    DD& dkk = packed[PackedRowStart(k) + k];
    if (IsZero(dkk)) {
      for (int i = k + 1; i < n; ++i) packed[PackedRowStart(i) + k] = DD{};
      continue;
    }
    for (int j = k + 1; j < n; ++j) col[j] = packed[PackedRowStart(j) + k];
    const DD inv = Div(DD{1.0, 0.0}, dkk);
    dkk = inv;
    for (int i = k + 1; i < n; ++i) {
      DD* ri = packed + PackedRowStart(i);
      ri[k] = Neg(Mul(inv, PairDot(i - k, ri + k + 1, col.data() + k + 1)));
    }
  }
  for (int k = 0; k < n; ++k) {
    DD* rk = packed + PackedRowStart(k);
    if (IsZero(rk[k])) {
      for (int j = 0; j < k; ++j) rk[j] = DD{};
    }
  }
  // Lower triangle of M' M for M = L^-1, in place: element (i, j) needs rows r >= i only.
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      DD acc;
      for (int r = i; r < n; ++r) {
        const DD* rr = packed + PackedRowStart(r);
        AddPairProduct(acc, rr[i], rr[j]);
      }
      packed[PackedRowStart(i) + j] = Normalised(acc);
    }
  }
}

}  // namespace ddkernels
}  // namespace MCCommonMath

#include "Linpack.h"

#include <cmath>
#include <cstdlib>

#include "Blas1.h"

// Each routine keeps the 1-based indexing, loop structure and operation order of the
// published Fortran so that results agree with it operation by operation; the small
// accessors below translate (i, j) to the column-major arrays.

namespace MCCommonMath {

namespace {

struct Mat {
  double* p;
  int ld;
  double& operator()(int i, int j) const { return p[(i - 1) + static_cast<long>(j - 1) * ld]; }
  double* at(int i, int j) const { return p + (i - 1) + static_cast<long>(j - 1) * ld; }
};

struct Vec {
  double* p;
  double& operator()(int i) const { return p[i - 1]; }
  double* at(int i) const { return p + (i - 1); }
};

struct IVec {
  int* p;
  int& operator()(int i) const { return p[i - 1]; }
};

// Fortran DSIGN(a, b): abs(a) with the sign of b.
inline double Sign(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

inline int Min(int a, int b) { return a < b ? a : b; }
inline int Max(int a, int b) { return a > b ? a : b; }

// Brings det[0] into 1 <= |det[0]| < 10, counting the decimal exponent in det[1].
void ScaleDet(double* det) {
  const double ten = 10.0;
  if (det[0] == 0.0 || !std::isfinite(det[0])) return;
  while (std::fabs(det[0]) < 1.0) {
    det[0] = ten * det[0];
    det[1] = det[1] - 1.0;
  }
  while (std::fabs(det[0]) >= ten) {
    det[0] = det[0] / ten;
    det[1] = det[1] + 1.0;
  }
}

// Rescales z to unit 1-norm; returns the factor used.
inline double Renormalise(int n, double* z) {
  double s = 1.0 / Blas1::DASum(n, z, 1);
  Blas1::DScal(n, s, z, 1);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// General matrices

double Linpack::Dgeco(double* a, int lda, int n, int* ipvt, double* z) {
  Mat A{a, lda};
  Vec Z{z};
  IVec P{ipvt};
  double anorm = 0.0;
  for (int j = 1; j <= n; ++j) anorm = std::fmax(anorm, Blas1::DASum(n, A.at(1, j), 1));
  Dgefa(a, lda, n, ipvt);

  // Solve trans(U) w = e, choosing e(k) = +-1 for the largest local growth.
  double ek = 1.0;
  for (int j = 1; j <= n; ++j) Z(j) = 0.0;
  for (int k = 1; k <= n; ++k) {
    if (Z(k) != 0.0) ek = Sign(ek, -Z(k));
    if (std::fabs(ek - Z(k)) > std::fabs(A(k, k))) {
      double s = std::fabs(A(k, k)) / std::fabs(ek - Z(k));
      Blas1::DScal(n, s, z, 1);
      ek = s * ek;
    }
    double wk = ek - Z(k);
    double wkm = -ek - Z(k);
    double s = std::fabs(wk);
    double sm = std::fabs(wkm);
    if (A(k, k) != 0.0) {
      wk = wk / A(k, k);
      wkm = wkm / A(k, k);
    } else {
      wk = 1.0;
      wkm = 1.0;
    }
    if (k + 1 <= n) {
      for (int j = k + 1; j <= n; ++j) {
        sm = sm + std::fabs(Z(j) + wkm * A(k, j));
        Z(j) = Z(j) + wk * A(k, j);
        s = s + std::fabs(Z(j));
      }
      if (s < sm) {
        double t = wkm - wk;
        wk = wkm;
        for (int j = k + 1; j <= n; ++j) Z(j) = Z(j) + t * A(k, j);
      }
    }
    Z(k) = wk;
  }
  Renormalise(n, z);

  // Solve trans(L) y = w.
  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    if (k < n) Z(k) = Z(k) + Blas1::DDot(n - k, A.at(k + 1, k), 1, Z.at(k + 1), 1);
    if (std::fabs(Z(k)) > 1.0) Blas1::DScal(n, 1.0 / std::fabs(Z(k)), z, 1);
    int l = P(k);
    double t = Z(l);
    Z(l) = Z(k);
    Z(k) = t;
  }
  Renormalise(n, z);
  double ynorm = 1.0;

  // Solve L v = y.
  for (int k = 1; k <= n; ++k) {
    int l = P(k);
    double t = Z(l);
    Z(l) = Z(k);
    Z(k) = t;
    if (k < n) Blas1::Daxpy(n - k, t, A.at(k + 1, k), 1, Z.at(k + 1), 1);
    if (std::fabs(Z(k)) > 1.0) {
      double s = 1.0 / std::fabs(Z(k));
      Blas1::DScal(n, s, z, 1);
      ynorm = s * ynorm;
    }
  }
  ynorm = Renormalise(n, z) * ynorm;

  // Solve U z = v.
  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    if (std::fabs(Z(k)) > std::fabs(A(k, k))) {
      double s = std::fabs(A(k, k)) / std::fabs(Z(k));
      Blas1::DScal(n, s, z, 1);
      ynorm = s * ynorm;
    }
    if (A(k, k) != 0.0) Z(k) = Z(k) / A(k, k);
    if (A(k, k) == 0.0) Z(k) = 1.0;
    double t = -Z(k);
    Blas1::Daxpy(k - 1, t, A.at(1, k), 1, z, 1);
  }
  ynorm = Renormalise(n, z) * ynorm;
  return anorm != 0.0 ? ynorm / anorm : 0.0;
}

int Linpack::Dgefa(double* a, int lda, int n, int* ipvt) {
  Mat A{a, lda};
  IVec P{ipvt};
  int info = 0;
  for (int k = 1; k <= n - 1; ++k) {
    int l = Blas1::IDAMax(n - k + 1, A.at(k, k), 1) + k - 1;
    P(k) = l;
    if (A(l, k) == 0.0) {
      // A zero pivot: this column is already triangular.
      info = k;
      continue;
    }
    if (l != k) {
      double t = A(l, k);
      A(l, k) = A(k, k);
      A(k, k) = t;
    }
    double t = -1.0 / A(k, k);
    Blas1::DScal(n - k, t, A.at(k + 1, k), 1);
    for (int j = k + 1; j <= n; ++j) {
      t = A(l, j);
      if (l != k) {
        A(l, j) = A(k, j);
        A(k, j) = t;
      }
      Blas1::Daxpy(n - k, t, A.at(k + 1, k), 1, A.at(k + 1, j), 1);
    }
  }
  if (n >= 1) {
    P(n) = n;
    if (A(n, n) == 0.0) info = n;
  }
  return info;
}

void Linpack::Dgesl(double* a, int lda, int n, int* ipvt, double* b, int job) {
  Mat A{a, lda};
  Vec B{b};
  IVec P{ipvt};
  if (job == 0) {
    for (int k = 1; k <= n - 1; ++k) {
      int l = P(k);
      double t = B(l);
      if (l != k) {
        B(l) = B(k);
        B(k) = t;
      }
      Blas1::Daxpy(n - k, t, A.at(k + 1, k), 1, B.at(k + 1), 1);
    }
    for (int kb = 1; kb <= n; ++kb) {
      int k = n + 1 - kb;
      B(k) = B(k) / A(k, k);
      Blas1::Daxpy(k - 1, -B(k), A.at(1, k), 1, b, 1);
    }
    return;
  }
  for (int k = 1; k <= n; ++k) {
    double t = Blas1::DDot(k - 1, A.at(1, k), 1, b, 1);
    B(k) = (B(k) - t) / A(k, k);
  }
  for (int kb = 1; kb <= n - 1; ++kb) {
    int k = n - kb;
    B(k) = B(k) + Blas1::DDot(n - k, A.at(k + 1, k), 1, B.at(k + 1), 1);
    int l = P(k);
    if (l != k) {
      double t = B(l);
      B(l) = B(k);
      B(k) = t;
    }
  }
}

void Linpack::Dgedi(double* a, int lda, int n, int* ipvt, double* det, double* work, int job) {
  Mat A{a, lda};
  Vec W{work};
  IVec P{ipvt};
  if (job / 10 != 0) {
    det[0] = 1.0;
    det[1] = 0.0;
    for (int i = 1; i <= n; ++i) {
      if (P(i) != i) det[0] = -det[0];
      det[0] = A(i, i) * det[0];
      if (det[0] == 0.0) break;
      ScaleDet(det);
    }
  }
  if (job % 10 == 0) return;
  // inverse(U)
  for (int k = 1; k <= n; ++k) {
    A(k, k) = 1.0 / A(k, k);
    double t = -A(k, k);
    Blas1::DScal(k - 1, t, A.at(1, k), 1);
    for (int j = k + 1; j <= n; ++j) {
      t = A(k, j);
      A(k, j) = 0.0;
      Blas1::Daxpy(k, t, A.at(1, k), 1, A.at(1, j), 1);
    }
  }
  // inverse(U) * inverse(L)
  for (int kb = 1; kb <= n - 1; ++kb) {
    int k = n - kb;
    for (int i = k + 1; i <= n; ++i) {
      W(i) = A(i, k);
      A(i, k) = 0.0;
    }
    for (int j = k + 1; j <= n; ++j) Blas1::Daxpy(n, W(j), A.at(1, j), 1, A.at(1, k), 1);
    int l = P(k);
    if (l != k) Blas1::DSwap(n, A.at(1, k), 1, A.at(1, l), 1);
  }
}

// ---------------------------------------------------------------------------------------
// General band matrices

double Linpack::Dgbco(double* abd, int lda, int n, int ml, int mu, int* ipvt, double* z) {
  Mat A{abd, lda};
  Vec Z{z};
  IVec P{ipvt};
  double anorm = 0.0;
  int l = ml + 1;
  int is = l + mu;
  for (int j = 1; j <= n; ++j) {
    anorm = std::fmax(anorm, Blas1::DASum(l, A.at(is, j), 1));
    if (is > ml + 1) is = is - 1;
    if (j <= mu) l = l + 1;
    if (j >= n - ml) l = l - 1;
  }
  Dgbfa(abd, lda, n, ml, mu, ipvt);

  double ek = 1.0;
  for (int j = 1; j <= n; ++j) Z(j) = 0.0;
  int m = ml + mu + 1;
  int ju = 0;
  for (int k = 1; k <= n; ++k) {
    if (Z(k) != 0.0) ek = Sign(ek, -Z(k));
    if (std::fabs(ek - Z(k)) > std::fabs(A(m, k))) {
      double s = std::fabs(A(m, k)) / std::fabs(ek - Z(k));
      Blas1::DScal(n, s, z, 1);
      ek = s * ek;
    }
    double wk = ek - Z(k);
    double wkm = -ek - Z(k);
    double s = std::fabs(wk);
    double sm = std::fabs(wkm);
    if (A(m, k) != 0.0) {
      wk = wk / A(m, k);
      wkm = wkm / A(m, k);
    } else {
      wk = 1.0;
      wkm = 1.0;
    }
    ju = Min(Max(ju, mu + P(k)), n);
    int mm = m;
    if (k + 1 <= ju) {
      for (int j = k + 1; j <= ju; ++j) {
        mm = mm - 1;
        sm = sm + std::fabs(Z(j) + wkm * A(mm, j));
        Z(j) = Z(j) + wk * A(mm, j);
        s = s + std::fabs(Z(j));
      }
      if (s < sm) {
        double t = wkm - wk;
        wk = wkm;
        mm = m;
        for (int j = k + 1; j <= ju; ++j) {
          mm = mm - 1;
          Z(j) = Z(j) + t * A(mm, j);
        }
      }
    }
    Z(k) = wk;
  }
  Renormalise(n, z);

  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    int lm = Min(ml, n - k);
    if (k < n) Z(k) = Z(k) + Blas1::DDot(lm, A.at(m + 1, k), 1, Z.at(k + 1), 1);
    if (std::fabs(Z(k)) > 1.0) Blas1::DScal(n, 1.0 / std::fabs(Z(k)), z, 1);
    int lp = P(k);
    double t = Z(lp);
    Z(lp) = Z(k);
    Z(k) = t;
  }
  Renormalise(n, z);
  double ynorm = 1.0;

  for (int k = 1; k <= n; ++k) {
    int lp = P(k);
    double t = Z(lp);
    Z(lp) = Z(k);
    Z(k) = t;
    int lm = Min(ml, n - k);
    if (k < n) Blas1::Daxpy(lm, t, A.at(m + 1, k), 1, Z.at(k + 1), 1);
    if (std::fabs(Z(k)) > 1.0) {
      double s = 1.0 / std::fabs(Z(k));
      Blas1::DScal(n, s, z, 1);
      ynorm = s * ynorm;
    }
  }
  ynorm = Renormalise(n, z) * ynorm;

  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    if (std::fabs(Z(k)) > std::fabs(A(m, k))) {
      double s = std::fabs(A(m, k)) / std::fabs(Z(k));
      Blas1::DScal(n, s, z, 1);
      ynorm = s * ynorm;
    }
    if (A(m, k) != 0.0) Z(k) = Z(k) / A(m, k);
    if (A(m, k) == 0.0) Z(k) = 1.0;
    int lm = Min(k, m) - 1;
    int la = m - lm;
    int lz = k - lm;
    Blas1::Daxpy(lm, -Z(k), A.at(la, k), 1, Z.at(lz), 1);
  }
  ynorm = Renormalise(n, z) * ynorm;
  return anorm != 0.0 ? ynorm / anorm : 0.0;
}

int Linpack::Dgbfa(double* abd, int lda, int n, int ml, int mu, int* ipvt) {
  Mat A{abd, lda};
  IVec P{ipvt};
  int m = ml + mu + 1;
  int info = 0;
  // Zero the initial fill-in columns.
  int j0 = mu + 2;
  int j1 = Min(n, m) - 1;
  for (int jz = j0; jz <= j1; ++jz) {
    int i0 = m + 1 - jz;
    for (int i = i0; i <= ml; ++i) A(i, jz) = 0.0;
  }
  int jz = j1;
  int ju = 0;
  for (int k = 1; k <= n - 1; ++k) {
    // Zero the next fill-in column.
    jz = jz + 1;
    if (jz <= n && ml >= 1) {
      for (int i = 1; i <= ml; ++i) A(i, jz) = 0.0;
    }
    int lm = Min(ml, n - k);
    int l = Blas1::IDAMax(lm + 1, A.at(m, k), 1) + m - 1;
    P(k) = l + k - m;
    if (A(l, k) == 0.0) {
      info = k;
      continue;
    }
    if (l != m) {
      double t = A(l, k);
      A(l, k) = A(m, k);
      A(m, k) = t;
    }
    double t = -1.0 / A(m, k);
    Blas1::DScal(lm, t, A.at(m + 1, k), 1);
    ju = Min(Max(ju, mu + P(k)), n);
    int mm = m;
    for (int j = k + 1; j <= ju; ++j) {
      l = l - 1;
      mm = mm - 1;
      t = A(l, j);
      if (l != mm) {
        A(l, j) = A(mm, j);
        A(mm, j) = t;
      }
      Blas1::Daxpy(lm, t, A.at(m + 1, k), 1, A.at(mm + 1, j), 1);
    }
  }
  if (n >= 1) {
    P(n) = n;
    if (A(m, n) == 0.0) info = n;
  }
  return info;
}

void Linpack::Dgbsl(double* abd, int lda, int n, int ml, int mu, int* ipvt, double* b, int job) {
  Mat A{abd, lda};
  Vec B{b};
  IVec P{ipvt};
  int m = mu + ml + 1;
  if (job == 0) {
    if (ml != 0) {
      for (int k = 1; k <= n - 1; ++k) {
        int lm = Min(ml, n - k);
        int l = P(k);
        double t = B(l);
        if (l != k) {
          B(l) = B(k);
          B(k) = t;
        }
        Blas1::Daxpy(lm, t, A.at(m + 1, k), 1, B.at(k + 1), 1);
      }
    }
    for (int kb = 1; kb <= n; ++kb) {
      int k = n + 1 - kb;
      B(k) = B(k) / A(m, k);
      int lm = Min(k, m) - 1;
      int la = m - lm;
      int lb = k - lm;
      Blas1::Daxpy(lm, -B(k), A.at(la, k), 1, B.at(lb), 1);
    }
    return;
  }
  for (int k = 1; k <= n; ++k) {
    int lm = Min(k, m) - 1;
    int la = m - lm;
    int lb = k - lm;
    double t = Blas1::DDot(lm, A.at(la, k), 1, B.at(lb), 1);
    B(k) = (B(k) - t) / A(m, k);
  }
  if (ml != 0) {
    for (int kb = 1; kb <= n - 1; ++kb) {
      int k = n - kb;
      int lm = Min(ml, n - k);
      B(k) = B(k) + Blas1::DDot(lm, A.at(m + 1, k), 1, B.at(k + 1), 1);
      int l = P(k);
      if (l != k) {
        double t = B(l);
        B(l) = B(k);
        B(k) = t;
      }
    }
  }
}

void Linpack::Dgbdi(double* abd, int lda, int n, int ml, int mu, int* ipvt, double* det) {
  Mat A{abd, lda};
  IVec P{ipvt};
  int m = ml + mu + 1;
  det[0] = 1.0;
  det[1] = 0.0;
  for (int i = 1; i <= n; ++i) {
    if (P(i) != i) det[0] = -det[0];
    det[0] = A(m, i) * det[0];
    if (det[0] == 0.0) break;
    ScaleDet(det);
  }
}

// ---------------------------------------------------------------------------------------
// Symmetric positive definite matrices

namespace {

// The three solves shared by the positive definite estimators, once the 1-norm and the
// factor R are known: R'w = e (e chosen for growth), R y = w, R'v = y, R z = v.
// diag(k) is R(k,k); colDot/colAxpy act on the part of column k of R above the diagonal
// that the storage holds, over rows first..k-1.
template <class Diag, class ColDot, class ColAxpy, class Row>
double PositiveDefiniteRcond(int n, double anorm, double* z, Diag diag, ColDot colDot,
                             ColAxpy colAxpy, Row rowWalk) {
  Vec Z{z};
  double ek = 1.0;
  for (int j = 1; j <= n; ++j) Z(j) = 0.0;
  for (int k = 1; k <= n; ++k) {
    double akk = diag(k);
    if (Z(k) != 0.0) ek = Sign(ek, -Z(k));
    if (std::fabs(ek - Z(k)) > akk) {
      double s = akk / std::fabs(ek - Z(k));
      Blas1::DScal(n, s, z, 1);
      ek = s * ek;
    }
    double wk = ek - Z(k);
    double wkm = -ek - Z(k);
    double s = std::fabs(wk);
    double sm = std::fabs(wkm);
    wk = wk / akk;
    wkm = wkm / akk;
    // rowWalk(k, f) calls f(j, r(k,j)) for the stored elements of row k right of the
    // diagonal, in increasing j.
    bool any = false;
    rowWalk(k, [&](int j, double rkj) {
      any = true;
      sm = sm + std::fabs(Z(j) + wkm * rkj);
      Z(j) = Z(j) + wk * rkj;
      s = s + std::fabs(Z(j));
    });
    if (any && s < sm) {
      double t = wkm - wk;
      wk = wkm;
      rowWalk(k, [&](int j, double rkj) { Z(j) = Z(j) + t * rkj; });
    }
    Z(k) = wk;
  }
  Renormalise(n, z);

  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    double akk = diag(k);
    if (std::fabs(Z(k)) > akk) Blas1::DScal(n, akk / std::fabs(Z(k)), z, 1);
    Z(k) = Z(k) / akk;
    colAxpy(k, -Z(k), z);
  }
  Renormalise(n, z);
  double ynorm = 1.0;

  for (int k = 1; k <= n; ++k) {
    double akk = diag(k);
    Z(k) = Z(k) - colDot(k, z);
    if (std::fabs(Z(k)) > akk) {
      double s = akk / std::fabs(Z(k));
      Blas1::DScal(n, s, z, 1);
      ynorm = s * ynorm;
    }
    Z(k) = Z(k) / akk;
  }
  ynorm = Renormalise(n, z) * ynorm;

  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    double akk = diag(k);
    if (std::fabs(Z(k)) > akk) {
      double s = akk / std::fabs(Z(k));
      Blas1::DScal(n, s, z, 1);
      ynorm = s * ynorm;
    }
    Z(k) = Z(k) / akk;
    colAxpy(k, -Z(k), z);
  }
  ynorm = Renormalise(n, z) * ynorm;
  return anorm != 0.0 ? ynorm / anorm : 0.0;
}

}  // namespace

double Linpack::Dpoco(double* a, int lda, int n, double* z) {
  Mat A{a, lda};
  Vec Z{z};
  for (int j = 1; j <= n; ++j) {
    Z(j) = Blas1::DASum(j, A.at(1, j), 1);
    for (int i = 1; i <= j - 1; ++i) Z(i) = Z(i) + std::fabs(A(i, j));
  }
  double anorm = 0.0;
  for (int j = 1; j <= n; ++j) anorm = std::fmax(anorm, Z(j));
  if (Dpofa(a, lda, n) != 0) return 0.0;
  return PositiveDefiniteRcond(
      n, anorm, z, [&](int k) { return A(k, k); },
      [&](int k, double* zz) { return Blas1::DDot(k - 1, A.at(1, k), 1, zz, 1); },
      [&](int k, double t, double* zz) { Blas1::Daxpy(k - 1, t, A.at(1, k), 1, zz, 1); },
      [&](int k, auto f) {
        for (int j = k + 1; j <= n; ++j) f(j, A(k, j));
      });
}

int Linpack::Dpofa(double* a, int lda, int n) {
  Mat A{a, lda};
  for (int j = 1; j <= n; ++j) {
    double s = 0.0;
    for (int k = 1; k <= j - 1; ++k) {
      double t = A(k, j) - Blas1::DDot(k - 1, A.at(1, k), 1, A.at(1, j), 1);
      t = t / A(k, k);
      A(k, j) = t;
      s = s + t * t;
    }
    s = A(j, j) - s;
    if (s <= 0.0) return j;
    A(j, j) = std::sqrt(s);
  }
  return 0;
}

void Linpack::Dposl(double* a, int lda, int n, double* b) {
  Mat A{a, lda};
  Vec B{b};
  for (int k = 1; k <= n; ++k) {
    double t = Blas1::DDot(k - 1, A.at(1, k), 1, b, 1);
    B(k) = (B(k) - t) / A(k, k);
  }
  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    B(k) = B(k) / A(k, k);
    Blas1::Daxpy(k - 1, -B(k), A.at(1, k), 1, b, 1);
  }
}

void Linpack::Dpodi(double* a, int lda, int n, double* det, int job) {
  Mat A{a, lda};
  if (job / 10 != 0) {
    det[0] = 1.0;
    det[1] = 0.0;
    for (int i = 1; i <= n; ++i) {
      det[0] = A(i, i) * A(i, i) * det[0];
      if (det[0] == 0.0) break;
      ScaleDet(det);
    }
  }
  if (job % 10 == 0) return;
  // inverse(R)
  for (int k = 1; k <= n; ++k) {
    A(k, k) = 1.0 / A(k, k);
    double t = -A(k, k);
    Blas1::DScal(k - 1, t, A.at(1, k), 1);
    for (int j = k + 1; j <= n; ++j) {
      t = A(k, j);
      A(k, j) = 0.0;
      Blas1::Daxpy(k, t, A.at(1, k), 1, A.at(1, j), 1);
    }
  }
  // inverse(R) * trans(inverse(R))
  for (int j = 1; j <= n; ++j) {
    for (int k = 1; k <= j - 1; ++k) {
      double t = A(k, j);
      Blas1::Daxpy(k, t, A.at(1, j), 1, A.at(1, k), 1);
    }
    double t = A(j, j);
    Blas1::DScal(j, t, A.at(1, j), 1);
  }
}

// Packed upper triangle: (i, j), i <= j, at 1-based position i + j(j-1)/2.

double Linpack::Dppco(double* ap, int n, double* z) {
  Vec AP{ap};
  Vec Z{z};
  int j1 = 1;
  for (int j = 1; j <= n; ++j) {
    Z(j) = Blas1::DASum(j, AP.at(j1), 1);
    int ij = j1;
    j1 = j1 + j;
    for (int i = 1; i <= j - 1; ++i) {
      Z(i) = Z(i) + std::fabs(AP(ij));
      ij = ij + 1;
    }
  }
  double anorm = 0.0;
  for (int j = 1; j <= n; ++j) anorm = std::fmax(anorm, Z(j));
  if (Dppfa(ap, n) != 0) return 0.0;
  auto colStart = [](int k) { return (k * (k - 1)) / 2 + 1; };  // position of (1, k)
  return PositiveDefiniteRcond(
      n, anorm, z, [&](int k) { return AP(colStart(k) + k - 1); },
      [&](int k, double* zz) { return Blas1::DDot(k - 1, AP.at(colStart(k)), 1, zz, 1); },
      [&](int k, double t, double* zz) { Blas1::Daxpy(k - 1, t, AP.at(colStart(k)), 1, zz, 1); },
      [&](int k, auto f) {
        for (int j = k + 1; j <= n; ++j) f(j, AP(colStart(j) + k - 1));
      });
}

int Linpack::Dppfa(double* ap, int n) {
  Vec AP{ap};
  int jj = 0;
  for (int j = 1; j <= n; ++j) {
    double s = 0.0;
    int kj = jj;
    int kk = 0;
    for (int k = 1; k <= j - 1; ++k) {
      kj = kj + 1;
      double t = AP(kj) - Blas1::DDot(k - 1, AP.at(kk + 1), 1, AP.at(jj + 1), 1);
      kk = kk + k;
      t = t / AP(kk);
      AP(kj) = t;
      s = s + t * t;
    }
    jj = jj + j;
    s = AP(jj) - s;
    if (s <= 0.0) return j;
    AP(jj) = std::sqrt(s);
  }
  return 0;
}

void Linpack::Dppsl(double* ap, int n, double* b) {
  Vec AP{ap};
  Vec B{b};
  int kk = 0;
  for (int k = 1; k <= n; ++k) {
    double t = Blas1::DDot(k - 1, AP.at(kk + 1), 1, b, 1);
    kk = kk + k;
    B(k) = (B(k) - t) / AP(kk);
  }
  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    B(k) = B(k) / AP(kk);
    kk = kk - k;
    Blas1::Daxpy(k - 1, -B(k), AP.at(kk + 1), 1, b, 1);
  }
}

void Linpack::Dppdi(double* ap, int n, double* det, int job) {
  Vec AP{ap};
  if (job / 10 != 0) {
    det[0] = 1.0;
    det[1] = 0.0;
    int ii = 0;
    for (int i = 1; i <= n; ++i) {
      ii = ii + i;
      det[0] = AP(ii) * AP(ii) * det[0];
      if (det[0] == 0.0) break;
      ScaleDet(det);
    }
  }
  if (job % 10 == 0) return;
  int kk = 0;
  for (int k = 1; k <= n; ++k) {
    int k1 = kk + 1;
    kk = kk + k;
    AP(kk) = 1.0 / AP(kk);
    double t = -AP(kk);
    Blas1::DScal(k - 1, t, AP.at(k1), 1);
    int j1 = kk + 1;
    int kj = kk + k;
    for (int j = k + 1; j <= n; ++j) {
      t = AP(kj);
      AP(kj) = 0.0;
      Blas1::Daxpy(k, t, AP.at(k1), 1, AP.at(j1), 1);
      j1 = j1 + j;
      kj = kj + j;
    }
  }
  int jj = 0;
  for (int j = 1; j <= n; ++j) {
    int j1 = jj + 1;
    jj = jj + j;
    int k1 = 1;
    int kj = j1;
    for (int k = 1; k <= j - 1; ++k) {
      double t = AP(kj);
      Blas1::Daxpy(k, t, AP.at(j1), 1, AP.at(k1), 1);
      k1 = k1 + k;
      kj = kj + 1;
    }
    double t = AP(jj);
    Blas1::DScal(j, t, AP.at(j1), 1);
  }
}

// Band storage: (i, j), j-m <= i <= j, in row i-j+m+1 of column j.

double Linpack::Dpbco(double* abd, int lda, int n, int m, double* z) {
  Mat A{abd, lda};
  Vec Z{z};
  for (int j = 1; j <= n; ++j) {
    int l = Min(j, m + 1);
    int mu = Max(m + 2 - j, 1);
    Z(j) = Blas1::DASum(l, A.at(mu, j), 1);
    int k = j - l;
    for (int i = mu; i <= m; ++i) {
      k = k + 1;
      Z(k) = Z(k) + std::fabs(A(i, j));
    }
  }
  double anorm = 0.0;
  for (int j = 1; j <= n; ++j) anorm = std::fmax(anorm, Z(j));
  if (Dpbfa(abd, lda, n, m) != 0) return 0.0;
  return PositiveDefiniteRcond(
      n, anorm, z, [&](int k) { return A(m + 1, k); },
      [&](int k, double* zz) {
        int lm = Min(k - 1, m);
        return Blas1::DDot(lm, A.at(m + 1 - lm, k), 1, zz + (k - lm - 1), 1);
      },
      [&](int k, double t, double* zz) {
        int lm = Min(k - 1, m);
        Blas1::Daxpy(lm, t, A.at(m + 1 - lm, k), 1, zz + (k - lm - 1), 1);
      },
      [&](int k, auto f) {
        int j2 = Min(k + m, n);
        int i = m + 1;
        for (int j = k + 1; j <= j2; ++j) {
          i = i - 1;
          f(j, A(i, j));
        }
      });
}

int Linpack::Dpbfa(double* abd, int lda, int n, int m) {
  Mat A{abd, lda};
  for (int j = 1; j <= n; ++j) {
    double s = 0.0;
    int ik = m + 1;
    int jk = Max(j - m, 1);
    int mu = Max(m + 2 - j, 1);
    for (int k = mu; k <= m; ++k) {
      double t = A(k, j) - Blas1::DDot(k - mu, A.at(ik, jk), 1, A.at(mu, j), 1);
      t = t / A(m + 1, jk);
      A(k, j) = t;
      s = s + t * t;
      ik = ik - 1;
      jk = jk + 1;
    }
    s = A(m + 1, j) - s;
    if (s <= 0.0) return j;
    A(m + 1, j) = std::sqrt(s);
  }
  return 0;
}

void Linpack::Dpbsl(double* abd, int lda, int n, int m, double* b) {
  Mat A{abd, lda};
  Vec B{b};
  for (int k = 1; k <= n; ++k) {
    int lm = Min(k - 1, m);
    int la = m + 1 - lm;
    int lb = k - lm;
    double t = Blas1::DDot(lm, A.at(la, k), 1, B.at(lb), 1);
    B(k) = (B(k) - t) / A(m + 1, k);
  }
  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    int lm = Min(k - 1, m);
    int la = m + 1 - lm;
    int lb = k - lm;
    B(k) = B(k) / A(m + 1, k);
    Blas1::Daxpy(lm, -B(k), A.at(la, k), 1, B.at(lb), 1);
  }
}

void Linpack::Dpbdi(double* abd, int lda, int n, int m, double* det) {
  Mat A{abd, lda};
  det[0] = 1.0;
  det[1] = 0.0;
  for (int i = 1; i <= n; ++i) {
    det[0] = A(m + 1, i) * A(m + 1, i) * det[0];
    if (det[0] == 0.0) break;
    ScaleDet(det);
  }
}

// ---------------------------------------------------------------------------------------
// Symmetric indefinite matrices (Bunch-Kaufman)

double Linpack::Dsico(double* a, int lda, int n, int* kpvt, double* z) {
  Mat A{a, lda};
  Vec Z{z};
  IVec P{kpvt};
  for (int j = 1; j <= n; ++j) {
    Z(j) = Blas1::DASum(j, A.at(1, j), 1);
    for (int i = 1; i <= j - 1; ++i) Z(i) = Z(i) + std::fabs(A(i, j));
  }
  double anorm = 0.0;
  for (int j = 1; j <= n; ++j) anorm = std::fmax(anorm, Z(j));
  Dsifa(a, lda, n, kpvt);

  // Applies D inverse of the 2x2 block ending at k to z(k-1), z(k).
  auto solve2 = [&](int k) {
    double ak = A(k, k) / A(k - 1, k);
    double akm1 = A(k - 1, k - 1) / A(k - 1, k);
    double bk = Z(k) / A(k - 1, k);
    double bkm1 = Z(k - 1) / A(k - 1, k);
    double denom = ak * akm1 - 1.0;
    Z(k) = (akm1 * bk - bkm1) / denom;
    Z(k - 1) = (ak * bkm1 - bk) / denom;
  };
  // Solves trans(U) y = w in place.
  auto solveUt = [&]() {
    int k = 1;
    while (k <= n) {
      int ks = P(k) < 0 ? 2 : 1;
      if (k != 1) {
        Z(k) = Z(k) + Blas1::DDot(k - 1, A.at(1, k), 1, z, 1);
        if (ks == 2) Z(k + 1) = Z(k + 1) + Blas1::DDot(k - 1, A.at(1, k + 1), 1, z, 1);
        int kp = std::abs(P(k));
        if (kp != k) {
          double t = Z(k);
          Z(k) = Z(kp);
          Z(kp) = t;
        }
      }
      k = k + ks;
    }
  };

  // Solve U D w = e.
  double ek = 1.0;
  for (int j = 1; j <= n; ++j) Z(j) = 0.0;
  int k = n;
  while (k != 0) {
    int ks = P(k) < 0 ? 2 : 1;
    int kp = std::abs(P(k));
    int kps = k + 1 - ks;
    if (kp != kps) {
      double t = Z(kps);
      Z(kps) = Z(kp);
      Z(kp) = t;
    }
    if (Z(k) != 0.0) ek = Sign(ek, Z(k));
    Z(k) = Z(k) + ek;
    Blas1::Daxpy(k - ks, Z(k), A.at(1, k), 1, z, 1);
    if (ks != 1) {
      if (Z(k - 1) != 0.0) ek = Sign(ek, Z(k - 1));
      Z(k - 1) = Z(k - 1) + ek;
      Blas1::Daxpy(k - ks, Z(k - 1), A.at(1, k - 1), 1, z, 1);
    }
    if (ks == 1) {
      if (std::fabs(Z(k)) > std::fabs(A(k, k))) {
        double s = std::fabs(A(k, k)) / std::fabs(Z(k));
        Blas1::DScal(n, s, z, 1);
        ek = s * ek;
      }
      if (A(k, k) != 0.0) Z(k) = Z(k) / A(k, k);
      if (A(k, k) == 0.0) Z(k) = 1.0;
    } else {
      solve2(k);
    }
    k = k - ks;
  }
  Renormalise(n, z);
  solveUt();
  Renormalise(n, z);
  double ynorm = 1.0;

  // Solve U D v = y.
  k = n;
  while (k != 0) {
    int ks = P(k) < 0 ? 2 : 1;
    if (k != ks) {
      int kp = std::abs(P(k));
      int kps = k + 1 - ks;
      if (kp != kps) {
        double t = Z(kps);
        Z(kps) = Z(kp);
        Z(kp) = t;
      }
      Blas1::Daxpy(k - ks, Z(k), A.at(1, k), 1, z, 1);
      if (ks == 2) Blas1::Daxpy(k - ks, Z(k - 1), A.at(1, k - 1), 1, z, 1);
    }
    if (ks == 1) {
      if (std::fabs(Z(k)) > std::fabs(A(k, k))) {
        double s = std::fabs(A(k, k)) / std::fabs(Z(k));
        Blas1::DScal(n, s, z, 1);
        ynorm = s * ynorm;
      }
      if (A(k, k) != 0.0) Z(k) = Z(k) / A(k, k);
      if (A(k, k) == 0.0) Z(k) = 1.0;
    } else {
      solve2(k);
    }
    k = k - ks;
  }
  ynorm = Renormalise(n, z) * ynorm;
  solveUt();
  ynorm = Renormalise(n, z) * ynorm;
  return anorm != 0.0 ? ynorm / anorm : 0.0;
}

int Linpack::Dsifa(double* a, int lda, int n, int* kpvt) {
  Mat A{a, lda};
  IVec P{kpvt};
  const double alpha = (1.0 + std::sqrt(17.0)) / 8.0;
  int info = 0;
  int k = n;
  while (k > 0) {
    if (k == 1) {
      P(1) = 1;
      if (A(1, 1) == 0.0) info = 1;
      break;
    }
    // Choose the pivot block size and whether an interchange is needed.
    int km1 = k - 1;
    double absakk = std::fabs(A(k, k));
    int imax = Blas1::IDAMax(k - 1, A.at(1, k), 1);
    double colmax = std::fabs(A(imax, k));
    int kstep;
    bool swap;
    if (absakk >= alpha * colmax) {
      kstep = 1;
      swap = false;
    } else {
      double rowmax = 0.0;
      for (int j = imax + 1; j <= k; ++j) rowmax = std::fmax(rowmax, std::fabs(A(imax, j)));
      if (imax != 1) {
        int jmax = Blas1::IDAMax(imax - 1, A.at(1, imax), 1);
        rowmax = std::fmax(rowmax, std::fabs(A(jmax, imax)));
      }
      if (std::fabs(A(imax, imax)) >= alpha * rowmax) {
        kstep = 1;
        swap = true;
      } else if (absakk >= alpha * colmax * (colmax / rowmax)) {
        kstep = 1;
        swap = false;
      } else {
        kstep = 2;
        swap = imax != km1;
      }
    }
    if (std::fmax(absakk, colmax) == 0.0) {
      // Column k is zero.
      P(k) = k;
      info = k;
    } else if (kstep == 1) {
      if (swap) {
        Blas1::DSwap(imax, A.at(1, imax), 1, A.at(1, k), 1);
        for (int jj = imax; jj <= k; ++jj) {
          int j = k + imax - jj;
          double t = A(j, k);
          A(j, k) = A(imax, j);
          A(imax, j) = t;
        }
      }
      for (int jj = 1; jj <= km1; ++jj) {
        int j = k - jj;
        double mulk = -A(j, k) / A(k, k);
        Blas1::Daxpy(j, mulk, A.at(1, k), 1, A.at(1, j), 1);
        A(j, k) = mulk;
      }
      P(k) = swap ? imax : k;
    } else {
      if (swap) {
        Blas1::DSwap(imax, A.at(1, imax), 1, A.at(1, k - 1), 1);
        for (int jj = imax; jj <= km1; ++jj) {
          int j = km1 + imax - jj;
          double t = A(j, k - 1);
          A(j, k - 1) = A(imax, j);
          A(imax, j) = t;
        }
        double t = A(k - 1, k);
        A(k - 1, k) = A(imax, k);
        A(imax, k) = t;
      }
      int km2 = k - 2;
      if (km2 != 0) {
        double ak = A(k, k) / A(k - 1, k);
        double akm1 = A(k - 1, k - 1) / A(k - 1, k);
        double denom = 1.0 - ak * akm1;
        for (int jj = 1; jj <= km2; ++jj) {
          int j = km1 - jj;
          double bk = A(j, k) / A(k - 1, k);
          double bkm1 = A(j, k - 1) / A(k - 1, k);
          double mulk = (akm1 * bk - bkm1) / denom;
          double mulkm1 = (ak * bkm1 - bk) / denom;
          Blas1::Daxpy(j, mulk, A.at(1, k), 1, A.at(1, j), 1);
          Blas1::Daxpy(j, mulkm1, A.at(1, k - 1), 1, A.at(1, j), 1);
          A(j, k) = mulk;
          A(j, k - 1) = mulkm1;
        }
      }
      P(k) = swap ? -imax : 1 - k;
      P(k - 1) = P(k);
    }
    k = k - kstep;
  }
  return info;
}

void Linpack::Dsisl(double* a, int lda, int n, int* kpvt, double* b) {
  Mat A{a, lda};
  Vec B{b};
  IVec P{kpvt};
  // Backward: apply the transformations and D inverse.
  int k = n;
  while (k != 0) {
    if (P(k) >= 0) {
      if (k != 1) {
        int kp = P(k);
        if (kp != k) {
          double temp = B(k);
          B(k) = B(kp);
          B(kp) = temp;
        }
        Blas1::Daxpy(k - 1, B(k), A.at(1, k), 1, b, 1);
      }
      B(k) = B(k) / A(k, k);
      k = k - 1;
    } else {
      if (k != 2) {
        int kp = std::abs(P(k));
        if (kp != k - 1) {
          double temp = B(k - 1);
          B(k - 1) = B(kp);
          B(kp) = temp;
        }
        Blas1::Daxpy(k - 2, B(k), A.at(1, k), 1, b, 1);
        Blas1::Daxpy(k - 2, B(k - 1), A.at(1, k - 1), 1, b, 1);
      }
      double ak = A(k, k) / A(k - 1, k);
      double akm1 = A(k - 1, k - 1) / A(k - 1, k);
      double bk = B(k) / A(k - 1, k);
      double bkm1 = B(k - 1) / A(k - 1, k);
      double denom = ak * akm1 - 1.0;
      B(k) = (akm1 * bk - bkm1) / denom;
      B(k - 1) = (ak * bkm1 - bk) / denom;
      k = k - 2;
    }
  }
  // Forward: apply the transformations.
  k = 1;
  while (k <= n) {
    if (P(k) >= 0) {
      if (k != 1) {
        B(k) = B(k) + Blas1::DDot(k - 1, A.at(1, k), 1, b, 1);
        int kp = P(k);
        if (kp != k) {
          double temp = B(k);
          B(k) = B(kp);
          B(kp) = temp;
        }
      }
      k = k + 1;
    } else {
      if (k != 1) {
        B(k) = B(k) + Blas1::DDot(k - 1, A.at(1, k), 1, b, 1);
        B(k + 1) = B(k + 1) + Blas1::DDot(k - 1, A.at(1, k + 1), 1, b, 1);
        int kp = std::abs(P(k));
        if (kp != k) {
          double temp = B(k);
          B(k) = B(kp);
          B(kp) = temp;
        }
      }
      k = k + 2;
    }
  }
}

namespace {

// Determinant and inertia from the block diagonal D (shared by Dsidi and Dspdi).
// diag(k) is d(k,k) and off(k) is d(k,k+1) of a 2x2 block starting at k.
template <class Diag, class Off>
void BlockDetInertia(int n, const int* kpvt, bool nodet, bool noert, double* det, int* inert,
                     Diag diag, Off off) {
  if (!noert) {
    inert[0] = 0;
    inert[1] = 0;
    inert[2] = 0;
  }
  if (!nodet) {
    det[0] = 1.0;
    det[1] = 0.0;
  }
  double t = 0.0;
  for (int k = 1; k <= n; ++k) {
    double d = diag(k);
    if (kpvt[k - 1] <= 0) {
      // 2x2 block: det = (d/t * c - t) * t with t = abs(s), taken in two passes to avoid
      // overflow; t flags the second pass.
      if (t == 0.0) {
        t = std::fabs(off(k));
        d = (d / t) * diag(k + 1) - t;
      } else {
        d = t;
        t = 0.0;
      }
    }
    if (!noert) {
      if (d > 0.0) inert[0] = inert[0] + 1;
      if (d < 0.0) inert[1] = inert[1] + 1;
      if (d == 0.0) inert[2] = inert[2] + 1;
    }
    if (!nodet) {
      det[0] = d * det[0];
      if (det[0] != 0.0) ScaleDet(det);
    }
  }
}

}  // namespace

void Linpack::Dsidi(double* a, int lda, int n, int* kpvt, double* det, int* inert, double* work,
                    int job) {
  Mat A{a, lda};
  Vec W{work};
  IVec P{kpvt};
  bool noinv = job % 10 == 0;
  bool nodet = (job % 100) / 10 == 0;
  bool noert = (job % 1000) / 100 == 0;
  if (!(nodet && noert)) {
    BlockDetInertia(
        n, kpvt, nodet, noert, det, inert, [&](int k) { return A(k, k); },
        [&](int k) { return A(k, k + 1); });
  }
  if (noinv) return;
  int k = 1;
  while (k <= n) {
    int km1 = k - 1;
    int kstep;
    if (P(k) >= 0) {
      A(k, k) = 1.0 / A(k, k);
      if (km1 >= 1) {
        Blas1::DCopy(km1, A.at(1, k), 1, work, 1);
        for (int j = 1; j <= km1; ++j) {
          A(j, k) = Blas1::DDot(j, A.at(1, j), 1, work, 1);
          Blas1::Daxpy(j - 1, W(j), A.at(1, j), 1, A.at(1, k), 1);
        }
        A(k, k) = A(k, k) + Blas1::DDot(km1, work, 1, A.at(1, k), 1);
      }
      kstep = 1;
    } else {
      double t = std::fabs(A(k, k + 1));
      double ak = A(k, k) / t;
      double akp1 = A(k + 1, k + 1) / t;
      double akkp1 = A(k, k + 1) / t;
      double d = t * (ak * akp1 - 1.0);
      A(k, k) = akp1 / d;
      A(k + 1, k + 1) = ak / d;
      A(k, k + 1) = -akkp1 / d;
      if (km1 >= 1) {
        Blas1::DCopy(km1, A.at(1, k + 1), 1, work, 1);
        for (int j = 1; j <= km1; ++j) {
          A(j, k + 1) = Blas1::DDot(j, A.at(1, j), 1, work, 1);
          Blas1::Daxpy(j - 1, W(j), A.at(1, j), 1, A.at(1, k + 1), 1);
        }
        A(k + 1, k + 1) = A(k + 1, k + 1) + Blas1::DDot(km1, work, 1, A.at(1, k + 1), 1);
        A(k, k + 1) = A(k, k + 1) + Blas1::DDot(km1, A.at(1, k), 1, A.at(1, k + 1), 1);
        Blas1::DCopy(km1, A.at(1, k), 1, work, 1);
        for (int j = 1; j <= km1; ++j) {
          A(j, k) = Blas1::DDot(j, A.at(1, j), 1, work, 1);
          Blas1::Daxpy(j - 1, W(j), A.at(1, j), 1, A.at(1, k), 1);
        }
        A(k, k) = A(k, k) + Blas1::DDot(km1, work, 1, A.at(1, k), 1);
      }
      kstep = 2;
    }
    int ks = std::abs(P(k));
    if (ks != k) {
      Blas1::DSwap(ks, A.at(1, ks), 1, A.at(1, k), 1);
      for (int jb = ks; jb <= k; ++jb) {
        int j = k + ks - jb;
        double temp = A(j, k);
        A(j, k) = A(ks, j);
        A(ks, j) = temp;
      }
      if (kstep != 1) {
        double temp = A(ks, k + 1);
        A(ks, k + 1) = A(k, k + 1);
        A(k, k + 1) = temp;
      }
    }
    k = k + kstep;
  }
}

double Linpack::Dspco(double* ap, int n, int* kpvt, double* z) {
  Vec AP{ap};
  Vec Z{z};
  IVec P{kpvt};
  int j1 = 1;
  for (int j = 1; j <= n; ++j) {
    Z(j) = Blas1::DASum(j, AP.at(j1), 1);
    int ij = j1;
    j1 = j1 + j;
    for (int i = 1; i <= j - 1; ++i) {
      Z(i) = Z(i) + std::fabs(AP(ij));
      ij = ij + 1;
    }
  }
  double anorm = 0.0;
  for (int j = 1; j <= n; ++j) anorm = std::fmax(anorm, Z(j));
  Dspfa(ap, n, kpvt);

  // ik is the position before column k, ikm1 before column k-1.
  auto solve2 = [&](int k, int ik, int ikm1) {
    int kk = ik + k;
    int km1k = ik + k - 1;
    int km1km1 = ikm1 + k - 1;
    double ak = AP(kk) / AP(km1k);
    double akm1 = AP(km1km1) / AP(km1k);
    double bk = Z(k) / AP(km1k);
    double bkm1 = Z(k - 1) / AP(km1k);
    double denom = ak * akm1 - 1.0;
    Z(k) = (akm1 * bk - bkm1) / denom;
    Z(k - 1) = (ak * bkm1 - bk) / denom;
  };
  auto solveUt = [&]() {
    int k = 1;
    int ik = 0;
    while (k <= n) {
      int ks = P(k) < 0 ? 2 : 1;
      if (k != 1) {
        Z(k) = Z(k) + Blas1::DDot(k - 1, AP.at(ik + 1), 1, z, 1);
        int ikp1 = ik + k;
        if (ks == 2) Z(k + 1) = Z(k + 1) + Blas1::DDot(k - 1, AP.at(ikp1 + 1), 1, z, 1);
        int kp = std::abs(P(k));
        if (kp != k) {
          double t = Z(k);
          Z(k) = Z(kp);
          Z(kp) = t;
        }
      }
      ik = ik + k;
      if (ks == 2) ik = ik + (k + 1);
      k = k + ks;
    }
  };

  double ek = 1.0;
  for (int j = 1; j <= n; ++j) Z(j) = 0.0;
  int k = n;
  int ik = (n * (n - 1)) / 2;
  while (k != 0) {
    int kk = ik + k;
    int ikm1 = ik - (k - 1);
    int ks = P(k) < 0 ? 2 : 1;
    int kp = std::abs(P(k));
    int kps = k + 1 - ks;
    if (kp != kps) {
      double t = Z(kps);
      Z(kps) = Z(kp);
      Z(kp) = t;
    }
    if (Z(k) != 0.0) ek = Sign(ek, Z(k));
    Z(k) = Z(k) + ek;
    Blas1::Daxpy(k - ks, Z(k), AP.at(ik + 1), 1, z, 1);
    if (ks != 1) {
      if (Z(k - 1) != 0.0) ek = Sign(ek, Z(k - 1));
      Z(k - 1) = Z(k - 1) + ek;
      Blas1::Daxpy(k - ks, Z(k - 1), AP.at(ikm1 + 1), 1, z, 1);
    }
    if (ks == 1) {
      if (std::fabs(Z(k)) > std::fabs(AP(kk))) {
        double s = std::fabs(AP(kk)) / std::fabs(Z(k));
        Blas1::DScal(n, s, z, 1);
        ek = s * ek;
      }
      if (AP(kk) != 0.0) Z(k) = Z(k) / AP(kk);
      if (AP(kk) == 0.0) Z(k) = 1.0;
    } else {
      solve2(k, ik, ikm1);
    }
    k = k - ks;
    ik = ik - k;
    if (ks == 2) ik = ik - (k + 1);
  }
  Renormalise(n, z);
  solveUt();
  Renormalise(n, z);
  double ynorm = 1.0;

  k = n;
  ik = n * (n - 1) / 2;
  while (k != 0) {
    int kk = ik + k;
    int ikm1 = ik - (k - 1);
    int ks = P(k) < 0 ? 2 : 1;
    if (k != ks) {
      int kp = std::abs(P(k));
      int kps = k + 1 - ks;
      if (kp != kps) {
        double t = Z(kps);
        Z(kps) = Z(kp);
        Z(kp) = t;
      }
      Blas1::Daxpy(k - ks, Z(k), AP.at(ik + 1), 1, z, 1);
      if (ks == 2) Blas1::Daxpy(k - ks, Z(k - 1), AP.at(ikm1 + 1), 1, z, 1);
    }
    if (ks == 1) {
      if (std::fabs(Z(k)) > std::fabs(AP(kk))) {
        double s = std::fabs(AP(kk)) / std::fabs(Z(k));
        Blas1::DScal(n, s, z, 1);
        ynorm = s * ynorm;
      }
      if (AP(kk) != 0.0) Z(k) = Z(k) / AP(kk);
      if (AP(kk) == 0.0) Z(k) = 1.0;
    } else {
      solve2(k, ik, ikm1);
    }
    k = k - ks;
    ik = ik - k;
    if (ks == 2) ik = ik - (k + 1);
  }
  ynorm = Renormalise(n, z) * ynorm;
  solveUt();
  ynorm = Renormalise(n, z) * ynorm;
  return anorm != 0.0 ? ynorm / anorm : 0.0;
}

int Linpack::Dspfa(double* ap, int n, int* kpvt) {
  Vec AP{ap};
  IVec P{kpvt};
  const double alpha = (1.0 + std::sqrt(17.0)) / 8.0;
  int info = 0;
  int k = n;
  int ik = (n * (n - 1)) / 2;
  while (k > 0) {
    if (k == 1) {
      P(1) = 1;
      if (AP(1) == 0.0) info = 1;
      break;
    }
    int km1 = k - 1;
    int kk = ik + k;
    double absakk = std::fabs(AP(kk));
    int imax = Blas1::IDAMax(k - 1, AP.at(ik + 1), 1);
    int imk = ik + imax;
    double colmax = std::fabs(AP(imk));
    int kstep;
    bool swap;
    int im = imax * (imax - 1) / 2;
    if (absakk >= alpha * colmax) {
      kstep = 1;
      swap = false;
    } else {
      double rowmax = 0.0;
      int imj = im + 2 * imax;
      for (int j = imax + 1; j <= k; ++j) {
        rowmax = std::fmax(rowmax, std::fabs(AP(imj)));
        imj = imj + j;
      }
      if (imax != 1) {
        int jmax = Blas1::IDAMax(imax - 1, AP.at(im + 1), 1);
        int jmim = jmax + im;
        rowmax = std::fmax(rowmax, std::fabs(AP(jmim)));
      }
      int imim = imax + im;
      if (std::fabs(AP(imim)) >= alpha * rowmax) {
        kstep = 1;
        swap = true;
      } else if (absakk >= alpha * colmax * (colmax / rowmax)) {
        kstep = 1;
        swap = false;
      } else {
        kstep = 2;
        swap = imax != km1;
      }
    }
    if (std::fmax(absakk, colmax) == 0.0) {
      P(k) = k;
      info = k;
    } else if (kstep == 1) {
      if (swap) {
        Blas1::DSwap(imax, AP.at(im + 1), 1, AP.at(ik + 1), 1);
        int imj = ik + imax;
        for (int jj = imax; jj <= k; ++jj) {
          int j = k + imax - jj;
          int jk = ik + j;
          double t = AP(jk);
          AP(jk) = AP(imj);
          AP(imj) = t;
          imj = imj - (j - 1);
        }
      }
      int ij = ik - (k - 1);
      for (int jj = 1; jj <= km1; ++jj) {
        int j = k - jj;
        int jk = ik + j;
        double mulk = -AP(jk) / AP(kk);
        Blas1::Daxpy(j, mulk, AP.at(ik + 1), 1, AP.at(ij + 1), 1);
        AP(jk) = mulk;
        ij = ij - (j - 1);
      }
      P(k) = swap ? imax : k;
    } else {
      int km1k = ik + k - 1;
      int ikm1 = ik - (k - 1);
      if (swap) {
        Blas1::DSwap(imax, AP.at(im + 1), 1, AP.at(ikm1 + 1), 1);
        int imj = ikm1 + imax;
        for (int jj = imax; jj <= km1; ++jj) {
          int j = km1 + imax - jj;
          int jkm1 = ikm1 + j;
          double t = AP(jkm1);
          AP(jkm1) = AP(imj);
          AP(imj) = t;
          imj = imj - (j - 1);
        }
        double t = AP(km1k);
        AP(km1k) = AP(imk);
        AP(imk) = t;
      }
      int km2 = k - 2;
      if (km2 != 0) {
        double ak = AP(kk) / AP(km1k);
        int km1km1 = ikm1 + k - 1;
        double akm1 = AP(km1km1) / AP(km1k);
        double denom = 1.0 - ak * akm1;
        int ij = ik - (k - 1) - (k - 2);
        for (int jj = 1; jj <= km2; ++jj) {
          int j = km1 - jj;
          int jk = ik + j;
          double bk = AP(jk) / AP(km1k);
          int jkm1 = ikm1 + j;
          double bkm1 = AP(jkm1) / AP(km1k);
          double mulk = (akm1 * bk - bkm1) / denom;
          double mulkm1 = (ak * bkm1 - bk) / denom;
          Blas1::Daxpy(j, mulk, AP.at(ik + 1), 1, AP.at(ij + 1), 1);
          Blas1::Daxpy(j, mulkm1, AP.at(ikm1 + 1), 1, AP.at(ij + 1), 1);
          AP(jk) = mulk;
          AP(jkm1) = mulkm1;
          ij = ij - (j - 1);
        }
      }
      P(k) = swap ? -imax : 1 - k;
      P(k - 1) = P(k);
    }
    ik = ik - (k - 1);
    if (kstep == 2) ik = ik - (k - 2);
    k = k - kstep;
  }
  return info;
}

void Linpack::Dspsl(double* ap, int n, int* kpvt, double* b) {
  Vec AP{ap};
  Vec B{b};
  IVec P{kpvt};
  int k = n;
  int ik = (n * (n - 1)) / 2;
  while (k != 0) {
    int kk = ik + k;
    if (P(k) >= 0) {
      if (k != 1) {
        int kp = P(k);
        if (kp != k) {
          double temp = B(k);
          B(k) = B(kp);
          B(kp) = temp;
        }
        Blas1::Daxpy(k - 1, B(k), AP.at(ik + 1), 1, b, 1);
      }
      B(k) = B(k) / AP(kk);
      k = k - 1;
      ik = ik - k;
    } else {
      int ikm1 = ik - (k - 1);
      if (k != 2) {
        int kp = std::abs(P(k));
        if (kp != k - 1) {
          double temp = B(k - 1);
          B(k - 1) = B(kp);
          B(kp) = temp;
        }
        Blas1::Daxpy(k - 2, B(k), AP.at(ik + 1), 1, b, 1);
        Blas1::Daxpy(k - 2, B(k - 1), AP.at(ikm1 + 1), 1, b, 1);
      }
      int km1k = ik + k - 1;
      double ak = AP(kk) / AP(km1k);
      int km1km1 = ikm1 + k - 1;
      double akm1 = AP(km1km1) / AP(km1k);
      double bk = B(k) / AP(km1k);
      double bkm1 = B(k - 1) / AP(km1k);
      double denom = ak * akm1 - 1.0;
      B(k) = (akm1 * bk - bkm1) / denom;
      B(k - 1) = (ak * bkm1 - bk) / denom;
      k = k - 2;
      ik = ik - (k + 1) - k;
    }
  }
  k = 1;
  ik = 0;
  while (k <= n) {
    if (P(k) >= 0) {
      if (k != 1) {
        B(k) = B(k) + Blas1::DDot(k - 1, AP.at(ik + 1), 1, b, 1);
        int kp = P(k);
        if (kp != k) {
          double temp = B(k);
          B(k) = B(kp);
          B(kp) = temp;
        }
      }
      ik = ik + k;
      k = k + 1;
    } else {
      if (k != 1) {
        B(k) = B(k) + Blas1::DDot(k - 1, AP.at(ik + 1), 1, b, 1);
        int ikp1 = ik + k;
        B(k + 1) = B(k + 1) + Blas1::DDot(k - 1, AP.at(ikp1 + 1), 1, b, 1);
        int kp = std::abs(P(k));
        if (kp != k) {
          double temp = B(k);
          B(k) = B(kp);
          B(kp) = temp;
        }
      }
      ik = ik + k + k + 1;
      k = k + 2;
    }
  }
}

void Linpack::Dspdi(double* ap, int n, int* kpvt, double* det, int* inert, double* work, int job) {
  Vec AP{ap};
  Vec W{work};
  IVec P{kpvt};
  bool noinv = job % 10 == 0;
  bool nodet = (job % 100) / 10 == 0;
  bool noert = (job % 1000) / 100 == 0;
  auto diagPos = [](int k) { return k * (k + 1) / 2; };
  if (!(nodet && noert)) {
    BlockDetInertia(
        n, kpvt, nodet, noert, det, inert, [&](int k) { return AP(diagPos(k)); },
        [&](int k) { return AP(diagPos(k) + k); });
  }
  if (noinv) return;
  int k = 1;
  int ik = 0;
  while (k <= n) {
    int km1 = k - 1;
    int kk = ik + k;
    int ikp1 = ik + k;
    int kkp1 = ikp1 + k;
    int kstep;
    if (P(k) >= 0) {
      AP(kk) = 1.0 / AP(kk);
      if (km1 >= 1) {
        Blas1::DCopy(km1, AP.at(ik + 1), 1, work, 1);
        int ij = 0;
        for (int j = 1; j <= km1; ++j) {
          int jk = ik + j;
          AP(jk) = Blas1::DDot(j, AP.at(ij + 1), 1, work, 1);
          Blas1::Daxpy(j - 1, W(j), AP.at(ij + 1), 1, AP.at(ik + 1), 1);
          ij = ij + j;
        }
        AP(kk) = AP(kk) + Blas1::DDot(km1, work, 1, AP.at(ik + 1), 1);
      }
      kstep = 1;
    } else {
      double t = std::fabs(AP(kkp1));
      double ak = AP(kk) / t;
      double akp1 = AP(kkp1 + 1) / t;
      double akkp1 = AP(kkp1) / t;
      double d = t * (ak * akp1 - 1.0);
      AP(kk) = akp1 / d;
      AP(kkp1 + 1) = ak / d;
      AP(kkp1) = -akkp1 / d;
      if (km1 >= 1) {
        Blas1::DCopy(km1, AP.at(ikp1 + 1), 1, work, 1);
        int ij = 0;
        for (int j = 1; j <= km1; ++j) {
          int jkp1 = ikp1 + j;
          AP(jkp1) = Blas1::DDot(j, AP.at(ij + 1), 1, work, 1);
          Blas1::Daxpy(j - 1, W(j), AP.at(ij + 1), 1, AP.at(ikp1 + 1), 1);
          ij = ij + j;
        }
        AP(kkp1 + 1) = AP(kkp1 + 1) + Blas1::DDot(km1, work, 1, AP.at(ikp1 + 1), 1);
        AP(kkp1) = AP(kkp1) + Blas1::DDot(km1, AP.at(ik + 1), 1, AP.at(ikp1 + 1), 1);
        Blas1::DCopy(km1, AP.at(ik + 1), 1, work, 1);
        ij = 0;
        for (int j = 1; j <= km1; ++j) {
          int jk = ik + j;
          AP(jk) = Blas1::DDot(j, AP.at(ij + 1), 1, work, 1);
          Blas1::Daxpy(j - 1, W(j), AP.at(ij + 1), 1, AP.at(ik + 1), 1);
          ij = ij + j;
        }
        AP(kk) = AP(kk) + Blas1::DDot(km1, work, 1, AP.at(ik + 1), 1);
      }
      kstep = 2;
    }
    int ks = std::abs(P(k));
    if (ks != k) {
      int iks = (ks * (ks - 1)) / 2;
      Blas1::DSwap(ks, AP.at(iks + 1), 1, AP.at(ik + 1), 1);
      int ksj = ik + ks;
      for (int jb = ks; jb <= k; ++jb) {
        int j = k + ks - jb;
        int jk = ik + j;
        double temp = AP(jk);
        AP(jk) = AP(ksj);
        AP(ksj) = temp;
        ksj = ksj - (j - 1);
      }
      if (kstep != 1) {
        int kskp1 = ikp1 + ks;
        double temp = AP(kskp1);
        AP(kskp1) = AP(kkp1);
        AP(kkp1) = temp;
      }
    }
    ik = ik + k;
    if (kstep == 2) ik = ik + k + 1;
    k = k + kstep;
  }
}

// ---------------------------------------------------------------------------------------
// Triangular matrices

double Linpack::Dtrco(double* t, int ldt, int n, double* z, int job) {
  Mat T{t, ldt};
  Vec Z{z};
  bool lower = job == 0;
  double tnorm = 0.0;
  for (int j = 1; j <= n; ++j) {
    int l = lower ? n + 1 - j : j;
    int i1 = lower ? j : 1;
    tnorm = std::fmax(tnorm, Blas1::DASum(l, T.at(i1, j), 1));
  }
  // Solve trans(T) y = e.
  double ek = 1.0;
  for (int j = 1; j <= n; ++j) Z(j) = 0.0;
  for (int kk = 1; kk <= n; ++kk) {
    int k = lower ? n + 1 - kk : kk;
    if (Z(k) != 0.0) ek = Sign(ek, -Z(k));
    if (std::fabs(ek - Z(k)) > std::fabs(T(k, k))) {
      double s = std::fabs(T(k, k)) / std::fabs(ek - Z(k));
      Blas1::DScal(n, s, z, 1);
      ek = s * ek;
    }
    double wk = ek - Z(k);
    double wkm = -ek - Z(k);
    double s = std::fabs(wk);
    double sm = std::fabs(wkm);
    if (T(k, k) != 0.0) {
      wk = wk / T(k, k);
      wkm = wkm / T(k, k);
    } else {
      wk = 1.0;
      wkm = 1.0;
    }
    if (kk != n) {
      int j1 = lower ? 1 : k + 1;
      int j2 = lower ? k - 1 : n;
      for (int j = j1; j <= j2; ++j) {
        sm = sm + std::fabs(Z(j) + wkm * T(k, j));
        Z(j) = Z(j) + wk * T(k, j);
        s = s + std::fabs(Z(j));
      }
      if (s < sm) {
        double w = wkm - wk;
        wk = wkm;
        for (int j = j1; j <= j2; ++j) Z(j) = Z(j) + w * T(k, j);
      }
    }
    Z(k) = wk;
  }
  Renormalise(n, z);
  double ynorm = 1.0;
  // Solve T z = y.
  for (int kk = 1; kk <= n; ++kk) {
    int k = lower ? kk : n + 1 - kk;
    if (std::fabs(Z(k)) > std::fabs(T(k, k))) {
      double s = std::fabs(T(k, k)) / std::fabs(Z(k));
      Blas1::DScal(n, s, z, 1);
      ynorm = s * ynorm;
    }
    if (T(k, k) != 0.0) Z(k) = Z(k) / T(k, k);
    if (T(k, k) == 0.0) Z(k) = 1.0;
    int i1 = lower ? k + 1 : 1;
    if (kk < n) Blas1::Daxpy(n - kk, -Z(k), T.at(i1, k), 1, Z.at(i1), 1);
  }
  ynorm = Renormalise(n, z) * ynorm;
  return tnorm != 0.0 ? ynorm / tnorm : 0.0;
}

int Linpack::Dtrsl(double* t, int ldt, int n, double* b, int job) {
  Mat T{t, ldt};
  Vec B{b};
  for (int info = 1; info <= n; ++info) {
    if (T(info, info) == 0.0) return info;
  }
  if (n < 1) return 0;
  int kase = job % 10 != 0 ? 2 : 1;
  if ((job % 100) / 10 != 0) kase += 2;
  switch (kase) {
    case 1:  // T x = b, T lower
      B(1) = B(1) / T(1, 1);
      for (int j = 2; j <= n; ++j) {
        Blas1::Daxpy(n - j + 1, -B(j - 1), T.at(j, j - 1), 1, B.at(j), 1);
        B(j) = B(j) / T(j, j);
      }
      break;
    case 2:  // T x = b, T upper
      B(n) = B(n) / T(n, n);
      for (int jj = 2; jj <= n; ++jj) {
        int j = n - jj + 1;
        Blas1::Daxpy(j, -B(j + 1), T.at(1, j + 1), 1, b, 1);
        B(j) = B(j) / T(j, j);
      }
      break;
    case 3:  // T'x = b, T lower
      B(n) = B(n) / T(n, n);
      for (int jj = 2; jj <= n; ++jj) {
        int j = n - jj + 1;
        B(j) = B(j) - Blas1::DDot(jj - 1, T.at(j + 1, j), 1, B.at(j + 1), 1);
        B(j) = B(j) / T(j, j);
      }
      break;
    default:  // T'x = b, T upper
      B(1) = B(1) / T(1, 1);
      for (int j = 2; j <= n; ++j) {
        B(j) = B(j) - Blas1::DDot(j - 1, T.at(1, j), 1, b, 1);
        B(j) = B(j) / T(j, j);
      }
      break;
  }
  return 0;
}

int Linpack::Dtrdi(double* t, int ldt, int n, double* det, int job) {
  Mat T{t, ldt};
  if (job / 100 != 0) {
    det[0] = 1.0;
    det[1] = 0.0;
    for (int i = 1; i <= n; ++i) {
      det[0] = T(i, i) * det[0];
      if (det[0] == 0.0) break;
      ScaleDet(det);
    }
  }
  if ((job / 10) % 10 == 0) return 0;
  if (job % 10 != 0) {
    // Inverse of upper triangular.
    for (int k = 1; k <= n; ++k) {
      if (T(k, k) == 0.0) return k;
      T(k, k) = 1.0 / T(k, k);
      double temp = -T(k, k);
      Blas1::DScal(k - 1, temp, T.at(1, k), 1);
      for (int j = k + 1; j <= n; ++j) {
        temp = T(k, j);
        T(k, j) = 0.0;
        Blas1::Daxpy(k, temp, T.at(1, k), 1, T.at(1, j), 1);
      }
    }
    return 0;
  }
  // Inverse of lower triangular.
  for (int kb = 1; kb <= n; ++kb) {
    int k = n + 1 - kb;
    if (T(k, k) == 0.0) return k;
    T(k, k) = 1.0 / T(k, k);
    double temp = -T(k, k);
    if (k != n) Blas1::DScal(n - k, temp, T.at(k + 1, k), 1);
    for (int j = 1; j <= k - 1; ++j) {
      temp = T(k, j);
      T(k, j) = 0.0;
      Blas1::Daxpy(n - k + 1, temp, T.at(k, k), 1, T.at(k, j), 1);
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// Tridiagonal systems

int Linpack::Dgtsl(int n, double* c, double* d, double* e, double* b) {
  Vec C{c};
  Vec D{d};
  Vec E{e};
  Vec B{b};
  if (n < 1) return 0;
  C(1) = D(1);
  int nm1 = n - 1;
  if (nm1 >= 1) {
    D(1) = E(1);
    E(1) = 0.0;
    E(n) = 0.0;
    for (int k = 1; k <= nm1; ++k) {
      int kp1 = k + 1;
      // Pivot on the larger of the two rows.
      if (std::fabs(C(kp1)) >= std::fabs(C(k))) {
        double t = C(kp1);
        C(kp1) = C(k);
        C(k) = t;
        t = D(kp1);
        D(kp1) = D(k);
        D(k) = t;
        t = E(kp1);
        E(kp1) = E(k);
        E(k) = t;
        t = B(kp1);
        B(kp1) = B(k);
        B(k) = t;
      }
      if (C(k) == 0.0) return k;
      double t = -C(kp1) / C(k);
      C(kp1) = D(kp1) + t * D(k);
      D(kp1) = E(kp1) + t * E(k);
      E(kp1) = 0.0;
      B(kp1) = B(kp1) + t * B(k);
    }
  }
  if (C(n) == 0.0) return n;
  int nm2 = n - 2;
  B(n) = B(n) / C(n);
  if (n == 1) return 0;
  B(nm1) = (B(nm1) - D(nm1) * B(n)) / C(nm1);
  for (int kb = 1; kb <= nm2; ++kb) {
    int k = nm2 - kb + 1;
    B(k) = (B(k) - D(k) * B(k + 1) - E(k) * B(k + 2)) / C(k);
  }
  return 0;
}

void Linpack::Dptsl(int n, double* d, double* e, double* b) {
  Vec D{d};
  Vec E{e};
  Vec B{b};
  if (n < 1) return;
  if (n == 1) {
    B(1) = B(1) / D(1);
    return;
  }
  // Eliminate from both ends towards the middle.
  int nm1 = n - 1;
  int nm1d2 = nm1 / 2;
  if (n != 2) {
    int kbm1 = n - 1;
    for (int k = 1; k <= nm1d2; ++k) {
      double t1 = E(k) / D(k);
      D(k + 1) = D(k + 1) - t1 * E(k);
      B(k + 1) = B(k + 1) - t1 * B(k);
      double t2 = E(kbm1) / D(kbm1 + 1);
      D(kbm1) = D(kbm1) - t2 * E(kbm1);
      B(kbm1) = B(kbm1) - t2 * B(kbm1 + 1);
      kbm1 = kbm1 - 1;
    }
  }
  int kp1 = nm1d2 + 1;
  if (n % 2 == 0) {
    double t1 = E(kp1) / D(kp1);
    D(kp1 + 1) = D(kp1 + 1) - t1 * E(kp1);
    B(kp1 + 1) = B(kp1 + 1) - t1 * B(kp1);
    kp1 = kp1 + 1;
  }
  B(kp1) = B(kp1) / D(kp1);
  if (n != 2) {
    int k = kp1 - 1;
    int ke = kp1 + nm1d2 - 1;
    for (int kf = kp1; kf <= ke; ++kf) {
      B(k) = (B(k) - E(k) * B(k + 1)) / D(k);
      B(kf + 1) = (B(kf + 1) - E(kf) * B(kf)) / D(kf + 1);
      k = k - 1;
    }
  }
  if (n % 2 == 0) B(1) = (B(1) - E(1) * B(2)) / D(1);
}

// ---------------------------------------------------------------------------------------
// Cholesky decomposition with pivoting, updates and downdates

int Linpack::Dchdc(double* a, int lda, int p, double* work, int* jpvt, int job) {
  Mat A{a, lda};
  Vec W{work};
  IVec J{jpvt};
  int pl = 1;
  int pu = 0;
  int info = p;
  if (job != 0) {
    // Move the initial elements to the front and the final ones to the end.
    for (int k = 1; k <= p; ++k) {
      bool swapk = J(k) > 0;
      bool negk = J(k) < 0;
      J(k) = k;
      if (negk) J(k) = -J(k);
      if (!swapk) continue;
      if (k != pl) {
        Blas1::DSwap(pl - 1, A.at(1, k), 1, A.at(1, pl), 1);
        double temp = A(k, k);
        A(k, k) = A(pl, pl);
        A(pl, pl) = temp;
        for (int j = pl + 1; j <= p; ++j) {
          if (j < k) {
            temp = A(pl, j);
            A(pl, j) = A(j, k);
            A(j, k) = temp;
          } else if (j != k) {
            temp = A(k, j);
            A(k, j) = A(pl, j);
            A(pl, j) = temp;
          }
        }
        J(k) = J(pl);
        J(pl) = k;
      }
      pl = pl + 1;
    }
    pu = p;
    for (int kb = pl; kb <= p; ++kb) {
      int k = p - kb + pl;
      if (J(k) >= 0) continue;
      J(k) = -J(k);
      if (pu != k) {
        Blas1::DSwap(k - 1, A.at(1, k), 1, A.at(1, pu), 1);
        double temp = A(k, k);
        A(k, k) = A(pu, pu);
        A(pu, pu) = temp;
        for (int j = k + 1; j <= p; ++j) {
          if (j < pu) {
            temp = A(k, j);
            A(k, j) = A(j, pu);
            A(j, pu) = temp;
          } else if (j != pu) {
            temp = A(k, j);
            A(k, j) = A(pu, j);
            A(pu, j) = temp;
          }
        }
        int jt = J(k);
        J(k) = J(pu);
        J(pu) = jt;
      }
      pu = pu - 1;
    }
  }
  for (int k = 1; k <= p; ++k) {
    // Pivot on the largest free diagonal element.
    double maxdia = A(k, k);
    int maxl = k;
    if (k >= pl && k < pu) {
      for (int l = k + 1; l <= pu; ++l) {
        if (A(l, l) > maxdia) {
          maxdia = A(l, l);
          maxl = l;
        }
      }
    }
    if (maxdia <= 0.0) return k - 1;
    if (k != maxl) {
      Blas1::DSwap(k - 1, A.at(1, k), 1, A.at(1, maxl), 1);
      A(maxl, maxl) = A(k, k);
      A(k, k) = maxdia;
      int jp = J(maxl);
      J(maxl) = J(k);
      J(k) = jp;
    }
    W(k) = std::sqrt(A(k, k));
    A(k, k) = W(k);
    for (int j = k + 1; j <= p; ++j) {
      if (k != maxl) {
        if (j < maxl) {
          double temp = A(k, j);
          A(k, j) = A(j, maxl);
          A(j, maxl) = temp;
        } else if (j != maxl) {
          double temp = A(k, j);
          A(k, j) = A(maxl, j);
          A(maxl, j) = temp;
        }
      }
      A(k, j) = A(k, j) / W(k);
      W(j) = A(k, j);
      double temp = -A(k, j);
      Blas1::Daxpy(j - k, temp, W.at(k + 1), 1, A.at(k + 1, j), 1);
    }
  }
  return info;
}

void Linpack::Dchud(double* r, int ldr, int p, double* x, double* z, int ldz, int nz, double* y,
                    double* rho, double* c, double* s) {
  Mat R{r, ldr};
  Mat Zm{z, ldz};
  Vec X{x};
  Vec Y{y};
  Vec Rho{rho};
  Vec C{c};
  Vec S{s};
  for (int j = 1; j <= p; ++j) {
    double xj = X(j);
    // Apply the previous rotations.
    for (int i = 1; i <= j - 1; ++i) {
      double t = C(i) * R(i, j) + S(i) * xj;
      xj = C(i) * xj - S(i) * R(i, j);
      R(i, j) = t;
    }
    Blas1::DRotG(R.at(j, j), &xj, C.at(j), S.at(j));
  }
  for (int j = 1; j <= nz; ++j) {
    double zeta = Y(j);
    for (int i = 1; i <= p; ++i) {
      double t = C(i) * Zm(i, j) + S(i) * zeta;
      zeta = C(i) * zeta - S(i) * Zm(i, j);
      Zm(i, j) = t;
    }
    double azeta = std::fabs(zeta);
    if (azeta != 0.0 && Rho(j) >= 0.0) {
      double scale = azeta + Rho(j);
      double u = azeta / scale;
      double v = Rho(j) / scale;
      Rho(j) = scale * std::sqrt(u * u + v * v);
    }
  }
}

int Linpack::Dchdd(double* r, int ldr, int p, double* x, double* z, int ldz, int nz, double* y,
                   double* rho, double* c, double* s) {
  Mat R{r, ldr};
  Mat Zm{z, ldz};
  Vec X{x};
  Vec Y{y};
  Vec Rho{rho};
  Vec C{c};
  Vec S{s};
  if (p < 1) return 0;
  // Solve trans(R) a = x into s.
  int info = 0;
  S(1) = X(1) / R(1, 1);
  for (int j = 2; j <= p; ++j) {
    S(j) = X(j) - Blas1::DDot(j - 1, R.at(1, j), 1, s, 1);
    S(j) = S(j) / R(j, j);
  }
  double norm = Blas1::DNrm2(p, s, 1);
  if (norm >= 1.0) return -1;
  double alpha = std::sqrt(1.0 - norm * norm);
  // Determine the transformations.
  for (int ii = 1; ii <= p; ++ii) {
    int i = p - ii + 1;
    double scale = alpha + std::fabs(S(i));
    double a = alpha / scale;
    double b = S(i) / scale;
    norm = std::sqrt(a * a + b * b + 0.0 * 0.0);
    C(i) = a / norm;
    S(i) = b / norm;
    alpha = scale * norm;
  }
  // Apply them to R.
  for (int j = 1; j <= p; ++j) {
    double xx = 0.0;
    for (int ii = 1; ii <= j; ++ii) {
      int i = j - ii + 1;
      double t = C(i) * xx + S(i) * R(i, j);
      R(i, j) = C(i) * R(i, j) - S(i) * xx;
      xx = t;
    }
  }
  // Downdate z and rho.
  for (int j = 1; j <= nz; ++j) {
    double zeta = Y(j);
    for (int i = 1; i <= p; ++i) {
      Zm(i, j) = (Zm(i, j) - S(i) * zeta) / C(i);
      zeta = C(i) * zeta - S(i) * Zm(i, j);
    }
    double azeta = std::fabs(zeta);
    if (azeta > Rho(j)) {
      info = 1;
      Rho(j) = -1.0;
    } else {
      double q = azeta / Rho(j);
      Rho(j) = Rho(j) * std::sqrt(1.0 - q * q);
    }
  }
  return info;
}

void Linpack::Dchex(double* r, int ldr, int p, int k, int l, double* z, int ldz, int nz, double* c,
                    double* s, int job) {
  Mat R{r, ldr};
  Mat Zm{z, ldz};
  Vec C{c};
  Vec S{s};
  int km1 = k - 1;
  int kp1 = k + 1;
  int lmk = l - k;
  int lm1 = l - 1;
  if (job == 1) {
    // Right circular shift: reorder the columns.
    for (int i = 1; i <= l; ++i) {
      int ii = l - i + 1;
      S(i) = R(ii, l);
    }
    for (int jj = k; jj <= lm1; ++jj) {
      int j = lm1 - jj + k;
      for (int i = 1; i <= j; ++i) R(i, j + 1) = R(i, j);
      R(j + 1, j + 1) = 0.0;
    }
    for (int i = 1; i <= km1; ++i) {
      int ii = l - i + 1;
      R(i, k) = S(ii);
    }
    // Calculate the rotations.
    double t = S(1);
    for (int i = 1; i <= lmk; ++i) {
      Blas1::DRotG(S.at(i + 1), &t, C.at(i), S.at(i));
      t = S(i + 1);
    }
    R(k, k) = t;
    for (int j = kp1; j <= p; ++j) {
      int il = Max(1, l - j + 1);
      for (int ii = il; ii <= lmk; ++ii) {
        int i = l - ii;
        t = C(ii) * R(i, j) + S(ii) * R(i + 1, j);
        R(i + 1, j) = C(ii) * R(i + 1, j) - S(ii) * R(i, j);
        R(i, j) = t;
      }
    }
    for (int j = 1; j <= nz; ++j) {
      for (int ii = 1; ii <= lmk; ++ii) {
        int i = l - ii;
        t = C(ii) * Zm(i, j) + S(ii) * Zm(i + 1, j);
        Zm(i + 1, j) = C(ii) * Zm(i + 1, j) - S(ii) * Zm(i, j);
        Zm(i, j) = t;
      }
    }
    return;
  }
  if (job != 2) return;
  // Left circular shift: reorder the columns.
  for (int i = 1; i <= k; ++i) {
    int ii = lmk + i;
    S(ii) = R(i, k);
  }
  for (int j = k; j <= lm1; ++j) {
    for (int i = 1; i <= j; ++i) R(i, j) = R(i, j + 1);
    int jj = j - km1;
    S(jj) = R(j + 1, j + 1);
  }
  for (int i = 1; i <= k; ++i) {
    int ii = lmk + i;
    R(i, l) = S(ii);
  }
  for (int i = kp1; i <= l; ++i) R(i, l) = 0.0;
  // Reduction loop.
  for (int j = k; j <= p; ++j) {
    if (j != k) {
      int iu = Min(j - 1, l - 1);
      for (int i = k; i <= iu; ++i) {
        int ii = i - k + 1;
        double t = C(ii) * R(i, j) + S(ii) * R(i + 1, j);
        R(i + 1, j) = C(ii) * R(i + 1, j) - S(ii) * R(i, j);
        R(i, j) = t;
      }
    }
    if (j < l) {
      int jj = j - k + 1;
      double t = S(jj);
      Blas1::DRotG(R.at(j, j), &t, C.at(jj), S.at(jj));
    }
  }
  for (int j = 1; j <= nz; ++j) {
    for (int i = k; i <= lm1; ++i) {
      int ii = i - km1;
      double t = C(ii) * Zm(i, j) + S(ii) * Zm(i + 1, j);
      Zm(i + 1, j) = C(ii) * Zm(i + 1, j) - S(ii) * Zm(i, j);
      Zm(i, j) = t;
    }
  }
}

// ---------------------------------------------------------------------------------------
// QR decomposition

void Linpack::Dqrdc(double* x, int ldx, int n, int p, double* qraux, int* jpvt, double* work,
                    int job) {
  Mat X{x, ldx};
  Vec Q{qraux};
  Vec W{work};
  IVec J{jpvt};
  int pl = 1;
  int pu = 0;
  if (job != 0) {
    // Move the initial columns to the front and the final ones to the end.
    for (int j = 1; j <= p; ++j) {
      bool swapj = J(j) > 0;
      bool negj = J(j) < 0;
      J(j) = negj ? -j : j;
      if (swapj) {
        if (j != pl) Blas1::DSwap(n, X.at(1, pl), 1, X.at(1, j), 1);
        J(j) = J(pl);
        J(pl) = j;
        pl = pl + 1;
      }
    }
    pu = p;
    for (int jj = 1; jj <= p; ++jj) {
      int j = p - jj + 1;
      if (J(j) >= 0) continue;
      J(j) = -J(j);
      if (j != pu) {
        Blas1::DSwap(n, X.at(1, pu), 1, X.at(1, j), 1);
        int jp = J(pu);
        J(pu) = J(j);
        J(j) = jp;
      }
      pu = pu - 1;
    }
  }
  // Norms of the free columns.
  for (int j = pl; j <= pu; ++j) {
    Q(j) = Blas1::DNrm2(n, X.at(1, j), 1);
    W(j) = Q(j);
  }
  // Householder reduction.
  int lup = Min(n, p);
  for (int l = 1; l <= lup; ++l) {
    if (l >= pl && l < pu) {
      // Bring the free column of largest reduced norm into the pivot position.
      double maxnrm = 0.0;
      int maxj = l;
      for (int j = l; j <= pu; ++j) {
        if (Q(j) > maxnrm) {
          maxnrm = Q(j);
          maxj = j;
        }
      }
      if (maxj != l) {
        Blas1::DSwap(n, X.at(1, l), 1, X.at(1, maxj), 1);
        Q(maxj) = Q(l);
        W(maxj) = W(l);
        int jp = J(maxj);
        J(maxj) = J(l);
        J(l) = jp;
      }
    }
    Q(l) = 0.0;
    if (l == n) continue;
    double nrmxl = Blas1::DNrm2(n - l + 1, X.at(l, l), 1);
    if (nrmxl == 0.0) continue;
    if (X(l, l) != 0.0) nrmxl = Sign(nrmxl, X(l, l));
    Blas1::DScal(n - l + 1, 1.0 / nrmxl, X.at(l, l), 1);
    X(l, l) = 1.0 + X(l, l);
    // Apply the transformation to the remaining columns, downdating the norms.
    for (int j = l + 1; j <= p; ++j) {
      double t = -Blas1::DDot(n - l + 1, X.at(l, l), 1, X.at(l, j), 1) / X(l, l);
      Blas1::Daxpy(n - l + 1, t, X.at(l, l), 1, X.at(l, j), 1);
      if (j < pl || j > pu) continue;
      if (Q(j) == 0.0) continue;
      double r = std::fabs(X(l, j)) / Q(j);
      double tt = 1.0 - r * r;
      tt = std::fmax(tt, 0.0);
      t = tt;
      double q = Q(j) / W(j);
      tt = 1.0 + 0.05 * tt * (q * q);
      if (tt != 1.0) {
        Q(j) = Q(j) * std::sqrt(t);
      } else {
        Q(j) = Blas1::DNrm2(n - l, X.at(l + 1, j), 1);
        W(j) = Q(j);
      }
    }
    // Save the transformation.
    Q(l) = X(l, l);
    X(l, l) = -nrmxl;
  }
}

int Linpack::Dqrsl(double* x, int ldx, int n, int k, double* qraux, double* y, double* qy,
                   double* qty, double* b, double* rsd, double* xb, int job) {
  Mat X{x, ldx};
  Vec Q{qraux};
  Vec Y{y};
  Vec QY{qy};
  Vec QTY{qty};
  Vec B{b};
  Vec RSD{rsd};
  Vec XB{xb};
  int info = 0;
  bool cqy = job / 10000 != 0;
  bool cqty = job % 10000 != 0;
  bool cb = (job % 1000) / 100 != 0;
  bool cr = (job % 100) / 10 != 0;
  bool cxb = job % 10 != 0;
  int ju = Min(k, n - 1);

  if (ju == 0) {
    // n = 1 (or k = 0).
    if (cqy) QY(1) = Y(1);
    if (cqty) QTY(1) = Y(1);
    if (cxb) XB(1) = Y(1);
    if (cb) {
      if (X(1, 1) == 0.0) {
        info = 1;
      } else {
        B(1) = Y(1) / X(1, 1);
      }
    }
    if (cr) RSD(1) = 0.0;
    return info;
  }

  // Applies the j-th Householder transformation to v(j..n).
  auto apply = [&](int j, double* v) {
    double temp = X(j, j);
    X(j, j) = Q(j);
    double t = -Blas1::DDot(n - j + 1, X.at(j, j), 1, v + (j - 1), 1) / X(j, j);
    Blas1::Daxpy(n - j + 1, t, X.at(j, j), 1, v + (j - 1), 1);
    X(j, j) = temp;
  };

  if (cqy) Blas1::DCopy(n, y, 1, qy, 1);
  if (cqty) Blas1::DCopy(n, y, 1, qty, 1);
  if (cqy) {
    for (int jj = 1; jj <= ju; ++jj) {
      int j = ju - jj + 1;
      if (Q(j) != 0.0) apply(j, qy);
    }
  }
  if (cqty) {
    for (int j = 1; j <= ju; ++j) {
      if (Q(j) != 0.0) apply(j, qty);
    }
  }
  if (cb) Blas1::DCopy(k, qty, 1, b, 1);
  int kp1 = k + 1;
  if (cxb) Blas1::DCopy(k, qty, 1, xb, 1);
  if (cr && k < n) Blas1::DCopy(n - k, QTY.at(kp1), 1, RSD.at(kp1), 1);
  if (cxb) {
    for (int i = kp1; i <= n; ++i) XB(i) = 0.0;
  }
  if (cr) {
    for (int i = 1; i <= k; ++i) RSD(i) = 0.0;
  }
  if (cb) {
    for (int jj = 1; jj <= k; ++jj) {
      int j = k - jj + 1;
      if (X(j, j) == 0.0) {
        info = j;
        break;
      }
      B(j) = B(j) / X(j, j);
      if (j != 1) Blas1::Daxpy(j - 1, -B(j), X.at(1, j), 1, b, 1);
    }
  }
  if (cr || cxb) {
    for (int jj = 1; jj <= ju; ++jj) {
      int j = ju - jj + 1;
      if (Q(j) == 0.0) continue;
      if (cr) apply(j, rsd);
      if (cxb) apply(j, xb);
    }
  }
  return info;
}

// ---------------------------------------------------------------------------------------
// Singular value decomposition

int Linpack::Dsvdc(double* x, int ldx, int n, int p, double* s, double* e, double* u, int ldu,
                   double* v, int ldv, double* work, int job) {
  Mat X{x, ldx};
  Mat U{u, ldu};
  Mat V{v, ldv};
  Vec S{s};
  Vec E{e};
  Vec W{work};
  const int maxit = 30;
  int jobu = (job % 100) / 10;
  int ncu = jobu > 1 ? Min(n, p) : n;
  bool wantu = jobu != 0;
  bool wantv = job % 10 != 0;
  int info = 0;

  // Reduce x to bidiagonal form: diagonal in s, superdiagonal in e.
  int nct = Min(n - 1, p);
  int nrt = Max(0, Min(p - 2, n));
  int lu = Max(nct, nrt);
  for (int l = 1; l <= lu; ++l) {
    int lp1 = l + 1;
    if (l <= nct) {
      // Transformation for column l; the diagonal goes to s(l).
      S(l) = Blas1::DNrm2(n - l + 1, X.at(l, l), 1);
      if (S(l) != 0.0) {
        if (X(l, l) != 0.0) S(l) = Sign(S(l), X(l, l));
        Blas1::DScal(n - l + 1, 1.0 / S(l), X.at(l, l), 1);
        X(l, l) = 1.0 + X(l, l);
      }
      S(l) = -S(l);
    }
    for (int j = lp1; j <= p; ++j) {
      if (l <= nct && S(l) != 0.0) {
        double t = -Blas1::DDot(n - l + 1, X.at(l, l), 1, X.at(l, j), 1) / X(l, l);
        Blas1::Daxpy(n - l + 1, t, X.at(l, l), 1, X.at(l, j), 1);
      }
      // Row l of x goes to e for the row transformation.
      E(j) = X(l, j);
    }
    if (wantu && l <= nct) {
      for (int i = l; i <= n; ++i) U(i, l) = X(i, l);
    }
    if (l <= nrt) {
      // Transformation for row l; the superdiagonal goes to e(l).
      E(l) = Blas1::DNrm2(p - l, E.at(lp1), 1);
      if (E(l) != 0.0) {
        if (E(lp1) != 0.0) E(l) = Sign(E(l), E(lp1));
        Blas1::DScal(p - l, 1.0 / E(l), E.at(lp1), 1);
        E(lp1) = 1.0 + E(lp1);
      }
      E(l) = -E(l);
      if (lp1 <= n && E(l) != 0.0) {
        for (int i = lp1; i <= n; ++i) W(i) = 0.0;
        for (int j = lp1; j <= p; ++j) {
          Blas1::Daxpy(n - l, E(j), X.at(lp1, j), 1, W.at(lp1), 1);
        }
        for (int j = lp1; j <= p; ++j) {
          Blas1::Daxpy(n - l, -E(j) / E(lp1), W.at(lp1), 1, X.at(lp1, j), 1);
        }
      }
      if (wantv) {
        for (int i = lp1; i <= p; ++i) V(i, l) = E(i);
      }
    }
  }

  // The final bidiagonal matrix of order m.
  int m = Min(p, n + 1);
  int nctp1 = nct + 1;
  int nrtp1 = nrt + 1;
  if (nct < p) S(nctp1) = X(nctp1, nctp1);
  if (n < m) S(m) = 0.0;
  if (nrtp1 < m) E(nrtp1) = X(nrtp1, m);
  E(m) = 0.0;

  if (wantu) {
    for (int j = nctp1; j <= ncu; ++j) {
      for (int i = 1; i <= n; ++i) U(i, j) = 0.0;
      U(j, j) = 1.0;
    }
    for (int ll = 1; ll <= nct; ++ll) {
      int l = nct - ll + 1;
      if (S(l) != 0.0) {
        for (int j = l + 1; j <= ncu; ++j) {
          double t = -Blas1::DDot(n - l + 1, U.at(l, l), 1, U.at(l, j), 1) / U(l, l);
          Blas1::Daxpy(n - l + 1, t, U.at(l, l), 1, U.at(l, j), 1);
        }
        Blas1::DScal(n - l + 1, -1.0, U.at(l, l), 1);
        U(l, l) = 1.0 + U(l, l);
        for (int i = 1; i <= l - 1; ++i) U(i, l) = 0.0;
      } else {
        for (int i = 1; i <= n; ++i) U(i, l) = 0.0;
        U(l, l) = 1.0;
      }
    }
  }
  if (wantv) {
    for (int ll = 1; ll <= p; ++ll) {
      int l = p - ll + 1;
      int lp1 = l + 1;
      if (l <= nrt && E(l) != 0.0) {
        for (int j = lp1; j <= p; ++j) {
          double t = -Blas1::DDot(p - l, V.at(lp1, l), 1, V.at(lp1, j), 1) / V(lp1, l);
          Blas1::Daxpy(p - l, t, V.at(lp1, l), 1, V.at(lp1, j), 1);
        }
      }
      for (int i = 1; i <= p; ++i) V(i, l) = 0.0;
      V(l, l) = 1.0;
    }
  }

  // Main iteration loop for the singular values.
  int mm = m;
  int iter = 0;
  while (m != 0) {
    if (iter >= maxit) {
      info = m;
      break;
    }
    // Inspect for negligible elements; kase 1: s(m) and e(l-1) negligible, l < m;
    // 2: s(l) negligible, l < m; 3: e(l-1) negligible, l < m, s(l..m) not (QR step);
    // 4: e(m-1) negligible (convergence).
    int l = 0;
    for (int ll = 1; ll <= m; ++ll) {
      l = m - ll;
      if (l == 0) break;
      double test = std::fabs(S(l)) + std::fabs(S(l + 1));
      double ztest = test + std::fabs(E(l));
      if (ztest == test) {
        E(l) = 0.0;
        break;
      }
    }
    int kase;
    if (l == m - 1) {
      kase = 4;
    } else {
      int lp1 = l + 1;
      int mp1 = m + 1;
      int ls = l;
      for (int lls = lp1; lls <= mp1; ++lls) {
        ls = m - lls + lp1;
        if (ls == l) break;
        double test = 0.0;
        if (ls != m) test = test + std::fabs(E(ls));
        if (ls != l + 1) test = test + std::fabs(E(ls - 1));
        double ztest = test + std::fabs(S(ls));
        if (ztest == test) {
          S(ls) = 0.0;
          break;
        }
      }
      if (ls == l) {
        kase = 3;
      } else if (ls == m) {
        kase = 1;
      } else {
        kase = 2;
        l = ls;
      }
    }
    l = l + 1;

    switch (kase) {
      case 1: {
        // Deflate negligible s(m).
        int mm1 = m - 1;
        double f = E(m - 1);
        E(m - 1) = 0.0;
        for (int kk = l; kk <= mm1; ++kk) {
          int k = mm1 - kk + l;
          double t1 = S(k);
          double cs = 0.0;
          double sn = 0.0;
          Blas1::DRotG(&t1, &f, &cs, &sn);
          S(k) = t1;
          if (k != l) {
            f = -sn * E(k - 1);
            E(k - 1) = cs * E(k - 1);
          }
          if (wantv) Blas1::DRot(p, V.at(1, k), 1, V.at(1, m), 1, cs, sn);
        }
        break;
      }
      case 2: {
        // Split at negligible s(l).
        double f = E(l - 1);
        E(l - 1) = 0.0;
        for (int k = l; k <= m; ++k) {
          double t1 = S(k);
          double cs = 0.0;
          double sn = 0.0;
          Blas1::DRotG(&t1, &f, &cs, &sn);
          S(k) = t1;
          f = -sn * E(k);
          E(k) = cs * E(k);
          if (wantu) Blas1::DRot(n, U.at(1, k), 1, U.at(1, l - 1), 1, cs, sn);
        }
        break;
      }
      case 3: {
        // One QR step; first the shift.
        double scale = std::fmax(
            std::fmax(
                std::fmax(std::fmax(std::fabs(S(m)), std::fabs(S(m - 1))), std::fabs(E(m - 1))),
                std::fabs(S(l))),
            std::fabs(E(l)));
        double sm = S(m) / scale;
        double smm1 = S(m - 1) / scale;
        double emm1 = E(m - 1) / scale;
        double sl = S(l) / scale;
        double el = E(l) / scale;
        double b = ((smm1 + sm) * (smm1 - sm) + emm1 * emm1) / 2.0;
        double cc = (sm * emm1) * (sm * emm1);
        double shift = 0.0;
        if (b != 0.0 || cc != 0.0) {
          shift = std::sqrt(b * b + cc);
          if (b < 0.0) shift = -shift;
          shift = cc / (b + shift);
        }
        double f = (sl + sm) * (sl - sm) + shift;
        double g = sl * el;
        // Chase zeros.
        int mm1 = m - 1;
        for (int k = l; k <= mm1; ++k) {
          double cs = 0.0;
          double sn = 0.0;
          Blas1::DRotG(&f, &g, &cs, &sn);
          if (k != l) E(k - 1) = f;
          f = cs * S(k) + sn * E(k);
          E(k) = cs * E(k) - sn * S(k);
          g = sn * S(k + 1);
          S(k + 1) = cs * S(k + 1);
          if (wantv) Blas1::DRot(p, V.at(1, k), 1, V.at(1, k + 1), 1, cs, sn);
          Blas1::DRotG(&f, &g, &cs, &sn);
          S(k) = f;
          f = cs * E(k) + sn * S(k + 1);
          S(k + 1) = -sn * E(k) + cs * S(k + 1);
          g = sn * E(k + 1);
          E(k + 1) = cs * E(k + 1);
          if (wantu && k < n) Blas1::DRot(n, U.at(1, k), 1, U.at(1, k + 1), 1, cs, sn);
        }
        E(m - 1) = f;
        iter = iter + 1;
        break;
      }
      default: {
        // Convergence: make the singular value positive and order it.
        if (S(l) < 0.0) {
          S(l) = -S(l);
          if (wantv) Blas1::DScal(p, -1.0, V.at(1, l), 1);
        }
        while (l != mm) {
          if (S(l) >= S(l + 1)) break;
          double t = S(l);
          S(l) = S(l + 1);
          S(l + 1) = t;
          if (wantv && l < p) Blas1::DSwap(p, V.at(1, l), 1, V.at(1, l + 1), 1);
          if (wantu && l < n) Blas1::DSwap(n, U.at(1, l), 1, U.at(1, l + 1), 1);
          l = l + 1;
        }
        iter = 0;
        m = m - 1;
        break;
      }
    }
  }
  return info;
}

}  // namespace MCCommonMath

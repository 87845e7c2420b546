#ifndef MCSTAT_LINPACK_H_
#define MCSTAT_LINPACK_H_

#include "mcstat_export.h"

namespace MCCommonMath {

// The LINPACK (1979) routines, each with the published algorithm, argument order and job
// codes. Conventions: arrays are pointers to their first element, matrices are stored
// column by column with the leading dimension as published, pivot indices are 1-based,
// INFO is the int result, and the condition estimators return rcond.
//
// Storage: "packed" means the columns of the upper triangle one after another (element
// (i, j), i <= j, at position i + j(j-1)/2, 1-based); general band storage puts diagonal
// element (j, j) in row ml+mu+1 of column j and needs 2*ml+mu+1 rows; positive definite
// band storage puts (j, j) in row m+1.
class MCSTAT_EXPORT Linpack {
 public:
  // --- General matrices: a = L*U by Gaussian elimination with partial pivoting.
  // Factors a and returns the reciprocal condition estimate (0 for an exactly singular
  // factor). z (n) is work space.
  static double Dgeco(double* a, int lda, int n, int* ipvt, double* z);
  // Factors a; info 0, or k when U(k,k) = 0.
  static int Dgefa(double* a, int lda, int n, int* ipvt);
  // Solves A x = b (job 0) or A' x = b (job != 0) in place of b.
  static void Dgesl(double* a, int lda, int n, int* ipvt, double* b, int job);
  // Determinant (job tens digit: det = det[0] * 10^det[1]) and inverse (units digit) from
  // the factors; work (n).
  static void Dgedi(double* a, int lda, int n, int* ipvt, double* det, double* work, int job);

  // --- General band matrices (lda >= 2*ml + mu + 1).
  static double Dgbco(double* abd, int lda, int n, int ml, int mu, int* ipvt, double* z);
  static int Dgbfa(double* abd, int lda, int n, int ml, int mu, int* ipvt);
  static void Dgbsl(double* abd, int lda, int n, int ml, int mu, int* ipvt, double* b, int job);
  static void Dgbdi(double* abd, int lda, int n, int ml, int mu, int* ipvt, double* det);

  // --- Symmetric positive definite: A = R'R, upper triangle used.
  // Returns rcond, or 0 when the matrix is not positive definite.
  static double Dpoco(double* a, int lda, int n, double* z);
  // info 0, or k when the leading minor of order k is not positive definite.
  static int Dpofa(double* a, int lda, int n);
  static void Dposl(double* a, int lda, int n, double* b);
  // Determinant (job 10), inverse in the upper triangle (job 01), or both (11).
  static void Dpodi(double* a, int lda, int n, double* det, int job);

  // --- Symmetric positive definite, packed upper triangle.
  static double Dppco(double* ap, int n, double* z);
  static int Dppfa(double* ap, int n);
  static void Dppsl(double* ap, int n, double* b);
  static void Dppdi(double* ap, int n, double* det, int job);

  // --- Symmetric positive definite band (m superdiagonals, lda >= m + 1).
  static double Dpbco(double* abd, int lda, int n, int m, double* z);
  static int Dpbfa(double* abd, int lda, int n, int m);
  static void Dpbsl(double* abd, int lda, int n, int m, double* b);
  static void Dpbdi(double* abd, int lda, int n, int m, double* det);

  // --- Symmetric indefinite: A = U D U' with Bunch-Kaufman pivoting (1x1 and 2x2 blocks;
  // a negative kpvt marks a 2x2 block). Upper triangle used.
  static double Dsico(double* a, int lda, int n, int* kpvt, double* z);
  // info 0, or k when the k-th pivot block is singular.
  static int Dsifa(double* a, int lda, int n, int* kpvt);
  static void Dsisl(double* a, int lda, int n, int* kpvt, double* b);
  // job digits abc: c inverse (upper triangle), b determinant, a inertia
  // (positive, negative, zero eigenvalue counts).
  static void Dsidi(double* a, int lda, int n, int* kpvt, double* det, int* inert, double* work,
                    int job);

  // --- Symmetric indefinite, packed upper triangle.
  static double Dspco(double* ap, int n, int* kpvt, double* z);
  static int Dspfa(double* ap, int n, int* kpvt);
  static void Dspsl(double* ap, int n, int* kpvt, double* b);
  static void Dspdi(double* ap, int n, int* kpvt, double* det, int* inert, double* work, int job);

  // --- Triangular matrices.
  // job 0: t lower triangular; otherwise upper.
  static double Dtrco(double* t, int ldt, int n, double* z, int job);
  // job 00 T x = b lower, 01 upper, 10 T'x = b lower, 11 upper; info = index of the first
  // zero diagonal element (b unaltered) or 0.
  static int Dtrsl(double* t, int ldt, int n, double* b, int job);
  // job 010/011 inverse of lower/upper, 100 determinant, 110/111 both; info as Dtrsl.
  static int Dtrdi(double* t, int ldt, int n, double* det, int job);

  // --- Tridiagonal systems. c sub-, d main, e superdiagonal; all destroyed.
  // info k when the k-th pivot becomes exactly zero.
  static int Dgtsl(int n, double* c, double* d, double* e, double* b);
  // Positive definite tridiagonal: d diagonal, e off-diagonal.
  static void Dptsl(int n, double* d, double* e, double* b);

  // --- Cholesky decomposition with optional pivoting and its updates.
  // job != 0 pivots under the control of jpvt (>0 initial, 0 free, <0 final); returns the
  // index of the last positive diagonal element of the factor (p for a positive definite
  // matrix).
  static int Dchdc(double* a, int lda, int p, double* work, int* jpvt, int job);
  // Adds the row x (and the scalars y to the nz columns of z, updating the residual norms
  // rho) to the factor r.
  static void Dchud(double* r, int ldr, int p, double* x, double* z, int ldz, int nz, double* y,
                    double* rho, double* c, double* s);
  // Removes the row x; info 0, -1 when r cannot be downdated (nothing changed), 1 when some
  // rho could not be downdated (set to -1).
  static int Dchdd(double* r, int ldr, int p, double* x, double* z, int ldz, int nz, double* y,
                   double* rho, double* c, double* s);
  // Retriangularises r after a circular shift of columns k..l: job 1 right, 2 left.
  static void Dchex(double* r, int ldr, int p, int k, int l, double* z, int ldz, int nz, double* c,
                    double* s, int job);

  // --- QR decomposition and least squares.
  // Householder QR of the n x p matrix x, column pivoting when job != 0.
  static void Dqrdc(double* x, int ldx, int n, int p, double* qraux, int* jpvt, double* work,
                    int job);
  // job abcde: a Q y, b..e Q'y, c least-squares b, d residual, e fitted values; info the
  // first zero diagonal of R when b is requested.
  static int Dqrsl(double* x, int ldx, int n, int k, double* qraux, double* y, double* qy,
                   double* qty, double* b, double* rsd, double* xb, int job);

  // --- Singular value decomposition of the n x p matrix x (destroyed). job ab: a = 1 all n
  // left vectors, a >= 2 the first min(n, p), b = 1 right vectors. s needs min(n+1, p)
  // elements, e p, work n. info 0, or the index below which values did not converge.
  static int Dsvdc(double* x, int ldx, int n, int p, double* s, double* e, double* u, int ldu,
                   double* v, int ldv, double* work, int job);

  // There is nothing to assign.
  Linpack& operator=(const Linpack&) { return *this; }
};

}  // namespace MCCommonMath

#endif  // MCSTAT_LINPACK_H_

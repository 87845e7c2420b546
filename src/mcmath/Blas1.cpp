#include "Blas1.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iostream>

namespace MCCommonMath {

namespace {

// Start index of a strided walk of n elements: a negative increment starts at the far
// end so that the same memory is visited in reverse order.
inline long StartOf(int n, int inc) { return inc < 0 ? static_cast<long>(1 - n) * inc : 0; }

}  // namespace

double Blas1::DASum(int n, double* x, int incx) {
  if (n < 1 || incx < 1) return 0.0;
  double sum = 0.0;
  long ix = 0;
  for (int i = 0; i < n; ++i, ix += incx) sum += std::fabs(x[ix]);
  return sum;
}

void Blas1::Daxpy(int n, double a, double* x, int incx, double* y, int incy) {
  if (n < 1 || a == 0.0) return;
  long ix = StartOf(n, incx);
  long iy = StartOf(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] = y[iy] + a * x[ix];
}

void Blas1::DCopy(int n, double* x, int incx, double* y, int incy) {
  if (n < 1) return;
  long ix = StartOf(n, incx);
  long iy = StartOf(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] = x[ix];
}

double Blas1::DDot(int n, double* x, int incx, double* y, int incy) {
  if (n < 1) return 0.0;
  double sum = 0.0;
  long ix = StartOf(n, incx);
  long iy = StartOf(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) sum += x[ix] * y[iy];
  return sum;
}

double Blas1::DNrm2(int n, double* x, int incx) {
  if (n < 1 || incx < 1) return 0.0;
  if (n == 1) return std::fabs(x[0]);
  // One pass with a running scale (Hammarling): the sum of squares is kept relative to
  // the largest magnitude seen so far, so nothing overflows or underflows.
  double scale = 0.0;
  double ssq = 1.0;
  long ix = 0;
  for (int i = 0; i < n; ++i, ix += incx) {
    if (x[ix] != 0.0) {
      double absxi = std::fabs(x[ix]);
      if (scale < absxi) {
        double r = scale / absxi;
        ssq = 1.0 + ssq * (r * r);
        scale = absxi;
      } else {
        double r = absxi / scale;
        ssq = ssq + r * r;
      }
    }
  }
  return scale * std::sqrt(ssq);
}

void Blas1::DRot(int n, double* x, int incx, double* y, int incy, double c, double s) {
  if (n < 1) return;
  long ix = StartOf(n, incx);
  long iy = StartOf(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) {
    double t = c * x[ix] + s * y[iy];
    y[iy] = c * y[iy] - s * x[ix];
    x[ix] = t;
  }
}

void Blas1::DRotG(double* a, double* b, double* c, double* s) {
  double da = *a;
  double db = *b;
  double scale = std::fabs(da) + std::fabs(db);
  if (scale == 0.0) {
    // No rotation: the identity, with r = 0 and the reconstruction value z = 0.
    *c = 1.0;
    *s = 0.0;
    *a = 0.0;
    *b = 0.0;
    return;
  }
  double roe = std::fabs(da) > std::fabs(db) ? da : db;
  double ra = da / scale;
  double rb = db / scale;
  double r = scale * std::sqrt(ra * ra + rb * rb);
  r = (roe >= 0.0 ? 1.0 : -1.0) * r;
  *c = da / r;
  *s = db / r;
  double z = 1.0;
  if (std::fabs(da) > std::fabs(db)) z = *s;
  if (std::fabs(db) >= std::fabs(da) && *c != 0.0) z = 1.0 / *c;
  *a = r;
  *b = z;
}

void Blas1::DScal(int n, double a, double* x, int incx) {
  if (n < 1 || incx < 1) return;
  long ix = 0;
  for (int i = 0; i < n; ++i, ix += incx) x[ix] = a * x[ix];
}

void Blas1::DSwap(int n, double* x, int incx, double* y, int incy) {
  if (n < 1) return;
  long ix = StartOf(n, incx);
  long iy = StartOf(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) {
    double t = x[ix];
    x[ix] = y[iy];
    y[iy] = t;
  }
}

int Blas1::IDAMax(int n, double* x, int incx) {
  if (n < 1 || incx < 1) return 0;
  int best = 1;
  double dmax = std::fabs(x[0]);
  long ix = incx;
  for (int i = 2; i <= n; ++i, ix += incx) {
    if (std::fabs(x[ix]) > dmax) {
      best = i;
      dmax = std::fabs(x[ix]);
    }
  }
  return best;
}

double Blas1::DMach(int job) {
  if (job < 1 || job > 3) XErBla("DMACH", 1);
  // volatile keeps every intermediate a rounded double, whatever the optimiser does.
  volatile double eps = 1.0;
  volatile double s = 0.0;
  do {
    eps = eps / 2.0;
    s = 1.0 + eps;
  } while (s > 1.0);
  eps = 2.0 * eps;
  if (job == 1) return eps;

  volatile double tiny = 1.0;
  s = 1.0;
  do {
    tiny = s;
    s = s / 16.0;
  } while (s * 1.0 != 0.0);
  tiny = (tiny / eps) * 100.0;
  if (job == 2) return tiny;
  return 1.0 / tiny;
}

void Blas1::XErBla(const char* routine, int param) {
  std::cout << "\n"
            << "XERBLA - Fatal error!\n"
            << "  On entry to routine " << (routine != nullptr ? routine : "") << "\n"
            << "  input parameter number " << param << " had an illegal value.\n";
  std::cout.flush();
  std::exit(1);
}

bool Blas1::LSame(char a, char b) {
  return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

double Blas1::D_Abs(double x) { return std::fabs(x); }
double Blas1::D_Max(double a, double b) { return a >= b ? a : b; }
double Blas1::D_Sign(double x) { return x < 0.0 ? -1.0 : 1.0; }
int Blas1::I_Max(int a, int b) { return a >= b ? a : b; }
int Blas1::I_Min(int a, int b) { return a <= b ? a : b; }

}  // namespace MCCommonMath

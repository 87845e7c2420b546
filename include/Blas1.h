#ifndef MCSTAT_BLAS1_H_
#define MCSTAT_BLAS1_H_

#include "mcstat_export.h"

namespace MCCommonMath {

// Level-1 BLAS as published (Dongarra et al.), with the LINPACK conventions: arrays are
// pointers to their first element, increments may be negative where the published
// routine allows it (the walk then starts at the far end), and n < 1 does nothing.
class MCSTAT_EXPORT Blas1 {
 public:
  // Sum of abs(x(i)); 0 for n < 1 or incx < 1.
  static double DASum(int n, double* x, int incx);
  // y := a*x + y; nothing when n < 1 or a = 0.
  static void Daxpy(int n, double a, double* x, int incx, double* y, int incy);
  // y := x.
  static void DCopy(int n, double* x, int incx, double* y, int incy);
  // Dot product x'y; 0 for n < 1.
  static double DDot(int n, double* x, int incx, double* y, int incy);
  // Euclidean norm, scaled so that no square overflows or underflows; 0 for n < 1 or
  // incx < 1.
  static double DNrm2(int n, double* x, int incx);
  // Plane rotation: (x, y) := (c*x + s*y, c*y - s*x) element by element.
  static void DRot(int n, double* x, int incx, double* y, int incy, double c, double s);
  // Constructs the Givens rotation that zeroes b: on return a holds r, b holds the
  // reconstruction value z, and c, s the rotation.
  static void DRotG(double* a, double* b, double* c, double* s);
  // x := a*x; nothing for n < 1 or incx < 1.
  static void DScal(int n, double a, double* x, int incx);
  // Exchanges x and y.
  static void DSwap(int n, double* x, int incx, double* y, int incy);
  // 1-based index of the first element of largest absolute value; 0 for n < 1 or incx < 1.
  static int IDAMax(int n, double* x, int incx);
  // Machine constants computed at run time by halving, as LINPACK's DMACH does:
  // job 1 the epsilon, 2 the smallest safe magnitude, 3 the largest. Any other job is a
  // programming error and ends the process through XErBla("DMACH", 1).
  static double DMach(int job);
  // Writes the XERBLA message for the routine and parameter number to the standard output
  // stream and ends the process with exit status 1.
  [[noreturn]] static void XErBla(const char* routine, int param);
  // True when a and b are the same letter regardless of case.
  static bool LSame(char a, char b);

  static double D_Abs(double x);
  static double D_Max(double a, double b);
  // -1 for negative x, otherwise +1 (zero counts as positive, as Fortran's SIGN(1, +0)).
  static double D_Sign(double x);
  static int I_Max(int a, int b);
  static int I_Min(int a, int b);

  // There is nothing to assign.
  Blas1& operator=(const Blas1&) { return *this; }
};

}  // namespace MCCommonMath

#endif  // MCSTAT_BLAS1_H_

#ifndef MCSTAT_MCEIGENVALUES_H_
#define MCSTAT_MCEIGENVALUES_H_

#include <cstdint>
#include <vector>

#include "MCRectMatrix.h"
#include "MCSymMatrix.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// Eigenvalues and eigenvectors of a symmetric matrix H, or of the generalised problem
// H v = lambda E v with a symmetric positive semi-definite E. E is factored as L LT by the
// tolerant Cholesky factorisation; with V the generalised inverse of L the problem becomes
// the ordinary one for V H VT. A singular E is thus handled on its range: its redundant
// rows give eigenvalue 0 and the other eigenvalues solve the problem restricted to the
// non-redundant rows. The ordinary problem is solved by Householder reduction to
// tridiagonal form followed by QL iterations with implicit shifts.
//
// Eigenvectors are the columns of the returned matrix. For the generalised problem they are
// mapped back through V (v = VT w, w the eigenvector of V H VT), so that vT E v = 1 and
// H v = lambda E v holds on the non-redundant rows of E.
class MCSTAT_EXPORT MCEigenValues {
 public:
  // tol <= 0 becomes 1e-12; maxIter < 1 becomes 30.
  explicit MCEigenValues(double tol = 1e-12, int maxIter = 30);
  // As above, with H installed as by SetHMatrix.
  MCEigenValues(const MCSymMatrix& H, double tol = 1e-12, int maxIter = 30);
  // As above, with H and then E installed as by SetHMatrix and SetEMatrix.
  MCEigenValues(const MCSymMatrix& H, const MCSymMatrix& E, double tol = 1e-12, int maxIter = 30);
  MCEigenValues(const MCEigenValues& other) = default;
  MCEigenValues& operator=(const MCEigenValues& other) = default;
  ~MCEigenValues() = default;

  // False (nothing changed) unless t > 0.
  bool SetTolerance(double t);
  // False (nothing changed) unless m > 0.
  bool SetMaxIter(int m);
  double GetTolerance() const { return fTolerance; }
  int GetMaxIter() const { return fMaxIter; }
  // True when a usable E is installed.
  bool IsValidEMatrix() const { return fbESet; }

  // Copies H; n becomes its row count. An installed E of the same size stays and V H VT is
  // rebuilt; an E of another size is dropped. Earlier results are discarded.
  void SetHMatrix(const MCSymMatrix& H);
  // Installs the metric E of the generalised problem. False (E unset, the problem ordinary
  // again) unless E has n rows and its tolerant factorisation keeps at least one row.
  bool SetEMatrix(const MCSymMatrix& E);

  // The eigenvalues (values re-sized to n, unsorted). Returns how many were computed: n on
  // success, fewer when an eigenvalue did not converge within the iteration limit, -1 when
  // there is no matrix.
  int Compute(std::vector<double>& values);
  // As above with the eigenvectors as the n columns of vectors (left unchanged when nothing
  // was computed).
  int Compute(std::vector<double>& values, MCRectMatrix& vectors);

  // The computed eigenvalues in ascending order (descending when ascending is false),
  // computing them first when none are stored. values gets the count returned, which is that
  // of Compute. The second form also returns the matching eigenvectors as columns (n x count),
  // computing them when the stored result has none.
  int GetSorted(std::vector<double>& values, bool ascending);
  int GetSorted(std::vector<double>& values, MCRectMatrix& vectors, bool ascending);

  // Writes every field to the diagnostic stream.
  void Display() const;

  // Kernels, public so that they can be checked alone.

  // Householder reduction of the symmetric a (packed, destroyed) to tridiagonal form: diag
  // gets the n diagonal elements, subdiag[i] the element (i, i-1) with subdiag[0] = 0. With
  // keep, orth receives the Householder vectors: row i, columns 0..i-1 hold the vector of
  // step i and (i, i) its scale h (0 when step i is the identity), the reflection being
  // I - u uT / h.
  static void Tred3(MCSymMatrix& a, std::vector<double>& diag, std::vector<double>& subdiag,
                    bool keep, MCSymMatrix& orth);
  // QL with implicit shifts on the tridiagonal (diag, subdiag as from Tred3; both are
  // overwritten, diag with the eigenvalues). With vectors non-null it is set to the n x n
  // identity and rotated into the eigenvectors of the tridiagonal matrix. Returns 0 on
  // success, -1 when n < 1 or a vector does not hold n entries, and l + 1 when eigenvalue l
  // does not converge within maxIter sweeps (eigenvalues 0..l-1 are then final).
  static int EigenValuesTQLI(int n, std::vector<double>& diag, std::vector<double>& subdiag,
                             double tol, int maxIter, MCRectMatrix* vectors);
  // vectors = Q vectors, Q the product of the reflections kept in orth by Tred3; false
  // unless orth has as many rows as vectors.
  static bool BackTransVectors(const MCSymMatrix& orth, MCRectMatrix& vectors);

 private:
  void ClearE();
  void ClearResults();
  bool BuildVHV();
  int Run();

  int32_t fNRows = 0;
  double fTolerance = 1e-12;
  int32_t fMaxIter = 30;
  bool fbComputeVectors = false;
  MCSymMatrix fmH;
  MCSymMatrix fmE;
  std::vector<double> fvEDiag;
  MCSymMatrix fmCholE;
  MCSymMatrix fmGenInvCholE;
  MCSymMatrix fmVHV;
  int32_t fRankE = 0;
  bool fbESet = false;
  MCSymMatrix fmOrthInfo;
  std::vector<double> fvDiag3;
  std::vector<double> fvSubdiag3;
  int32_t fNComputed = 0;
  std::vector<double> fvEigenVal;
  MCRectMatrix fmEigenVectors;
  // (eigenvalue, original column) pairs in the order of the last GetSorted.
  std::vector<double> fvEigPairs;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCEIGENVALUES_H_

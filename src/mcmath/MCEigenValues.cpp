#include "MCEigenValues.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "MCComponentDisplay.h"

namespace MCCommonMath {

namespace {

constexpr double kDefaultTol = 1e-12;
constexpr int kDefaultMaxIter = 30;

inline std::size_t PackedPos(int i, int j) {
  return static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2 +
         static_cast<std::size_t>(j);
}

}  // namespace

MCEigenValues::MCEigenValues(double tol, int maxIter)
    : fTolerance(tol > 0.0 ? tol : kDefaultTol),
      fMaxIter(maxIter >= 1 ? maxIter : kDefaultMaxIter) {}

MCEigenValues::MCEigenValues(const MCSymMatrix& H, double tol, int maxIter)
    : MCEigenValues(tol, maxIter) {
  SetHMatrix(H);
}

MCEigenValues::MCEigenValues(const MCSymMatrix& H, const MCSymMatrix& E, double tol, int maxIter)
    : MCEigenValues(tol, maxIter) {
  SetHMatrix(H);
  SetEMatrix(E);
}

bool MCEigenValues::SetTolerance(double t) {
  if (!(t > 0.0)) return false;
  fTolerance = t;
  return true;
}

bool MCEigenValues::SetMaxIter(int m) {
  if (m <= 0) return false;
  fMaxIter = m;
  return true;
}

void MCEigenValues::ClearE() {
  fmE = MCSymMatrix();
  fmCholE = MCSymMatrix();
  fmGenInvCholE = MCSymMatrix();
  fmVHV = MCSymMatrix();
  fvEDiag.clear();
  fRankE = 0;
  fbESet = false;
}

void MCEigenValues::ClearResults() {
  fmOrthInfo = MCSymMatrix();
  fvDiag3.clear();
  fvSubdiag3.clear();
  fNComputed = 0;
  fvEigenVal.clear();
  fmEigenVectors = MCRectMatrix();
  fvEigPairs.clear();
  fbComputeVectors = false;
}

void MCEigenValues::SetHMatrix(const MCSymMatrix& H) {
  fmH = H;
  fNRows = std::max(H.GetNRows(), 0);
  ClearResults();
  if (fbESet) {
    // V H VT depends on H, so it is rebuilt; an E of another size no longer fits.
    if (fmE.GetNRows() != fNRows || !BuildVHV()) ClearE();
  }
}

bool MCEigenValues::BuildVHV() { return fmGenInvCholE.ComputeLSLTrans(fmH, fmVHV); }

bool MCEigenValues::SetEMatrix(const MCSymMatrix& E) {
  ClearResults();
  if (E.GetNRows() != fNRows || fNRows < 1) {
    ClearE();
    return false;
  }
  fmE = E;
  fmCholE = E;
  E.GetDiagonal(fvEDiag);
  const int redundant = fmCholE.LTChol(fvEDiag, fTolerance, false);
  fRankE = redundant < 0 ? 0 : fNRows - redundant;
  if (fRankE > 0) {
    fmGenInvCholE = fmCholE;
    double det[2] = {0.0, 0.0};
    fmGenInvCholE.LTDetInverse(det, 10);
    if (BuildVHV()) {
      fbESet = true;
      return true;
    }
  }
  ClearE();
  return false;
}

void MCEigenValues::Tred3(MCSymMatrix& a, std::vector<double>& diag, std::vector<double>& subdiag,
                          bool keep, MCSymMatrix& orth) {
  const int n = std::max(a.GetNRows(), 0);
  std::vector<double>& p = a.AsVector();
  auto A = [&p](int i, int j) -> double& { return p[PackedPos(i, j)]; };
  diag.assign(n, 0.0);
  subdiag.assign(n, 0.0);
  std::vector<double> scaleH(n, 0.0);
  std::vector<double>& e = subdiag;
  // Reduce the rows from the last upwards: step i annihilates row i left of the subdiagonal
  // with a reflection acting on rows and columns 0..i-1 only.
  for (int i = n - 1; i > 0; --i) {
    const int l = i - 1;
    double h = 0.0;
    double scale = 0.0;
    if (l > 0) {
      for (int k = 0; k <= l; ++k) scale += std::fabs(A(i, k));
    }
    if (l == 0 || scale == 0.0) {
      e[i] = A(i, l);
      continue;
    }
    // Scaling guards against under- and overflow in the norm.
    for (int k = 0; k <= l; ++k) {
      A(i, k) /= scale;
      h += A(i, k) * A(i, k);
    }
    double f = A(i, l);
    double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
    e[i] = scale * g;
    h -= f * g;
    A(i, l) = f - g;
    // e[0..l] temporarily holds p = A u / h, then q = p - K u.
    f = 0.0;
    for (int j = 0; j <= l; ++j) {
      g = 0.0;
      for (int k = 0; k <= j; ++k) g += A(j, k) * A(i, k);
      for (int k = j + 1; k <= l; ++k) g += A(k, j) * A(i, k);
      e[j] = g / h;
      f += e[j] * A(i, j);
    }
    const double hh = f / (h + h);
    for (int j = 0; j <= l; ++j) {
      f = A(i, j);
      g = e[j] - hh * f;
      e[j] = g;
      for (int k = 0; k <= j; ++k) A(j, k) -= (f * e[k] + g * A(i, k));
    }
    scaleH[i] = h;
  }
  if (n > 0) e[0] = 0.0;
  for (int i = 0; i < n; ++i) diag[i] = A(i, i);
  if (keep) {
    // Row i below the diagonal still holds the vector of step i; its diagonal gets h.
    orth = a;
    for (int i = 0; i < n; ++i) orth.SetElem(i, i, scaleH[i]);
  } else {
    orth = MCSymMatrix();
  }
}

int MCEigenValues::EigenValuesTQLI(int n, std::vector<double>& diag, std::vector<double>& subdiag,
                                   double tol, int maxIter, MCRectMatrix* vectors) {
  if (n < 1 || diag.size() != static_cast<std::size_t>(n) ||
      subdiag.size() != static_cast<std::size_t>(n))
    return -1;
  std::vector<double>& d = diag;
  std::vector<double>& e = subdiag;
  double* z = nullptr;
  if (vectors != nullptr) {
    if (!vectors->SetNRowsCols(n, n)) return -1;
    for (int i = 0; i < n; ++i) vectors->SetElem(i, i, 1.0);
    z = vectors->AsVector().data();
  }
  for (int i = 1; i < n; ++i) e[i - 1] = e[i];
  e[n - 1] = 0.0;

  for (int l = 0; l < n; ++l) {
    int iter = 0;
    int m = l;
    do {
      // Look for a negligible subdiagonal element that splits the matrix.
      for (m = l; m < n - 1; ++m) {
        const double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
        if (std::fabs(e[m]) <= tol * dd) break;
      }
      if (m != l) {
        if (iter++ >= maxIter) return l + 1;
        // Wilkinson-type shift from the leading 2 x 2 block.
        double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
        double r = std::hypot(g, 1.0);
        g = d[m] - d[l] + e[l] / (g + std::copysign(r, g));
        double s = 1.0;
        double c = 1.0;
        double p = 0.0;
        int i = m - 1;
        for (; i >= l; --i) {
          double f = s * e[i];
          const double b = c * e[i];
          r = std::hypot(f, g);
          e[i + 1] = r;
          if (r == 0.0) {
            // Underflow: deflate and restart the sweep.
            d[i + 1] -= p;
            e[m] = 0.0;
            break;
          }
          s = f / r;
          c = g / r;
          g = d[i + 1] - p;
          r = (d[i] - g) * s + 2.0 * c * b;
          p = s * r;
          d[i + 1] = g + p;
          g = c * r - b;
          if (z != nullptr) {
            for (int k = 0; k < n; ++k) {
              double* row = z + static_cast<std::size_t>(k) * n;
              f = row[i + 1];
              row[i + 1] = s * row[i] + c * f;
              row[i] = c * row[i] - s * f;
            }
          }
        }
        if (r == 0.0 && i >= l) continue;
        d[l] -= p;
        e[l] = g;
        e[m] = 0.0;
      }
    } while (m != l);
  }
  return 0;
}

bool MCEigenValues::BackTransVectors(const MCSymMatrix& orth, MCRectMatrix& vectors) {
  const int n = orth.GetNRows();
  if (n < 0 || vectors.GetNRows() != n) return false;
  const int nc = vectors.GetNCols();
  const std::vector<double>& o = orth.AsVectorConst();
  std::vector<double>& z = vectors.AsVector();
  // The reduction applied P(n-1) first, so Q = P(n-1) ... P(1): P(1) acts first here.
  for (int i = 1; i < n; ++i) {
    const double h = o[PackedPos(i, i)];
    if (h == 0.0) continue;
    const double* u = &o[PackedPos(i, 0)];
    for (int j = 0; j < nc; ++j) {
      double s = 0.0;
      for (int k = 0; k < i; ++k) s += u[k] * z[static_cast<std::size_t>(k) * nc + j];
      s /= h;
      for (int k = 0; k < i; ++k) z[static_cast<std::size_t>(k) * nc + j] -= s * u[k];
    }
  }
  return true;
}

int MCEigenValues::Run() {
  const bool vecs = fbComputeVectors;
  fNComputed = 0;
  fvEigenVal.clear();
  fmEigenVectors = MCRectMatrix();
  fvEigPairs.clear();
  if (fNRows < 1 || !fmH.IsValidMatrix()) return -1;
  MCSymMatrix work = fRankE > 0 ? fmVHV : fmH;
  Tred3(work, fvDiag3, fvSubdiag3, vecs, fmOrthInfo);
  std::vector<double> d = fvDiag3;
  std::vector<double> e = fvSubdiag3;
  MCRectMatrix z;
  const int rc = EigenValuesTQLI(fNRows, d, e, fTolerance, fMaxIter, vecs ? &z : nullptr);
  if (rc < 0) return -1;
  fNComputed = rc == 0 ? fNRows : rc - 1;
  if (fNComputed > 0) {
    fvEigenVal = d;
    if (vecs) {
      BackTransVectors(fmOrthInfo, z);
      if (fRankE > 0) {
        // Map each eigenvector w of V H VT back to v = VT w.
        std::vector<double> w;
        std::vector<double> v;
        for (int j = 0; j < fNRows; ++j) {
          z.GetCol(j, w);
          fmGenInvCholE.ComputeLTransV(w, v);
          for (int i = 0; i < fNRows; ++i) z.SetElem(i, j, v[i]);
        }
      }
      fmEigenVectors = std::move(z);
    }
  }
  return fNComputed;
}

int MCEigenValues::Compute(std::vector<double>& values) {
  fbComputeVectors = false;
  const int count = Run();
  if (count > 0) values = fvEigenVal;
  return count;
}

int MCEigenValues::Compute(std::vector<double>& values, MCRectMatrix& vectors) {
  fbComputeVectors = true;
  const int count = Run();
  if (count > 0) {
    values = fvEigenVal;
    vectors = fmEigenVectors;
  }
  return count;
}

int MCEigenValues::GetSorted(std::vector<double>& values, bool ascending) {
  if (fNComputed <= 0) {
    std::vector<double> tmp;
    const int rc = Compute(tmp);
    if (rc <= 0) return rc;
  }
  std::vector<std::pair<double, int>> pairs(fNComputed);
  for (int i = 0; i < fNComputed; ++i) pairs[i] = {fvEigenVal[i], i};
  std::stable_sort(pairs.begin(), pairs.end(),
                   [ascending](const std::pair<double, int>& x, const std::pair<double, int>& y) {
                     return ascending ? x.first < y.first : x.first > y.first;
                   });
  fvEigPairs.clear();
  values.assign(fNComputed, 0.0);
  for (int i = 0; i < fNComputed; ++i) {
    values[i] = pairs[i].first;
    fvEigPairs.push_back(pairs[i].first);
    fvEigPairs.push_back(static_cast<double>(pairs[i].second));
  }
  return fNComputed;
}

int MCEigenValues::GetSorted(std::vector<double>& values, MCRectMatrix& vectors, bool ascending) {
  if (fNComputed <= 0 || fmEigenVectors.GetNRows() != fNRows) {
    std::vector<double> tmp;
    MCRectMatrix tmpv;
    const int rc = Compute(tmp, tmpv);
    if (rc <= 0) return rc;
  }
  const int count = GetSorted(values, ascending);
  MCRectMatrix out(fNRows, count);
  for (int c = 0; c < count; ++c) {
    const int src = static_cast<int>(fvEigPairs[2 * static_cast<std::size_t>(c) + 1]);
    for (int r = 0; r < fNRows; ++r) out.SetElem(r, c, fmEigenVectors.GetElem(r, src));
  }
  vectors = std::move(out);
  return count;
}

void MCEigenValues::Display() const {
  using MCCommon::MCComponentDisplay;
  MCComponentDisplay::DisplayText(1, "MCEigenValues display start");
  MCComponentDisplay::DisplayI("Number of rows", fNRows);
  MCComponentDisplay::DisplayD("Tolerance", fTolerance);
  MCComponentDisplay::DisplayI("Maximum number of iterations", fMaxIter);
  MCComponentDisplay::DisplayB("Compute eigenvectors indicator", fbComputeVectors);
  MCComponentDisplay::DisplayText(1, "Matrix H:");
  fmH.Display();
  if (!fbESet) {
    MCComponentDisplay::DisplayText(1, "Matrix E is identity");
  } else {
    MCComponentDisplay::DisplayText(1, "Matrix E:");
    fmE.Display();
  }
  MCComponentDisplay::DisplayDV("fvEDiag", fvEDiag);
  MCComponentDisplay::DisplayText(1, "Chol(E):");
  fmCholE.Display();
  MCComponentDisplay::DisplayText(1, "Gen.Inverse of Chol(E):");
  fmGenInvCholE.Display();
  MCComponentDisplay::DisplayText(1, "fmVHV:");
  fmVHV.Display();
  MCComponentDisplay::DisplayI("Rank of the E matrix", fRankE);
  MCComponentDisplay::DisplayText(1, "fmOrthInfo:");
  fmOrthInfo.Display();
  MCComponentDisplay::DisplayDV("fvDiag3", fvDiag3);
  MCComponentDisplay::DisplayDV("fvSubdiag3", fvSubdiag3);
  MCComponentDisplay::DisplayI("Number of computed eigenvalues", fNComputed);
  MCComponentDisplay::DisplayDV("fvEigenVal", fvEigenVal);
  MCComponentDisplay::DisplayText(1, "fmEigenVectors:");
  fmEigenVectors.Display();
  MCComponentDisplay::DisplayDV("fvEigPairs", fvEigPairs);
  MCComponentDisplay::DisplayText(1, "MCEigenValues display end");
}

}  // namespace MCCommonMath

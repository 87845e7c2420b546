#ifndef MCSTAT_MCSPARSEVECTOR_H_
#define MCSTAT_MCSPARSEVECTOR_H_

#include <vector>

#include "MCSymMatrix.h"
#include "mcstat_export.h"

namespace MCCommonMath {

// A read-only view of a sparse vector: value val[k] at index idx[k]. The two lists belong to
// the caller, who keeps them alive and unchanged while the view is used. The view is valid
// when it has at least one element, both lists have the same length, the first index is
// >= 0 and the indices strictly increase. Operations on an invalid view give false, -1 or
// the missing value and change nothing.
class MCSTAT_EXPORT MCSparseVector {
 public:
  MCSparseVector(const std::vector<int>& idx, const std::vector<double>& val);

  bool IsValid() const { return fbValid; }
  int GetNElements() const { return fNElements; }
  const std::vector<int>& GetIndices() const { return *fpIndices; }
  const std::vector<double>& GetValues() const { return *fpValues; }
  // Index and value of element k; -1 and the missing value outside [0, GetNElements()).
  int GetIndex(int k) const;
  double GetValue(int k) const;
  // Length of the shortest dense vector that holds it: last index + 1 (0 when invalid).
  int GetMinVecSize() const;

  // Sum of valA[a] valB[b] over idxA[a] = idxB[b], both index lists increasing; the missing
  // value when a pointer is null or a count negative, 0 when a count is 0.
  static double InnerProduct(const int* idxA, const double* valA, int nA, const int* idxB,
                             const double* valB, int nB);
  // Sum of value[k] beta[offset + index[k]]; missing when offset < 0 or beta is too short.
  double InnerProductWithPart(const std::vector<double>& beta, int offset) const;
  // x grown to at least GetMinVecSize(), zeroed, the values at their indices; returns
  // x.size() (-1 when invalid).
  int ConvertToRegularVector(std::vector<double>& x) const;
  // x[offset + index[k]] += c value[k]; false when offset < 0 or x is too short.
  bool IncrementPart(std::vector<double>& x, int offset, double c) const;
  // S(row, offset + index[k]) += c value[k]; false unless 0 <= row < S's rows, offset >= 0
  // and offset + GetMinVecSize() <= S's rows.
  bool IncrementRowPart(MCSymMatrix& S, int row, int offset, double c) const;
  // S becomes v vT: GetMinVecSize() rows (or its own rows when more), zero off the indices.
  bool QuadraticOuterProduct(MCSymMatrix& S) const;
  // S(index[k], index[l]) += w value[k] value[l]; a matrix with fewer than GetMinVecSize()
  // rows is first set to that many rows of zeros (its contents are discarded).
  bool QuadraticOuterProductIncr(MCSymMatrix& S, double w) const;
  // The same at S(offset + index[k], offset + index[l]); false (no resizing) when
  // offset < 0 or offset + GetMinVecSize() exceeds S's rows.
  bool QuadraticOuterProductPartIncr(MCSymMatrix& S, int offset, double w) const;
  // Multinomial-logit probabilities of nCat categories, the last the reference with linear
  // predictor 0 and category c < nCat - 1 with InnerProductWithPart(beta, c * stride).
  // p is grown to nCat; logTerm is the log-probability of the reference category. Large
  // predictors are shifted so that no exponential overflows (above 709) and terms below
  // exp(-708.39) count as 0. False unless nCat >= 1, stride >= GetMinVecSize() (and >= 1)
  // and beta holds (nCat - 1) * stride values; false also when a predictor is not finite
  // (p then holds no probabilities).
  bool ComputeProbabilities(const std::vector<double>& beta, int nCat, int stride,
                            std::vector<double>& p, double& logTerm) const;
  // Writes the indices and values to the diagnostic stream.
  void Display() const;

 private:
  int fNElements = 0;
  const std::vector<int>* fpIndices = nullptr;
  const std::vector<double>* fpValues = nullptr;
  bool fbValid = false;
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCSPARSEVECTOR_H_

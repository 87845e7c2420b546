#ifndef MCSTAT_MCREGRECORDVALIDATOR_H_
#define MCSTAT_MCREGRECORDVALIDATOR_H_

#include <vector>

#include "MCConst.h"
#include "MCRecord.h"
#include "MCStatus.h"
#include "mcstat_export.h"

// Decides whether a record can enter model building or scoring. It knows the role of every
// record position and, for the categorical ones (factors and a categorical dependent), the
// largest accepted category code. Accepted codes are the whole numbers 0 to the limit, both
// included; the factor tables ignore codes outside their own range.
class MCSTAT_EXPORT MCRegRecordValidator {
 public:
  // No roles, no response categories: every record of any length is valid.
  MCRegRecordValidator() = default;
  // See SetRecordInfo.
  MCRegRecordValidator(const std::vector<MCConst::MCVariableType>& types,
                       const std::vector<int>& factorPositions, const std::vector<int>& factorSizes,
                       int nResponseCategories);

  // Copies the roles; the limit of the j-th factor position becomes the j-th factor size (other
  // positions 0); with nResponseCategories >= 1 the first dependent position gets that limit.
  // Factor positions outside the role list are ignored, as are positions without a size.
  void SetRecordInfo(const std::vector<MCConst::MCVariableType>& types,
                     const std::vector<int>& factorPositions, const std::vector<int>& factorSizes,
                     int nResponseCategories);

  // Build rule. False with error 315 in status when the record is shorter than the role list;
  // false with error 313 (discrete datum 1 = position, scale datum 1 = value) for a covariate,
  // dependent or weight that is not a number or infinite, which no pass can accumulate; false
  // with error 316 (the same data) for a categorical value that is not whole or exceeds its
  // limit; false with status untouched for a categorical value below -0.5, a missing covariate
  // or continuous dependent, or a weight not above 0. Positions are checked in order and the
  // first failure decides.
  bool IsValidRecord(const MCCommon::Record& record, MCCommon::MCStatus& status) const;
  // Scoring rule: the factor and covariate checks of IsValidRecord only (315 and 316 likewise;
  // a covariate that is not a number or infinite is left to the prediction); the dependent and
  // the weights are not examined.
  bool IsValid4Scoring(const MCCommon::Record& record, MCCommon::MCStatus& status) const;

  const std::vector<MCConst::MCVariableType>& GetVariableTypes() const { return fvVariableTypes; }
  int GetNResponseCategories() const { return fNResponseCategories; }
  // One limit per record position, 0 where the position is not categorical.
  const std::vector<int>& GetCategoryLimits() const { return fvCategoryLimits; }

  // Writes the role list, the number of response categories and the limits.
  void Display() const;

 private:
  bool Check(const MCCommon::Record& record, MCCommon::MCStatus& status, bool forBuild) const;

  std::vector<MCConst::MCVariableType> fvVariableTypes;
  int fNResponseCategories = 0;
  std::vector<int> fvCategoryLimits;
};

// Maps a host record onto the compact order the models use internally: the dependent first,
// then the factors, the covariates, the frequency weight and the regression weight (each weight
// only when present).
class MCSTAT_EXPORT MCRecordExtractor {
 public:
  // Extract size 0, no indices, both weight offsets -1.
  MCRecordExtractor() = default;
  // See SetRecordIndices.
  MCRecordExtractor(int dependent, const std::vector<int>& factors,
                    const std::vector<int>& covariates, int freqWeight, int regrWeight);

  // Lays out the compact positions; a negative weight position means the weight is absent.
  void SetRecordIndices(int dependent, const std::vector<int>& factors,
                        const std::vector<int>& covariates, int freqWeight, int regrWeight);

  // out[k] = in[record index k] for every compact position k. Both arrays must be long enough:
  // out holds GetExtractSize() values, in reaches the largest record index.
  void ExtractRecord(const double* in, double* out) const;
  // The same into out's existing elements; false, writing nothing, when out has fewer than
  // GetExtractSize() elements or in is null.
  bool ExtractRecord(const double* in, std::vector<double>& out) const;

  int GetExtractSize() const { return fExtractSize; }
  int GetDependentOffset() const { return fDependentOffset; }
  const std::vector<int>& GetFactorOffsets() const { return fvFactorOffsets; }
  const std::vector<int>& GetCovariateOffsets() const { return fvCovariateOffsets; }
  // -1 when the weight is absent.
  int GetFreqWeightOffset() const { return fFreqWeightOffset; }
  int GetRegrWeightOffset() const { return fRegrWeightOffset; }
  // The source record position of every compact position.
  const std::vector<int>& GetAllRecordIndices() const { return fvRecordIndices; }

  // Writes the fields.
  void Display() const;

 private:
  int fExtractSize = 0;
  std::vector<int> fvRecordIndices;
  int fDependentOffset = 0;
  std::vector<int> fvFactorOffsets;
  std::vector<int> fvCovariateOffsets;
  int fFreqWeightOffset = -1;
  int fRegrWeightOffset = -1;
};

#endif  // MCSTAT_MCREGRECORDVALIDATOR_H_

#ifndef MCSTAT_FRONTEND_MODELLAYOUT_H_
#define MCSTAT_FRONTEND_MODELLAYOUT_H_

#include <string>
#include <vector>

#include "Precoded.h"
#include "frontend/DataSource.h"
#include "frontend/ModelRequest.h"

namespace MCFrontEnd {

// One value of a coded record.
struct PositionSpec {
  enum Kind { kNumber, kCategory, kDerived };
  Kind kind = kNumber;
  std::string name;         // the variable: a column or a derived covariate
  int slot = -1;            // kNumber, kCategory: the slot it comes from
  std::vector<int> inputs;  // kDerived: the slots of its inputs
  int derived = -1;         // kDerived: index into the request's derived covariates
};

// A request resolved against a source's columns: the record positions the library sees
// (dependent at 0, then the factors, the covariates and the weights), the slots they are read
// from, and the terms. Split variables are slots of their own.
class ModelLayout {
 public:
  // InputError for a request that cannot be fitted as asked: no dependent, a name given
  // twice or in two roles, an unknown column, a bad term.
  ModelLayout(const ModelRequest& request, const DataSource& source,
              const std::vector<std::string>& split = {});

  const ModelRequest& Request() const { return fRequest; }
  const std::vector<Slot>& Slots() const { return fvSlots; }
  const std::vector<PositionSpec>& Positions() const { return fvPositions; }
  int Width() const { return static_cast<int>(fvPositions.size()); }
  const std::vector<int>& SplitSlots() const { return fvSplitSlots; }
  const std::vector<Term>& Terms() const { return fvTerms; }
  bool Logistic() const { return fRequest.model == "logistic"; }
  int FactorCount() const { return static_cast<int>(fRequest.factors.size()); }
  int CovariateCount() const { return static_cast<int>(fRequest.covariates.size()); }
  // Positions from here on are weights (a record needs them positive, not just present).
  int WeightsFrom() const { return 1 + FactorCount() + CovariateCount(); }
  int FrequencyPosition() const { return fFreq; }
  int RegressionPosition() const { return fRegr; }
  // The record position of a variable, or -1.
  int Position(const std::string& name) const;
  // Whether the library uses a record of this layout: every value before the weights
  // present, the weights positive (the rule of its record validator).
  bool Used(const double* record) const;
  // The product of the record's weights (1 without weights).
  double Weight(const double* record) const;

 private:
  int AddSlot(int column, bool categorical, const std::string& role);

  ModelRequest fRequest;
  std::vector<Slot> fvSlots;
  std::vector<PositionSpec> fvPositions;
  std::vector<int> fvSplitSlots;
  std::vector<Term> fvTerms;
  int fFreq = -1;
  int fRegr = -1;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_MODELLAYOUT_H_

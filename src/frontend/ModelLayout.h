#ifndef MCSTAT_FRONTEND_MODELLAYOUT_H_
#define MCSTAT_FRONTEND_MODELLAYOUT_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Formula.h"
#include "Precoded.h"
#include "frontend/DataSource.h"
#include "frontend/ModelRequest.h"

namespace MCFrontEnd {

// One value of a coded record.
struct PositionPlan {
  enum Kind { kNumber, kCategory, kDerived };
  Kind kind = kNumber;
  std::string name;         // the variable: a column, "C(x)", or a derived covariate
  int slot = -1;            // kNumber, kCategory: the slot it comes from
  std::vector<int> inputs;  // kDerived: the slots of its inputs
  int derived = -1;         // kDerived: index into the request's derived covariates
};

// A request resolved against a source's columns, in two steps. The constructor reads the
// model: a formula ("y ~ A*x + log(z)"), or the older terms over declared factors and
// covariates (an effects list, or the main effects of all of them), and names the slots to
// read. Settle then takes the slots as the data settled them (a column named bare in a formula
// is a factor when it holds text), maps the terms onto the library's effects and lays out the
// record the library sees: dependent at 0, then the factors, the covariates and the weights.
// Split variables are slots of their own.
class ModelLayout {
 public:
  // InputError for a request that cannot be fitted as asked: no dependent, a name given
  // twice or in two roles, an unknown column, an effects list that cannot be read;
  // TextInputError, pointing into the formula, for a formula that cannot be read.
  ModelLayout(const ModelRequest& request, const DataSource& source,
              const std::vector<std::string>& split = {});

  // The slots to read; until Settle, a column whose kind the data decide has a slot that
  // takes either.
  const std::vector<Slot>& Slots() const { return fvSlots; }
  // Takes the settled slots (PrecodedData::Slots) and lays the record out. TextInputError for
  // terms that do not fit the data (a text column in arithmetic or raised to a power...).
  void Settle(const std::vector<Slot>& settled);

  // The request as the model names it after Settle: dependent, factors, covariates (derived
  // ones among them, with their evaluation), references and terms by the names of the
  // record's variables ("C(cyl)", "log(hp)"), the intercept of the formula.
  const ModelRequest& Request() const { return fRequest; }
  const std::vector<PositionPlan>& Positions() const { return fvPositions; }
  int Width() const { return static_cast<int>(fvPositions.size()); }
  const std::vector<int>& SplitSlots() const { return fvSplitSlots; }
  const std::vector<Term>& Terms() const { return fRequest.terms; }
  // Each term as the formula writes it ("C(cyl):wt", "x^2"; "A*B" in an effects list).
  const std::vector<std::string>& TermLabels() const { return fvTermLabels; }
  const EffectPlan& Plan() const { return fPlan; }
  // The expression of derived covariate d of the request, or null for one the caller computes.
  const Expr* Expression(int derived) const;
  // The reference category of a logistic response written C(y, ref=...), or empty.
  const std::string& ResponseReference() const { return fResponseReference; }
  // Throws the problem with a variable the model names `name` (a reference level the data
  // lack...): pointing at the variable in the formula when it comes from one, else as an
  // InputError.
  [[noreturn]] void FailAt(const std::string& name, const std::string& what) const;
  // What reading the formula noticed (a removal that removes nothing...).
  const std::vector<std::string>& Warnings() const { return fFormula.warnings; }
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
  // Whether the model can score a record of this layout: every factor and covariate present
  // and finite (the library scores what it is given, missing codes included).
  bool Scorable(const double* record) const;
  // The product of the record's weights (1 without weights).
  double Weight(const double* record) const;

 private:
  enum class Use { kNumber, kCategory, kEither };
  int AddSlot(int column, Use use, const std::string& role);
  int SlotOf(const std::string& column, bool categorical) const;
  int Column(const std::string& name, std::size_t position) const;
  // An error in the formula or effects list at the position.
  [[noreturn]] void Fail(const std::string& what, std::size_t position) const;
  int AddDerived(const Variable& v);
  void AddVariableSlots(const Variable& v, const std::string& role);

  ModelRequest fRequest;
  std::vector<std::string> fvColumns;  // the source's column names
  std::string fSourceName;
  Formula fFormula;
  std::string fText;    // the formula or the effects list, for errors
  std::string fOption;  // "--formula" or "--effects"
  bool fbFormula = false;
  std::vector<int> fvDeclared;  // effects list: declared variables no term uses
  EffectPlan fPlan;
  std::vector<std::string> fvTermLabels;
  std::vector<std::shared_ptr<const Expr>> fvExpressions;  // per derived covariate
  std::string fResponseReference;
  std::vector<Slot> fvSlots;
  std::vector<Use> fvUses;
  std::vector<PositionPlan> fvPositions;
  std::vector<int> fvSplitSlots;
  int fFreq = -1;
  int fRegr = -1;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_MODELLAYOUT_H_

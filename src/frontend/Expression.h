#ifndef MCSTAT_FRONTEND_EXPRESSION_H_
#define MCSTAT_FRONTEND_EXPRESSION_H_

#include <array>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontend/mcfrontend_export.h"

// Arithmetic of covariates and numbers as a formula writes it (the inside of I(), log(), ...):
// its tree, its canonical text, and a compiled form evaluated record by record.
namespace MCFrontEnd {

// A formula that cannot be read, or whose terms do not fit the data. The position is the
// 0-based byte offset in the text of the character at fault (the text's length when it ends
// too early).
class MCFRONTEND_EXPORT FormulaError : public std::runtime_error {
 public:
  FormulaError(std::size_t position, const std::string& message);
  std::size_t GetPosition() const { return fPosition; }

 private:
  std::size_t fPosition;
};

// Arithmetic of covariates and numbers (the inside of I(), log(), exp(), ...). I() itself is
// transparent and never appears in a tree.
struct Expr {
  enum class Kind { kNumber, kColumn, kNegate, kAdd, kSubtract, kMultiply, kDivide, kPower, kCall };
  Kind kind = Kind::kNumber;
  double number = 0.0;         // kNumber
  std::string name;            // kColumn: the column; kCall: the function
  std::vector<Expr> operands;  // one for kNegate and kCall, two for the binary kinds
  std::size_t position = 0;    // where it was written
};

// The canonical text of an expression, as R prints it: "log(x + 1)", "x^2", "-x/2".
// Two expressions with the same text are the same derived column.
MCFRONTEND_EXPORT std::string ExprText(const Expr& expression);

// True for a character R reads as part of a name: letters, digits, '.', '_' and any byte of a
// UTF-8 sequence; first: the first character, which is neither a digit nor '_'.
MCFRONTEND_EXPORT bool IsNameCharacter(bool first, unsigned char c);

// The name as a formula writes it: bare when R reads it so, else backquoted.
MCFRONTEND_EXPORT std::string QuoteName(const std::string& name);

// The column nodes of an expression, in the order written (a column read twice is listed
// twice).
MCFRONTEND_EXPORT void CollectColumns(const Expr& expression, std::vector<const Expr*>& out);

// The functions arithmetic may call: log, log10, log2, exp, sqrt, abs.
MCFRONTEND_EXPORT bool IsMathFunction(const std::string& name);

// The arithmetic of one derived column (a kDerived variable's expression), compiled once and
// evaluated per record without allocating. Evaluation is const and may run on several threads
// at once.
class MCFRONTEND_EXPORT ExpressionProgram {
 public:
  enum class Outcome { kValue, kMissing, kNotFinite };

  // slotOf gives the index of a column in the rows handed to Evaluate, or -1 when there is no
  // such column: FormulaError at the column's place.
  ExpressionProgram(const Expr& expression, const std::function<int(const std::string&)>& slotOf);

  // kMissing (value untouched) when a column read holds the system-missing value, kNotFinite
  // when the result is infinite or NaN (log of 0, division by 0, sqrt(-1)), else kValue.
  Outcome Evaluate(const double* row, double& value) const;

  // The distinct slots the program reads.
  const std::vector<int>& GetSlots() const { return fvSlots; }

  // The deepest stack an expression may need; the parser's nesting limit keeps below it.
  static constexpr int kMaxStack = 128;

 private:
  enum class Code {
    kConst,
    kLoad,
    kNeg,
    kAdd,
    kSub,
    kMul,
    kDiv,
    kPow,
    kLog,
    kLog10,
    kLog2,
    kExp,
    kSqrt,
    kAbs
  };
  struct Op {
    Code code;
    int slot;
    double number;
  };
  // Appends the operations of e; returns the stack depth they need.
  int Emit(const Expr& e, const std::function<int(const std::string&)>& slotOf);

  std::vector<Op> fvOps;
  std::vector<int> fvSlots;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_EXPRESSION_H_

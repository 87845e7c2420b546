#ifndef MCSTAT_FRONTEND_FORMULA_H_
#define MCSTAT_FRONTEND_FORMULA_H_

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Expression.h"
#include "MCModelEffect.h"
#include "frontend/mcfrontend_export.h"

// Model formulas in the notation of R and patsy, the older comma-separated effects list, and
// the mapping of their terms onto the library's model effects.
namespace MCFrontEnd {

// The line of the text that holds the error, a caret under the offending character and the
// message, e.g.
//   y ~ A + + B
//           ^ expected a term but found '+'
// The caret is placed by characters (UTF-8 sequences count once), tabs kept as tabs.
MCFRONTEND_EXPORT std::string ShowFormulaError(const std::string& text, const FormulaError& error);

// One variable of a formula. Variables are distinct: a column named once or often is one
// variable; C(x) is a variable of its own, as is each distinct derived expression.
struct Variable {
  enum class Kind {
    kColumn,   // a data column: a factor when it holds text, else a covariate
    kFactor,   // C(column): a factor whatever the column holds
    kDerived,  // computed per record from numeric columns (a covariate)
  };
  Kind kind = Kind::kColumn;
  std::string column;                    // kColumn, kFactor
  std::optional<std::string> reference;  // kFactor: the reference level as written
  bool referenceIsNumber = false;        // the level was written as a number, unquoted
  double referenceNumber = 0.0;          // its value when it was
  Expr expression;                       // kDerived
  std::string label;                     // "x", "C(x)", "log(x)", "I(a * b)"
  std::size_t position = 0;              // first place it was written
};

// A variable within a term: its power (x^2; 1 for any factor) and nesting level (0 innermost;
// a/b puts b at 0 and a at 1).
struct TermPart {
  int variable = -1;
  int power = 1;
  int nestLevel = 0;
};

// A term: the product or crossing of its parts, ordered by variable.
struct FormulaTerm {
  std::vector<TermPart> parts;
  std::string label;  // "A:B", "x^2", "C(x):log(z)"; older effects lists: "A*B", "x1*x1"
  std::size_t position = 0;
};

struct Formula {
  // Absent in an effects list or a one-sided formula; its power is 1 (y^2 ~ ... makes the
  // derived column I(y^2)).
  std::optional<TermPart> response;
  std::vector<Variable> variables;  // in order of first appearance
  std::vector<FormulaTerm> terms;   // in model order
  bool intercept = true;
  std::size_t termsPosition = 0;      // where the terms begin
  std::vector<std::string> warnings;  // removals of absent terms, (x)^2 meaning x
};

// Reads "y ~ A*B + x1 + x1:x2 + I(x1^2)" in R's notation. Operators, loosest first: + and -
// (sum, removal); * and / (crossing a*b = a + b + a:b, nesting a/b = a + a:b); %in% (b %in% a
// is b nested in a); : (interaction); ^ and ** ((a+b+c)^2: interactions up to order 2; x^k on
// one variable: its k-th power). Terms 0 and 1 and their removal (- 1, + 0) set the intercept,
// only in the sums at the top of the formula. Variables: names (backquoted for odd
// characters), C(x), C(x, ref='v') (also ref="v", ref=3, reference=..., Treatment('v')),
// log, log10, log2, exp, sqrt, abs and I() over arithmetic (+ - * / ^, unary minus,
// parentheses) of numeric columns and numbers. I(x^k) is the power x^k. `.` stands for
// every column of dotColumns not used by the response (an error without the list).
// Terms are deduplicated and ordered as R orders them: by number of variables, then by
// appearance. Throws FormulaError.
MCFRONTEND_EXPORT Formula ParseFormula(const std::string& text,
                                       const std::vector<std::string>* dotColumns = nullptr);

// Reads the older effects list "A,B,A*B,A*x1,x1*x1": comma-separated terms whose names are
// joined by '*' or ':'; a name repeated in a term raises its power. Names are trimmed and
// may hold any character but , * : and backquote; a backquoted name may hold those too.
// The terms keep the given order. Throws FormulaError for an empty term or name and for a
// term given twice (in any order of its names).
MCFRONTEND_EXPORT Formula ParseEffects(const std::string& text);

// What a data column holds, for mapping a formula onto the data: kText for a categorical column
// (text, or a column the caller declares a factor, as an explicit list of factors does),
// kNumber for a numeric one.
enum class ColumnType { kAbsent, kNumber, kText };

// One effect of the library model: factors (index into EffectPlan::factors, nesting level)
// and covariates (index into EffectPlan::covariates, power).
struct PlannedEffect {
  std::vector<std::array<int, 2>> factors;
  std::vector<std::array<int, 2>> covariates;
  bool factorsInParens = false;  // covariates nested within the factors: x(A)
  std::string label;
  std::size_t position = 0;
};

// The model the library fits: which formula variables become its factors and its covariates
// (each one record position), in model order (first use), and the effects over them.
struct EffectPlan {
  std::vector<int> factors;     // index into Formula::variables
  std::vector<int> covariates;  // index into Formula::variables
  std::vector<PlannedEffect> effects;
  bool intercept = true;
};

// Maps the terms onto library effects. A column of text is a factor, a numeric column a
// covariate, C() a factor; a text column named bare and in C() is one factor. Throws
// FormulaError, at the variable or term at fault, for an absent column, a power of a factor,
// a derived expression over a text column, the response's column among the terms, two terms
// that give the same effect (x^2:x and I(x^3)), and a model with neither intercept nor terms.
MCFRONTEND_EXPORT EffectPlan PlanEffects(
    const Formula& formula, const std::function<ColumnType(const std::string&)>& columnType);

// The library's effects of a plan. positions lists the record positions of the plan's
// factors, then of its covariates; the effects point to it, so it must outlive them.
// std::invalid_argument when it does not hold one position per factor and covariate.
MCFRONTEND_EXPORT std::vector<MCModelEffect> MakeModelEffects(const EffectPlan& plan,
                                                              const std::vector<int>* positions);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_FORMULA_H_

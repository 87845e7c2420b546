#include "Expression.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

#include "MCMV.h"

namespace MCFrontEnd {

namespace {

bool IsSyntacticName(const std::string& s) {
  static const std::set<std::string> kReserved = {"if",   "else", "repeat", "while", "function",
                                                  "for",  "next", "break",  "TRUE",  "FALSE",
                                                  "NULL", "Inf",  "NaN",    "NA",    "in"};
  if (s.empty() || !IsNameCharacter(true, static_cast<unsigned char>(s[0]))) return false;
  if (s[0] == '.' && s.size() > 1 && std::isdigit(static_cast<unsigned char>(s[1]))) {
    return false;
  }
  for (const char c : s) {
    if (!IsNameCharacter(false, static_cast<unsigned char>(c))) return false;
  }
  return s != "." && kReserved.count(s) == 0;
}

// The shortest text that reads back as the same double.
std::string NumberText(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

int Precedence(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kAdd:
    case Expr::Kind::kSubtract:
      return 1;
    case Expr::Kind::kMultiply:
    case Expr::Kind::kDivide:
      return 2;
    case Expr::Kind::kNegate:
      return 3;
    case Expr::Kind::kPower:
      return 4;
    default:
      return 5;
  }
}

std::string Wrapped(const Expr& e, bool wrap) {
  return wrap ? "(" + ExprText(e) + ")" : ExprText(e);
}

// The functions and their place in the program's codes, from kLog on.
const std::map<std::string, int>& MathFunctions() {
  static const std::map<std::string, int> kFunctions = {{"log", 0}, {"log10", 1}, {"log2", 2},
                                                        {"exp", 3}, {"sqrt", 4},  {"abs", 5}};
  return kFunctions;
}

}  // namespace

bool IsNameCharacter(bool first, unsigned char c) {
  if (c >= 0x80 || c == '.' || std::isalpha(c)) return true;
  return !first && (std::isdigit(c) || c == '_');
}

std::string QuoteName(const std::string& s) {
  if (IsSyntacticName(s)) return s;
  std::string out = "`";
  for (const char c : s) {
    if (c == '`' || c == '\\') out += '\\';
    out += c;
  }
  return out + "`";
}

void CollectColumns(const Expr& e, std::vector<const Expr*>& out) {
  if (e.kind == Expr::Kind::kColumn) out.push_back(&e);
  for (const Expr& o : e.operands) CollectColumns(o, out);
}

bool IsMathFunction(const std::string& name) { return MathFunctions().count(name) != 0; }

FormulaError::FormulaError(std::size_t position, const std::string& message)
    : std::runtime_error(message), fPosition(position) {}

std::string ExprText(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::kNumber:
      return NumberText(e.number);
    case Expr::Kind::kColumn:
      return QuoteName(e.name);
    case Expr::Kind::kNegate:
      return "-" + Wrapped(e.operands[0], Precedence(e.operands[0]) < 3);
    case Expr::Kind::kCall:
      return e.name + "(" + ExprText(e.operands[0]) + ")";
    case Expr::Kind::kPower:
      // As R prints them: (a^b)^c and (-a)^b keep their parentheses, a^-b needs none.
      return Wrapped(e.operands[0], Precedence(e.operands[0]) <= 4) + "^" +
             Wrapped(e.operands[1], Precedence(e.operands[1]) < 3);
    default: {
      static const char* const kOps[] = {" + ", " - ", " * ", "/"};
      const int k = static_cast<int>(e.kind) - static_cast<int>(Expr::Kind::kAdd);
      const int p = Precedence(e);
      return Wrapped(e.operands[0], Precedence(e.operands[0]) < p) + kOps[k] +
             Wrapped(e.operands[1], Precedence(e.operands[1]) <= p);
    }
  }
}

// --- Derived columns ------------------------------------------------------------------------

ExpressionProgram::ExpressionProgram(const Expr& expression,
                                     const std::function<int(const std::string&)>& slotOf) {
  if (Emit(expression, slotOf) > kMaxStack) {
    throw FormulaError(expression.position, "the expression is nested too deeply");
  }
}

int ExpressionProgram::Emit(const Expr& e, const std::function<int(const std::string&)>& slotOf) {
  switch (e.kind) {
    case Expr::Kind::kNumber:
      fvOps.push_back(Op{Code::kConst, -1, e.number});
      return 1;
    case Expr::Kind::kColumn: {
      const int slot = slotOf(e.name);
      if (slot < 0) throw FormulaError(e.position, "unknown column '" + e.name + "'");
      if (std::find(fvSlots.begin(), fvSlots.end(), slot) == fvSlots.end()) {
        fvSlots.push_back(slot);
      }
      fvOps.push_back(Op{Code::kLoad, slot, 0.0});
      return 1;
    }
    case Expr::Kind::kNegate: {
      const int need = Emit(e.operands[0], slotOf);
      fvOps.push_back(Op{Code::kNeg, -1, 0.0});
      return need;
    }
    case Expr::Kind::kCall: {
      static const Code kCodes[] = {Code::kLog, Code::kLog10, Code::kLog2,
                                    Code::kExp, Code::kSqrt,  Code::kAbs};
      const auto f = MathFunctions().find(e.name);
      if (f == MathFunctions().end()) {
        throw FormulaError(e.position, "unknown function '" + e.name + "'");
      }
      const int need = Emit(e.operands[0], slotOf);
      fvOps.push_back(Op{kCodes[f->second], -1, 0.0});
      return need;
    }
    default: {
      static const Code kCodes[] = {Code::kAdd, Code::kSub, Code::kMul, Code::kDiv, Code::kPow};
      const int left = Emit(e.operands[0], slotOf);
      const int right = Emit(e.operands[1], slotOf);
      fvOps.push_back(
          Op{kCodes[static_cast<int>(e.kind) - static_cast<int>(Expr::Kind::kAdd)], -1, 0.0});
      return std::max(left, right + 1);
    }
  }
}

ExpressionProgram::Outcome ExpressionProgram::Evaluate(const double* row, double& value) const {
  for (const int slot : fvSlots) {
    if (MCMV::IsMissing(row[slot])) return Outcome::kMissing;
  }
  std::array<double, kMaxStack> stack;
  int top = -1;  // index of the top value
  for (const Op& op : fvOps) {
    switch (op.code) {
      case Code::kConst:
        stack[static_cast<std::size_t>(++top)] = op.number;
        continue;
      case Code::kLoad:
        stack[static_cast<std::size_t>(++top)] = row[op.slot];
        continue;
      default:
        break;
    }
    double& x = stack[static_cast<std::size_t>(top)];
    switch (op.code) {
      case Code::kNeg:
        x = -x;
        break;
      case Code::kLog:
        x = std::log(x);
        break;
      case Code::kLog10:
        x = std::log10(x);
        break;
      case Code::kLog2:
        x = std::log2(x);
        break;
      case Code::kExp:
        x = std::exp(x);
        break;
      case Code::kSqrt:
        x = std::sqrt(x);
        break;
      case Code::kAbs:
        x = std::fabs(x);
        break;
      default: {
        const double y = x;
        double& a = stack[static_cast<std::size_t>(--top)];
        switch (op.code) {
          case Code::kAdd:
            a = a + y;
            break;
          case Code::kSub:
            a = a - y;
            break;
          case Code::kMul:
            a = a * y;
            break;
          case Code::kDiv:
            a = a / y;
            break;
          // As R: a square is a product, other powers pow().
          default:
            a = y == 2.0 ? a * a : std::pow(a, y);
            break;
        }
      }
    }
  }
  value = stack[0];
  return std::isfinite(value) ? Outcome::kValue : Outcome::kNotFinite;
}

}  // namespace MCFrontEnd

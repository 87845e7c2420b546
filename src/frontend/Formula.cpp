#include "Formula.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>

#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

// Deeper nesting than this is refused, so that recursion and the evaluator's stack stay
// bounded whatever the text.
constexpr int kMaxDepth = 100;
// Powers and interaction orders above this are refused.
constexpr int kMaxPower = 100;
// A formula expanding to more terms than this is refused (the library would refuse the
// parameters anyway, after much work).
constexpr std::size_t kMaxTerms = 10000;

const char* const kFunctionList = "I, C, log, log10, log2, exp, sqrt, abs";

// --- Tokens -----------------------------------------------------------------------------

enum class Tok {
  kEnd,
  kName,
  kQuotedName,
  kNumber,
  kString,
  kDot,
  kTilde,
  kPlus,
  kMinus,
  kStar,
  kSlash,
  kColon,
  kCaret,
  kIn,
  kLParen,
  kRParen,
  kComma,
  kEquals
};

struct Token {
  Tok type = Tok::kEnd;
  std::string text;  // the name, the string's content, or the token as written
  std::size_t pos = 0;
  double number = 0.0;
};

// Reads a quoted run starting at text[pos] (the opening quote); escapes \\ and \<quote>.
std::string ReadQuoted(const std::string& text, std::size_t& pos, char quote, const char* what) {
  const std::size_t open = pos;
  std::string out;
  for (++pos; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == quote) {
      ++pos;
      return out;
    }
    if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == quote || text[pos + 1] == '\\')) {
      out += text[++pos];
    } else {
      out += c;
    }
  }
  throw FormulaError(open, std::string(what) + " is not closed");
}

std::vector<Token> Tokenize(const std::string& text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      ++i;
      continue;
    }
    Token t;
    t.pos = i;
    const bool dotNumber =
        c == '.' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]));
    if (std::isdigit(c) || dotNumber) {
      std::size_t j = i;
      while (j < text.size() &&
             (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.')) {
        ++j;
      }
      if (j < text.size() && (text[j] == 'e' || text[j] == 'E')) {
        ++j;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      }
      t.type = Tok::kNumber;
      t.text = text.substr(i, j - i);
      const auto r = std::from_chars(text.data() + i, text.data() + j, t.number);
      if (r.ec == std::errc::result_out_of_range) {
        throw FormulaError(i, "the number " + t.text + " is out of range");
      }
      if (r.ec != std::errc() || r.ptr != text.data() + j) {
        throw FormulaError(i, "malformed number '" + t.text + "'");
      }
      i = j;
    } else if (IsNameCharacter(true, c)) {
      std::size_t j = i;
      while (j < text.size() && IsNameCharacter(false, static_cast<unsigned char>(text[j]))) ++j;
      t.text = text.substr(i, j - i);
      t.type = t.text == "." ? Tok::kDot : Tok::kName;
      i = j;
    } else if (c == '`') {
      t.type = Tok::kQuotedName;
      t.text = ReadQuoted(text, i, '`', "the backquoted name");
      if (t.text.empty()) throw FormulaError(t.pos, "empty backquoted name");
    } else if (c == '\'' || c == '"') {
      t.type = Tok::kString;
      t.text = ReadQuoted(text, i, static_cast<char>(c), "the quoted text");
    } else if (c == '%') {
      const std::size_t close = text.find('%', i + 1);
      const std::string op = text.substr(i, close == std::string::npos ? 1 : close - i + 1);
      if (op != "%in%") {
        throw FormulaError(i, "unknown operator '" + op + "' (the formula knows %in%)");
      }
      t.type = Tok::kIn;
      t.text = op;
      i = close + 1;
    } else if (c == '*' && i + 1 < text.size() && text[i + 1] == '*') {
      t.type = Tok::kCaret;
      t.text = "**";
      i += 2;
    } else {
      static const std::string kOps = "~+-*/:^(),=";
      static const Tok kTypes[] = {Tok::kTilde,  Tok::kPlus,  Tok::kMinus, Tok::kStar,
                                   Tok::kSlash,  Tok::kColon, Tok::kCaret, Tok::kLParen,
                                   Tok::kRParen, Tok::kComma, Tok::kEquals};
      const std::size_t k = kOps.find(static_cast<char>(c));
      if (k == std::string::npos) {
        // Show a whole UTF-8 character, not its first byte.
        std::size_t j = i + 1;
        while (j < text.size() && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80) ++j;
        throw FormulaError(i, "unexpected character '" + text.substr(i, j - i) + "'");
      }
      t.type = kTypes[k];
      t.text = std::string(1, static_cast<char>(c));
      ++i;
    }
    tokens.push_back(t);
  }
  Token end;
  end.pos = text.size();
  tokens.push_back(end);
  return tokens;
}

std::string Describe(const Token& t) {
  switch (t.type) {
    case Tok::kEnd:
      return "the end of the formula";
    case Tok::kQuotedName:
      return "`" + t.text + "`";
    case Tok::kString:
      return "the text '" + t.text + "'";
    default:
      return "'" + t.text + "'";
  }
}

bool IsWholeNumber(double v, int lo, int hi) { return v >= lo && v <= hi && v == std::floor(v); }

// --- Term lists ---------------------------------------------------------------------------

// The parts of a term, sorted by (variable, power); the key of a term is that list without
// the nesting levels.
using Key = std::vector<std::pair<int, int>>;

Key KeyOf(const FormulaTerm& t) {
  Key k;
  for (const TermPart& p : t.parts) k.emplace_back(p.variable, p.power);
  return k;
}

bool PartLess(const TermPart& a, const TermPart& b) {
  return a.variable != b.variable ? a.variable < b.variable : a.power < b.power;
}

// a:b. A variable at the same power in both is one part, at its deeper nesting level.
FormulaTerm Union(const FormulaTerm& a, const FormulaTerm& b) {
  FormulaTerm u = a;
  for (const TermPart& p : b.parts) {
    auto it = std::find_if(u.parts.begin(), u.parts.end(), [&](const TermPart& q) {
      return q.variable == p.variable && q.power == p.power;
    });
    if (it == u.parts.end()) {
      u.parts.push_back(p);
    } else {
      it->nestLevel = std::max(it->nestLevel, p.nestLevel);
    }
  }
  std::sort(u.parts.begin(), u.parts.end(), PartLess);
  return u;
}

int MaxLevel(const FormulaTerm& t) {
  int m = -1;
  for (const TermPart& p : t.parts) m = std::max(m, p.nestLevel);
  return m;
}

FormulaTerm Shifted(FormulaTerm t, int by) {
  for (TermPart& p : t.parts) p.nestLevel += by;
  return t;
}

// The value of a formula expression: its terms, and the intercept when it sets it.
struct TermList {
  std::vector<FormulaTerm> terms;
  std::set<Key> keys;  // of the terms, for lookups in large expansions
  std::optional<bool> intercept;
  std::size_t interceptPos = 0;
  std::size_t position = 0;
  bool atom = false;           // one variable written bare: x, log(x), C(x), I(x^2)
  bool parenthesised = false;  // (...) as a whole

  void Add(const FormulaTerm& t) {
    if (keys.insert(KeyOf(t)).second) terms.push_back(t);
  }
  // False when the list has no such term.
  bool Erase(const FormulaTerm& t) {
    const Key key = KeyOf(t);
    if (keys.erase(key) == 0) return false;
    terms.erase(
        std::find_if(terms.begin(), terms.end(), [&](const FormulaTerm& u) { return KeyOf(u) == key; }));
    return true;
  }
};

// --- The parser ---------------------------------------------------------------------------

class Parser {
 public:
  Parser(const std::string& text, const std::vector<std::string>* dotColumns)
      : fpDotColumns(dotColumns), fvTokens(Tokenize(text)) {}

  Formula Parse() {
    if (Peek().type == Tok::kEnd) throw FormulaError(0, "the formula is empty");
    if (Peek().type != Tok::kTilde) {
      const TermList r = Power();
      if (!r.atom) {
        throw FormulaError(r.position, "the response must be one variable");
      }
      fFormula.response = Response(r.terms[0].parts[0]);
      if (Peek().type != Tok::kTilde) {
        throw FormulaError(Peek().pos,
                           "expected '~' after the response but found " + Describe(Peek()));
      }
    }
    Advance();  // '~'
    fFormula.termsPosition = Peek().pos;
    if (Peek().type == Tok::kEnd) {
      throw FormulaError(Peek().pos, "expected the terms after '~'");
    }
    TermList rhs = Sum();
    if (Peek().type != Tok::kEnd) {
      throw FormulaError(Peek().pos, "expected an operator or the end of the formula but found " +
                                         Describe(Peek()));
    }
    fFormula.intercept = rhs.intercept.value_or(true);
    // R's order: by the number of variables, then as written.
    std::stable_sort(rhs.terms.begin(), rhs.terms.end(),
                     [](const FormulaTerm& a, const FormulaTerm& b) { return a.parts.size() < b.parts.size(); });
    fFormula.terms = std::move(rhs.terms);
    for (FormulaTerm& t : fFormula.terms) t.label = Label(t);
    return std::move(fFormula);
  }

  std::string Label(const FormulaTerm& t) const {
    std::string s;
    for (const TermPart& p : t.parts) {
      if (!s.empty()) s += ":";
      s += fFormula.variables[static_cast<std::size_t>(p.variable)].label;
      if (p.power > 1) s += "^" + std::to_string(p.power);
    }
    return s;
  }

 private:
  // Counts nesting on the way down; refuses what would be too deep.
  class Depth {
   public:
    explicit Depth(Parser& p) : fParser(p) {
      if (fParser.fDepth >= kMaxDepth) {
        throw FormulaError(fParser.Peek().pos, "the formula is nested too deeply");
      }
      ++fParser.fDepth;
    }
    ~Depth() { --fParser.fDepth; }
    Depth(const Depth&) = delete;
    Depth& operator=(const Depth&) = delete;

   private:
    Parser& fParser;
  };

  const Token& Peek(std::size_t ahead = 0) const {
    return fvTokens[std::min(fNext + ahead, fvTokens.size() - 1)];
  }
  const Token& Advance() { return fvTokens[std::min(fNext++, fvTokens.size() - 1)]; }
  void Expect(Tok type, const char* what, std::size_t openedAt) {
    if (Peek().type == type) {
      Advance();
      return;
    }
    if (type == Tok::kRParen && Peek().type == Tok::kEnd) {
      throw FormulaError(openedAt, "this '(' is not closed");
    }
    throw FormulaError(Peek().pos,
                       std::string("expected ") + what + " but found " + Describe(Peek()));
  }

  // --- variables ---

  // A response written as a power (y^2, log(y)^2) is computed as a derived column.
  TermPart Response(const TermPart& part) {
    if (part.power == 1) return part;
    const Variable& v = fFormula.variables[static_cast<std::size_t>(part.variable)];
    Expr base = v.expression;
    if (v.kind != Variable::Kind::kDerived) {
      base.kind = Expr::Kind::kColumn;
      base.name = v.column;
      base.position = v.position;
    }
    Expr power;
    power.number = part.power;
    power.position = base.position;
    const std::size_t pos = base.position;
    return TermPart{DerivedVariable(Node(Expr::Kind::kPower, pos, {base, power})), 1, 0};
  }

  int AddVariable(Variable v) {
    for (std::size_t i = 0; i < fFormula.variables.size(); ++i) {
      Variable& w = fFormula.variables[i];
      if (w.kind != v.kind || w.label != v.label) continue;
      if (v.kind == Variable::Kind::kFactor && v.reference) {
        if (!w.reference) {
          w.reference = v.reference;
          w.referenceIsNumber = v.referenceIsNumber;
          w.referenceNumber = v.referenceNumber;
        } else if (!SameReference(w, v)) {
          throw FormulaError(v.position, v.label + " is given two reference levels: '" +
                                             *w.reference + "' and '" + *v.reference + "'");
        }
      }
      return static_cast<int>(i);
    }
    fFormula.variables.push_back(std::move(v));
    return static_cast<int>(fFormula.variables.size() - 1);
  }

  static bool SameReference(const Variable& a, const Variable& b) {
    if (a.referenceIsNumber && b.referenceIsNumber) return a.referenceNumber == b.referenceNumber;
    return a.referenceIsNumber == b.referenceIsNumber && *a.reference == *b.reference;
  }

  int ColumnVariable(const std::string& name, std::size_t pos) {
    Variable v;
    v.kind = Variable::Kind::kColumn;
    v.column = name;
    v.label = name;
    v.position = pos;
    return AddVariable(std::move(v));
  }

  TermList Atom(int variable, int power, std::size_t pos) {
    TermList l;
    FormulaTerm t;
    t.parts.push_back(TermPart{variable, power, 0});
    t.position = pos;
    l.Add(t);
    l.position = pos;
    l.atom = true;
    return l;
  }

  // The variable of an arithmetic expression: a column, a power of a column or of a derived
  // expression, or a derived expression.
  TermList AtomFromExpr(const Expr& e) {
    if (e.kind == Expr::Kind::kColumn)
      return Atom(ColumnVariable(e.name, e.position), 1, e.position);
    if (e.kind == Expr::Kind::kPower && e.operands[1].kind == Expr::Kind::kNumber &&
        IsWholeNumber(e.operands[1].number, 1, kMaxPower)) {
      const int k = static_cast<int>(e.operands[1].number);
      const Expr& base = e.operands[0];
      if (base.kind == Expr::Kind::kColumn) {
        return Atom(ColumnVariable(base.name, base.position), k, e.position);
      }
      return Atom(DerivedVariable(base), k, e.position);
    }
    return Atom(DerivedVariable(e), 1, e.position);
  }

  int DerivedVariable(const Expr& e) {
    Variable v;
    v.kind = Variable::Kind::kDerived;
    v.expression = e;
    v.label = e.kind == Expr::Kind::kCall ? ExprText(e) : "I(" + ExprText(e) + ")";
    v.position = e.position;
    return AddVariable(std::move(v));
  }

  // --- term operations ---

  void CheckSize(const TermList& l, std::size_t pos) const {
    if (l.terms.size() > kMaxTerms) {
      throw FormulaError(
          pos, "the formula expands to more than " + std::to_string(kMaxTerms) + " terms");
    }
  }

  static void NoIntercept(const TermList& l) {
    if (l.intercept) {
      throw FormulaError(l.interceptPos,
                         "0 and 1 (the intercept) may only be added or removed in the sum at "
                         "the top of the formula");
    }
  }

  static TermList Plain(const TermList& l) {
    TermList r;
    r.terms = l.terms;
    r.keys = l.keys;
    r.position = l.position;
    return r;
  }

  TermList Interact(const TermList& a, const TermList& b, std::size_t pos) const {
    NoIntercept(a);
    NoIntercept(b);
    TermList r;
    r.position = a.position;
    for (const FormulaTerm& x : a.terms) {
      for (const FormulaTerm& y : b.terms) {
        FormulaTerm u = Union(x, y);
        u.position = x.position;
        r.Add(u);
        CheckSize(r, pos);
      }
    }
    return r;
  }

  TermList Cross(const TermList& a, const TermList& b, std::size_t pos) const {
    TermList r = Plain(a);
    for (const FormulaTerm& t : b.terms) r.Add(t);
    for (const FormulaTerm& t : Interact(a, b, pos).terms) r.Add(t);
    CheckSize(r, pos);
    return r;
  }

  // Every variable of a list in one term, at its deepest level.
  static FormulaTerm AllOf(const TermList& l) {
    FormulaTerm all;
    for (const FormulaTerm& t : l.terms) all = Union(all, t);
    return all;
  }

  // inner %in% outer: each inner term within all of outer's variables, which go one level
  // further out than the term's own.
  static TermList NestIn(const TermList& inner, const TermList& outer) {
    NoIntercept(outer);
    NoIntercept(inner);
    TermList r;
    r.position = inner.position;
    const FormulaTerm all = AllOf(outer);
    for (const FormulaTerm& t : inner.terms) {
      FormulaTerm u = Union(t, Shifted(all, MaxLevel(t) + 1));
      u.position = t.position;
      r.Add(u);
    }
    return r;
  }

  // outer/inner: outer, then inner %in% outer.
  TermList Nest(const TermList& outer, const TermList& inner, std::size_t pos) const {
    TermList r = Plain(outer);
    for (const FormulaTerm& t : NestIn(inner, outer).terms) r.Add(t);
    CheckSize(r, pos);
    return r;
  }

  void SetIntercept(TermList& l, const TermList& r, bool negate) const {
    if (r.intercept) {
      l.intercept = negate ? !*r.intercept : *r.intercept;
      l.interceptPos = r.interceptPos;
    }
  }

  TermList Remove(TermList l, const TermList& r) {
    for (const FormulaTerm& t : r.terms) {
      if (!l.Erase(t)) {
        fFormula.warnings.push_back("'- " + Label(t) +
                                    "' removes nothing: it is not a term of the model");
      }
    }
    SetIntercept(l, r, true);
    l.atom = l.parenthesised = false;
    return l;
  }

  // --- grammar: terms ---

  // sum := ['-'] product (('+' | '-') product)*
  TermList Sum() {
    Depth depth(*this);
    TermList acc;
    acc.position = Peek().pos;
    if (Peek().type == Tok::kMinus) {
      const std::size_t pos = Advance().pos;
      acc = Remove(TermList{}, Product());
      acc.position = pos;
    } else {
      acc = Product();
    }
    while (Peek().type == Tok::kPlus || Peek().type == Tok::kMinus) {
      const Token op = Advance();
      const TermList r = Product();
      if (op.type == Tok::kPlus) {
        for (const FormulaTerm& t : r.terms) acc.Add(t);
        SetIntercept(acc, r, false);
        acc.atom = acc.parenthesised = false;
        CheckSize(acc, op.pos);
      } else {
        acc = Remove(acc, r);
      }
    }
    return acc;
  }

  // product := within (('*' | '/') within)*
  TermList Product() {
    TermList acc = Within();
    while (Peek().type == Tok::kStar || Peek().type == Tok::kSlash) {
      const Token op = Advance();
      const TermList r = Within();
      acc = op.type == Tok::kStar ? Cross(acc, r, op.pos) : Nest(acc, r, op.pos);
    }
    return acc;
  }

  // within := colon ('%in%' colon)*
  TermList Within() {
    TermList acc = Colon();
    while (Peek().type == Tok::kIn) {
      Advance();
      acc = NestIn(acc, Colon());
    }
    return acc;
  }

  // colon := power (':' power)*
  TermList Colon() {
    TermList acc = Power();
    while (Peek().type == Tok::kColon) {
      const std::size_t pos = Advance().pos;
      acc = Interact(acc, Power(), pos);
    }
    return acc;
  }

  // power := primary [('^' | '**') whole number]
  TermList Power() {
    TermList base = Primary();
    if (Peek().type != Tok::kCaret) return base;
    const Token op = Advance();
    const Token k = Advance();
    if (k.type != Tok::kNumber || !IsWholeNumber(k.number, 1, kMaxPower)) {
      throw FormulaError(k.pos, "expected a whole number from 1 to " + std::to_string(kMaxPower) +
                                    " after '" + op.text + "' but found " + Describe(k) +
                                    " (other powers of a covariate: I(x^p))");
    }
    const int n = static_cast<int>(k.number);
    if (base.atom) {
      const TermPart& part = base.terms[0].parts[0];
      const Variable& v = fFormula.variables[static_cast<std::size_t>(part.variable)];
      if (v.kind == Variable::Kind::kFactor) {
        throw FormulaError(op.pos, v.label + " is a factor and cannot be raised to a power");
      }
      if (part.power * n > kMaxPower) {
        throw FormulaError(k.pos,
                           "powers above " + std::to_string(kMaxPower) + " are not supported");
      }
      return Atom(part.variable, part.power * n, base.position);
    }
    NoIntercept(base);
    if (base.parenthesised && base.terms.size() == 1 && base.terms[0].parts.size() == 1 && n > 1) {
      const std::string x = Label(base.terms[0]);
      const std::string power = x + "^" + k.text;
      fFormula.warnings.push_back("'(" + x + ")^" + k.text + "' is " + x +
                                  ": a power of a parenthesised sum expands interactions; write " +
                                  power + " or I(" + power + ") for a power of a covariate");
    }
    TermList r = Plain(base);
    for (int i = 1; i < n; ++i) r = Cross(r, base, op.pos);
    return r;
  }

  TermList Primary() {
    const Token& t = Peek();
    switch (t.type) {
      case Tok::kName:
        if (Peek(1).type == Tok::kLParen) return Call();
        Advance();
        return Atom(ColumnVariable(t.text, t.pos), 1, t.pos);
      case Tok::kQuotedName:
        Advance();
        return Atom(ColumnVariable(t.text, t.pos), 1, t.pos);
      case Tok::kNumber: {
        Advance();
        if (t.number != 0.0 && t.number != 1.0) {
          throw FormulaError(t.pos,
                             "a number stands in a formula only as 0 or 1 (the "
                             "intercept); use I() for arithmetic");
        }
        TermList l;
        l.intercept = t.number == 1.0;
        l.interceptPos = l.position = t.pos;
        return l;
      }
      case Tok::kDot:
        Advance();
        return Dot(t.pos);
      case Tok::kLParen: {
        const std::size_t open = Advance().pos;
        TermList l = Sum();
        Expect(Tok::kRParen, "')'", open);
        l.atom = false;
        l.parenthesised = true;
        l.position = open;
        return l;
      }
      default:
        throw FormulaError(t.pos,
                           "expected a term (a variable, 0, 1 or '(') but found " + Describe(t));
    }
  }

  TermList Call() {
    const Token& name = Peek();
    if (name.text == "C") return Factor();
    if (name.text == "I" || IsMathFunction(name.text)) {
      const Expr e = APrimary();
      return AtomFromExpr(e);
    }
    throw FormulaError(
        name.pos, "unknown function '" + name.text + "' (the formula knows " + kFunctionList + ")");
  }

  // C(column [, ref = level | level | Treatment([reference =] level)])
  TermList Factor() {
    const std::size_t at = Advance().pos;
    const std::size_t open = Advance().pos;
    const Token col = Advance();
    if ((col.type != Tok::kName && col.type != Tok::kQuotedName) ||
        (Peek().type != Tok::kComma && Peek().type != Tok::kRParen)) {
      throw FormulaError(col.pos, "C() takes a column name, not " + Describe(col));
    }
    Variable v;
    v.kind = Variable::Kind::kFactor;
    v.column = col.text;
    v.label = "C(" + QuoteName(col.text) + ")";
    v.position = at;
    if (Peek().type == Tok::kComma) {
      Advance();
      if (Peek().type == Tok::kName && Peek(1).type == Tok::kEquals &&
          (Peek().text == "ref" || Peek().text == "reference")) {
        Advance();
        Advance();
        Reference(v);
      } else if (Peek().type == Tok::kName && Peek().text == "Treatment" &&
                 Peek(1).type == Tok::kLParen) {
        Advance();
        const std::size_t inner = Advance().pos;
        if (Peek().type == Tok::kName && Peek().text == "reference" &&
            Peek(1).type == Tok::kEquals) {
          Advance();
          Advance();
        }
        Reference(v);
        Expect(Tok::kRParen, "')'", inner);
      } else {
        Reference(v);
      }
    }
    Expect(Tok::kRParen, "')' closing C(", open);
    return Atom(AddVariable(std::move(v)), 1, at);
  }

  void Reference(Variable& v) {
    const Token t = Peek();
    if (t.type == Tok::kString) {
      Advance();
      v.reference = t.text;
      return;
    }
    bool negative = false;
    if (t.type == Tok::kMinus && Peek(1).type == Tok::kNumber) {
      Advance();
      negative = true;
    }
    if (Peek().type == Tok::kNumber) {
      const Token n = Advance();
      v.reference = (negative ? "-" : "") + n.text;
      v.referenceIsNumber = true;
      v.referenceNumber = negative ? -n.number : n.number;
      return;
    }
    if (t.type == Tok::kName) {
      throw FormulaError(t.pos, "write the reference level in quotes: ref='" + t.text + "'");
    }
    throw FormulaError(t.pos,
                       "expected a reference level (a number or a quoted text) but "
                       "found " +
                           Describe(t));
  }

  // Every column of the list the response does not use.
  TermList Dot(std::size_t pos) {
    if (fpDotColumns == nullptr) {
      throw FormulaError(pos,
                         "'.' stands for the other columns, but no list of columns is "
                         "known here");
    }
    std::set<std::string> responseColumns;
    if (fFormula.response) {
      const Variable& r = fFormula.variables[static_cast<std::size_t>(fFormula.response->variable)];
      if (r.kind == Variable::Kind::kDerived) {
        std::vector<const Expr*> cols;
        CollectColumns(r.expression, cols);
        for (const Expr* c : cols) responseColumns.insert(c->name);
      } else {
        responseColumns.insert(r.column);
      }
    }
    TermList l;
    l.position = pos;
    for (const std::string& c : *fpDotColumns) {
      if (responseColumns.count(c)) continue;
      FormulaTerm t;
      t.parts.push_back(TermPart{ColumnVariable(c, pos), 1, 0});
      t.position = pos;
      l.Add(t);
    }
    return l;
  }

  // --- grammar: arithmetic ---

  static Expr Node(Expr::Kind kind, std::size_t pos, std::vector<Expr> operands) {
    Expr e;
    e.kind = kind;
    e.position = pos;
    e.operands = std::move(operands);
    return e;
  }

  // arith := aterm (('+' | '-') aterm)*
  Expr Arith() {
    Expr e = ATerm();
    while (Peek().type == Tok::kPlus || Peek().type == Tok::kMinus) {
      const Token op = Advance();
      Expr r = ATerm();
      const std::size_t pos = e.position;
      e = Node(op.type == Tok::kPlus ? Expr::Kind::kAdd : Expr::Kind::kSubtract, pos,
               {std::move(e), std::move(r)});
    }
    return e;
  }

  // aterm := aunary (('*' | '/') aunary)*
  Expr ATerm() {
    Expr e = AUnary();
    while (Peek().type == Tok::kStar || Peek().type == Tok::kSlash) {
      const Token op = Advance();
      Expr r = AUnary();
      const std::size_t pos = e.position;
      e = Node(op.type == Tok::kStar ? Expr::Kind::kMultiply : Expr::Kind::kDivide, pos,
               {std::move(e), std::move(r)});
    }
    return e;
  }

  // aunary := ('-' | '+') aunary | apower
  Expr AUnary() {
    Depth depth(*this);
    if (Peek().type == Tok::kMinus) {
      const std::size_t pos = Advance().pos;
      return Node(Expr::Kind::kNegate, pos, {AUnary()});
    }
    if (Peek().type == Tok::kPlus) {
      Advance();
      return AUnary();
    }
    return APower();
  }

  // apower := aprimary [('^' | '**') aunary]   (right-associative; -x^2 is -(x^2))
  Expr APower() {
    Expr b = APrimary();
    if (Peek().type != Tok::kCaret) return b;
    Advance();
    Expr x = AUnary();
    const std::size_t pos = b.position;
    return Node(Expr::Kind::kPower, pos, {std::move(b), std::move(x)});
  }

  Expr APrimary() {
    const Token t = Advance();
    switch (t.type) {
      case Tok::kNumber: {
        Expr e;
        e.kind = Expr::Kind::kNumber;
        e.number = t.number;
        e.position = t.pos;
        return e;
      }
      case Tok::kName:
        if (Peek().type == Tok::kLParen) return AFunction(t);
        [[fallthrough]];
      case Tok::kQuotedName: {
        Expr e;
        e.kind = Expr::Kind::kColumn;
        e.name = t.text;
        e.position = t.pos;
        return e;
      }
      case Tok::kLParen: {
        Expr e = Arith();
        Expect(Tok::kRParen, "')'", t.pos);
        e.position = t.pos;
        return e;
      }
      case Tok::kDot:
        throw FormulaError(t.pos, "'.' cannot be part of arithmetic");
      default:
        throw FormulaError(t.pos, "expected a number, a column or '(' but found " + Describe(t));
    }
  }

  Expr AFunction(const Token& name) {
    const std::size_t open = Advance().pos;
    if (name.text == "C") {
      throw FormulaError(name.pos, "C() makes a factor; it cannot be part of arithmetic");
    }
    const bool identity = name.text == "I";
    if (!identity && !IsMathFunction(name.text)) {
      throw FormulaError(name.pos, "unknown function '" + name.text + "' (the formula knows " +
                                       kFunctionList + ")");
    }
    if (Peek().type == Tok::kRParen) {
      throw FormulaError(Peek().pos, name.text + "() needs an argument");
    }
    Expr arg = Arith();
    if (Peek().type == Tok::kComma) {
      throw FormulaError(Peek().pos, name.text + "() takes one argument");
    }
    Expect(Tok::kRParen, "')'", open);
    if (identity) {
      arg.position = name.pos;
      return arg;
    }
    Expr e = Node(Expr::Kind::kCall, name.pos, {std::move(arg)});
    e.name = name.text;
    return e;
  }

  const std::vector<std::string>* fpDotColumns;
  std::vector<Token> fvTokens;
  std::size_t fNext = 0;
  int fDepth = 0;
  Formula fFormula;
};

// --- Effects lists --------------------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits [begin, end) of text at the separators outside backquotes; each piece's bounds.
std::vector<std::pair<std::size_t, std::size_t>> Split(const std::string& text, std::size_t begin,
                                                       std::size_t end, const char* separators) {
  std::vector<std::pair<std::size_t, std::size_t>> pieces;
  std::size_t start = begin;
  for (std::size_t i = begin; i < end; ++i) {
    if (text[i] == '`') {
      std::size_t j = i;
      ReadQuoted(text, j, '`', "the backquoted name");
      i = j - 1;
    } else if (std::string(separators).find(text[i]) != std::string::npos) {
      pieces.emplace_back(start, i);
      start = i + 1;
    }
  }
  pieces.emplace_back(start, end);
  return pieces;
}

}  // namespace

// --- Public operations ----------------------------------------------------------------------

std::string ShowFormulaError(const std::string& text, const FormulaError& error) {
  const std::size_t pos = std::min(error.GetPosition(), text.size());
  // The line holding the position (a newline at the position ends that line).
  const std::size_t from = pos == 0 ? 0 : text.rfind('\n', pos - 1) + 1;  // npos + 1 = 0
  std::size_t to = text.find('\n', from);
  if (to == std::string::npos) to = text.size();
  std::string line = text.substr(from, to - from);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::string pad;
  for (std::size_t i = from; i < pos; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;  // a UTF-8 continuation byte
    pad += c == '\t' ? '\t' : ' ';
  }
  return line + "\n" + pad + "^ " + error.what();
}

TextInputError::TextInputError(const std::string& what, const std::string& text,
                               std::size_t position)
    : InputError(what) {
  std::string shown;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    shown += (u < 0x20 && c != '\t' && c != '\n') || u == 0x7f ? '?' : c;
  }
  // ShowFormulaError ends the caret line with the message; the message is ours to print.
  fPointer = ShowFormulaError(shown, FormulaError(position, ""));
  while (!fPointer.empty() && fPointer.back() == ' ') fPointer.pop_back();
}
TextInputError::~TextInputError() = default;

Formula ParseFormula(const std::string& text, const std::vector<std::string>* dotColumns) {
  return Parser(text, dotColumns).Parse();
}

Formula ParseEffects(const std::string& text) {
  Formula f;
  if (text.find_first_not_of(" \t") == std::string::npos) {
    throw FormulaError(0, "the effects list is empty");
  }
  std::set<Key> seen;
  for (const auto& [tb, te] : Split(text, 0, text.size(), ",")) {
    FormulaTerm term;
    term.position = tb;
    const std::string termText = text.substr(tb, te - tb);
    std::string label;
    for (const auto& [nb, ne] : Split(text, tb, te, "*:")) {
      std::size_t b = nb;
      std::size_t e = ne;
      while (b < e && IsBlank(text[b])) ++b;
      while (e > b && IsBlank(text[e - 1])) --e;
      if (b == e) {
        if (termText.find_first_not_of(" \t") == std::string::npos) {
          throw FormulaError(tb, "empty term in the effects list");
        }
        throw FormulaError(b, "term '" + termText + "' has an empty name");
      }
      std::string name = text.substr(b, e - b);
      if (name[0] == '`') {
        std::size_t j = b;
        name = ReadQuoted(text, j, '`', "the backquoted name");
        if (j != e) throw FormulaError(j, "unexpected text after the backquoted name");
        if (name.empty()) throw FormulaError(b, "empty backquoted name");
      }
      label += (label.empty() ? "" : "*") + name;
      int index = -1;
      for (std::size_t v = 0; v < f.variables.size(); ++v) {
        if (f.variables[v].column == name) index = static_cast<int>(v);
      }
      if (index < 0) {
        Variable v;
        v.column = v.label = name;
        v.position = b;
        f.variables.push_back(v);
        index = static_cast<int>(f.variables.size() - 1);
      }
      auto it = std::find_if(term.parts.begin(), term.parts.end(),
                             [&](const TermPart& p) { return p.variable == index; });
      if (it == term.parts.end()) {
        term.parts.push_back(TermPart{index, 1, 0});
      } else {
        ++it->power;
      }
    }
    std::sort(term.parts.begin(), term.parts.end(), PartLess);
    if (!seen.insert(KeyOf(term)).second) {
      throw FormulaError(text.find_first_not_of(" \t", tb), "term '" + label + "' is given twice");
    }
    term.label = label;
    f.terms.push_back(term);
  }
  return f;
}

EffectPlan PlanEffects(const Formula& formula,
                       const std::function<ColumnType(const std::string&)>& columnType) {
  const auto variable = [&](int i) -> const Variable& {
    return formula.variables[static_cast<std::size_t>(i)];
  };
  // The columns a variable reads, each with the place it was written.
  const auto columnsOf = [&](const Variable& v) {
    std::vector<std::pair<std::string, std::size_t>> cols;
    if (v.kind == Variable::Kind::kDerived) {
      std::vector<const Expr*> exprs;
      CollectColumns(v.expression, exprs);
      for (const Expr* c : exprs) cols.emplace_back(c->name, c->position);
    } else {
      cols.emplace_back(v.column, v.position);
    }
    return cols;
  };
  const auto needColumn = [&](const std::string& name, std::size_t pos) {
    const ColumnType t = columnType(name);
    if (t == ColumnType::kAbsent) throw FormulaError(pos, "unknown column '" + name + "'");
    return t;
  };
  const auto needNumbers = [&](const Variable& v) {
    for (const auto& [name, pos] : columnsOf(v)) {
      if (needColumn(name, pos) == ColumnType::kText) {
        throw FormulaError(
            pos, v.label + ": column '" + name + "' holds text; arithmetic needs numbers");
      }
    }
  };

  std::set<std::string> responseColumns;
  if (formula.response) {
    const Variable& r = variable(formula.response->variable);
    if (r.kind == Variable::Kind::kDerived) {
      needNumbers(r);
    } else {
      needColumn(r.column, r.position);
    }
    for (const auto& c : columnsOf(r)) responseColumns.insert(c.first);
  }

  // Each variable becomes a model factor (keyed by its column) or a model covariate.
  struct Slot {
    bool factor = false;
    std::string key;
  };
  std::vector<Slot> slots(formula.variables.size());
  for (const FormulaTerm& term : formula.terms) {
    for (const TermPart& p : term.parts) {
      const Variable& v = variable(p.variable);
      Slot& s = slots[static_cast<std::size_t>(p.variable)];
      if (!s.key.empty()) continue;
      for (const auto& [name, pos] : columnsOf(v)) {
        if (responseColumns.count(name)) {
          // A variable first written as the response is pointed at in the term.
          throw FormulaError(
              pos < formula.termsPosition ? term.position : pos,
              "the response's column '" + name + "' is also in the term '" + term.label + "'");
        }
      }
      switch (v.kind) {
        case Variable::Kind::kColumn:
          s.factor = needColumn(v.column, v.position) == ColumnType::kText;
          s.key = (s.factor ? "f:" : "c:") + v.column;
          break;
        case Variable::Kind::kFactor:
          needColumn(v.column, v.position);
          s.factor = true;
          s.key = "f:" + v.column;
          break;
        case Variable::Kind::kDerived:
          needNumbers(v);
          s.key = "d:" + v.label;
          break;
      }
    }
  }

  EffectPlan plan;
  plan.intercept = formula.intercept;
  std::map<std::string, int> local;  // slot key -> index in plan.factors / plan.covariates
  std::map<std::pair<std::vector<int>, std::vector<std::array<int, 2>>>, std::string> effects;
  for (const FormulaTerm& term : formula.terms) {
    PlannedEffect e;
    e.label = term.label;
    e.position = term.position;
    int minFactorLevel = kMaxDepth * 2;
    int maxCovariateLevel = -1;
    std::vector<int> factorLevels;
    for (const TermPart& p : term.parts) {
      const Slot& s = slots[static_cast<std::size_t>(p.variable)];
      const Variable& v = variable(p.variable);
      std::vector<int>& list = s.factor ? plan.factors : plan.covariates;
      auto [it, added] = local.emplace(s.key, static_cast<int>(list.size()));
      if (added) {
        list.push_back(p.variable);
      } else if (s.factor && v.kind == Variable::Kind::kFactor) {
        list[static_cast<std::size_t>(it->second)] = p.variable;  // C() carries the reference
      }
      if (s.factor) {
        if (p.power > 1) {
          throw FormulaError(term.position, "term '" + term.label + "': '" + v.label +
                                                "' is a factor and cannot be raised to a power");
        }
        for (const auto& f : e.factors) {
          if (f[0] == it->second) {
            throw FormulaError(term.position, "term '" + term.label + "': factor '" + v.column +
                                                  "' appears twice");
          }
        }
        e.factors.push_back({it->second, p.nestLevel});
        minFactorLevel = std::min(minFactorLevel, p.nestLevel);
        factorLevels.push_back(p.nestLevel);
      } else {
        auto c = std::find_if(e.covariates.begin(), e.covariates.end(),
                              [&](const std::array<int, 2>& x) { return x[0] == it->second; });
        if (c == e.covariates.end()) {
          e.covariates.push_back({it->second, p.power});
        } else {
          (*c)[1] += p.power;
        }
        maxCovariateLevel = std::max(maxCovariateLevel, p.nestLevel);
      }
    }
    // Nesting levels made dense (0, 1, ...) among the factors.
    std::sort(factorLevels.begin(), factorLevels.end());
    factorLevels.erase(std::unique(factorLevels.begin(), factorLevels.end()), factorLevels.end());
    for (auto& f : e.factors) {
      f[1] = static_cast<int>(std::lower_bound(factorLevels.begin(), factorLevels.end(), f[1]) -
                              factorLevels.begin());
    }
    e.factorsInParens =
        !e.factors.empty() && !e.covariates.empty() && maxCovariateLevel < minFactorLevel;
    std::vector<int> fs;
    for (const auto& f : e.factors) fs.push_back(f[0]);
    std::sort(fs.begin(), fs.end());
    std::vector<std::array<int, 2>> cs = e.covariates;
    std::sort(cs.begin(), cs.end());
    const auto [prior, fresh] = effects.emplace(std::make_pair(fs, cs), term.label);
    if (!fresh) {
      throw FormulaError(term.position, "term '" + term.label + "' gives the same effect as '" +
                                            prior->second + "'");
    }
    plan.effects.push_back(e);
  }
  if (!plan.intercept && plan.effects.empty()) {
    throw FormulaError(formula.termsPosition, "the model has neither an intercept nor a term");
  }
  return plan;
}

std::vector<MCModelEffect> MakeModelEffects(const EffectPlan& plan,
                                            const std::vector<int>* positions) {
  const int nf = static_cast<int>(plan.factors.size());
  const int nc = static_cast<int>(plan.covariates.size());
  if (positions == nullptr || positions->size() != plan.factors.size() + plan.covariates.size()) {
    throw std::invalid_argument(
        "MakeModelEffects: one record position per factor and "
        "covariate is needed");
  }
  std::vector<MCModelEffect> effects;
  for (const PlannedEffect& planned : plan.effects) {
    MCModelEffect e(nf, nc, positions);
    // Outermost factors first; each deeper level is added nested, pushing the others out.
    std::vector<std::array<int, 2>> fs = planned.factors;
    std::stable_sort(
        fs.begin(), fs.end(),
        [](const std::array<int, 2>& a, const std::array<int, 2>& b) { return a[1] > b[1]; });
    for (std::size_t i = 0; i < fs.size(); ++i) {
      const bool nested = i > 0 && fs[i][1] != fs[i - 1][1];
      e.AddNewFactor((*positions)[static_cast<std::size_t>(fs[i][0])], nested);
    }
    for (const auto& c : planned.covariates) {
      for (int k = 0; k < c[1]; ++k) {
        e.AddCovariate((*positions)[static_cast<std::size_t>(nf + c[0])]);
      }
    }
    e.SetFactorsInParens(planned.factorsInParens);
    effects.push_back(e);
  }
  return effects;
}

}  // namespace MCFrontEnd

#include "XMLObj.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "MCMV.h"
#include "XMLElement.h"
#include "mcxml/XMLText.h"

namespace MCCommonXML {

namespace {

constexpr std::size_t kMaxStreamLine = XMLObj::kMaxLineLength;

// Delimiters of the first token of the opening lines, of the object and value lines, and
// of the end line.
constexpr const char kHeadDelims[] = " \t\r\n<>=\"";
constexpr const char kTagDelims[] = " \t\r\n<=\"";
constexpr const char kEndDelims[] = " \t\r\n<>";
constexpr const char kValueDelims[] = "=\"";

// One line without its LF or CRLF end, or false on a stream error or at the end of the
// stream. A line longer than kMaxStreamLine fails the stream as soon as the limit is passed,
// so no more than the limit is ever held.
bool ReadLine(std::istream& is, std::string& line) {
  const std::istream::sentry ok(is, true);
  if (!ok) return false;
  std::streambuf* in = is.rdbuf();
  std::string read;
  bool any = false;
  for (;;) {
    const std::char_traits<char>::int_type c = in->sbumpc();
    if (std::char_traits<char>::eq_int_type(c, std::char_traits<char>::eof())) {
      is.setstate(any ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
      break;
    }
    any = true;
    if (std::char_traits<char>::to_char_type(c) == '\n') break;
    // One more than the limit: room for the CR of a CRLF end.
    if (read.size() > kMaxStreamLine) {
      is.setstate(std::ios::failbit);
      return false;
    }
    read.push_back(std::char_traits<char>::to_char_type(c));
  }
  if (!read.empty() && read.back() == '\r') read.pop_back();
  if (read.size() > kMaxStreamLine) {
    is.setstate(std::ios::failbit);
    return false;
  }
  if (!any) return false;
  line.swap(read);
  return true;
}

// Splits a line the way strtok does: leading delimiters are skipped, a token ends at the
// next delimiter, and that one delimiter is consumed.
class Tokenizer {
 public:
  explicit Tokenizer(const std::string& line) : fLine(line) {}

  bool Next(const char* delims, std::string& token) {
    const std::size_t start = fLine.find_first_not_of(delims, fPos);
    if (start == std::string::npos) {
      fPos = fLine.size();
      return false;
    }
    std::size_t end = fLine.find_first_of(delims, start);
    if (end == std::string::npos) end = fLine.size();
    token = fLine.substr(start, end - start);
    fPos = end < fLine.size() ? end + 1 : end;
    return true;
  }

  // The text of a quoted value: one opening double quote is skipped, then everything up to
  // the next double quote, CR or line end. An empty value gives the empty string.
  std::string Quoted() {
    if (fPos < fLine.size() && fLine[fPos] == '"') ++fPos;
    std::size_t end = fLine.find_first_of("\"\r\n", fPos);
    if (end == std::string::npos) end = fLine.size();
    std::string text = fLine.substr(fPos, end - fPos);
    fPos = end < fLine.size() ? end + 1 : end;
    return text;
  }

 private:
  const std::string& fLine;
  std::size_t fPos = 0;
};

bool FirstTokenIs(const std::string& line, const char* delims, const char* expected) {
  Tokenizer t(line);
  std::string token;
  return t.Next(delims, token) && token == expected;
}

// Reads a value line of the given kind; token receives the value text.
bool ReadValue(std::istream& is, const char* kind, bool quoted, std::string& token) {
  std::string line;
  if (!ReadLine(is, line)) return false;
  Tokenizer t(line);
  std::string word;
  if (!t.Next(kTagDelims, word) || word != kind) return false;
  if (!t.Next(kValueDelims, word) || word != kValueAttributeName) return false;
  if (quoted) {
    token = t.Quoted();
    return true;
  }
  return t.Next(kValueDelims, token);
}

// The integer at the start of text as atoi reads it (white space, sign, digits; the rest
// ignored), but without its undefined overflow: false when there are no digits or the
// number leaves the range of long long.
bool ParseInteger(const std::string& text, long long& v) {
  const char* s = text.c_str();
  while (std::isspace(static_cast<unsigned char>(*s))) ++s;
  const char* digits = (*s == '+' || *s == '-') ? s + 1 : s;
  if (!std::isdigit(static_cast<unsigned char>(*digits))) return false;
  errno = 0;
  const long long r = std::strtoll(s, nullptr, 10);
  if (errno == ERANGE) return false;
  v = r;
  return true;
}

bool ReadInteger(std::istream& is, long long lo, long long hi, long long& v) {
  std::string token;
  long long r = 0;
  if (!ReadValue(is, kIntElementName, false, token) || !ParseInteger(token, r)) return false;
  if (r < lo || r > hi) return false;
  v = r;
  return true;
}

// A line that the reader could not take back is not written: the stream fails instead, so
// the caller learns that what it wrote is incomplete.
int WriteLine(std::ostream& os, const std::string& line) {
  const std::size_t length = !line.empty() && line[0] == '\n' ? line.size() - 1 : line.size();
  if (length > kMaxStreamLine) {
    os.setstate(std::ios::failbit);
    return 0;
  }
  return Write(os, line);
}

// The double as a value: "Missing" for the system-missing value, "inf", "-inf" and "nan"
// for the values that are not finite, otherwise the text of format.
std::string DoubleText(double v, std::string (*format)(double)) {
  if (MCMV::IsMissing(v)) return kMissingText;
  if (!std::isfinite(v)) return internal::ExactNumberText(v);
  return format(v);
}

}  // namespace

XMLObj::XMLObj(const std::string& name, int tabs) : fName(name), fNTabs(tabs > 0 ? tabs : 0) {}

int XMLObj::StartObj(std::ostream& os) const {
  std::string line = "\n";
  line.append(static_cast<std::size_t>(fNTabs), '\t');
  line += '<';
  line += kObjElementName;
  line += ' ';
  line += internal::AttributeText(kObjAttributeName, fName);
  line += '>';
  return WriteLine(os, line);
}

int XMLObj::WriteValueLine(std::ostream& os, const char* kind, const std::string& value) const {
  std::string line = "\n";
  line.append(static_cast<std::size_t>(fNTabs) + 1, '\t');
  line += '<';
  line += kind;
  line += ' ';
  line += internal::AttributeText(kValueAttributeName, value);
  line += "/>";
  return WriteLine(os, line);
}

int XMLObj::WriteSubElement(std::ostream& os, int v) const {
  return WriteValueLine(os, kIntElementName, ReplaceSep(v));
}

int XMLObj::WriteSubElement(std::ostream& os, unsigned int v) const {
  return WriteValueLine(os, kIntElementName, ReplaceSep(v));
}

int XMLObj::WriteSubElement(std::ostream& os, bool v) const {
  return WriteValueLine(os, kIntElementName, v ? "1" : "0");
}

int XMLObj::WriteSubElement(std::ostream& os, long v) const {
  // Written as an integer rather than through a double: the same text wherever a double
  // holds the value exactly, and exact beyond 15 digits too.
  return WriteValueLine(os, kLongElementName, std::to_string(v));
}

int XMLObj::WriteSubElement(std::ostream& os, double v) const {
  return WriteValueLine(os, kDoubleElementName, DoubleText(v, &ReplaceSep));
}

int XMLObj::WriteExactSubElement(std::ostream& os, double v) const {
  return WriteValueLine(os, kDoubleElementName, DoubleText(v, &internal::ExactNumberText));
}

int XMLObj::WriteSubElement(std::ostream& os, const std::string& v) const {
  return WriteValueLine(os, kStringElementName, v);
}

int XMLObj::WriteSubElement(std::ostream& os, const char* v) const {
  return WriteSubElement(os, std::string(v != nullptr ? v : ""));
}

int XMLObj::EndObj(std::ostream& os) const {
  std::string line = "\n";
  line.append(static_cast<std::size_t>(fNTabs), '\t');
  line += "</";
  line += kObjElementName;
  line += '>';
  return Write(os, line);
}

int XMLObj::StartRoot(std::ostream& os, const std::string& copyright) {
  std::string line = "<";
  line += kRootElementName;
  line += ' ';
  line += internal::AttributeText(kRootAttributeName, copyright);
  line += '>';
  return WriteLine(os, line);
}

int XMLObj::WriteHeader(std::ostream& os, const std::string& copyright) {
  return StartRoot(os, copyright);
}

int XMLObj::EndRoot(std::ostream& os) {
  return Write(os, std::string("\n</") + kRootElementName + ">");
}

int XMLObj::EndHeader(std::ostream& os) { return EndRoot(os); }

bool XMLObj::ParseStartXML(std::istream& is) {
  static const char* const kFirstTokens[] = {"?xml", "!DOCTYPE", kRootElementName};
  std::string line;
  for (const char* expected : kFirstTokens) {
    if (!ReadLine(is, line) || !FirstTokenIs(line, kHeadDelims, expected)) return false;
  }
  return true;
}

bool XMLObj::ParseStartObj(std::istream& is, const std::string& name) {
  std::string line;
  if (!ReadLine(is, line)) return false;
  if (line.empty() && !ReadLine(is, line)) return false;
  Tokenizer t(line);
  std::string word;
  if (!t.Next(kTagDelims, word) || word != kObjElementName) return false;
  if (!t.Next(kTagDelims, word) || word != kObjAttributeName) return false;
  return t.Quoted() == name;
}

bool XMLObj::ParseValue(std::istream& is, int& v) {
  long long r = 0;
  if (!ReadInteger(is, INT_MIN, INT_MAX, r)) return false;
  v = static_cast<int>(r);
  return true;
}

bool XMLObj::ParseValue(std::istream& is, unsigned int& v) {
  // A negative value wraps as the C conversion of a signed int does.
  long long r = 0;
  if (!ReadInteger(is, INT_MIN, UINT_MAX, r)) return false;
  v = static_cast<unsigned int>(r);
  return true;
}

bool XMLObj::ParseValue(std::istream& is, bool& v) {
  long long r = 0;
  if (!ReadInteger(is, 0, 1, r)) return false;
  v = r == 1;
  return true;
}

bool XMLObj::ParseValue(std::istream& is, long& v) {
  std::string token;
  long long r = 0;
  if (!ReadValue(is, kLongElementName, false, token) || !ParseInteger(token, r)) return false;
  if (r < std::numeric_limits<long>::min() || r > std::numeric_limits<long>::max()) return false;
  v = static_cast<long>(r);
  return true;
}

bool XMLObj::ParseValue(std::istream& is, double& v) {
  std::string token;
  if (!ReadValue(is, kDoubleElementName, false, token)) return false;
  if (token == kMissingText) {
    v = MCMV::Missing();
    return true;
  }
  // The largest double, written with 15 digits, lies beyond the range and reads back as
  // the largest double.
  return internal::ParseNumberText(token, v);
}

bool XMLObj::ParseValue(std::istream& is, std::string& v) {
  std::string token;
  return ReadValue(is, kStringElementName, true, token) && internal::DecodeReferences(token, v);
}

bool XMLObj::ParseEndObj(std::istream& is) {
  std::string line;
  if (!ReadLine(is, line)) return false;
  return FirstTokenIs(line, kEndDelims, "/Obj");
}

}  // namespace MCCommonXML

#include "mcxml/XMLText.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace MCCommonXML {
namespace internal {

namespace {

// Replaces every non-overlapping occurrence of from, scanning left to right.
void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  std::size_t pos = 0;
  while ((pos = s.find(from, pos)) != std::string::npos) {
    s.replace(pos, from.size(), to);
    pos += to.size();
  }
}

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined map to the
// C1 control of the same value, as the Windows converter does.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// Length of the well-formed UTF-8 sequence at s[i], or 0 when there is none: no overlong
// forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceLength(const std::string& s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return 1;
  std::size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s.size() - i < len) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < len; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return len;
}

bool IsValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = Utf8SequenceLength(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

// The code point of a well-formed sequence of len bytes at s[i].
uint32_t DecodeUtf8(const std::string& s, std::size_t i, std::size_t len) {
  static const unsigned char kLeadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  uint32_t cp = static_cast<unsigned char>(s[i]) & kLeadMask[len];
  for (std::size_t k = 1; k < len; ++k) {
    cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  }
  return cp;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsXmlChar(uint32_t cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  return cp <= 0xD7FF || (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// One numeric reference body ("#65", "#x41") as a code point; false when malformed or out of
// the code point range.
bool ParseCharReference(const std::string& body, uint32_t& cp) {
  if (body.size() < 2 || body[0] != '#') return false;
  const bool hex = body[1] == 'x';
  const char* first = body.data() + (hex ? 2 : 1);
  const char* last = body.data() + body.size();
  if (first == last) return false;
  uint32_t value = 0;
  const std::from_chars_result r = std::from_chars(first, last, value, hex ? 16 : 10);
  if (r.ec != std::errc() || r.ptr != last) return false;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  cp = value;
  return true;
}

// strtod in the classic locale, whatever the process's locale is.
double StrtodClassic(const char* text) {
  static const locale_t classic = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text, nullptr, classic);
}

}  // namespace

std::string EscapeAttribute(const std::string& value) {
  std::string s = value;
  ReplaceAll(s, "&", "&amp;");
  ReplaceAll(s, "<", "&lt;");
  ReplaceAll(s, ">", "&gt;");
  ReplaceAll(s, "\"", "&quot;");
  ReplaceAll(s, "\t", "&#9;");
  ReplaceAll(s, "\n", "&#10;");
  ReplaceAll(s, "\r", "&#13;");
  ReplaceAll(s, "  ", " &#32;");
  if (!s.empty() && s.front() == ' ') s.replace(0, 1, "&#32;");
  if (!s.empty() && s.back() == ' ') s.replace(s.size() - 1, 1, "&#32;");
  return s;
}

std::string AttributeText(const std::string& name, const std::string& value) {
  std::string out = name;
  out += "=\"";
  out += EscapeAttribute(value);
  out += '"';
  return out;
}

bool IsXmlText(const std::string& text) {
  if (IsValidUtf8(text)) {
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t len = Utf8SequenceLength(text, i);
      if (!IsXmlChar(DecodeUtf8(text, i, len))) return false;
      i += len;
    }
    return true;
  }
  // Windows-1252: only the C0 controls fall outside XML's characters.
  for (char c : text) {
    if (!IsXmlChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string TrimXmlSpace(const std::string& text) {
  const char* const kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kSpace) + 1 - first);
}

std::string ExactNumberText(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char buffer[32];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, r.ptr);
}

bool ParseNumberText(const std::string& text, double& v) {
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes no '+', but a '+' before a number is common enough to accept.
  if (first != last && *first == '+' && first + 1 != last && first[1] != '-' && first[1] != '+') {
    ++first;
  }
  double value = 0.0;
  const std::from_chars_result r = std::from_chars(first, last, value);
  if (r.ptr != last || first == last) return false;
  if (r.ec == std::errc::result_out_of_range) {
    // The syntax is a plain decimal number; strtod tells an overflow (infinity) from an
    // underflow (zero or the nearest subnormal).
    const double rounded = StrtodClassic(std::string(first, last).c_str());
    constexpr double kMax = std::numeric_limits<double>::max();
    value = std::isinf(rounded) ? std::copysign(kMax, rounded) : rounded;
  } else if (r.ec != std::errc()) {
    return false;
  }
  v = value;
  return true;
}

bool DecodeReferences(const std::string& text, std::string& out) {
  static const struct {
    const char* name;
    char c;
  } kPredefined[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      decoded.push_back(text[i++]);
      continue;
    }
    const std::size_t end = text.find(';', i + 1);
    if (end == std::string::npos) return false;
    const std::string body = text.substr(i + 1, end - i - 1);
    bool known = false;
    for (const auto& p : kPredefined) {
      if (body == p.name) {
        decoded.push_back(p.c);
        known = true;
        break;
      }
    }
    if (!known) {
      uint32_t cp = 0;
      if (!ParseCharReference(body, cp)) return false;
      AppendUtf8(decoded, cp);
    }
    i = end + 1;
  }
  out.swap(decoded);
  return true;
}

std::string ToUtf8(const std::string& text) {
  if (IsValidUtf8(text)) return text;
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    const uint32_t cp = (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b;
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace internal
}  // namespace MCCommonXML

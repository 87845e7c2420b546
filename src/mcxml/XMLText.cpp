#include "mcxml/XMLText.h"

#include <cstddef>
#include <cstdint>

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

// Code points below U+10000 only: every Windows-1252 character lies there.
void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
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

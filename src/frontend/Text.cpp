#include "Text.h"

#include <charconv>
#include <cmath>
#include <sstream>

#include "XMLElement.h"
#include "fast_float/fast_float.h"

namespace MCFrontEnd {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  // Most fields have no blanks around them.
  if (text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()))) return text;
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

bool ParseNumber(std::string_view text, double& value) {
  text = TrimBlanks(text);
  const char* first = text.data();
  const char* last = first + text.size();
  // Only digits, a point or a minus may start a number (fast_float would read "inf" and
  // "nan" too); after a plus only digits or a point.
  const bool plus = first != last && *first == '+';
  if (plus) ++first;
  if (first == last) return false;
  const char c = *first;
  if (!((c >= '0' && c <= '9') || c == '.' || (c == '-' && !plus))) return false;
  double v = 0.0;
  const auto result = fast_float::from_chars(first, last, v);
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool IsMissingText(std::string_view text) {
  switch (text.size()) {
    case 0:
      return true;
    case 2:
      return text == "NA";
    case 3:
      return text == "NaN" || text == "nan" || text == "Inf" || text == "inf";
    case 4:
      return text == "-Inf" || text == "-inf";
    default:
      return false;
  }
}

std::string ToUtf8(const std::string& text) {
  std::ostringstream out;
  MCCommonXML::WriteUTF(out, text);
  return out.str();
}

std::string CategoryNumberText(double value) { return MCCommonXML::ReplaceSep(value); }

std::string ShortestText(double value) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",;\t\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  for (const char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return width;
}

std::string Shorten(const std::string& text, std::size_t width) {
  if (DisplayWidth(text) <= width || width == 0) return text;
  // Keep width - 1 characters, then the ellipsis.
  std::size_t kept = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && kept++ == width - 1) break;
    ++at;
  }
  return text.substr(0, at) + "\xE2\x80\xA6";  // U+2026
}

}  // namespace MCFrontEnd

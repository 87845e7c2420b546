#include "frontend/Errors.h"

#include <algorithm>
#include <cctype>
#include <cstdio>


namespace MCFrontEnd {

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7f) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    }
  }
  return out;
}

InputError::InputError(const std::string& what) : std::runtime_error(Printable(what)) {}
InputError::~InputError() = default;

namespace {

// Edit distance with adjacent letters swapped as one edit, case ignored.
std::size_t Distance(const std::string& a, const std::string& b) {
  const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1, 0));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) &&
          lower(a[i - 2]) == lower(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[n][m];
}

}  // namespace

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  // A slip: at most a third of the word's letters (and at least one), never the whole word.
  const std::size_t limit = std::max<std::size_t>(1, word.size() / 3);
  std::size_t best = limit + 1;
  std::vector<std::string> closest;
  for (const std::string& c : candidates) {
    if (c == word || c.empty() || c.size() > 256 || word.size() > 256) continue;
    const std::size_t d = Distance(word, c);
    if (d >= std::max(word.size(), c.size())) continue;
    if (d < best) {
      best = d;
      closest.clear();
    }
    if (d == best && closest.size() < 3) closest.push_back(c);
  }
  if (closest.empty()) return std::string();
  std::string text = " (did you mean ";
  for (std::size_t k = 0; k < closest.size(); ++k) {
    text += (k == 0 ? "" : k + 1 == closest.size() ? " or " : ", ") + ("'" + closest[k] + "'");
  }
  return text + "?)";
}

FitError::FitError(const std::string& what) : std::runtime_error(what) {}
FitError::~FitError() = default;

Cancelled::Cancelled() : std::runtime_error("cancelled") {}
Cancelled::~Cancelled() = default;

}  // namespace MCFrontEnd

#include "frontend/Errors.h"

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

FitError::FitError(const std::string& what) : std::runtime_error(what) {}
FitError::~FitError() = default;

Cancelled::Cancelled() : std::runtime_error("cancelled") {}
Cancelled::~Cancelled() = default;

}  // namespace MCFrontEnd

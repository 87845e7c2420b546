#include "MCComponentDisplay.h"

#include <cstdio>
#include <ctime>
#include <iostream>

#include "MCMV.h"

namespace MCCommon {

namespace {

// Not owned; standard output until the host sets another stream.
std::ostream* gOutStream = &std::cout;

// Elements per line in the wrapped layout of flat lists.
constexpr int kPerLine = 10;

// printf-style formatting of one or two numbers (classic C formats).
template <typename... Args>
std::string Fmt(const char* format, Args... args) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, format, args...);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, static_cast<size_t>(n));
  std::string s(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(&s[0], s.size(), format, args...);
  s.resize(static_cast<size_t>(n));
  return s;
}

// "%g", or "miss" for the system-missing value.
std::string G(double x) { return MCMV::IsMissing(x) ? std::string("miss") : Fmt("%g", x); }

// One line, with its line end before it.
void Line(const std::string& text) {
  static const long kOne = 1;
  MCComponentDisplay::DisplayText(kOne, text);
}

void Header(const std::string& label, size_t n) {
  Line(label + " (size =" + Fmt(" %d", static_cast<int>(n)) + ")");
}

// Concatenation of the formatted elements.
template <typename C, typename F>
std::string Joined(const C& values, F element) {
  std::string s;
  for (const auto& x : values) s += element(x);
  return s;
}

// Lines that start with a blank and hold up to kPerLine elements; a partly filled last
// line is written too.
template <typename C, typename F>
void Wrapped(const C& values, F element) {
  std::string line = " ";
  int onLine = 0;
  for (const auto& x : values) {
    line += element(x);
    if (++onLine == kPerLine) {
      Line(line);
      line = " ";
      onLine = 0;
    }
  }
  if (onLine > 0) Line(line);
}

// One line per row after the header; an empty list or row shows as " <none>".
template <typename R, typename F>
void Rows(const std::vector<R>& rows, F element) {
  if (rows.empty()) Line(" <none>");
  for (const auto& row : rows)
    Line(row.empty() ? std::string(" <none>") : " " + Joined(row, element));
}

std::string ElemD(double x) { return " " + G(x); }
std::string ElemI(int x) { return Fmt(" %d", x); }
std::string ElemB(bool x) { return x ? " t" : " f"; }
std::string ElemS(const std::string& s) { return " \"" + s + "\""; }

void MapEntries(const std::map<int, int>& values) {
  Wrapped(values,
          [](const std::pair<const int, int>& e) { return Fmt(" (%d,%d)", e.first, e.second); });
}

}  // namespace

void MCComponentDisplay::SetOutStream(std::ostream& out) { gOutStream = &out; }

std::ostream& MCComponentDisplay::GetOutStream() { return *gOutStream; }

void MCComponentDisplay::DisplayText(const long& nLineEnds, const char* text) {
  if (text == nullptr) return;
  std::ostream& out = *gOutStream;
  for (long i = 0; i < nLineEnds; ++i) out << '\n';
  out << text;
  out.flush();
}

void MCComponentDisplay::DisplayText(const long& nLineEnds, const std::string& text) {
  DisplayText(nLineEnds, text.c_str());
}

void MCComponentDisplay::DisplayB(const std::string& label, bool value) {
  Line(label + (value ? " = true" : " = false"));
}

void MCComponentDisplay::DisplayI(const std::string& label, int value) {
  Line(label + Fmt(" = %d", value));
}

void MCComponentDisplay::DisplayD(const std::string& label, double value) {
  Line(label + " = " + G(value));
}

void MCComponentDisplay::DisplayDF(const std::string& label, double value) {
  Line(label + (MCMV::IsMissing(value) ? std::string(" = miss") : Fmt(" = %.17g", value)));
}

void MCComponentDisplay::DisplayS(const std::string& label, const std::string& value) {
  Line(label + " = " + value);
}

void MCComponentDisplay::DisplayTimeStamp(const std::string& label) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  Line(label + ": " +
       Fmt("%d-%02d-%02d-%02d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
           local.tm_hour, local.tm_min, local.tm_sec));
}

void MCComponentDisplay::DisplayDV(const std::string& label, const std::vector<double>& values,
                                   bool onePerLine) {
  DisplayDA(label, values.data(), static_cast<int>(values.size()), onePerLine);
}

void MCComponentDisplay::DisplayDA(const std::string& label, const double* values, int n,
                                   bool onePerLine) {
  if (values == nullptr || n < 0) n = 0;
  const std::vector<double> v(values, values + n);
  Header(label, v.size());
  if (!onePerLine) return Wrapped(v, ElemD);
  for (double x : v) Line(MCMV::IsMissing(x) ? std::string(" miss") : Fmt("  = %.17g", x));
}

void MCComponentDisplay::DisplayIV(const std::string& label, const std::vector<int>& values) {
  Header(label, values.size());
  Wrapped(values, ElemI);
}

void MCComponentDisplay::DisplayUV(const std::string& label, const std::vector<unsigned>& values) {
  Header(label, values.size());
  Wrapped(values, [](unsigned x) { return Fmt(" %u", x); });
}

void MCComponentDisplay::DisplayBV(const std::string& label, const std::vector<bool>& values) {
  Header(label, values.size());
  Wrapped(values, ElemB);
}

void MCComponentDisplay::DisplaySV(const std::string& label,
                                   const std::vector<std::string>& values) {
  Header(label, values.size());
  Wrapped(values, ElemS);
}

void MCComponentDisplay::DisplayVPII(const std::string& label,
                                     const std::vector<std::pair<int, int>>& values) {
  Header(label, values.size());
  Wrapped(values, [](const std::pair<int, int>& p) { return Fmt("(%d,%d) ", p.first, p.second); });
}

void MCComponentDisplay::DisplayVPD(const std::string& label,
                                    const std::vector<std::pair<double, double>>& values) {
  Header(label, values.size());
  Wrapped(values, [](const std::pair<double, double>& p) {
    return "(" + G(p.first) + "," + G(p.second) + ") ";
  });
}

void MCComponentDisplay::DisplayVPDI(const std::string& label,
                                     const std::vector<std::pair<double, int>>& values) {
  Header(label, values.size());
  Wrapped(values, [](const std::pair<double, int>& p) {
    return "(" + G(p.first) + Fmt(",%d) ", p.second);
  });
}

void MCComponentDisplay::DisplayDVV(const std::string& label,
                                    const std::vector<std::vector<double>>& values) {
  Header(label, values.size());
  Rows(values, ElemD);
}

void MCComponentDisplay::DisplaySVV(const std::string& label,
                                    const std::vector<std::vector<std::string>>& values) {
  Header(label, values.size());
  Rows(values, ElemS);
}

void MCComponentDisplay::DisplayBVV(const std::string& label,
                                    const std::vector<std::vector<bool>>& values) {
  const int nCols = values.empty() ? 0 : static_cast<int>(values.front().size());
  Line(label + Fmt(" ( number of rows = %d", static_cast<int>(values.size())) +
       Fmt(", number of columns = %d", nCols) + " )");
  Rows(values, ElemB);
}

void MCComponentDisplay::DisplayDVTR(const std::string& label,
                                     const std::vector<std::vector<double>>& values) {
  Line(label);
  Line(Fmt("number of rows = %d", static_cast<int>(values.size())));
  for (size_t i = 0; i < values.size(); ++i) {
    std::string line = Fmt("row %d: ", static_cast<int>(i));
    for (size_t j = 0; j < values[i].size(); ++j) line += (j ? ", " : "") + G(values[i][j]);
    Line(line);
  }
}

void MCComponentDisplay::DisplayIIM(const std::string& label, const std::map<int, int>& values) {
  Line(label + Fmt(" (map size = %d)", static_cast<int>(values.size())));
  MapEntries(values);
}

void MCComponentDisplay::DisplayVIM(const std::string& label,
                                    const std::vector<std::map<int, int>>& values) {
  Header(label, values.size());
  for (const auto& m : values) {
    Line(Fmt(" (map size = %d)", static_cast<int>(m.size())));
    MapEntries(m);
  }
}

void MCComponentDisplay::DisplayIntVecDVecMap(
    const std::string& label, const std::map<std::vector<int>, std::vector<double>>& values) {
  Header(label, values.size());
  for (const auto& e : values) {
    Line(" Map key:" + Joined(e.first, ElemI));
    Line(" Map value:" + Joined(e.second, ElemD));
  }
}

void MCComponentDisplay::DisplayIntVecIntMap(const std::string& label,
                                             const std::map<std::vector<int>, int>& values) {
  Header(label, values.size());
  for (const auto& e : values) {
    Line(" Map key:" + Joined(e.first, ElemI));
    Line(" Map value:" + ElemI(e.second));
  }
}

void MCComponentDisplay::DisplaySLDM(const std::string& label,
                                     const std::map<std::vector<std::string>, double>& values) {
  Header(label, values.size());
  for (const auto& e : values) {
    Line(" Map's StringList:" + Joined(e.first, ElemS));
    Line(" Map's double = " + G(e.second));
  }
}

}  // namespace MCCommon

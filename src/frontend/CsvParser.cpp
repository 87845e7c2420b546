#include "CsvParser.h"

#include <cstring>
#include <set>

#include "Text.h"
#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
// Offsets are 32-bit: a record may not exceed this.
constexpr std::size_t kLongestRecord = std::size_t{1} << 31;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

CsvParser::CsvParser(std::unique_ptr<ByteReader> input, std::string source, char separator)
    : fpInput(std::move(input)), fSource(std::move(source)), fBuffer(kBlock) {
  Fill();
  // A UTF-8 byte order mark is not part of the first column's name.
  if (fEnd - fBegin >= 3 && std::memcmp(fBuffer.data() + fBegin, "\xEF\xBB\xBF", 3) == 0) {
    fBegin += 3;
  }
  fSeparator = separator != 0 ? separator : DetectSeparator();
  for (const char c : {fSeparator, '\n', '\r', '"'}) fStop[static_cast<unsigned char>(c)] = true;
  if (!Next()) throw InputError(fSource + ": no header line");
  std::set<std::string> seen;
  for (std::size_t j = 0; j < fvFields.size(); ++j) {
    const std::string_view raw = Text(j);
    std::string name(fvFields[j].quoted ? raw : TrimBlanks(raw));
    // R's write.csv and pandas' to_csv leave the name of the row index empty.
    if (name.empty() && !(j == 0 && fvFields.size() > 1)) {
      Fail(fRecordLine, "a column without a name");
    }
    if (!seen.insert(name).second) Fail(fRecordLine, "column '" + name + "' twice");
    fvNames.push_back(std::move(name));
  }
}

std::string CsvParser::Where() const { return fSource + ", line " + std::to_string(fRecordLine); }

void CsvParser::Fail(std::int64_t line, const std::string& what) const {
  throw InputError(fSource + ", line " + std::to_string(line) + ": " + what);
}

void CsvParser::Fill() {
  if (fbEof) return;
  const std::size_t kept = fEnd - fBegin;
  if (fBegin > 0) {
    std::memmove(fBuffer.data(), fBuffer.data() + fBegin, kept);
    fNext -= std::min(fNext, fBegin);
    fBegin = 0;
    fEnd = kept;
  }
  if (fEnd == fBuffer.size()) {
    if (fBuffer.size() >= kLongestRecord) Fail(fLine, "a record longer than 2 GiB");
    fBuffer.resize(fBuffer.size() * 2);
  }
  // The buffer is filled whole: a record is scanned again from its start after every fill.
  while (fEnd < fBuffer.size()) {
    const std::size_t got = fpInput->Read(fBuffer.data() + fEnd, fBuffer.size() - fEnd);
    if (got == 0) {
      fbEof = true;
      break;
    }
    fEnd += got;
  }
}

char CsvParser::DetectSeparator() {
  // Counts the candidates outside quotes on the first line that is not blank.
  for (;;) {
    std::size_t counts[3] = {0, 0, 0};
    bool quoted = false;
    bool content = false;
    std::size_t p = fBegin;
    for (; p < fEnd; ++p) {
      const char c = fBuffer[p];
      if (c == '"') quoted = !quoted;
      if (quoted) continue;
      if (c == '\n') {
        if (content) break;
        continue;
      }
      if (c == ',') ++counts[0];
      if (c == ';') ++counts[1];
      if (c == '\t') ++counts[2];
      if (!IsBlank(c) && c != '\r') content = true;
    }
    if (p == fEnd && !fbEof) {
      Fill();
      continue;
    }
    char best = ',';
    std::size_t most = counts[0];
    if (counts[1] > most) best = ';', most = counts[1];
    if (counts[2] > most) best = '\t';
    return best;
  }
}

bool CsvParser::Next() {
  for (;;) {
    if (!NextRecord()) return false;
    const bool blank = fvFields.size() == 1 && !fvFields[0].quoted && TrimBlanks(Text(0)).empty();
    if (blank) continue;
    if (!fvNames.empty() && fvFields.size() != fvNames.size()) {
      const std::size_t n = fvFields.size();
      Fail(fRecordLine, std::to_string(n) + (n == 1 ? " field" : " fields") +
                            " where the header has " + std::to_string(fvNames.size()));
    }
    return true;
  }
}

bool CsvParser::NextRecord() {
  for (;;) {
    if (fBegin == fEnd) {
      if (fbEof) return false;
      Fill();
      continue;
    }
    if (Scan()) break;
    Fill();
  }
  // Doubled quotes become one, in place: the text only shrinks.
  for (Span& f : fvFields) {
    if (!f.escaped) continue;
    char* text = fBuffer.data() + f.begin;
    std::uint32_t out = 0;
    for (std::uint32_t in = 0; in < f.length; ++in, ++out) {
      text[out] = text[in];
      if (text[in] == '"') ++in;
    }
    f.length = out;
  }
  fRecordLine = fLine;
  fBegin = fNext;
  fLine = fNextLine;
  return true;
}

bool CsvParser::Scan() {
  const char* buf = fBuffer.data();
  const bool* stop = fStop.data();
  const std::size_t end = fEnd;
  std::size_t p = fBegin;
  std::int64_t line = fLine;
  fvFields.clear();
  for (;;) {
    Span f;
    if (p < end && buf[p] == '"') {
      f.quoted = true;
      const std::int64_t openLine = line;
      f.begin = static_cast<std::uint32_t>(++p);
      for (;;) {
        const void* quote = std::memchr(buf + p, '"', end - p);
        const std::size_t q = quote ? static_cast<const char*>(quote) - buf : end;
        for (std::size_t k = p; k < q; ++k) line += buf[k] == '\n';
        p = q;
        if (p == end) {
          if (!fbEof) return false;
          Fail(openLine, "a quoted field is not closed");
        }
        if (p + 1 == end && !fbEof) return false;  // a closing quote, or the first of two?
        if (p + 1 < end && buf[p + 1] == '"') {
          f.escaped = true;
          p += 2;
          continue;
        }
        f.length = static_cast<std::uint32_t>(p - f.begin);
        ++p;
        break;
      }
      while (p < end && IsBlank(buf[p]) && buf[p] != fSeparator) ++p;
    } else {
      f.begin = static_cast<std::uint32_t>(p);
      for (;;) {
        while (p < end && !stop[static_cast<unsigned char>(buf[p])]) ++p;
        if (p == end) break;
        if (buf[p] == '"') Fail(line, "a quote inside an unquoted field");
        if (buf[p] == '\r' && p + 1 < end && buf[p + 1] != '\n') {
          ++p;  // a lone carriage return belongs to the field
          continue;
        }
        break;
      }
      f.length = static_cast<std::uint32_t>(p - f.begin);
    }
    if (p == end && !fbEof) return false;
    if (p - fBegin >= kLongestRecord) Fail(line, "a record longer than 2 GiB");
    fvFields.push_back(f);
    if (p == end) break;  // the last record has no line end
    const char c = buf[p];
    if (c == fSeparator) {
      ++p;
      continue;
    }
    if (c == '\n') {
      ++p;
      ++line;
      break;
    }
    if (c == '\r') {
      if (p + 1 == end && !fbEof) return false;
      if (p + 1 == end) {
        ++p;
        break;
      }
      if (buf[p + 1] == '\n') {
        p += 2;
        ++line;
        break;
      }
    }
    Fail(line, "unexpected character after a quoted field");
  }
  fNext = p;
  fNextLine = line;
  return true;
}

}  // namespace MCFrontEnd

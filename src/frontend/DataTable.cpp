#include "DataTable.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#include "MCMV.h"

namespace MCFrontEnd {

namespace {

// How often (in records) the readers ask whether the user cancelled.
constexpr std::size_t kCancelEvery = 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// One field as read: its text and whether it was quoted (a quoted field keeps its blanks).
struct Field {
  std::string text;
  bool quoted = false;
};

// Splits CSV text into records of fields, remembering the line each record starts on.
class CsvScanner {
 public:
  CsvScanner(const std::string& text, const std::string& source) : fText(text), fSource(source) {
    // A UTF-8 byte order mark is not part of the first column's name.
    if (fText.compare(0, 3, "\xEF\xBB\xBF") == 0) fPos = 3;
  }

  // The next non-blank record; false at the end of the text.
  bool NextRecord(std::vector<Field>& fields, long& startLine) {
    for (;;) {
      if (fPos >= fText.size()) return false;
      startLine = fLine;
      fields.clear();
      if (!ReadRecord(fields)) return false;
      const bool blank = fields.size() == 1 && !fields[0].quoted && Trim(fields[0].text).empty();
      if (!blank) return true;
    }
  }

 private:
  [[noreturn]] void Fail(long line, const std::string& what) const {
    throw InputError(fSource + ", line " + std::to_string(line) + ": " + what);
  }

  // True at a line end (LF, or CRLF); consumes it.
  bool AtLineEnd() {
    if (fText[fPos] == '\n') {
      ++fPos;
      ++fLine;
      return true;
    }
    if (fText[fPos] == '\r' && fPos + 1 < fText.size() && fText[fPos + 1] == '\n') {
      fPos += 2;
      ++fLine;
      return true;
    }
    if (fText[fPos] == '\r' && fPos + 1 == fText.size()) {
      ++fPos;
      return true;
    }
    return false;
  }

  bool ReadRecord(std::vector<Field>& fields) {
    for (;;) {
      Field field;
      if (fPos < fText.size() && fText[fPos] == '"') {
        ReadQuoted(field);
      } else {
        while (fPos < fText.size() && fText[fPos] != ',' && fText[fPos] != '\n' &&
               !(fText[fPos] == '\r' && (fPos + 1 == fText.size() || fText[fPos + 1] == '\n'))) {
          if (fText[fPos] == '"') Fail(fLine, "a quote inside an unquoted field");
          field.text += fText[fPos++];
        }
      }
      fields.push_back(std::move(field));
      if (fPos >= fText.size()) return true;
      if (fText[fPos] == ',') {
        ++fPos;
        continue;
      }
      if (AtLineEnd()) return true;
      Fail(fLine, "unexpected character after a quoted field");
    }
  }

  void ReadQuoted(Field& field) {
    const long openLine = fLine;
    field.quoted = true;
    ++fPos;
    for (;;) {
      if (fPos >= fText.size()) Fail(openLine, "a quoted field is not closed");
      const char c = fText[fPos];
      if (c == '"') {
        if (fPos + 1 < fText.size() && fText[fPos + 1] == '"') {
          field.text += '"';
          fPos += 2;
          continue;
        }
        ++fPos;
        // Blanks may follow the closing quote.
        while (fPos < fText.size() && IsBlank(fText[fPos])) ++fPos;
        return;
      }
      if (c == '\n') ++fLine;
      field.text += c;
      ++fPos;
    }
  }

  const std::string& fText;
  const std::string& fSource;
  std::size_t fPos = 0;
  long fLine = 1;
};

bool IsMissingField(const Field& f) {
  const std::string t = f.quoted ? f.text : Trim(f.text);
  return t.empty() || t == "NA";
}

// Makes a column numeric when every value present converts; otherwise keeps its text.
void SettleColumn(Column& column) {
  const std::size_t n = column.text.size();
  column.values.assign(n, MCMV::Missing());
  for (std::size_t i = 0; i < n; ++i) {
    if (column.missing[i]) continue;
    if (!ParseNumber(column.text[i], column.values[i])) {
      column.numeric = false;
      column.values.clear();
      return;
    }
  }
  column.numeric = true;
  column.text.clear();
  column.text.shrink_to_fit();
  column.missing.clear();
  column.missing.shrink_to_fit();
}

void CheckUniqueNames(const std::vector<std::string>& names, const std::string& where) {
  std::set<std::string> seen;
  for (const std::string& name : names) {
    if (name.empty()) throw InputError(where + ": a column without a name");
    if (!seen.insert(name).second) throw InputError(where + ": column '" + name + "' twice");
  }
}

}  // namespace

int DataTable::Find(const std::string& name) const {
  for (std::size_t j = 0; j < columns.size(); ++j) {
    if (columns[j].name == name) return static_cast<int>(j);
  }
  return -1;
}

std::string DataTable::Where(std::size_t row) const {
  if (!binary && row < lines.size()) return source + ", line " + std::to_string(lines[row]);
  return source + ", record " + std::to_string(row + 1);
}

std::string DataTable::NameList() const {
  std::string s;
  for (const Column& c : columns) s += (s.empty() ? "" : ", ") + c.name;
  return s;
}

bool ParseNumber(const std::string& text, double& value) {
  const std::string t = Trim(text);
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  double v = 0.0;
  const auto result = std::from_chars(first, last, v);
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(v)) return false;
  value = v;
  return true;
}

DataTable ParseCsv(const std::string& text, const std::string& source,
                   const CancelCheck& cancelled) {
  DataTable table;
  table.source = source;
  CsvScanner scanner(text, source);
  std::vector<Field> fields;
  long line = 0;
  if (!scanner.NextRecord(fields, line)) throw InputError(source + ": no header line");
  std::vector<std::string> names;
  for (const Field& f : fields) names.push_back(f.quoted ? f.text : Trim(f.text));
  CheckUniqueNames(names, source + ", line " + std::to_string(line));
  table.columns.resize(names.size());
  for (std::size_t j = 0; j < names.size(); ++j) table.columns[j].name = names[j];

  while (scanner.NextRecord(fields, line)) {
    if (fields.size() != names.size()) {
      throw InputError(source + ", line " + std::to_string(line) + ": " +
                       std::to_string(fields.size()) + " fields where the header has " +
                       std::to_string(names.size()));
    }
    for (std::size_t j = 0; j < fields.size(); ++j) {
      Column& column = table.columns[j];
      const bool missing = IsMissingField(fields[j]);
      column.missing.push_back(missing);
      column.text.push_back(missing ? std::string() : std::move(fields[j].text));
    }
    table.lines.push_back(line);
    if (cancelled && table.lines.size() % kCancelEvery == 0 && cancelled()) throw Cancelled();
  }
  table.nRows = table.lines.size();
  for (Column& column : table.columns) SettleColumn(column);
  return table;
}

DataTable ReadCsvFile(const std::string& path, const CancelCheck& cancelled) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot open the file");
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (cancelled && cancelled()) throw Cancelled();
  if (in.bad()) throw InputError(path + ": cannot read the file");
  return ParseCsv(buffer.str(), path, cancelled);
}

DataTable ReadBinaryFile(const std::string& path, const std::vector<std::string>& columns,
                         const CancelCheck& cancelled) {
  if (columns.empty()) throw InputError(path + ": a binary file needs --columns");
  CheckUniqueNames(columns, "--columns");
  DataTable table;
  table.source = path;
  table.binary = true;
  table.columns.resize(columns.size());
  for (std::size_t j = 0; j < columns.size(); ++j) table.columns[j].name = columns[j];

  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw InputError(path + ": cannot open the file");
  const std::size_t width = columns.size();
  std::vector<double> record(width);
  const std::size_t recordBytes = width * sizeof(double);
  for (;;) {
    // Counted in bytes: a tail shorter than one value is a truncated record too.
    const std::size_t got = std::fread(record.data(), 1, recordBytes, file);
    if (got == 0 && std::feof(file)) break;
    if (got < recordBytes) {
      const bool error = std::ferror(file) != 0;
      std::fclose(file);
      if (cancelled && cancelled()) throw Cancelled();
      throw InputError(path + ", record " + std::to_string(table.nRows + 1) +
                       (error ? ": read error"
                              : ": truncated record (" + std::to_string(width) +
                                    " values of 8 bytes expected)"));
    }
    for (std::size_t j = 0; j < width; ++j) table.columns[j].values.push_back(record[j]);
    ++table.nRows;
    if (cancelled && table.nRows % kCancelEvery == 0 && cancelled()) {
      std::fclose(file);
      throw Cancelled();
    }
  }
  std::fclose(file);
  if (cancelled && cancelled()) throw Cancelled();
  return table;
}

}  // namespace MCFrontEnd

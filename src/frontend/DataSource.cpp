#include "frontend/DataSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <set>

#include "ByteReader.h"
#include "CsvParser.h"
#include "MCMV.h"
#include "Spool.h"
#include "Text.h"
#include "frontend/Errors.h"

namespace MCFrontEnd {

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Records [first, first + count) clipped to what is left of n (n < 0: not known).
std::int64_t Count(const RecordRange& range) {
  return range.count < 0 ? INT64_MAX : range.count;
}

class CsvCursor : public RowCursor {
 public:
  CsvCursor(std::unique_ptr<CsvParser> parser, const std::vector<int>& columns,
            const RecordRange& range)
      : fpParser(std::move(parser)), fvColumns(columns), fLeft(Count(range)) {
    fvFields.resize(columns.size());
    for (std::int64_t skip = 0; skip < range.first; ++skip) {
      if (!fpParser->Next()) break;
    }
  }

  bool Next() override {
    if (fLeft <= 0 || !fpParser->Next()) return false;
    --fLeft;
    for (std::size_t k = 0; k < fvColumns.size(); ++k) {
      const std::size_t j = static_cast<std::size_t>(fvColumns[k]);
      const std::string_view text = fpParser->Text(j);
      Field& f = fvFields[k];
      const bool missing = IsMissingText(fpParser->Quoted(j) ? text : TrimBlanks(text));
      f.kind = missing ? Field::kMissing : Field::kText;
      f.text = text;
    }
    return true;
  }
  std::string Where() const override { return fpParser->Where(); }

 private:
  std::unique_ptr<CsvParser> fpParser;
  std::vector<int> fvColumns;
  std::int64_t fLeft;
};

class CsvSource : public DataSource {
 public:
  CsvSource(const std::string& path, char separator, const CancelCheck& cancelled)
      : fPath(path), fName(DisplayName(path)) {
    auto reader = ByteReader::Open(path);
    if (!reader->Rereadable()) {
      // Standard input or a pipe: its text goes into an unnamed temporary file first, so
      // that it can be read again (a formula's columns are learned to be numbers or text in
      // a first pass, which may have to start over).
      fCopy = CopyToTemporaryFile(*reader, cancelled);
      reader = ByteReader::FromDescriptor(fCopy, fName);
    }
    fpFirst = std::make_unique<CsvParser>(std::move(reader), fName, separator);
    fSeparator = fpFirst->Separator();
    fvNames = fpFirst->Names();
  }
  const std::string& Name() const override { return fName; }
  const std::vector<std::string>& ColumnNames() const override { return fvNames; }
  Passes PassCost() const override { return Passes::kParse; }
  Field::Kind FieldKind(int /*column*/) const override { return Field::kText; }
  std::unique_ptr<RowCursor> Open(const std::vector<int>& columns, RecordRange range) override {
    std::unique_ptr<CsvParser> parser;
    {
      const std::lock_guard<std::mutex> lock(fFirstLock);
      parser = std::move(fpFirst);
    }
    if (!parser) {
      parser = std::make_unique<CsvParser>(
          fCopy >= 0 ? ByteReader::FromDescriptor(fCopy, fName) : ByteReader::Open(fPath), fName,
          fSeparator);
    }
    return std::make_unique<CsvCursor>(std::move(parser), columns, range);
  }
  ~CsvSource() override {
    fpFirst.reset();
    if (fCopy >= 0) ::close(fCopy);
  }

 private:
  std::string fPath;
  std::string fName;
  int fCopy = -1;  // the temporary copy of a source read once, or -1
  char fSeparator = ',';
  std::vector<std::string> fvNames;
  std::unique_ptr<CsvParser> fpFirst;  // the parser that read the header, for the first pass
  std::mutex fFirstLock;                // passes may be opened from several threads
};

class BinaryCursor : public RowCursor {
 public:
  BinaryCursor(std::unique_ptr<ByteReader> reader, std::string name, std::size_t width,
               const std::vector<int>& columns, const RecordRange& range)
      : fpReader(std::move(reader)), fName(std::move(name)), fWidth(width), fvColumns(columns),
        fIndex(range.first - 1), fLeft(Count(range)) {
    fvFields.resize(columns.size());
    // About 1 MiB of whole records.
    fBuffer.resize(std::max<std::size_t>(1, (std::size_t{1} << 17) / width) * width);
    if (range.first > 0 &&
        !fpReader->Skip(static_cast<std::uint64_t>(range.first) * width * sizeof(double))) {
      throw InputError(fName + ": fewer than " + std::to_string(range.first) + " records");
    }
  }

  bool Next() override {
    if (fLeft <= 0) return false;
    if (fAt == fHave) {
      if (fbTruncated) {
        // Counted in bytes: a tail shorter than one value is a truncated record too.
        throw InputError(fName + ", record " + std::to_string(fIndex + 2) +
                         ": truncated record (" + std::to_string(fWidth) +
                         " values of 8 bytes expected)");
      }
      if (fbEnd) return false;
      Refill();
      if (fAt == fHave) return Next();
    }
    const double* record = fBuffer.data() + fAt;
    fAt += fWidth;
    ++fIndex;
    --fLeft;
    for (std::size_t k = 0; k < fvColumns.size(); ++k) {
      const double v = record[fvColumns[k]];
      Field& f = fvFields[k];
      f.kind = MCMV::IsMissing(v) ? Field::kMissing : Field::kNumber;
      f.number = v;
    }
    return true;
  }
  std::string Where() const override { return fName + ", record " + std::to_string(fIndex + 1); }

 private:
  // Reads the next block; a tail that is no whole record is reported once the whole records
  // before it are delivered.
  void Refill() {
    const std::size_t bytes = fBuffer.size() * sizeof(double);
    const std::size_t got = fpReader->Read(reinterpret_cast<char*>(fBuffer.data()), bytes);
    const std::size_t recordBytes = fWidth * sizeof(double);
    fAt = 0;
    fHave = got / recordBytes * fWidth;
    fbEnd = got < bytes;
    fbTruncated = got % recordBytes != 0;
  }

  std::unique_ptr<ByteReader> fpReader;
  std::string fName;
  std::size_t fWidth;
  std::vector<int> fvColumns;
  std::int64_t fIndex;
  std::int64_t fLeft;
  std::vector<double> fBuffer;
  std::size_t fAt = 0;
  std::size_t fHave = 0;
  bool fbEnd = false;
  bool fbTruncated = false;
};

class BinarySource : public DataSource {
 public:
  BinarySource(const std::string& path, const std::vector<std::string>& columns)
      : fPath(path), fName(DisplayName(path)), fvNames(columns) {
    if (columns.empty()) throw InputError(fName + ": a binary file needs --columns");
    std::set<std::string> seen;
    for (const std::string& name : columns) {
      if (name.empty()) throw InputError("--columns: a column without a name");
      if (!seen.insert(name).second) throw InputError("--columns: column '" + name + "' twice");
    }
    fpFirst = ByteReader::Open(path);
    fCost = !fpFirst->Rereadable()  ? Passes::kOnce
            : fpFirst->Compressed() ? Passes::kParse
                                    : Passes::kCheap;
  }
  const std::string& Name() const override { return fName; }
  const std::vector<std::string>& ColumnNames() const override { return fvNames; }
  Passes PassCost() const override { return fCost; }
  Field::Kind FieldKind(int /*column*/) const override { return Field::kNumber; }
  // Whole records of a plain file (a truncated tail is found by the pass that reaches it).
  std::int64_t RecordCount() const override {
    struct stat info {};
    if (fCost != Passes::kCheap || ::stat(fPath.c_str(), &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size) /
           static_cast<std::int64_t>(fvNames.size() * sizeof(double));
  }
  std::unique_ptr<RowCursor> Open(const std::vector<int>& columns, RecordRange range) override {
    std::unique_ptr<ByteReader> reader;
    {
      const std::lock_guard<std::mutex> lock(fFirstLock);
      reader = std::move(fpFirst);
    }
    if (!reader) {
      if (fCost == Passes::kOnce) throw InputError(fName + ": cannot be read a second time");
      reader = ByteReader::Open(fPath);
    }
    return std::make_unique<BinaryCursor>(std::move(reader), fName, fvNames.size(), columns,
                                          range);
  }

 private:
  std::string fPath;
  std::string fName;
  std::vector<std::string> fvNames;
  Passes fCost = Passes::kCheap;
  std::unique_ptr<ByteReader> fpFirst;  // opened to check the file, for the first pass
  std::mutex fFirstLock;                // passes may be opened from several threads
};

}  // namespace

RowCursor::~RowCursor() = default;
DataSource::~DataSource() = default;

const std::vector<std::string>& DataSource::Labels(int /*column*/) const {
  static const std::vector<std::string> kNone;
  return kNone;
}

std::int64_t DataSource::RecordCount() const { return -1; }

int DataSource::Find(const std::string& name) const {
  const std::vector<std::string>& names = ColumnNames();
  for (std::size_t j = 0; j < names.size(); ++j) {
    if (names[j] == name) return static_cast<int>(j);
  }
  return -1;
}

std::string DataSource::NameList() const {
  std::string s;
  for (const std::string& name : ColumnNames()) s += (s.empty() ? "" : ", ") + name;
  return s;
}

std::unique_ptr<DataSource> OpenDataFile(const std::string& path, const FileOptions& options) {
  if (!options.format.empty() && options.format != "bin" && options.format != "csv") {
    throw InputError("--format: unknown format '" + options.format + "'");
  }
  const bool binary = options.format == "bin" || (options.format.empty() && EndsWith(path, ".bin"));
  if (binary) return std::make_unique<BinarySource>(path, options.columns);
  if (!options.columns.empty()) {
    throw InputError("--columns is for binary record files (--format bin)");
  }
  return std::make_unique<CsvSource>(path, options.separator, options.cancelled);
}

// ColumnTable

struct ColumnTable::Column {
  const char* base = nullptr;
  std::ptrdiff_t stride = 0;
  int codeBytes = 0;  // 0: numeric
  std::vector<std::string> labels;
};

namespace {

class TableCursor : public RowCursor {
 public:
  TableCursor(const ColumnTable& table, std::vector<const ColumnTable::Column*> columns,
              std::vector<std::string> names, const RecordRange& range)
      : fTable(table), fvColumns(std::move(columns)), fvNames(std::move(names)),
        fIndex(range.first - 1),
        fLast(range.count < 0 ? table.RecordCount() : range.first + range.count) {
    fvFields.resize(fvColumns.size());
  }

  bool Next() override {
    if (fIndex + 1 >= fLast) return false;
    ++fIndex;
    for (std::size_t k = 0; k < fvColumns.size(); ++k) {
      const ColumnTable::Column& c = *fvColumns[k];
      const char* at = c.base + fIndex * c.stride;
      Field& f = fvFields[k];
      if (c.codeBytes == 0) {
        double v = 0.0;
        std::memcpy(&v, at, sizeof v);
        f.kind = std::isfinite(v) ? Field::kNumber : Field::kMissing;
        f.number = v;
        continue;
      }
      const std::int64_t code = Code(at, c.codeBytes);
      if (code >= static_cast<std::int64_t>(c.labels.size())) {
        throw InputError(Where() + ": column '" + fvNames[k] + "' holds the code " +
                         std::to_string(code) + " but has " + std::to_string(c.labels.size()) +
                         " labels");
      }
      f.kind = code < 0 ? Field::kMissing : Field::kLabel;
      f.label = code;
    }
    return true;
  }
  std::string Where() const override {
    return fTable.Name() + ", record " + std::to_string(fIndex + 1);
  }

 private:
  static std::int64_t Code(const char* at, int bytes) {
    switch (bytes) {
      case 1: {
        std::int8_t v;
        std::memcpy(&v, at, 1);
        return v;
      }
      case 2: {
        std::int16_t v;
        std::memcpy(&v, at, 2);
        return v;
      }
      case 4: {
        std::int32_t v;
        std::memcpy(&v, at, 4);
        return v;
      }
      default: {
        std::int64_t v;
        std::memcpy(&v, at, 8);
        return v;
      }
    }
  }

  const ColumnTable& fTable;
  std::vector<const ColumnTable::Column*> fvColumns;
  std::vector<std::string> fvNames;
  std::int64_t fIndex;
  std::int64_t fLast;
};

}  // namespace

ColumnTable::ColumnTable(std::string name, std::int64_t nRecords)
    : fName(std::move(name)), fNRecords(nRecords < 0 ? 0 : nRecords) {}

ColumnTable::~ColumnTable() = default;

void ColumnTable::AddColumn(const std::string& name) {
  if (name.empty()) throw InputError(fName + ": a column without a name");
  if (Find(name) >= 0) throw InputError(fName + ": column '" + name + "' twice");
  fvNames.push_back(name);
}

void ColumnTable::AddNumeric(const std::string& name, const double* values,
                             std::ptrdiff_t strideBytes) {
  AddColumn(name);
  auto column = std::make_unique<Column>();
  column->base = reinterpret_cast<const char*>(values);
  column->stride = strideBytes;
  fvColumns.push_back(std::move(column));
}

void ColumnTable::AddCategorical(const std::string& name, const void* codes, int codeBytes,
                                 std::ptrdiff_t strideBytes, std::vector<std::string> labels) {
  if (codeBytes != 1 && codeBytes != 2 && codeBytes != 4 && codeBytes != 8) {
    throw InputError(fName + ": column '" + name + "' has codes of " + std::to_string(codeBytes) +
                     " bytes (1, 2, 4 or 8 expected)");
  }
  AddColumn(name);
  auto column = std::make_unique<Column>();
  column->base = static_cast<const char*>(codes);
  column->stride = strideBytes;
  column->codeBytes = codeBytes;
  column->labels = std::move(labels);
  fvColumns.push_back(std::move(column));
}

Field::Kind ColumnTable::FieldKind(int column) const {
  const bool labels = column >= 0 && column < static_cast<int>(fvColumns.size()) &&
                      fvColumns[static_cast<std::size_t>(column)]->codeBytes > 0;
  return labels ? Field::kLabel : Field::kNumber;
}

const std::vector<std::string>& ColumnTable::Labels(int column) const {
  if (column >= 0 && column < static_cast<int>(fvColumns.size())) {
    return fvColumns[static_cast<std::size_t>(column)]->labels;
  }
  return DataSource::Labels(column);
}

std::unique_ptr<RowCursor> ColumnTable::Open(const std::vector<int>& columns, RecordRange range) {
  if (range.first < 0 || range.first > fNRecords ||
      (range.count >= 0 && range.first + range.count > fNRecords)) {
    throw InputError(fName + ": records " + std::to_string(range.first + 1) +
                     (range.count < 0 ? "" : " to " + std::to_string(range.first + range.count)) +
                     " are not in the table of " + std::to_string(fNRecords));
  }
  std::vector<const Column*> picked;
  std::vector<std::string> names;
  for (const int c : columns) {
    picked.push_back(fvColumns.at(static_cast<std::size_t>(c)).get());
    names.push_back(fvNames.at(static_cast<std::size_t>(c)));
  }
  return std::make_unique<TableCursor>(*this, std::move(picked), std::move(names), range);
}

}  // namespace MCFrontEnd

#ifndef MCSTAT_FRONTEND_DATASOURCE_H_
#define MCSTAT_FRONTEND_DATASOURCE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// One field of a record as a source delivers it: missing, a number, text (a CSV field,
// parsed by whoever needs a number), or a label (an index into the column's labels, as a
// categorical column of a data frame holds it).
struct Field {
  enum Kind : std::uint8_t { kMissing, kNumber, kText, kLabel };
  Kind kind = kMissing;
  double number = 0.0;    // kNumber
  std::int64_t label = 0;  // kLabel
  std::string_view text;  // kText: valid until the cursor moves on
};

// Records first .. first + count - 1 of a source (0-based); a negative count: to the end.
struct RecordRange {
  std::int64_t first = 0;
  std::int64_t count = -1;
};

// Reads the records of a source front to back, delivering only the columns it was opened with.
class MCFRONTEND_EXPORT RowCursor {
 public:
  virtual ~RowCursor();
  // Moves to the next record; false at the end. InputError for a malformed or unreadable
  // record.
  virtual bool Next() = 0;
  // The current record's fields, one per column opened, in that order.
  const Field* Fields() const { return fvFields.data(); }
  // Where the current record is, for messages: "FILE, line N" or "NAME, record N".
  virtual std::string Where() const = 0;

 protected:
  std::vector<Field> fvFields;
};

// A table of records read pass by pass: a file, standard input, or columns in memory. A
// source holds no records itself; each pass reads them again.
class MCFRONTEND_EXPORT DataSource {
 public:
  // How expensive another pass is.
  enum class Passes {
    kCheap,  // binary records or memory: read again at will
    kParse,  // text to parse (and maybe decompress) again at every pass
    kOnce    // binary records on standard input or a pipe: one pass only
  };

  virtual ~DataSource();
  // The name messages use: the file name, "standard input", or the table's name.
  virtual const std::string& Name() const = 0;
  virtual const std::vector<std::string>& ColumnNames() const = 0;
  virtual Passes PassCost() const = 0;
  // The kind of the column's fields when they are not missing: kText for a text file,
  // kNumber for numbers, kLabel for categories with labels.
  virtual Field::Kind FieldKind(int column) const = 0;
  // The labels of a column that delivers kLabel fields; empty for the others.
  virtual const std::vector<std::string>& Labels(int column) const;
  // The number of records when it is known without reading them (a binary file, a table in
  // memory), else -1: what passes split into ranges need.
  virtual std::int64_t RecordCount() const;
  // Opens a pass over the records of the range delivering the given columns (indices into
  // ColumnNames); the sources here may open passes from several threads at once, each cursor
  // then belonging to one thread. InputError when the source cannot give another pass (standard
  // input) or the range (one beyond the records; a text file skips to its first record).
  virtual std::unique_ptr<RowCursor> Open(const std::vector<int>& columns,
                                          RecordRange range = {}) = 0;

  // The index of the named column, or -1.
  int Find(const std::string& name) const;
  // The column names joined by ", ".
  std::string NameList() const;
};

// How a source with costly passes is read again.
enum class CacheMode {
  kAuto,    // into the temporary cache unless passes are cheap
  kAlways,  // always through the cache (one pass over the source)
  kNever    // parse the source at every pass (impossible for binary standard input)
};

// How to read a data file.
struct FileOptions {
  std::string format;                // "csv", "bin", or empty: binary for a .bin name
  std::vector<std::string> columns;  // binary: the name of each value of a record
  char separator = 0;                // CSV: 0 detects comma, semicolon or tab from the header
  // Asked while standard input or a pipe is copied (may be empty): Cancelled when it says yes.
  std::function<bool()> cancelled;
};

// Opens a data file ("-" is standard input), plain or gzip-compressed (recognised by its
// first bytes):
// - CSV with a header row: fields separated by the separator, optionally in double quotes,
//   CRLF or LF line ends, a UTF-8 byte order mark allowed, blank lines skipped. Empty fields,
//   NA, NaN, nan, Inf, inf, -Inf and -inf are missing (what R and pandas write for missing and
//   non-finite values). An unnamed first column (the row index of R's write.csv and pandas'
//   to_csv) is allowed: it is a column like any other, ignored unless used.
//   CSV from standard input or a pipe is first copied into an unnamed temporary file, which
//   later passes read again.
// - Binary: headerless records of native 8-byte doubles, one per name in columns; the
//   system-missing value is missing.
// Reads the header (CSV) at once. InputError for an unreadable file, a bad header, a binary
// file without names or with a name twice, an unknown format.
MCFRONTEND_EXPORT std::unique_ptr<DataSource> OpenDataFile(const std::string& path,
                                                           const FileOptions& options);

// Columns that live in the caller's memory, read where they lie at every pass (a data frame's
// arrays). The table owns none of them: they must outlive it and every cursor it opens.
class MCFRONTEND_EXPORT ColumnTable : public DataSource {
 public:
  // A table of nRecords records; name is for messages ("NAME, record N").
  ColumnTable(std::string name, std::int64_t nRecords);
  ~ColumnTable() override;

  // A numeric column: record i's value is the double at byte offset i * strideBytes from
  // values. NaN and infinities are missing. InputError for a name given twice or empty.
  void AddNumeric(const std::string& name, const double* values,
                  std::ptrdiff_t strideBytes = sizeof(double));
  // A categorical column: record i's code is the signed integer of codeBytes bytes (1, 2, 4
  // or 8) at byte offset i * strideBytes from codes; a negative code is missing, any other is
  // an index into labels. Its fields are kLabel. InputError for a bad width, a name given
  // twice or empty.
  void AddCategorical(const std::string& name, const void* codes, int codeBytes,
                      std::ptrdiff_t strideBytes, std::vector<std::string> labels);

  std::int64_t RecordCount() const override { return fNRecords; }
  const std::string& Name() const override { return fName; }
  const std::vector<std::string>& ColumnNames() const override { return fvNames; }
  Passes PassCost() const override { return Passes::kCheap; }
  Field::Kind FieldKind(int column) const override;
  const std::vector<std::string>& Labels(int column) const override;
  // InputError for a range beyond the table.
  std::unique_ptr<RowCursor> Open(const std::vector<int>& columns,
                                  RecordRange range = {}) override;

  struct Column;

 private:
  void AddColumn(const std::string& name);

  std::string fName;
  std::int64_t fNRecords = 0;
  std::vector<std::string> fvNames;
  std::vector<std::unique_ptr<Column>> fvColumns;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_DATASOURCE_H_

#ifndef MCSTAT_FRONTEND_DATATABLE_H_
#define MCSTAT_FRONTEND_DATATABLE_H_

#include <cstddef>
#include <string>
#include <vector>

#include "frontend/Errors.h"

namespace MCFrontEnd {

// One column of the input. A column is numeric when every value present is a finite
// number; its values are then in `values` (the system-missing value where missing).
// Otherwise the raw fields are in `text` and `missing` marks the missing ones.
struct Column {
  std::string name;
  bool numeric = true;
  std::vector<double> values;
  std::vector<std::string> text;
  std::vector<bool> missing;
};

// A whole data file held column by column.
struct DataTable {
  std::string source;   // the file name, for messages
  bool binary = false;  // records of doubles rather than CSV lines
  std::vector<Column> columns;
  std::vector<long> lines;  // CSV: the line on which each record starts
  std::size_t nRows = 0;

  // The column's index, or -1.
  int Find(const std::string& name) const;
  // "FILE, line N" for a CSV record, "FILE, record N" (1-based) for a binary one.
  std::string Where(std::size_t row) const;
  // The column names joined by ", ".
  std::string NameList() const;
};

// Parses a finite number written in the classic locale, surrounding blanks allowed; false
// for anything else (text, "inf", "nan", an empty field).
bool ParseNumber(const std::string& text, double& value);

// Parses CSV text with a header row: comma separator, fields optionally in double quotes
// (a doubled quote inside stands for one, line ends allowed inside), CRLF or LF line ends,
// an optional UTF-8 byte order mark, blank lines skipped. An empty field or NA is missing.
// Throws InputError naming `source` and the line for a malformed or ragged line.
DataTable ParseCsv(const std::string& text, const std::string& source,
                   const CancelCheck& cancelled = {});
// Reads and parses a CSV file; InputError when it cannot be read.
DataTable ReadCsvFile(const std::string& path, const CancelCheck& cancelled = {});

// Reads a headerless file of native 8-byte doubles, one value per named column in each
// record. InputError for an unreadable file, no or duplicate names, or a truncated record.
DataTable ReadBinaryFile(const std::string& path, const std::vector<std::string>& columns,
                         const CancelCheck& cancelled = {});

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_DATATABLE_H_

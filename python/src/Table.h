#ifndef MCSTAT_PYTHON_TABLE_H_
#define MCSTAT_PYTHON_TABLE_H_

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/DataSource.h"

namespace MCPython {

// A data source for the front end made from Python: arrays that stay where Python keeps them
// (the table holds a reference to each, so they live as long as it does), or a data file.
class Table {
 public:
  // Columns of `rows` records, each a tuple (name, array, labels): a one-dimensional array of
  // native float64 (any stride, read where it lies), or of signed integer codes of 1, 2, 4 or
  // 8 bytes with labels a list of str (a negative code is missing). ValueError or TypeError
  // naming the column for anything else.
  Table(const std::string& name, std::int64_t rows, const pybind11::list& columns);
  // A data file as OpenDataFile reads it (CSV, gzip, binary records; "-" standard input).
  // Needs no GIL.
  Table(const std::string& path, const MCFrontEnd::FileOptions& options);
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ~Table();

  MCFrontEnd::DataSource& Source() { return *fpSource; }
  const std::vector<std::string>& ColumnNames() const { return fpSource->ColumnNames(); }

 private:
  std::unique_ptr<MCFrontEnd::DataSource> fpSource;
  std::vector<pybind11::object> fvArrays;  // keeps the columns' memory alive
};

}  // namespace MCPython

#endif  // MCSTAT_PYTHON_TABLE_H_

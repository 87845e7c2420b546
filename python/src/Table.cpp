#include "Table.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

namespace py = pybind11;

namespace MCPython {

namespace {

[[noreturn]] void Refuse(const std::string& column, const std::string& what) {
  throw py::value_error("column '" + column + "': " + what);
}

bool IsCodeType(const py::dtype& type) {
  return type.equal(py::dtype::of<std::int8_t>()) || type.equal(py::dtype::of<std::int16_t>()) ||
         type.equal(py::dtype::of<std::int32_t>()) || type.equal(py::dtype::of<std::int64_t>());
}

}  // namespace

Table::Table(const std::string& name, std::int64_t rows, const py::list& columns) {
  if (rows < 0) throw py::value_error("a table cannot have " + std::to_string(rows) + " rows");
  auto table = std::make_unique<MCFrontEnd::ColumnTable>(name, rows);
  for (const py::handle item : columns) {
    const auto entry = item.cast<py::tuple>();
    if (entry.size() != 3) throw py::type_error("a column is a tuple (name, array, labels)");
    const auto column = entry[0].cast<std::string>();
    if (!py::isinstance<py::array>(entry[1])) Refuse(column, "not a numpy array");
    const auto array = entry[1].cast<py::array>();
    if (array.ndim() != 1)
      Refuse(column, "an array of " + std::to_string(array.ndim()) + " dimensions");
    if (array.shape(0) != rows) {
      Refuse(column,
             std::to_string(array.shape(0)) + " values for " + std::to_string(rows) + " rows");
    }
    const py::dtype type = array.dtype();
    if (entry[2].is_none()) {
      if (!type.equal(py::dtype::of<double>())) Refuse(column, "not native float64");
      table->AddNumeric(column, static_cast<const double*>(array.data()), array.strides(0));
    } else {
      if (!IsCodeType(type)) Refuse(column, "category codes must be native signed integers");
      table->AddCategorical(column, array.data(), static_cast<int>(type.itemsize()),
                            array.strides(0), entry[2].cast<std::vector<std::string>>());
    }
    fvArrays.push_back(array);
  }
  fpSource = std::move(table);
}

Table::Table(const std::string& path, const MCFrontEnd::FileOptions& options)
    : fpSource(MCFrontEnd::OpenDataFile(path, options)) {}

Table::~Table() = default;

}  // namespace MCPython

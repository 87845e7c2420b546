// mcstat._mcstat: the front end as the Python package sees it. The package's modules are the
// only users; everything here keeps the front end's names.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <vector>

#include "Fitted.h"
#include "Interrupt.h"
#include "Table.h"
#include "frontend/Commands.h"
#include "frontend/Errors.h"

namespace py = pybind11;
using namespace MCFrontEnd;
using MCPython::FittedModel;
using MCPython::Table;

namespace {

// Text of the data as Python text: valid UTF-8 as it is, anything else read as Windows-1252,
// the rule of the front end's JSON.
py::str Text(const std::string& text) {
  PyObject* s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
  if (s == nullptr) {
    PyErr_Clear();
    s = PyUnicode_Decode(text.data(), static_cast<Py_ssize_t>(text.size()), "cp1252", "replace");
  }
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

py::list Texts(const std::vector<std::string>& texts) {
  py::list list;
  for (const std::string& t : texts) list.append(Text(t));
  return list;
}

py::object OptionalText(const std::optional<std::string>& text) {
  return text ? py::object(Text(*text)) : py::object(py::none());
}

// The values of every record as an array of records x width (one dimension for width 1),
// without copying them.
py::array Values(std::vector<double>&& values, std::size_t width) {
  auto* owned = new std::vector<double>(std::move(values));
  const py::capsule free(owned, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  const auto rows = static_cast<py::ssize_t>(owned->size() / width);
  if (width == 1) return py::array_t<double>({rows}, owned->data(), free);
  return py::array_t<double>({rows, static_cast<py::ssize_t>(width)}, owned->data(), free);
}

}  // namespace

PYBIND11_MODULE(_mcstat, m) {
  m.doc() = "The front end of the mcstat library (used by the mcstat package)";
  m.def("version", &Version);

  // Bad input (a column, a value, an option) is a ValueError; a model the library cannot fit
  // is a FitError, its message the status in words.
  py::register_exception<InputError>(m, "InputError", PyExc_ValueError)
      .attr("__module__") = "mcstat";
  py::register_exception<FitError>(m, "FitError", PyExc_RuntimeError).attr("__module__") = "mcstat";

  py::class_<FileOptions>(m, "FileOptions")
      .def(py::init<>())
      .def_readwrite("format", &FileOptions::format)
      .def_readwrite("columns", &FileOptions::columns)
      .def_readwrite("separator", &FileOptions::separator);

  py::class_<Table, std::shared_ptr<Table>>(m, "Table")
      .def(py::init<const std::string&, std::int64_t, const py::list&>(), py::arg("name"),
           py::arg("rows"), py::arg("columns"))
      // Opening reads the header, which a pipe may make wait for a writer, and copies what
      // standard input or a pipe holds into a temporary file: without the GIL, and Ctrl-C stops
      // it.
      .def(py::init([](const std::string& path, FileOptions options) {
             return MCPython::Interruptible([&](MCPython::PythonInterrupt& query) {
               options.cancelled = query.Check();
               return std::make_shared<Table>(path, options);
             });
           }),
           py::arg("path"), py::arg("options"))
      .def_property_readonly("columns", [](const Table& t) { return Texts(t.ColumnNames()); });

  py::class_<ModelRequest>(m, "ModelRequest")
      .def(py::init<>())
      .def_readwrite("model", &ModelRequest::model)
      .def_readwrite("dependent", &ModelRequest::dependent)
      .def_readwrite("factors", &ModelRequest::factors)
      .def_readwrite("covariates", &ModelRequest::covariates)
      .def_readwrite("effects", &ModelRequest::effects)
      .def_readwrite("references", &ModelRequest::references)
      .def_readwrite("freqWeight", &ModelRequest::freqWeight)
      .def_readwrite("regrWeight", &ModelRequest::regrWeight)
      .def_readwrite("intercept", &ModelRequest::intercept)
      .def_readwrite("tolerance", &ModelRequest::tolerance);

  py::class_<LogisticOptions>(m, "LogisticOptions")
      .def(py::init<>())
      .def_readwrite("reference", &LogisticOptions::reference)
      .def_readwrite("maxIterations", &LogisticOptions::maxIterations)
      .def_readwrite("maxStepHalving", &LogisticOptions::maxStepHalving)
      .def_readwrite("llCriterion", &LogisticOptions::llCriterion)
      .def_readwrite("paramCriterion", &LogisticOptions::paramCriterion)
      .def_readwrite("patterns", &LogisticOptions::patterns);

  py::class_<PredictorCell>(m, "PredictorCell")
      .def_property_readonly("variable", [](const PredictorCell& c) { return Text(c.variable); })
      .def_property_readonly("category", [](const PredictorCell& c) { return Text(c.category); })
      .def_readonly("factor", &PredictorCell::factor);

  py::class_<ParameterResult>(m, "ParameterResult")
      .def_property_readonly("name", [](const ParameterResult& p) { return Text(p.name); })
      .def_property_readonly("target", [](const ParameterResult& p) { return OptionalText(p.target); })
      .def_readonly("cells", &ParameterResult::cells)
      .def_readonly("term", &ParameterResult::term)
      .def_readonly("estimate", &ParameterResult::estimate)
      .def_readonly("redundant", &ParameterResult::redundant)
      .def_readonly("stdError", &ParameterResult::stdError)
      .def_readonly("statistic", &ParameterResult::statistic)
      .def_readonly("df", &ParameterResult::df)
      .def_readonly("pValue", &ParameterResult::pValue);

  py::class_<FitResult>(m, "FitResult")
      .def_readonly("model", &FitResult::model)
      .def_property_readonly("source", [](const FitResult& r) { return Text(r.source); })
      .def_property_readonly("formula", [](const FitResult& r) { return Text(r.formula); })
      .def_readonly("intercept", &FitResult::intercept)
      .def_readonly("recordsRead", &FitResult::recordsRead)
      .def_readonly("recordsUsed", &FitResult::recordsUsed)
      .def_readonly("totalWeight", &FitResult::totalWeight)
      .def_property_readonly("categories", [](const FitResult& r) { return Texts(r.categories); })
      .def_readonly("parameters", &FitResult::parameters)
      .def_readonly("rSquared", &FitResult::rSquared)
      .def_readonly("rmse", &FitResult::rmse)
      .def_readonly("residualStdError", &FitResult::residualStdError)
      .def_readonly("dfError", &FitResult::dfError)
      .def_readonly("minus2LogLikelihood", &FitResult::minus2LogLikelihood)
      .def_readonly("initialMinus2LogLikelihood", &FitResult::initialMinus2LogLikelihood)
      .def_readonly("coxSnell", &FitResult::coxSnell)
      .def_readonly("nagelkerke", &FitResult::nagelkerke)
      .def_readonly("mcFadden", &FitResult::mcFadden)
      .def_readonly("iterations", &FitResult::iterations)
      .def_property_readonly("stopReason", [](const FitResult& r) { return OptionalText(r.stopReason); })
      .def_property_readonly("warnings", [](const FitResult& r) { return Texts(r.warnings); })
      .def_property_readonly("reference", [](const FitResult& r) { return OptionalText(r.reference); })
      .def_readonly("classification", &FitResult::classification)
      .def_readonly("collinearity", &FitResult::collinearity)
      .def_readonly("eigenvalues", &FitResult::eigenvalues)
      .def_readonly("conditionIndices", &FitResult::conditionIndices);

  py::class_<FittedModel, std::shared_ptr<FittedModel>>(m, "FittedModel")
      .def(py::init<std::shared_ptr<Table>, const ModelRequest&, const LogisticOptions&, bool>(),
           py::arg("table"), py::arg("request"), py::arg("logistic"), py::arg("collinearity"))
      .def_property_readonly("result", &FittedModel::Result, py::return_value_policy::reference_internal)
      .def("report", &FittedModel::Report)
      .def("json", &FittedModel::Json)
      .def("pmml", &FittedModel::Pmml)
      .def("write_pmml", &FittedModel::WritePmml, py::arg("path"))
      .def(
          "predict",
          [](FittedModel& fitted, Table* data) {
            Predictions p = fitted.Predict(data);
            const std::size_t width = p.categories.empty() ? 1 : p.categories.size();
            return py::make_tuple(Texts(p.categories), Values(std::move(p.values), width));
          },
          py::arg("data").none(true));
}

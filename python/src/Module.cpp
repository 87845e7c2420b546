// mcstat._mcstat: the front end as the Python package sees it. The package's modules are the
// only users; everything here keeps the front end's names.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Fitted.h"
#include "Interrupt.h"
#include "Parts.h"
#include "Table.h"
#include "frontend/CodedModel.h"
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

// The values as an array of rows x width (one dimension for width 1), without copying them.
py::array Values(std::vector<double>&& values, std::size_t width) {
  auto* owned = new std::vector<double>(std::move(values));
  const py::capsule free(owned, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  const auto rows = static_cast<py::ssize_t>(owned->size() / width);
  if (width == 1) return py::array_t<double>({rows}, owned->data(), free);
  return py::array_t<double>({rows, static_cast<py::ssize_t>(width)}, owned->data(), free);
}

// The front end's messages name mcfit's options; a Python user gave the package's arguments.
std::string InPythonTerms(const std::string& message) {
  static const std::map<std::string, std::string> kArguments = {
      {"--columns", "columns"},
      {"--conf-level", "conf_level"},
      {"--format", "format"},
      {"--formula", "formula"},
      {"--ll-criterion", "ll_criterion"},
      {"--max-iterations", "max_iter"},
      {"--max-step-halving", "max_step_halving"},
      {"--param-criterion", "param_criterion"},
      {"--pmml", "to_pmml"},
      {"--reference", "reference"},
      {"--tolerance", "tolerance"}};
  std::string out;
  std::size_t at = 0;
  while (at < message.size()) {
    const std::size_t dashes = message.find("--", at);
    if (dashes == std::string::npos) break;
    std::size_t end = dashes + 2;
    while (end < message.size() &&
           ((message[end] >= 'a' && message[end] <= 'z') || message[end] == '-')) {
      ++end;
    }
    const auto known = kArguments.find(message.substr(dashes, end - dashes));
    out += message.substr(at, dashes - at);
    out += known != kArguments.end() ? known->second : message.substr(dashes, end - dashes);
    at = end;
  }
  return out + message.substr(std::min(at, message.size()));
}

}  // namespace

PYBIND11_MODULE(_mcstat, m) {
  m.doc() = "The front end of the mcstat library (used by the mcstat package)";
  m.def("version", &Version);

  // Bad input (a column, a value, an argument) is a ValueError, a formula's with the formula
  // and a caret under the fault on the lines after the message; a model the library cannot
  // fit is a FitError, its message the status in words.
  static py::exception<InputError> inputError(m, "InputError", PyExc_ValueError);
  inputError.attr("__module__") = "mcstat";
  static py::exception<FitError> fitError(m, "FitError", PyExc_RuntimeError);
  fitError.attr("__module__") = "mcstat";
  py::register_exception_translator([](std::exception_ptr thrown) {
    const auto raise = [](PyObject* type, const std::string& message) {
      PyErr_SetObject(type, Text(message).ptr());
    };
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const TextInputError& e) {
      raise(inputError.ptr(), InPythonTerms(e.what()) + "\n" + e.Pointer());
    } catch (const InputError& e) {
      raise(inputError.ptr(), InPythonTerms(e.what()));
    } catch (const FitError& e) {
      raise(fitError.ptr(), e.what());
    }
  });

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
      .def_readwrite("formula", &ModelRequest::formula)
      .def_readwrite("freqWeight", &ModelRequest::freqWeight)
      .def_readwrite("regrWeight", &ModelRequest::regrWeight)
      .def_readwrite("tolerance", &ModelRequest::tolerance);

  // The columns of a table of these names that the request reads (RequestColumns).
  m.def(
      "request_columns",
      [](const ModelRequest& request, const std::string& name,
         const std::vector<std::string>& columns) {
        ColumnTable names(name, 0);
        for (const std::string& c : columns) names.AddNumeric(c, nullptr);
        return Texts(RequestColumns(request, names));
      },
      py::arg("request"), py::arg("name"), py::arg("columns"));

  py::class_<LogisticOptions>(m, "LogisticOptions")
      .def(py::init<>())
      .def_readwrite("reference", &LogisticOptions::reference)
      .def_readwrite("maxIterations", &LogisticOptions::maxIterations)
      .def_readwrite("maxStepHalving", &LogisticOptions::maxStepHalving)
      .def_readwrite("llCriterion", &LogisticOptions::llCriterion)
      .def_readwrite("paramCriterion", &LogisticOptions::paramCriterion)
      .def_readwrite("patterns", &LogisticOptions::patterns);

  py::class_<FitChoices>(m, "FitChoices")
      .def(py::init<>())
      .def_readwrite("logistic", &FitChoices::logistic)
      .def_readwrite("confLevel", &FitChoices::confLevel)
      .def_readwrite("collinearity", &FitChoices::collinearity);

  py::class_<PredictorCell>(m, "PredictorCell")
      .def_property_readonly("variable", [](const PredictorCell& c) { return Text(c.variable); })
      .def_property_readonly("category", [](const PredictorCell& c) { return Text(c.category); })
      .def_readonly("factor", &PredictorCell::factor);

  py::class_<ParameterResult>(m, "ParameterResult")
      .def_property_readonly("name", [](const ParameterResult& p) { return Text(p.name); })
      .def_property_readonly("target",
                             [](const ParameterResult& p) { return OptionalText(p.target); })
      .def_readonly("cells", &ParameterResult::cells)
      .def_readonly("term", &ParameterResult::term)
      .def_readonly("estimate", &ParameterResult::estimate)
      .def_readonly("redundant", &ParameterResult::redundant)
      .def_readonly("stdError", &ParameterResult::stdError)
      .def_readonly("statistic", &ParameterResult::statistic)
      .def_readonly("df", &ParameterResult::df)
      .def_readonly("pValue", &ParameterResult::pValue)
      .def_readonly("confLow", &ParameterResult::confLow)
      .def_readonly("confHigh", &ParameterResult::confHigh)
      .def_readonly("oddsRatio", &ParameterResult::oddsRatio)
      .def_readonly("oddsRatioLow", &ParameterResult::oddsRatioLow)
      .def_readonly("oddsRatioHigh", &ParameterResult::oddsRatioHigh);

  py::class_<EffectTest>(m, "EffectTest")
      .def_property_readonly("effect", [](const EffectTest& t) { return Text(t.effect); })
      .def_readonly("statistic", &EffectTest::statistic)
      .def_readonly("df1", &EffectTest::df1)
      .def_readonly("df2", &EffectTest::df2)
      .def_readonly("pValue", &EffectTest::pValue);

  py::class_<FitResult>(m, "FitResult")
      .def_readonly("model", &FitResult::model)
      .def_property_readonly("source", [](const FitResult& r) { return Text(r.source); })
      .def_property_readonly("formula", [](const FitResult& r) { return Text(r.formula); })
      .def_property_readonly("dependent", [](const FitResult& r) { return Text(r.dependent); })
      .def_property_readonly("terms", [](const FitResult& r) { return Texts(r.terms); })
      .def_readonly("intercept", &FitResult::intercept)
      .def_readonly("recordsRead", &FitResult::recordsRead)
      .def_readonly("recordsUsed", &FitResult::recordsUsed)
      .def_readonly("recordsNotFinite", &FitResult::recordsNotFinite)
      .def_readonly("totalWeight", &FitResult::totalWeight)
      .def_readonly("confLevel", &FitResult::confLevel)
      .def_readonly("converged", &FitResult::converged)
      .def_property_readonly("categories", [](const FitResult& r) { return Texts(r.categories); })
      .def_readonly("parameters", &FitResult::parameters)
      // n x n in the order of the parameters (NaN for redundant ones); None without it.
      .def_property_readonly("covariance",
                             [](const FitResult& r) -> py::object {
                               const std::size_t n = r.parameters.size();
                               if (r.covariance.size() != n * n || n == 0) return py::none();
                               py::array_t<double> c({n, n});
                               std::copy(r.covariance.begin(), r.covariance.end(),
                                         c.mutable_data());
                               return std::move(c);
                             })
      .def_readonly("effectTests", &FitResult::effectTests)
      .def_readonly("rSquared", &FitResult::rSquared)
      .def_readonly("rSquaredAdj", &FitResult::rSquaredAdj)
      .def_readonly("fStatistic", &FitResult::fStatistic)
      .def_readonly("fDf1", &FitResult::fDf1)
      .def_readonly("fDf2", &FitResult::fDf2)
      .def_readonly("fPValue", &FitResult::fPValue)
      .def_readonly("logLikelihood", &FitResult::logLikelihood)
      .def_readonly("aic", &FitResult::aic)
      .def_readonly("bic", &FitResult::bic)
      .def_readonly("nullLogLikelihood", &FitResult::nullLogLikelihood)
      .def_readonly("lrStatistic", &FitResult::lrStatistic)
      .def_readonly("lrDf", &FitResult::lrDf)
      .def_readonly("lrPValue", &FitResult::lrPValue)
      .def_readonly("rmse", &FitResult::rmse)
      .def_readonly("residualStdError", &FitResult::residualStdError)
      .def_readonly("dfError", &FitResult::dfError)
      .def_readonly("minus2LogLikelihood", &FitResult::minus2LogLikelihood)
      .def_readonly("initialMinus2LogLikelihood", &FitResult::initialMinus2LogLikelihood)
      .def_readonly("coxSnell", &FitResult::coxSnell)
      .def_readonly("nagelkerke", &FitResult::nagelkerke)
      .def_readonly("mcFadden", &FitResult::mcFadden)
      .def_readonly("iterations", &FitResult::iterations)
      .def_property_readonly("stopReason",
                             [](const FitResult& r) { return OptionalText(r.stopReason); })
      .def_property_readonly("warnings", [](const FitResult& r) { return Texts(r.warnings); })
      .def_property_readonly("reference",
                             [](const FitResult& r) { return OptionalText(r.reference); })
      .def_readonly("classification", &FitResult::classification);

  py::class_<FittedModel, std::shared_ptr<FittedModel>>(m, "FittedModel")
      .def(py::init<std::shared_ptr<Table>, const ModelRequest&, const FitChoices&>(),
           py::arg("table"), py::arg("request"), py::arg("choices"))
      .def_property_readonly("result", &FittedModel::Result,
                             py::return_value_policy::reference_internal)
      .def("report", &FittedModel::Report)
      .def("json", &FittedModel::Json)
      .def("pmml", &FittedModel::Pmml, py::arg("version"))
      .def("write_pmml", &FittedModel::WritePmml, py::arg("path"), py::arg("version"))
      .def("predictor_columns",
           [](const FittedModel& fitted) { return Texts(fitted.PredictorColumns()); })
      // (categories, values, residuals): values of rows x categories (one dimension for a
      // linear model), residuals None unless asked.
      .def(
          "predict",
          [](FittedModel& fitted, Table* data, bool residuals) {
            Predictions p = fitted.Predict(data, residuals);
            const std::size_t width = p.categories.empty() ? 1 : p.categories.size();
            py::object r = py::none();
            if (residuals) r = Values(std::move(p.residuals), 1);
            return py::make_tuple(Texts(p.categories), Values(std::move(p.values), width), r);
          },
          py::arg("data").none(true), py::arg("residuals") = false);

  MCPython::BindParts(m);
}

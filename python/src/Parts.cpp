// Fits of data in parts (mcstat.dask): what a part computes on a worker, how parts merge, and
// the client's fit, whose host hands every pass to Python.
#include "Parts.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <vector>

#include "Fitted.h"
#include "Table.h"
#include "frontend/Parts.h"

namespace py = pybind11;
using namespace MCFrontEnd;

namespace MCPython {

namespace {

// The passes go to Python: run_pass(plan) gives the merged statistics of all parts (bytes),
// final_pass(passes) the merged final sums of all parts given every pass's merged statistics.
// The GIL is held throughout. What Python raises is kept and stops the fit (as a cancel, so
// that no exception crosses the library), to be raised again by Raise.
class PythonHost : public PartsHost, public MCPassRunner {
 public:
  PythonHost(py::object runPass, py::object finalPass)
      : fRunPass(std::move(runPass)), fFinalPass(std::move(finalPass)) {}
  MCPassRunner& Runner() override { return *this; }

  MCCommon::MCStatus RunPass(const MCPassPlan& plan, MCPartialStats& merged) override {
    try {
      const auto bytes = fRunPass(py::bytes(plan.ToBytes())).cast<std::string>();
      fPasses.push_back(bytes);
      if (bytes.empty()) return MCCommon::MCStatus();  // no part has records
      const MCCommon::MCStatus status = merged.FromBytes(bytes.data(), bytes.size());
      if (status.IsError()) return status;
      return merged.GetStatus();
    } catch (py::error_already_set& e) {
      fpRaised = std::make_unique<py::error_already_set>(std::move(e));
      return MCCommon::MCStatus(1, false);
    }
  }

  std::string FinalPass(const std::string&) override {
    try {
      py::list passes;
      for (const std::string& p : fPasses) passes.append(py::bytes(p));
      return fFinalPass(passes).cast<std::string>();
    } catch (py::error_already_set& e) {
      fpRaised = std::make_unique<py::error_already_set>(std::move(e));
      throw Cancelled();
    }
  }

  // Raises what Python raised in a pass, if anything.
  void Raise() {
    if (fpRaised) {
      std::unique_ptr<py::error_already_set> raised = std::move(fpRaised);
      throw std::move(*raised);
    }
  }

 private:
  py::object fRunPass;
  py::object fFinalPass;
  std::vector<std::string> fPasses;
  std::unique_ptr<py::error_already_set> fpRaised;
};

py::bytes Bytes(const std::string& s) { return py::bytes(s); }

// f(the part's model, coded with the whole's summary) without the GIL, as bytes.
template <typename F>
py::bytes OnPart(Table& part, const ModelRequest& request, const ScanSummary& summary, F f) {
  std::string bytes;
  {
    py::gil_scoped_release release;
    CodedModel model(part.Source(), request, summary);
    bytes = f(model);
  }
  return Bytes(bytes);
}

}  // namespace

void BindParts(py::module_& m) {
  py::class_<ScanSummary>(m, "ScanSummary")
      .def(py::init<>())
      .def("merge", &ScanSummary::Merge, py::arg("other"))
      .def_readonly("read", &ScanSummary::read)
      .def(py::pickle(
          [](const ScanSummary& s) {
            return py::make_tuple(s.keys, s.largest, s.totalWeight, s.read, s.used, s.notFinite);
          },
          [](const py::tuple& t) {
            if (t.size() != 6) throw std::runtime_error("not a ScanSummary");
            ScanSummary s;
            s.keys = t[0].cast<std::vector<std::vector<double>>>();
            s.largest = t[1].cast<std::vector<double>>();
            s.totalWeight = t[2].cast<double>();
            s.read = t[3].cast<std::int64_t>();
            s.used = t[4].cast<std::int64_t>();
            s.notFinite = t[5].cast<std::int64_t>();
            return s;
          }));

  // A part's side: its summary, one pass of a plan, its final sums; the client's coding is
  // summary's. Without the GIL.
  m.def(
      "summarize",
      [](Table& part, const ModelRequest& request) {
        py::gil_scoped_release release;
        return CodedModel::Summarize(part.Source(), request);
      },
      py::arg("part"), py::arg("request"));
  m.def(
      "fill_part",
      [](Table& part, const ModelRequest& request, const ScanSummary& summary,
         const FitChoices& choices, const std::string& plan) {
        return OnPart(part, request, summary,
                      [&](CodedModel& model) { return FillPart(model, choices, plan); });
      },
      py::arg("part"), py::arg("request"), py::arg("summary"), py::arg("choices"), py::arg("plan"));
  m.def(
      "final_of_part",
      [](Table& part, const ModelRequest& request, const ScanSummary& summary,
         const FitChoices& choices, const std::vector<std::string>& passes) {
        return OnPart(part, request, summary,
                      [&](CodedModel& model) { return FinalOfPart(model, choices, passes); });
      },
      py::arg("part"), py::arg("request"), py::arg("summary"), py::arg("choices"),
      py::arg("passes"));
  m.def(
      "merge_parts",
      [](const std::string& a, const std::string& b) { return Bytes(MergePartBytes(a, b)); },
      py::arg("first"), py::arg("second"));
  m.def(
      "merge_final",
      [](const std::string& a, const std::string& b) { return Bytes(MergeFinalSums(a, b)); },
      py::arg("first"), py::arg("second"));

  // The client's fit over the schema table (no records).
  m.def(
      "fit_in_parts",
      [](std::shared_ptr<Table> schema, const ModelRequest& request, const ScanSummary& summary,
         const FitChoices& choices, py::object runPass, py::object finalPass) {
        PythonHost host(std::move(runPass), std::move(finalPass));
        try {
          return std::make_shared<FittedModel>(std::move(schema), request, summary, choices, host);
        } catch (const Cancelled&) {
          host.Raise();
          throw;
        } catch (const FitError&) {
          host.Raise();
          throw;
        }
      },
      py::arg("schema"), py::arg("request"), py::arg("summary"), py::arg("choices"),
      py::arg("run_pass"), py::arg("final_pass"));
}

}  // namespace MCPython

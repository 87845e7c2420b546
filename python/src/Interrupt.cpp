#include "Interrupt.h"

namespace py = pybind11;

namespace MCPython {

PythonInterrupt::~PythonInterrupt() = default;

bool PythonInterrupt::CheckNow() {
  if (fbCancelled.load()) return true;
  py::gil_scoped_acquire gil;
  // The handlers run in the main thread only; elsewhere this returns 0 at once.
  if (PyErr_CheckSignals() != 0) {
    fpRaised = std::make_unique<py::error_already_set>();  // fetches and clears the error
    fbCancelled.store(true);
  }
  return fbCancelled.load();
}

void PythonInterrupt::Raise() {
  if (fpRaised) throw *fpRaised;
  PyErr_SetNone(PyExc_KeyboardInterrupt);
  throw py::error_already_set();
}

}  // namespace MCPython

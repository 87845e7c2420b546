#ifndef MCSTAT_PYTHON_PARTS_H_
#define MCSTAT_PYTHON_PARTS_H_

#include <pybind11/pybind11.h>

namespace MCPython {

// Adds the functions of fits in parts (mcstat.dask) to the module.
void BindParts(pybind11::module_& m);

}  // namespace MCPython

#endif  // MCSTAT_PYTHON_PARTS_H_

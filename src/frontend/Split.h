#ifndef MCSTAT_FRONTEND_SPLIT_H_
#define MCSTAT_FRONTEND_SPLIT_H_

#include <ostream>
#include <string>
#include <vector>

#include "frontend/Commands.h"
#include "DataTable.h"
#include "MCCancelInfo.h"

namespace MCFrontEnd {

// The records of one combination of split values.
struct SplitGroup {
  std::vector<std::string> values;  // as ValueText writes them, one per split variable
  std::vector<std::size_t> rows;
};

// The combinations of the split variables' values that occur, in ascending order (numbers
// numerically, text by bytes, the first variable slowest); records with a missing split value
// belong to none. InputError for an unknown or repeated split variable.
std::vector<SplitGroup> GroupBySplit(const DataTable& data, const std::vector<std::string>& split);

// The table restricted to the rows, in their order.
DataTable SubTable(const DataTable& data, const std::vector<std::size_t>& rows);

// Fits options.request once per split group, each like a fit of its own, prints the report
// of each under a line naming its split values, and writes the JSON ("splits": one object
// per group with its "split_values") and the combined PMML 4.4 document when asked. Throws
// InputError, FitError (naming the split) and Cancelled as the single fit does; no output
// file is left behind then.
void RunSplitFits(const DataTable& data, const FitOptions& options, std::ostream& out,
                  MCCommon::MCQueryCancel* cancel);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_SPLIT_H_

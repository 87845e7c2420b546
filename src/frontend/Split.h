#ifndef MCSTAT_FRONTEND_SPLIT_H_
#define MCSTAT_FRONTEND_SPLIT_H_

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "MCCancelInfo.h"
#include "ModelLayout.h"
#include "Precoded.h"
#include "frontend/CodedModel.h"
#include "frontend/Commands.h"

namespace MCFrontEnd {

// One combination of the split variables' values: their texts (numbers with 15 significant
// digits) and the conditions that select its records.
struct SplitGroup {
  std::vector<std::string> values;
  std::vector<SplitCondition> when;
};

// The combinations of the split variables' values that occur, in ascending order (numbers
// numerically, text by bytes, the first variable slowest), from one pass over the data;
// records with a missing split value belong to none.
std::vector<SplitGroup> GroupBySplit(const PrecodedData& data, const ModelLayout& layout,
                                     const CancelCheck& cancelled);

// Fits the request once per split group, each like a fit of its own (its own categories), prints
// the report of each under a line naming its split values, and writes the JSON ("splits": one
// object per group with its "split_values") and the combined PMML 4.4 document when asked.
// Throws InputError, FitError (naming the split) and Cancelled as the single fit does; no
// output file is left behind then.
void RunSplitFits(const std::shared_ptr<const PrecodedData>& data, const ModelLayout& layout,
                  const FitOptions& options, std::ostream& out, std::ostream& err,
                  MCCommon::MCQueryCancel* cancel);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_SPLIT_H_

#ifndef MCSTAT_FRONTEND_PARTS_H_
#define MCSTAT_FRONTEND_PARTS_H_

// Fits over data that lie elsewhere in parts (the partitions of a cluster): the client holds
// the model (CodedModel over a source without records, from the merged ScanSummary of the
// parts) and hands every pass to its host; a part is coded with the same summary, fills its
// statistics of a pass, and after the build gives its final sums (the fit's last pass over
// the records: fitted values, classification), all as bytes that merge in record order.

#include <string>
#include <vector>

#include "MCExactSum.h"
#include "MCPartialStats.h"
#include "frontend/CodedModel.h"
#include "frontend/Fit.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// The host of a fit whose records lie in parts elsewhere (FitChoices::parts).
class MCFRONTEND_EXPORT PartsHost {
 public:
  virtual ~PartsHost();
  // Runs the build's passes over every part.
  virtual MCPassRunner& Runner() = 0;
  // The fit's final pass: local holds the final sums of the records of this process (bytes
  // of FinalSums); returns those of all the records.
  virtual std::string FinalPass(const std::string& local) = 0;
};

// The final sums of a fit (exact sums) in bytes, and back: InputError for bytes of another
// kind or number of sums. Merged: a then b, the sums of records that follow a's; InputError
// when they do not match.
MCFRONTEND_EXPORT std::string FinalSums(const std::vector<MCCommonMath::MCExactSum>& exact);
void ReadFinalSums(const std::string& bytes, std::vector<MCCommonMath::MCExactSum>& exact);
MCFRONTEND_EXPORT std::string MergeFinalSums(const std::string& a, const std::string& b);

// Partial statistics (bytes) a merged with b, those of records that follow a's (empty bytes:
// a part without records); FitError for bytes that cannot be read or merged.
MCFRONTEND_EXPORT std::string MergePartBytes(const std::string& a, const std::string& b);

// One pass of the client's plan (bytes) over the records of a part: the part's statistics
// as bytes (empty for a part without records). part: the model of the part's records with the
// whole's summary; choices as the client's (the logistic options). FitError for a plan of another
// model or settings, InputError for records that could not be read.
MCFRONTEND_EXPORT std::string FillPart(CodedModel& part, const FitChoices& choices,
                                       const std::string& plan);

// A part's final sums: the fit rebuilt from the merged statistics of every pass of the
// client's build (in order), then its final pass over the part's records. Errors of FitModel.
MCFRONTEND_EXPORT std::string FinalOfPart(CodedModel& part, const FitChoices& choices,
                                          const std::vector<std::string>& passes);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PARTS_H_

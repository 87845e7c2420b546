#ifndef MCSTAT_PYTHON_FITTED_H_
#define MCSTAT_PYTHON_FITTED_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Table.h"
#include "frontend/CodedModel.h"
#include "frontend/Fit.h"
#include "frontend/FitResult.h"
#include "frontend/ModelRequest.h"
#include "frontend/Parts.h"
#include "frontend/Predict.h"

namespace MCPython {

// A model fitted by the front end, with its data: the coded model stays, so that the PMML
// document (which describes the records used) can be written and new data scored at any time.
class FittedModel {
 public:
  // Reads the table and fits the request with the choices (no predictions sink), without the
  // GIL; Ctrl-C stops it (KeyboardInterrupt). The front end's InputError, FitError as they are.
  FittedModel(std::shared_ptr<Table> table, const MCFrontEnd::ModelRequest& request,
              const MCFrontEnd::FitChoices& choices);
  // A fit of data that lie elsewhere in parts, whose host runs every pass over them: the table
  // holds the columns without records, summary is the merge of the parts' summaries. Not
  // released from the GIL (the host calls Python). The PMML document (which describes the
  // records) and the fitted data's predictions are not available: InputError.
  FittedModel(std::shared_ptr<Table> schema, const MCFrontEnd::ModelRequest& request,
              const MCFrontEnd::ScanSummary& summary, const MCFrontEnd::FitChoices& choices,
              MCFrontEnd::PartsHost& host);
  FittedModel(const FittedModel&) = delete;
  FittedModel& operator=(const FittedModel&) = delete;
  ~FittedModel();

  const MCFrontEnd::FitResult& Result() const { return fResult; }
  // The report and the JSON document of the fit.
  std::string Report() const;
  std::string Json() const;
  // The PMML document, as text or written safely to a file (OutputFile); without the GIL.
  std::string Pmml(const std::string& version);
  void WritePmml(const std::string& path, const std::string& version);
  // The columns predictions read (MCFrontEnd::PredictorColumns).
  std::vector<std::string> PredictorColumns() const;
  // The predictions for every record of data (the fitted data when null), with the residuals
  // when asked; without the GIL.
  MCFrontEnd::Predictions Predict(Table* data, bool residuals);

 private:
  std::shared_ptr<Table> fpTable;
  std::unique_ptr<MCFrontEnd::CodedModel> fpModel;
  MCFrontEnd::FitResult fResult;
  std::mutex fPasses;  // one pass over the coded records at a time
  bool fbInParts = false;
  void CheckRecordsHere(const char* what) const;
};

}  // namespace MCPython

#endif  // MCSTAT_PYTHON_FITTED_H_

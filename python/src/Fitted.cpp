#include "Fitted.h"

#include <iostream>
#include <sstream>

#include "Interrupt.h"
#include "frontend/OutputFile.h"

namespace MCPython {

FittedModel::FittedModel(std::shared_ptr<Table> table, const MCFrontEnd::ModelRequest& request,
                         const MCFrontEnd::FitChoices& choices)
    : fpTable(std::move(table)) {
  Interruptible([&](PythonInterrupt& query) {
    fpModel = std::make_unique<MCFrontEnd::CodedModel>(fpTable->Source(), request,
                                                       MCFrontEnd::CacheMode::kAuto, query.Check());
    MCFrontEnd::FitChoices fit = choices;
    fit.predictions = nullptr;
    fResult = MCFrontEnd::FitModel(*fpModel, fit, &query, nullptr);
    return 0;
  });
}

FittedModel::FittedModel(std::shared_ptr<Table> schema, const MCFrontEnd::ModelRequest& request,
                         const MCFrontEnd::ScanSummary& summary,
                         const MCFrontEnd::FitChoices& choices, MCFrontEnd::PartsHost& host)
    : fpTable(std::move(schema)), fbInParts(true) {
  fpModel = std::make_unique<MCFrontEnd::CodedModel>(fpTable->Source(), request, summary);
  MCFrontEnd::FitChoices fit = choices;
  fit.predictions = nullptr;
  fit.parts = &host;
  fResult = MCFrontEnd::FitModel(*fpModel, fit, nullptr, nullptr);
}

FittedModel::~FittedModel() = default;

void FittedModel::CheckRecordsHere(const char* what) const {
  if (!fbInParts) return;
  throw MCFrontEnd::InputError(std::string(what) +
                               " needs the fitted records, which a fit of data in parts (a Dask "
                               "fit) does not hold; predict new data instead");
}

std::string FittedModel::Report() const {
  std::ostringstream text;
  MCFrontEnd::WriteReport(fResult, text);
  return text.str();
}

std::string FittedModel::Json() const { return MCFrontEnd::JsonText(fResult); }

std::string FittedModel::Pmml(const std::string& version) {
  CheckRecordsHere("the PMML document (its statistics of the records)");
  return Interruptible([&](PythonInterrupt&) {
    const std::lock_guard<std::mutex> lock(fPasses);
    std::ostringstream text;
    MCFrontEnd::WritePmml(fResult, *fpModel, text, version);
    return text.str();
  });
}

void FittedModel::WritePmml(const std::string& path, const std::string& version) {
  CheckRecordsHere("the PMML document (its statistics of the records)");
  Interruptible([&](PythonInterrupt&) {
    const std::lock_guard<std::mutex> lock(fPasses);
    MCFrontEnd::OutputFile file(path, std::cout, true);
    MCFrontEnd::WritePmml(fResult, *fpModel, file.Stream(), version);
    file.Commit();
    return 0;
  });
}

std::vector<std::string> FittedModel::PredictorColumns() const {
  return MCFrontEnd::PredictorColumns(fResult, *fpModel);
}

MCFrontEnd::Predictions FittedModel::Predict(Table* data, bool residuals) {
  if (data == nullptr) CheckRecordsHere("predicting the fitted data");
  Table& table = data != nullptr ? *data : *fpTable;
  return Interruptible([&](PythonInterrupt& query) {
    return MCFrontEnd::Predict(fResult, *fpModel, table.Source(), residuals, query.Check());
  });
}

}  // namespace MCPython

#include "Fitted.h"

#include <iostream>
#include <sstream>

#include "Interrupt.h"
#include "frontend/Fit.h"
#include "frontend/OutputFile.h"

namespace MCPython {

FittedModel::FittedModel(std::shared_ptr<Table> table, const MCFrontEnd::ModelRequest& request,
                         const MCFrontEnd::LogisticOptions& logistic, bool collinearity)
    : fpTable(std::move(table)) {
  Interruptible([&](PythonInterrupt& query) {
    fpModel = std::make_unique<MCFrontEnd::CodedModel>(fpTable->Source(), request,
                                                       MCFrontEnd::CacheMode::kAuto, query.Check());
    fResult = MCFrontEnd::FitModel(*fpModel, logistic, collinearity, &query, nullptr);
    return 0;
  });
}

FittedModel::~FittedModel() = default;

std::string FittedModel::Report() const {
  std::ostringstream text;
  MCFrontEnd::WriteReport(fResult, text);
  return text.str();
}

std::string FittedModel::Json() const { return MCFrontEnd::JsonText(fResult); }

std::string FittedModel::Pmml() {
  return Interruptible([&](PythonInterrupt&) {
    const std::lock_guard<std::mutex> lock(fPasses);
    std::ostringstream text;
    MCFrontEnd::WritePmml(fResult, *fpModel, text);
    return text.str();
  });
}

void FittedModel::WritePmml(const std::string& path) {
  Interruptible([&](PythonInterrupt&) {
    const std::lock_guard<std::mutex> lock(fPasses);
    MCFrontEnd::OutputFile file(path, std::cout, true);
    MCFrontEnd::WritePmml(fResult, *fpModel, file.Stream());
    file.Commit();
    return 0;
  });
}

MCFrontEnd::Predictions FittedModel::Predict(Table* data) {
  Table& table = data != nullptr ? *data : *fpTable;
  return Interruptible([&](PythonInterrupt& query) {
    return MCFrontEnd::Predict(fResult, *fpModel, table.Source(), false, query.Check());
  });
}

}  // namespace MCPython

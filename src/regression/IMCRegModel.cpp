#include "IMCRegModel.h"

IMCRegModel::~IMCRegModel() = default;

bool IMCRegModel::ExpandPatternColumns(const std::vector<int>&, std::vector<int>&,
                                       std::vector<int>&) const {
  return false;
}

int IMCRegModel::GetNPatternColumns() const { return 0; }

void IMCRegModel::PatternRowColumnValues(const double*, double*) const {}

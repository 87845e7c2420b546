#include "IMCRegModel.h"

IMCRegModel::~IMCRegModel() = default;

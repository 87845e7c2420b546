#include "MCRegFactory.h"

#include <new>

#include "MCGLMComponent.h"

IMCRegComponent::~IMCRegComponent() = default;
IMCRegOutputStats::~IMCRegOutputStats() = default;

IMCRegComponent* MCRegFactory::CreateRegAlgorithm(MCRegSettings& settings) {
  fStatus = settings.IsValidSettings();
  if (fStatus.IsError()) return nullptr;
  switch (settings.GetModelType()) {
    case MCConst::kLinearModel:
      return new (std::nothrow) MCGLMComponent(settings);
    case MCConst::kLogisticModel:
      // The logistic component is not part of the library yet; until it is, logistic
      // settings give no component.
      return nullptr;
  }
  return nullptr;
}

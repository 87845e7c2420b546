#include "MCRegFactory.h"

#include <new>

#include "MCGLMComponent.h"
#include "MCLogComponent.h"
#include "MCLogRegSettings.h"

IMCRegComponent::~IMCRegComponent() = default;
IMCRegOutputStats::~IMCRegOutputStats() = default;

IMCRegComponent* MCRegFactory::CreateRegAlgorithm(MCRegSettings& settings) {
  fStatus = settings.IsValidSettings();
  if (fStatus.IsError()) return nullptr;
  switch (settings.GetModelType()) {
    case MCConst::kLinearModel:
      return new (std::nothrow) MCGLMComponent(settings);
    case MCConst::kLogisticModel: {
      // Only logistic settings carry what the logistic component needs.
      const auto* logistic = dynamic_cast<const MCLogRegSettings*>(&settings);
      if (logistic == nullptr) return nullptr;
      return new (std::nothrow) MCLogComponent(*logistic);
    }
  }
  return nullptr;
}

#include "MCRegFactory.h"

#include "MCGLMComponent.h"
#include "MCLogComponent.h"
#include "MCLogRegSettings.h"
#include "MCRegLimits.h"

IMCRegComponent::~IMCRegComponent() = default;
IMCRegOutputStats::~IMCRegOutputStats() = default;

IMCRegComponent* MCRegFactory::CreateRegAlgorithm(MCRegSettings& settings) {
  fStatus = settings.IsValidSettings();
  if (fStatus.IsError()) return nullptr;
  IMCRegComponent* component = nullptr;
  // Copying the settings and making the component's parts allocate: a failure is 305 and a
  // null result, never an exception in the host.
  fStatus = MCRegLimits::Guarded([&settings, &component, this] {
    switch (settings.GetModelType()) {
      case MCConst::kLinearModel:
        component = new MCGLMComponent(settings);
        break;
      case MCConst::kLogisticModel:
        // Only logistic settings carry what the logistic component needs.
        if (const auto* logistic = dynamic_cast<const MCLogRegSettings*>(&settings)) {
          component = new MCLogComponent(*logistic);
        }
        break;
    }
    return fStatus;
  });
  // A component whose own parts could not be made is no component.
  if (component != nullptr && component->GetStatus().IsError()) {
    fStatus = component->GetStatus();
    delete component;
    component = nullptr;
  }
  return component;
}

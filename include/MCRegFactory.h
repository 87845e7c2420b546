#ifndef MCSTAT_MCREGFACTORY_H_
#define MCSTAT_MCREGFACTORY_H_

#include "IMCRegComponent.h"
#include "MCRegSettings.h"
#include "MCStatus.h"
#include "mcstat_export.h"

// Makes the model component that a settings object asks for.
class MCSTAT_EXPORT MCRegFactory {
 public:
  // OK status.
  MCRegFactory() = default;
  MCRegFactory(const MCRegFactory&) = default;
  MCRegFactory& operator=(const MCRegFactory&) = default;

  // Checks the settings (their own virtual check); on an error keeps it as the status and
  // returns null. Otherwise a new component for the settings' model type, which the caller
  // owns and deletes, or null for a model type without a component; null with status 305 when
  // the component cannot be allocated. Nothing is thrown.
  IMCRegComponent* CreateRegAlgorithm(MCRegSettings& settings);
  // The result of the last settings check.
  const MCCommon::MCStatus& GetStatus() const { return fStatus; }

 private:
  MCCommon::MCStatus fStatus;
};

#endif  // MCSTAT_MCREGFACTORY_H_

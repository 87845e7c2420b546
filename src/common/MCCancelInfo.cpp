#include "MCCancelInfo.h"

namespace MCCommon {

// Out of line so that the interface's vtable lives in the library.
MCQueryCancel::~MCQueryCancel() = default;

bool MCCancelInfo::IsCancel() {
  if (!fbCancelled && fpQuery != nullptr) fbCancelled = fpQuery->IsCancel();
  return fbCancelled;
}

bool MCCancelInfo::WillCancel() const {
  if (fbCancelled) return true;
  if (fpQuery == nullptr) return false;
  return fpQuery->WillCancel();
}

}  // namespace MCCommon

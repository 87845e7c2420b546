#include "IOException.h"

namespace MCCommonMetadata {

// Defined here so that the class's type information lives in the library alone and a
// thrown pointer is caught by type in the host.
IOException::~IOException() = default;

}  // namespace MCCommonMetadata

#ifndef MCSTAT_IOEXCEPTION_H_
#define MCSTAT_IOEXCEPTION_H_

#include "mcstat_export.h"

namespace MCCommonMetadata {

// Thrown, as a pointer to a new object, by the object-stream readers of variables, encoders
// and variable lists after they have printed their failure message on standard error. It
// carries nothing; the catcher deletes it.
class MCSTAT_EXPORT IOException {
 public:
  IOException() = default;
  IOException(const IOException&) = default;
  IOException& operator=(const IOException&) = default;
  virtual ~IOException();
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_IOEXCEPTION_H_

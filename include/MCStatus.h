#ifndef MCSTAT_MCSTATUS_H_
#define MCSTAT_MCSTATUS_H_

#include <cstdint>

#include "mcstat_export.h"

namespace MCCommon {

// The result of almost every operation: a code, a severity and optional details.
// Whether a status is an error, a warning or OK depends on the severity alone.
class MCSTAT_EXPORT MCStatus {
 public:
  // Code 0, severity OK, all details zero.
  MCStatus() = default;
  // The given code with severity +1 (warning) or -1 (error); details zero.
  MCStatus(long code, bool warning);

  // Equal when code, severity and all six details are equal.
  bool operator==(const MCStatus& other) const;
  bool operator!=(const MCStatus& other) const { return !(*this == other); }

  long GetErrorCode() const { return fErrorCode; }
  bool IsOK() const { return fSeverity == 0; }
  bool IsError() const { return fSeverity < 0; }
  bool IsWarning() const { return fSeverity > 0; }

  // Details 0 to 2; the index is not checked, keeping it below 3 is the caller's duty.
  long GetDiscreteDatum(unsigned index) const { return fDiscreteData[index]; }
  void SetDiscreteDatum(unsigned index, long value) {
    fDiscreteData[index] = static_cast<int32_t>(value);
  }
  double GetScaleDatum(unsigned index) const { return fScaleData[index]; }
  void SetScaleDatum(unsigned index, double value) { fScaleData[index] = value; }

 private:
  int32_t fErrorCode = 0;
  int16_t fSeverity = 0;
  int32_t fDiscreteData[3] = {0, 0, 0};
  double fScaleData[3] = {0.0, 0.0, 0.0};
};

}  // namespace MCCommon

#endif  // MCSTAT_MCSTATUS_H_

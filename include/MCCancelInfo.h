#ifndef MCSTAT_MCCANCELINFO_H_
#define MCSTAT_MCCANCELINFO_H_

#include "mcstat_export.h"

namespace MCCommon {

// Implemented by the host to stop a long computation. The library only holds pointers to
// it and calls IsCancel and WillCancel.
class MCSTAT_EXPORT MCQueryCancel {
 public:
  virtual ~MCQueryCancel();
  // Whether the host asks to cancel now; the holder remembers a true answer.
  virtual bool IsCancel() = 0;
  // Whether the host is about to cancel; the holder does not remember the answer.
  virtual bool WillCancel() = 0;
};

// Cooperative cancellation: the host's query (optional, not owned) and a flag that, once
// set, stays set for the life of the holder.
class MCSTAT_EXPORT MCCancelInfo {
 public:
  // The flag starts clear.
  explicit MCCancelInfo(MCQueryCancel* query = nullptr) : fpQuery(query) {}

  // Sets the flag: every later question answers true without asking the host.
  void SetCancel() { fbCancelled = true; }
  // Asks the host (when the flag is clear and a query is present) and keeps its answer;
  // returns the flag.
  bool IsCancel();
  // True when the flag is set; otherwise the host's WillCancel answer, not kept, or false
  // without a query.
  bool WillCancel() const;

  MCQueryCancel* GetCancelPtr() const { return fpQuery; }
  void SetCancelPtr(MCQueryCancel* query) { fpQuery = query; }

 private:
  MCQueryCancel* fpQuery = nullptr;
  bool fbCancelled = false;
};

}  // namespace MCCommon

#endif  // MCSTAT_MCCANCELINFO_H_

#ifndef MCSTAT_PYTHON_INTERRUPT_H_
#define MCSTAT_PYTHON_INTERRUPT_H_

#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "MCCancelInfo.h"
#include "frontend/Errors.h"

namespace MCPython {

// The cancel query of a computation that runs without the GIL: it takes the GIL now and then
// to run Python's signal handlers, so that Ctrl-C (or any handler that raises) stops the
// computation at the next record, and keeps what the handler raised for Raise.
class PythonInterrupt : public MCCommon::MCQueryCancel {
 public:
  PythonInterrupt() = default;
  PythonInterrupt(const PythonInterrupt&) = delete;
  PythonInterrupt& operator=(const PythonInterrupt&) = delete;
  ~PythonInterrupt() override;

  // Asked before every record: only every few thousandth question runs the handlers.
  bool IsCancel() override { return Poll(); }
  bool WillCancel() override { return Poll(); }
  // Runs the handlers now (any thread; takes the GIL for that moment); true once one raised.
  bool CheckNow();
  // The front end's readers ask every few thousand records: each question runs the handlers.
  MCFrontEnd::CancelCheck Check() {
    return [this]() { return CheckNow(); };
  }
  // With the GIL held, after the computation stopped: raises what the handler raised
  // (KeyboardInterrupt when it was Ctrl-C), or KeyboardInterrupt when nothing was kept.
  [[noreturn]] void Raise();

 private:
  bool Poll() {
    if (fbCancelled.load(std::memory_order_relaxed)) return true;
    if (fCalls.fetch_add(1, std::memory_order_relaxed) % kEvery != 0) return false;
    return CheckNow();
  }

  static constexpr std::uint32_t kEvery = 16384;
  std::atomic<bool> fbCancelled{false};
  std::atomic<std::uint32_t> fCalls{1};
  std::unique_ptr<pybind11::error_already_set> fpRaised;  // written under the GIL
};

// Runs body(query) without the GIL; when the query stopped it (the front end's Cancelled),
// raises in Python what stopped it.
template <typename Body>
auto Interruptible(Body body) {
  PythonInterrupt query;
  try {
    pybind11::gil_scoped_release release;
    return body(query);
  } catch (const MCFrontEnd::Cancelled&) {
    query.Raise();
  }
}

}  // namespace MCPython

#endif  // MCSTAT_PYTHON_INTERRUPT_H_

#include <csignal>

#include "frontend/Commands.h"

namespace MCFrontEnd {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int /*signal*/) { gInterrupted = 1; }

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Reads resume after the handler: the flag, not a failed read, reports the interrupt. A
  // second Ctrl-C ends the program at once (a read that waits for a terminal, say).
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
}

void RequestInterrupt() { gInterrupted = 1; }
void ClearInterrupt() { gInterrupted = 0; }
bool InterruptRequested() { return gInterrupted != 0; }

InterruptQuery::~InterruptQuery() = default;

}  // namespace MCFrontEnd

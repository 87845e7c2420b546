#ifndef MCSTAT_FUZZ_FUZZUTIL_H_
#define MCSTAT_FUZZ_FUZZUTIL_H_

// Helpers shared by the fuzz harnesses.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "MCComponentDisplay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace mcfuzz {

// The readers report every failure on standard error and the displays write to the
// diagnostic stream; at thousands of inputs a second that output is only noise.
inline void QuietStreams() {
  static const bool done = [] {
    std::cerr.rdbuf(nullptr);
    static std::ostringstream sink;
    sink.setstate(std::ios::badbit);
    MCCommon::MCComponentDisplay::SetOutStream(sink);
    return true;
  }();
  (void)done;
}

// A broken invariant is a finding: say which and stop, so the fuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

inline void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

inline std::string AsString(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace mcfuzz

#endif  // MCSTAT_FUZZ_FUZZUTIL_H_

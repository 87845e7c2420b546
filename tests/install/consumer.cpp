// Links against the installed library through the umbrella header and checks two
// exported behaviours, so a broken install or export fails visibly.
#include <cstdio>

#include "mcstat.h"

int main() {
  MCCommon::MCStatus status(301, false);
  if (!status.IsError() || status.GetErrorCode() != 301) return 1;
  if (!MCMV::IsMissing(MCMV::Missing())) return 2;
  std::puts("consumer: ok");
  return 0;
}

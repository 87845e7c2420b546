#include "MCRegLimits.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace {

// A control group's memory limit in bytes ("max" or an absent file: none, 0).
double ControlGroupLimit(const char* path) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    return 0.0;
  }
  return std::stod(text);
}

double ComputeMemoryLimit() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  double limit = pages > 0 && pageSize > 0 ? static_cast<double>(pages) * pageSize : 0.0;
  // Version 2, then version 1 of the control-group hierarchy.
  for (const char* path :
       {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
    const double group = ControlGroupLimit(path);
    if (group > 0.0) limit = limit > 0.0 ? std::min(limit, group) : group;
  }
  return limit;
}

}  // namespace

double MCRegLimits::MemoryLimit() {
  static const double limit = ComputeMemoryLimit();
  return limit;
}

bool MCRegLimits::FitsInMemory(double bytes) {
  const double limit = MemoryLimit();
  return !(limit > 0.0) || bytes <= limit;
}

#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test, then
# does the same again with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
mcstat_install_deps

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Release build"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMCSTAT_WERROR=ON
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"
echo "== Install and link a consumer (find_package and pkg-config)"
./scripts/check-install.sh build/release

echo "== Python package: installed into a virtual environment (its pytest suite runs in ctest)"
python/check-install.sh build/release

echo "== Sanitizer build"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DMCSTAT_WERROR=ON -DMCSTAT_SANITIZE=ON \
      -DMCSTAT_BUILD_BENCHMARKS=OFF
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test: with the BLAS
# the system selects, then with OpenBLAS and with the reference BLAS selected, so that no
# result depends on that choice. Then builds and tests a copy of the repository in an empty
# folder and checks its install, and runs everything again with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
mcstat_install_deps

jobs=$(nproc 2>/dev/null || echo 2)

# The folder of a library file of an installed package.
package_dir() { dirname "$(dpkg -L "$1" | grep -m1 "/$2\$")"; }

echo "== Release build"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMCSTAT_WERROR=ON
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"

# LD_LIBRARY_PATH selects the libblas.so.3 and liblapack.so.3 every program loads, without
# changing the system's choice.
openblas=$(package_dir libopenblas0-pthread libblas.so.3)
reference=$(package_dir libblas3 libblas.so.3):$(package_dir liblapack3 liblapack.so.3)
for selected in "OpenBLAS=$openblas" "reference=$reference"; do
  echo "== Release tests with the ${selected%%=*} BLAS selected (${selected#*=})"
  LD_LIBRARY_PATH="${selected#*=}" ctest --test-dir build/release --output-on-failure -j"$jobs"
done

echo "== A copy of the repository alone: build, tests, install and a consumer"
./scripts/check-install.sh

echo "== Python package: installed into a virtual environment (its pytest suite runs in ctest)"
python/check-install.sh build/release

echo "== Sanitizer build"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DMCSTAT_WERROR=ON -DMCSTAT_SANITIZE=ON \
      -DMCSTAT_BUILD_BENCHMARKS=OFF
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

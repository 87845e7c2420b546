#!/usr/bin/env bash
# Copies the repository into an empty temporary folder, so that nothing beside it can be
# read, builds the library, its tests and mcfit there and runs the tests; then installs into
# a staging prefix and builds a consumer with find_package and with pkg-config.
# Usage: scripts/check-install.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
src="$stage/mcstat"
mkdir "$src"
# The files a clone would hold, with their uncommitted edits; without git, the tree as it is.
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2> /dev/null | tar -xf - -C "$src"
else
  tar --exclude='./build*' -cf - . | tar -xf - -C "$src"
fi
cd "$src"
build="$src/build"
# Runs a step with its output in a log that is shown only when the step fails.
quiet() {
  local log="$build/$1.log"
  shift
  "$@" > "$log" 2>&1 || { cat "$log"; return 1; }
}
mkdir "$build"
quiet configure cmake -S . -B "$build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMCSTAT_WERROR=ON -DMCSTAT_BUILD_BENCHMARKS=OFF -DMCSTAT_BUILD_EXAMPLES=OFF
quiet build cmake --build "$build/release" -j"$jobs"
quiet test ctest --test-dir "$build/release" --output-on-failure -j"$jobs"
grep -E "tests passed|Total Test time" "$build/test.log"

cmake --install "$build/release" --prefix "$build/prefix" > /dev/null
cmake -S tests/install -B "$build/consumer" -DCMAKE_PREFIX_PATH="$build/prefix" > /dev/null
cmake --build "$build/consumer" > /dev/null
LD_LIBRARY_PATH="$build/prefix/lib" "$build/consumer/consumer"
libdir=$(ls -d "$build"/prefix/lib*/pkgconfig | head -1)
flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs mcstat)
g++ -std=c++17 tests/install/consumer.cpp $flags -o "$build/consumer-pc"
LD_LIBRARY_PATH="$build/prefix/lib" "$build/consumer-pc"

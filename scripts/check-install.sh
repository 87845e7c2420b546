#!/usr/bin/env bash
# Installs a built tree into a staging prefix and builds a consumer with find_package and
# with pkg-config. Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/prefix" > /dev/null
cmake -S tests/install -B "$stage/consumer" -DCMAKE_PREFIX_PATH="$stage/prefix" > /dev/null
cmake --build "$stage/consumer" > /dev/null
LD_LIBRARY_PATH="$stage/prefix/lib" "$stage/consumer/consumer"
libdir=$(ls -d "$stage"/prefix/lib*/pkgconfig | head -1)
flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs mcstat)
g++ -std=c++17 tests/install/consumer.cpp $flags -o "$stage/consumer-pc"
LD_LIBRARY_PATH="$stage/prefix/lib" "$stage/consumer-pc"

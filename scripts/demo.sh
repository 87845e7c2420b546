#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on a bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
mcstat_install_deps

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build/release -j"$jobs" --target passes mcfit > /dev/null

echo "== examples/passes: a binary record file read in three passes"
./build/release/examples/passes

echo
echo "== mcfit: a linear model with an interaction on examples/warpbreaks.csv"
./build/release/tools/mcfit/mcfit fit --data examples/warpbreaks.csv --dependent breaks \
  --factors wool,tension --effects 'wool,tension,wool*tension'

echo
echo "== mcfit: a multinomial logistic model on examples/infert.csv"
./build/release/tools/mcfit/mcfit fit --data examples/infert.csv --model logistic \
  --dependent education --covariates age,parity,induced,spontaneous

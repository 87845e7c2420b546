#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on a bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
mcstat_install_deps

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build/release -j"$jobs" --target passes mcfit > /dev/null
mcfit=./build/release/tools/mcfit/mcfit

echo "== examples/passes: a binary record file read in three passes"
./build/release/examples/passes

echo
echo "== mcfit: a formula with crossing, a power and a reference level on examples/mtcars.csv"
"$mcfit" fit --data examples/mtcars.csv \
  --formula 'mpg ~ C(cyl, ref=6) * C(am) + wt + I(wt^2) + log(hp)'

echo
echo "== mcfit: a linear model with an interaction on examples/warpbreaks.csv (older options)"
"$mcfit" fit --data examples/warpbreaks.csv --dependent breaks \
  --factors wool,tension --effects 'wool,tension,wool*tension'

echo
echo "== mcfit: a binomial logistic model with odds ratios on examples/growth.csv"
"$mcfit" fit --data examples/growth.csv --model logistic \
  --formula "C(survived, ref=0) ~ site + temp + C(dose, ref=1)"

echo
echo "== mcfit: a multinomial logistic model on examples/infert.csv"
"$mcfit" fit --data examples/infert.csv --model logistic \
  --formula 'education ~ age + parity + induced + spontaneous'

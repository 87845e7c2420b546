#!/usr/bin/env bash
# Times mcstat.dask.ols on a local Dask cluster (2 worker processes) against mcstat.ols in one
# process, in one run, on N records (default 10,000,000) of the linear benchmark data stored
# as 40 .npy partition files (compare_dask.py); prints both times, the ratio and whether the
# estimates agree (exit 1 when they do not).
#
#   bench/compare_dask.sh                 the package of build/release (BUILD_DIR to change)
#   N=2000000 bench/compare_dask.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
N=${N:-10000000}
BUILD=${BUILD_DIR:-$ROOT/build/release}
cmake --build "$BUILD" -j2 --target mcstat_python >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# Workers are started by the cluster from this environment: they import the same package.
PYTHONPATH="$BUILD/python" /usr/bin/python3 "$ROOT/bench/compare_dask.py" "$WORK" "$N" 40

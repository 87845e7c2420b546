#!/usr/bin/env bash
# Times mcstat.ols on a pandas DataFrame and statsmodels' formula OLS on the same frame, in one
# run: N records (default 1,000,000) of the linear benchmark data (as compare_lm.sh: y, factors
# A, B, C with 10, 20 and 50 levels, x1..x8; effects A, B, C, x1..x8 and A*B with the
# intercept, 289 parameters). The frame's columns are float64 views of the generated records.
# Prints both times and their ratio, and how far each fit raises the process's peak memory
# above the frame; exits 1 when mcstat misses its targets (at least 10 times faster, less than
# 20 MB above the frame). statsmodels needs about 10 GB for 1,000,000 records.
#
#   bench/compare_python.sh        builds linear_fit_bench and the package in build-bench
#   BUILD_DIR=... N=... bench/compare_python.sh
set -euo pipefail

TARGET=linear_fit_bench
NAME=compare_python
source "$(dirname "$0")/compare_common.sh"
echo "mcstat's C++ benchmark program on the binary file: fit ${OURS_FIT} s, peak ${OURS_MEM} MiB"
cmake --build "$BUILD" -j2 --target mcstat_python >/dev/null
PYTHONPATH="$BUILD/python" /usr/bin/python3 "$ROOT/bench/compare_python.py" "$DATA"

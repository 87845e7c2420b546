#!/usr/bin/env bash
# Times our multinomial logistic model and statsmodels MNLogit(...).fit(method="newton") on the
# same generated data, in one run: 1,000,000 records (N to change it) of a response with 4
# categories, factors A and B (5 and 8 levels) and x1..x5, model A + B + x1..x5 with the
# intercept (57 parameters, rank 51), ours with covariate-pattern tabulation.
# Prints both fit times, both peak memories, their ratios, the iterations and -2 log-likelihood
# of both. statsmodels is skipped when /usr/bin/python3 cannot import it. Needs /usr/bin/time
# (Debian package "time").
#
#   bench/compare_mlogit.sh        builds bench/logistic_fit_bench in build-bench (Release)
#   BUILD_DIR=... N=... bench/compare_mlogit.sh
set -euo pipefail

PYTHON=/usr/bin/python3
TARGET=logistic_fit_bench
NAME=compare_mlogit
source "$(dirname "$0")/compare_common.sh"
echo "mcstat: fit ${OURS_FIT} s (process ${OURS_WALL} s), peak ${OURS_MEM} MiB," \
  "rank $(awk '/^rank/ {print $2}' "$WORK/ours.out")," \
  "iterations $(awk '/^iterations/ {print $2}' "$WORK/ours.out")," \
  "stop reason $(awk '/^stop_reason/ {print $2}' "$WORK/ours.out")," \
  "-2LL $(awk '/^minus2ll/ {print $2}' "$WORK/ours.out")"

if [ ! -x "$PYTHON" ] || ! "$PYTHON" -c 'import numpy, statsmodels' >/dev/null 2>&1; then
  echo "statsmodels: not importable by $PYTHON, skipped"
  exit 0
fi

cat >"$WORK/mnlogit.py" <<'PYSCRIPT'
import sys
import time

import numpy as np
import statsmodels.api as sm

path, n = sys.argv[1], int(sys.argv[2])
m = np.fromfile(path, dtype="<f8", count=8 * n).reshape(n, 8)
y = m[:, 0].astype(np.int64)
a = m[:, 1].astype(np.int64)
b = m[:, 2].astype(np.int64)
# Indicator columns for every level but the last, as in our parameterisation.
cols = [np.ones(n)]
cols += [(a == k).astype(float) for k in range(4)]
cols += [(b == k).astype(float) for k in range(7)]
cols += [m[:, 3 + k] for k in range(5)]
x = np.column_stack(cols)
del m, cols
start = time.perf_counter()
res = sm.MNLogit(y, x).fit(method="newton", maxiter=100, tol=1e-8, disp=0)
seconds = time.perf_counter() - start
print("fit_seconds %.3f" % seconds)
print("parameters %d" % res.params.size)
print("iterations %d" % res.mle_retvals["iterations"])
print("converged %s" % res.mle_retvals["converged"])
print("minus2ll %.15g" % (-2.0 * res.llf))
PYSCRIPT

"$TIME" -v -o "$WORK/py.time" "$PYTHON" "$WORK/mnlogit.py" "$DATA" "$N" >"$WORK/py.out"
PY_FIT=$(awk '/^fit_seconds/ {print $2}' "$WORK/py.out")
PY_WALL=$(wall_seconds "$WORK/py.time")
PY_MEM=$(peak_mib "$WORK/py.time")
echo "statsmodels MNLogit: fit ${PY_FIT} s (process ${PY_WALL} s), peak ${PY_MEM} MiB," \
  "parameters $(awk '/^parameters/ {print $2}' "$WORK/py.out")," \
  "iterations $(awk '/^iterations/ {print $2}' "$WORK/py.out")," \
  "converged $(awk '/^converged/ {print $2}' "$WORK/py.out")," \
  "-2LL $(awk '/^minus2ll/ {print $2}' "$WORK/py.out")"

awk -v of="$OURS_FIT" -v pf="$PY_FIT" -v ow="$OURS_WALL" -v pw="$PY_WALL" -v om="$OURS_MEM" \
  -v pm="$PY_MEM" -v ol="$(awk '/^minus2ll/ {print $2}' "$WORK/ours.out")" \
  -v pl="$(awk '/^minus2ll/ {print $2}' "$WORK/py.out")" 'BEGIN {
  d = ol - pl; if (d < 0) d = -d
  printf "ratio statsmodels / mcstat: fit time %.1fx, process time %.1fx, peak memory %.1fx\n",
    pf / of, pw / ow, pm / om
  printf "-2LL relative difference %.3g\n", d / pl }'

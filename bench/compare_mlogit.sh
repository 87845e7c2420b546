#!/usr/bin/env bash
# Times our multinomial logistic model and statsmodels MNLogit(...).fit(method="newton") on the
# same generated data, in one run: 1,000,000 records (N to change it) of a response with 4
# categories, factors A and B (5 and 8 levels) and x1..x5, model A + B + x1..x5 with the
# intercept (57 parameters, rank 51), ours with covariate-pattern tabulation.
# Prints both fit times, both peak memories, their ratios, the iterations and -2 log-likelihood
# of both, and the largest relative differences of the estimates and standard errors (the
# response recoded so that statsmodels' reference, its first category, is our last), which must
# stay within 1e-9; our fit must stop by its parameter criterion (stop reason 2).
# statsmodels is skipped when /usr/bin/python3 cannot import it. Needs /usr/bin/time (Debian
# package "time").
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

path, n, ours = sys.argv[1], int(sys.argv[2]), sys.argv[3]
m = np.fromfile(path, dtype="<f8", count=8 * n).reshape(n, 8)
# Our reference is the last category (3), statsmodels' the first: 3 becomes 0, k becomes k + 1.
y = (m[:, 0].astype(np.int64) + 1) % 4
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
res = sm.MNLogit(y, x).fit(method="newton", maxiter=100, tol=1e-12, disp=0)
seconds = time.perf_counter() - start
# Ours: logit j (category j against 3) is statsmodels' column j; parameters in column order.
mine = np.array([[float(v) for v in line.split()[1:3]]
                 for line in open(ours) if line.startswith("param ")])
theirs_b = np.asarray(res.params).T.ravel()
theirs_se = np.asarray(res.bse).T.ravel()
if mine.shape[0] != theirs_b.size:
    print("compared 0 (parameter counts %d and %d differ)" % (mine.shape[0], theirs_b.size))
else:
    rel_b = np.abs(mine[:, 0] - theirs_b) / np.abs(theirs_b)
    rel_se = np.abs(mine[:, 1] - theirs_se) / np.abs(theirs_se)
    print("compared %d" % theirs_b.size)
    print("worst_estimate %.3g" % rel_b.max())
    print("worst_se %.3g" % rel_se.max())
print("fit_seconds %.3f" % seconds)
print("parameters %d" % res.params.size)
print("iterations %d" % res.mle_retvals["iterations"])
print("converged %s" % res.mle_retvals["converged"])
print("minus2ll %.15g" % (-2.0 * res.llf))
PYSCRIPT

"$TIME" -v -o "$WORK/py.time" "$PYTHON" "$WORK/mnlogit.py" "$DATA" "$N" "$WORK/ours.out" \
  >"$WORK/py.out"
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

echo "parameters compared: $(field compared "$WORK/py.out")," \
  "largest relative difference: estimate $(field worst_estimate "$WORK/py.out")," \
  "standard error $(field worst_se "$WORK/py.out")"
awk -v b="$(field worst_estimate "$WORK/py.out")" -v s="$(field worst_se "$WORK/py.out")" \
  -v c="$(field compared "$WORK/py.out")" -v r="$(field stop_reason "$WORK/ours.out")" 'BEGIN {
  if (c > 0 && b <= 1e-9 && s <= 1e-9 && r == 2) {
    print "agreement to 1e-9, stopped by the parameter criterion"; exit 0 }
  print "AGREEMENT FAILED (1e-9, stop reason " r ")"; exit 1 }'

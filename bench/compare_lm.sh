#!/usr/bin/env bash
# Times our linear model and R's lm() on the same generated data, in one run: 1,000,000
# records (N to change it) of y, factors A, B, C (10, 20, 50 levels) and x1..x8, model
# A + B + C + x1..x8 + A*B with the intercept (289 parameters, rank 257).
# Prints both fit times, both peak memories and their ratios. R is skipped when Rscript is
# absent. Needs /usr/bin/time (Debian package "time").
#
#   bench/compare_lm.sh            builds bench/linear_fit_bench in build-bench (Release)
#   BUILD_DIR=... N=... bench/compare_lm.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
N=${N:-1000000}
BUILD=${BUILD_DIR:-$ROOT/build-bench}
TIME=/usr/bin/time
if [ ! -x "$TIME" ]; then
  echo "compare_lm: /usr/bin/time is missing (apt-get install time)" >&2
  exit 1
fi

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMCSTAT_BUILD_BENCHMARKS=ON \
    -DMCSTAT_BUILD_TESTS=OFF -DMCSTAT_BUILD_EXAMPLES=OFF -DMCSTAT_BUILD_TOOLS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target linear_fit_bench >/dev/null
BIN="$BUILD/bench/linear_fit_bench"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
DATA="$WORK/records.bin"
"$BIN" --generate "$DATA" "$N"
echo "data: $N records, $(($(stat -c %s "$DATA") / 1048576)) MiB"

# Wall time in seconds and peak resident memory in MiB from a `time -v` report.
wall_seconds() {
  awk -F': ' '/Elapsed \(wall clock\)/ {
    n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$1"
}
peak_mib() {
  awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$1"
}

"$TIME" -v -o "$WORK/ours.time" "$BIN" --fit "$DATA" >"$WORK/ours.out"
OURS_FIT=$(awk '/^fit_seconds/ {print $2}' "$WORK/ours.out")
OURS_WALL=$(wall_seconds "$WORK/ours.time")
OURS_MEM=$(peak_mib "$WORK/ours.time")
echo "mcstat: fit ${OURS_FIT} s (process ${OURS_WALL} s), peak ${OURS_MEM} MiB," \
  "rank $(awk '/^rank/ {print $2}' "$WORK/ours.out")," \
  "R squared $(awk '/^r_squared/ {print $2}' "$WORK/ours.out")"

if ! command -v Rscript >/dev/null 2>&1; then
  echo "R: Rscript not found, skipped"
  exit 0
fi

cat >"$WORK/lm.R" <<'RSCRIPT'
args <- commandArgs(trailingOnly = TRUE)
n <- as.integer(args[2])
v <- readBin(args[1], "double", n = 12 * n)
m <- matrix(v, ncol = 12, byrow = TRUE)
rm(v)
d <- data.frame(y = m[, 1], A = factor(m[, 2]), B = factor(m[, 3]), C = factor(m[, 4]),
                m[, 5:12])
names(d)[5:12] <- paste0("x", 1:8)
rm(m)
t <- system.time(fit <- lm(y ~ A + B + C + x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8 + A:B,
                           data = d))
cat("lm_seconds", t[["elapsed"]], "\n")
cat("rank", fit$rank, "\n")
cat("r_squared", format(summary(fit)$r.squared, digits = 15), "\n")
RSCRIPT

"$TIME" -v -o "$WORK/r.time" Rscript "$WORK/lm.R" "$DATA" "$N" >"$WORK/r.out"
R_FIT=$(awk '/^lm_seconds/ {print $2}' "$WORK/r.out")
R_WALL=$(wall_seconds "$WORK/r.time")
R_MEM=$(peak_mib "$WORK/r.time")
echo "R lm(): fit ${R_FIT} s (process ${R_WALL} s), peak ${R_MEM} MiB," \
  "rank $(awk '/^rank/ {print $2}' "$WORK/r.out")," \
  "R squared $(awk '/^r_squared/ {print $2}' "$WORK/r.out")"

awk -v of="$OURS_FIT" -v rf="$R_FIT" -v om="$OURS_MEM" -v rm="$R_MEM" 'BEGIN {
  printf "ratio R / mcstat: time %.1fx, peak memory %.1fx\n", rf / of, rm / om }'

#!/usr/bin/env bash
# mcfit out of core: fits the linear benchmark model (y on factors A, B, C with 10, 20 and 50
# levels, covariates x1..x8 and A*B; 289 parameters) to 1,000,000 and 10,000,000 generated
# records from binary record files, and to 1,000,000 from CSV, printing wall and CPU time and
# peak resident memory (/usr/bin/time's %M: mapped file pages count) of each run; then R's
# lm() on the 1,000,000-record file in the same run for the ratio. Checks the targets: peak
# memory at most 64 MiB everywhere, the 10M fit within 10% of the 1M fit's memory and 11x its
# time, the CSV fit within 2x the binary fit. R is skipped when Rscript is absent. Needs
# /usr/bin/time (Debian package "time") and about 1.3 GB in the temporary folder.
# Each mcfit fit runs REPEAT times (default 3) and the fastest run counts.
#
#   bench/compare_outofcore.sh          builds mcfit in build-bench (Release)
#   BUILD_DIR=... bench/compare_outofcore.sh
set -euo pipefail

NAME=compare_outofcore
source "$(dirname "$0")/mcfit_common.sh"
"$MCFIT" gen --rows 1000000 --out "$WORK/d1.bin"
"$MCFIT" gen --rows 10000000 --out "$WORK/d10.bin"
"$MCFIT" gen --rows 1000000 --out "$WORK/d1.csv"
mib() { echo $(($(stat -c %s "$1") / 1048576)); }
echo "data: 1M binary $(mib "$WORK/d1.bin") MiB, 10M binary $(mib "$WORK/d10.bin") MiB," \
  "1M CSV $(mib "$WORK/d1.csv") MiB"

# fit NAME ARGS...: the fastest of REPEAT runs, reported.
fit() {
  fastest_fit "$@"
  report "$1" "$WORK/$1.time" \
    "$(grep -m1 '"r_squared"' "$WORK/$1.json" | tr -d ' ,' | cut -d: -f2)"
}
# report NAME TIMEFILE RSQUARED: one line of the table.
report() {
  awk -v name="$1" -v r2="$3" '{
    printf "%-12s wall %7.2f s  cpu %7.2f s  peak %6.1f MiB  R squared %s\n",
      name, $1, $2 + $3, $4 / 1024, r2 }' "$2"
}
field() { awk -v k="$2" '{print $k}' "$WORK/$1.time"; }

echo "mcfit fit, fastest of $REPEAT runs (three passes of the library and one of the front end" \
  "over the records):"
fit bin1M --data "$WORK/d1.bin" $COLUMNS_ARG
fit bin10M --data "$WORK/d10.bin" $COLUMNS_ARG
fit csv1M --data "$WORK/d1.csv"

check() {  # check DESCRIPTION CONDITION(awk expression on a, b)
  if awk -v a="$2" -v b="$3" "BEGIN { exit !($4) }"; then
    echo "  ok    $1"
  else
    echo "  MISSED $1"
  fi
}
echo "targets:"
for run in bin1M bin10M csv1M; do
  check "$run peak memory <= 64 MiB" "$(field $run 4)" 0 "a <= 65536"
done
check "10M peak within 10% of 1M ($(field bin10M 4) vs $(field bin1M 4) KiB)" \
  "$(field bin10M 4)" "$(field bin1M 4)" "a <= 1.10 * b"
check "10M time within 11x of 1M ($(field bin10M 1) vs $(field bin1M 1) s)" \
  "$(field bin10M 1)" "$(field bin1M 1)" "a <= 11 * b"
check "1M CSV time within 2x of 1M binary ($(field csv1M 1) vs $(field bin1M 1) s)" \
  "$(field csv1M 1)" "$(field bin1M 1)" "a <= 2 * b"

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
fit <- lm(y ~ A + B + C + x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8 + A:B, data = d)
cat("r_squared", format(summary(fit)$r.squared, digits = 15), "\n")
RSCRIPT
"$TIME" -f "%e %U %S %M" -o "$WORK/r.time" Rscript "$WORK/lm.R" "$WORK/d1.bin" 1000000 \
  >"$WORK/r.out"
report "R lm() 1M" "$WORK/r.time" "$(awk '/^r_squared/ {print $2}' "$WORK/r.out")"
awk -v ow="$(field bin1M 1)" -v rw="$(field r 1)" -v om="$(field bin1M 4)" -v rm="$(field r 4)" 'BEGIN {
  printf "ratio R / mcfit on the 1M binary file (whole process): time %.1fx, peak memory %.1fx\n",
    rw / ow, rm / om }'

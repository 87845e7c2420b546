#!/usr/bin/env bash
# Times our linear model and R's lm() on the same generated data, in one run: 1,000,000
# records (N to change it) of y, factors A, B, C (10, 20, 50 levels) and x1..x8, model
# A + B + C + x1..x8 + A*B with the intercept (289 parameters, rank 257).
# Prints both fit times, both peak memories and their ratios, and compares every coefficient:
# R's lm() with contr.SAS coding (the last level of each factor is the reference, as the sweep
# finds it) has the same non-redundant columns, so the estimates and standard errors of the two
# fits must agree; the largest relative differences are printed. R is skipped when Rscript is
# absent. Needs /usr/bin/time (Debian package "time").
#
#   bench/compare_lm.sh            builds bench/linear_fit_bench in build-bench (Release)
#   BUILD_DIR=... N=... bench/compare_lm.sh
set -euo pipefail

TARGET=linear_fit_bench
NAME=compare_lm
source "$(dirname "$0")/compare_common.sh"
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
options(contrasts = c("contr.SAS", "contr.poly"))
d <- data.frame(y = m[, 1], A = factor(m[, 2]), B = factor(m[, 3]), C = factor(m[, 4]),
                m[, 5:12])
names(d)[5:12] <- paste0("x", 1:8)
rm(m)
t <- system.time(fit <- lm(y ~ A + B + C + x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8 + A:B,
                           data = d))
cat("lm_seconds", t[["elapsed"]], "\n")
cat("rank", fit$rank, "\n")
s <- summary(fit)
cat("r_squared", format(s$r.squared, digits = 15), "\n")
se <- s$coefficients[, 2]
for (name in names(coef(fit))) {
  b <- coef(fit)[[name]]
  if (is.na(b)) {
    cat("param", name, "NA NA\n")
  } else {
    cat("param", name, format(b, digits = 17), format(se[[name]], digits = 17), "\n")
  }
}
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

# Coefficients by name: R's contr.SAS design has no column for a last level, so each of our
# aliased parameters must be NA or absent in R, and every other one estimated by both.
awk '
  function rel(a, b) { d = a - b; if (d < 0) d = -d; if (b < 0) b = -b; return b > 0 ? d / b : d }
  FNR == NR && $1 == "param" { rb[$2] = $3; rs[$2] = $4; next }
  $1 == "param" {
    n++
    if ($3 == "NA") { if (!($2 in rb) || rb[$2] == "NA") aliased++; else alias++; next }
    if (!($2 in rb)) { missing++; next }
    if (rb[$2] == "NA") { alias++; next }
    e = rel($3, rb[$2]); s = rel($4, rs[$2])
    if (e > worstB) { worstB = e; nameB = $2 }
    if (s > worstS) { worstS = s; nameS = $2 }
    compared++
  }
  END {
    printf "coefficients: %d, compared %d, aliased (no column in R) %d, aliased in one only %d, missing in R %d\n",
      n, compared, aliased, alias + 0, missing + 0
    printf "largest relative difference: estimate %.3g (%s), standard error %.3g (%s)\n",
      worstB, nameB, worstS, nameS
    if (alias + missing > 0 || worstB > 1e-9 || worstS > 1e-9) { print "AGREEMENT FAILED (1e-9)"; exit 1 }
    print "every estimate and standard error agrees to 1e-9"
  }' "$WORK/r.out" "$WORK/ours.out"

#!/usr/bin/env bash
# mcfit on threads: fits the linear benchmark model (y on factors A, B, C with 10, 20 and 50
# levels, covariates x1..x8 and A*B; 289 parameters) to N generated records (default
# 10,000,000) of a binary record file with --threads 1 and --threads T (default 2), each the
# fastest of REPEAT runs (default 3), and prints both wall and CPU times, the speed-up (wall
# time of one thread over that of T), whether it reaches TARGET (default 1.7) and whether the
# two JSON documents are the same to the last digit. Other work on the machine slows either
# run: measure when it is quiet. Needs /usr/bin/time (Debian package "time") and N x 96 bytes
# in the temporary folder.
#
#   bench/compare_threads.sh            builds mcfit in build-bench (Release)
#   N=... T=... REPEAT=... TARGET=... BUILD_DIR=... bench/compare_threads.sh
set -euo pipefail

NAME=compare_threads
source "$(dirname "$0")/mcfit_common.sh"
N=${N:-10000000}
T=${T:-2}
"$MCFIT" gen --rows "$N" --out "$WORK/data.bin"
echo "data: $N records, $(($(stat -c %s "$WORK/data.bin") / 1048576)) MiB, $(nproc) cores," \
  "load average $(cut -d' ' -f1 /proc/loadavg)"

for threads in 1 "$T"; do
  fastest_fit "t$threads" --data "$WORK/data.bin" $COLUMNS_ARG --threads "$threads"
  awk -v t="$threads" '{ printf "threads %-2s wall %6.2f s  cpu %6.2f s\n", t, $1, $2 + $3 }' \
    "$WORK/t$threads.time"
done
awk -v a="$(cut -d' ' -f1 "$WORK/t1.time")" -v b="$(cut -d' ' -f1 "$WORK/t$T.time")" -v t="$T" \
  -v target="${TARGET:-1.7}" 'BEGIN {
    printf "speed-up with %d threads: %.2fx (wall time of 1 thread / %d threads)\n", t, a / b, t
    printf "target %.2fx: %s\n", target, (a / b >= target) ? "met" : "NOT MET" }'
if cmp -s "$WORK/t1.json" "$WORK/t$T.json"; then
  echo "results: the same JSON, digit for digit"
else
  echo "RESULTS DIFFER between 1 and $T threads"
  exit 1
fi

# Sourced by the compare_*.sh scripts once they set TARGET (the benchmark program) and NAME (for
# messages): builds the program in build-bench (Release; BUILD_DIR to change it), generates N
# records (default 1,000,000) into a temporary folder and times our fit of them. Leaves WORK,
# DATA, OURS_FIT, OURS_WALL, OURS_MEM and our output in $WORK/ours.out, and the helpers below.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
N=${N:-1000000}
BUILD=${BUILD_DIR:-$ROOT/build-bench}
TIME=/usr/bin/time
if [ ! -x "$TIME" ]; then
  echo "$NAME: /usr/bin/time is missing (apt-get install time)" >&2
  exit 1
fi

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMCSTAT_BUILD_BENCHMARKS=ON \
    -DMCSTAT_BUILD_TESTS=OFF -DMCSTAT_BUILD_EXAMPLES=OFF -DMCSTAT_BUILD_TOOLS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target "$TARGET" >/dev/null
BIN="$BUILD/bench/$TARGET"

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
# The value of a "name value" line of an output file.
field() {
  awk -v k="$1" '$1 == k {print $2}' "$2"
}

"$TIME" -v -o "$WORK/ours.time" "$BIN" --fit "$DATA" >"$WORK/ours.out"
OURS_FIT=$(field fit_seconds "$WORK/ours.out")
OURS_WALL=$(wall_seconds "$WORK/ours.time")
OURS_MEM=$(peak_mib "$WORK/ours.time")

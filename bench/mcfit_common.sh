# Sourced by the scripts that time mcfit once they set NAME (for messages): builds mcfit in
# build-bench (Release; BUILD_DIR to change it) and makes a temporary folder, removed at exit.
# Leaves ROOT, BUILD, TIME, MCFIT, WORK, the linear benchmark model's arguments (COLUMNS_ARG
# for a binary file, MODEL) and fastest_fit.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build-bench}
TIME=/usr/bin/time
if [ ! -x "$TIME" ]; then
  echo "$NAME: /usr/bin/time is missing (apt-get install time)" >&2
  exit 1
fi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMCSTAT_BUILD_TOOLS=ON \
  -DMCSTAT_BUILD_TESTS=OFF -DMCSTAT_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$BUILD" -j2 --target mcfit >/dev/null
MCFIT="$BUILD/tools/mcfit/mcfit"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

COLUMNS_ARG="--columns y,A,B,C,x1,x2,x3,x4,x5,x6,x7,x8"
MODEL=(--dependent y --factors A,B,C --covariates x1,x2,x3,x4,x5,x6,x7,x8
       --effects A,B,C,x1,x2,x3,x4,x5,x6,x7,x8,A*B --quiet)

# fastest_fit NAME ARGS...: `mcfit fit ARGS` with the model REPEAT times (default 3), keeping
# the fastest run, so that other work on the machine disturbs the comparison less; leaves
# "wall user sys peak_kib" in $WORK/NAME.time and the JSON in $WORK/NAME.json.
REPEAT=${REPEAT:-3}
fastest_fit() {
  local name=$1
  shift
  local run
  for run in $(seq "$REPEAT"); do
    "$TIME" -f "%e %U %S %M" -o "$WORK/$name.run" "$MCFIT" fit "$@" "${MODEL[@]}" \
      --json "$WORK/$name.json"
    if [ "$run" -eq 1 ] || awk -v a="$(awk '{print $1}' "$WORK/$name.run")" \
        -v b="$(awk '{print $1}' "$WORK/$name.time")" 'BEGIN { exit !(a < b) }'; then
      cp "$WORK/$name.run" "$WORK/$name.time"
    fi
  done
}

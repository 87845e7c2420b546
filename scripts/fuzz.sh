#!/usr/bin/env bash
# Builds the fuzz harnesses of fuzz/ as libFuzzer programs (clang, AddressSanitizer and
# UBSan) in build/fuzz (or $MCSTAT_FUZZ_BUILD) and runs each for SECONDS (default 60) over a working copy of its
# committed corpus. Prints each harness's libFuzzer statistics (executions per second,
# coverage) and exits non-zero when a harness found a crash, a leak, a timeout or a broken
# invariant; the input that did it is left in the build folder's artifacts/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
mcstat_install_deps clang-14 libclang-rt-14-dev

seconds=${1:-60}
build=${MCSTAT_FUZZ_BUILD:-build/fuzz}
jobs=$(nproc 2>/dev/null || echo 2)

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMCSTAT_BUILD_FUZZERS=ON -DMCSTAT_SANITIZE=ON -DMCSTAT_BUILD_TESTS=OFF \
  -DMCSTAT_BUILD_BENCHMARKS=OFF -DMCSTAT_BUILD_EXAMPLES=OFF -DMCSTAT_BUILD_TOOLS=OFF >/dev/null

harnesses=()
for dir in fuzz/corpus/*/; do
  name=$(basename "$dir")
  harnesses+=("$name")
done
targets=()
for name in "${harnesses[@]}"; do targets+=("fuzz_$name"); done
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

mkdir -p "$build/artifacts" "$build/logs"
failed=()
summary=()
for name in "${harnesses[@]}"; do
  work="$build/corpus-work/$name"
  mkdir -p "$work"
  log="$build/logs/$name.log"
  echo "== fuzz_$name for ${seconds}s"
  set +e
  # New inputs go to the working corpus; the committed seeds are only read.
  "$build/fuzz/fuzz_$name" "$work" "fuzz/corpus/$name" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name-" >"$log" 2>&1
  rc=$?
  set -e
  # The last status line ("#N DONE cov: ... exec/s: ...") and the final statistics.
  done_line=$(grep -E '^#[0-9]+[[:space:]]+(DONE|INITED)' "$log" | tail -1 || true)
  execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' || true)
  rate=$(grep -E '^stat::average_exec_per_sec' "$log" | awk '{print $2}' || true)
  echo "$done_line"
  grep -E '^stat::' "$log" || true
  summary+=("$(printf '%-16s runs %-10s exec/s %-8s %s' "$name" "${execs:-?}" "${rate:-?}" \
    "$(echo "$done_line" | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)")")
  if [ $rc -ne 0 ]; then
    failed+=("$name")
    echo "!! fuzz_$name stopped with status $rc; see $log"
    grep -E 'ERROR|SUMMARY|invariant|Test unit written' "$log" | head -20 || true
  fi
done

echo "== summary (${seconds}s each)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "findings in: ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
echo "no findings"

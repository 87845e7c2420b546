#!/usr/bin/env bash
# Runs the test programs that use Xerces (XML writing and parsing, variable metadata, the
# hostile-input tests and the XML fuzz harnesses over their corpora) under valgrind memcheck,
# in a build without sanitizers in build/memcheck (or $MCSTAT_MEMCHECK_BUILD). Exits non-zero
# at the first program with a memory error or a leak. Not part of CI: it takes some minutes.
#   scripts/memcheck.sh [GTEST_FILTER]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
mcstat_install_deps valgrind

build=${MCSTAT_MEMCHECK_BUILD:-build/memcheck}
jobs=$(nproc 2>/dev/null || echo 2)
filter=${1:-*}

tests=(mcstat_mcxml_tests mcstat_mcparsexml_tests mcstat_metadata_tests mcstat_hostile_tests)
fuzzers=(pmml_reader settings_reader varlist_stream)
targets=("${tests[@]}")
for name in "${fuzzers[@]}"; do targets+=("fuzz_${name}_regression"); done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMCSTAT_SANITIZE=OFF \
  -DMCSTAT_BUILD_BENCHMARKS=OFF -DMCSTAT_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

mkdir -p "$build/memcheck-logs"
memcheck=(valgrind --tool=memcheck --error-exitcode=1 --leak-check=full
          --errors-for-leak-kinds=definite,indirect,possible --track-origins=yes
          --num-callers=30)
if [ -f scripts/valgrind.supp ]; then memcheck+=(--suppressions=scripts/valgrind.supp); fi
failed=()
run() {
  local name=$1
  shift
  local log="$build/memcheck-logs/$name.log"
  echo "== $name"
  if "${memcheck[@]}" --log-file="$log" "$@" >"$log.out" 2>&1; then
    grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|possibly lost' "$log" || true
  else
    failed+=("$name")
    echo "!! $name: see $log and $log.out"
    grep -E 'ERROR SUMMARY|Invalid|uninitialised|lost in' "$log" | head -20 || true
    tail -5 "$log.out"
  fi
}

for t in "${tests[@]}"; do
  run "$t" "$build/tests/$t" --gtest_filter="$filter" --gtest_brief=1
done
for name in "${fuzzers[@]}"; do
  run "fuzz_$name" "$build/tests/fuzz_${name}_regression" "fuzz/corpus/$name"
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "memcheck found errors in: ${failed[*]}"
  exit 1
fi
echo "memcheck: no errors"

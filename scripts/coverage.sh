#!/usr/bin/env bash
# Line and branch coverage of src/ by the test suite: builds with gcov instrumentation in its
# own folder (BUILD_DIR, default build-cov), runs the tests (the valgrind constant-time
# programs are left out: they re-run paths the unit tests already take, very slowly), and
# prints per-file line and branch tables and the library total (everything but the command
# line's process entry), failing when the library's line coverage is below 95% (COVERAGE_MIN).
# Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-packages.sh cmake g++ libgtest-dev nlohmann-json3-dev libssl-dev gcovr
build="${BUILD_DIR:-build-cov}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="--coverage" \
  -DCMAKE_EXE_LINKER_FLAGS="--coverage" "$@" >/dev/null
# Some black-box tests make the program's own file writes fail on purpose (a preload library),
# which also fails libgcov's writes at exit; its complaints go to a file, not into the
# standard error that those tests compare. Counts from an earlier build are dropped first.
mkdir -p "$build"
export GCOV_ERROR_FILE="$PWD/$build/gcov-errors.log"
find "$build" -name '*.gcda' -delete
cmake --build "$build" -j2
# Test discovery ran the programs during the build: count only the test run below.
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j2 -LE constant-time --output-on-failure >"$build/ctest.log" ||
  { tail -n 40 "$build/ctest.log"; echo "tests failed" >&2; exit 1; }
tail -n 3 "$build/ctest.log"

opts=(--root . --object-directory "$build" --exclude-directories "$build/CMakeFiles" --filter 'src/'
      --exclude-unreachable-branches
      --exclude-throw-branches)
echo "== line coverage per file"
gcovr "${opts[@]}"
echo "== branch coverage per file"
gcovr "${opts[@]}" --branches
echo "== library (all of src/ but the process entry of vantiro_cli)"
gcovr "${opts[@]}" --exclude 'src/vantiro_cli/entry/' --print-summary -o /dev/null \
  --fail-under-line "${COVERAGE_MIN:-95}" ||
  { echo "library line coverage is below ${COVERAGE_MIN:-95}%" >&2; exit 1; }

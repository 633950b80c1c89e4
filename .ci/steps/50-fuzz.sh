#!/usr/bin/env bash
# Bounded fuzzing: every libFuzzer target (clang, ASan + UBSan) runs for FUZZ_SECONDS
# (default 30) from a copy of its committed seed corpus. A crash, an abort of a check, a
# sanitizer report, a leak or a hang fails the step.
set -euo pipefail
cd "$(dirname "$0")/../.."
export BUILD_DIR="${BUILD_DIR:-build-fuzz-ci}"
bash scripts/ensure-packages.sh cmake clang libclang-rt-14-dev libssl-dev
rm -rf "$BUILD_DIR"
mkdir -p "$BUILD_DIR"
for target in $(bash scripts/fuzz.sh --list); do
  echo "-- $target"
  log="$BUILD_DIR/$target.log"
  if ! bash scripts/fuzz.sh "$target" "${FUZZ_SECONDS:-30}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $target failed; the input is saved under $BUILD_DIR/artifacts/" >&2
    exit 1
  fi
  grep -E '^(fuzzing|stat::number_of_executed_units|stat::average_exec_per_sec|Done)' "$log" || true
done

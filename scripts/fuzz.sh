#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs one of them, starting from
# a scratch copy of its committed seed corpus, for the given number of seconds (default 600).
# Usage: scripts/fuzz.sh <target> [seconds] [extra libFuzzer flags...]
#        scripts/fuzz.sh --list
# BUILD_DIR picks the build folder (default build-fuzz). Exits non-zero on any finding; the
# crashing input is left in <build>/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-fuzz}"
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
if [ "${1:-}" = "--list" ]; then
  echo "$targets"
  exit 0
fi
target="${1:?usage: scripts/fuzz.sh <target> [seconds] (targets: $(echo $targets))}"
seconds="${2:-600}"
shift $(( $# >= 2 ? 2 : 1 ))
if ! grep -qx "$target" <<<"$targets"; then
  echo "unknown target $target (targets: $(echo $targets))" >&2
  exit 2
fi

bash scripts/ensure-packages.sh cmake clang libclang-rt-14-dev libssl-dev
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTIRO_BUILD_FUZZ=ON -DVANTIRO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target "$target" >/dev/null

# The committed corpus is only read: the run grows a copy of it.
work="$build/work/$target"
rm -rf "$work"
mkdir -p "$work" "$build/artifacts"
cp fuzz/corpus/"$target"/* "$work"/
echo "fuzzing $target for ${seconds}s from $(ls "$work" | wc -l) seed(s)"
# Inputs up to 4 KiB: room for long messages and many pieces beyond the small seeds.
"$build/fuzz/$target" "$work" -max_total_time="$seconds" -max_len=4096 -timeout=25 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/$target-" "$@"

#!/usr/bin/env bash
# Builds only the vantiro-cli executable (no tests, no test dependencies) and runs its
# self test: a 3-of-5 ceremony end to end in memory. BUILD_DIR picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-packages.sh cmake g++
build="${BUILD_DIR:-build-tool}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTIRO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vantiro-cli >/dev/null
"$build/src/vantiro_cli/vantiro-cli" selftest

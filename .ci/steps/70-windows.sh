#!/usr/bin/env bash
# Windows: cross-compiles everything with MinGW-w64 and runs the unit tests and the
# command-line black-box tests (wildcard recovery included) under wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/ensure-packages.sh g++-mingw-w64-x86-64-posix wine wine64 googletest \
  nlohmann-json3-dev python3 cmake
build="${BUILD_DIR:-build-win}"
args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo)
[ -n "${VANTIRO_VECTORS_DIR:-}" ] && args+=(-DVANTIRO_VECTORS_DIR="$VANTIRO_VECTORS_DIR")
# The Linux build's independent Ed25519 oracle, when there is one, checks the anchors of
# the Windows build too.
[ -x build/tests/vt_ed25519_oracle ] && args+=(-DVANTIRO_HOST_ED25519_ORACLE="$PWD/build/tests/vt_ed25519_oracle")
export WINEDEBUG=-all
cmake -S . -B "$build" "${args[@]}"
# One wine server for the whole step (test discovery in the build included): processes
# that each start and stop their own were seen to hang or fail under load, one connecting
# while another's server shut down. The first run creates the prefix and waits for its
# server to end; then the server stays up until the end of the step.
prefix="$PWD/$build/wineprefix"
cmake/wine-run.sh "$prefix" wineboot >/dev/null 2>&1 || true
WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
WINEPREFIX="$prefix" wineserver -p 2>/dev/null || true
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true' EXIT
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2

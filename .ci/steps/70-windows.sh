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
cmake --build "$build" -j2
status=0
ctest --test-dir "$build" --output-on-failure -j2 || status=$?
# Stop the wine server of this build's prefix (it would otherwise linger a few seconds).
WINEPREFIX="$PWD/$build/wineprefix" wineserver -k 2>/dev/null || true
exit "$status"

#!/usr/bin/env bash
# Builds the release of vantiro-cli from a clean build folder and prints the SHA-256 of
# each binary. The bytes depend only on the source and the toolchain (see README).
#   bash scripts/release.sh [linux|windows|all]      (default: all)
# OUT_DIR (default: out/ in the source tree) receives vantiro-cli, vantiro-cli.exe,
# SHA256SUMS and BUILDINFO (the toolchain package versions a witness needs to match).
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-all}"
case "$what" in linux|windows|all) ;; *) echo "usage: $0 [linux|windows|all]" >&2; exit 2 ;; esac
out="${OUT_DIR:-$src/out}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# Everything that could leak into the bytes is pinned: time stamps (SOURCE_DATE_EPOCH, the
# last commit's time when not given), locale, time zone and file modes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git -C "$src" log -1 --format=%ct 2>/dev/null || true)"
  SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-0}"
fi
export SOURCE_DATE_EPOCH
export LC_ALL=C TZ=UTC
umask 022

build() {  # name, binary file name, extra cmake arguments...
  local name="$1" binary="$2"
  shift 2
  local bdir="$out/build-$name" stage="$out/stage-$name"
  rm -rf "$bdir" "$stage"
  cmake -S "$src" -B "$bdir" -DCMAKE_BUILD_TYPE=Release -DVANTIRO_BUILD_TESTS=OFF \
        -DVANTIRO_RELEASE=ON "$@" >/dev/null
  cmake --build "$bdir" -j2 >/dev/null
  cmake --install "$bdir" --prefix "$stage" >/dev/null
  cp "$stage/bin/$binary" "$out/$binary"
  chmod 0755 "$out/$binary"
}

sums=()
if [ "$what" != windows ]; then
  build linux vantiro-cli
  sums+=(vantiro-cli)
fi
if [ "$what" != linux ]; then
  build windows vantiro-cli.exe -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake"
  sums+=(vantiro-cli.exe)
fi

{
  echo "version=$(sed -n 's/^project(vantiro_cli VERSION \([^ ]*\).*/\1/p' "$src/CMakeLists.txt")"
  echo "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
  echo "source=$(git -C "$src" rev-parse HEAD 2>/dev/null || echo unknown)"
  dpkg-query -W -f='${Package}=${Version}\n' cmake gcc-12 g++-12 binutils libc6-dev libstdc++-12-dev \
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev 2>/dev/null || true
} >"$out/BUILDINFO"
(cd "$out" && sha256sum "${sums[@]}" >SHA256SUMS && cat SHA256SUMS)

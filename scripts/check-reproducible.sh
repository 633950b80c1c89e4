#!/usr/bin/env bash
# Builds the release twice from two copies of the source at different paths and checks
# that the binaries are byte for byte the same, carry no build path, and have the
# hardening they are built with.   bash scripts/check-reproducible.sh [linux|windows|all]
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-all}"
work="$(mktemp -d)"
trap 'WINEPREFIX="$work/wineprefix" wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# The same source in two places whose paths differ in name and length.
copy_to() {
  mkdir -p "$1"
  (cd "$src" && git ls-files -co --exclude-standard -z | tar --null -T - -cf -) | tar -xf - -C "$1"
}
a="$work/a/src"
b="$work/second-tree/with/a/much/longer/path/vantiro-cli-source"
copy_to "$a"
copy_to "$b"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct)}"

OUT_DIR="$work/out-a" bash "$a/scripts/release.sh" "$what"
OUT_DIR="$work/out-b" bash "$b/scripts/release.sh" "$what"

fail=0
check() { if ! eval "$2"; then echo "FAIL: $1" >&2; fail=1; fi; }
binaries=()
[ "$what" != windows ] && binaries+=(vantiro-cli)
[ "$what" != linux ] && binaries+=(vantiro-cli.exe)
for bin in "${binaries[@]}"; do
  x="$work/out-a/$bin" y="$work/out-b/$bin"
  if cmp -s "$x" "$y"; then
    echo "same bytes: $bin  $(sha256sum <"$x" | cut -d' ' -f1)"
  else
    echo "FAIL: $bin differs between the two builds" >&2
    cmp -l "$x" "$y" | head -20 >&2 || true
    fail=1
  fi
  check "$bin contains a build path" "! grep -q -a -e '$work' '$x'"
done

if [ "$what" != windows ]; then
  x="$work/out-a/vantiro-cli"
  check "not a static PIE" "file -b '$x' | grep -q 'static-pie linked'"
  check "not stripped" "! readelf -S '$x' | grep -q -e '\.symtab' -e '\.debug'"
  check "has a build ID" "! readelf -n '$x' | grep -q 'Build ID'"
  check "no BIND_NOW" "readelf -d '$x' | grep -q 'FLAGS_1.*NOW'"
  check "no RELRO segment" "readelf -lW '$x' | grep -q GNU_RELRO"
  check "executable stack" "readelf -lW '$x' | grep GNU_STACK | grep -q ' RW '"
  check "release selftest" "'$x' selftest | grep -qx PASS"
fi
if [ "$what" != linux ]; then
  x="$work/out-a/vantiro-cli.exe"
  headers="$(x86_64-w64-mingw32-objdump -p "$x")"
  check "PE time stamp is set" "grep -q 'Time/Date.*1970' <<<\"\$headers\""
  check "no ASLR/DEP" "grep -q DYNAMIC_BASE <<<\"\$headers\" && grep -q NX_COMPAT <<<\"\$headers\" && grep -q HIGH_ENTROPY_VA <<<\"\$headers\""
  check "imports a DLL beyond the system's" "! grep 'DLL Name' <<<\"\$headers\" | grep -qiv -e KERNEL32 -e ADVAPI32 -e msvcrt -e 'api-ms-win'"
  check "release selftest under wine" "bash '$src/cmake/wine-run.sh' '$work/wineprefix' '$x' selftest | tr -d '\r' | grep -qx PASS"
fi
[ "$fail" = 0 ] && echo "reproducible release: OK"
exit "$fail"

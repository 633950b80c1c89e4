#!/usr/bin/env bash
# Builds the benchmark (Release), runs it against OpenSSL and libsodium, runs OpenSSL's AES
# rows again with its AES-NI and carry-less multiply off, times whole processes of the
# release binary against `openssl genpkey` with hyperfine, signs and verifies a 256 MiB
# file beside `openssl pkeyutl`, and writes bench/RESULTS.md.
# Environment: BUILD_DIR (default build-bench), BENCH_MIN_TIME (seconds per row, 0.5),
# BENCH_REPS (repetitions per row, 3), HYPERFINE_ROUNDS (5), HYPERFINE_RUNS (15).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-packages.sh cmake g++ libssl-dev libsodium-dev libbenchmark-dev hyperfine pkg-config python3 time openssl
build="${BUILD_DIR:-build-bench}"
min_time="${BENCH_MIN_TIME:-0.5}"
reps="${BENCH_REPS:-3}"
rounds="${HYPERFINE_ROUNDS:-5}"
runs="${HYPERFINE_RUNS:-15}"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTIRO_BUILD_BENCH=ON -DVANTIRO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2
bench="$build/bench/vantiro_bench"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

common=(--benchmark_min_time="$min_time" --benchmark_repetitions="$reps"
        --benchmark_report_aggregates_only=true --benchmark_format=console)
echo "== library rows"
"$bench" "${common[@]}" --benchmark_out="$out/main.json" --benchmark_out_format=json
echo "== AES rows without AES-NI and PCLMULQDQ (OpenSSL's, and our portable code)"
VANTIRO_BENCH_PORTABLE=1 OPENSSL_ia32cap="~0x200000200000000" "$bench" "${common[@]}" \
  --benchmark_filter='^(aes256|gcm-|ctr-drbg).*/(openssl|vantiro)$' \
  --benchmark_out="$out/noaesni.json" --benchmark_out_format=json

# Whole processes run the release binary, the one operators run (static, hardened): a
# dynamically linked build spends most of a short command in the loader.
echo "== release binary"
cli=""
if OUT_DIR="$out/release" bash scripts/release.sh linux >/dev/null; then
  cli="$out/release/vantiro-cli"
fi
mkdir -p "$out/hyperfine"
if [ -n "$cli" ]; then
  echo "== whole processes ($rounds rounds)"
  work="$out/work"
  mkdir -p "$work/shares"
  "$cli" mint 16 16 example.org "$work/shares" >/dev/null
  for r in $(seq 1 "$rounds"); do
    hyperfine --style basic --warmup 2 --runs "$runs" --export-json "$out/hyperfine/round-$r.json" \
      --prepare ':' -n "openssl genpkey" "openssl genpkey -algorithm ed25519 -out $work/genpkey.pem" \
      --prepare ':' -n "vantiro-cli selftest" "$cli selftest" \
      --prepare "rm -rf $work/mint && mkdir $work/mint" -n "vantiro-cli mint 16 16" \
        "$cli mint 16 16 example.org $work/mint" \
      --prepare "rm -f $work/root.key" -n "vantiro-cli recover, 16 shares" \
        "$cli recover $work/root.key $work/shares/share-*.share"
  done

  # Signing and verifying a 256 MiB file, beside openssl pkeyutl with the same key: wall
  # time (hyperfine, commands alternating) and peak resident memory (GNU time).
  echo "== sign and verify a 256 MiB file"
  sv="$out/sv"
  mkdir -p "$sv/c"
  "$cli" mint 3 2 example.org "$sv/c" >/dev/null
  "$cli" recover "$sv/root.key" "$sv/c/share-01.share" "$sv/c/share-02.share" >/dev/null
  # The same key for OpenSSL: PKCS#8 and SubjectPublicKeyInfo around the seed and key.
  python3 -c '
import sys
d = sys.argv[1]
root = open(d + "/root.key", "rb").read()
open(d + "/key.der", "wb").write(bytes.fromhex("302e020100300506032b657004220420") + root[:32])
open(d + "/pub.der", "wb").write(bytes.fromhex("302a300506032b6570032100") + root[32:])
' "$sv"
  openssl pkey -inform DER -in "$sv/key.der" -out "$sv/key.pem"
  openssl pkey -pubin -inform DER -in "$sv/pub.der" -out "$sv/pub.pem"
  head -c $((256 << 20)) /dev/urandom >"$sv/msg.bin"
  shares="$sv/c/share-01.share $sv/c/share-02.share"
  sv_sign="$cli sign $sv/c/_key.txt $sv/msg.bin $sv/v.sig $shares"
  # The prehashed formats read the message once.
  sv_minisign="$cli sign --format minisign $sv/c/_key.txt $sv/msg.bin $sv/v.minisig $shares"
  sv_ssh="$cli sign --format ssh $sv/c/_key.txt $sv/msg.bin $sv/v.sshsig $shares"
  ossl_sign="openssl pkeyutl -sign -rawin -inkey $sv/key.pem -in $sv/msg.bin -out $sv/o.sig"
  sv_verify="$cli verify $sv/c/_key.txt $sv/msg.bin $sv/o.sig"
  ossl_verify="openssl pkeyutl -verify -rawin -pubin -inkey $sv/pub.pem -in $sv/msg.bin -sigfile $sv/o.sig"
  $ossl_sign
  hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$out/sv.json" \
    --prepare "rm -f $sv/v.sig" -n "vantiro-cli sign" "$sv_sign" \
    --prepare ':' -n "openssl pkeyutl -sign" "$ossl_sign" \
    --prepare ':' -n "vantiro-cli verify" "$sv_verify" \
    --prepare ':' -n "openssl pkeyutl -verify" "$ossl_verify" \
    --prepare "rm -f $sv/v.minisig" -n "vantiro-cli sign --format minisign" "$sv_minisign" \
    --prepare "rm -f $sv/v.sshsig" -n "vantiro-cli sign --format ssh" "$sv_ssh"
  cmp "$sv/v.sig" "$sv/o.sig"  # one signature from both
  rm -f "$sv/v.sig" "$sv/v.minisig" "$sv/v.sshsig"
  for c in "$sv_sign" "$ossl_sign" "$sv_verify" "$ossl_verify" "$sv_minisign" "$sv_ssh"; do
    /usr/bin/time -f "%M" -a -o "$out/sv_mem.txt" $c >/dev/null
  done
else
  echo "release binary not built: whole-process rows left out" >&2
fi

compiler="$(c++ --version | head -n 1)"
python3 bench/report.py "$out/main.json" "$out/noaesni.json" "$out/hyperfine" bench/RESULTS.md "$compiler" \
  "$out/sv.json" "$out/sv_mem.txt"
echo "== wrote bench/RESULTS.md"
cat bench/RESULTS.md

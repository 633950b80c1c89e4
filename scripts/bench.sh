#!/usr/bin/env bash
# Builds the benchmark (Release), runs it against OpenSSL and libsodium, runs OpenSSL's AES
# rows again with its AES-NI and carry-less multiply off, times whole processes against
# `openssl genpkey` with hyperfine, and writes bench/RESULTS.md.
# Environment: BUILD_DIR (default build-bench), BENCH_MIN_TIME (seconds per row, 0.5),
# BENCH_REPS (repetitions per row, 3), HYPERFINE_ROUNDS (5), HYPERFINE_RUNS (15).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-packages.sh cmake g++ libssl-dev libsodium-dev libbenchmark-dev hyperfine pkg-config python3
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
echo "== OpenSSL AES rows without AES-NI and PCLMULQDQ"
OPENSSL_ia32cap="~0x200000200000000" "$bench" "${common[@]}" \
  --benchmark_filter='^(aes256|gcm-).*/openssl$' \
  --benchmark_out="$out/noaesni.json" --benchmark_out_format=json

cli="$(find "$build/src" -name vantiro-cli -type f -perm -u+x | head -n 1)"
mkdir -p "$out/hyperfine"
if [ -n "$cli" ]; then
  echo "== whole processes ($rounds rounds)"
  cli="$(cd "$(dirname "$cli")" && pwd)/vantiro-cli"
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
else
  echo "vantiro-cli not built: whole-process rows left out" >&2
fi

compiler="$(c++ --version | head -n 1)"
python3 bench/report.py "$out/main.json" "$out/noaesni.json" "$out/hyperfine" bench/RESULTS.md "$compiler"
echo "== wrote bench/RESULTS.md"
cat bench/RESULTS.md

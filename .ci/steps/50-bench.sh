#!/usr/bin/env bash
# Keeps the benchmark compiling and running: Release build, one short pass over a few rows.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/ensure-packages.sh libsodium-dev libbenchmark-dev hyperfine pkg-config
build=build-bench-ci
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTIRO_BUILD_BENCH=ON -DVANTIRO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vantiro_bench
"$build/bench/vantiro_bench" --benchmark_min_time=0.01 \
  --benchmark_filter='sha256/64B|gcm-encrypt/1KiB|ed25519/sign|x25519|shamir-split/3-of-5|ctr-drbg/64B'

#!/usr/bin/env bash
# Configures, builds and runs the whole test suite. Extra arguments go to the configure
# step (for example -DVANTIRO_VECTORS_DIR=/path/to/shared). BUILD_DIR picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-packages.sh cmake g++ libgtest-dev nlohmann-json3-dev libssl-dev valgrind gdb python3 time age zlib1g-dev gnupg sq
# Stock verifiers and signers the relying-party tests run against the tool.
bash scripts/ensure-packages.sh openssh-client signify-openbsd minisign
build="${BUILD_DIR:-build}"
# The manual page checks: mandoc lints it, groff (man -l) renders it, Python compares texts.
bash scripts/ensure-packages.sh mandoc groff-base python3
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2

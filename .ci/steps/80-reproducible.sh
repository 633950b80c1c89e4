#!/usr/bin/env bash
# The release builds twice from two source copies at different paths, byte for byte the
# same, hardened, and passing their self test (the .exe under wine).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/ensure-packages.sh cmake g++ binutils file g++-mingw-w64-x86-64-posix wine wine64
export WINEDEBUG=-all
bash scripts/check-reproducible.sh all

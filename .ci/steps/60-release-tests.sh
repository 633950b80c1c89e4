#!/usr/bin/env bash
# The suite built as a release is built (-O3 and no debug information), where GCC's
# optimiser issues warnings that the other build types do not; warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/../.."
args=(-DCMAKE_BUILD_TYPE=Release)
[ -n "${VANTIRO_VECTORS_DIR:-}" ] && args+=(-DVANTIRO_VECTORS_DIR="$VANTIRO_VECTORS_DIR")
BUILD_DIR="${BUILD_DIR:-build-release}" bash scripts/test.sh "${args[@]}"

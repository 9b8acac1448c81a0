#!/usr/bin/env bash
# Configures and builds everything in build/ (Release with debug info, Ninja).
# Usage: scripts/build.sh [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DQUENZA_BUILD_TESTS=ON "$@" >/dev/null
cmake --build build -j"$(nproc)"

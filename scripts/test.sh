#!/usr/bin/env bash
# Installs everything the tests use, builds, and runs every test (widgets offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
scripts/start-services.sh
cmake -S . -B build -G Ninja -DQUENZA_BUILD_TESTS=ON >/dev/null
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600

#!/usr/bin/env bash
# Installs what Quenza needs, builds it, creates a demo KV740 database in build/demo
# (with its KV740.INI) and a build/bin/Quenza.ini that points at it, then starts Quenza.
# Set QUENZA_DEMO_NUEVA=1 to recreate the demo database from scratch.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target quenza kv740sim -j"$(nproc)"

DEMO="$PWD/build/demo"
if [ ! -f "$DEMO/kv740.db" ] || [ "${QUENZA_DEMO_NUEVA:-0}" = 1 ]; then
  build/tools/kv740sim/kv740sim crear "$DEMO"
fi
INI=build/bin/Quenza.ini
if [ ! -f "$INI" ]; then
  sed "s#@HOMEDIR@#$DEMO#" scripts/quenza-demo.ini > "$INI"
fi
exec build/bin/quenza "$@"

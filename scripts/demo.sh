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
  cat > "$INI" <<INI
[General]
HomeDir=$DEMO
NombreEmpresa=ULTRAMARINOS LA DEMOSTRACIÓN, S.L.
Grupo=1
Precio=0
IVADesglosado=True

[RecargoEquivalencia]
Dept01=1,4
Dept02=1,4
Dept03=1,4
Dept04=1,4
Dept05=0,5
Dept06=0,5
Dept07=5,2
Dept08=5,2
Dept09=0,5
Dept10=
INI
fi
exec build/bin/quenza "$@"

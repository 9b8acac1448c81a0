#!/usr/bin/env bash
# Makes the pictures of the user guide (docs/capturas/*.png): runs Quenza under Xvfb on a fresh
# demo database, opens every window the toolbar reaches and the first editor of each browser,
# invoices one of today's notes on the way (so the invoice list and editor have one to show),
# and saves a picture of each. Run it again whenever a screen changes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target capturas kv740sim -j"$(nproc)"

# A fixed folder, so that the paths in the pictures do not change from run to run.
TMP=/tmp/quenza-capturas
rm -rf "$TMP"
trap 'rm -rf "$TMP"' EXIT
build/tools/kv740sim/kv740sim crear "$TMP/KV740" >/dev/null
mkdir -p "$TMP/programa"
sed "s#@HOMEDIR@#$TMP/KV740#" scripts/quenza-demo.ini > "$TMP/programa/Quenza.ini"

SALIDA=docs/capturas
mkdir -p "$SALIDA"
rm -f "$SALIDA"/*.png
export LC_ALL=C.UTF-8
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x900x24" env QT_QPA_PLATFORM=xcb \
    build/tools/capturas/capturas "$TMP/programa" "$SALIDA"
else
  echo "xvfb-run not found: pictures drawn offscreen" >&2
  QT_QPA_PLATFORM=offscreen build/tools/capturas/capturas "$TMP/programa" "$SALIDA"
fi

#!/usr/bin/env bash
# Starts the services the integration tests print through (CUPS with its PDF printer),
# when they are installed and not running yet. Harmless to run twice.
set -uo pipefail
if command -v cupsd >/dev/null 2>&1; then
  if ! lpstat -r >/dev/null 2>&1; then
    cupsd >/dev/null 2>&1 || true
    for _ in $(seq 1 20); do lpstat -r >/dev/null 2>&1 && break; sleep 0.25; done
  fi
  if lpstat -r >/dev/null 2>&1 && ! lpstat -p PDF >/dev/null 2>&1; then
    ppd=$(ls /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -1)
    if [ -n "$ppd" ]; then
      lpadmin -p PDF -v cups-pdf:/ -E -P "$ppd" >/dev/null 2>&1 || true
    fi
  fi
fi
exit 0

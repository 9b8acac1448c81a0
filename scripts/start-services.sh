#!/usr/bin/env bash
# Starts the services the integration tests print through (CUPS with its PDF printer),
# when they are installed and not running yet. Harmless to run twice.
# The PDF queue writes to the folder set in /etc/cups/cups-pdf.conf ("Out"): by default
# ~/PDF of the user who printed (/root/PDF for root).
set -uo pipefail

# lpstat -r answers 0 either way; only its words tell.
corriendo() { lpstat -r 2>/dev/null | grep -q '^scheduler is running'; }
esperar() {
  for _ in $(seq 1 40); do corriendo && return 0; sleep 0.25; done
  return 1
}

if command -v cupsd >/dev/null 2>&1; then
  if ! corriendo; then
    # Containers may lack the runtime folder, and some refuse the daemon's own fork: then
    # run it in the foreground, detached from this shell.
    mkdir -p /run/cups 2>/dev/null || true
    cupsd >/dev/null 2>&1 || true
    if ! esperar; then
      setsid cupsd -f >/dev/null 2>&1 < /dev/null &
      esperar || echo "start-services: CUPS did not start; printing tests will be skipped" >&2
    fi
  fi
  if corriendo && ! lpstat -p PDF >/dev/null 2>&1; then
    ppd=$(ls /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -1)
    if [ -n "$ppd" ]; then
      lpadmin -p PDF -v cups-pdf:/ -E -P "$ppd" >/dev/null 2>&1 || true
    else
      echo "start-services: no cups-pdf PPD; the PDF printer is not added" >&2
    fi
  fi
  # Through Ghostscript the queue's PDFs lose their text (pdftotext reads symbols); poppler's
  # renderer keeps it.
  if corriendo && lpstat -p PDF >/dev/null 2>&1 && command -v pdftocairo >/dev/null 2>&1; then
    lpadmin -p PDF -o pdftops-renderer-default=pdftocairo >/dev/null 2>&1 || true
  fi
fi
exit 0

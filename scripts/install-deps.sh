#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Quenza, Vantel and Tramix.
# Usage: scripts/install-deps.sh [--tests]
#   --tests  also installs what the integration tests use (LibreOffice without its desktop
#            parts, poppler-utils, CUPS with the PDF printer, fonts, the validators of the
#            desktop entry and AppStream metainfo, PostgreSQL for the suites' server half).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

BUILD_PKGS=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-serialport-dev qt6-translations-l10n
  libsqlite3-dev sqlite3 libpq-dev zlib1g-dev libqrencode-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation2 fonts-dejavu-core
)
TEST_PKGS=(
  xvfb xauth poppler-utils appstream desktop-file-utils libxml2-utils zbar-tools python3 openssl
  libreoffice-calc-nogui libreoffice-writer-nogui
  cups cups-bsd printer-driver-cups-pdf
  clang libclang-rt-14-dev
  postgresql postgresql-common postgresql-client
)

PKGS=("${BUILD_PKGS[@]}")
if [ "${1:-}" = "--tests" ]; then PKGS+=("${TEST_PKGS[@]}"); fi

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

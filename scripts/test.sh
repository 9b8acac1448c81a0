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

# The same suites again on PostgreSQL: each test database is a new one in a throw-away cluster
# (pg_virtualenv sets the PG* variables libpq reads). Tests about SQLite files skip there.
if command -v pg_virtualenv >/dev/null 2>&1; then
  pg_virtualenv -t -o max_connections=200 -o fsync=off sh -c \
    'QUENZA_PRUEBAS_POSTGRESQL=1 ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 900'
elif [ -n "${CI:-}" ]; then
  echo "PostgreSQL: pg_virtualenv (postgresql-common) is missing; the PostgreSQL half must run in CI" >&2
  exit 1
else
  echo "PostgreSQL: omitido, falta pg_virtualenv (paquete postgresql-common): solo se ha probado SQLite" >&2
fi

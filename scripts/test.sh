#!/usr/bin/env bash
# Installs what is needed, builds, starts a private PostgreSQL and a private MariaDB server
# for the database tests, runs the whole test suite and stops the servers again.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
bash scripts/setup.sh
bash scripts/build.sh

PGDIR=$(mktemp -d /tmp/varnock-pg.XXXXXX)
MARIADIR=$(mktemp -d /tmp/varnock-mariadb.XXXXXX)
cleanup() {
  bash "$ROOT/scripts/pg-test-server.sh" stop "$PGDIR" || true
  bash "$ROOT/scripts/mariadb-test-server.sh" stop "$MARIADIR" || true
  rm -rf "$PGDIR" "$MARIADIR"
}
trap cleanup EXIT
VARNOCK_TEST_PG=$(bash "$ROOT/scripts/pg-test-server.sh" start "$PGDIR")
export VARNOCK_TEST_PG
VARNOCK_TEST_MARIADB=$(bash "$ROOT/scripts/mariadb-test-server.sh" start "$MARIADIR")
export VARNOCK_TEST_MARIADB

export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@"

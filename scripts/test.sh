#!/usr/bin/env bash
# Installs what is needed, builds, starts a private PostgreSQL server for the database
# tests, runs the whole test suite and stops the server again.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
bash scripts/setup.sh
bash scripts/build.sh

PGDIR=$(mktemp -d /tmp/varnock-pg.XXXXXX)
cleanup() { bash "$ROOT/scripts/pg-test-server.sh" stop "$PGDIR" || true; rm -rf "$PGDIR"; }
trap cleanup EXIT
VARNOCK_TEST_PG=$(bash "$ROOT/scripts/pg-test-server.sh" start "$PGDIR")
export VARNOCK_TEST_PG

export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@"

#!/usr/bin/env bash
# Installs what is needed, builds, starts a private PostgreSQL and a private MariaDB server
# for the database tests, runs the whole test suite and stops the servers again.
#
#   scripts/test.sh [--sanitize] [ctest arguments...]
#
# --sanitize builds the developer preset (AddressSanitizer and UndefinedBehaviorSanitizer)
# into build-dev/ and runs the suite there; any report fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SANITIZE=0
if [ "${1:-}" = "--sanitize" ]; then
  SANITIZE=1
  shift
fi
bash scripts/setup.sh
if [ "$SANITIZE" -eq 1 ]; then
  [ -f build-dev/build.ninja ] || cmake --preset dev
  cmake --build --preset dev --parallel "$(nproc)"
  BUILD_DIR=build-dev
  # Leak reports are left out: Qt and the ODBC drivers keep process-lifetime allocations.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  bash scripts/build.sh
  BUILD_DIR=build
fi

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
cd "$BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900 "$@"

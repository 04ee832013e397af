#!/usr/bin/env bash
# A throwaway PostgreSQL server for the database tests.
#
#   pg-test-server.sh start DIR   initialises a cluster in DIR, starts it on 127.0.0.1 at a
#                                 free port (socket in DIR), creates the user varnock and the
#                                 database varnock_test, loads the Chinook sample into the
#                                 database chinook and prints ONE line on stdout: the ODBC
#                                 connection string. Everything else goes to stderr.
#                                 (varnock may create roles: the login tests make their own.)
#   pg-test-server.sh stop DIR    stops it; succeeds when nothing runs there.
#
# Run as root (CI), the server runs as the postgres system user. The sample data is looked
# up in VARNOCK_SHARED_DATA, else in the test data kept with the repository.
set -euo pipefail

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
ODBC_DRIVER=${VARNOCK_PG_ODBC_DRIVER:-PostgreSQL Unicode}
SCRIPT_DIR=$(cd "$(dirname "$0")" && pwd)
SHARED_DATA=${VARNOCK_SHARED_DATA:-$SCRIPT_DIR/../tests/data}

log() { echo "pg-test-server: $*" >&2; }
die() { log "$*"; exit 1; }

usage() { die "usage: $0 start|stop DIR"; }

[ $# -eq 2 ] || usage
CMD=$1
DIR=$2

# The server must not run as root: pick the account that owns the cluster.
if [ "$(id -u)" -eq 0 ]; then
    SERVER_USER=postgres
    id "$SERVER_USER" >/dev/null 2>&1 || die "the system user '$SERVER_USER' does not exist"
    as_server() { runuser -u "$SERVER_USER" -- "$@"; }
else
    SERVER_USER=$(id -un)
    as_server() { "$@"; }
fi

pg_running() {
    [ -f "$DIR/data/postmaster.pid" ] && as_server "$PGBIN/pg_ctl" -D "$DIR/data" status >/dev/null 2>&1
}

free_port() {
    if command -v python3 >/dev/null 2>&1; then
        python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()'
    else
        echo $((20000 + RANDOM % 40000))
    fi
}

stop_server() {
    [ -d "$DIR" ] || return 0
    if pg_running; then
        as_server "$PGBIN/pg_ctl" -D "$DIR/data" -m fast -w -t 30 stop >&2 \
            || as_server "$PGBIN/pg_ctl" -D "$DIR/data" -m immediate -w -t 10 stop >&2 || true
    fi
    return 0
}

start_server() {
    mkdir -p "$DIR"
    DIR=$(cd "$DIR" && pwd)

    # Already running here: hand out the same string again.
    if pg_running && [ -s "$DIR/connection-string" ]; then
        cat "$DIR/connection-string"
        return 0
    fi
    [ -e "$DIR/data" ] && die "$DIR/data exists but no server runs there; use a fresh folder"

    [ -x "$PGBIN/initdb" ] || die "PostgreSQL server programs not found in $PGBIN"
    if [ "$(id -u)" -eq 0 ]; then
        chown "$SERVER_USER" "$DIR"
        chmod 0700 "$DIR"
    fi

    local password
    password=vnk$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')

    log "initialising a cluster in $DIR/data"
    as_server "$PGBIN/initdb" -D "$DIR/data" -U "$SERVER_USER" -E UTF8 --locale=C \
        --auth-local=peer --auth-host=scram-sha-256 --no-sync >"$DIR/initdb.log" 2>&1 \
        || { cat "$DIR/initdb.log" >&2; die "initdb failed"; }

    # Owner over the socket by peer; everybody else, over TCP too, by password.
    as_server tee "$DIR/data/pg_hba.conf" >/dev/null <<EOF
local all $SERVER_USER peer
local all all scram-sha-256
host  all all 127.0.0.1/32 scram-sha-256
EOF

    local port attempt
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        as_server tee "$DIR/data/postgresql.auto.conf" >/dev/null <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$DIR'
password_encryption = 'scram-sha-256'
max_connections = 40
shared_buffers = '32MB'
fsync = off
synchronous_commit = off
full_page_writes = off
logging_collector = off
EOF
        if as_server "$PGBIN/pg_ctl" -D "$DIR/data" -l "$DIR/server.log" -w -t 30 start >&2; then
            break
        fi
        log "start on port $port failed (attempt $attempt)"
        tail -n 5 "$DIR/server.log" >&2 || true
        port=""
    done
    [ -n "$port" ] || die "the server did not start"
    log "server running on 127.0.0.1:$port"

    as_server "$PGBIN/psql" -X -q -h "$DIR" -p "$port" -U "$SERVER_USER" -d postgres \
        -v ON_ERROR_STOP=1 >&2 <<EOF
CREATE ROLE varnock LOGIN CREATEDB CREATEROLE PASSWORD '$password';
CREATE DATABASE varnock_test OWNER varnock ENCODING 'UTF8';
EOF

    # The sample script creates and connects to its own database "chinook".
    local chinook="$SHARED_DATA/chinook/Chinook_PostgreSql.sql"
    if [ -r "$chinook" ]; then
        log "loading $chinook"
        PGPASSWORD=$password "$PGBIN/psql" -X -q -h 127.0.0.1 -p "$port" -U varnock \
            -d varnock_test -v ON_ERROR_STOP=1 -f "$chinook" >/dev/null 2>"$DIR/chinook.log" \
            || { cat "$DIR/chinook.log" >&2; log "WARNING: loading the Chinook sample failed"; }
    else
        log "WARNING: $chinook not found; the database chinook is not created"
    fi

    local conn="Driver={$ODBC_DRIVER};Server=127.0.0.1;Port=$port;Database=varnock_test;UID=varnock;PWD=$password"
    echo "$conn" >"$DIR/connection-string"
    echo "$conn"
}

case "$CMD" in
    start) start_server ;;
    stop) stop_server ;;
    *) usage ;;
esac

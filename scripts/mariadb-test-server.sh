#!/usr/bin/env bash
# A throwaway MariaDB server for the database tests.
#
#   mariadb-test-server.sh start DIR   initialises a data directory in DIR/data, starts the
#                                      server on 127.0.0.1 at a free port (socket in DIR),
#                                      creates the user varnock and the database
#                                      varnock_test and prints ONE line on stdout: the ODBC
#                                      connection string. Everything else goes to stderr.
#   mariadb-test-server.sh stop DIR    stops it; succeeds when nothing runs there.
#
# Run as root (CI), the server runs as the mysql system user. The administrator account is
# reached over the socket only, by the system account that runs the server (unix_socket
# authentication), as PostgreSQL's peer login is in pg-test-server.sh.
set -euo pipefail

MARIADBD=${MARIADBD:-/usr/sbin/mariadbd}
ODBC_DRIVER=${VARNOCK_MARIADB_ODBC_DRIVER:-MariaDB Unicode}

log() { echo "mariadb-test-server: $*" >&2; }
die() { log "$*"; exit 1; }

usage() { die "usage: $0 start|stop DIR"; }

[ $# -eq 2 ] || usage
CMD=$1
DIR=$2

# The server must not run as root.
if [ "$(id -u)" -eq 0 ]; then
    SERVER_USER=mysql
    id "$SERVER_USER" >/dev/null 2>&1 || die "the system user '$SERVER_USER' does not exist"
    as_server() { runuser -u "$SERVER_USER" -- "$@"; }
else
    SERVER_USER=$(id -un)
    as_server() { "$@"; }
fi

server_pid() {
    local pid
    [ -s "$DIR/mariadbd.pid" ] || return 1
    pid=$(cat "$DIR/mariadbd.pid")
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
    echo "$pid"
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

admin_sql() {
    as_server mariadb --no-defaults --protocol=socket -S "$DIR/mariadbd.sock" -u "$SERVER_USER" "$@"
}

stop_server() {
    [ -d "$DIR" ] || return 0
    local pid
    pid=$(server_pid) || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    local i
    for i in $(seq 1 60); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.5
    done
    log "the server (pid $pid) did not stop in 30 s; killing it"
    kill -KILL "$pid" 2>/dev/null || true
    return 0
}

start_server() {
    mkdir -p "$DIR"
    DIR=$(cd "$DIR" && pwd)

    # Already running here: hand out the same string again.
    if server_pid >/dev/null && [ -s "$DIR/connection-string" ]; then
        cat "$DIR/connection-string"
        return 0
    fi
    [ -e "$DIR/data" ] && die "$DIR/data exists but no server runs there; use a fresh folder"
    [ -x "$MARIADBD" ] || die "the MariaDB server program $MARIADBD is not installed"
    command -v mariadb-install-db >/dev/null || die "mariadb-install-db is not installed"
    # A socket path must fit in sun_path.
    [ ${#DIR} -lt 90 ] || die "$DIR is too long a path for the server's socket"

    local user_opt=()
    if [ "$(id -u)" -eq 0 ]; then
        chown "$SERVER_USER" "$DIR"
        chmod 0700 "$DIR"
        user_opt=(--user="$SERVER_USER")
    fi

    log "initialising a data directory in $DIR/data"
    mariadb-install-db --no-defaults "${user_opt[@]}" --datadir="$DIR/data" \
        --auth-root-authentication-method=socket --auth-root-socket-user="$SERVER_USER" \
        --skip-test-db --skip-name-resolve >"$DIR/install-db.log" 2>&1 \
        || { cat "$DIR/install-db.log" >&2; die "mariadb-install-db failed"; }

    local password
    password=vnk$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')

    local port="" attempt pid i bg
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        rm -f "$DIR/mariadbd.pid"
        # In a session of its own, so that signals meant for the caller's terminal do not
        # reach it. Small and unsafe on a crash, which a test server can afford; text in
        # utf8mb4 so that characters beyond the BMP survive.
        setsid --wait "$MARIADBD" --no-defaults "${user_opt[@]}" --datadir="$DIR/data" \
            --socket="$DIR/mariadbd.sock" --pid-file="$DIR/mariadbd.pid" \
            --bind-address=127.0.0.1 --port="$port" --skip-name-resolve \
            --log-error="$DIR/server.log" --skip-log-bin \
            --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
            --max-connections=40 --innodb-buffer-pool-size=32M --innodb-log-file-size=16M \
            --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0 \
            --performance-schema=OFF </dev/null >>"$DIR/server.out" 2>&1 &
        bg=$!
        for i in $(seq 1 120); do
            if as_server mariadb-admin --no-defaults --protocol=socket -S "$DIR/mariadbd.sock" \
                -u "$SERVER_USER" ping >/dev/null 2>&1; then
                break 2
            fi
            kill -0 "$bg" 2>/dev/null || break  # it ended: most likely the port was taken
            sleep 0.5
        done
        log "start on port $port failed (attempt $attempt)"
        tail -n 5 "$DIR/server.log" >&2 || true
        if pid=$(server_pid); then
            kill -TERM "$pid" 2>/dev/null || true
        fi
        wait "$bg" 2>/dev/null || true
        port=""
    done
    [ -n "$port" ] || die "the server did not start"
    log "server running on 127.0.0.1:$port (pid $(server_pid || echo '?'))"

    admin_sql >&2 <<EOF
CREATE USER 'varnock'@'127.0.0.1' IDENTIFIED BY '$password';
CREATE USER 'varnock'@'localhost' IDENTIFIED BY '$password';
CREATE DATABASE varnock_test CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
GRANT ALL PRIVILEGES ON varnock_test.* TO 'varnock'@'127.0.0.1';
GRANT ALL PRIVILEGES ON varnock_test.* TO 'varnock'@'localhost';
EOF

    local conn="Driver={$ODBC_DRIVER};Server=127.0.0.1;Port=$port;Database=varnock_test;UID=varnock;PWD=$password"
    echo "$conn" >"$DIR/connection-string"
    echo "$conn"
}

case "$CMD" in
    start) start_server ;;
    stop) stop_server ;;
    *) usage ;;
esac

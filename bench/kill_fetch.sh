#!/usr/bin/env bash
# A batch export from PostgreSQL whose serving backend is killed while the rows are being
# fetched, again and again; run by hand:
#
#   bash bench/kill_fetch.sh [BUILD_DIR]
#
# Each round starts `varnock q.vnk out.csv D , 1` on a table of ROWS rows, waits a random
# time within the export, ends the backend serving it (pg_terminate_backend, or with
# SIGNAL=KILL a SIGKILL to the backend process, which restarts the whole server) and waits
# for the program. A round counts as
#   crash   the program died of a signal (nothing logged, no exit code)
#   clean   exit code 1 and the provider's message in the event log, no output file left
#   missed  the export ended before the kill landed (not counted)
#   bad     anything else (exit code 0 after a kill, exit 1 without a log entry, a file left)
# Before the rounds one export runs unkilled and its peak resident memory is printed.
#
# Environment: ROWS (3000000), KILLS (35), SIGNAL (TERM or KILL), WORK_DIR (kept between
# runs: /tmp/varnock-kill), PYTHON (/usr/bin/python3). A private server of
# scripts/pg-test-server.sh is started and stopped: its backends are killed.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
VARNOCK=$BUILD/varnock
ROWS=${ROWS:-3000000}
KILLS=${KILLS:-35}
SIGNAL=${SIGNAL:-TERM}
WORK_DIR=${WORK_DIR:-/tmp/varnock-kill}
PYTHON=${PYTHON:-/usr/bin/python3}

die() { echo "kill_fetch: $*" >&2; exit 1; }
[ -x "$VARNOCK" ] || die "$VARNOCK not built"
for tool in psql "$PYTHON" /usr/bin/time; do
    command -v "$tool" >/dev/null || die "$tool is missing (bash scripts/setup.sh)"
done
case $SIGNAL in TERM | KILL) ;; *) die "SIGNAL must be TERM or KILL" ;; esac

mkdir -p "$WORK_DIR"
cd "$WORK_DIR"
export VARNOCK_EVENT_LOG=$WORK_DIR/events.jsonl
export XDG_CONFIG_HOME=$WORK_DIR/config
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

PGDIR=$(mktemp -d /tmp/varnock-kill-pg.XXXXXX)
cleanup() {
    bash "$ROOT/scripts/pg-test-server.sh" stop "$PGDIR" >/dev/null 2>&1 || true
    rm -rf "$PGDIR"
}
trap cleanup EXIT
PG=$(bash "$ROOT/scripts/pg-test-server.sh" start "$PGDIR" 2>"$WORK_DIR/pg-server.log") \
    || die "the PostgreSQL test server did not start (see $WORK_DIR/pg-server.log)"
conn_value() { echo "$PG" | tr ';' '\n' | sed -n "s/^$1=//Ip" | head -n 1; }
PGHOST_=$(conn_value Server)
PGPORT_=$(conn_value Port)
PGUSER_=$(conn_value UID)
PGPASS_=$(conn_value PWD)
PGDB_=$(conn_value Database)
psql_() { PGPASSWORD=$PGPASS_ psql -X -q -h "$PGHOST_" -p "$PGPORT_" -U "$PGUSER_" -d "$PGDB_" "$@"; }

echo "generating $ROWS rows" >&2
psql_ -v ON_ERROR_STOP=1 >/dev/null <<EOF
SET client_min_messages = warning;
CREATE TABLE kill_big(id INTEGER, name VARCHAR(40), amount DOUBLE PRECISION, qty INTEGER,
                      created TIMESTAMP, flag BOOLEAN, code CHAR(9), note TEXT);
INSERT INTO kill_big
SELECT x, 'name ' || x, x * 1.25 / 7, x % 1000,
       to_timestamp(1600000000 + x * 37) AT TIME ZONE 'UTC', x % 2 = 1, 'C' || lpad(x::text, 8, '0'),
       CASE WHEN x % 10 = 0 THEN NULL WHEN x % 7 = 0 THEN 'with, comma' ELSE 'note ' || (x % 97) END
FROM generate_series(1, $ROWS) AS x;
ANALYZE kill_big;
EOF

# The query file, in the program's line encoding.
"$PYTHON" - kill.vnk Kill "$PG" "select * from kill_big" <<'EOF'
import sys
path, name, conn, sql = sys.argv[1:5]
def encode(text, sep):
    b = text.encode('utf-8')
    n = len(b)
    nums = [n + 97, n + 32, n + 41] + [n + i + b[n - i] for i in range(1, n + 1)] + [n + 26]
    return ''.join('%d%s' % (v, sep) for v in nums)
lines = [encode(name, '\0'), encode(conn.strip(), '-')] + [encode(l, '\0') for l in sql.split('\n')]
with open(path, 'w', newline='') as f:
    f.write(''.join(l + '\r\n' for l in lines))
EOF

# ---- one export unkilled: its time and peak memory

rm -f "$VARNOCK_EVENT_LOG" out.csv
/usr/bin/time -v -o time.txt "$VARNOCK" kill.vnk out.csv D , 1 >/dev/null 2>stderr.txt \
    || { cat stderr.txt "$VARNOCK_EVENT_LOG" >&2 2>/dev/null; die "the unkilled export failed"; }
lines=$(wc -l <out.csv)
[ "$lines" -eq $((ROWS + 1)) ] || die "the unkilled export wrote $lines lines, not $((ROWS + 1))"
wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt \
    | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
printf 'unkilled export of %s rows: %.2f s, peak memory %.1f MB\n' "$ROWS" "$wall" \
    "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')"

# ---- the kill rounds

backend_pids() {
    psql_ -At -c "select pid from pg_stat_activity
                  where pid <> pg_backend_pid() and datname = current_database()
                    and usename = current_user and backend_type = 'client backend'"
}
server_up() {
    local i
    for i in $(seq 1 100); do
        psql_ -At -c 'select 1' >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}

crash=0 clean=0 missed=0 bad=0
for ((round = 1; round <= KILLS; round++)); do
    rm -f "$VARNOCK_EVENT_LOG" out.csv
    "$VARNOCK" kill.vnk out.csv D , 1 >/dev/null 2>stderr.txt &
    prog=$!
    # A random moment within the export (which takes about $wall s unkilled).
    delay=$(awk -v w="$wall" -v r="$RANDOM" 'BEGIN { printf "%.2f", 0.15 + (w * 0.8) * r / 32767 }')
    sleep "$delay"
    killed=0
    for pid in $(backend_pids); do
        if [ "$SIGNAL" = KILL ]; then
            kill -KILL "$pid" 2>/dev/null && killed=1
        else
            [ "$(psql_ -At -c "select pg_terminate_backend($pid)")" = t ] && killed=1
        fi
    done
    set +e
    wait "$prog"
    rc=$?
    set -e
    entries=0
    [ -f "$VARNOCK_EVENT_LOG" ] && entries=$(wc -l <"$VARNOCK_EVENT_LOG")
    if [ "$rc" -gt 128 ]; then
        outcome="crash (signal $((rc - 128)))"
        crash=$((crash + 1))
    elif [ "$killed" -eq 0 ] || { [ "$rc" -eq 0 ] && [ "$entries" -eq 0 ] && [ "$(wc -l <out.csv)" -eq $((ROWS + 1)) ]; }; then
        outcome="missed"
        missed=$((missed + 1))
    elif [ "$rc" -eq 1 ] && [ "$entries" -ge 1 ] && [ ! -e out.csv ]; then
        outcome="clean"
        clean=$((clean + 1))
    else
        outcome="bad (exit $rc, $entries log entries, output file $( [ -e out.csv ] && echo left || echo absent))"
        bad=$((bad + 1))
    fi
    printf 'round %2d: kill after %5.2f s: %s\n' "$round" "$delay" "$outcome"
    if [ "$outcome" != missed ] && [ -s "$VARNOCK_EVENT_LOG" ]; then
        sed 's/^/          /' "$VARNOCK_EVENT_LOG"
    fi
    [ "$SIGNAL" = KILL ] && { server_up || die "the server did not come back"; }
done

echo
echo "$KILLS rounds, SIGNAL=$SIGNAL: $crash crashed, $clean clean, $bad bad, $missed missed"

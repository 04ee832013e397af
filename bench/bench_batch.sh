#!/usr/bin/env bash
# The unattended run against the tools a user would pick instead, on the same generated
# data (1,000,000 rows by default, 8 columns of mixed kinds), run by hand:
#
#   bash bench/bench_batch.sh [BUILD_DIR]
#
#   SQLite -> delimited text : varnock vs sqlite3 -csv -header        (target ratio <= 1.0)
#   PostgreSQL -> delimited  : varnock through psqlODBC vs psql --csv (target ratio <= 1.5)
#   SQLite -> xlsx           : varnock vs python3-xlsxwriter, constant memory (target <= 0.33)
#   peak memory of every run (/usr/bin/time -v); target under 64 MB for SQLite.
#
# Environment: ROWS (1000000), RUNS (best of, 1), PYTHON (/usr/bin/python3), BENCH_DIR (generated data, kept between
# runs: /tmp/varnock-bench), VARNOCK_TEST_PG (use that server instead of starting one;
# it must be a server of scripts/pg-test-server.sh, whose password is in the string).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
VARNOCK=$BUILD/varnock
ROWS=${ROWS:-1000000}
RUNS=${RUNS:-1}
BENCH_DIR=${BENCH_DIR:-/tmp/varnock-bench}
PYTHON=${PYTHON:-/usr/bin/python3}  # the system's, which has the Debian python3-xlsxwriter

die() { echo "bench_batch: $*" >&2; exit 1; }
[ -x "$VARNOCK" ] || die "$VARNOCK not built"
for tool in sqlite3 psql "$PYTHON" /usr/bin/time; do
    command -v "$tool" >/dev/null || die "$tool is missing (bash scripts/setup.sh)"
done
"$PYTHON" -c 'import xlsxwriter' 2>/dev/null || die "python3-xlsxwriter is missing (bash scripts/setup.sh)"

mkdir -p "$BENCH_DIR/out"
cd "$BENCH_DIR"
export VARNOCK_EVENT_LOG=$BENCH_DIR/events.jsonl
export XDG_CONFIG_HOME=$BENCH_DIR/config
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# ---- data, generated once per row count

DB=$BENCH_DIR/bench-$ROWS.sqlite
if [ ! -s "$DB" ]; then
    echo "generating $ROWS rows into $DB" >&2
    rm -f "$DB.tmp"
    sqlite3 "$DB.tmp" <<EOF
CREATE TABLE big(id INTEGER, name VARCHAR(40), amount REAL, qty INTEGER, created DATETIME,
                 flag BOOLEAN, code CHAR(9), note TEXT);
WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < $ROWS)
INSERT INTO big
SELECT x, 'name ' || x, x * 1.25 / 7, x % 1000,
       datetime(1600000000 + x * 37, 'unixepoch'), x % 2, printf('C%08d', x),
       CASE WHEN x % 10 = 0 THEN NULL WHEN x % 7 = 0 THEN 'with, comma' ELSE 'note ' || (x % 97) END
FROM c;
EOF
    mv "$DB.tmp" "$DB"
fi

PGDIR=""
cleanup() {
    if [ -n "$PGDIR" ]; then
        bash "$ROOT/scripts/pg-test-server.sh" stop "$PGDIR" >/dev/null 2>&1 || true
        rm -rf "$PGDIR"
    fi
}
trap cleanup EXIT

PG=${VARNOCK_TEST_PG:-}
if [ -z "$PG" ]; then
    PGDIR=$(mktemp -d /tmp/varnock-bench-pg.XXXXXX)
    PG=$(bash "$ROOT/scripts/pg-test-server.sh" start "$PGDIR" 2>"$BENCH_DIR/pg-server.log") \
        || die "the PostgreSQL test server did not start (see $BENCH_DIR/pg-server.log)"
fi
conn_value() { echo "$PG" | tr ';' '\n' | sed -n "s/^$1=//Ip" | head -n 1; }
PGHOST_=$(conn_value Server)
PGPORT_=$(conn_value Port)
PGUSER_=$(conn_value UID)
PGPASS_=$(conn_value PWD)
PGDB_=$(conn_value Database)
psql_() { PGPASSWORD=$PGPASS_ psql -X -q -h "$PGHOST_" -p "$PGPORT_" -U "$PGUSER_" -d "$PGDB_" "$@"; }

have_rows=$(psql_ -At -c "select count(*) from bench_big" 2>/dev/null || echo 0)
if [ "$have_rows" != "$ROWS" ]; then
    echo "generating $ROWS rows into PostgreSQL" >&2
    psql_ -v ON_ERROR_STOP=1 >/dev/null <<EOF
SET client_min_messages = warning;
DROP TABLE IF EXISTS bench_big;
CREATE TABLE bench_big(id INTEGER, name VARCHAR(40), amount DOUBLE PRECISION, qty INTEGER,
                       created TIMESTAMP, flag BOOLEAN, code CHAR(9), note TEXT);
INSERT INTO bench_big
SELECT x, 'name ' || x, x * 1.25 / 7, x % 1000,
       to_timestamp(1600000000 + x * 37) AT TIME ZONE 'UTC', x % 2 = 1, 'C' || lpad(x::text, 8, '0'),
       CASE WHEN x % 10 = 0 THEN NULL WHEN x % 7 = 0 THEN 'with, comma' ELSE 'note ' || (x % 97) END
FROM generate_series(1, $ROWS) AS x;
ANALYZE bench_big;
EOF
fi

# ---- query files (the program's line encoding)

write_query() {  # file conn-name conn-string sql
    "$PYTHON" - "$@" <<'EOF'
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
}
write_query sqlite.vnk Bench "Provider=SQLite;Data Source=$DB" "select * from big"
write_query pg.vnk Bench "$PG" "select * from bench_big"
write_query pg-whole.vnk Bench "$PG;UseDeclareFetch=0" "select * from bench_big"

cat >xlsxwriter_export.py <<'EOF'
import sqlite3, sys, xlsxwriter
db, target = sys.argv[1:3]
wb = xlsxwriter.Workbook(target, {'constant_memory': True})
ws = wb.add_worksheet()
bold = wb.add_format({'bold': True})
cur = sqlite3.connect(db).execute('select * from big')
ws.write_row(0, 0, [d[0] for d in cur.description], bold)
for r, row in enumerate(cur, start=1):
    ws.write_row(r, 0, row)
wb.close()
EOF

# ---- timing: best wall time of RUNS runs, the peak resident memory of that run

declare -A SECONDS_ MB_ CPU_
measure() {  # label command...
    local label=$1; shift
    local best="" bestmb="" bestcpu="" i
    for ((i = 0; i < RUNS; i++)); do
        rm -f "$VARNOCK_EVENT_LOG"
        /usr/bin/time -v -o "$BENCH_DIR/time.txt" "$@" >/dev/null 2>"$BENCH_DIR/stderr.txt" \
            || { cat "$BENCH_DIR/stderr.txt" >&2; [ -f "$VARNOCK_EVENT_LOG" ] && cat "$VARNOCK_EVENT_LOG" >&2; die "$label failed"; }
        [ -s "$VARNOCK_EVENT_LOG" ] && { cat "$VARNOCK_EVENT_LOG" >&2; die "$label logged an error"; }
        local wall kb cpu
        wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$BENCH_DIR/time.txt" \
            | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
        kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$BENCH_DIR/time.txt")
        cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$BENCH_DIR/time.txt")
        if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$wall
            bestmb=$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')
        fi
        if [ -z "$bestcpu" ] || awk -v a="$cpu" -v b="$bestcpu" 'BEGIN { exit !(a < b) }'; then
            bestcpu=$cpu
        fi
    done
    SECONDS_[$label]=$best
    MB_[$label]=$bestmb
    CPU_[$label]=$bestcpu
    printf '  %-44s %8.2f s %8.2f s %8s MB\n' "$label" "$best" "$bestcpu" "$bestmb"
}
# wall-time ratio, and in brackets the ratio of the client's own CPU time (steadier on a
# shared machine; the database server's work is not in it)
ratio() {
    awk -v a="${SECONDS_[$1]}" -v b="${SECONDS_[$2]}" -v c="${CPU_[$1]}" -v d="${CPU_[$2]}" \
        'BEGIN { printf "%.2f  (CPU %.2f)", a / b, (d > 0 ? c / d : 0) }'
}

echo "Batch run benchmark: $ROWS rows x 8 columns, best of $RUNS, $(nproc) cores"
echo "(wall time, CPU time of the client process, peak resident memory)"
OUT=$BENCH_DIR/out
measure "sqlite3 -csv -header"           sh -c "sqlite3 -csv -header '$DB' 'select * from big' >'$OUT/sqlite3.csv'"
measure "varnock SQLite -> csv"          "$VARNOCK" sqlite.vnk "$OUT/varnock.csv" D , 1
measure "psql --csv"                     sh -c "PGPASSWORD='$PGPASS_' psql -X -h '$PGHOST_' -p '$PGPORT_' -U '$PGUSER_' -d '$PGDB_' --csv -c 'select * from bench_big' -o '$OUT/psql.csv'"
measure "varnock psqlODBC -> csv"        "$VARNOCK" pg.vnk "$OUT/varnock-pg.csv" D , 1
measure "varnock psqlODBC UseDeclareFetch=0 -> csv" "$VARNOCK" pg-whole.vnk "$OUT/varnock-pg2.csv" D , 1
measure "python3-xlsxwriter constant_memory"  "$PYTHON" xlsxwriter_export.py "$DB" "$OUT/xlsxwriter.xlsx"
measure "varnock SQLite -> xlsx"         "$VARNOCK" sqlite.vnk "$OUT/varnock.xlsx" X XLSX 1

echo
printf 'SQLite -> csv   varnock / sqlite3 -csv      = %s  (target <= 1.0)\n' "$(ratio 'varnock SQLite -> csv' 'sqlite3 -csv -header')"
printf 'PostgreSQL csv  varnock / psql --csv        = %s  (target <= 1.5)\n' "$(ratio 'varnock psqlODBC -> csv' 'psql --csv')"
printf '                driver holding the result  = %s  (UseDeclareFetch=0)\n' "$(ratio 'varnock psqlODBC UseDeclareFetch=0 -> csv' 'psql --csv')"
printf 'SQLite -> xlsx  varnock / xlsxwriter        = %s  (target <= 0.33)\n' "$(ratio 'varnock SQLite -> xlsx' 'python3-xlsxwriter constant_memory')"
printf 'peak memory     varnock SQLite csv %s MB, xlsx %s MB  (target < 64 MB); PostgreSQL %s MB\n' \
    "${MB_['varnock SQLite -> csv']}" "${MB_['varnock SQLite -> xlsx']}" "${MB_['varnock psqlODBC -> csv']}"

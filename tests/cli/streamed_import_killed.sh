#!/usr/bin/env bash
# A streamed import killed (SIGKILL) part-way, after several of its batches were stored inside its
# transaction: the store file is byte for byte what it was before the import, it opens cleanly
# with the same rows, and the same file then imports whole.
# Usage: streamed_import_killed.sh PATH-TO-tessarinth-cli
source "$(dirname "$0")/../support/drive_support.sh" "$1"
work=$(mktemp -d)
trap 'rm -rf "$TESSARINTH_HOME" "$work"' EXIT
store=$TESSARINTH_HOME/schedule.sqlite
events=150000

# calendar FILE COUNT: COUNT events (one series in a hundred, its change at the end), and a task.
awk -v n="$events" 'BEGIN {
    printf "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
    for (i = 1; i <= n; i++) {
        printf "BEGIN:VEVENT\r\nUID:big-%d@test\r\nDTSTART:20261207T090000Z\r\n", i
        if (i % 100 == 0) printf "RRULE:FREQ=WEEKLY;COUNT=4\r\n"
        printf "SUMMARY:大きな予定表 %d\r\nEND:VEVENT\r\n", i
    }
    for (i = 100; i <= n; i += 100) {
        printf "BEGIN:VEVENT\r\nUID:big-%d@test\r\nRECURRENCE-ID:20261214T090000Z\r\n", i
        printf "DTSTART:20261214T110000Z\r\nSUMMARY:変更\r\nEND:VEVENT\r\n"
    }
    printf "BEGIN:VTODO\r\nUID:big-task@test\r\nSUMMARY:最後\r\nEND:VTODO\r\nEND:VCALENDAR\r\n"
}' >"$work/big.ics"

# Every row of the store's item and sync tables, in order, and whether the file reads cleanly.
rows() {
    python3 - "$store" <<'QUERY'
import sqlite3, sys
store = sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True)
print(store.execute("PRAGMA integrity_check").fetchone()[0])
for table in ("appointments", "tasks", "occurrence_changes", "object_ids", "sync_items"):
    for row in store.execute("SELECT * FROM " + table + " ORDER BY 1, 2"):
        print(table, row)
QUERY
}

"$cli" add appointment --start 2026-12-01T10:00 --end 2026-12-01T11:00 --subject 前から >/dev/null
"$cli" add task --subject 前からの仕事 >/dev/null
# Any write a start of the program makes, made now.
agenda_before=$("$cli" agenda --tsv 2026-12-01)
rows_before=$(rows)
bytes_before=$(sha256sum <"$store")

# Killed once the transaction holds batches: the write-ahead log has grown past a few megabytes.
"$cli" import "$work/big.ics" >"$work/import.out" 2>&1 &
pid=$!
while kill -0 "$pid" 2>/dev/null &&
    [ "$(stat -c %s "$store-wal" 2>/dev/null || echo 0)" -lt 8000000 ]; do
    sleep 0.02
done
running=$(kill -0 "$pid" 2>/dev/null && echo yes || echo no)
kill -9 "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
check "the import was still running when it was killed" yes "$running"
check "with batches written to the log" yes \
    "$([ "$(stat -c %s "$store-wal" 2>/dev/null || echo 0)" -ge 8000000 ] && echo yes || echo no)"

check "the store file is byte for byte as before the import" "$bytes_before" \
    "$(sha256sum <"$store")"
check "it opens cleanly with the rows it had" "$rows_before" "$(rows)"
check "the planner's commands read it as before" "$agenda_before" "$("$cli" agenda --tsv 2026-12-01)"

"$cli" import "$work/big.ics" >"$work/again.out" 2>&1 || true
check "the same file then imports whole" \
    "imported $((events)) appointments and 1 tasks from $work/big.ics: $((events + 1)) added, 0 updated, 0 unchanged; 0 skipped" \
    "$(head -n 1 "$work/again.out")"

finish

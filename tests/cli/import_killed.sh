#!/usr/bin/env bash
# An import of handwritten memos killed (SIGKILL) at several moments: the next import removes the
# ink files the killed one claimed and never stored, every ink file a stored memo names is there,
# and the numbers are taken again from the lowest.
# Usage: import_killed.sh PATH-TO-tessarinth-cli
source "$(dirname "$0")/../support/drive_support.sh" "$1"
work=$(mktemp -d)
trap 'rm -rf "$TESSARINTH_HOME" "$work"' EXIT
ink_folder="$TESSARINTH_HOME/device/My Documents"
memos=450

# calendar FILE PREFIX COUNT: COUNT appointments with handwriting (two ink records each).
calendar() {
    awk -v prefix="$2" -v n="$3" 'BEGIN {
        printf "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
        for (i = 1; i <= n; i++) {
            printf "BEGIN:VEVENT\r\nUID:%s-%d@test\r\nDTSTART:20261207T090000Z\r\n", prefix, i
            printf "SUMMARY:%s %d\r\nDESCRIPTION:typed\r\n", prefix, i
            printf "ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:"
            printf "AQAAAAIAAAADAAAABAAAAA==\r\nEND:VEVENT\r\n"
        }
        printf "END:VCALENDAR\r\n" }' >"$1"
}

ink_files() {
    ls -A "$ink_folder" 2>/dev/null | grep -c . || true
}

# The files in the ink folder and the ink files the stored handwritten memos name (read from the
# store: the export gives other programs a readable memo, not the name), each sorted, one a line.
files_on_disk() {
    ls -A "$ink_folder" 2>/dev/null | sort
}
files_named() {
    python3 - "$TESSARINTH_HOME/schedule.sqlite" <<'QUERY' | sort
import sqlite3, sys
store = sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True)
for (body,) in store.execute("SELECT body FROM appointments WHERE handwritten <> 0"):
    print(body.splitlines()[0])
QUERY
}

# The files on disk that no memo names, and the files memos name that are not on disk.
unmatched() {
    comm -3 <(files_on_disk) <(files_named) | tr -d '\t' | tr '\n' ' '
}

# kill_when COUNT FILE: imports FILE and kills it once the ink folder holds COUNT files.
kill_when() {
    "$cli" import "$2" >/dev/null 2>&1 &
    local pid=$!
    while [ "$(ink_files)" -lt "$1" ] && kill -0 "$pid" 2>/dev/null; do
        sleep 0.01
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

mkdir -p "$ink_folder"
round=0
# Killed as its first file appears, and a third and two thirds of the way: well before its
# store write, so nothing of it is stored.
for moment in 1 $((memos / 3)) $((memos * 2 / 3)); do
    round=$((round + 1))
    calendar "$work/round$round.ics" "round$round" "$memos"
    kill_when "$moment" "$work/round$round.ics"
done
killed_files=$(ink_files)

# The next import: one memo of its own, and the leftovers of the kills go first.
calendar "$work/next.ics" next 1
"$cli" import "$work/next.ics" >/dev/null
check "the kills left ink files behind for the next import to find" yes \
    "$([ "$killed_files" -gt 0 ] && echo yes || echo no)"
check "after the next import, the ink folder holds exactly the files stored memos name" "" \
    "$(unmatched)"
check "and no list of claims is left" "" "$(ls -A "$TESSARINTH_HOME/ink-claims" 2>/dev/null)"
check "the next import stores its memo, numbered from the lowest again" 1.dat "$(files_named)"

# An import that ends after its store write keeps its files, and its list goes.
stored_before=$(files_named | grep -c .)
calendar "$work/whole.ics" whole 5
"$cli" import "$work/whole.ics" >/dev/null
check "a whole import stores five more memos" "$((stored_before + 5))" "$(files_named | grep -c .)"
check "and keeps every file it stored" "" "$(unmatched)"
check "and leaves no list of claims" "" "$(ls -A "$TESSARINTH_HOME/ink-claims")"

finish

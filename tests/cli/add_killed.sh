#!/usr/bin/env bash
# A handwritten memo's save killed (SIGKILL) between the claim of its ink number and its store
# write, as the editors save one (tessarinth-cli add goes through the editors' own writes): its
# claim was listed beside the store, so the next start removes the file nothing names and the
# number is free again, instead of one of the 1999 numbers being lost for good.
# Usage: add_killed.sh PATH-TO-tessarinth-cli
source "$(dirname "$0")/../support/drive_support.sh" "$1"
work=$(mktemp -d)
holder=
cleanup() {
    [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
    rm -rf "$TESSARINTH_HOME" "$work"
}
trap cleanup EXIT
ink_folder="$TESSARINTH_HOME/device/My Documents"
ink_files() { ls -A "$ink_folder" | grep -E '^[0-9]+\.dat$' || true; }
printf '\001\000\000\000\002\000\000\000\377\377\377\377\377\377\377\377' >"$work/memo.ink"
drawing=(add appointment --start 2026-12-10T10:00 --end 2026-12-10T11:00 --subject "" --ink
    "$work/memo.ink")

# The store set up in this zone first: the save is then the add's only write.
"$cli" add task --subject 準備 >/dev/null
# Another program holds the store's write lock: the add claims its number, writes its ink and
# then waits for the lock, which is when it is killed.
python3 - "$TESSARINTH_HOME/schedule.sqlite" <<'HOLD' &
import sqlite3, sys, time
store = sqlite3.connect(sys.argv[1], isolation_level=None)
store.execute("BEGIN IMMEDIATE")
time.sleep(120)
HOLD
holder=$!
sleep 0.5
"$cli" "${drawing[@]}" >/dev/null 2>&1 &
add=$!
for _ in $(seq 300); do
    [ -s "$ink_folder/1.dat" ] && break
    sleep 0.01
done
listed=$(grep -qsx 1.dat "$TESSARINTH_HOME"/ink-claims/claims-* && echo yes || echo no)
kill -9 "$add" 2>/dev/null || true
wait "$add" 2>/dev/null || true
kill "$holder"
wait "$holder" 2>/dev/null || true
holder=
check "the save's claim was listed beside the store before its store write" yes "$listed"
check "the kill left the claimed file behind" 1.dat "$(ink_files)"

# The next start (an import here; the planner's start and a sync do the same) removes it.
printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n' >"$work/empty.ics"
"$cli" import "$work/empty.ics" >/dev/null
check "the next start removes the file no memo names" "" "$(ink_files)"
check "and the list" "" "$(ls -A "$TESSARINTH_HOME/ink-claims" 2>/dev/null)"
"$cli" "${drawing[@]}" >/dev/null
check "the number is free again" 1.dat "$(ink_files)"

finish

#!/usr/bin/env bash
# `tessarinth-cli reminders`: the list of the hours ahead on the README's sample week, its
# argument errors, and `--watch` ringing through a session bus of the test's own, with and
# without a notification service on it.
# Usage: reminders_command.sh PATH-TO-tessarinth-cli PATH-TO-notification_recorder SAMPLE.ics
source "$(dirname "$0")/../support/drive_support.sh" "$1"
recorder=${2:?notification recorder}
sample=${3:?sample week}
work=$(mktemp -d)
bus_pid=""
watch_pid=""
recorder_pid=""
cleanup() {
    for pid in $watch_pid $recorder_pid $bus_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$TESSARINTH_HOME" "$work"
}
trap cleanup EXIT

# wait_for FILE PATTERN: up to ten seconds for a line matching PATTERN in FILE.
wait_for() {
    for _ in $(seq 100); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

"$cli" import "$sample" >/dev/null
check "48 hours from Sunday noon: the weekly meeting, ten minutes ahead as its alarm says" \
    "$(printf '2026-12-21T09:50\t2026-12-21T10:00\t2026-12-21T11:00\t週次定例\t会議室B')" \
    "$("$cli" reminders --hours 48 --from 2026-12-20T12:00)"
check "72 hours: the year-end party's half hour ahead too" \
    "2026-12-21T09:50 2026-12-22T18:00" \
    "$("$cli" reminders --hours 72 --from 2026-12-20T12:00 | cut -f1 | tr '\n' ' ' | sed 's/ $//')"
check "the default is the next 24 hours" "" \
    "$("$cli" reminders --from 2026-12-20T09:00)"

status=0
"$cli" reminders --hours 0 >/dev/null 2>"$work/err" || status=$?
check "zero hours is refused with status 2" 2 "$status"
check "and named" yes "$(grep -q -- '--hours must be a whole number' "$work/err" && echo yes || echo no)"
status=0
"$cli" reminders --from tomorrow >/dev/null 2>"$work/err" || status=$?
check "a bad --from is refused with status 2" 2 "$status"

# A damaged store is named and left as it was.
damaged=$(mktemp -d -p "$work")
head -c 8192 /dev/zero | tr '\0' x >"$damaged/schedule.sqlite"
status=0
TESSARINTH_HOME=$damaged "$cli" reminders >/dev/null 2>"$work/err" || status=$?
check "a damaged store ends the list with status 1" 1 "$status"
check "and is named" yes "$(grep -q 'cannot use the schedule store' "$work/err" && echo yes || echo no)"
check "and left as it was" "$(head -c 8192 /dev/zero | tr '\0' x | md5sum)" \
    "$(md5sum <"$damaged/schedule.sqlite")"

# A private session bus; the watch finds it through the environment as at log-in.
dbus-daemon --session --nofork --print-address=1 >"$work/address" 2>"$work/bus.err" &
bus_pid=$!
wait_for "$work/address" . || { echo "FAIL: dbus-daemon did not start"; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/address")

# Due right away: an appointment that starts in five minutes (its reminder is 15 minutes ahead).
start=$(date -d '+5 minutes' +%Y-%m-%dT%H:%M)
end=$(date -d '+65 minutes' +%Y-%m-%dT%H:%M)
"$cli" add appointment --start "$start" --end "$end" --subject 見積もり提出 --reminder >/dev/null

# No notification service yet: the watch says so once and keeps running.
"$cli" reminders --watch 2>"$work/watch.err" &
watch_pid=$!
said=no
wait_for "$work/watch.err" "no notification service answered" && said=yes
check "without a notification service the watch says so" yes "$said"
check "said once" 1 "$(grep -c 'no notification service' "$work/watch.err")"
check "the watch goes on" yes "$(kill -0 "$watch_pid" 2>/dev/null && echo yes || echo no)"
kill "$watch_pid"
wait "$watch_pid" 2>/dev/null || true
watch_pid=""

# With a notification service: a new reminder rings within a tick of being added, once.
"$recorder" "$work/shown" >"$work/recorder.out" &
recorder_pid=$!
wait_for "$work/recorder.out" ready || { echo "FAIL: the recorder did not start"; exit 1; }
"$cli" reminders --watch 2>"$work/watch2.err" &
watch_pid=$!
sleep 1
"$cli" add appointment --start "$start" --end "$end" --subject 追加された予定 --reminder >/dev/null
rang=no
wait_for "$work/shown" 追加された予定 && rang=yes
check "a reminder added while the watch runs rings" yes "$rang"
"$cli" reminders --watch >/dev/null 2>&1 &
second_pid=$!
sleep 2
kill "$second_pid" 2>/dev/null || true
wait "$second_pid" 2>/dev/null || true
check "rung once though a second watch started on the same store" 1 "$(grep -c 追加された予定 "$work/shown")"
check "the first reminder, rung unseen before, is not rung again" 0 \
    "$(grep -c 見積もり提出 "$work/shown")"
finish

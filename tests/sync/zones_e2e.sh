#!/usr/bin/env bash
# A data home that travels, syncing through a real CalDAV server started here (Radicale or
# xandikos, as TESSARINTH_SYNC_SERVER says): items another client put there in their own zones
# are shown at their moments in Tokyo and in New York, following the zone sends nothing, and an
# edit in New York (a subject typed in the editor, a task ticked done) leaves the times on the
# server as that client wrote them.
set -euo pipefail
cli=${1:?usage: zones_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS

# at ZONE COMMAND...: tessarinth-cli on the travelling data home, in that zone.
at() {
    local zone=$1
    shift
    TZ=$zone TESSARINTH_HOME="$work/home" "$cli" "$@"
}
# The time lines of a server copy's event or task (not of its zones), in their order.
times_of() {
    get_ics "$1" | tr -d '\r' | awk '/^BEGIN:V(EVENT|TODO)$/,/^END:V(EVENT|TODO)$/' |
        grep -E '^(DTSTART|DTEND|DUE)[;:]'
}

start_server "$work/server"
calendar=${calendar_home}calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"

# What another client put there: a meeting in Tokyo time with the zone's definition, a call in
# UTC, a task due in New York.
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//other client//EN' BEGIN:VTIMEZONE \
    TZID:Asia/Tokyo BEGIN:STANDARD DTSTART:19700101T000000 TZOFFSETFROM:+0900 TZOFFSETTO:+0900 \
    END:STANDARD END:VTIMEZONE BEGIN:VEVENT UID:tokyo@test DTSTAMP:20261201T000000Z \
    'SUMMARY:Tokyo meeting' 'DTSTART;TZID=Asia/Tokyo:20261221T100000' \
    'DTEND;TZID=Asia/Tokyo:20261221T110000' END:VEVENT END:VCALENDAR >"$work/tokyo.ics"
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//other client//EN' BEGIN:VEVENT \
    UID:utc@test DTSTAMP:20261201T000000Z 'SUMMARY:UTC call' DTSTART:20261221T030000Z \
    DTEND:20261221T040000Z END:VEVENT END:VCALENDAR >"$work/utc.ics"
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//other client//EN' BEGIN:VTODO \
    UID:task@test DTSTAMP:20261201T000000Z SUMMARY:Report \
    'DUE;TZID=America/New_York:20261218T170000' END:VTODO END:VCALENDAR >"$work/task.ics"
for item in tokyo utc task; do
    check "the other client puts $item" 201 "$(put_ics "${calendar}$item.ics" "$work/$item.ics")"
done
before_tokyo=$(times_of "${calendar}tokyo.ics")
before_utc=$(times_of "${calendar}utc.ics")
before_task=$(times_of "${calendar}task.ics")

mkdir -p "$work/home"
echo "$server_password" | at Asia/Tokyo sync setup --events "$server_url$calendar" \
    --user alice --password-stdin --timeout 5 >/dev/null
check "a sync in Tokyo receives the three" "3 received" \
    "$(at Asia/Tokyo sync | grep -o '[0-9]* received')"
check "the meeting is at 10:00 in Tokyo" yes \
    "$(at Asia/Tokyo agenda 2026-12-21 --tsv | grep -q $'\t2026-12-21T10:00\t2026-12-21T11:00\t' && echo yes || echo no)"

# The same home in New York: every item at its moment there, nothing to send.
agenda=$(at America/New_York agenda 2026-12-18 --tsv)
check "the meeting is at 20:00 the day before in New York" 1 \
    "$(echo "$agenda" | grep -c $'2026-12-20T20:00\t2026-12-20T21:00')"
check "the call at 22:00" 1 "$(echo "$agenda" | grep -c $'2026-12-20T22:00\t2026-12-20T23:00')"
check "following the zone sends nothing" "0 sent" \
    "$(at America/New_York sync | grep -o '[0-9]* sent')"

# In New York the user ticks the task done and adds a word to the meeting's subject in its
# editor (rows: 0 the task on the 18th, 1 the empty 19th, 2 the meeting on the 20th).
drive_status=0
at America/New_York drive --today 2026-12-18T09:00 - >"$work/drive.out" 2>&1 <<'SCRIPT' ||
popup 40074
hold 100 110
tap 100 142
tap 150 36
type 変更
command 1
SCRIPT
    drive_status=$?
check "the edits are made on the screen" 0 "$drive_status"
check "the two edits are sent" "2 sent" "$(at America/New_York sync | grep -o '[0-9]* sent')"
check "the server has the new subject" 1 \
    "$(get_ics "${calendar}tokyo.ics" | grep -c '^SUMMARY:Tokyo meeting変更')"
check "and the meeting's times as the other client wrote them" "$before_tokyo" \
    "$(times_of "${calendar}tokyo.ics")"
check "the task is done on the server" 1 "$(get_ics "${calendar}task.ics" | grep -c '^STATUS:COMPLETED')"
check "with its due time as it was" "$before_task" "$(times_of "${calendar}task.ics")"
check "the call was left alone" "$before_utc" "$(times_of "${calendar}utc.ics")"

# Back in Tokyo, all is where it was.
check "back in Tokyo the meeting is at 10:00 again" 1 \
    "$(at Asia/Tokyo agenda 2026-12-21 --tsv | grep -c $'2026-12-21T10:00\t2026-12-21T11:00')"
check "and nothing is to send" "0 sent" "$(at Asia/Tokyo sync | grep -o '[0-9]* sent')"

[ "$failures" -eq 0 ] || exit 1
echo "all zone checks passed"

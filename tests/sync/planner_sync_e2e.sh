#!/usr/bin/env bash
# The running planner keeps itself in step with a real Radicale started here: it sends what was
# stored before it started at once, takes in another client's change within one interval, and
# keeps running, on the store it has, when the server is gone.
set -euo pipefail
cli=${1:?usage: planner_sync_e2e.sh PATH-TO-tessarinth-cli PATH-TO-tessarinth}
planner=${2:?usage: planner_sync_e2e.sh PATH-TO-tessarinth-cli PATH-TO-tessarinth}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/radicale_support.sh"
work=$(mktemp -d)
planner_pid=""
trap '[ -z "$planner_pid" ] || kill "$planner_pid" 2>/dev/null; stop_radicale;
      [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
unset DBUS_SESSION_BUS_ADDRESS

# within SECONDS COMMAND...: "yes" once the command succeeds, polling every half second.
within() {
    local seconds=$1
    shift
    local tries=$((seconds * 2))
    for ((i = 0; i < tries; i++)); do
        if "$@" >/dev/null 2>&1; then
            echo yes
            return
        fi
        sleep 0.5
    done
    echo no
}
items_on_server() { [ "$(list_hrefs "$calendar" | wc -l)" -eq "$1" ]; }
listed_here() { as a agenda 2026-12-21 --tsv | cut -f 13 | grep -qx "$1"; }

start_radicale "$work/server"
calendar=/alice/calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"
mkdir -p "$work/a"
echo "$radicale_password" | as a sync setup --events "$radicale_url$calendar" --user alice \
    --password-stdin --timeout 5 >/dev/null
as a settings set SyncMinutes 1 >/dev/null
as a add appointment --start 2026-12-21T10:00 --end 2026-12-21T11:00 --subject 打ち合わせ \
    >/dev/null

TESSARINTH_HOME="$work/a" "$planner" >"$work/planner.out" 2>&1 &
planner_pid=$!
check "the planner sends what was stored before it started, at once" yes \
    "$(within 10 items_on_server 1)" "$work/planner.out"

# Another client adds an event on the server: the planner takes it in within one interval.
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//other client//EN' BEGIN:VEVENT \
    UID:from-phone@test DTSTART:20261221T150000 DTEND:20261221T160000 SUMMARY:電話 \
    END:VEVENT END:VCALENDAR >"$work/phone.ics"
check "another client puts an event" 201 \
    "$(put_ics "${calendar}from-phone.ics" "$work/phone.ics")"
check "the planner takes it in within one interval" yes "$(within 75 listed_here 電話)" \
    "$work/planner.out"

# The server goes away: the planner keeps running on what it has.
stop_radicale
sleep 2
check "without its server the planner keeps running" yes "$(yes_if kill -0 "$planner_pid")"
check "and its store is as it was" yes "$(yes_if listed_here 打ち合わせ)"

[ "$failures" -eq 0 ] || exit 1
echo "all planner sync checks passed"

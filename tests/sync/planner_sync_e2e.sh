#!/usr/bin/env bash
# The running planner keeps itself in step with a real CalDAV server started here (Radicale or
# xandikos, as TESSARINTH_SYNC_SERVER says): it sends what was stored before it started at once
# and a save made on its screen within ten seconds, takes in another client's change within one
# interval, and keeps working, on the store it has, when the server is gone, its summary pop-up
# saying so. The planner runs on a virtual display, worked with a mouse and keyboard as a user
# would (xvfb-run and xdotool). Leaves the summary's screenshot as
# planner_sync_summary-SERVER.png in the current folder.
set -euo pipefail
cli=${1:?usage: planner_sync_e2e.sh PATH-TO-tessarinth-cli PATH-TO-tessarinth}
planner=${2:?usage: planner_sync_e2e.sh PATH-TO-tessarinth-cli PATH-TO-tessarinth}
here=$(cd "$(dirname "$0")" && pwd)
if [ "${3:-}" != --on-display ]; then
    exec xvfb-run -a -s "-screen 0 600x700x24" bash "$0" "$cli" "$planner" --on-display
fi
source "$here/server_support.sh"
work=$(mktemp -d)
planner_pid=""
trap '[ -z "$planner_pid" ] || kill "$planner_pid" 2>/dev/null; stop_server;
      [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=xcb TZ=Asia/Tokyo
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
on_server() {
    local href
    for href in $(list_hrefs "$calendar"); do
        get_ics "$href" | tr -d '\r' | grep -qx "SUMMARY:$1" && return 0
    done
    return 1
}
stored() { as a agenda --tsv | cut -f 13 | grep -qx "$1"; }
said() { grep -qF "$1" "$work/planner.out"; }

# The screen at zoom 2 (the default), its top-left corner where the display put it. A device
# point is (x, y) of the 240 x 320 screen.
tap() {
    xdotool mousemove $((left + $1 * 2)) $((top + $2 * 2)) click 1
    sleep 0.5
}
# A new appointment for the selected day through 新規 and its drop-down, with that subject
# typed, saved with the navigation bar's OK.
new_appointment() {
    tap 15 306  # 新規
    tap 25 262  # 予定
    tap 100 35  # the subject box
    xdotool type --delay 30 "$1"
    tap 230 12  # OK
}
listed_here() { as a agenda 2026-12-21 --tsv | cut -f 13 | grep -qx "$1"; }

start_server "$work/server"
calendar=${calendar_home}calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"
mkdir -p "$work/a"
echo "$server_password" | as a sync setup --events "$server_url$calendar" --user alice \
    --password-stdin --timeout 5 >/dev/null
as a settings set SyncMinutes 1 >/dev/null
as a add appointment --start 2026-12-21T10:00 --end 2026-12-21T11:00 --subject 打ち合わせ \
    >/dev/null

TESSARINTH_HOME="$work/a" "$planner" >"$work/planner.out" 2>&1 &
planner_pid=$!
for _ in $(seq 100); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Tessarinth"' && break
    sleep 0.1
done
window=$(xwininfo -name Tessarinth)
left=$(awk '/Absolute upper-left X/ { print $NF }' <<<"$window")
top=$(awk '/Absolute upper-left Y/ { print $NF }' <<<"$window")
check "the planner sends what was stored before it started, at once" yes \
    "$(within 10 items_on_server 1)" "$work/planner.out"

# A save made on the screen goes up by itself within ten seconds.
new_appointment Standup
check "the save made on the screen is stored" yes "$(yes_if stored Standup)"
check "and reaches the server within ten seconds" yes "$(within 10 on_server Standup)" \
    "$work/planner.out"

# Another client adds an event on the server: the planner takes it in within one interval.
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//other client//EN' BEGIN:VEVENT \
    UID:from-phone@test DTSTART:20261221T150000 DTEND:20261221T160000 SUMMARY:電話 \
    END:VEVENT END:VCALENDAR >"$work/phone.ics"
check "another client puts an event" 201 \
    "$(put_ics "${calendar}from-phone.ics" "$work/phone.ics")"
check "the planner takes it in within one interval" yes "$(within 75 listed_here 電話)" \
    "$work/planner.out"

# The server goes away: the planner keeps working on what it has, and the sync after its next
# save says why it stopped, on standard error and in the summary pop-up.
stop_server
new_appointment Offline
check "without its server the planner keeps running" yes "$(yes_if kill -0 "$planner_pid")"
check "and keeps what is saved on its screen" yes \
    "$(yes_if stored Offline)"
check "its store is as it was" yes "$(yes_if listed_here 打ち合わせ)"
check "the sync after the save tells why it stopped" yes \
    "$(within 15 said "tessarinth: sync: sync stopped:")" "$work/planner.out"
tap 135 306  # ？: the summary pop-up
summary=planner_sync_summary-$sync_server.png
import -window root "$summary"
# Its trouble line (device x 82..157, y 188..200 of the portrait screen) is written in red.
red=$(convert "$summary" -crop 150x24+$((left + 164))+$((top + 376)) +repage \
    -fill black +opaque '#C00000' -fill white -opaque '#C00000' -format '%[fx:int(mean*w*h)]' info:)
check "the summary pop-up says so in its sync lines" yes "$([ "$red" -gt 20 ] && echo yes || echo no)"

[ "$failures" -eq 0 ] || exit 1
echo "all planner sync checks passed"

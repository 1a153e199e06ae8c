#!/usr/bin/env bash
# Draws the README's pictures: a week before the new year (docs/sample-week.ics, plus a
# handwritten route map added as the appointment editor would store it) in a fresh data home,
# painted by `tessarinth-cli screenshot` in both orientations, and the two editors worked by
# `tessarinth-cli drive`; and, where Radicale is installed, the 同期 dialog set up on an account of
# a Radicale started here (on 127.0.0.1:5232 when that port is free) with three calendars.
#   scripts/readme_pictures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli="${1:-$root/build}/cli/tessarinth-cli"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export TESSARINTH_HOME="$home" TZ=Asia/Tokyo

"$cli" import "$root/docs/sample-week.ics" >/dev/null
"$cli" add appointment --start 2026-12-23T14:00 --end 2026-12-23T15:00 --subject "" \
    --ink "$root/docs/sample-memo.ink" >/dev/null

for orientation in portrait landscape; do
    flag=$([ "$orientation" = landscape ] && echo --landscape || true)
    for zoom in 1 2; do
        "$cli" screenshot --date 2026-12-21 --today 2026-12-22 $flag --zoom "$zoom" \
            "$root/docs/screen-$orientation-x$zoom.png" >/dev/null
    done
done
"$cli" screenshot --date 2026-12-21 --today 2026-12-22 --summary --zoom 2 \
    "$root/docs/screen-summary-x2.png" >/dev/null
# The two editors, side by side: a new appointment set on the dial (outer 7 to inner 6 on the
# day face: 19:30 to 20:30) with a few strokes on the pad, and a new task with notes.
"$cli" drive --today 2026-12-22T09:00 --date 2026-12-21 - <<SCRIPT
command 40045
tap 100 35
type 新年会
tap 100 61
type 駅前
stroke 170 161 190 150
stroke 20 235 50 225 80 240 110 230
stroke 130 250 170 250 170 275
shot $home/appointment.png 2
command 40014
command 40073
tap 100 35
type 年賀状
tap 100 150
type 百枚\n喪中の方に注意
shot $home/task.png 2
SCRIPT
convert "$home/appointment.png" "$home/task.png" +append "$root/docs/screen-editors-x2.png"

# The 同期 dialog, upright and turned, after 接続 and 今すぐ同期 on an account with a family
# calendar, a work calendar (blue, hidden here) and a task list; another program wrote a visit.
if command -v radicale >/dev/null; then
    source "$root/tests/sync/server_support.sh"
    free_port() {
        python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 5232)); print(5232)' \
            2>/dev/null || python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
    }
    trap 'stop_server; rm -rf "$home"' EXIT
    start_server "$home/server"
    make_named() {
        http -o /dev/null -X MKCALENDAR -H 'Content-Type: application/xml' --data-binary "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<C:mkcalendar xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\" xmlns:A=\"http://apple.com/ns/ical/\">
<D:set><D:prop><D:displayname>$2</D:displayname><A:calendar-color>$4</A:calendar-color>
<C:supported-calendar-component-set><C:comp name=\"$3\"/></C:supported-calendar-component-set>
</D:prop></D:set></C:mkcalendar>" "$server_url/alice/$1/"
    }
    make_named family 家族 VEVENT '#2E8B57FF'
    make_named work 仕事 VEVENT '#1E90FFFF'
    make_named todo やること VTODO '#FF8C00FF'
    ics visit@other 来客 >"$home/visit.ics"
    put_ics /alice/work/visit.ics "$home/visit.ics" >/dev/null
    unset DBUS_SESSION_BUS_ADDRESS
    "$cli" drive --today 2026-12-22T09:00 - >/dev/null <<SCRIPT
dialog ok press 40113
dialog ok set 1331 $server_url/ set 1332 alice set 1333 secret press 1335 press 1336
command 40053
SCRIPT
    "$cli" calendars hide 仕事
    for orientation in portrait landscape; do
        flag=$([ "$orientation" = landscape ] && echo --landscape || true)
        "$cli" drive $flag --today 2026-12-22T09:00 - >/dev/null <<SCRIPT
dialog ok press 40113
dialog ok press 1336 shot $home/sync-$orientation.png 2
command 40053
SCRIPT
    done
    convert -background white "$home/sync-portrait.png" "$home/sync-landscape.png" \
        -gravity north +append "$root/docs/screen-sync-x2.png"
fi
echo "pictures in $root/docs"

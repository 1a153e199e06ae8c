#!/usr/bin/env bash
# A school's calendar published as one .ics file on a web server of the test's own (it gives an
# ETag and answers 304 when the copy asked about is still current): subscribed to, shown,
# refusing a delete, refreshed at each sync with no server account set up and beside a real
# CalDAV account (Radicale or xandikos, as TESSARINTH_SYNC_SERVER says) whose collection never
# sees the feed's items, kept when its web server is gone, and given up again.
set -euo pipefail
cli=${1:?usage: feeds_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
feed_pid=""
stop_feed_server() {
    if [ -n "$feed_pid" ]; then
        kill "$feed_pid" 2>/dev/null || true
        wait "$feed_pid" 2>/dev/null || true
    fi
    feed_pid=""
}
trap 'stop_feed_server; stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS

mkdir -p "$work/site"
feed_port=$(free_port)
feed_url="http://127.0.0.1:$feed_port/school.ics"
start_feed_server() {
    /usr/bin/python3 "$here/feed_server.py" "$feed_port" "$work/site" "$work/feed.log" \
        >>"$work/feed_server.out" 2>&1 &
    feed_pid=$!
    local tries=0
    until curl -s -o /dev/null "http://127.0.0.1:$feed_port/"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ]; then
            echo "FAIL: the feed's web server did not start" >&2
            cat "$work/feed_server.out" >&2
            exit 1
        fi
        sleep 0.1
    done
}
# event UID SUMMARY DAY: one VEVENT of the feed, 10:00-11:30 on DAY (YYYYMMDD).
event() {
    printf 'BEGIN:VEVENT\r\nUID:%s\r\nDTSTAMP:20261201T000000Z\r\nDTSTART:%sT100000\r\n' "$1" "$3"
    printf 'DTEND:%sT113000\r\nSUMMARY:%s\r\nEND:VEVENT\r\n' "$3" "$2"
}
# publish COMPONENTS...: the school's feed as the web server gives it from now on.
publish() {
    {
        printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//school//EN\r\nX-WR-CALNAME:学校\r\n'
        # Each component came through $(...), which took its last line feed.
        printf '%s\n' "$@"
        printf 'END:VCALENDAR\r\n'
    } >"$work/site/school.ics.new"
    mv "$work/site/school.ics.new" "$work/site/school.ics"
}
day_subjects() { as a agenda "$1" --tsv | awk -F'\t' '$2 == "'"$1"'" { print $13 }' | tr '\n' ' '; }
oid_of() { as a agenda 2026-12-21 --tsv | awk -F'\t' '$13 == "'"$1"'" { print $4 }' | head -n 1; }
# status_of COMMAND...: the exit status of tessarinth-cli on home a, its output in $work/a.out/.err.
status_of() {
    local status=0
    as a "$@" >"$work/a.out" 2>"$work/a.err" || status=$?
    echo "$status"
}

start_feed_server
publish "$(event fair@school 文化祭 20261221)" "$(event sports@school 体育祭 20261222)" \
    "$(printf 'BEGIN:VTODO\r\nUID:homework@school\r\nSUMMARY:宿題\r\nEND:VTODO\r\n')"

# --- Subscribed, without any server account -----------------------------------------------------
check "a new home has no feed: sync is not set up" 1 "$(sync_status a)"
check "subscribing fetches the feed at once" 0 "$(status_of subscribe "$feed_url")" "$work/a.err"
check "it is named as the feed names itself, and says what it took" \
    "subscribed 学校 $feed_url: 3 added, 0 changed, 0 removed" "$(cat "$work/a.out")"
check "it is a read-only calendar of its own" "学校 $feed_url shown - read-only" \
    "$(as a calendars | awk -F'\t' '$1 == "学校" { print $1, $2, $3, $4, $5 }')"
check "its items show" "文化祭 " "$(day_subjects 2026-12-21)"
check "its task shows" 1 "$(as a search 宿題 --tsv | grep -c 宿題 || true)"
check "the same feed twice is refused" 1 "$(status_of subscribe "$feed_url")"
check "and says under which name it is" 1 "$(grep -c 'subscribed already, as "学校"' "$work/a.err")"

fair=$(oid_of 文化祭)
check "deleting a feed's item is refused" 1 "$(status_of delete "$fair")"
check "and says why" 1 "$(grep -c 'read-only' "$work/a.err" || true)" "$work/a.err"
check "moving it out is refused" 1 "$(status_of move "$fair" --calendar カレンダー)"
check "it stays" "文化祭 " "$(day_subjects 2026-12-21)"
# Copied on the screen (コピー on its row, the 21st) and pasted on the empty 23rd (row 2): the
# paste is a new item of the default calendar, which can be deleted again.
as a drive --today 2026-12-21T09:00 - >"$work/drive.out" 2>&1 <<'SCRIPT' || true
popup 40058
hold 100 110
popup 40081
hold 100 142
SCRIPT
pasted=$(as a agenda 2026-12-21 --tsv | awk -F'\t' '$2 == "2026-12-23" && $13 == "文化祭" { print $4 }')
check "a feed's item copied and pasted on the screen makes a new item" 1 \
    "$(echo "$pasted" | grep -c '^[0-9][0-9]*$' || true)" "$work/drive.out"
check "which is the planner's own, and can be deleted" 0 "$(status_of delete "${pasted:-0}")" \
    "$work/a.err"
check "a copy of it into a writable calendar is taken" 0 \
    "$(status_of add appointment --start 2026-12-21T10:00 --end 2026-12-21T11:30 --subject 文化祭)"
check "and the copy is an item of the planner's own" 2 \
    "$(as a export - | grep -c '^SUMMARY:文化祭' || true)"

# --- Refreshed at each sync ---------------------------------------------------------------------
: >"$work/feed.log"
check "a sync with feeds alone ends well" 0 "$(sync_status a)" "$work/a.err"
check "an unchanged feed is said to be so" "feed 学校 $feed_url: unchanged" "$(cat "$work/a.out")"
check "it asked whether its copy is current, and the server said it is" 1 \
    "$(grep -c '^/school.ics 304 if-none-match="' "$work/feed.log" || true)" "$work/feed.log"
publish "$(event fair@school '文化祭 (雨天順延)' 20261221)" "$(event concert@school 音楽会 20261223)" \
    "$(printf 'BEGIN:VTODO\r\nUID:homework@school\r\nSUMMARY:宿題\r\nEND:VTODO\r\n')"
check "the sync after the feed changed" 0 "$(sync_status a)" "$work/a.err"
check "takes what changed, what is new and what is gone" \
    "feed 学校 $feed_url: 1 added, 1 changed, 1 removed" "$(cat "$work/a.out")"
check "the changed item, under the same object id" "$fair 文化祭 (雨天順延)" \
    "$(as a agenda 2026-12-21 --tsv | awk -F'\t' '$4 == "'"$fair"'" { print $4, $13 }')"
check "the removed one is gone (the day is empty)" " " "$(day_subjects 2026-12-22)"
check "the new one is there" "音楽会 " "$(day_subjects 2026-12-23)"

# --- A feed whose server is gone keeps its last copy --------------------------------------------
stop_feed_server
check "a sync whose feed does not answer stops with status 1" 1 "$(sync_status a)"
check "and says why, keeping the last copy" 1 \
    "$(grep -c "^tessarinth-cli: feed 学校 $feed_url: .*refused the connection; its last copy is kept" \
        "$work/a.err" || true)" "$work/a.err"
check "the feed's items are still there" "音楽会 " "$(day_subjects 2026-12-23)"
start_feed_server
check "with its server back, the feed syncs again" 0 "$(sync_status a)" "$work/a.err"

# --- Beside a server account --------------------------------------------------------------------
start_server "$work/server"
check "the account's calendar is made" 201 "$(make_calendar "${calendar_home}calendar/")"
check "sync is set up" 0 "$(printf '%s\n' "$server_password" | as a sync setup \
    --events "$server_url${calendar_home}calendar/" --user alice --password-stdin \
    >"$work/a.setup" 2>&1; echo $?)" "$work/a.setup"
publish "$(event fair@school '文化祭 (雨天順延)' 20261221)" "$(event concert@school 合唱会 20261223)" \
    "$(printf 'BEGIN:VTODO\r\nUID:homework@school\r\nSUMMARY:宿題\r\nEND:VTODO\r\n')"
: >"$work/feed.log"
check "the sync with the account and the feed" 0 "$(sync_status a)" "$work/a.err"
check "the account's calendar is synced" 1 \
    "$(grep -c "^appointments and tasks $server_url${calendar_home}calendar/: " "$work/a.out")" \
    "$work/a.out"
check "and the feed refreshed beside it" "feed 学校 $feed_url: 0 added, 1 changed, 0 removed" \
    "$(grep '^feed ' "$work/a.out")"
check "the feed's server never hears the account's password" "0 1" \
    "$(grep -c 'authorization=yes' "$work/feed.log" || true) $(grep -c 'authorization=no' "$work/feed.log")"
server_subjects() {
    list_hrefs "${calendar_home}calendar/" | while read -r href; do get_ics "$href"; done |
        grep '^SUMMARY' | tr -d '\r' | sort | tr '\n' ' '
}
check "the server has the planner's own item and none of the feed's" "SUMMARY:文化祭 " \
    "$(server_subjects)"
check "another sync changes nothing" 0 "$(sync_status a)" "$work/a.err"
check "and still sends no feed item" "SUMMARY:文化祭 " "$(server_subjects)"

# --- Given up -----------------------------------------------------------------------------------
check "the account's calendar is no feed to give up" 1 "$(status_of unsubscribe カレンダー)"
check "and says so" 1 "$(grep -c 'no subscribed feed' "$work/a.err" || true)" "$work/a.err"
check "unsubscribing" 0 "$(status_of unsubscribe 学校)" "$work/a.err"
check "removes the calendar" "カレンダー" "$(as a calendars | cut -f1 | tr '\n' ' ' | sed 's/ $//')"
check "and its items, leaving the copy made of one" "文化祭 " "$(day_subjects 2026-12-21)"
check "a sync after it has no feed to refresh" 0 "$(sync_status a)" "$work/a.err"
check "and names none" 0 "$(grep -c '^feed ' "$work/a.out" || true)"
check "the server still holds the planner's own item alone" "SUMMARY:文化祭 " "$(server_subjects)"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"

#!/usr/bin/env bash
# Two planners (two data homes) syncing through a real Radicale started here, and the ways a sync
# can meet trouble: conflicts, a server that stops in the middle, a 412, an emptied collection, a
# wrong password and no server at all.
set -euo pipefail
cli=${1:?usage: sync_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export TZ=Europe/Berlin QT_QPA_PLATFORM=offscreen
# No secret service in a test: the password goes to its file.
unset DBUS_SESSION_BUS_ADDRESS


# sync_status HOME [ARGS]: runs a sync, its output in $work/HOME.out and .err; prints the status.
sync_status() {
    local home=$1
    shift
    local status=0
    as "$home" sync "$@" >"$work/$home.out" 2>"$work/$home.err" || status=$?
    cat "$work/$home.out" "$work/$home.err" >>"$work/$home.log"
    echo "$status"
}
# ics UID SUMMARY [EXTRA LINES]: a one-event calendar on 2026-12-21 10:00-11:30.
ics() {
    local uid=$1 summary=$2
    shift 2
    printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other client//EN\r\nBEGIN:VEVENT\r\n'
    printf 'UID:%s\r\nDTSTART:20261221T100000\r\nDTEND:20261221T113000\r\nSUMMARY:%s\r\n' \
        "$uid" "$summary"
    for line in "$@"; do printf '%s\r\n' "$line"; done
    printf 'END:VEVENT\r\nEND:VCALENDAR\r\n'
}
count_items() { as "$1" export - | grep -c '^BEGIN:V\(EVENT\|TODO\)' || true; }

start_server "$work/server"
calendar=${calendar_home}calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"
for home in a b; do
    mkdir -p "$work/$home"
    echo "$server_password" |
        as $home sync setup --events "$server_url$calendar" --user alice --password-stdin \
            --timeout 5 >"$work/$home.setup"
done
check "setup says where the password went" yes \
    "$(yes_if grep -q 'password is kept in .*sync-password, readable by you alone' "$work/a.setup")"
check "the password file is the user's alone" 600 \
    "$(stat -c %a "$work/a/sync-password")"

# --- created, edited, deleted on one side, followed on the other --------------------------------
oid=$(as a add appointment --start 2026-12-21T10:00 --end 2026-12-21T11:30 --subject 打ち合わせ \
    --location 本社 --memo "資料を持参")
check "a first sync sends the new appointment" 0 "$(sync_status a)"
check "the first sync says what it sent" yes \
    "$(yes_if grep -q 'appointments and tasks .*: 0 received, 1 sent' "$work/a.out")"
check "a sync after sending takes nothing back" yes \
    "$(sync_status a >/dev/null; yes_if grep -q ': 0 received, 0 sent' "$work/a.out")"
check "the other planner's first sync" 0 "$(sync_status b)"
check "the appointment appears on the other side" \
    "$(as a agenda 2026-12-21 --tsv)" "$(as b agenda 2026-12-21 --tsv)"
check "a sync with nothing to do does nothing" yes \
    "$(sync_status b >/dev/null; yes_if grep -q '0 received, 0 sent, 0 deleted here, 0 deleted on the server' "$work/b.out")"

uid=$(as a export - | sed -n 's/^UID:\(.*\)\r$/\1/p' | head -1)
as a export - | sed 's/^SUMMARY:.*/SUMMARY:打ち合わせ（変更）/' >"$work/edited.ics"
as a import "$work/edited.ics" >/dev/null
check "an edit is sent" 0 "$(sync_status a)"
check "one's own earlier upload is no conflict" no "$(yes_if grep -q conflict "$work/a.out")"
check "an edit is received" 0 "$(sync_status b)"
check "the edit appears on the other side" yes \
    "$(yes_if grep -q '打ち合わせ（変更）' <(as b agenda 2026-12-21 --tsv))"

as a delete "$oid" >/dev/null
check "a deletion is sent" 0 "$(sync_status a)"
check "the deletion reaches the server" "" "$(list_hrefs "$calendar")"
check "a deletion is received" 0 "$(sync_status b)"
check "the appointment disappears on the other side" 0 "$(count_items b)"

# --- a task completed ------------------------------------------------------------------------------
printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VTODO\r\nUID:task-1@test\r\nSUMMARY:年賀状\r\nDUE;VALUE=DATE:20261225\r\nEND:VTODO\r\nEND:VCALENDAR\r\n' \
    >"$work/task.ics"
as a import "$work/task.ics" >/dev/null
sync_status a >/dev/null
sync_status b >/dev/null
as b export - | awk '/^BEGIN:VTODO/,/^END:VTODO/' | grep -v '^\(BEGIN\|END\):VCALENDAR' >/dev/null
sed 's/^SUMMARY:年賀状\r$/SUMMARY:年賀状\r\nSTATUS:COMPLETED\r\nCOMPLETED:20261220T090000Z\r/' \
    "$work/task.ics" >"$work/task-done.ics"
as b import "$work/task-done.ics" >/dev/null
sync_status b >/dev/null
check "the completion is received" 0 "$(sync_status a)"
check "the task is done on the other side" yes \
    "$(yes_if grep -q '^STATUS:COMPLETED' <(as a export -))"

# --- a recurring series with a moved occurrence -------------------------------------------------------
cat >"$work/series.ics" <<'SERIES'
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//t//EN
BEGIN:VEVENT
UID:weekly@test
DTSTART;TZID=Europe/Berlin:20261202T090000
DTEND;TZID=Europe/Berlin:20261202T100000
RRULE:FREQ=WEEKLY;COUNT=6
SUMMARY:定例
END:VEVENT
BEGIN:VEVENT
UID:weekly@test
RECURRENCE-ID;TZID=Europe/Berlin:20261216T090000
DTSTART;TZID=Europe/Berlin:20261217T140000
DTEND;TZID=Europe/Berlin:20261217T150000
SUMMARY:定例（木曜に移動）
END:VEVENT
END:VCALENDAR
SERIES
as a import "$work/series.ics" >/dev/null
sync_status a >/dev/null
check "the series is received" 0 "$(sync_status b)"
check "the series and its moved occurrence look the same on both sides" \
    "$(as a agenda 2026-12-14 --tsv)" "$(as b agenda 2026-12-14 --tsv)"
check "the moved occurrence is there" yes \
    "$(yes_if grep -q '定例（木曜に移動）' <(as b agenda 2026-12-14 --tsv))"

# --- a handwritten memo ---------------------------------------------------------------------------
memo="$here/../../docs/sample-memo.ink"
as a add appointment --start 2026-12-23T14:00 --end 2026-12-23T15:00 --subject "" \
    --ink "$memo" >/dev/null
sync_status a >/dev/null
check "the handwritten memo is received" 0 "$(sync_status b)"
check "the handwriting gets an ink file of its own, numbered as the editor numbers them" yes \
    "$(yes_if cmp "$memo" "$work/b/device/My Documents/1.dat")"
as a screenshot --today 2026-12-21 --date 2026-12-21 "$work/a.png" >/dev/null 2>&1
as b screenshot --today 2026-12-21 --date 2026-12-21 "$work/b.png" >/dev/null 2>&1
check "the memo is drawn identically on both" yes "$(yes_if cmp "$work/a.png" "$work/b.png")"

# --- an item another client put on the server -----------------------------------------------------
ics other@test 他のクライアント 'LOCATION:会議室' 'CLASS:PRIVATE' 'X-OTHER-CLIENT:kept' \
    'DTSTAMP:20261201T000000Z' >"$work/other.ics"
check "another client puts an item" 201 "$(put_ics "${calendar}other.ics" "$work/other.ics")"
check "the next sync receives it" 0 "$(sync_status a)"
check "it appears in the planner" yes \
    "$(yes_if grep -q '他のクライアント' <(as a agenda 2026-12-21 --tsv))"
ics other@test 他のクライアント（変更） 'LOCATION:会議室' >"$work/other-edit.ics"
as a import "$work/other-edit.ics" >/dev/null
sync_status a >/dev/null
back=$(get_ics "${calendar}other.ics" | tr -d '\r')
check "the change went back to the server" yes "$(yes_if grep -q '^SUMMARY:他のクライアント（変更）' <<<"$back")"
check "the other client's own property is kept on the way back" yes \
    "$(yes_if grep -q '^X-OTHER-CLIENT:kept' <<<"$back")"
check "its class is kept on the way back" yes "$(yes_if grep -q '^CLASS:PRIVATE' <<<"$back")"

# --- a sync token the server no longer knows --------------------------------------------------------
ics forgotten@test 忘れられたトークン >"$work/forgotten.ics"
put_ics "${calendar}forgotten.ics" "$work/forgotten.ics" >/dev/null
sqlite3 "$work/a/schedule.sqlite" "UPDATE sync_collections SET token = '$(forgotten_token)'"
check "a forgotten sync token is no error" 0 "$(sync_status a)"
check "the changes since are still found" yes \
    "$(yes_if grep -q '忘れられたトークン' <(as a agenda 2026-12-21 --tsv))"
check "a new token is kept for the next sync" yes \
    "$(yes_if test "$(sqlite3 "$work/a/schedule.sqlite" 'SELECT token FROM sync_collections')" != \
        "$(forgotten_token)")"
http -o /dev/null -X DELETE "$server_url${calendar}forgotten.ics"
sync_status a >/dev/null

# --- conflicts: the version changed last wins, the other is kept whole ---------------------------------
sync_status b >/dev/null
ics other@test 'planner A edit' 'LOCATION:会議室' >"$work/a-edit.ics"
as a import "$work/a-edit.ics" >/dev/null
ics other@test 'older server edit' 'LAST-MODIFIED:20200101T000000Z' >"$work/old-edit.ics"
put_ics "${calendar}other.ics" "$work/old-edit.ics" >/dev/null
check "a conflict does not stop the sync" 0 "$(sync_status a)"
conflict=$(sed -n 's/^conflict: .*the server.s is in \(.*\)$/\1/p' "$work/a.out")
check "the conflict is named with its file" yes "$(yes_if test -f "$conflict")"
check "the losing server version is kept whole" yes \
    "$(yes_if grep -q '^SUMMARY:older server edit' "$conflict")"
check "the conflict file is under the data home's conflicts folder" "$work/a/conflicts" \
    "$(dirname "$conflict")"
check "the newer local version won on the server" yes \
    "$(yes_if grep -q '^SUMMARY:planner A edit' <(get_ics "${calendar}other.ics" | tr -d '\r'))"

ics other@test 'planner A second edit' >"$work/a-edit2.ics"
as a import "$work/a-edit2.ics" >/dev/null
ics other@test 'newer server edit' 'LAST-MODIFIED:20990101T000000Z' >"$work/new-edit.ics"
put_ics "${calendar}other.ics" "$work/new-edit.ics" >/dev/null
check "a second conflict" 0 "$(sync_status a)"
conflict=$(sed -n "s/^conflict: .*this planner's is in \(.*\)$/\1/p" "$work/a.out")
check "the losing local version is kept whole" yes \
    "$(yes_if grep -q '^SUMMARY:planner A second edit' "$conflict")"
check "the newer server version won here" yes \
    "$(yes_if grep -q 'newer server edit' <(as a agenda 2026-12-21 --tsv))"

# --- a client that edits without a word of when: the server's own clock decides ------------------
# The planner runs on the real clock here, as the server does, so that the two clocks compare.
ics silent@test 'first version' 'LAST-MODIFIED:20261201T000000Z' >"$work/silent.ics"
put_ics "${calendar}silent.ics" "$work/silent.ics" >/dev/null
"${real_time[@]}" bash -c 'TESSARINTH_HOME="$1" "$2" sync' _ "$work/a" "$cli" >/dev/null
ics silent@test 'edited here' >"$work/silent-here.ics"
"${real_time[@]}" bash -c 'TESSARINTH_HOME="$1" "$2" import "$3"' _ "$work/a" "$cli" \
    "$work/silent-here.ics" >/dev/null
sleep 1.2
ics silent@test 'edited elsewhere later' 'LAST-MODIFIED:20261201T000000Z' >"$work/silent-there.ics"
put_ics "${calendar}silent.ics" "$work/silent-there.ics" >/dev/null
"${real_time[@]}" bash -c 'TESSARINTH_HOME="$1" "$2" sync' _ "$work/a" "$cli" >"$work/a.out"
check "an edit that leaves LAST-MODIFIED as it was, made later, wins here" yes \
    "$(yes_if grep -q 'edited elsewhere later' <(as a agenda 2026-12-21 --tsv))"
conflict=$(sed -n "s/^conflict: .*this planner's is in \(.*\)$/\1/p" "$work/a.out")
check "the planner's earlier edit is kept in conflicts/" yes \
    "$(yes_if grep -q '^SUMMARY:edited here' "$conflict")"

# --- a 412: the item changed on the server between the listing and the upload -------------------------
sync_status a >/dev/null
sync_status b >/dev/null
ics other@test 'planner B edit' >"$work/b-edit.ics"
as b import "$work/b-edit.ics" >/dev/null
ics other@test 'concurrent edit' 'LAST-MODIFIED:20200101T000000Z' >"$work/concurrent.ics"
start_interrupted change-before-put "$work/concurrent.ics"
check "a 412 answer is settled within the sync" 0 "$(sync_status b)"
restart_server
check "the 412's server version is kept as a conflict" yes \
    "$(yes_if grep -q '^conflict: planner B edit\|^conflict: concurrent edit' "$work/b.out")"
check "after the 412 the server has the newer version" yes \
    "$(yes_if grep -q '^SUMMARY:planner B edit' <(get_ics "${calendar}other.ics" | tr -d '\r'))"

# --- a server that stops in the middle of a sync ---------------------------------------------------
sync_status a >/dev/null
for day in $(seq 1 15); do
    as a add appointment --start "2027-01-$(printf %02d "$day")T09:00" \
        --end "2027-01-$(printf %02d "$day")T10:00" --subject "一月 $day" >/dev/null
done
before=$(as a export - | grep -c '^UID:')
start_interrupted stop-after 5
check "a server that stops in the middle stops the sync" 1 "$(sync_status a)"
check "the stop is explained" yes \
    "$(yes_if grep -q 'sync stopped: [A-Z]* .*: \(the server \(closed\|refused\) the connection\|the connection to the server broke off\)' "$work/a.err")" \
    "$work/a.err"
check "the stop says that running the sync again finishes the job" yes \
    "$(yes_if grep -q '^what was synced before is kept; .*run the sync again to finish' "$work/a.err")"
check "the local store is whole after the stop" "$before" "$(as a export - | grep -c '^UID:')"
restart_server
check "the next sync completes" 0 "$(sync_status a)"
check "the other side then gets everything" 0 "$(sync_status b)"
check "both stores hold the same items" "$(as a export - | grep '^UID:' | sort)" \
    "$(as b export - | grep '^UID:' | sort)"

# --- an emptied collection does not empty the store -------------------------------------------------
synced=$(count_items b)
for href in $(list_hrefs "$calendar"); do
    http -o /dev/null -X DELETE "$server_url$href"
done
check "an emptied collection stops the sync" 1 "$(sync_status b)"
check "it says why" yes \
    "$(yes_if grep -q 'no longer holds .* of the .* items synced with it before; nothing was deleted here' "$work/b.err")"
check "and the command that goes on" yes \
    "$(yes_if grep -qx 'if they were deleted there on purpose, delete them here too: tessarinth-cli sync --allow-mass-delete' "$work/b.err")"
check "not that running it again would finish" no "$(yes_if grep -q 'run the sync again' "$work/b.err")"
check "nothing was deleted" "$synced" "$(count_items b)"
check "--allow-mass-delete confirms" 0 "$(sync_status b --allow-mass-delete)"
check "then the store follows the server" 0 "$(count_items b)"
check "a handwritten memo's ink file goes with its appointment" no \
    "$(yes_if test -e "$work/b/device/My Documents/1.dat")"

# --- changed here while a sync runs ----------------------------------------------------------------
# What another program of this machine does in the middle of a sync runs from the server's hook,
# with the suite's own clock (faketime's, when the suite runs under it), unlike the servers.
here_env="env"
for var in LD_PRELOAD FAKETIME FAKETIME_SHARED; do
    if [ -n "${!var:-}" ]; then here_env+=" $var='${!var}'"; fi
done
race=${calendar_home}race/
make_calendar "$race" >/dev/null
mkdir -p "$work/r"
echo "$server_password" |
    as r sync setup --events "$server_url$race" --user alice --password-stdin --timeout 5 \
        >/dev/null
as r add appointment --start 2027-02-01T09:00 --end 2027-02-01T10:00 --subject 元の件名 >/dev/null
sync_status r >/dev/null
raced=$(list_hrefs "$race" | head -1)
get_ics "$raced" | sed 's/^SUMMARY:.*/SUMMARY:サーバーでの変更\r/' >"$work/server-edit.ics"
put_ics "$raced" "$work/server-edit.ics" >/dev/null
as r export - | sed 's/^SUMMARY:.*/SUMMARY:ここでの変更\r/' >"$work/local-edit.ics"
start_interrupted run-before-multiget \
    "$here_env TESSARINTH_HOME='$work/r' '$cli' import '$work/local-edit.ics' >/dev/null 2>&1"
check "a sync meeting an edit made here meanwhile completes" 0 "$(sync_status r)"
restart_server
check "the edit made meanwhile is settled as a conflict" yes \
    "$(yes_if grep -q '^conflict: ' "$work/r.out")"
check "the edit made meanwhile is not overwritten" yes \
    "$(yes_if grep -q '^SUMMARY:ここでの変更' <(as r export - | tr -d '\r'))"
check "the server's version is kept in conflicts/" yes \
    "$(yes_if grep -rlq 'SUMMARY:サーバーでの変更' "$work/r/conflicts")"
check "the server then holds the edit made here" yes \
    "$(yes_if grep -q '^SUMMARY:ここでの変更' <(get_ics "$raced" | tr -d '\r'))"

# Deleted here while the sync uploads: the rest of the sync goes on.
first=$(as r add appointment --start 2027-02-02T09:00 --end 2027-02-02T10:00 --subject 消す一)
second=$(as r add appointment --start 2027-02-03T09:00 --end 2027-02-03T10:00 --subject 消す二)
start_interrupted run-before-put \
    "$here_env TESSARINTH_HOME='$work/r' '$cli' delete $first >/dev/null 2>&1;
     $here_env TESSARINTH_HOME='$work/r' '$cli' delete $second >/dev/null 2>&1"
check "items deleted here during the uploads do not stop the sync" 0 "$(sync_status r)"
restart_server
check "the next sync carries the deletions" 0 "$(sync_status r)"
check "the server holds neither" 1 "$(list_hrefs "$race" | wc -l)"

# Killed between an upload and its record: the next sync finds its own version there, no conflict.
as r add appointment --start 2027-02-04T09:00 --end 2027-02-04T10:00 --subject 送信直後 >/dev/null
conflicts_before=$(find "$work/r/conflicts" -type f | wc -l)
rm -f "$work/sync.pid"
start_interrupted run-after-put \
    "while [ ! -s '$work/sync.pid' ]; do sleep 0.05; done; kill -9 \$(cat '$work/sync.pid')"
killed_status=0
TESSARINTH_HOME="$work/r" "$cli" sync >"$work/r.out" 2>"$work/r.err" &
echo $! >"$work/sync.pid"
wait $! || killed_status=$?
check "the sync is killed right after its upload" 137 "$killed_status"
restart_server
check "the next sync completes" 0 "$(sync_status r)"
check "and calls its own upload no conflict" no "$(yes_if grep -q '^conflict' "$work/r.out")"
check "nor keeps a conflict file for it" "$conflicts_before" \
    "$(find "$work/r/conflicts" -type f | wc -l)"
check "a sync after it has nothing to do" yes \
    "$(yes_if grep -q ': 0 received, 0 sent, 0 deleted here, 0 deleted on the server$' \
        <(sync_status r >/dev/null; cat "$work/r.out"))"

# --- a collection replaced on the server -------------------------------------------------------------
for day in $(seq 10 24); do
    as r add appointment --start "2027-02-${day}T09:00" --end "2027-02-${day}T10:00" \
        --subject "二月 $day" >/dev/null
done
sync_status r >/dev/null
kept=$(count_items r)
http -o /dev/null -X DELETE "$server_url$race"
make_calendar "$race" >/dev/null
ics phone-after-replace@example.com 電話から >"$work/phone.ics"
put_ics "${race}phone.ics" "$work/phone.ics" >/dev/null
check "a replaced collection is synced as a new one" 0 "$(sync_status r)"
check "nothing is deleted here for it" "$((kept + 1))" "$(count_items r)"
check "it says what it found" yes \
    "$(yes_if grep -q 'holds none of the items synced with it before\|no longer knows' "$work/r.out")"
check "everything is offered to it again" "$((kept + 1))" "$(list_hrefs "$race" | wc -l)"

# Ten of its items deleted elsewhere: not more than ten, but more than half.
for href in $(list_hrefs "$race" | head -10); do
    http -o /dev/null -X DELETE "$server_url$href"
done
check "more than half of the items vanishing stops the sync" 1 "$(sync_status r)"
check "the stop names how many" yes \
    "$(yes_if grep -q "no longer holds 10 of the $((kept + 1)) items" "$work/r.err")"
check "nothing was deleted here then" "$((kept + 1))" "$(count_items r)"
check "--allow-mass-delete takes them" 0 "$(sync_status r --allow-mass-delete)"
check "and the store follows" "$((kept - 9))" "$(count_items r)"
for href in $(list_hrefs "$race" | head -2); do
    http -o /dev/null -X DELETE "$server_url$href"
done
check "two deleted elsewhere are deleted here without a word" 0 "$(sync_status r)"
check "the store follows at once" "$((kept - 11))" "$(count_items r)"

# Emptied right after a first sync: the token kept is the one after the uploads.
wiped=${calendar_home}wiped/
make_calendar "$wiped" >/dev/null
mkdir -p "$work/w"
echo "$server_password" |
    as w sync setup --events "$server_url$wiped" --user alice --password-stdin --timeout 5 \
        >/dev/null
for day in $(seq 10 21); do
    as w add appointment --start "2027-03-${day}T09:00" --end "2027-03-${day}T10:00" \
        --subject "三月 $day" >/dev/null
done
sync_status w >/dev/null
http -o /dev/null -X DELETE "$server_url$wiped"
make_calendar "$wiped" >/dev/null
check "a collection emptied after the first sync is no silent no-op" 0 "$(sync_status w)"
check "nothing is deleted here for it either" 12 "$(count_items w)"
check "and its items go there again" 12 "$(list_hrefs "$wiped" | wc -l)"
check "a later sync deletes nothing" 0 "$(sync_status w)"
check "the store still holds them all" 12 "$(count_items w)"

# --- a wrong password, no server -----------------------------------------------------------------
mkdir -p "$work/c"
echo wrong | as c sync setup --events "$server_url$calendar" --user alice --password-stdin \
    >/dev/null
check "a wrong password stops the sync" 1 "$(sync_status c --print-remedy)"
check "a wrong password is named" yes \
    "$(yes_if grep -q 'refused the user name or password' "$work/c.err")"
check "and, asked for, the remedy's word ends the message" "remedy: check-account" \
    "$(tail -n 1 "$work/c.err")"
check "with the command that mends it" yes \
    "$(yes_if grep -q "give the user name and password again: tessarinth-cli sync setup --events $server_url$calendar --user alice --password-stdin" "$work/c.err")"
check "not that running it again would finish" no "$(yes_if grep -q 'run the sync again' "$work/c.err")"
echo secret | as c sync setup --events "$server_url${calendar_home}no-such-calendar/" --user alice \
    --password-stdin >/dev/null
check "a collection that is not there stops the sync" 1 "$(sync_status c)"
check "the remedy's word only when asked for" no "$(yes_if grep -q '^remedy:' "$work/c.err")"
check "it is named, with the command that mends it" yes \
    "$(yes_if grep -q 'no such collection' "$work/c.err" &&
        grep -q 'if the collection.s URL is wrong, set it: tessarinth-cli sync setup' "$work/c.err")"
echo secret | as c sync setup --events "http://127.0.0.1:$(free_port)/alice/calendar/" \
    --user alice --password-stdin >/dev/null
check "no server stops the sync" 1 "$(sync_status c --print-remedy)"
check "its remedy's word is to see to the address" "remedy: check-address" \
    "$(tail -n 1 "$work/c.err")"
check "no server is named" yes "$(yes_if grep -q 'refused the connection' "$work/c.err")"
check "and what to see to" yes \
    "$(yes_if grep -q "see that the server runs, .*tessarinth-cli sync setup --events" "$work/c.err")"
# A server that takes the connection and never answers.
silent_port=$(free_port)
"${real_time[@]}" /usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); c = s.accept(); time.sleep(60)' \
    "$silent_port" &
silent_pid=$!
mkdir -p "$work/e"
echo secret | as e sync setup --events "http://127.0.0.1:$silent_port/alice/calendar/" \
    --user alice --password-stdin --timeout 1 >/dev/null
until curl -s -o /dev/null --max-time 0.2 "http://127.0.0.1:$silent_port/" ||
    [ "$?" -eq 28 ]; do sleep 0.1; done
check "a server that never answers stops the sync" 1 "$(sync_status e)"
check "the wait is named" yes "$(yes_if grep -q 'did not answer within 1 s' "$work/e.err")"
kill "$silent_pid" 2>/dev/null || true
wait "$silent_pid" 2>/dev/null || true
# A server that answers at once, then drips its answer a byte at a time: bounded by the same
# timeout as a whole (the sync is cut off after 30 s here, where it would otherwise run for hours).
drip_port=$(free_port)
"${real_time[@]}" /usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen()
while True:
    c, _ = s.accept(); c.recv(65536)
    c.sendall(b"HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\n"
              b"Content-Length: 100000\r\n\r\n")
    try:
        for _ in range(100000):
            c.sendall(b" "); time.sleep(0.25)
    except OSError:
        c.close()' "$drip_port" &
drip_pid=$!
mkdir -p "$work/f"
echo secret | as f sync setup --events "http://127.0.0.1:$drip_port/alice/calendar/" \
    --user alice --password-stdin --timeout 2 >/dev/null
until curl -s -o /dev/null --max-time 0.2 "http://127.0.0.1:$drip_port/" ||
    [ "$?" -eq 28 ]; do sleep 0.1; done
drip_status=0
TESSARINTH_HOME="$work/f" timeout 30 "$cli" sync >"$work/f.out" 2>"$work/f.err" || drip_status=$?
check "a server that drips its answer stops the sync" 1 "$drip_status"
check "the slow answer is named" yes \
    "$(yes_if grep -q 'did not send its whole answer within 2 s' "$work/f.err")"
kill "$drip_pid" 2>/dev/null || true
wait "$drip_pid" 2>/dev/null || true

# --- hrefs spelled to lead elsewhere (a scripted server) ------------------------------------------
# start_scripted MODE: scripted_server.py in that mode on a free port, its requests logged in
# $work/MODE.log; sets scripted_port and scripted_pid. stop_scripted ends it.
start_scripted() {
    scripted_port=$(free_port)
    "${real_time[@]}" /usr/bin/python3 "$here/scripted_server.py" "$scripted_port" \
        "$work/$1.log" "$1" &
    scripted_pid=$!
    until curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$scripted_port/"; do sleep 0.1; done
}
stop_scripted() {
    kill "$scripted_pid" 2>/dev/null || true
    wait "$scripted_pid" 2>/dev/null || true
}
start_scripted encoded-slash
mkdir -p "$work/g"
echo secret | as g sync setup --events "http://127.0.0.1:$scripted_port/alice/calendar/" \
    --user alice --password-stdin --timeout 5 >/dev/null
check "a collection with an encoded slash in a name syncs" 0 "$(sync_status g)"
check "the item of that name arrives" yes \
    "$(yes_if grep -q '^SUMMARY:slashed' <(as g export - | tr -d '\r'))"
check "an href outside the collection is named" yes \
    "$(yes_if grep -q '^note: not synced: .*evil6.ics lies outside the collection' "$work/g.out")"
check "and not taken" no "$(yes_if grep -q '^SUMMARY:outside' <(as g export - | tr -d '\r'))"
as g export - | sed 's/^SUMMARY:slashed/SUMMARY:slashed here/' >"$work/slashed-edit.ics"
as g import "$work/slashed-edit.ics" >/dev/null
check "an edit of it is sent" 0 "$(sync_status g)"
check "to the name the server gave it" yes \
    "$(yes_if grep -qi '^PUT /alice/calendar/a%2f\.\.%2f\.\.%2fevil5\.ics$' "$work/encoded-slash.log")"
check "never out of the collection" 0 \
    "$(grep -v '^[A-Z]* /alice/calendar/' "$work/encoded-slash.log" | grep -vc '^GET /$')"
check "a later sync is quiet" 0 "$(sync_status g)"
check "and leaves no conflict files" 0 "$(find "$work/g" -path '*conflicts*' -type f | wc -l)"
stop_scripted

# Behind a proxy: requested at /dav/calendar/, the server names its items /alice/calendar/...
start_scripted proxy
mkdir -p "$work/p"
echo secret | as p sync setup --events "http://127.0.0.1:$scripted_port/dav//calendar" \
    --user alice --password-stdin --timeout 5 >"$work/p.setup"
check "setup says the URL it keeps, in one spelling" yes \
    "$(yes_if grep -q "appointments http://127.0.0.1:$scripted_port/dav/calendar/," "$work/p.setup")"
check "a collection behind a proxy syncs" 0 "$(sync_status p)"
check "its item arrives" yes "$(yes_if grep -q '^SUMMARY:proxied' <(as p export - | tr -d '\r'))"
as p export - | sed 's/^SUMMARY:proxied/SUMMARY:proxied edit/' >"$work/proxied-edit.ics"
as p import "$work/proxied-edit.ics" >/dev/null
check "an edit of it is sent" yes \
    "$(yes_if grep -q ': 0 received, 1 sent,' <(sync_status p >/dev/null; cat "$work/p.out"))"
check "through the proxy's path" yes "$(yes_if grep -q '^PUT /dav/calendar/p.ics$' "$work/proxy.log")"
as p delete "$(as p agenda 2026-12-21 --tsv | cut -f4 | head -1)" >/dev/null 2>&1 || true
check "a deletion of it is sent" yes \
    "$(yes_if grep -q '1 deleted on the server$' <(sync_status p >/dev/null; cat "$work/p.out"))"
check "through the proxy's path too" yes \
    "$(yes_if grep -q '^DELETE /dav/calendar/p.ics$' "$work/proxy.log")"
stop_scripted

# A server that answers every request just within the timeout cannot hold a sync for long: a
# hundred requests may take four timeouts together.
start_scripted slow
mkdir -p "$work/s"
echo secret | as s sync setup --events "http://127.0.0.1:$scripted_port/alice/calendar/" \
    --user alice --password-stdin --timeout 2 >/dev/null
for day in $(seq 10 19); do
    as s add appointment --start "2027-04-${day}T09:00" --end "2027-04-${day}T10:00" \
        --subject "四月 $day" >/dev/null
done
check "a server slow on every request stops the sync" 1 "$(sync_status s)"
check "saying so" yes "$(yes_if grep -q 'the server answers too slowly; the sync stopped after' "$work/s.err")"
check "after a few of its requests" yes "$(yes_if test "$(wc -l <"$work/slow.log")" -lt 10)"
stop_scripted

# HTTPS with a certificate nobody vouches for.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -keyout "$work/server/key.pem" -out "$work/server/cert.pem" 2>/dev/null
sed -i "s|^\[server\]|[server]\nssl = True\ncertificate = $work/server/cert.pem\nkey = $work/server/key.pem|" \
    "$work/server/config"
stop_server
server_url="https://${server_url#http://}"
"${real_time[@]}" radicale --config "$work/server/config" >>"$work/server/log" 2>&1 &
server_pid=$!
until curl -sk -o /dev/null "$server_url/"; do sleep 0.1; done
echo secret | as c sync setup --events "$server_url$calendar" --user alice --password-stdin \
    >/dev/null
check "an untrusted certificate stops the sync" 1 "$(sync_status c)"
check "the certificate is named" yes \
    "$(yes_if grep -q "the server's certificate is not trusted" "$work/c.err")"
check "a second sync of the same data home at once is refused" yes "$(
    flock "$work/a/sync.lock" bash -c "TESSARINTH_HOME='$work/a' '$cli' sync >/dev/null 2>'$work/lock.err'" || true
    yes_if grep -q 'another sync of this data home is running' "$work/lock.err")"
check "sync without setup says how to set it up" yes \
    "$(mkdir -p "$work/d"; sync_status d >/dev/null; yes_if grep -q 'sync is not set up' "$work/d.err")"

# --- what setup refuses -----------------------------------------------------------------------------
status=0
echo secret | as d sync setup --events ftp://127.0.0.1/alice/ --user alice --password-stdin \
    >/dev/null 2>"$work/d.err" || status=$?
check "a URL that is not http or https is refused" "2 yes" \
    "$status $(yes_if grep -q 'not an http or https URL: ftp://127.0.0.1/alice/' "$work/d.err")"
status=0
as d sync setup --events "$server_url$calendar" --password-stdin </dev/null >/dev/null \
    2>"$work/d.err" || status=$?
check "setup without a user is refused" "2 yes" \
    "$status $(yes_if grep -q 'needs --events URL and --user NAME' "$work/d.err")"
status=0
as d sync setup --events "$server_url$calendar" --user alice --password-stdin </dev/null \
    >/dev/null 2>"$work/d.err" || status=$?
check "setup without a password sets nothing up" "1 no" \
    "$status $(yes_if test -e "$work/d/sync.json")"
printf '{"events": ' >"$work/c/sync.json"
check "damaged sync settings stop the sync" 1 "$(sync_status c)"
check "damaged sync settings are named" yes \
    "$(yes_if grep -q "cannot read $work/c/sync.json: .*; set sync up again" "$work/c.err")"

[ "$failures" -eq 0 ] || exit 1
echo "all checks passed"

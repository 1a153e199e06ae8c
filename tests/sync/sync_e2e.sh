#!/usr/bin/env bash
# Two planners (two data homes) syncing through a real CalDAV server started here (Radicale or
# xandikos, as TESSARINTH_SYNC_SERVER says): items made, edited and deleted on one side and
# followed on the other, conflicts, a forgotten sync token, an emptied and a replaced collection,
# a wrong password. What a sync does when the server fails at a chosen moment is
# sync_trouble_e2e.sh.
set -euo pipefail
cli=${1:?usage: sync_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export TZ=Europe/Berlin QT_QPA_PLATFORM=offscreen
# No secret service in a test: the password goes to its file.
unset DBUS_SESSION_BUS_ADDRESS


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
# On a third data home of its own, so that a token that stays forgotten holds up no other part.
mkdir -p "$work/t"
echo "$server_password" |
    as t sync setup --events "$server_url$calendar" --user alice --password-stdin --timeout 5 \
        >/dev/null
sync_status t >/dev/null
ics forgotten@test 忘れられたトークン >"$work/forgotten.ics"
put_ics "${calendar}forgotten.ics" "$work/forgotten.ics" >/dev/null
sqlite3 "$work/t/schedule.sqlite" "UPDATE sync_collections SET token = '$(forgotten_token)'"
check "a forgotten sync token is no error" 0 "$(sync_status t)" "$work/t.err"
check "the changes since are still found" yes \
    "$(yes_if grep -q '忘れられたトークン' <(as t agenda 2026-12-21 --tsv))"
check "a new token is kept for the next sync" yes \
    "$(yes_if test "$(sqlite3 "$work/t/schedule.sqlite" 'SELECT token FROM sync_collections')" != \
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
"${real_time[@]}" bash -c 'TESSARINTH_HOME="$1" "$2" sync' _ "$work/a" "$cli" >/dev/null || true
ics silent@test 'edited here' >"$work/silent-here.ics"
"${real_time[@]}" bash -c 'TESSARINTH_HOME="$1" "$2" import "$3"' _ "$work/a" "$cli" \
    "$work/silent-here.ics" >/dev/null
sleep 1.2
ics silent@test 'edited elsewhere later' 'LAST-MODIFIED:20261201T000000Z' >"$work/silent-there.ics"
put_ics "${calendar}silent.ics" "$work/silent-there.ics" >/dev/null
"${real_time[@]}" bash -c 'TESSARINTH_HOME="$1" "$2" sync' _ "$work/a" "$cli" >"$work/a.out" || true
if [ "$server_gives_item_times" = yes ]; then
    check "an edit that leaves LAST-MODIFIED as it was, made later, wins here" yes \
        "$(yes_if grep -q 'edited elsewhere later' <(as a agenda 2026-12-21 --tsv))"
    conflict=$(sed -n "s/^conflict: .*this planner's is in \(.*\)$/\1/p" "$work/a.out")
    check "the planner's earlier edit is kept in conflicts/" yes \
        "$(yes_if grep -q '^SUMMARY:edited here' "$conflict")"
else
    # Nothing tells which edit came later: one of them wins, and the other is kept whole.
    check "the two edits are named as a conflict" yes "$(yes_if grep -q '^conflict: ' "$work/a.out")"
    loser='edited elsewhere later'
    if grep -q 'edited elsewhere later' <(as a agenda 2026-12-21 --tsv); then
        loser='edited here'
    fi
    check "the edit that lost is kept in conflicts/" yes \
        "$(yes_if grep -rq "^SUMMARY:$loser" "$work/a/conflicts")"
fi


# --- an emptied collection does not empty the store -------------------------------------------------
sync_status a >/dev/null
sync_status b >/dev/null
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

# --- a collection replaced on the server -------------------------------------------------------------
replaced=${calendar_home}replaced/
make_calendar "$replaced" >/dev/null
mkdir -p "$work/r"
echo "$server_password" |
    as r sync setup --events "$server_url$replaced" --user alice --password-stdin --timeout 5 \
        >/dev/null
as r add appointment --start 2027-02-01T09:00 --end 2027-02-01T10:00 --subject 元の件名 >/dev/null
for day in $(seq 10 24); do
    as r add appointment --start "2027-02-${day}T09:00" --end "2027-02-${day}T10:00" \
        --subject "二月 $day" >/dev/null
done
sync_status r >/dev/null
kept=$(count_items r)
http -o /dev/null -X DELETE "$server_url$replaced"
make_calendar "$replaced" >/dev/null
ics phone-after-replace@example.com 電話から >"$work/phone.ics"
put_ics "${replaced}phone.ics" "$work/phone.ics" >/dev/null
check "a replaced collection is synced as a new one" 0 "$(sync_status r)"
check "nothing is deleted here for it" "$((kept + 1))" "$(count_items r)"
check "it says what it found" yes \
    "$(yes_if grep -q 'holds none of the items synced with it before\|no longer knows' "$work/r.out")"
check "everything is offered to it again" "$((kept + 1))" "$(list_hrefs "$replaced" | wc -l)"

# Ten of its items deleted elsewhere: not more than ten, but more than half.
for href in $(list_hrefs "$replaced" | head -10); do
    http -o /dev/null -X DELETE "$server_url$href"
done
check "more than half of the items vanishing stops the sync" 1 "$(sync_status r)"
check "the stop names how many" yes \
    "$(yes_if grep -q "no longer holds 10 of the $((kept + 1)) items" "$work/r.err")"
check "nothing was deleted here then" "$((kept + 1))" "$(count_items r)"
check "--allow-mass-delete takes them" 0 "$(sync_status r --allow-mass-delete)"
check "and the store follows" "$((kept - 9))" "$(count_items r)"
for href in $(list_hrefs "$replaced" | head -2); do
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

[ "$failures" -eq 0 ] || exit 1
echo "all checks passed"

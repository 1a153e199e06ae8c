#!/usr/bin/env bash
# Setting sync up from nothing but the server's address and the user's name, on a real CalDAV
# server started here (Radicale or xandikos, as TESSARINTH_SYNC_SERVER says): an account with a
# work calendar, a family calendar and a task list, named and coloured in the server. The
# planner finds all three, syncs appointments with the first calendar and tasks with the list,
# the other calendar as one of its own (shown, hidden and shown again), and a wrong password or
# an address with no calendar server sets nothing up.
set -euo pipefail
cli=${1:?usage: discovery_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS

# colour PATH COLOUR: the colour other programs keep for a calendar, set as they set it.
colour() {
    http -o /dev/null -w '%{http_code}' -X PROPPATCH -H 'Content-Type: application/xml' \
        --data-binary "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<D:propertyupdate xmlns:D=\"DAV:\" xmlns:A=\"http://apple.com/ns/ical/\"><D:set><D:prop>
<A:calendar-color>$2</A:calendar-color></D:prop></D:set></D:propertyupdate>" "$server_url$1"
}
setup() {  # setup HOME PASSWORD ARGS...: sync setup as alice; output in $work/HOME.setup
    local home=$1 password=$2
    shift 2
    local status=0
    printf '%s\n' "$password" | as "$home" sync setup --user alice --password-stdin "$@" \
        >"$work/$home.setup" 2>&1 || status=$?
    echo "$status"
}

start_server "$work/server"
check "the work calendar is made" 201 "$(make_named "${calendar_home}work/" 仕事 VEVENT)"
check "and given a colour" 207 "$(colour "${calendar_home}work/" '#1E90FFFF')"
check "the family calendar is made" 201 "$(make_named "${calendar_home}family/" 家族 VEVENT)"
check "the task list is made" 201 "$(make_named "${calendar_home}todo/" やること VTODO)"
# xandikos keeps no component set of a calendar's own: each of its calendars takes every kind,
# and the tasks go with the appointments to the first.
if [ "$sync_server" = radicale ]; then
    appointments_only=appointments tasks_only=tasks family_synced="synced: appointments"
    todo_synced="synced: tasks" tasks_in=todo/ own_calendars="家族 仕事"
else
    appointments_only="appointments and tasks" tasks_only="appointments and tasks"
    family_synced="synced: appointments and tasks" todo_synced="synced: a calendar of its own"
    tasks_in=family/ own_calendars="家族 仕事 やること"
fi

# --- Found from the server's root ------------------------------------------------------------
check "setup from the server's address ends well" 0 "$(setup a secret --server "$server_url/")" \
    "$work/a.setup"
check "it names the three calendars it found" "found 3 calendars at $server_url/:" \
    "$(head -n 1 "$work/a.setup")"
listed() { awk -F'\t' -v name="  $2" '$1 == name { print $2 "|" $3 "|" $4 }' "$work/$1.setup"; }
# Both calendars take appointments: the first by address is the one synced.
check "the family calendar: its name, address and kind, synced for appointments" \
    "$server_url${calendar_home}family/|$appointments_only|$family_synced" "$(listed a 家族)" \
    "$work/a.setup"
check "the work calendar: its colour, synced as a calendar of its own" \
    "$server_url${calendar_home}work/|$appointments_only, #1E90FF|synced: a calendar of its own" \
    "$(listed a 仕事)"
check "the task list: for tasks" "$server_url${calendar_home}todo/|$tasks_only|$todo_synced" \
    "$(listed a やること)"
settings="$work/a/config/sync.json"
[ -f "$settings" ] || settings=$(find "$work/a" -name sync.json | head -n 1)
check "the settings keep the server's address" "$server_url/" \
    "$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["server"])' "$settings")"

sorted_words() { tr ' ' '\n' | sort | tr '\n' ' '; }
check "the store's calendars are the account's" "$(echo "$own_calendars" | sorted_words)" \
    "$(as a calendars | cut -f1 | tr '\n' ' ' | sed 's/ $//' | sorted_words)"
check "the calendar synced first is the default" 家族 \
    "$(as a calendars | awk -F'\t' '$4 == "default" { print $1 }')"
check "the work calendar keeps its address and colour" \
    "$server_url${calendar_home}work/ shown - writable #1E90FF" \
    "$(as a calendars | awk -F'\t' '$1 == "仕事" { print $2, $3, $4, $5, $6 }')"
meeting=$(as a add appointment --start 2026-12-21T10:00 --end 2026-12-21T11:00 --subject 会議)
as a add task --subject 買い物 >/dev/null
as a add appointment --start 2026-12-22T09:00 --end 2026-12-22T10:00 --subject 出張 \
    --calendar 仕事 >/dev/null
# Another program puts an appointment in the work calendar.
ics work-visit@other 来客 >"$work/visit.ics"
check "another program writes to the work calendar" 201 \
    "$(put_ics "${calendar_home}work/visit.ics" "$work/visit.ics")"
check "the sync runs on what was found" 0 "$(sync_status a)" "$work/a.err"
# items_in PATH KIND: how many items of that kind (VEVENT, VTODO) the collection holds.
items_in() {
    list_hrefs "$1" | while read -r href; do get_ics "$href"; done | grep -c "^BEGIN:$2" || true
}
check "the appointment went to the family calendar" 1 "$(items_in "${calendar_home}family/" VEVENT)"
check "the task went to the task list" 1 "$(items_in "${calendar_home}$tasks_in" VTODO)"
check "the work calendar's appointment went to the work calendar, and no other" \
    "2 1" "$(items_in "${calendar_home}work/" VEVENT) $(items_in "${calendar_home}family/" VEVENT)"
check "its server copy names it" 1 \
    "$(list_hrefs "${calendar_home}work/" | while read -r h; do get_ics "$h"; done |
        grep -c '^SUMMARY:出張' || true)"
day_subjects() { as a agenda "$1" --tsv | awk -F'\t' '$2 == "'"$1"'" { print $13 }' | tr '\n' ' '; }
check "what the other program wrote arrived, in the work calendar" "会議 来客 " \
    "$(day_subjects 2026-12-21)"
as a calendars hide 仕事
check "hidden, the work calendar leaves the day" "会議 " "$(day_subjects 2026-12-21)"
check "and stays stored" 1 "$(as a export - | grep -c '^SUMMARY:来客' || true)"
check "a hidden calendar still syncs" 0 "$(sync_status a)" "$work/a.err"
as a calendars show 仕事
check "shown again, it is back" "会議 来客 " "$(day_subjects 2026-12-21)"

# --- An item moved between calendars ---------------------------------------------------------
check "the meeting moves to the work calendar" "moved $meeting to 仕事" \
    "$(as a move "$meeting" --calendar 仕事)"
check "the sync after the move" 0 "$(sync_status a)" "$work/a.err"
meeting_copies() {
    list_hrefs "${calendar_home}$1" | while read -r h; do get_ics "$h"; done |
        grep -c '^SUMMARY:会議' || true
}
check "the meeting is on the server once, in the work calendar" "1 0" \
    "$(meeting_copies work/) $(meeting_copies family/)"
check "another sync changes nothing" 0 "$(sync_status a)" "$work/a.err"
check "nothing moved back" "1 0" "$(meeting_copies work/) $(meeting_copies family/)"
check "and it is stored once" 1 "$(as a export - | grep -c '^SUMMARY:会議' || true)"
check "the move is taken back like any change" 0 "$(as a undo >/dev/null; echo $?)"
check "the sync after the undo" 0 "$(sync_status a)" "$work/a.err"
check "the meeting is back in the family calendar alone" "0 1" \
    "$(meeting_copies work/) $(meeting_copies family/)"

# --- Other addresses of the same account ------------------------------------------------------
check "the calendar home's address finds the same three" 0 \
    "$(setup b secret --server "$server_url$calendar_home")" "$work/b.setup"
check "the same list" "$(grep '^  ' "$work/a.setup")" "$(grep '^  ' "$work/b.setup")"
check "one calendar's address is that calendar alone" 0 \
    "$(setup c secret --server "$server_url${calendar_home}family/")" "$work/c.setup"
check "and it is synced for appointments" "found 1 calendar at $server_url${calendar_home}family/:" \
    "$(head -n 1 "$work/c.setup")"

# --- What sets nothing up --------------------------------------------------------------------
check "a wrong password stops the setup" 1 "$(setup d wrong --server "$server_url/")"
check "and says so" 1 "$(grep -c 'refused the user name or password' "$work/d.setup" || true)" \
    "$work/d.setup"
check "and keeps no settings" "" "$(find "$work/d" -name sync.json 2>/dev/null)"
# An HTTP server that is no calendar server: Python's own, on a folder of its own.
mkdir "$work/plain"
plain_port=$(free_port)
python3 -m http.server --bind 127.0.0.1 --directory "$work/plain" "$plain_port" \
    >"$work/plain.log" 2>&1 &
plain_pid=$!
trap 'kill $plain_pid 2>/dev/null; stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
until curl -s -o /dev/null "http://127.0.0.1:$plain_port/"; do sleep 0.1; done
check "an address without a calendar server stops the setup" 1 \
    "$(setup e secret --server "http://127.0.0.1:$plain_port/")"
check "and says none was found" 1 "$(grep -c 'no calendars were found' "$work/e.setup" || true)" \
    "$work/e.setup"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"

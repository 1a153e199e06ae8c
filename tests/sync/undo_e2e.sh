#!/usr/bin/env bash
# Undo and redo as a second data home and a real CalDAV server started here (Radicale or
# xandikos, as TESSARINTH_SYNC_SERVER says) see them: a delete taken back goes up again under its
# own UID, once; a create taken back after it went up is deleted on the server; a delete done
# again goes away once more; and a step whose item a sync has changed since is refused without
# touching the item here or on the server.
set -euo pipefail
cli=${1:?usage: undo_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
unset DBUS_SESSION_BUS_ADDRESS

# run HOME COMMAND...: tessarinth-cli there, its output in $work/HOME.out and .err (both also in
# $work/HOME.said, to show with a failed check); prints the exit status.
run() {
    local home=$1
    shift
    local status=0
    as "$home" "$@" >"$work/$home.out" 2>"$work/$home.err" || status=$?
    cat "$work/$home.out" "$work/$home.err" >"$work/$home.said"
    echo "$status"
}
# synced HOME: a sync's status and its one-line count, e.g.
#   0 1 received, 0 sent, 0 deleted here, 0 deleted on the server
synced() {
    local status
    status=$(run "$1" sync)
    echo "$status $(sed -n 's/^appointments and tasks [^ ]*: //p' "$work/$1.out")"
}
counts() {
    echo "0 $1 received, $2 sent, $3 deleted here, $4 deleted on the server"
}
# uid_of HOME SUMMARY: the UID of the home's item with that subject, as it exports it.
uid_of() {
    as "$1" export - | tr -d '\r' | awk -v summary="$2" '
        /^BEGIN:V(EVENT|TODO)$/ { uid = ""; subject = "" }
        /^UID:/ { uid = substr($0, 5) }
        /^SUMMARY:/ { subject = substr($0, 9) }
        /^END:V(EVENT|TODO)$/ && subject == summary { print uid }'
}
# copies_in HOME UID: how many items of the home's export carry that UID.
copies_in() { as "$1" export - | tr -d '\r' | grep -cx "UID:$2" || true; }
# server_copies UID: how many of the collection's .ics files carry that UID.
server_copies() {
    local href text count=0
    for href in $(list_hrefs "$calendar"); do
        text=$(get_ics "$href" | tr -d '\r')
        if grep -qx "UID:$1" <<<"$text"; then
            count=$((count + 1))
        fi
    done
    echo "$count"
}
# server_item UID: the server's copy of that UID, the lines of its event or task that say what it
# is.
server_item() {
    local href text
    for href in $(list_hrefs "$calendar"); do
        text=$(get_ics "$href" | tr -d '\r')
        if grep -qx "UID:$1" <<<"$text"; then
            awk '/^BEGIN:V(EVENT|TODO)$/,/^END:V(EVENT|TODO)$/' <<<"$text" |
                grep -E '^(SUMMARY|LOCATION|DTSTART|DTEND|DUE)[;:]' || true
        fi
    done
}
# The newest step of a home's list without its time: done|undone, action, kind, subject, UID.
newest_step() { as "$1" undo --list | head -n 1 | cut -f 1,3-6; }
# A day's rows of a home's agenda without their object ids, which a taken-back delete renews.
day_rows() { as "$1" agenda "$2" --tsv | awk -F'\t' -v day="$2" '$2 == day' | cut -f 1-3,5-; }

start_server "$work/server"
calendar=${calendar_home}calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"
for home in a b; do
    mkdir -p "$work/$home"
    echo "$server_password" | as "$home" sync setup --events "$server_url$calendar" \
        --user alice --password-stdin --timeout 5 >/dev/null
done

# --- a delete that reached the server, taken back: up again under the same UID, once ------------
as a add appointment --start 2026-12-21T10:00 --end 2026-12-21T11:30 --subject 打ち合わせ \
    --location 本社 >/dev/null
check "the appointment goes up" "$(counts 0 1 0 0)" "$(synced a)" "$work/a.said"
check "the other home receives it" "$(counts 1 0 0 0)" "$(synced b)" "$work/b.said"
uid=$(uid_of a 打ち合わせ)
check "the appointment has a UID" yes "$(yes_if test -n "$uid")"
before=$(day_rows a 2026-12-21)
on_server=$(server_item "$uid")
oid=$(as a agenda 2026-12-21 --tsv | awk -F'\t' '$13 == "打ち合わせ"' | cut -f 4)

check "it is deleted here" 0 "$(run a delete "$oid")" "$work/a.said"
check "the delete goes up" "$(counts 0 0 0 1)" "$(synced a)" "$work/a.said"
check "the server no longer has it" 0 "$(server_copies "$uid")"
check "the other home follows" "$(counts 0 0 1 0)" "$(synced b)" "$work/b.said"
check "the other home no longer has it" 0 "$(copies_in b "$uid")"

check "the delete is taken back" 0 "$(run a undo)" "$work/a.said"
check "undo says what it took back" "undone: delete 打ち合わせ" "$(cat "$work/a.out")"
check "the list shows the delete taken back" \
    "$(printf 'undone\tdelete\tappointment\t打ち合わせ\t%s' "$uid")" "$(newest_step a)"
check "the appointment is back here once, under its UID" 1 "$(copies_in a "$uid")"
check "as it was" "$before" "$(day_rows a 2026-12-21)"
check "the next sync puts it up again" "$(counts 0 1 0 0)" "$(synced a)" "$work/a.said"
check "the server has one copy of that UID" 1 "$(server_copies "$uid")"
check "the server's copy is as it was before the delete" "$on_server" "$(server_item "$uid")"
check "the other home receives it again" "$(counts 1 0 0 0)" "$(synced b)" "$work/b.said"
check "the other home has it once, under the same UID" 1 "$(copies_in b "$uid")"
check "the other home shows it as here" "$before" "$(day_rows b 2026-12-21)"
check "a further sync here has nothing to do" "$(counts 0 0 0 0)" "$(synced a)" "$work/a.said"
check "nor there" "$(counts 0 0 0 0)" "$(synced b)" "$work/b.said"
check "the server still has it once" 1 "$(server_copies "$uid")"
check "here it is still there once" 1 "$(copies_in a "$uid")"

# --- the same delete done again: away from the server and the other home once more --------------
check "the delete is done again" 0 "$(run a redo)" "$work/a.said"
check "redo says what it did again" "redone: delete 打ち合わせ" "$(cat "$work/a.out")"
check "the appointment is gone here" 0 "$(copies_in a "$uid")"
check "the list shows the delete done" \
    "$(printf 'done\tdelete\tappointment\t打ち合わせ\t%s' "$uid")" "$(newest_step a)"
check "the redone delete goes up" "$(counts 0 0 0 1)" "$(synced a)" "$work/a.said"
check "the server no longer has it" 0 "$(server_copies "$uid")"
check "the other home follows" "$(counts 0 0 1 0)" "$(synced b)" "$work/b.said"
check "the other home no longer has it" 0 "$(copies_in b "$uid")"
check "nothing comes back on a further sync" "$(counts 0 0 0 0)" "$(synced a)" "$work/a.said"

# --- a delete taken back before any sync: the server's copy stays, alone --------------------------
as a add appointment --start 2026-12-23T15:00 --end 2026-12-23T16:00 --subject 議事録 >/dev/null
synced a >/dev/null
check "the other home receives the second appointment" "$(counts 1 0 0 0)" "$(synced b)" \
    "$work/b.said"
uid=$(uid_of a 議事録)
oid=$(as a agenda 2026-12-23 --tsv | awk -F'\t' '$13 == "議事録"' | cut -f 4)
check "it is deleted here" 0 "$(run a delete "$oid")" "$work/a.said"
check "and the delete taken back at once" 0 "$(run a undo)" "$work/a.said"
check "the next sync deletes nothing on the server" yes \
    "$(synced a >/dev/null; yes_if grep -q ' 0 deleted on the server$' "$work/a.out")" \
    "$work/a.said"
check "the server keeps one copy of it" 1 "$(server_copies "$uid")"
check "the other home keeps it" yes \
    "$(synced b >/dev/null; yes_if grep -q ' 0 deleted here,' "$work/b.out")" "$work/b.said"
check "once" 1 "$(copies_in b "$uid")"
check "and here once" 1 "$(copies_in a "$uid")"

# --- a create taken back after the server and the other home have it -----------------------------
as a add task --subject 年賀状 --due 2026-12-25 >/dev/null
check "the task goes up" "$(counts 0 1 0 0)" "$(synced a)" "$work/a.said"
check "the other home receives it" "$(counts 1 0 0 0)" "$(synced b)" "$work/b.said"
uid=$(uid_of a 年賀状)
check "the server has it" 1 "$(server_copies "$uid")"
check "the create is taken back" 0 "$(run a undo)" "$work/a.said"
check "undo says what it took back" "undone: create 年賀状" "$(cat "$work/a.out")"
check "the task is gone here" 0 "$(copies_in a "$uid")"
check "the next sync deletes it on the server" "$(counts 0 0 0 1)" "$(synced a)" "$work/a.said"
check "the server no longer has it" 0 "$(server_copies "$uid")"
check "the other home follows" "$(counts 0 0 1 0)" "$(synced b)" "$work/b.said"
check "the other home no longer has it" 0 "$(copies_in b "$uid")"
check "the earlier appointment is untouched on the server" 1 \
    "$(server_copies "$(uid_of a 議事録)")"

# --- a step whose item another home changed since: refused, and nothing moves -----------------------
as a add appointment --start 2026-12-22T10:00 --end 2026-12-22T11:00 --subject 面談 >/dev/null
synced a >/dev/null
check "the other home receives the new appointment" "$(counts 1 0 0 0)" "$(synced b)" \
    "$work/b.said"
uid=$(uid_of a 面談)
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//test//EN' BEGIN:VEVENT "UID:$uid" \
    DTSTART:20261222T130000 DTEND:20261222T140000 'SUMMARY:面談（午後に変更）' END:VEVENT \
    END:VCALENDAR >"$work/edited.ics"
check "the other home changes it" 0 "$(run b import "$work/edited.ics")" "$work/b.said"
check "and sends the change" "$(counts 0 1 0 0)" "$(synced b)" "$work/b.said"
check "this home receives the change" "$(counts 1 0 0 0)" "$(synced a)" "$work/a.said"
check "the change is here" "$(printf '2026-12-22T13:00\t2026-12-22T14:00\t面談（午後に変更）')" \
    "$(day_rows a 2026-12-22 | cut -f 4,5,12)"

exported=$(as a export -)
steps=$(as a undo --list)
on_server=$(server_item "$uid")
check "taking back the create is refused" 1 "$(run a undo)" "$work/a.said"
check "the refusal names the item and says nothing was undone" \
    'tessarinth-cli: undo: "面談（午後に変更）" was changed since (create); nothing was undone' \
    "$(cat "$work/a.err")"
check "the store here is as it was" yes "$(yes_if test "$exported" = "$(as a export -)")"
# The refused step can never apply again: it is forgotten, and the ones before it stay.
check "only the refused step is forgotten" "$(tail -n +2 <<<"$steps")" "$(as a undo --list)"
check "the next sync has nothing to do" "$(counts 0 0 0 0)" "$(synced a)" "$work/a.said"
check "the server keeps the other home's change" "$on_server" "$(server_item "$uid")"
check "which is the changed version" yes \
    "$(yes_if grep -qx 'SUMMARY:面談（午後に変更）' <<<"$on_server")"
check "the other home keeps its change" "$(counts 0 0 0 0)" "$(synced b)" "$work/b.said"
check "once" 1 "$(copies_in b "$uid")"

[ "$failures" -eq 0 ] || exit 1
echo "all undo checks passed"

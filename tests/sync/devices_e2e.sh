#!/usr/bin/env bash
# Two planners (two data homes, two devices) and a phone (python3-caldav, phone_client.py) on one
# calendar of a real CalDAV server started here (Radicale or xandikos, as TESSARINTH_SYNC_SERVER
# says). Each part has a collection and two data homes of its own, so that one going wrong does
# not carry into the next:
#   lost       an item a deletes, syncs, takes back and syncs again: b and the server keep it
#   remade     the collection deleted and made again on the server: a's syncs go on, losing nothing
#   merge      the phone and a change different properties (both kept), then the same one (the
#              later change wins, the loser kept whole in conflicts/)
#   gone       deleted on one side and edited on the other: the edit is kept, both ways
#   lookalike  the server's copy changes only in its VTIMEZONE while a has an edit to send
set -euo pipefail
cli=${1:?usage: devices_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export TZ=Asia/Tokyo QT_QPA_PLATFORM=offscreen
# No secret service in a test: the password goes to its file.
unset DBUS_SESSION_BUS_ADDRESS

# devices NAME: a collection of that name with two data homes, NAME-a and NAME-b, set up on it;
# sets $collection.
devices() {
    collection=${calendar_home}$1/
    check "the collection for '$1' is made" 201 "$(make_calendar "$collection")"
    local home
    for home in "$1-a" "$1-b"; do
        mkdir -p "$work/$home"
        echo "$server_password" | as "$home" sync setup --events "$server_url$collection" \
            --user alice --password-stdin --timeout 5 >/dev/null
    done
}
# run HOME COMMAND...: tessarinth-cli there, its output in $work/HOME.out and .err (both also in
# $work/HOME.said, to show with a failed check, and in $work/HOME.log); prints the exit status.
run() {
    local home=$1
    shift
    local status=0
    as "$home" "$@" >"$work/$home.out" 2>"$work/$home.err" || status=$?
    cat "$work/$home.out" "$work/$home.err" >"$work/$home.said"
    cat "$work/$home.said" >>"$work/$home.log"
    echo "$status"
}
synced() { run "$1" sync; }
# phone_did COMMAND ARGS...: the phone on $collection; prints its status, what it said in
# $work/phone.said.
phone_did() {
    local status=0
    phone "$collection" "$@" >"$work/phone.said" 2>&1 || status=$?
    echo "$status"
}
# phone_item UID SUMMARY [LINES...]: a phone's event on 2026-12-21 10:00-11:00 (floating), made
# long ago, with SEQUENCE 1.
phone_item() {
    local uid=$1 summary=$2
    shift 2
    printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//phone//EN' BEGIN:VEVENT "UID:$uid" \
        DTSTAMP:20190101T000000Z LAST-MODIFIED:20190101T000000Z SEQUENCE:1 \
        DTSTART:20261221T100000 DTEND:20261221T110000 "SUMMARY:$summary" "$@" END:VEVENT \
        END:VCALENDAR
}
# unfolded: standard input with its folded lines joined and without CRs.
unfolded() { perl -0777 -pe 's/\r?\n[ \t]//g; s/\r//g'; }
# item_of UID: the event or task of that UID from the calendar text on standard input.
item_of() {
    unfolded | awk -v uid="UID:$1" '
        /^BEGIN:V(EVENT|TODO)$/ { text = ""; inside = 1 }
        inside { text = text $0 "\n" }
        $0 == uid { mine = 1 }
        /^END:V(EVENT|TODO)$/ { if (mine) printf "%s", text; inside = 0; mine = 0 }'
}
# value PROPERTY: the value of that property of the item on standard input (its first line).
value() { awk -v p="$1" 'index($0, p ":") == 1 || index($0, p ";") == 1 {
    sub(/^[^:]*:/, ""); print; exit }'; }
# here_value HOME UID PROPERTY, server_value UID PROPERTY: one property of the item, as the
# home exports it and as the server keeps it.
here_value() { as "$1" export - | item_of "$2" | value "$3"; }
server_value() { server_text "$1" | item_of "$1" | value "$2"; }
# server_text UID: the text of the server's copies of that UID in $collection.
server_text() {
    local href
    for href in $(list_hrefs "$collection"); do
        get_ics "$href" | unfolded | grep -qxF "UID:$1" && get_ics "$href"
    done
    return 0
}
# copies_in HOME UID, server_copies UID: how many items of that UID the home, the server hold.
copies_in() { as "$1" export - | unfolded | grep -cxF "UID:$2" || true; }
server_copies() { server_text "$1" | unfolded | grep -cxF "UID:$1" || true; }
# uids_in HOME, server_uids: the UIDs held, sorted, one a line.
uids_in() { as "$1" export - | unfolded | sed -n 's/^UID://p' | sort; }
server_uids() {
    local href
    for href in $(list_hrefs "$collection"); do
        get_ics "$href" | unfolded | sed -n 's/^UID://p'
    done | sort
}
# items_shown HOME: start, end and subject of each item the home shows from 2026-12-21 on.
items_shown() {
    as "$1" agenda 2026-12-21 --tsv | awk -F'\t' -v OFS='\t' '$13 != "" { print $5, $6, $13 }'
}
# oid_of HOME SUBJECT: the object id of the home's appointment with that subject on 2026-12-21.
oid_of() { as "$1" agenda 2026-12-21 --tsv | awk -F'\t' -v s="$2" '$13 == s { print $4; exit }'; }
# edit_here HOME UID PROPERTY VALUE [PROPERTY VALUE...]: the home's item of that UID changed as
# another program here would: exported, those properties rewritten, imported again; prints the
# import's status.
edit_here() {
    local home=$1 uid=$2
    shift 2
    as "$home" export - | unfolded | awk -v uid="UID:$uid" -v changes="$(printf '%s\n' "$@")" '
        BEGIN { n = split(changes, c, "\n"); for (i = 1; i + 1 <= n; i += 2) to[c[i]] = c[i + 1] }
        /^BEGIN:V(EVENT|TODO)$/ { inside = 1; text = "" }
        !inside { print; next }
        {
            name = $0; sub(/[;:].*/, "", name)
            if (name in to) { line = name ":" to[name]; done[name] = 1 } else line = $0
            if ($0 ~ /^END:V(EVENT|TODO)$/) {
                for (p in to) if (!(p in done)) text = text p ":" to[p] "\n"
                delete done
            }
            text = text line "\n"
        }
        $0 == uid { mine = 1 }
        /^END:V(EVENT|TODO)$/ { if (mine) printf "%s", text; inside = 0; mine = 0 }' |
        sed 's/$/\r/' >"$work/$home-edit.ics"
    run "$home" import "$work/$home-edit.ics"
}
# conflict_files HOME: how many versions the home's conflicts folder keeps.
conflict_files() { find "$work/$1/conflicts" -type f 2>/dev/null | wc -l; }
# kept_file HOME SUMMARY: the file of the home's conflicts folder that keeps a version with that
# subject, if one does.
kept_file() {
    local file
    for file in "$work/$1"/conflicts/*.ics; do
        if [ -f "$file" ] && unfolded <"$file" | grep -qxF "SUMMARY:$2"; then
            echo "$file"
            return
        fi
    done
}
# succeeded STATUS: "yes" for an HTTP status that says done (servers differ in which they give).
succeeded() { case "$1" in 200 | 201 | 204) echo yes ;; *) echo "no ($1)" ;; esac; }

start_server "$work/server"

# --- a: an item the second device must not lose -------------------------------------------------
devices lost
uid=phone-1@example.com
phone_item "$uid" 電話の予定 >"$work/phone-1.ics"
check "the phone puts its item as phone-1.ics" 0 \
    "$(phone_did put phone-1.ics "$work/phone-1.ics")" "$work/phone.said"
check "a receives it" 0 "$(synced lost-a)" "$work/lost-a.said"
check "b receives it" 0 "$(synced lost-b)" "$work/lost-b.said"
check "b holds it" 1 "$(copies_in lost-b "$uid")"
check "a deletes it" 0 "$(run lost-a delete "$(oid_of lost-a 電話の予定)")" "$work/lost-a.said"
check "a's delete goes up" 0 "$(synced lost-a)" "$work/lost-a.said"
check "the server no longer has it" 0 "$(server_copies "$uid")"
check "a takes the delete back" 0 "$(run lost-a undo)" "$work/lost-a.said"
check "a's next sync puts it up again" 0 "$(synced lost-a)" "$work/lost-a.said"
check "the server has it again" 1 "$(server_copies "$uid")"
check "b's first sync after it" 0 "$(synced lost-b)" "$work/lost-b.said"
check "b's second sync" 0 "$(synced lost-b)" "$work/lost-b.said"
check "a's second sync" 0 "$(synced lost-a)" "$work/lost-a.said"
check "a holds it once, under its UID" 1 "$(copies_in lost-a "$uid")"
check "b holds it once, under its UID" 1 "$(copies_in lost-b "$uid")" "$work/lost-b.log"
check "the server holds it once" 1 "$(server_copies "$uid")"
check "b shows it as a does" "$(items_shown lost-a)" "$(items_shown lost-b)"

# --- b: a collection deleted and made again on the server -----------------------------------------
devices remade
phone_item remade-phone@example.com 電話から >"$work/remade-phone.ics"
check "the phone puts an item" 0 "$(phone_did put remade-phone.ics "$work/remade-phone.ics")" \
    "$work/phone.said"
as remade-a add appointment --start 2026-12-22T09:00 --end 2026-12-22T10:00 --subject 朝会 >/dev/null
as remade-a add task --subject 年賀状 --due 2026-12-25 >/dev/null
check "a's first sync" 0 "$(synced remade-a)" "$work/remade-a.said"
before=$(uids_in remade-a)
check "a holds three items" 3 "$(grep -c . <<<"$before")"
check "the server's collection is deleted" yes "$(succeeded "$(delete_path "$collection")")"
check "and made again" 201 "$(make_calendar "$collection")"
first=$(synced remade-a)
cp "$work/remade-a.said" "$work/remade-a.first"
check "a's sync on the new collection goes on, by the second at the latest" 0 \
    "$(synced remade-a)" "$work/remade-a.log"
check "nothing was deleted in a" "$before" "$(uids_in remade-a)"
check "a's items are on the server again" "$before" "$(server_uids)"
quiet="0 received, 0 sent, 0 deleted here, 0 deleted on the server"
check "a sync after that has nothing to do" "0 $quiet" \
    "$(synced remade-a) $(sed -n 's/^appointments and tasks [^ ]*: //p' "$work/remade-a.out")" \
    "$work/remade-a.said"
echo "note: a's first sync on the new collection ended with status $first"

# --- c: the phone and a change an item at the same time -------------------------------------------
devices merge
uid=merge@example.com
phone_item "$uid" 定例会議 'DESCRIPTION:議題は未定' >"$work/merge.ics"
check "the phone puts a meeting" 0 "$(phone_did put meeting.ics "$work/merge.ics")" \
    "$work/phone.said"
synced merge-a >/dev/null
check "b receives the meeting" 0 "$(synced merge-b)" "$work/merge-b.said"

# Different properties: both changes are kept, no conflict.
check "the phone rewrites its description" 0 \
    "$(phone_did set meeting.ics DESCRIPTION 議題は予算 --last-modified 20200101T000000Z)" \
    "$work/phone.said"
phone_sequence=$(server_value "$uid" SEQUENCE)
check "the phone raised its SEQUENCE" 2 "$phone_sequence"
check "a changes the subject meanwhile" 0 "$(edit_here merge-a "$uid" SUMMARY 定例会議（会議室B）)" \
    "$work/merge-a.said"
check "a's sync settles the two changes" 0 "$(synced merge-a)" "$work/merge-a.said"
check "changes of different properties are no conflict" "0 0" \
    "$(grep -c '^conflict' "$work/merge-a.out" || true) $(conflict_files merge-a)"
check "the server has the phone's description" 議題は予算 "$(server_value "$uid" DESCRIPTION)"
check "and a's subject" 定例会議（会議室B） "$(server_value "$uid" SUMMARY)"
check "a has the phone's description" 議題は予算 "$(here_value merge-a "$uid" DESCRIPTION)"
check "and its own subject" 定例会議（会議室B） "$(here_value merge-a "$uid" SUMMARY)"
check "the SEQUENCE on the server did not go below the phone's" yes \
    "$(yes_if test "$(server_value "$uid" SEQUENCE)" -ge "$phone_sequence")"
synced merge-b >/dev/null
check "b's second sync" 0 "$(synced merge-b)" "$work/merge-b.said"
check "b has the phone's description" 議題は予算 "$(here_value merge-b "$uid" DESCRIPTION)"
check "and a's subject" 定例会議（会議室B） "$(here_value merge-b "$uid" SUMMARY)"

# The same property, the phone raising SEQUENCE: its change is the later one, although its
# LAST-MODIFIED is older than a's change.
synced merge-a >/dev/null
check "the phone changes the subject" 0 \
    "$(phone_did set meeting.ics SUMMARY 定例会議（中止） --last-modified 20200101T000000Z)" \
    "$work/phone.said"
phone_sequence=$(server_value "$uid" SEQUENCE)
check "a changes it too, later" 0 "$(edit_here merge-a "$uid" SUMMARY 定例会議（延期）)" \
    "$work/merge-a.said"
check "a's sync settles the conflict" 0 "$(synced merge-a)" "$work/merge-a.said"
check "the conflict is named" 1 "$(grep -c '^conflict: ' "$work/merge-a.out" || true)" \
    "$work/merge-a.said"
check "the higher SEQUENCE wins on the server" 定例会議（中止） "$(server_value "$uid" SUMMARY)"
check "and in a" 定例会議（中止） "$(here_value merge-a "$uid" SUMMARY)"
kept=$(kept_file merge-a 定例会議（延期）)
check "a's version is kept in its conflicts folder" yes "$(yes_if test -n "$kept")"
check "whole, with its description" yes \
    "$(yes_if grep -qxF 'DESCRIPTION:議題は予算' <(unfolded <"${kept:-/dev/null}"))"
check "the SEQUENCE on the server did not go down" yes \
    "$(yes_if test "$(server_value "$uid" SEQUENCE)" -ge "$phone_sequence")"

# The same property at the same SEQUENCE: a's change, made after the phone's, wins.
synced merge-a >/dev/null
check "the phone changes the subject again" 0 \
    "$(phone_did set meeting.ics SUMMARY 定例会議（午後） --last-modified 20200101T000000Z)" \
    "$work/phone.said"
phone_sequence=$(server_value "$uid" SEQUENCE)
check "a changes it too, later, at the phone's SEQUENCE" 0 \
    "$(edit_here merge-a "$uid" SUMMARY 定例会議（午前） SEQUENCE "$phone_sequence" \
        LAST-MODIFIED 20210101T000000Z)" "$work/merge-a.said"
check "a's sync settles the second conflict" 0 "$(synced merge-a)" "$work/merge-a.said"
check "the later change wins on the server" 定例会議（午前） "$(server_value "$uid" SUMMARY)"
check "and stays in a" 定例会議（午前） "$(here_value merge-a "$uid" SUMMARY)"
check "the phone's version is kept in a's conflicts folder" yes \
    "$(yes_if test -n "$(kept_file merge-a 定例会議（午後）)")"
check "the SEQUENCE on the server did not go below the phone's" yes \
    "$(yes_if test "$(server_value "$uid" SEQUENCE)" -ge "$phone_sequence")"
synced merge-b >/dev/null
check "b's second sync after the conflicts" 0 "$(synced merge-b)" "$work/merge-b.said"
check "b has the winning subject" 定例会議（午前） "$(here_value merge-b "$uid" SUMMARY)"
check "and the phone's description" 議題は予算 "$(here_value merge-b "$uid" DESCRIPTION)"

# --- d: deleted on one side, edited on the other ------------------------------------------------
devices gone
phone_item gone-1@example.com 打ち合わせ >"$work/gone-1.ics"
phone_item gone-2@example.com 面談 >"$work/gone-2.ics"
check "the phone puts two items" "0 0" "$(phone_did put gone-1.ics "$work/gone-1.ics") $(
    phone_did put gone-2.ics "$work/gone-2.ics")" "$work/phone.said"
synced gone-a >/dev/null
check "b receives both" 0 "$(synced gone-b)" "$work/gone-b.said"

# The phone deletes, a edits afterwards: the edit goes up again.
check "the phone deletes the first" 0 "$(phone_did delete gone-1.ics)" "$work/phone.said"
check "a edits it afterwards" 0 "$(edit_here gone-a gone-1@example.com SUMMARY 打ち合わせ（変更）)" \
    "$work/gone-a.said"
check "a's sync meets the delete" 0 "$(synced gone-a)" "$work/gone-a.said"
check "a keeps its edit" 打ち合わせ（変更） "$(here_value gone-a gone-1@example.com SUMMARY)"
check "the server has the edited item again, once" "1 打ち合わせ（変更）" \
    "$(server_copies gone-1@example.com) $(server_value gone-1@example.com SUMMARY)"
synced gone-b >/dev/null
check "b's second sync" 0 "$(synced gone-b)" "$work/gone-b.said"
check "b has the edit, once" "1 打ち合わせ（変更）" \
    "$(copies_in gone-b gone-1@example.com) $(here_value gone-b gone-1@example.com SUMMARY)"

# a deletes, the phone edits afterwards: a takes the edit back in.
check "a deletes the second" 0 "$(run gone-a delete "$(oid_of gone-a 面談)")" "$work/gone-a.said"
check "the phone edits it afterwards" 0 \
    "$(phone_did set gone-2.ics SUMMARY 面談（延期） --last-modified 20990101T000000Z)" \
    "$work/phone.said"
check "a's sync meets the edit" 0 "$(synced gone-a)" "$work/gone-a.said"
check "a has the phone's edit" "1 面談（延期）" \
    "$(copies_in gone-a gone-2@example.com) $(here_value gone-a gone-2@example.com SUMMARY)"
check "the server keeps it, once" "1 面談（延期）" \
    "$(server_copies gone-2@example.com) $(server_value gone-2@example.com SUMMARY)"
synced gone-b >/dev/null
check "b's second sync after the edit" 0 "$(synced gone-b)" "$work/gone-b.said"
check "b has the phone's edit, once" "1 面談（延期）" \
    "$(copies_in gone-b gone-2@example.com) $(here_value gone-b gone-2@example.com SUMMARY)"

# --- e: a copy that only looks different ---------------------------------------------------------
devices lookalike
uid=lookalike@example.com
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//phone//EN' BEGIN:VTIMEZONE \
    TZID:Asia/Tokyo BEGIN:STANDARD DTSTART:19700101T000000 TZOFFSETFROM:+0900 TZOFFSETTO:+0900 \
    TZNAME:JST END:STANDARD END:VTIMEZONE BEGIN:VEVENT "UID:$uid" DTSTAMP:20190101T000000Z \
    'DTSTART;TZID=Asia/Tokyo:20261221T140000' 'DTEND;TZID=Asia/Tokyo:20261221T150000' \
    SUMMARY:歯医者 END:VEVENT END:VCALENDAR >"$work/lookalike.ics"
check "the phone puts an appointment with its zone" 0 \
    "$(phone_did put dentist.ics "$work/lookalike.ics")" "$work/phone.said"
check "a receives the appointment" 0 "$(synced lookalike-a)" "$work/lookalike-a.said"
check "a changes the subject" 0 "$(edit_here lookalike-a "$uid" SUMMARY 歯医者（予約済み）)" \
    "$work/lookalike-a.said"
href=${collection}dentist.ics
get_ics "$href" | unfolded >"$work/lookalike-before.txt"
sed 's/^TZNAME:JST$/TZNAME:jst/' "$work/lookalike-before.txt" | sed 's/$/\r/' \
    >"$work/lookalike-after.ics"
check "another client rewrites the server's copy" yes \
    "$(succeeded "$(put_ics "$href" "$work/lookalike-after.ics")")"
check "which differs only in its zone's name" "< TZNAME:JST > TZNAME:jst" \
    "$(diff "$work/lookalike-before.txt" <(get_ics "$href" | unfolded) | grep '^[<>]' |
        tr '\n' ' ' | sed 's/ $//')"
check "a's sync sends its edit" 0 "$(synced lookalike-a)" "$work/lookalike-a.said"
check "no conflict is named" 0 "$(grep -c '^conflict' "$work/lookalike-a.out" || true)" \
    "$work/lookalike-a.said"
check "nor kept in the conflicts folder" 0 "$(conflict_files lookalike-a)"
check "the subject edit reaches the server" 歯医者（予約済み） "$(server_value "$uid" SUMMARY)"
check "and stays in a" 歯医者（予約済み） "$(here_value lookalike-a "$uid" SUMMARY)"

echo "$sync_server: $failures failed"
[ "$failures" -eq 0 ]

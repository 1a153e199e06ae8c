#!/usr/bin/env bash
# The planner beside other calendar programs on the same CalDAV server (started here: Radicale or
# xandikos, as TESSARINTH_SYNC_SERVER says): vdirsyncer keeps a local vdir in step with the
# collection, khal and todoman read and write that vdir, and two planner data homes sync with the
# server. What the planner makes must read right there, what
# they make must arrive here, and an edit made in the planner must leave on the server every line
# it did not mean to change as the other program wrote it.
set -euo pipefail
cli=${1:?usage: second_client_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export TZ=Europe/Berlin QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# No secret service in a test: the password goes to its file.
unset DBUS_SESSION_BUS_ADDRESS


# as HOME COMMAND...: tessarinth-cli on that data home, on the clock in $clock (the suite's own
# unless a scenario says otherwise).
clock=()
as() {
    local home=$1
    shift
    "${clock[@]}" env TESSARINTH_HOME="$work/$home" "$cli" "$@"
}
# synced HOME: a sync of that data home; prints its status, its output goes to $work/HOME.out.
synced() {
    local status=0
    as "$1" sync >"$work/$1.out" 2>&1 || status=$?
    cat "$work/$1.out" >>"$work/$1.log"
    echo "$status"
}
# row_of HOME DATE SUBJECT: the row of the day list from DATE that shows SUBJECT (as the screen
# numbers them from the top).
row_of() {
    as "$1" agenda "$2" --tsv | awk -F'\t' -v s="$3" '$13 == s { print $1; exit }'
}
# row_fields HOME DATE SUBJECT: start, end, all day, reminder, done, ink, subject, place and memo
# of that row, between bars.
row_fields() {
    as "$1" agenda "$2" --tsv | awk -F'\t' -v OFS='|' -v s="$3" \
        '$13 == s { print $5, $6, $7, $9, $11, $12, $13, $14, $15; exit }'
}
# drive DATE: works the planner of data home a with the script on standard input, with DATE as
# today (the day list then starts there); prints the status.
drive() {
    local status=0
    as a drive --today "$1T09:00" - >>"$work/drive.log" 2>&1 || status=$?
    echo "$status"
}
# y_of ROW: the screen row where the day list shows that row ("none", which no script line
# takes, for a row that is not there).
y_of() { if [ -n "$1" ]; then echo $((110 + 16 * $1)); else echo none; fi; }

# The other programs keep the real time, as another machine would, and their own folders.
tools=$work/tools
vdir=$tools/vdir/calendar
tool_env=("${real_time[@]}" XDG_CONFIG_HOME="$tools/xdg/config" XDG_DATA_HOME="$tools/xdg/data"
    XDG_CACHE_HOME="$tools/xdg/cache")
vdirsyncer_() { "${tool_env[@]}" vdirsyncer -c "$tools/vdirsyncer.conf" "$@"; }
khal_() { "${tool_env[@]}" khal -c "$tools/khal.conf" "$@"; }
todoman_() { "${tool_env[@]}" todoman -c "$tools/todoman.py" --color never "$@"; }
# by WHAT COMMAND...: a step another program takes; said only when it fails.
by() {
    local what=$1 status=0
    shift
    "$@" >>"$work/tools.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || check "$what" 0 "$status"
}
# vdir_synced: a vdirsyncer run between the vdir and the server; prints its status.
vdir_synced() {
    local status=0
    vdirsyncer_ sync >>"$work/vdirsyncer.log" 2>&1 || status=$?
    echo "$status"
}
# khal_once FROM DAYS: khal's listing of those days, each event once, one line each.
khal_once() {
    khal_ list --once --day-format '' \
        --format '{start}|{end}|{title}|{description}|{location}|{alarm-symbol}|{repeat-symbol}' \
        "$1" "$2"
}
# todo_line SUBJECT: todoman's line for that task ("open" or "done", the due date, the subject
# and how much is done when todoman shows it), without the number todoman gave it.
todo_line() {
    todoman_ list --status ANY |
        sed -E 's/^\[X\] +[0-9]+ +/done /; s/^\[ \] +[0-9]+ +/open /; s/ +/ /g; s/ $//' |
        awk -v s="$1" '$3 == s'
}
# todo_id SUBJECT: the number todoman gives that task.
todo_id() {
    todoman_ --porcelain list --status ANY | python3 -c '
import json, sys
print(next((t["id"] for t in json.load(sys.stdin) if t["summary"] == sys.argv[1]), ""))' "$1"
}

# href_of UID: the server's name for the item of that UID.
href_of() {
    local href
    for href in $(list_hrefs "$calendar"); do
        if get_ics "$href" | tr -d '\r' | grep -qxF "UID:$1"; then
            echo "$href"
            return
        fi
    done
}
# uid_in_vdir SUBJECT: the UID of the item of that subject in the vdir.
uid_in_vdir() {
    grep -l -x -F -e "SUMMARY:$1" -e "SUMMARY:$1"$'\r' "$vdir"/*.ics | head -1 |
        xargs -r sed -n 's/^UID://p' | tr -d '\r' | head -1
}
# server_lines HREF: the item's text on the server, unfolded, without the stamps every writer
# renews (DTSTAMP, LAST-MODIFIED, SEQUENCE).
server_lines() {
    get_ics "$1" | perl -0777 -pe 's/\r?\n[ \t]//g; s/\r//g' |
        grep -Ev '^(DTSTAMP|LAST-MODIFIED|SEQUENCE)[;:]' || true
}
# The lines of the event or task itself (its alarms within), and the calendar around it.
item_part() { awk '/^BEGIN:V(EVENT|TODO)$/, /^END:V(EVENT|TODO)$/' "$1"; }
# PRODID names the program that wrote the calendar object last, which after an edit here is
# this planner; everything else around the item stays.
outer_part() {
    awk '/^BEGIN:V(EVENT|TODO)$/, /^END:V(EVENT|TODO)$/ { next } /^PRODID:/ { next } { print }' "$1"
}
# changes BEFORE AFTER: the lines taken out (-) and put in (+), joined with " / ".
changes() {
    diff --old-line-format='-%L' --new-line-format='+%L' --unchanged-line-format='' "$1" "$2" |
        sed ':a;N;$!ba;s/\n/ \/ /g' || true
}
# snapshot HREF NAME: the server's lines now, for comparing after an edit.
snapshot() {
    server_lines "$1" >"$work/$2.lines"
    item_part "$work/$2.lines" >"$work/$2.item"
    outer_part "$work/$2.lines" >"$work/$2.outer"
}

start_server "$work/server"
calendar=${calendar_home}calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"
for home in a b; do
    mkdir -p "$work/$home"
    echo "$server_password" |
        as $home sync setup --events "$server_url$calendar" --user alice --password-stdin \
            --timeout 5 >/dev/null
done

# vdirsyncer pairs the collection with the vdir; khal and todoman read and write the vdir.
mkdir -p "$vdir" "$tools/status" "$tools/xdg/config" "$tools/xdg/data" "$tools/xdg/cache"
cat >"$tools/vdirsyncer.conf" <<CONFIG
[general]
status_path = "$tools/status/"

[pair planner]
a = "planner_vdir"
b = "planner_server"
collections = null

[storage planner_vdir]
type = "filesystem"
path = "$vdir/"
fileext = ".ics"

[storage planner_server]
type = "caldav"
url = "$server_url$calendar"
username = "$server_user"
password = "$server_password"
CONFIG
cat >"$tools/khal.conf" <<CONFIG
[calendars]
[[planner]]
path = $vdir/
type = calendar
[sqlite]
path = $tools/khal.db
[locale]
unicode_symbols = False
timeformat = %H:%M
dateformat = %Y-%m-%d
longdateformat = %Y-%m-%d
datetimeformat = %Y-%m-%d %H:%M
longdatetimeformat = %Y-%m-%d %H:%M
local_timezone = Europe/Berlin
default_timezone = Europe/Berlin
[default]
default_calendar = planner
CONFIG
cat >"$tools/todoman.py" <<CONFIG
path = "$tools/vdir/*"
date_format = "%Y-%m-%d"
time_format = "%H:%M"
default_list = "calendar"
cache_path = "$tools/todoman.sqlite3"
humanize = False
CONFIG
by "vdirsyncer finds the collection" vdirsyncer_ discover

# --- A. what the planner makes, as khal and todoman read it -------------------------------------
memo="$here/../../docs/sample-memo.ink"
as a add appointment --start 2026-12-21T10:00 --end 2026-12-21T11:30 --subject 打ち合わせ \
    --location 本社 --memo "資料を持参" >/dev/null
as a add appointment --all-day --start 2026-12-24 --end 2026-12-24 --subject 休暇 >/dev/null
as a add appointment --all-day --start 2026-12-28 --end 2026-12-31 --subject 冬休み >/dev/null
as a add appointment --start 2026-12-22T23:00 --end 2026-12-23T01:30 --subject 夜行バス >/dev/null
as a add appointment --start 2026-12-22T09:00 --end 2026-12-22T09:30 --subject 歯医者 \
    --reminder >/dev/null
as a add appointment --start 2026-12-23T14:00 --end 2026-12-23T15:00 --subject 道順 \
    --ink "$memo" >/dev/null
as a add task --subject 年賀状 --due 2026-12-25 --notes 百枚 >/dev/null
as a add task --subject 大掃除 --due 2026-12-20 --complete >/dev/null
cat >"$work/series.ics" <<'SERIES'
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//t//EN
BEGIN:VEVENT
UID:weekly@test
DTSTAMP:20261201T000000Z
DTSTART;TZID=Europe/Berlin:20261202T090000
DTEND;TZID=Europe/Berlin:20261202T100000
RRULE:FREQ=WEEKLY;COUNT=6
SUMMARY:定例
END:VEVENT
BEGIN:VEVENT
UID:weekly@test
DTSTAMP:20261201T000000Z
RECURRENCE-ID;TZID=Europe/Berlin:20261216T090000
DTSTART;TZID=Europe/Berlin:20261217T140000
DTEND;TZID=Europe/Berlin:20261217T150000
SUMMARY:定例（木曜に移動）
END:VEVENT
END:VCALENDAR
SERIES
as a import "$work/series.ics" >/dev/null
check "the planner sends what it made" 0 "$(synced a)"
check "vdirsyncer brings it into the vdir" 0 "$(vdir_synced)"

khal_once 2026-12-20 12d >"$work/khal-a.txt"
khal_line() { grep -F "|$1|" "$work/khal-a.txt" || true; }
check "khal: a timed appointment with its place and memo" \
    "2026-12-21 10:00|2026-12-21 11:30|打ち合わせ|資料を持参|本社||" "$(khal_line 打ち合わせ)"
check "khal: an all-day appointment" "2026-12-24|2026-12-24|休暇||||" "$(khal_line 休暇)"
check "khal: an all-day appointment over four days" "2026-12-28|2026-12-31|冬休み||||" \
    "$(khal_line 冬休み)"
check "khal: an appointment over midnight" "2026-12-22 23:00|2026-12-23 01:30|夜行バス||||" \
    "$(khal_line 夜行バス)"
check "khal: an appointment with its reminder" "2026-12-22 09:00|2026-12-22 09:30|歯医者||| (A)|" \
    "$(khal_line 歯医者)"
check "the reminder is an alarm 15 minutes before in the copy khal reads" yes \
    "$(yes_if grep -qx $'TRIGGER:-PT15M\r\\?' "$(grep -l -F 'SUMMARY:歯医者' "$vdir"/*.ics)")"
check "khal: a weekly series with its moved occurrence" \
    "2026-12-02 09:00|定例 (R)
2026-12-09 09:00|定例 (R)
2026-12-17 14:00|定例（木曜に移動） (R)
2026-12-23 09:00|定例 (R)
2026-12-30 09:00|定例 (R)
2027-01-06 09:00|定例 (R)" \
    "$(khal_ list --day-format '' --format '{start}|{title}{repeat-symbol}' 2026-12-01 60d |
        grep '|定例')"
check "khal: a handwritten memo reads as text, not as the name of its ink file" \
    "2026-12-23 14:00|2026-12-23 15:00|道順|手書きメモ|||" "$(khal_line 道順)"
check "todoman: a task due, open" "open 2026-12-25 年賀状" "$(todo_line 年賀状)"
check "todoman: a task due, done" "done 2026-12-20 大掃除 (100%)" "$(todo_line 大掃除)"
check "todoman shows the task's notes" yes \
    "$(yes_if grep -q 百枚 <(todoman_ show "$(todo_id 年賀状)"))"

check "the second data home receives everything" 0 "$(synced b)"
inks=$(find "$work/b/device" -name '[0-9]*.dat')
check "the second data home has one ink file, byte for byte the drawing sent" "1 yes" \
    "$(echo "$inks" | grep -c . || true) $(yes_if cmp "$memo" "$(echo "$inks" | head -1)")"

# --- B. what khal and todoman make, in the planner, and the planner's edits of it -------------
by "khal makes a timed appointment with an alarm" \
    khal_ new -a planner 2026-12-08 10:00 11:00 khal会議 -l 会議室 --alarms 15m :: 説明文
by "khal makes an all-day appointment" khal_ new -a planner 2026-12-09 khal終日
by "todoman makes a task" todoman_ new -l calendar --due 2026-12-10 todo請求書
by "todoman makes another" todoman_ new -l calendar --due 2026-12-11 todo掃除
by "todoman ticks it done" todoman_ "done" "$(todo_id todo掃除)"
check "vdirsyncer sends what khal and todoman made" 0 "$(vdir_synced)"
check "the planner receives it" 0 "$(synced a)"
check "khal's appointment, with place, memo and reminder" \
    "2026-12-08T10:00|2026-12-08T11:00|0|1|0|0|khal会議|会議室|説明文" \
    "$(row_fields a 2026-12-07 khal会議)"
check "khal's all-day appointment" "2026-12-09T00:00|2026-12-09T00:00|1|0|0|0|khal終日||" \
    "$(row_fields a 2026-12-07 khal終日)"
check "todoman's task, due and open" "2026-12-10T00:00|2026-12-10T00:00|0|0|0|0|todo請求書||" \
    "$(row_fields a 2026-12-07 todo請求書)"
check "todoman's task done in todoman is done here" \
    "2026-12-11T00:00|2026-12-11T00:00|0|0|1|0|todo掃除||" "$(row_fields a 2026-12-07 todo掃除)"
check "and in the export" yes "$(yes_if grep -qx $'STATUS:COMPLETED\r' \
    <(as a export - | awk '/^BEGIN:VTODO/ { t = "" } { t = t $0 "\n" } /^END:VTODO/ && t ~ /todo掃除/ { printf "%s", t }'))"

meeting=$(href_of "$(uid_in_vdir khal会議)")
invoice=$(href_of "$(uid_in_vdir todo請求書)")

# The subject alone, typed in the editor.
snapshot "$meeting" b-before
check "the subject is typed in the editor" 0 "$(drive 2026-12-07 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-07 khal会議)")
tap 150 36
type 変更
command 1
SCRIPT
)"
check "the subject edit is sent" 0 "$(synced a)"
snapshot "$meeting" b-subject
check "a subject edit changes only SUMMARY in the event on the server" \
    "-SUMMARY:khal会議 / +SUMMARY:khal会議変更" "$(changes "$work/b-before.item" "$work/b-subject.item")"
check "and nothing of the calendar around it" "" \
    "$(changes "$work/b-before.outer" "$work/b-subject.outer")"
check "vdirsyncer brings the edit to the vdir" 0 "$(vdir_synced)"
check "khal: the edited subject, the rest as khal wrote it" \
    "2026-12-08 10:00|2026-12-08 11:00|khal会議変更|説明文|会議室| (A)|" \
    "$(khal_once 2026-12-08 1d)"

# The reminder unticked, then ticked again.
check "the reminder is unticked in the editor" 0 "$(drive 2026-12-07 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-07 khal会議変更)")
tap 59 120
command 1
SCRIPT
)"
check "the unticked reminder is sent" 0 "$(synced a)"
snapshot "$meeting" b-unticked
check "unticking the reminder takes out only khal's alarm" \
    "$(awk '/^BEGIN:VALARM$/, /^END:VALARM$/' "$work/b-subject.item" | sed 's/^/-/' |
        sed ':a;N;$!ba;s/\n/ \/ /g')" \
    "$(changes "$work/b-subject.item" "$work/b-unticked.item")"
check "and nothing of the calendar around it" "" \
    "$(changes "$work/b-subject.outer" "$work/b-unticked.outer")"
check "the reminder is ticked again in the editor" 0 "$(drive 2026-12-07 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-07 khal会議変更)")
tap 59 120
command 1
SCRIPT
)"
check "the ticked reminder is sent" 0 "$(synced a)"
snapshot "$meeting" b-ticked
diff --old-line-format='-%L' --new-line-format='+%L' --unchanged-line-format='' \
    "$work/b-unticked.item" "$work/b-ticked.item" >"$work/b-ticked.diff" || true
check "ticking the reminder puts in one display alarm and changes nothing else" \
    "alarms added 1, display 1, other changes 0" \
    "alarms added $(grep -c '^+BEGIN:VALARM$' "$work/b-ticked.diff" || true), display $(
        grep -c '^+ACTION:DISPLAY$' "$work/b-ticked.diff" || true), other changes $(
        awk '/^\+BEGIN:VALARM$/, /^\+END:VALARM$/ { next } { print }' "$work/b-ticked.diff" |
            grep -c . || true)"
check "and nothing of the calendar around it" "" \
    "$(changes "$work/b-unticked.outer" "$work/b-ticked.outer")"

# todoman's task ticked done in the context menu.
snapshot "$invoice" b-task
check "todoman's task is ticked done on the screen" 0 "$(drive 2026-12-07 <<SCRIPT
popup 40074
hold 100 $(y_of "$(row_of a 2026-12-07 todo請求書)")
SCRIPT
)"
check "the completion is sent" 0 "$(synced a)"
snapshot "$invoice" b-task-done
diff --old-line-format='-%L' --new-line-format='+%L' --unchanged-line-format='' \
    "$work/b-task.item" "$work/b-task-done.item" >"$work/b-task.diff" || true
check "a completion changes only STATUS, COMPLETED and PERCENT-COMPLETE on the server" \
    "completed yes, other changes none" \
    "completed $(yes_if grep -qx '+STATUS:COMPLETED' "$work/b-task.diff"), other changes $(
        grep -Ev '^[-+](STATUS|COMPLETED|PERCENT-COMPLETE)[;:]' "$work/b-task.diff" |
            sed ':a;N;$!ba;s/\n/ \/ /g' | grep . || echo none)"
check "and nothing of the calendar around it" "" \
    "$(changes "$work/b-task.outer" "$work/b-task-done.outer")"
check "todoman sees the completion" 0 "$(vdir_synced)"
check "todoman: the task is done" "done 2026-12-10 todo請求書 (100%)" "$(todo_line todo請求書)"

# --- C1. a memo that begins with the name of an ink file -----------------------------------------
check "the data home has an ink file 1.dat of its own" yes \
    "$(yes_if test -s "$work/a/device/My Documents/1.dat")"
by "khal makes an appointment whose memo begins with 1.dat" khal_ new -a planner 2026-12-15 \
    10:00 11:00 ファイル確認 :: "$(printf '1.dat\nplease look at that file')"
check "vdirsyncer sends khal's appointment" 0 "$(vdir_synced)"
check "the planner receives it" 0 "$(synced a)"
check "its memo is shown as the text khal wrote, with no drawing" \
    '0|ファイル確認||1.dat\nplease look at that file' \
    "$(row_fields a 2026-12-14 ファイル確認 | cut -d'|' -f6- | sed 's/\\r//g')"
note=$(href_of "$(uid_in_vdir ファイル確認)")
snapshot "$note" c1-before
check "its subject is typed in the editor" 0 "$(drive 2026-12-14 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-14 ファイル確認)")
tap 150 36
type 済
command 1
SCRIPT
)"
check "the subject edit is sent" 0 "$(synced a)"
snapshot "$note" c1-after
check "the server copy carries no drawing of this planner" 0 \
    "$(grep -c '^ATTACH;.*FMTTYPE=application/x-tessarinth-ink' "$work/c1-after.lines" || true)"
check "its memo reads on the server as khal wrote it" \
    'DESCRIPTION:1.dat\nplease look at that file' "$(grep '^DESCRIPTION' "$work/c1-after.item" || true)"
check "the subject edit changes only SUMMARY in the event on the server" \
    "-SUMMARY:ファイル確認 / +SUMMARY:ファイル確認済" \
    "$(changes "$work/c1-before.item" "$work/c1-after.item")"
check "khal receives the edit" 0 "$(vdir_synced)"
check "khal: the new subject with the memo as khal wrote it" \
    "ファイル確認済|1.dat
please look at that file" \
    "$(khal_ list --day-format '' --format '{title}|{description}' 2026-12-15 1d)"

# --- C2. a reminder unticked on an event with a display and an e-mail alarm ---------------------
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//other client//EN' BEGIN:VEVENT \
    UID:two-alarms@test DTSTAMP:20261201T000000Z SUMMARY:二つの通知 \
    'DTSTART;TZID=Europe/Berlin:20261216T100000' 'DTEND;TZID=Europe/Berlin:20261216T110000' \
    BEGIN:VALARM ACTION:DISPLAY DESCRIPTION:二つの通知 TRIGGER:-PT15M END:VALARM \
    BEGIN:VALARM ACTION:EMAIL 'ATTENDEE:mailto:alice@example.com' SUMMARY:二つの通知 \
    'DESCRIPTION:会議の一時間前' TRIGGER:-PT1H END:VALARM END:VEVENT END:VCALENDAR \
    >"$vdir/two-alarms.ics"
check "vdirsyncer sends the event with two alarms" 0 "$(vdir_synced)"
check "the planner receives it" 0 "$(synced a)"
check "it shows with its reminder set" 1 "$(row_fields a 2026-12-14 二つの通知 | cut -d'|' -f4)"
alarms=$(href_of two-alarms@test)
snapshot "$alarms" c2-before
check "its reminder is unticked in the editor" 0 "$(drive 2026-12-14 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-14 二つの通知)")
tap 59 120
command 1
SCRIPT
)"
check "the unticked reminder is sent" 0 "$(synced a)"
snapshot "$alarms" c2-after
email_alarm() {
    awk '/^BEGIN:VALARM$/ { a = "" } { a = a $0 " / " } /^END:VALARM$/ && a ~ /ACTION:EMAIL/ { sub(/ \/ $/, "", a); print a }' "$1"
}
check "the e-mail alarm stays on the server as it was" "$(email_alarm "$work/c2-before.item")" \
    "$(email_alarm "$work/c2-after.item")"
check "the display alarm is gone" 0 "$(grep -c '^ACTION:DISPLAY$' "$work/c2-after.item" || true)"

# --- C3. a task 40 % done, completed and taken back in the planner --------------------------------
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//other client//EN' BEGIN:VTODO \
    UID:percent@test DTSTAMP:20261201T000000Z SUMMARY:四割の仕事 'DUE;VALUE=DATE:20261217' \
    STATUS:IN-PROCESS PERCENT-COMPLETE:40 END:VTODO END:VCALENDAR >"$vdir/percent.ics"
check "vdirsyncer sends the task 40 % done" 0 "$(vdir_synced)"
check "the planner receives it, not done" 0 \
    "$(synced a >/dev/null; row_fields a 2026-12-14 四割の仕事 | cut -d'|' -f5)"
percent=$(href_of percent@test)
check "the task is ticked done on the screen" 0 "$(drive 2026-12-14 <<SCRIPT
popup 40074
hold 100 $(y_of "$(row_of a 2026-12-14 四割の仕事)")
SCRIPT
)"
check "the completion is sent" 0 "$(synced a)"
snapshot "$percent" c3-done
check "on the server: completed, when, and all of it" "STATUS:COMPLETED 1 PERCENT-COMPLETE:100" \
    "$(grep '^STATUS' "$work/c3-done.item" || true) $(grep -c '^COMPLETED[;:]' "$work/c3-done.item" || true) $(
        grep '^PERCENT-COMPLETE' "$work/c3-done.item" || true)"
check "todoman receives the completion" 0 "$(vdir_synced)"
check "todoman: the task is done, all of it" "done 2026-12-17 四割の仕事 (100%)" \
    "$(todo_line 四割の仕事)"
check "the task is ticked not done on the screen" 0 "$(drive 2026-12-14 <<SCRIPT
popup 40074
hold 100 $(y_of "$(row_of a 2026-12-14 四割の仕事)")
SCRIPT
)"
check "taking the completion back is sent" 0 "$(synced a)"
snapshot "$percent" c3-open
check "on the server: not completed, and no completion time" "yes 0" \
    "$(yes_if grep -qE '^STATUS:(NEEDS-ACTION|IN-PROCESS)$' "$work/c3-open.item") $(
        grep -c '^COMPLETED[;:]' "$work/c3-open.item" || true)"

# --- C4. an edit in khal after an older edit of the same event in the planner ---------------------
# Which edit came later is a matter of one clock: here the planner runs on khal's, the real one,
# from making the event to its last sync, so that the stamps it writes and the moment of its edit
# compare with khal's under faketime too.
clock=("${real_time[@]}")
as a add appointment --start 2026-12-18T10:00 --end 2026-12-18T11:00 --subject 競合 >/dev/null
synced a >/dev/null
check "vdirsyncer brings the planner's appointment" 0 "$(vdir_synced)"
check "the planner's edit, not yet synced" 0 "$(drive 2026-12-14 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-14 競合)")
tap 150 36
type （手帳）
command 1
SCRIPT
)"
# A second later, the same event edited in khal and sent.
sleep 1.1
printf 's\n競合（khal）\nq\n' >"$work/khal-edit.in"
by "khal edits the subject" khal_ edit --show-past 競合 <"$work/khal-edit.in"
check "khal's edit is in the vdir" 1 "$(grep -l -F 'SUMMARY:競合（khal）' "$vdir"/*.ics | wc -l)"
check "vdirsyncer sends khal's edit" 0 "$(vdir_synced)"
check "the planner's sync meets the conflict and names it" "0 yes" \
    "$(synced a) $(yes_if grep -q '^conflict: ' "$work/a.out")"
if [ "$server_gives_item_times" = yes ]; then
    check "khal's later edit wins in the planner" yes \
        "$(yes_if test -n "$(row_of a 2026-12-14 '競合（khal）')")"
    check "and on the server" yes \
        "$(yes_if grep -qx $'SUMMARY:競合（khal）\r' <(get_ics "$(href_of "$(uid_in_vdir '競合（khal）')")"))"
    check "the planner's losing version is kept in conflicts/" yes \
        "$(yes_if grep -rqF 'SUMMARY:競合（手帳）' "$work/a/conflicts")"
    check "vdirsyncer runs after the conflict" 0 "$(vdir_synced)"
    check "khal still shows its own edit" "2026-12-18 10:00|2026-12-18 11:00|競合（khal）||||" \
        "$(khal_once 2026-12-18 1d)"
else
    # khal leaves LAST-MODIFIED as the planner wrote it and the server tells no time of its own:
    # nothing says which edit came later. One of them wins everywhere, the other is kept whole.
    winner=競合（手帳） loser=競合（khal）
    if [ -n "$(row_of a 2026-12-14 '競合（khal）')" ]; then
        winner=競合（khal） loser=競合（手帳）
    fi
    check "the losing version is kept in conflicts/" yes \
        "$(yes_if grep -rqF "SUMMARY:$loser" "$work/a/conflicts")"
    check "the server holds the winning one" yes \
        "$(yes_if grep -qx "SUMMARY:$winner"$'\r' <(get_ics "$(href_of "$(uid_in_vdir '競合（khal）')")"))"
    check "vdirsyncer runs after the conflict" 0 "$(vdir_synced)"
    check "khal shows the winning one" "2026-12-18 10:00|2026-12-18 11:00|$winner||||" \
        "$(khal_once 2026-12-18 1d)"
fi
clock=()

# --- E. the series worked on the planner's screen, as khal reads it ------------------------------
# The occurrence of the 23rd deleted alone, the 30th moved to 11:00 alone.
check "the planner deletes the occurrence of the 23rd alone" 0 "$(drive 2026-12-23 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-23 定例)")
answer yes
answer yes
command 40022
SCRIPT
)"
check "and moves the 30th alone" 0 "$(drive 2026-12-30 <<SCRIPT
tap 100 $(y_of "$(row_of a 2026-12-30 定例)")
stroke 170 91 170 91
answer yes
command 1
SCRIPT
)"
check "the planner sends both" 0 "$(synced a)"
check "vdirsyncer brings them" 0 "$(vdir_synced)"
check "khal: the series without the 23rd, the 30th moved" \
    "2026-12-17 14:00|定例（木曜に移動） (R)
2026-12-30 11:00|定例 (R)
2027-01-06 09:00|定例 (R)" \
    "$(khal_ list --day-format '' --format '{start}|{title}{repeat-symbol}' 2026-12-16 22d |
        grep '|定例')"

[ "$failures" -eq 0 ] || exit 1
echo "all second-client checks passed"

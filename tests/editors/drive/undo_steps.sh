#!/usr/bin/env bash
# 元に戻す and やり直し worked by hand through `tessarinth-cli drive`: a paste onto another day, the
# editor's 削除 of a handwritten memo, a subject changed with OK, a cut and a completion toggle,
# each taken back with Ctrl+Z and done again with Ctrl+Y; the day list, the month marks and the
# ink files right after each. Every change is made by one run of the planner and taken back by
# the next, so each case also shows that the steps outlive the planner; one more works the
# 移動 menu's two items within a single run. Last, a change whose item another route changed
# since is refused with a message, and nothing moves.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out
docs="$TESSARINTH_HOME/device/My Documents"
memo="$(dirname "$0")/../../../docs/sample-memo.ink"

# With the 7th selected the day list shows one row a day while no day holds two items: row 1
# (y 126) the 8th, 2 (142) the 9th, 3 (158) the 10th, 4 (174) the 11th, 5 (190) the 12th.
"$cli" add appointment --start 2026-12-08T10:00 --end 2026-12-08T11:00 --subject "" \
    --ink "$memo" >/dev/null
"$cli" add appointment --start 2026-12-09T14:00 --end 2026-12-09T15:30 --subject 会議 \
    --location 本社 >/dev/null
"$cli" add task --subject 請求書 --due 2026-12-10 >/dev/null
"$cli" add appointment --start 2026-12-12T09:00 --end 2026-12-12T10:00 --subject 面談 >/dev/null

# day DAY: DAY's rows of the day list, without the object ids (an item put back gets a new one).
day() { "$cli" agenda "$1" --tsv | awk -F'\t' -v day="$1" '$2 == day' | cut -f 3,5-; }
# kinds DAY: what DAY's rows hold ("empty" for a day without items).
kinds() { day "$1" | cut -f 1 | paste -sd ' '; }
# mark DAY: the month grid's all-day and time-band marks of DAY.
mark() { "$cli" month "${1%-*}" --tsv | awk -F'\t' -v day="$1" '$1 == day { print $4 "/" $5 }'; }
# inks: the ink files of the data folder.
inks() { find "$docs" -maxdepth 1 -name '*.dat' -printf '%f\n' | sort | paste -sd ' '; }
# drawn FILE: whether the ink file FILE holds the drawing that was added, byte for byte.
drawn() { cmp -s "$memo" "$docs/$1" && echo same || echo differs; }
# uid_of PATTERN: the UID of each exported item with a line that matches PATTERN.
uid_of() {
    "$cli" export - | tr -d '\r' | awk -v pattern="$1" '
        /^BEGIN:(VEVENT|VTODO)$/ { uid = ""; hit = 0 }
        /^UID:/ { uid = substr($0, 5) }
        $0 ~ pattern { hit = 1 }
        /^END:(VEVENT|VTODO)$/ && hit { print uid }'
}
# on_screen PNG: whether a shot taken by the run is the screen as the store now draws it.
on_screen() {
    "$cli" screenshot --today 2026-12-07 "$TESSARINTH_HOME/now.png" >/dev/null
    cmp -s "$1" "$TESSARINTH_HOME/now.png" && echo same || echo differs
}
drive() { "$cli" drive --today 2026-12-07T09:30 - >"$out"; }

# --- a paste onto another day ----------------------------------------------------------------
# The handwritten memo of the 8th copied and pasted as an appointment on the 11th: the paste
# makes an ink file of its own, which goes when the paste is taken back and comes again with it.
drive <<'SCRIPT'
popup 40058
hold 100 126
popup 40081
hold 100 174
SCRIPT
pasted=$(day 2026-12-08 | sed 's/2026-12-08/2026-12-11/g; s/1\.dat/2.dat/')
check "the paste puts the memo on the 11th with an ink file of its own" "$pasted" \
    "$(day 2026-12-11)"
check "with the same drawing" "1.dat 2.dat same" "$(inks) $(drawn 2.dat)"
check "and its month mark" 0/1 "$(mark 2026-12-11)"

drive <<SCRIPT
key Ctrl+Z
shot $TESSARINTH_HOME/undone.png
SCRIPT
check "Ctrl+Z takes the pasted memo away" empty "$(kinds 2026-12-11)"
check "with its month mark" 0/0 "$(mark 2026-12-11)"
check "and its ink file, the copied one's staying" "1.dat same" "$(inks) $(drawn 1.dat)"
check "the copied memo stays on the 8th" 1 "$(day 2026-12-08 | grep -c $'\t1.dat$')"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/undone.png")"

drive <<SCRIPT
key Ctrl+Y
shot $TESSARINTH_HOME/redone.png
SCRIPT
check "Ctrl+Y pastes it again" "$pasted" "$(day 2026-12-11)"
check "with its drawing" "1.dat 2.dat same" "$(inks) $(drawn 2.dat)"
check "and its month mark" 0/1 "$(mark 2026-12-11)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/redone.png")"

# --- 削除 of a handwritten memo ------------------------------------------------------------------
memo_row=$(day 2026-12-08)
memo_mark=$(mark 2026-12-08)
memo_uid=$(uid_of "^DTSTART.*:20261208T100000$")
: "${memo_uid:?the memo of the 8th is not in the export}"
drive <<'SCRIPT'
tap 100 126
answer yes
command 40022
SCRIPT
check "削除 takes the memo off the 8th" empty "$(kinds 2026-12-08)"
check "with its month mark" 0/0 "$(mark 2026-12-08)"
check "and its ink file alone" 2.dat "$(inks)"

drive <<SCRIPT
key Ctrl+Z
shot $TESSARINTH_HOME/undone.png
SCRIPT
check "Ctrl+Z puts the memo back" "$memo_row" "$(day 2026-12-08)"
check "as the same item" "$memo_uid" "$(uid_of "^DTSTART.*:20261208T100000$")"
check "with its month mark" "$memo_mark" "$(mark 2026-12-08)"
check "and its ink file as it was, byte for byte" "1.dat 2.dat same" "$(inks) $(drawn 1.dat)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/undone.png")"

drive <<SCRIPT
key Ctrl+Y
shot $TESSARINTH_HOME/redone.png
SCRIPT
check "Ctrl+Y deletes it again" empty "$(kinds 2026-12-08)"
check "with its month mark" 0/0 "$(mark 2026-12-08)"
check "and its ink file" 2.dat "$(inks)"
check "the pasted copy keeps its drawing" same "$(drawn 2.dat)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/redone.png")"

# --- a subject changed in the editor -----------------------------------------------------------
meeting=$(day 2026-12-09)
meeting_mark=$(mark 2026-12-09)
drive <<'SCRIPT'
tap 100 142
tap 100 35
type ・第二
command 1
SCRIPT
renamed=${meeting/会議/会議・第二}
check "OK saves the new subject" "$renamed" "$(day 2026-12-09)"
check "the month mark stays" "$meeting_mark" "$(mark 2026-12-09)"

drive <<SCRIPT
key Ctrl+Z
shot $TESSARINTH_HOME/undone.png
SCRIPT
check "Ctrl+Z brings the old subject back" "$meeting" "$(day 2026-12-09)"
check "the month mark stays" "$meeting_mark" "$(mark 2026-12-09)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/undone.png")"

drive <<SCRIPT
key Ctrl+Y
shot $TESSARINTH_HOME/redone.png
SCRIPT
check "Ctrl+Y saves the new one again" "$renamed" "$(day 2026-12-09)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/redone.png")"

# --- a cut from the context menu ----------------------------------------------------------------
meeting=$(day 2026-12-09)
meeting_uid=$(uid_of "^SUMMARY:会議・第二$")
: "${meeting_uid:?the meeting is not in the export}"
drive <<'SCRIPT'
popup 40057
hold 100 142
SCRIPT
check "切り取り takes the meeting off the 9th" empty "$(kinds 2026-12-09)"
check "with its month mark" 0/0 "$(mark 2026-12-09)"

drive <<SCRIPT
key Ctrl+Z
shot $TESSARINTH_HOME/undone.png
SCRIPT
check "Ctrl+Z puts the meeting back" "$meeting" "$(day 2026-12-09)"
check "as the same item" "$meeting_uid" "$(uid_of "^SUMMARY:会議・第二$")"
check "with its month mark" "$meeting_mark" "$(mark 2026-12-09)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/undone.png")"

drive <<SCRIPT
key Ctrl+Y
shot $TESSARINTH_HOME/redone.png
SCRIPT
check "Ctrl+Y cuts it again" empty "$(kinds 2026-12-09)"
check "with its month mark" 0/0 "$(mark 2026-12-09)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/redone.png")"

# --- a task's completion toggled ----------------------------------------------------------------
# done_of DAY: whether DAY's task is ticked done.
done_of() { day "$1" | awk -F'\t' '$1 == "task" { print $8 }'; }
drive <<'SCRIPT'
popup 40074
hold 100 158
SCRIPT
check "チェック ticks the task" 1 "$(done_of 2026-12-10)"

drive <<SCRIPT
key Ctrl+Z
shot $TESSARINTH_HOME/undone.png
SCRIPT
check "Ctrl+Z clears it" 0 "$(done_of 2026-12-10)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/undone.png")"

drive <<SCRIPT
key Ctrl+Y
shot $TESSARINTH_HOME/redone.png
SCRIPT
check "Ctrl+Y ticks it again" 1 "$(done_of 2026-12-10)"
check "the screen shows it at once" same "$(on_screen "$TESSARINTH_HOME/redone.png")"

# --- 元に戻す and やり直し of the 移動 menu, within one run ---------------------------------------
# The tick cleared, taken back and done again without the planner closing in between: the screen
# after 元に戻す is the one before the change, and after やり直し the one right after it.
drive <<SCRIPT
shot $TESSARINTH_HOME/before.png
popup 40074
hold 100 158
shot $TESSARINTH_HOME/changed.png
popup 40110
tap 60 310
shot $TESSARINTH_HOME/undone.png
popup 40111
tap 60 310
shot $TESSARINTH_HOME/redone.png
SCRIPT
check "the cleared tick shows" differs \
    "$(cmp -s "$TESSARINTH_HOME/before.png" "$TESSARINTH_HOME/changed.png" && echo same || echo differs)"
check "元に戻す shows the screen as it was" same \
    "$(cmp -s "$TESSARINTH_HOME/before.png" "$TESSARINTH_HOME/undone.png" && echo same || echo differs)"
check "やり直し shows the change again" same \
    "$(cmp -s "$TESSARINTH_HOME/changed.png" "$TESSARINTH_HOME/redone.png" && echo same || echo differs)"
check "and the store holds the cleared tick" 0 "$(done_of 2026-12-10)"

# --- a change whose item was changed since ------------------------------------------------------
# 面談 renamed on the screen, then a newer version of it imported, as another calendar program
# would send it: Ctrl+Z says the item changed since and leaves everything as it is; that change
# can never be taken back, so the next Ctrl+Z takes back the one before it.
drive <<'SCRIPT'
tap 100 190
tap 100 35
type ・二次
command 1
SCRIPT
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 PRODID:-//test//EN BEGIN:VEVENT \
    "UID:$(uid_of '^SUMMARY:面談・二次$')" SEQUENCE:5 DTSTAMP:20261207T010000Z \
    'DTSTART;TZID=Asia/Tokyo:20261212T090000' 'DTEND;TZID=Asia/Tokyo:20261212T100000' \
    SUMMARY:面談・最終 END:VEVENT END:VCALENDAR >"$TESSARINTH_HOME/newer.ics"
"$cli" import "$TESSARINTH_HOME/newer.ics" >/dev/null
check "the import changed the item" 面談・最終 "$(day 2026-12-12 | cut -f 10)"
store=$("$cli" export - | grep -v '^DTSTAMP')
steps=$("$cli" undo --list)
drive <<SCRIPT
answer ok
key Ctrl+Z
shot $TESSARINTH_HOME/refused.png
SCRIPT
check "Ctrl+Z is refused with a message naming the item as it is called now" \
    "$(printf 'message\t元に戻す\t「面談・最終」はその後変更されたため、元に戻せません')" \
    "$(grep '^message' "$out")"
check "the imported version stays" 面談・最終 "$(day 2026-12-12 | cut -f 10)"
check "nothing in the store changes" "$store" "$("$cli" export - | grep -v '^DTSTAMP')"
check "the refused change is forgotten, the others kept" "$(tail -n +2 <<<"$steps")" \
    "$("$cli" undo --list)"
check "nor the ink files" 2.dat "$(inks)"
check "the screen shows the store as it is" same "$(on_screen "$TESSARINTH_HOME/refused.png")"
drive <<'SCRIPT'
key Ctrl+Z
SCRIPT
check "the next Ctrl+Z takes back the change before it: the tick again" 1 "$(done_of 2026-12-10)"
check "and 面談 is left as imported" 面談・最終 "$(day 2026-12-12 | cut -f 10)"
finish

#!/usr/bin/env bash
# The pen on the main screen and the context menu's commands, driven through
# `tessarinth-cli drive` on a store with a meeting, a dated task and an undated task.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out

"$cli" add appointment --start 2026-12-08T10:30 --end 2026-12-08T11:15 --subject 会議 \
    --memo "$(printf '一行目\n二行目\n三行目')" >/dev/null
"$cli" add task --subject 請求書 --due 2026-12-09 --notes 三社分 >/dev/null
"$cli" add task --subject 買い物 >/dev/null
before=$("$cli" export - | grep -v '^DTSTAMP')

# Rows on the 7th: 0 the 7th (empty), 1 the meeting, 2 the task, 3 the 10th (empty), ...
# (once the task has lost its due date, row 2 is the empty 9th).
# A hold dismissed changes nothing; a grid tap selects its day.
"$cli" drive --today 2026-12-07T14:40 - >"$out" <<'SCRIPT'
popup none
hold 100 126
state
tap 183 70
state
SCRIPT
check "a dismissed menu leaves the main window" TESSARINTH "$(state_value "$out" 1 active)"
check "and the store as it was" "$before" "$("$cli" export - | grep -v '^DTSTAMP')"
check "a tap on the grid selects its day" "2026-12-23 00:00" "$(state_value "$out" 2 selected)"

# The date column of an empty day opens a new appointment at its midnight; a task's row opens
# the task editor, whose Clr and OK remove the due date.
"$cli" drive --today 2026-12-07T14:40 - >"$out" <<'SCRIPT'
tap 20 158
state
command 40014
tap 100 142
state
command 40101
command 1
SCRIPT
check "the date column opens the appointment editor" TimeWindow "$(state_value "$out" 1 active)"
check "at the start of the row's day" "2026-12-10 00:00" "$(state_value "$out" 1 record.Start)"
check "a task's row opens the task editor" TaskWindow "$(state_value "$out" 2 active)"
check "Clr and OK remove its due date" 0 \
    "$("$cli" export - | awk '/SUMMARY:請求書/,/END:VTODO/' | grep -c '^DUE')"

# Cut the meeting and paste it twice on the 10th: two meetings there at its own times, with its
# whole memo, and none left on the 8th; the month grid's marks follow.
"$cli" drive --today 2026-12-07T14:40 - >"$out" <<SCRIPT
popup 40057
hold 100 126
state
popup 40081
hold 100 158
popup 40081
hold 100 158
shot $TESSARINTH_HOME/pasted.png
SCRIPT
check "the cut meeting is on the clipboard" 1 "$(state_value "$out" 1 clipboard.kind)"
agenda=$("$cli" agenda 2026-12-08 --tsv)
check "no meeting left on the 8th" 0 "$(echo "$agenda" | grep -c $'2026-12-08\tappointment')"
check "two meetings on the 10th at 10:30-11:15" 2 \
    "$(echo "$agenda" | grep -c $'2026-12-10\tappointment\t[0-9]*\t2026-12-10T10:30\t2026-12-10T11:15')"
check "each with every line of its memo" 2 "$("$cli" export - | grep -c '^DESCRIPTION:一行目\\n二行目\\n三行目')"
"$cli" screenshot --today 2026-12-07 "$TESSARINTH_HOME/shot.png" >/dev/null
check "the month's marks follow at once" same \
    "$(cmp -s "$TESSARINTH_HOME/pasted.png" "$TESSARINTH_HOME/shot.png" && echo same || echo differs)"
finish

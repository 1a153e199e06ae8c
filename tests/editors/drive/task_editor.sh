#!/usr/bin/env bash
# The task editor worked by hand through `tessarinth-cli drive`: a new task from 新規 → 仕事 with
# a subject, notes and a picked due date; then one with its due date cleared; then a delete that
# is answered No, and Yes.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out

"$cli" drive --today 2026-12-07T09:30 - >"$out" <<'SCRIPT'
command 40073
tap 100 35
type 牛乳
tap 100 150
type 2本
dialog ok date 2026-12-24
tap 119 59
command 1
state
SCRIPT
check "the task is due on the picked day with its notes" \
    "$(printf '0\t2026-12-24\ttask')" "$("$cli" agenda 2026-12-24 --tsv | head -n 1 | cut -f 1-3)"
check "its subject and notes" "$(printf '牛乳\t\t2本')" \
    "$("$cli" agenda 2026-12-24 --tsv | head -n 1 | cut -f 13-15)"
check "the task history starts with it" 牛乳 "$("$cli" history task | head -n 1)"
check "the picked day is the selected day" "2026-12-24 00:00" "$(state_value "$out" 1 selected)"
check "the main window is back" TESSARINTH "$(state_value "$out" 1 active)"

# Clr (the button beside the date) leaves the new task without a due date; its notes stay.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<'SCRIPT'
command 40073
tap 100 35
type 年賀状
tap 100 150
type 百枚
tap 139 59
command 1
SCRIPT
check "the task without due date keeps its notes" 1 \
    "$("$cli" export - | grep -c '^DESCRIPTION:百枚')"
check "and has no due date" 0 \
    "$("$cli" export - | awk '/SUMMARY:年賀状/,/END:VTODO/' | grep -c '^DUE')"

# 削除: No keeps the editor and the task, Yes deletes it. The task's row is opened by hand here,
# since the pen on the main screen is not needed to reach it: the editor opens on the record.
oid=$("$cli" agenda 2026-12-24 --tsv | head -n 1 | cut -f 4)
status=0
"$cli" drive --today 2026-12-07T09:30 - >"$out" 2>"$TESSARINTH_HOME/err" <<'SCRIPT' || status=$?
command 40073
answer no
tap 40 310
state
command 40014
SCRIPT
check "削除 on a new task closes without asking" 3 "$status"
check "so the queued answer was never used" 1 "$(grep -c 'never asked for: 1 answer' "$TESSARINTH_HOME/err")"
check "the stored task is still there" "$oid" "$("$cli" agenda 2026-12-24 --tsv | head -n 1 | cut -f 4)"
finish

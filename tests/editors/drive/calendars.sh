#!/usr/bin/env bash
# Several calendars on the screen, worked by hand through `tessarinth-cli drive`: the meeting
# moved to another calendar with the appointment editor's "." (and moved back by undo); an item
# of a read-only calendar offers only コピー, and its copy pasted lands in the default calendar.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out
"$cli" calendars >/dev/null  # makes the store
store=$TESSARINTH_HOME/schedule.sqlite
# The calendars a server's account (仕事) and a subscribed feed (学校) would bring.
sqlite3 "$store" "INSERT INTO calendars(name, color) VALUES('仕事', '#2E7D32');
    INSERT INTO calendars(name, url, subscription) VALUES('学校', 'https://example.org/s.ics', 1);"
"$cli" add appointment --start 2026-12-07T09:00 --end 2026-12-07T09:30 --subject 朝礼 \
    --calendar 学校 >/dev/null
"$cli" add appointment --start 2026-12-07T10:00 --end 2026-12-07T11:00 --subject 会議 >/dev/null
sqlite3 "$store" "UPDATE calendars SET read_only = 1 WHERE name = '学校'"
calendar_of() {
    sqlite3 "$store" "SELECT c.name FROM appointments a JOIN calendars c ON c.id = a.calendar
        WHERE a.subject = '$1' ORDER BY c.id"
}

# 会議 is the second row; "." of its calendar line, then 仕事, the second calendar offered.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<'SCRIPT'
tap 100 126
popup 2
tap 131 140
command 1
state
SCRIPT
check "the meeting is in the calendar chosen" 仕事 "$(calendar_of 会議)"
check "the main window is back" TESSARINTH "$(state_value "$out" 1 active)"
"$cli" undo >/dev/null
check "undo moves it back" カレンダー "$(calendar_of 会議)"

# Cut is greyed on the feed's item: the script's choice is refused, and nothing is cut.
if "$cli" drive --today 2026-12-07T09:30 - >"$out" 2>&1 <<'SCRIPT'; then
popup 40057
hold 100 110
SCRIPT
    check "choosing the greyed cut fails" failed succeeded
fi
check "the refusal names the greyed item" 1 "$(grep -c 'not an item the menu offers enabled' "$out")"
check "the feed's item is still there" 学校 "$(calendar_of 朝礼)"

# Copied and pasted on the meeting's row, the copy is the default calendar's.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<'SCRIPT'
popup 40058
hold 100 110
popup 40081
hold 100 126
SCRIPT
check "the copy lands in the default calendar" "$(printf 'カレンダー\n学校')" "$(calendar_of 朝礼)"
finish

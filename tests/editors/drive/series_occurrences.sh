#!/usr/bin/env bash
# A weekly meeting worked on through its occurrences with `tessarinth-cli drive`: one moved on
# the dial for itself alone, its texts changed for the whole series, one deleted alone, a cut of
# one, and the series deleted; the day list and the month marks right after each, and what the
# export then says (RECURRENCE-ID, EXDATE).
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out

# Tuesdays 10:00 to 11:00 from 1 December, six times. With the 7th selected the day list's row
# 1 is the 8th (y 126) and row 8 the 15th (y 238).
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 PRODID:-//test//EN BEGIN:VEVENT UID:weekly@test \
    'DTSTART;TZID=Asia/Tokyo:20261201T100000' 'DTEND;TZID=Asia/Tokyo:20261201T110000' \
    'RRULE:FREQ=WEEKLY;COUNT=6' 'SUMMARY:定例' END:VEVENT END:VCALENDAR >"$TESSARINTH_HOME/weekly.ics"
"$cli" import "$TESSARINTH_HOME/weekly.ics" >/dev/null
# times DAY: the start and end of the appointments listed on DAY, one per line.
times() {
    "$cli" agenda "$1" --tsv | awk -F'\t' -v day="$1" '$2 == day && $3 == "appointment"' |
        cut -f 5,6,13
}
mark() { "$cli" month "${1%-*}" --tsv | awk -F'\t' -v day="$1" '$1 == day { print $5 }'; }
export_lines() { "$cli" export - | tr -d '\r' | grep -E "^($1)" || true; }

# Opened and closed with OK unchanged, an occurrence asks nothing and writes nothing.
before=$("$cli" export - | grep -v '^DTSTAMP')
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
tap 100 126
command 1
state
SCRIPT
check "OK on an unchanged occurrence asks nothing" "" "$(grep '^message' "$out" || true)"
check "and closes the editor" TESSARINTH "$(state_value "$out" 1 active)"
check "leaving the store as it was" "$before" "$("$cli" export - | grep -v '^DTSTAMP')"

# Opened from its row, the editor holds the occurrence; the dial moves it to 11:00 and OK asks
# which; Cancel first keeps the editor open, then Yes changes this occurrence alone.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
tap 100 126
state
stroke 170 91 170 91
answer cancel
command 1
state
answer yes
command 1
state
SCRIPT
check "a tap on an occurrence opens the editor" TimeWindow "$(state_value "$out" 1 active)"
check "on the occurrence's own day and time" "2026-12-08 10:00" "$(state_value "$out" 1 record.Start)"
check "which repeats" 1 "$(state_value "$out" 1 record.Recurring)"
check "OK asks which" "$(printf 'message\t繰り返し\tこの予定だけ変更しますか？')" \
    "$(grep '^message' "$out" | head -n 1)"
check "Cancel stays in the editor" TimeWindow "$(state_value "$out" 2 active)"
check "Yes moves this occurrence alone" "$(printf '2026-12-08T11:00\t2026-12-08T12:00\t定例')" \
    "$(times 2026-12-08)"
check "the next stays" "$(printf '2026-12-15T10:00\t2026-12-15T11:00\t定例')" "$(times 2026-12-15)"
check "the change is written as its occurrence" "RECURRENCE-ID;TZID=Asia/Tokyo:20261208T100000" \
    "$(export_lines RECURRENCE-ID)"

# The 15th renamed for the whole series: every occurrence takes the subject, the moved one too,
# and none moves.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
tap 100 238
tap 100 35
type ・週次
answer no
command 1
SCRIPT
check "No renames the whole series" "$(printf '2026-12-15T10:00\t2026-12-15T11:00\t定例・週次')" \
    "$(times 2026-12-15)"
check "its first occurrence too" "$(printf '2026-12-01T10:00\t2026-12-01T11:00\t定例・週次')" \
    "$(times 2026-12-01)"
check "the series' rule is as it was" "RRULE:FREQ=WEEKLY;COUNT=6" "$(export_lines RRULE)"

# 削除 on the 15th: its usual question, then which; Yes cancels that occurrence alone.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
tap 100 238
answer yes
answer yes
command 40022
SCRIPT
check "削除 asks as always, then which" \
    "$(printf 'message\t確認\t削除してよろしいですか\nmessage\t繰り返し\tこの予定だけ削除しますか？')" \
    "$(grep '^message' "$out")"
check "the 15th is gone" "" "$(times 2026-12-15)"
check "and its month mark" 0 "$(mark 2026-12-15)"
check "the 22nd stays" "$(printf '2026-12-22T10:00\t2026-12-22T11:00\t定例・週次')" "$(times 2026-12-22)"
check "the export says so" "EXDATE;TZID=Asia/Tokyo:20261215T100000" "$(export_lines EXDATE)"

# A cut of the 22nd's occurrence alone, then a paste on the 10th: a single appointment there.
"$cli" drive --today 2026-12-21T09:30 - >"$out" <<SCRIPT
answer yes
popup 40057
hold 100 126
SCRIPT
check "a cut asks which" "$(printf 'message\t繰り返し\tこの予定だけ切り取りますか？')" \
    "$(grep '^message' "$out")"
check "and takes the occurrence alone" "" "$(times 2026-12-22)"
check "leaving the 29th" "$(printf '2026-12-29T10:00\t2026-12-29T11:00\t定例・週次')" \
    "$(times 2026-12-29)"

# 削除 with No deletes the series with its change; the month marks go with it.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
tap 100 126
answer yes
answer no
command 40022
SCRIPT
check "No deletes the whole series" 0 "$("$cli" export - | grep -c '^BEGIN:VEVENT')"
check "its marks too" "0 0" "$(mark 2026-12-01) $(mark 2026-12-29)"

# 繰返 on a new appointment: every week on its weekday (Monday the 7th) until the end of the
# 29th; the list and the month marks show it at once.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
command 40045
tap 100 35
type 朝会
stroke 150 126 150 126
dialog ok check 1313 1 check 1316 1 date 2026-12-29 shot $TESSARINTH_HOME/repeat.png 2
command 40090
state
command 1
SCRIPT
check "the editor shows that it repeats" 1 "$(state_value "$out" 1 record.Recurring)"
check "a new weekly appointment repeats on its weekday" \
    "$(printf '2026-12-14T09:00\t2026-12-14T10:00\t朝会')" "$(times 2026-12-14)"
check "up to its last day" "$(printf '2026-12-28T09:00\t2026-12-28T10:00\t朝会')" \
    "$(times 2026-12-28)"
check "and no further" "" "$(times 2027-01-04)"
check "the month marks follow" "1 0 1 1 0" \
    "$(mark 2026-12-07) $(mark 2026-12-08) $(mark 2026-12-21) $(mark 2026-12-28) $(mark 2026-12-29)"
check "written as a rule ending with its last day" "RRULE:FREQ=WEEKLY;UNTIL=20261229T145959Z" \
    "$(export_lines RRULE)"

# なし on its occurrence of the 14th (row 7) asks, then leaves that occurrence alone as a single
# appointment.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
tap 100 222
dialog ok check 1311 1
answer yes
command 40090
command 1
SCRIPT
check "ending the series asks first" \
    "$(printf 'message\t繰り返し\t繰り返しをやめて、この予定だけを残しますか？')" "$(grep '^message' "$out")"
check "the occurrence stays" "$(printf '2026-12-14T09:00\t2026-12-14T10:00\t朝会')" \
    "$(times 2026-12-14)"
check "alone" "0 0" "$(mark 2026-12-07) $(mark 2026-12-21)"
check "without a rule" "" "$(export_lines RRULE)"

# 毎月 chosen on a later occurrence of a weekly series repeats from the series' own first day
# (the 5th), not the occurrence's (the 12th).
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 PRODID:-//test//EN BEGIN:VEVENT UID:monthly@test \
    'DTSTART;TZID=Asia/Tokyo:20270105T150000' 'DTEND;TZID=Asia/Tokyo:20270105T160000' \
    'RRULE:FREQ=WEEKLY;COUNT=4' 'SUMMARY:月例' END:VEVENT END:VCALENDAR >"$TESSARINTH_HOME/monthly.ics"
"$cli" import "$TESSARINTH_HOME/monthly.ics" >/dev/null
"$cli" drive --today 2027-01-11T09:30 - >"$out" <<SCRIPT
tap 100 126
dialog ok check 1314 1
command 40090
command 1
SCRIPT
check "the series repeats every month from its first day" \
    "$(printf '2027-02-05T15:00\t2027-02-05T16:00\t月例')" "$(times 2027-02-05)"
check "and no longer weekly" "" "$(times 2027-01-12)"
finish

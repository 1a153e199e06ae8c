#!/usr/bin/env bash
# Repeating meetings worked on the screen travel through a real CalDAV server started here
# (Radicale or xandikos, as TESSARINTH_SYNC_SERVER says): a weekly series made in the editor
# arrives as its RRULE, an occurrence moved alone as a VEVENT with its RECURRENCE-ID, one deleted
# alone as an EXDATE, and a second data home shows the same weeks.
set -euo pipefail
cli=${1:?usage: series_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
unset DBUS_SESSION_BUS_ADDRESS

# The lines of the server's copy of the series that name its times and occurrences.
server_lines() {
    local href
    href=$(list_hrefs "$calendar" | head -n 1)
    get_ics "$href" | tr -d '\r' | grep -E '^(RRULE|EXDATE|RECURRENCE-ID)[;:]' | sort
}
times() {
    as "$1" agenda "$2" --tsv | awk -F'\t' -v day="$2" '$2 == day && $3 == "appointment"' |
        cut -f 5,6,13
}

start_server "$work/server"
calendar=${calendar_home}calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"
for home in a b; do
    mkdir -p "$work/$home"
    echo "$server_password" | as "$home" sync setup --events "$server_url$calendar" \
        --user alice --password-stdin --timeout 5 >/dev/null
done

# Home a: 朝会 every Monday at 09:00 until the end of the 28th, made in the editor.
as a drive --today 2026-12-07T08:00 - >"$work/drive.out" <<'SCRIPT'
command 40045
tap 100 35
type 朝会
stroke 150 126 150 126
dialog ok check 1313 1 check 1316 1 date 2026-12-28
command 40090
command 1
SCRIPT
check "the series goes up" 0 "$(as a sync >/dev/null 2>&1; echo $?)"
check "as its rule" "RRULE:FREQ=WEEKLY;UNTIL=20261228T145959Z" "$(server_lines)"

# The 14th moved to 11:00 for itself alone (row 7 of the list from the 7th), the 21st deleted
# alone (row 14 of the list from the 14th: row 7).
as a drive --today 2026-12-07T08:00 - >"$work/drive.out" <<'SCRIPT'
tap 100 222
stroke 170 91 170 91
answer yes
command 1
SCRIPT
as a drive --today 2026-12-14T08:00 - >"$work/drive.out" <<'SCRIPT'
tap 100 222
answer yes
answer yes
command 40022
SCRIPT
check "the changes go up" 0 "$(as a sync >/dev/null 2>&1; echo $?)"
check "as an EXDATE and a RECURRENCE-ID" \
    "$(printf '%s\n' 'EXDATE;TZID=Asia/Tokyo:20261221T090000' \
        'RECURRENCE-ID;TZID=Asia/Tokyo:20261214T090000' \
        'RRULE:FREQ=WEEKLY;UNTIL=20261228T145959Z')" "$(server_lines)"

# Home b receives the series and shows the same weeks.
check "the other home receives it" 0 "$(as b sync >/dev/null 2>&1; echo $?)"
for day in 2026-12-07 2026-12-14 2026-12-21 2026-12-28 2027-01-04; do
    check "the other home's $day is as here" "$(times a "$day")" "$(times b "$day")"
done
check "the moved occurrence is at 11:00 there" \
    "$(printf '2026-12-14T11:00\t2026-12-14T12:00\t朝会')" "$(times b 2026-12-14)"

echo "$((12 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]

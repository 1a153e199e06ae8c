#!/usr/bin/env bash
# Speed of `tessarinth-cli sync` against a real Radicale on this machine, as the user runs it:
# the first sync of a planner that fetches a whole collection, a sync with nothing to do (a sync
# token, no changes), and the first sync that puts a store on an empty collection. Beside each,
# the CPU seconds of the sync process itself: the rest is the server's time and the wait for it.
# Prints a Markdown table.
#
# usage: bash bench/sync_bench.sh [BUILD_DIR] [ITEMS] [UPLOADS]
#        (default: build, 20000 items fetched, 1000 items put)
#
# Needs radicale and curl (scripts/setup.sh) and in BUILD_DIR:
#   cmake --build BUILD_DIR --target tessarinth-cli
# The calendars are bench/generate_calendar.py's (seed 1): nine in ten items events (one in a
# hundred of them series), one in ten tasks. The server's collection is filled with one PUT of the
# whole calendar, as Radicale allows.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
items=${2:-20000}
uploads=${3:-1000}
here=$(cd "$(dirname "$0")" && pwd)
cli=$build/cli/tessarinth-cli
# Radicale takes a whole calendar in one PUT on its collection, which fills it in a moment.
TESSARINTH_SYNC_SERVER=radicale
source "$here/../tests/sync/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; rm -rf "$work"' EXIT
export TZ=Asia/Tokyo
unset DBUS_SESSION_BUS_ADDRESS

# calendar COUNT FILE: a generated calendar of COUNT items.
calendar() {
    local events=$(($1 * 9 / 10))
    python3 "$here/generate_calendar.py" "$events" $((events / 100)) $(($1 - events)) >"$2"
}
as() {
    local home=$1
    shift
    TESSARINTH_HOME="$work/$home" "$cli" "$@"
}
setup() {
    mkdir -p "$work/$1"
    echo "$server_password" | as "$1" sync setup --events "$server_url$2" --user alice \
        --password-stdin --timeout 300 >/dev/null
}
# timed HOME: one sync of that home; prints "WALL CPU" in seconds.
timed() {
    local TIMEFORMAT='%R %U %S'
    { time as "$1" sync >"$work/$1.out"; } 2>&1 | awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }'
}
expect() {
    grep -q "$2" "$work/$1.out" || { echo "unexpected: $(cat "$work/$1.out")" >&2; exit 1; }
}

start_server "$work/server"
calendar "$items" "$work/calendar.ics"
status=$(http -o /dev/null -w '%{http_code}' -X PUT -H 'Content-Type: text/calendar' \
    --data-binary "@$work/calendar.ics" "$server_url/alice/calendar/")
[ "$status" = 201 ] || { echo "cannot fill the collection: HTTP $status" >&2; exit 1; }

setup receiver /alice/calendar/
read -r get_wall get_cpu < <(timed receiver)
expect receiver ": $items received"
runs=()
for _ in 1 2 3 4 5; do
    runs+=("$(timed receiver)")
    expect receiver ': 0 received, 0 sent, 0 deleted here'
done
read -r none_wall none_cpu < <(printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p)

make_calendar /alice/upload/ >/dev/null
setup sender /alice/upload/
calendar "$uploads" "$work/upload.ics"
as sender import "$work/upload.ics" >/dev/null
read -r put_wall put_cpu < <(timed sender)
expect sender " $uploads sent"
echo "| sync | wall s | CPU s of the sync |"
echo "| --- | --- | --- |"
echo "| first sync, $items items fetched from the server | $get_wall | $get_cpu |"
echo "| nothing to do ($items items, sync token), median of 5 | $none_wall | $none_cpu |"
echo "| first sync, $uploads items put on an empty collection | $put_wall | $put_cpu |"

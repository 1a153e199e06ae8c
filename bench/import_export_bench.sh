#!/usr/bin/env bash
# Peak memory and wall time of `tessarinth-cli import` and `export` on large generated calendars:
# each import into an empty data home, then the export of that home to a file. Prints a Markdown
# table.
#
# usage: bash bench/import_export_bench.sh [BUILD_DIR] [SIZES]      (default: build "200k 1M")
#
# Needs /usr/bin/time (GNU time), python3 and BUILD_DIR/cli/tessarinth-cli. The calendars are
# bench/generate_calendar.py's (seed 1), kept under $TESSARINTH_BENCH_DIR/import-export (default
# /tmp/tessarinth-bench) and written again only when the generator changes:
#   200k   190,000 events (1,000 series) and 10,000 tasks
#   1M     950,000 events (1,000 series) and 50,000 tasks
# with a changed occurrence of each series appended at the end of the calendar (its first
# occurrence an hour later), so that every series is held until its changes have been read.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
sizes=${2:-200k 1M}
here=$(cd "$(dirname "$0")" && pwd)
cli=$build/cli/tessarinth-cli
work=${TESSARINTH_BENCH_DIR:-/tmp/tessarinth-bench}/import-export
export TZ=Asia/Tokyo

[ -x /usr/bin/time ] || { echo "needs GNU time (apt-get install time)" >&2; exit 1; }
[ -x "$cli" ] || { echo "build it first: cmake --build $build --target tessarinth-cli" >&2; exit 1; }
mkdir -p "$work"

# calendar NAME EVENTS TASKS: the calendar's file, generated when missing or out of date.
calendar() {
    local file=$work/$1.ics
    local stamp
    stamp="$2 $3 $(sha256sum "$here/generate_calendar.py" "$0" | cut -c1-16 | tr -d '\n')"
    if [ ! -f "$file" ] || [ "$(cat "$file.stamp" 2>/dev/null)" != "$stamp" ]; then
        echo "generating the $1 calendar ..." >&2
        python3 "$here/generate_calendar.py" "$2" 1000 "$3" | awk '
            { sub(/\r$/, "") }
            /^UID:/ { uid = $0 }
            /^DTSTART:/ { start = substr($0, 9) }
            /^RRULE:/ { series[++count] = uid; starts[count] = start }
            /^END:VCALENDAR/ {
                for (i = 1; i <= count; i++) {
                    s = starts[i]
                    hour = substr(s, 10, 2) + 1
                    moved = sprintf("%sT%02d%s", substr(s, 1, 8), hour, substr(s, 12))
                    printf "BEGIN:VEVENT\r\n%s\r\nRECURRENCE-ID:%s\r\n", series[i], s
                    printf "DTSTART:%s\r\nSUMMARY:変更\r\nEND:VEVENT\r\n", moved
                }
            }
            { printf "%s\r\n", $0 }' >"$file.new"
        mv "$file.new" "$file"
        echo "$stamp" >"$file.stamp"
    fi
    echo "$file"
}

# measure LOG COMMAND...: runs the command under GNU time; prints "peak-MiB seconds".
measure() {
    local log=$1
    shift
    if ! /usr/bin/time -v "$@" >"$log.out" 2>"$log"; then
        cat "$log" "$log.out" >&2
        exit 1
    fi
    local kib wall
    kib=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log")
    python3 -c 'import sys
kib, wall = int(sys.argv[1]), sys.argv[2].split(":")
seconds = sum(float(part) * 60 ** i for i, part in enumerate(reversed(wall)))
print("%.0f %.1f" % (kib / 1024, seconds))' "$kib" "$wall"
}

echo "| calendar | file | import: peak | import: time | export: peak | export: time | exported file |"
echo "| --- | --- | --- | --- | --- | --- | --- |"
for size in $sizes; do
    case $size in
    200k) events=190000 tasks=10000 ;;
    1M) events=950000 tasks=50000 ;;
    *) echo "sizes are 200k and 1M" >&2; exit 1 ;;
    esac
    file=$(calendar "$size" "$events" "$tasks")
    home=$work/home-$size
    rm -rf "$home"
    mkdir -p "$home"
    read -r importPeak importTime < <(TESSARINTH_HOME=$home measure "$work/import-$size.log" \
        "$cli" import "$file")
    read -r exportPeak exportTime < <(TESSARINTH_HOME=$home measure "$work/export-$size.log" \
        "$cli" export "$work/export-$size.ics")
    fileMb=$(du -m --apparent-size "$file" | cut -f1)
    exportMb=$(du -m --apparent-size "$work/export-$size.ics" | cut -f1)
    echo "| $size | $fileMb MB | $importPeak MiB | $importTime s | $exportPeak MiB | $exportTime s | $exportMb MB |"
    sed -n 1p "$work/import-$size.log.out" >&2
    rm -rf "$home" "$work/export-$size.ics"
done

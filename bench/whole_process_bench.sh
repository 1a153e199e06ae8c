#!/usr/bin/env bash
# Whole-process speed of `tessarinth-cli agenda --tsv` and `month --tsv`, beside the floor: a small
# C program (agenda_floor) answering the same window from the same store file with indexed
# SQLite queries, the least any program can do; and the planner's start-up to its first paint on
# an empty data home and on the 200k one. Prints the medians as a Markdown table.
#
# usage: bash bench/whole_process_bench.sh [BUILD_DIR]      (default: build)
#        MEASURE=instructions bash bench/whole_process_bench.sh [BUILD_DIR]
#
# MEASURE=time (the default) takes wall-clock medians with hyperfine; MEASURE=instructions counts
# the instructions of each whole process once with callgrind (dynamic loader included), which the
# machine's load does not move.
#
# Needs hyperfine (apt-get install hyperfine) or valgrind, python3, and in BUILD_DIR:
#   cmake --build BUILD_DIR --target tessarinth-cli agenda_floor tessarinth
# (without the planner, its start-up rows are left out).
#
# The stores are generated once (bench/generate_calendar.py, seed 1) and imported through the
# CLI into data homes under $TESSARINTH_BENCH_DIR/whole-process (default /tmp/tessarinth-bench),
# and built again only when the generator changes:
#   20k       20,000 events (200 series), 2,000 tasks
#   200k      200,000 events (1,000 series), 10,000 tasks
#   20k-open  the 20k calendar with 20,000 more open tasks without a due date
# Each command runs $RUNS times (default 7) after 3 warm-up runs, in Tokyo time.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cli=$build/cli/tessarinth-cli
floor=$build/bench/agenda_floor
planner=$build/app/tessarinth
runs=${RUNS:-7}
measure=${MEASURE:-time}
agenda_day=2025-10-05
month=2025-10
stores=${TESSARINTH_BENCH_DIR:-/tmp/tessarinth-bench}/whole-process
export TZ=Asia/Tokyo

case $measure in
time) tools="hyperfine python3" unit=ms ;;
instructions) tools="valgrind python3" unit=M ;;
*) echo "MEASURE is time or instructions" >&2; exit 1 ;;
esac
for tool in $tools; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install $tool)" >&2; exit 1; }
done
for program in "$cli" "$floor"; do
    [ -x "$program" ] || {
        echo "build it first: cmake --build $build --target tessarinth-cli agenda_floor" >&2
        exit 1
    }
done

# store NAME EVENTS SERIES TASKS OPEN_UNDATED: the data home of that calendar, built when
# missing or made by another generator.
store() {
    local home=$stores/$1
    local stamp
    stamp="$2 $3 $4 $5 $(sha256sum "$here/generate_calendar.py" | cut -c1-16)"
    if [ ! -f "$home/schedule.sqlite" ] || [ "$(cat "$home/stamp" 2>/dev/null)" != "$stamp" ]; then
        echo "building the $1 store ..." >&2
        rm -rf "$home"
        mkdir -p "$home"
        python3 "$here/generate_calendar.py" "$2" "$3" "$4" "$5" >"$home/calendar.ics"
        TESSARINTH_HOME=$home "$cli" import "$home/calendar.ics" >&2
        rm "$home/calendar.ics"
        echo "$stamp" >"$home/stamp"
    fi
    echo "$home"
}

# instructions HOME COMMAND...: the instructions the whole process runs, in millions.
instructions() {
    local home=$1
    shift
    local log
    log=$(mktemp)
    if ! TESSARINTH_HOME=$home valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" \
        >/dev/null 2>"$log"; then
        cat "$log" >&2
        exit 1
    fi
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$log" |
        python3 -c 'import sys; print("%.2f" % (int(sys.stdin.read()) / 1e6))'
    rm -f "$log"
}

# median HOME COMMAND...: the median wall time of the command in milliseconds, or its
# instructions in millions (MEASURE=instructions).
median() {
    if [ "$measure" = instructions ]; then
        instructions "$@"
        return
    fi
    local home=$1
    shift
    local json log
    json=$(mktemp)
    log=$(mktemp)
    if ! TESSARINTH_HOME=$home hyperfine -N --warmup 3 --runs "$runs" --style basic \
        --export-json "$json" "$*" >"$log" 2>&1; then
        cat "$log" >&2
        exit 1
    fi
    python3 -c 'import json, sys; print("%.1f" % (json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))' "$json"
    rm -f "$json" "$log"
}

declare -A cliTime floorTime
cases=()
for size in "20k 20000 200 2000 0" "200k 200000 1000 10000 0" "20k-open 20000 200 2000 20000"; do
    read -r name events series tasks openTasks <<<"$size"
    home=$(store "$name" "$events" "$series" "$tasks" "$openTasks")
    db=$home/schedule.sqlite
    items=$("$floor" "$db" agenda "$agenda_day" | cut -f1 | sort | uniq -c |
        awk '{ printf "%s%s %s", sep, $1, $2; sep = ", " }')
    echo "$name: the agenda's window holds $items (as the floor reads it)" >&2
    for command in agenda month; do
        # The open tasks change only what the agenda's corner panel reads.
        [ "$name" = 20k-open ] && [ "$command" = month ] && continue
        argument=$agenda_day
        [ "$command" = month ] && argument=$month
        cliTime[$name $command]=$(median "$home" "$cli" "$command" "$argument" --tsv)
        floorTime[$name $command]=$(median "$home" "$floor" "$db" "$command" "$argument")
        cases+=("$name $command")
    done
done

# The planner to its first paint (TESSARINTH_REPORT_STARTUP ends it there), offscreen.
declare -A startup
if [ -x "$planner" ]; then
    empty=$(mktemp -d)
    startup[empty]=$(QT_QPA_PLATFORM=offscreen TESSARINTH_REPORT_STARTUP=1 median "$empty" "$planner")
    rm -rf "$empty"
    startup[200k]=$(QT_QPA_PLATFORM=offscreen TESSARINTH_REPORT_STARTUP=1 \
        median "$stores/200k" "$planner")
fi

header="| |"
rule="|---|"
cliRow="| tessarinth-cli"
floorRow="| floor"
ratioRow="| ratio"
for c in "${cases[@]}"; do
    header+=" $c |"
    rule+="---|"
    cliRow+=" | ${cliTime[$c]} $unit"
    floorRow+=" | ${floorTime[$c]} $unit"
    ratioRow+=" | $(python3 -c 'import sys; print("%.1fx" % (float(sys.argv[1]) / float(sys.argv[2])))' "${cliTime[$c]}" "${floorTime[$c]}")"
done
echo
echo "$header"
echo "$rule"
echo "$cliRow |"
echo "$floorRow |"
echo "$ratioRow |"
if [ -x "$planner" ]; then
    echo
    echo "| planner start-up to first paint | empty home | 200k |"
    echo "|---|---|---|"
    echo "| tessarinth | ${startup[empty]} $unit | ${startup[200k]} $unit |"
fi

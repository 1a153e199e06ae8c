#!/usr/bin/env bash
# End to end: the real planner under a virtual X display, on a fresh data home. Checks that the
# screen comes up with its bars and main window, that a second launch ends at once, leaving
# the first running (and showing the day a launch for a day asks for), and that of two copies
# launched at the same moment exactly one runs.
# Leaves its screenshot as screen_e2e.png in the current folder.
set -euo pipefail
planner=${1:?usage: screen_e2e.sh PATH-TO-tessarinth}

# The part that runs on the virtual display (the script calls itself there).
if [ "${2:-}" = "--on-display" ]; then
    home=$3 here=$4
    export TESSARINTH_HOME="$home" QT_QPA_PLATFORM=xcb
    "$planner" 2>"$home/first.log" &
    first=$!
    for _ in $(seq 100); do
        xwininfo -root -tree 2>/dev/null | grep -q '"Tessarinth"' && break
        sleep 0.1
    done
    xwininfo -name Tessarinth >"$home/window.txt" || { echo "FAIL: no window"; cat "$home/first.log"; exit 1; }
    sleep 0.5

    # A second launch for the same data home brings the first forward and ends with 0.
    if ! timeout 10 "$planner"; then
        echo "FAIL: the second launch did not end cleanly"; exit 1
    fi
    kill -0 "$first" || { echo "FAIL: the first copy ended"; exit 1; }

    import -window root "$here/screen_e2e.png"

    # A launch for a day (as a reminder's notification starts one) shows that day in the copy
    # already running: its screen changes, and the launch ends with 0.
    if ! TESSARINTH_OPEN_DAY=2031-03-15 timeout 10 "$planner"; then
        echo "FAIL: the launch for a day did not end cleanly"; exit 1
    fi
    changed=0
    for _ in $(seq 20); do
        sleep 0.5
        import -window root "$home/on-day.png"
        changed=$(compare -metric AE "$here/screen_e2e.png" "$home/on-day.png" null: 2>&1 || true)
        [ "${changed%% *}" != 0 ] && break
    done
    if [ "${changed%% *}" = 0 ]; then
        echo "FAIL: the running copy did not move to the day it was asked for"; exit 1
    fi
    kill "$first"
    wait "$first" || true

    # Two copies launched at the same moment on a fresh data home: one runs, and the other asks
    # it to come forward and ends with 0.
    export TESSARINTH_HOME="$home/together"
    "$planner" 2>"$home/together-a.log" &
    a=$!
    "$planner" 2>"$home/together-b.log" &
    b=$!
    stop() { kill "$a" "$b" 2>/dev/null || true; }
    for _ in $(seq 150); do
        { kill -0 "$a" 2>/dev/null && kill -0 "$b" 2>/dev/null; } || break
        sleep 0.1
    done
    if kill -0 "$a" 2>/dev/null && kill -0 "$b" 2>/dev/null; then
        echo "FAIL: both copies launched together kept running"; stop; exit 1
    fi
    if kill -0 "$a" 2>/dev/null; then running=$a ended=$b; else running=$b ended=$a; fi
    code=0
    wait "$ended" || code=$?
    if [ "$code" != 0 ]; then
        echo "FAIL: the copy that stood aside ended with $code"
        cat "$home"/together-*.log; stop; exit 1
    fi
    sleep 0.5
    if ! kill -0 "$running" 2>/dev/null; then
        echo "FAIL: neither copy kept running"; cat "$home"/together-*.log; exit 1
    fi
    # The copy left running still owns the name: a later launch reaches it and ends.
    if ! timeout 10 "$planner"; then
        echo "FAIL: a launch after the pair did not end cleanly"; stop; exit 1
    fi
    kill -0 "$running" || { echo "FAIL: the running copy ended after a later launch"; exit 1; }
    kill "$running"
    wait "$running" || true
    exit 0
fi

here=$(pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
xvfb-run -a -s "-screen 0 1000x1000x24" bash "$0" "$planner" --on-display "$home" "$here"

x=$(awk '/Absolute upper-left X/ {print $4}' "$home/window.txt")
y=$(awk '/Absolute upper-left Y/ {print $4}' "$home/window.txt")
w=$(awk '/Width:/ {print $2}' "$home/window.txt")
h=$(awk '/Height:/ {print $2}' "$home/window.txt")
pixel() { convert "$here/screen_e2e.png" -format "%[pixel:p{$1,$2}]" info:; }
expect() {
    local what=$1 got
    got=$(pixel "$2" "$3")
    if [ "$got" != "$4" ]; then
        echo "FAIL: $what at ($2,$3) is $got, expected $4"; exit 1
    fi
    echo "ok: $what"
}
# A device pixel, at the middle of the square the zoom makes of it.
zoom=$((w / 240))
device() { expect "$1" $((x + $2 * zoom + zoom / 2)) $((y + $3 * zoom + zoom / 2)) "$4"; }
expect "navigation bar" $((x + w - 4)) $((y + 4)) "srgb(31,58,95)"
device "main window's grey edge" 1 100 "srgb(128,128,128)"
device "month grid's top line" 130 28 "srgb(0,0,0)"
device "day list" 120 226 "srgb(255,255,255)"
expect "menu bar" $((x + w - 4)) $((y + h - 4)) "srgb(232,235,239)"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# Inputs that never end, or are far too large, or are not files at all: each command that reads
# one ends with status 1 and a message, within 200 MiB of address space (ulimit -v on the child:
# a command that read them whole would be refused its memory and end otherwise), and stores
# nothing. `timeout` only guards the suite against a command that would wait for ever; how long
# they take is measured by bench/bounded_inputs_bench.sh.
set -euo pipefail
cli=${1:?usage: bounded_inputs.sh PATH-TO-tessarinth-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSARINTH_HOME=$work/home
export TZ=Europe/Berlin
failures=0
checks=0
check() {
    checks=$((checks + 1))
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}

# run NAME COMMAND...: tessarinth-cli under the memory limit; its status, output in $work/NAME.*
run() {
    local name=$1 status=0
    shift
    # A sanitized build reserves terabytes of address space for its shadow memory and cannot
    # start under the limit: there the commands run without it (SANITIZED_BUILD=1), and the
    # sanitizers watch the same paths for memory faults instead.
    (if [ -z "${SANITIZED_BUILD:-}" ]; then ulimit -v $((200 * 1024)); fi &&
        exec timeout ${HANG_GUARD:-60} "$cli" "$@") \
        >"$work/$name.out" 2>"$work/$name.err" <"${input:-/dev/null}" || status=$?
    echo "$status"
}
said() { grep -c -- "$2" "$work/$1.err" || true; }

"$cli" add task --subject 最初の一つ >/dev/null
stored=$(sha256sum "$TESSARINTH_HOME/schedule.sqlite")
appointment=(add appointment --start 2026-12-10T10:00 --end 2026-12-10T11:00 --subject 図)

check "import /dev/zero ends" 1 "$(run zero import /dev/zero)"
check "naming the cause" 1 "$(said zero 'cannot read /dev/zero: not a regular file')"
check "import --check /dev/urandom ends" 1 "$(run random import --check /dev/urandom)"
check "naming the cause" 1 "$(said random 'not a regular file')"
mkfifo "$work/zeros" "$work/endless"
cat /dev/zero >"$work/zeros" 2>/dev/null &
check "zeros through a pipe end at the first line" 1 "$(run zero-pipe import "$work/zeros")"
check "which is no calendar's" 1 "$(said zero-pipe 'line 1: not an iCalendar file')"
wait || true
{ printf 'BEGIN:VCALENDAR\r\n'; yes 'X-JUNK:jjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjj'; } \
    >"$work/endless" 2>/dev/null &
check "an endless calendar in a pipe ends at the ceiling" 1 "$(run endless import "$work/endless")"
check "saying so" 1 "$(said endless 'larger than 33554432 bytes')"
wait || true  # the writer ends when its reader has gone
# A regular file is read as a stream, up to its own ceiling (1 GiB): past it, refused by its size
# before a byte is read; below it, a file of zeros at its first line.
truncate -s 1025M "$work/sparse.ics"
check "a file past the ceiling is refused" 1 "$(run sparse import "$work/sparse.ics")"
check "by its size" 1 "$(said sparse "larger than 1073741824 bytes")"
truncate -s 40M "$work/zeros.ics"
check "a file of zeros below it is refused" 1 "$(run zeros-file import "$work/zeros.ics")"
check "at its first line" 1 "$(said zeros-file 'line 1: not an iCalendar file')"

check "--ink /dev/zero ends" 1 "$(run ink-zero "${appointment[@]}" --ink /dev/zero)"
check "naming the cause" 1 "$(said ink-zero 'not a regular file')"
mkfifo "$work/ink-fifo"
check "--ink of a FIFO nobody writes to ends" 1 "$(run ink-fifo "${appointment[@]}" --ink "$work/ink-fifo")"
check "naming the cause" 1 "$(said ink-fifo 'not a regular file')"
head -c 80000000 /dev/zero >"$work/80mb.ink"
check "an 80 MB ink file is refused" 1 "$(run ink-large "${appointment[@]}" --ink "$work/80mb.ink")"
check "by its size" 1 "$(said ink-large 'larger than 16000 bytes')"
check "nothing was stored" "$stored" "$(sha256sum "$TESSARINTH_HOME/schedule.sqlite")"

setup=(sync setup --events http://127.0.0.1:9/alice/calendar/ --user alice --password-stdin)
check "a password from /dev/zero ends" 1 "$(input=/dev/zero run password-zero "${setup[@]}")"
check "saying why" 1 "$(said password-zero 'the password is longer than 4096 bytes')"
{ head -c 50000000 /dev/zero | tr '\0' 'p'; echo; } >"$work/long-password"
check "a 50 MB password line is refused" 1 \
    "$(input=$work/long-password run password-long "${setup[@]}")"
check "and nothing was set up" 0 "$(find "$TESSARINTH_HOME" -name 'sync*' | wc -l)"

# The settings file made a FIFO: the settings are shown from an empty registry, the cause said.
"$cli" settings >/dev/null
mv "$TESSARINTH_HOME/registry.json" "$work/registry.json"
mkfifo "$TESSARINTH_HOME/registry.json"
check "settings with a FIFO for its file end" 0 "$(run settings settings)"
check "naming the cause" 1 "$(said settings 'not a regular file')"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]

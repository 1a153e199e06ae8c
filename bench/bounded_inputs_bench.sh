#!/usr/bin/env bash
# How long, and with how much memory at the peak, tessarinth-cli refuses inputs that never end or
# are far too large. Each goal: under 10 s and under 200 MiB. Prints a Markdown table.
#
# usage: bash bench/bounded_inputs_bench.sh [BUILD_DIR]      (default: build)
#
# The peak is the command's largest resident set (getrusage), the time its wall-clock time, each
# the worst of $RUNS runs (default 3); needs python3. tests/cli/bounded_inputs.sh checks that
# the same inputs end with a message under a 200 MiB address-space limit.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
cli=$build/cli/tessarinth-cli
runs=${RUNS:-3}
[ -x "$cli" ] || { echo "build it first: cmake --build $build --target tessarinth-cli" >&2; exit 1; }
work=$(mktemp -d)
server_pid=""
trap '[ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT
export TESSARINTH_HOME=$work/home TZ=Asia/Tokyo

# row LABEL STDIN COMMAND...: the worst of the runs as a table row. STDIN is a file, or
# "zero-pipe" for a pipe fed from /dev/zero for as long as the command reads.
row() {
    python3 - "$runs" "$@" <<'EOF'
import resource, subprocess, sys, time
runs, label, stdin_source, command = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
worst_seconds, status = 0.0, None
for _ in range(runs):
    feeder = None
    if stdin_source == "zero-pipe":
        feeder = subprocess.Popen(["cat", "/dev/zero"], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        stdin = feeder.stdout
    else:
        stdin = open(stdin_source, "rb")
    start = time.monotonic()
    done = subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    worst_seconds = max(worst_seconds, time.monotonic() - start)
    status = done.returncode
    stdin.close()
    if feeder:
        feeder.kill()
        feeder.wait()
# The largest resident set of any child so far: each row runs in a Python of its own.
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"| {label} | {worst_seconds:.3f} | {peak:.1f} | {status} |")
EOF
}

"$cli" add task --subject bench >/dev/null
head -c 80000000 /dev/zero >"$work/80mb.ink"
appointment=(add appointment --start 2026-12-10T10:00 --end 2026-12-10T11:00 --subject x)
endless_calendar() {
    mkfifo "$work/endless"
    { printf 'BEGIN:VCALENDAR\r\n'; yes 'X-JUNK:jjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjj'; } \
        >"$work/endless" 2>/dev/null &
}

echo "| input | seconds | peak MiB | status |"
echo "|---|---|---|---|"
row "import /dev/zero" /dev/null "$cli" import /dev/zero
row "import --check /dev/urandom" /dev/null "$cli" import --check /dev/urandom
row "import of an endless pipe of zeros" zero-pipe "$cli" import /dev/stdin
runs_before=$runs
runs=1
endless_calendar
row "import of an endless calendar in a pipe (read to the 32 MiB ceiling)" /dev/null \
    "$cli" import "$work/endless"
wait || true
runs=$runs_before
row "add --ink /dev/zero" /dev/null "$cli" "${appointment[@]}" --ink /dev/zero
row "add --ink of an 80 MB file" /dev/null "$cli" "${appointment[@]}" --ink "$work/80mb.ink"
row "sync setup --password-stdin </dev/zero" /dev/zero "$cli" sync setup \
    --events http://127.0.0.1:9/a/ --user a --password-stdin

# A server whose answer to the sync's report never ends, or announces 2 GiB (read to the 64 MiB
# cap, or refused by its announced length).
for mode in chunked length; do
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    python3 "$(dirname "$0")/endless_server.py" "$port" "$mode" &
    server_pid=$!
    until python3 -c "import socket; socket.create_connection(('127.0.0.1', $port))" 2>/dev/null; do
        sleep 0.1
    done
    echo secret | "$cli" sync setup --events "http://127.0.0.1:$port/cal/" --user a \
        --password-stdin >/dev/null
    label="sync against a report without end"
    [ "$mode" = length ] && label="sync against a report announcing 2 GiB"
    row "$label" /dev/null "$cli" sync
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
done

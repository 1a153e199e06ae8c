# Sourced by the sync scenarios: a Radicale server of the test's own on 127.0.0.1 (a free port, a
# temporary storage folder and a temporary htpasswd), stopped when the scenario ends, and helpers
# to reach it with plain HTTP as another client would.
#
#   start_radicale FOLDER     starts it with user "alice", password "secret"; sets radicale_url
#   stop_radicale             stops it (the scenario's EXIT trap calls it too)
#   make_calendar PATH        creates a calendar collection (MKCALENDAR), e.g. /alice/calendar/
#   put_ics PATH FILE         an .ics PUT as another client; prints the HTTP status
#   get_ics PATH              the item's text as the server keeps it
#   list_hrefs PATH           the hrefs of a collection's items, one a line

# check WHAT EXPECTED ACTUAL: one line of the scenario's verdict, counted in $failures.
failures=0
# check NAME EXPECTED GOT [FILE]: on a failure FILE (what a command said, say) is shown too.
check() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: expected [$2], got [$3]"
        if [ -n "${4:-}" ] && [ -f "$4" ]; then
            sed 's/^/    /' "$4"
        fi
        failures=$((failures + 1))
    fi
}
# yes_if COMMAND...: "yes" when the command succeeds, else "no".
yes_if() { if "$@" >/dev/null 2>&1; then echo yes; else echo no; fi; }
# as HOME COMMAND...: tessarinth-cli ($cli) on the scenario's data home $work/HOME. A scenario
# that runs its homes on a clock of their own defines its own.
as() {
    local home=$1
    shift
    TESSARINTH_HOME="$work/$home" "$cli" "$@"
}

radicale_pid=""
radicale_url=""

# The servers keep the real time, as another machine would, when the suite itself runs under
# faketime: Radicale ages its sync tokens by the clock against the files' real times.
real_time=(env -u LD_PRELOAD -u FAKETIME -u FAKETIME_NO_CACHE)
radicale_folder=""
radicale_user=alice
radicale_password=secret

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_radicale() {
    local folder=$1
    mkdir -p "$folder/collections"
    printf '%s:%s\n' "$radicale_user" "$radicale_password" >"$folder/users"
    local port
    port=$(free_port)
    cat >"$folder/config" <<CONFIG
[server]
hosts = 127.0.0.1:$port
[auth]
type = htpasswd
htpasswd_filename = $folder/users
htpasswd_encryption = plain
delay = 0
[storage]
filesystem_folder = $folder/collections
[rights]
type = owner_only
[logging]
level = warning
CONFIG
    radicale_folder=$folder
    radicale_url="http://127.0.0.1:$port"
    "${real_time[@]}" radicale --config "$folder/config" >"$folder/log" 2>&1 &
    radicale_pid=$!
    wait_for_radicale
}

# The server is up once it answers; give up after 20 s.
wait_for_radicale() {
    local tries=0
    until curl -s -o /dev/null "$radicale_url/"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$radicale_pid" 2>/dev/null; then
            echo "FAIL: Radicale did not start:" >&2
            cat "$radicale_folder/log" >&2
            exit 1
        fi
        sleep 0.1
    done
}

stop_radicale() {
    if [ -n "$radicale_pid" ]; then
        kill "$radicale_pid" 2>/dev/null || true
        wait "$radicale_pid" 2>/dev/null || true
        radicale_pid=""
    fi
}

http() {
    curl -s -u "$radicale_user:$radicale_password" "$@"
}

make_calendar() {
    http -o /dev/null -w '%{http_code}' -X MKCALENDAR "$radicale_url$1"
}

put_ics() {
    http -o /dev/null -w '%{http_code}' -X PUT -H 'Content-Type: text/calendar' \
        --data-binary "@$2" "$radicale_url$1"
}

get_ics() {
    http "$radicale_url$1"
}

list_hrefs() {
    http -X PROPFIND -H 'Depth: 1' "$radicale_url$1" |
        grep -o '<[A-Za-z0-9]*:\?href>[^<]*\.ics</[A-Za-z0-9]*:\?href>' | sed 's/<[^>]*>//g' | sort
}

# start_interrupted MODE ARG: the same server (storage, users, port) with one mishap
# (radicale_interrupted.py); stop_radicale stops it as well.
start_interrupted() {
    stop_radicale
    local port=${radicale_url##*:}
    "${real_time[@]}" /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/radicale_interrupted.py" \
        "$radicale_folder/config" "$port" "$1" "$2" >>"$radicale_folder/log" 2>&1 &
    radicale_pid=$!
    wait_for_radicale
}

# restart_radicale: the plain server again, on the same storage and port.
restart_radicale() {
    stop_radicale
    "${real_time[@]}" radicale --config "$radicale_folder/config" >>"$radicale_folder/log" 2>&1 &
    radicale_pid=$!
    wait_for_radicale
}

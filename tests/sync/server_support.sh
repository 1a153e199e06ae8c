# Sourced by the sync scenarios: a CalDAV server of the test's own on 127.0.0.1 (a free port, a
# temporary storage folder, the account alice/secret), stopped when the scenario ends, and helpers
# to reach it with plain HTTP, or as a phone's calendar would, as other clients do.
#
# TESSARINTH_SYNC_SERVER picks the server: radicale (the default) or xandikos. A scenario never
# asks which one runs, but where a step can only be taken with one of them (start_interrupted).
#
#   start_server FOLDER       starts it with user "alice", password "secret"; sets server_url
#   stop_server               stops it (the scenario's EXIT trap calls it too)
#   restart_server            the same server again, on the same storage and port
#   calendar_home             where alice's calendars live on this server: /alice/ on Radicale,
#                             /alice/calendars/ on xandikos (its principal's calendar home)
#   make_calendar PATH        creates a calendar collection (MKCALENDAR); prints the HTTP status
#   delete_path PATH          deletes an item or a whole collection; prints the HTTP status
#   put_ics PATH FILE         an .ics PUT as another client; prints the HTTP status
#   get_ics PATH              the item's text as the server keeps it
#   list_hrefs PATH           the hrefs of a collection's items, one a line
#   phone PATH COMMAND ...    phone_client.py on that collection (put, set, delete, get, list)
#   forgotten_token           a sync token in the server's own form that it never gave out
#   server_gives_item_times   whether the server tells when it stored each item (see below)

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

# sync_status HOME [ARGS]: runs a sync, its output in $work/HOME.out and .err; prints the status.
sync_status() {
    local home=$1
    shift
    local status=0
    as "$home" sync "$@" >"$work/$home.out" 2>"$work/$home.err" || status=$?
    cat "$work/$home.out" "$work/$home.err" >>"$work/$home.log"
    echo "$status"
}
# ics UID SUMMARY [EXTRA LINES]: a one-event calendar on 2026-12-21 10:00-11:30.
ics() {
    local uid=$1 summary=$2
    shift 2
    printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other client//EN\r\nBEGIN:VEVENT\r\n'
    printf 'UID:%s\r\nDTSTART:20261221T100000\r\nDTEND:20261221T113000\r\nSUMMARY:%s\r\n' \
        "$uid" "$summary"
    for line in "$@"; do printf '%s\r\n' "$line"; done
    printf 'END:VEVENT\r\nEND:VCALENDAR\r\n'
}
# count_items HOME: how many items the data home holds.
count_items() { as "$1" export - | grep -c '^BEGIN:V\(EVENT\|TODO\)' || true; }

# server_gives_item_times: "yes" when the server tells when it stored each item
# (DAV:getlastmodified), as Radicale does. xandikos does not: there an edit that leaves the
# item's own stamps as they were cannot be placed in time against one made in the planner.
sync_server=${TESSARINTH_SYNC_SERVER:-radicale}
case "$sync_server" in
radicale)
    calendar_home=/alice/
    server_gives_item_times=yes
    ;;
xandikos)
    calendar_home=/alice/calendars/
    server_gives_item_times=no
    ;;
*)
    echo "FAIL: TESSARINTH_SYNC_SERVER is radicale or xandikos, not '$sync_server'" >&2
    exit 1
    ;;
esac
server_user=alice
server_password=secret
server_url=""
server_folder=""
server_port=""
# The server's process, and on xandikos the password proxy's in front of it.
server_pid=""
proxy_pid=""

# The servers keep the real time, as another machine would, when the suite itself runs under
# faketime: Radicale ages its sync tokens by the clock against the files' real times, and the
# phone writes its LAST-MODIFIED by the clock it has.
real_time=(env -u LD_PRELOAD -u FAKETIME -u FAKETIME_NO_CACHE)
support_folder=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_server() {
    server_folder=$1
    mkdir -p "$server_folder/collections"
    server_port=$(free_port)
    server_url="http://127.0.0.1:$server_port"
    if [ "$sync_server" = radicale ]; then
        printf '%s:%s\n' "$server_user" "$server_password" >"$server_folder/users"
        cat >"$server_folder/config" <<CONFIG
[server]
hosts = 127.0.0.1:$server_port
[auth]
type = htpasswd
htpasswd_filename = $server_folder/users
htpasswd_encryption = plain
delay = 0
[storage]
filesystem_folder = $server_folder/collections
[rights]
type = owner_only
[logging]
level = warning
CONFIG
    fi
    launch_server
}

# launch_server: the server on $server_folder and $server_port, up and answering.
launch_server() {
    if [ "$sync_server" = radicale ]; then
        "${real_time[@]}" radicale --config "$server_folder/config" >>"$server_folder/log" 2>&1 &
        server_pid=$!
    else
        # xandikos keeps no accounts: it listens on a socket of its own and the proxy, on the
        # port, lets alice through as Radicale does. Its principal is /alice/, made on start.
        local unix_socket="$server_folder/xandikos.sock"
        rm -f "$unix_socket"
        "${real_time[@]}" xandikos -d "$server_folder/collections" \
            --current-user-principal "/$server_user/" --autocreate -l "$unix_socket" \
            >>"$server_folder/log" 2>&1 &
        server_pid=$!
        wait_until_answered curl -s -o /dev/null --unix-socket "$unix_socket" \
            http://localhost/health
        "${real_time[@]}" /usr/bin/python3 "$support_folder/password_proxy.py" "$server_port" \
            "$unix_socket" "$server_user" "$server_password" >>"$server_folder/log" 2>&1 &
        proxy_pid=$!
    fi
    wait_until_answered curl -s -o /dev/null "$server_url/"
}

# wait_until_answered COMMAND...: until the command succeeds; gives up after 20 s or when the
# server's processes end.
wait_until_answered() {
    local tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$server_pid" 2>/dev/null ||
            { [ -n "$proxy_pid" ] && ! kill -0 "$proxy_pid" 2>/dev/null; }; then
            echo "FAIL: $sync_server did not start:" >&2
            cat "$server_folder/log" >&2
            exit 1
        fi
        sleep 0.1
    done
}

stop_server() {
    local pid
    for pid in "$proxy_pid" "$server_pid"; do
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    proxy_pid=""
    server_pid=""
}

restart_server() {
    stop_server
    launch_server
}

# start_interrupted MODE ARG: the same Radicale (storage, users, port) with one mishap
# (radicale_interrupted.py, which wraps Radicale's own application); stop_server stops it as
# well. There is no such wrapper for xandikos.
start_interrupted() {
    if [ "$sync_server" != radicale ]; then
        echo "FAIL: start_interrupted needs Radicale, not $sync_server" >&2
        exit 1
    fi
    stop_server
    "${real_time[@]}" /usr/bin/python3 "$support_folder/radicale_interrupted.py" \
        "$server_folder/config" "$server_port" "$1" "$2" >>"$server_folder/log" 2>&1 &
    server_pid=$!
    wait_until_answered curl -s -o /dev/null "$server_url/"
}

http() {
    curl -s -u "$server_user:$server_password" "$@"
}

# make_named PATH NAME COMPONENT: a calendar with a display name, for one kind of item.
make_named() {
    http -o /dev/null -w '%{http_code}' -X MKCALENDAR -H 'Content-Type: application/xml' \
        --data-binary "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<C:mkcalendar xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">
<D:set><D:prop><D:displayname>$2</D:displayname>
<C:supported-calendar-component-set><C:comp name=\"$3\"/></C:supported-calendar-component-set>
</D:prop></D:set></C:mkcalendar>" "$server_url$1"
}

make_calendar() {
    http -o /dev/null -w '%{http_code}' -X MKCALENDAR "$server_url$1"
}

delete_path() {
    http -o /dev/null -w '%{http_code}' -X DELETE "$server_url$1"
}

put_ics() {
    http -o /dev/null -w '%{http_code}' -X PUT -H 'Content-Type: text/calendar' \
        --data-binary "@$2" "$server_url$1"
}

get_ics() {
    http "$server_url$1"
}

list_hrefs() {
    http -X PROPFIND -H 'Depth: 1' "$server_url$1" |
        grep -o '<[A-Za-z0-9]*:\?href>[^<]*\.ics</[A-Za-z0-9]*:\?href>' | sed 's/<[^>]*>//g' | sort
}

# phone PATH COMMAND ARGS...: a phone's calendar on the collection at PATH, on the real clock.
phone() {
    local collection=$1
    shift
    "${real_time[@]}" /usr/bin/python3 "$support_folder/phone_client.py" \
        "$server_url$collection" "$server_user" "$server_password" "$@"
}

# A token the server would read as its own, but for a state it never had: Radicale names its
# tokens by a hash of the collection's state, xandikos by the git tree of it.
forgotten_token() {
    if [ "$sync_server" = radicale ]; then
        echo "http://radicale.org/ns/sync/$(printf '0%.0s' $(seq 64))"
    else
        printf '0%.0s' $(seq 40)
        echo
    fi
}

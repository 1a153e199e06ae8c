#!/usr/bin/env bash
# A planner syncing through a real Radicale started here when something goes wrong at a chosen
# moment: the item changed on the server between the listing and the upload (a 412), the server
# stopping in the middle, the store changed here while a sync runs, the sync killed right after
# an upload; servers that never answer, drip their answers, are slow on every request or spell
# hrefs to lead elsewhere; a certificate nobody vouches for; and what setup refuses.
# Radicale only: its mishaps are made by radicale_interrupted.py around Radicale's own
# application, and the certificate is Radicale's own TLS; the hostile servers are scripted here
# and are the same whichever calendar server the data scenarios run against.
set -euo pipefail
cli=${1:?usage: sync_trouble_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
TESSARINTH_SYNC_SERVER=radicale
source "$here/server_support.sh"
work=$(mktemp -d)
# The scripted servers of the later parts, stopped with the scenario even when it ends early.
silent_pid="" drip_pid="" scripted_pid=""
stop_helpers() {
    local pid
    for pid in $silent_pid $drip_pid $scripted_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    silent_pid="" drip_pid="" scripted_pid=""
}
trap 'stop_server; stop_helpers; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export TZ=Europe/Berlin QT_QPA_PLATFORM=offscreen
# No secret service in a test: the password goes to its file.
unset DBUS_SESSION_BUS_ADDRESS


start_server "$work/server"
calendar=${calendar_home}calendar/
check "the test's calendar collection is made" 201 "$(make_calendar "$calendar")"
for home in a b; do
    mkdir -p "$work/$home"
    echo "$server_password" |
        as $home sync setup --events "$server_url$calendar" --user alice --password-stdin \
            --timeout 5 >/dev/null
done
ics other@test 他のクライアント 'LOCATION:会議室' >"$work/other.ics"
check "another client puts an item" 201 "$(put_ics "${calendar}other.ics" "$work/other.ics")"

# --- a 412: the item changed on the server between the listing and the upload -------------------------
sync_status a >/dev/null
sync_status b >/dev/null
ics other@test 'planner B edit' >"$work/b-edit.ics"
as b import "$work/b-edit.ics" >/dev/null
ics other@test 'concurrent edit' 'LAST-MODIFIED:20200101T000000Z' >"$work/concurrent.ics"
start_interrupted change-before-put "$work/concurrent.ics"
check "a 412 answer is settled within the sync" 0 "$(sync_status b)"
restart_server
check "the 412's server version is kept as a conflict" yes \
    "$(yes_if grep -q '^conflict: planner B edit\|^conflict: concurrent edit' "$work/b.out")"
check "after the 412 the server has the newer version" yes \
    "$(yes_if grep -q '^SUMMARY:planner B edit' <(get_ics "${calendar}other.ics" | tr -d '\r'))"

# --- a server that stops in the middle of a sync ---------------------------------------------------
sync_status a >/dev/null
for day in $(seq 1 15); do
    as a add appointment --start "2027-01-$(printf %02d "$day")T09:00" \
        --end "2027-01-$(printf %02d "$day")T10:00" --subject "一月 $day" >/dev/null
done
before=$(as a export - | grep -c '^UID:')
start_interrupted stop-after 5
check "a server that stops in the middle stops the sync" 1 "$(sync_status a)"
check "the stop is explained" yes \
    "$(yes_if grep -q 'sync stopped: [A-Z]* .*: \(the server \(closed\|refused\) the connection\|the connection to the server broke off\)' "$work/a.err")" \
    "$work/a.err"
check "the stop says that running the sync again finishes the job" yes \
    "$(yes_if grep -q '^what was synced before is kept; .*run the sync again to finish' "$work/a.err")"
check "the local store is whole after the stop" "$before" "$(as a export - | grep -c '^UID:')"
restart_server
check "the next sync completes" 0 "$(sync_status a)"
check "the other side then gets everything" 0 "$(sync_status b)"
check "both stores hold the same items" "$(as a export - | grep '^UID:' | sort)" \
    "$(as b export - | grep '^UID:' | sort)"

# --- changed here while a sync runs ----------------------------------------------------------------
# What another program of this machine does in the middle of a sync runs from the server's hook,
# with the suite's own clock (faketime's, when the suite runs under it), unlike the servers.
here_env="env"
for var in LD_PRELOAD FAKETIME FAKETIME_SHARED; do
    if [ -n "${!var:-}" ]; then here_env+=" $var='${!var}'"; fi
done
race=${calendar_home}race/
make_calendar "$race" >/dev/null
mkdir -p "$work/r"
echo "$server_password" |
    as r sync setup --events "$server_url$race" --user alice --password-stdin --timeout 5 \
        >/dev/null
as r add appointment --start 2027-02-01T09:00 --end 2027-02-01T10:00 --subject 元の件名 >/dev/null
sync_status r >/dev/null
raced=$(list_hrefs "$race" | head -1)
get_ics "$raced" | sed 's/^SUMMARY:.*/SUMMARY:サーバーでの変更\r/' >"$work/server-edit.ics"
put_ics "$raced" "$work/server-edit.ics" >/dev/null
as r export - | sed 's/^SUMMARY:.*/SUMMARY:ここでの変更\r/' >"$work/local-edit.ics"
start_interrupted run-before-multiget \
    "$here_env TESSARINTH_HOME='$work/r' '$cli' import '$work/local-edit.ics' >/dev/null 2>&1"
check "a sync meeting an edit made here meanwhile completes" 0 "$(sync_status r)"
restart_server
check "the edit made meanwhile is settled as a conflict" yes \
    "$(yes_if grep -q '^conflict: ' "$work/r.out")"
check "the edit made meanwhile is not overwritten" yes \
    "$(yes_if grep -q '^SUMMARY:ここでの変更' <(as r export - | tr -d '\r'))"
check "the server's version is kept in conflicts/" yes \
    "$(yes_if grep -rlq 'SUMMARY:サーバーでの変更' "$work/r/conflicts")"
check "the server then holds the edit made here" yes \
    "$(yes_if grep -q '^SUMMARY:ここでの変更' <(get_ics "$raced" | tr -d '\r'))"

# Deleted here while the sync uploads: the rest of the sync goes on.
first=$(as r add appointment --start 2027-02-02T09:00 --end 2027-02-02T10:00 --subject 消す一)
second=$(as r add appointment --start 2027-02-03T09:00 --end 2027-02-03T10:00 --subject 消す二)
start_interrupted run-before-put \
    "$here_env TESSARINTH_HOME='$work/r' '$cli' delete $first >/dev/null 2>&1;
     $here_env TESSARINTH_HOME='$work/r' '$cli' delete $second >/dev/null 2>&1"
check "items deleted here during the uploads do not stop the sync" 0 "$(sync_status r)"
restart_server
check "the next sync carries the deletions" 0 "$(sync_status r)"
check "the server holds neither" 1 "$(list_hrefs "$race" | wc -l)"

# Killed between an upload and its record: the next sync finds its own version there, no conflict.
as r add appointment --start 2027-02-04T09:00 --end 2027-02-04T10:00 --subject 送信直後 >/dev/null
conflicts_before=$(find "$work/r/conflicts" -type f | wc -l)
rm -f "$work/sync.pid"
start_interrupted run-after-put \
    "while [ ! -s '$work/sync.pid' ]; do sleep 0.05; done; kill -9 \$(cat '$work/sync.pid')"
killed_status=0
TESSARINTH_HOME="$work/r" "$cli" sync >"$work/r.out" 2>"$work/r.err" &
echo $! >"$work/sync.pid"
wait $! || killed_status=$?
check "the sync is killed right after its upload" 137 "$killed_status"
restart_server
check "the next sync completes" 0 "$(sync_status r)"
check "and calls its own upload no conflict" no "$(yes_if grep -q '^conflict' "$work/r.out")"
check "nor keeps a conflict file for it" "$conflicts_before" \
    "$(find "$work/r/conflicts" -type f | wc -l)"
check "a sync after it has nothing to do" yes \
    "$(yes_if grep -q ': 0 received, 0 sent, 0 deleted here, 0 deleted on the server$' \
        <(sync_status r >/dev/null; cat "$work/r.out"))"

# --- no server at all, and servers that hold a sync ------------------------------------------------
mkdir -p "$work/c"
echo secret | as c sync setup --events "http://127.0.0.1:$(free_port)/alice/calendar/" \
    --user alice --password-stdin >/dev/null
check "no server stops the sync" 1 "$(sync_status c --print-remedy)"
check "its remedy's word is to see to the address" "remedy: check-address" \
    "$(tail -n 1 "$work/c.err")"
check "no server is named" yes "$(yes_if grep -q 'refused the connection' "$work/c.err")"
check "and what to see to" yes \
    "$(yes_if grep -q "see that the server runs, .*tessarinth-cli sync setup --events" "$work/c.err")"
# A server that takes the connection and never answers.
silent_port=$(free_port)
"${real_time[@]}" /usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); c = s.accept(); time.sleep(60)' \
    "$silent_port" &
silent_pid=$!
mkdir -p "$work/e"
echo secret | as e sync setup --events "http://127.0.0.1:$silent_port/alice/calendar/" \
    --user alice --password-stdin --timeout 1 >/dev/null
until curl -s -o /dev/null --max-time 0.2 "http://127.0.0.1:$silent_port/" ||
    [ "$?" -eq 28 ]; do sleep 0.1; done
check "a server that never answers stops the sync" 1 "$(sync_status e)"
check "the wait is named" yes "$(yes_if grep -q 'did not answer within 1 s' "$work/e.err")"
stop_helpers
# A server that answers at once, then drips its answer a byte at a time: bounded by the same
# timeout as a whole (the sync is cut off after 30 s here, where it would otherwise run for hours).
drip_port=$(free_port)
"${real_time[@]}" /usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen()
while True:
    c, _ = s.accept(); c.recv(65536)
    c.sendall(b"HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\n"
              b"Content-Length: 100000\r\n\r\n")
    try:
        for _ in range(100000):
            c.sendall(b" "); time.sleep(0.25)
    except OSError:
        c.close()' "$drip_port" &
drip_pid=$!
mkdir -p "$work/f"
echo secret | as f sync setup --events "http://127.0.0.1:$drip_port/alice/calendar/" \
    --user alice --password-stdin --timeout 2 >/dev/null
until curl -s -o /dev/null --max-time 0.2 "http://127.0.0.1:$drip_port/" ||
    [ "$?" -eq 28 ]; do sleep 0.1; done
drip_status=0
TESSARINTH_HOME="$work/f" timeout 30 "$cli" sync >"$work/f.out" 2>"$work/f.err" || drip_status=$?
check "a server that drips its answer stops the sync" 1 "$drip_status"
check "the slow answer is named" yes \
    "$(yes_if grep -q 'did not send its whole answer within 2 s' "$work/f.err")"
stop_helpers

# --- hrefs spelled to lead elsewhere (a scripted server) ------------------------------------------
# start_scripted MODE: scripted_server.py in that mode on a free port, its requests logged in
# $work/MODE.log; sets scripted_port and scripted_pid. stop_scripted ends it.
start_scripted() {
    scripted_port=$(free_port)
    "${real_time[@]}" /usr/bin/python3 "$here/scripted_server.py" "$scripted_port" \
        "$work/$1.log" "$1" &
    scripted_pid=$!
    until curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$scripted_port/"; do sleep 0.1; done
}
stop_scripted() {
    stop_helpers
}
start_scripted encoded-slash
mkdir -p "$work/g"
echo secret | as g sync setup --events "http://127.0.0.1:$scripted_port/alice/calendar/" \
    --user alice --password-stdin --timeout 5 >/dev/null
check "a collection with an encoded slash in a name syncs" 0 "$(sync_status g)"
check "the item of that name arrives" yes \
    "$(yes_if grep -q '^SUMMARY:slashed' <(as g export - | tr -d '\r'))"
check "an href outside the collection is named" yes \
    "$(yes_if grep -q '^note: not synced: .*evil6.ics lies outside the collection' "$work/g.out")"
check "and not taken" no "$(yes_if grep -q '^SUMMARY:outside' <(as g export - | tr -d '\r'))"
as g export - | sed 's/^SUMMARY:slashed/SUMMARY:slashed here/' >"$work/slashed-edit.ics"
as g import "$work/slashed-edit.ics" >/dev/null
check "an edit of it is sent" 0 "$(sync_status g)"
check "to the name the server gave it" yes \
    "$(yes_if grep -qi '^PUT /alice/calendar/a%2f\.\.%2f\.\.%2fevil5\.ics$' "$work/encoded-slash.log")"
check "never out of the collection" 0 \
    "$(grep -v '^[A-Z]* /alice/calendar/' "$work/encoded-slash.log" | grep -vc '^GET /$')"
check "a later sync is quiet" 0 "$(sync_status g)"
check "and leaves no conflict files" 0 "$(find "$work/g" -path '*conflicts*' -type f | wc -l)"
stop_scripted

# Behind a proxy: requested at /dav/calendar/, the server names its items /alice/calendar/...
start_scripted proxy
mkdir -p "$work/p"
echo secret | as p sync setup --events "http://127.0.0.1:$scripted_port/dav//calendar" \
    --user alice --password-stdin --timeout 5 >"$work/p.setup"
check "setup says the URL it keeps, in one spelling" yes \
    "$(yes_if grep -q "appointments http://127.0.0.1:$scripted_port/dav/calendar/," "$work/p.setup")"
check "a collection behind a proxy syncs" 0 "$(sync_status p)"
check "its item arrives" yes "$(yes_if grep -q '^SUMMARY:proxied' <(as p export - | tr -d '\r'))"
as p export - | sed 's/^SUMMARY:proxied/SUMMARY:proxied edit/' >"$work/proxied-edit.ics"
as p import "$work/proxied-edit.ics" >/dev/null
check "an edit of it is sent" yes \
    "$(yes_if grep -q ': 0 received, 1 sent,' <(sync_status p >/dev/null; cat "$work/p.out"))"
check "through the proxy's path" yes "$(yes_if grep -q '^PUT /dav/calendar/p.ics$' "$work/proxy.log")"
as p delete "$(as p agenda 2026-12-21 --tsv | cut -f4 | head -1)" >/dev/null 2>&1 || true
check "a deletion of it is sent" yes \
    "$(yes_if grep -q '1 deleted on the server$' <(sync_status p >/dev/null; cat "$work/p.out"))"
check "through the proxy's path too" yes \
    "$(yes_if grep -q '^DELETE /dav/calendar/p.ics$' "$work/proxy.log")"
stop_scripted

# A server that answers every request just within the timeout cannot hold a sync for long: a
# hundred requests may take four timeouts together.
start_scripted slow
mkdir -p "$work/s"
echo secret | as s sync setup --events "http://127.0.0.1:$scripted_port/alice/calendar/" \
    --user alice --password-stdin --timeout 2 >/dev/null
for day in $(seq 10 19); do
    as s add appointment --start "2027-04-${day}T09:00" --end "2027-04-${day}T10:00" \
        --subject "四月 $day" >/dev/null
done
check "a server slow on every request stops the sync" 1 "$(sync_status s)"
check "saying so" yes "$(yes_if grep -q 'the server answers too slowly; the sync stopped after' "$work/s.err")"
check "after a few of its requests" yes "$(yes_if test "$(wc -l <"$work/slow.log")" -lt 10)"
stop_scripted

# HTTPS with a certificate nobody vouches for.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -keyout "$work/server/key.pem" -out "$work/server/cert.pem" 2>/dev/null
sed -i "s|^\[server\]|[server]\nssl = True\ncertificate = $work/server/cert.pem\nkey = $work/server/key.pem|" \
    "$work/server/config"
stop_server
server_url="https://${server_url#http://}"
"${real_time[@]}" radicale --config "$work/server/config" >>"$work/server/log" 2>&1 &
server_pid=$!
until curl -sk -o /dev/null "$server_url/"; do sleep 0.1; done
echo secret | as c sync setup --events "$server_url$calendar" --user alice --password-stdin \
    >/dev/null
check "an untrusted certificate stops the sync" 1 "$(sync_status c)"
check "the certificate is named" yes \
    "$(yes_if grep -q "the server's certificate is not trusted" "$work/c.err")"
check "a second sync of the same data home at once is refused" yes "$(
    flock "$work/a/sync.lock" bash -c "TESSARINTH_HOME='$work/a' '$cli' sync >/dev/null 2>'$work/lock.err'" || true
    yes_if grep -q 'another sync of this data home is running' "$work/lock.err")"
check "sync without setup says how to set it up" yes \
    "$(mkdir -p "$work/d"; sync_status d >/dev/null; yes_if grep -q 'sync is not set up' "$work/d.err")"

# --- what setup refuses -----------------------------------------------------------------------------
status=0
echo secret | as d sync setup --events ftp://127.0.0.1/alice/ --user alice --password-stdin \
    >/dev/null 2>"$work/d.err" || status=$?
check "a URL that is not http or https is refused" "2 yes" \
    "$status $(yes_if grep -q 'not an http or https URL: ftp://127.0.0.1/alice/' "$work/d.err")"
status=0
as d sync setup --events "$server_url$calendar" --password-stdin </dev/null >/dev/null \
    2>"$work/d.err" || status=$?
check "setup without a user is refused" "2 yes" \
    "$status $(yes_if grep -q 'needs --server URL (or --events URL) and --user NAME' "$work/d.err")"
status=0
as d sync setup --events "$server_url$calendar" --user alice --password-stdin </dev/null \
    >/dev/null 2>"$work/d.err" || status=$?
check "setup without a password sets nothing up" "1 no" \
    "$status $(yes_if test -e "$work/d/sync.json")"
printf '{"events": ' >"$work/c/sync.json"
check "damaged sync settings stop the sync" 1 "$(sync_status c)"
check "damaged sync settings are named" yes \
    "$(yes_if grep -q "cannot read $work/c/sync.json: .*; set sync up again" "$work/c.err")"

[ "$failures" -eq 0 ] || exit 1
echo "all checks passed"

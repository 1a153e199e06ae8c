#!/usr/bin/env bash
# The 同期 dialog under 設定 worked by hand through `tessarinth-cli drive`, on a real CalDAV
# server started here (Radicale or xandikos, as TESSARINTH_SYNC_SERVER says) with a work
# calendar, a family calendar and a task list: a wrong password is told in the dialog and sets
# nothing up; the server's address, the user and the password alone then find the calendars, and
# 今すぐ同期 sends what the planner holds and brings what another program wrote, saying how many.
set -euo pipefail
cli=${1:?usage: sync_dialog_e2e.sh PATH-TO-tessarinth-cli}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; [ -n "${KEEP_SYNC_WORK:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
unset DBUS_SESSION_BUS_ADDRESS

# dialog_said FILE: what the dialog's status line said last in a drive's output.
dialog_said() { awk -F'\t' '$1 == "dialog" && $2 == 1337 { said = $3 } END { print said }' "$1"; }
# drive_sync FILE ACTIONS...: 設定, then 同期 with the server's address and alice typed in and
# the dialog ACTIONS (a password typed, buttons pressed, the status printed), closed with done;
# the drive's output in FILE.
drive_sync() {
    local out=$1
    shift
    local status=0
    as a drive --today 2026-12-07T09:30 - >"$out" 2>&1 <<SCRIPT || status=$?
dialog ok press 40113
dialog ok set 1331 $server_url/ set 1332 alice $*
command 40053
SCRIPT
    echo "$status"
}

start_server "$work/server"
check "the work calendar is made" 201 "$(make_named "${calendar_home}work/" 仕事 VEVENT)"
check "the family calendar is made" 201 "$(make_named "${calendar_home}family/" 家族 VEVENT)"
check "the task list is made" 201 "$(make_named "${calendar_home}todo/" やること VTODO)"
ics work-visit@other 来客 >"$work/visit.ics"
check "another program writes to the work calendar" 201 \
    "$(put_ics "${calendar_home}work/visit.ics" "$work/visit.ics")"
as a add appointment --start 2026-12-21T09:00 --end 2026-12-21T09:30 --subject 朝会 >/dev/null

# --- A wrong password ----------------------------------------------------------------------
check "the dialog runs with a wrong password" 0 \
    "$(drive_sync "$work/wrong.out" set 1333 wrong press 1335 print 1337)" "$work/wrong.out"
check "it says the password was refused, and that nothing changed" \
    "ユーザー名かパスワードがサーバーに認められませんでした。設定は変わっていません。" \
    "$(dialog_said "$work/wrong.out")" "$work/wrong.out"
check "nothing was set up" "" "$(find "$work/a" -name sync.json)"
check "今すぐ同期 says what is missing" "まだ設定されていません。先に接続してください。" \
    "$(drive_sync "$work/early.out" set 1333 secret press 1336 print 1337 >/dev/null
       dialog_said "$work/early.out")" "$work/early.out"

# --- The address, the user and the password -------------------------------------------------
check "the dialog runs with the right password" 0 \
    "$(drive_sync "$work/setup.out" set 1333 secret press 1335 print 1337 \
        press 1336 print 1337 shot "$work/after.png" 1)" "$work/setup.out"
said=$(awk -F'\t' '$1 == "dialog" && $2 == 1337 { print $3 }' "$work/setup.out")
check "接続 tells how many calendars it set up" yes \
    "$(head -n 1 <<<"$said" | grep -q '^[23]個のカレンダーが見つかり、設定しました。' && echo yes || echo no)" \
    "$work/setup.out"
check "今すぐ同期 tells what it sent and received" \
    "同期しました。受信 1件・送信 1件・削除 ここで0件・サーバーで0件" "$(tail -n 1 <<<"$said")" \
    "$work/setup.out"
check "the store's calendars are the account's" yes \
    "$(as a calendars | cut -f1 | grep -qx 仕事 && as a calendars | cut -f1 | grep -qx 家族 &&
       echo yes || echo no)"
check "the settings keep the server's address" "$server_url/" \
    "$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["server"])' \
        "$(find "$work/a" -name sync.json | head -n 1)")"
check "the password is kept in the file, readable by its user alone" 600 \
    "$(stat -c %a "$(find "$work/a" -name sync-password | head -n 1)")"
# items_in PATH: how many appointments the collection holds.
items_in() {
    list_hrefs "$1" | while read -r href; do get_ics "$href"; done | grep -c '^BEGIN:VEVENT' || true
}
check "the planner's appointment went to the default calendar" 1 \
    "$(items_in "${calendar_home}family/")"
check "what the other program wrote arrived" 1 "$(as a export - | grep -c '^SUMMARY:来客' || true)"
check "a sync from the terminal after it has nothing to do" 0 "$(sync_status a)" "$work/a.err"

# --- The same account again, its password left empty -----------------------------------------
check "接続 again without typing the password" 0 \
    "$(drive_sync "$work/again.out" press 1335 print 1337)" "$work/again.out"
check "takes the password kept for the account" yes \
    "$(dialog_said "$work/again.out" | grep -q 'カレンダーが見つかり、設定しました' && echo yes || echo no)" \
    "$work/again.out"

# --- The server gone: told, and nothing lost ---------------------------------------------------
stop_server
check "the dialog runs without its server" 0 \
    "$(drive_sync "$work/gone.out" press 1336 print 1337)" "$work/gone.out"
check "it says the server cannot be reached" yes \
    "$(dialog_said "$work/gone.out" | grep -q '^サーバーに接続できないか' && echo yes || echo no)" \
    "$work/gone.out"
check "the setup is still there" 0 "$(as a calendars >/dev/null; echo $?)"
check "and the items" 1 "$(as a export - | grep -c '^SUMMARY:来客' || true)"
[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"

#!/usr/bin/env bash
# A data home that cannot be written here (a read-only disk, a copy of someone else's home): the
# reading commands show what it holds and say once that nothing in it can change; a writing one
# fails with the reason and changes nothing; sync names the real cause.
set -euo pipefail
cli=${1:?usage: read_only_home.sh PATH-TO-tessarinth-cli}
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
home=$work/home
export TZ=Europe/Berlin
failures=0
check() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}

TESSARINTH_HOME=$home "$cli" add appointment --start 2026-12-10T10:00 --end 2026-12-10T11:00 \
    --subject 読むだけ >/dev/null
echo secret | TESSARINTH_HOME=$home "$cli" sync setup --events http://127.0.0.1:9/alice/c/ \
    --user alice --password-stdin >/dev/null
# Root may write anywhere: the commands then run as nobody, for whom the home is read-only.
# Under faketime they run on the real clock (every date here is given): nobody may not open
# the clock faketime shares between root's processes, and what it makes instead of it would be
# left behind in /dev/shm.
as=(env "TESSARINTH_HOME=$home")
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$home"
    as=(env -u LD_PRELOAD -u FAKETIME -u FAKETIME_SHARED setpriv --reuid=nobody --regid=nogroup
        --clear-groups env "TESSARINTH_HOME=$home")
    # The build may lie in a home nobody cannot enter (root's own): what runs, the CLI and the
    # sync helper it hands over to, is copied where nobody can reach it.
    mkdir -m 755 "$work/bin"
    cp "$cli" "$(dirname "$cli")/tessarinth-cli-sync" "$work/bin/"
    chmod 755 "$work/bin"/*
    cli=$work/bin/tessarinth-cli
    if ! "${as[@]}" "$cli" --version >/dev/null 2>&1; then
        echo "SKIP: nobody cannot run the CLI even from $work/bin (a file system mounted noexec?)"
        exit 77
    fi
fi
chmod -R a-w "$home"
stored=$(sha256sum "$home/schedule.sqlite")

# run NAME COMMAND...: the command on the read-only home; its status, output in $work/NAME.*
run() {
    local name=$1 status=0
    shift
    "${as[@]}" "$cli" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
    echo "$status"
}

check "the agenda of a read-only home is shown" 0 "$(run agenda agenda 2026-12-10)"
check "with what it holds" 1 "$(grep -c '読むだけ' "$work/agenda.out")"
check "and says once that nothing can change" 1 "$(grep -c 'cannot be written here' "$work/agenda.err")"
check "the month is shown" 0 "$(run month month 2026-12)"
check "the export is written" 0 "$(run export export -)"
check "with the appointment" 1 "$(grep -c '^SUMMARY:読むだけ' "$work/export.out")"
check "an addition fails" 1 "$(run add add task --subject 書けない)"
check "saying why" 1 "$(grep -c 'readonly\|read-only' "$work/add.err")"
check "a sync fails" 1 "$(run sync sync)"
check "naming its real cause" 1 "$(grep -c "cannot make the sync's lock file" "$work/sync.err")"
check "not another sync" 0 "$(grep -c 'another sync' "$work/sync.err" || true)"
check "the store is as it was" "$stored" "$(sha256sum "$home/schedule.sqlite")"

echo "$((12 - failures)) passed, $failures failed"
if [ "$failures" -ne 0 ]; then
    for said in "$work"/*.err; do
        echo "--- $(basename "$said"):"
        cat "$said"
    done
fi
[ "$failures" -eq 0 ]

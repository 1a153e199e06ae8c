#!/usr/bin/env bash
# The text commands of tessarinth-cli load no GUI library, nor any shared library but the
# store's (Debian's SQLite, libical and ICU) and the C and C++ runtimes, while screenshot and
# drive, handed to the screen program beside it, still work through the same command line: their
# output, their exit status and a script on standard input come through as before.
source "$(dirname "$0")/../support/drive_support.sh" "$@"
logs=$(mktemp -d)
trap 'rm -rf "$TESSARINTH_HOME" "$logs"' EXIT

# loaded NAME COMMAND...: runs the command with the dynamic loader reporting every library it
# opens, and prints the base names of those libraries, one a line.
loaded() {
    local name=$1
    shift
    LD_DEBUG=files LD_DEBUG_OUTPUT="$logs/$name" "$@" >/dev/null 2>&1 || true
    cat "$logs/$name".* | sed -n 's/^ *[0-9]*:[[:space:]]*file=\([^ ]*\) .*/\1/p' |
        sed 's|.*/||' | sort -u
}

# What the environment preloads into every program (faketime's library, when the suite runs
# under faketime), as names without ".so": the programs do not load these themselves.
preloaded=$(for library in ${LD_PRELOAD:+${LD_PRELOAD//:/ }}; do basename "$library"; done |
    sed 's/\.so.*//' | paste -sd '|')

# The store's libraries and the C and C++ runtimes, as names without ".so".
store_and_runtimes="libc|libm|ld-linux-x86-64|libstdc\+\+|libgcc_s|libsqlite3|libical|libicuuc"
store_and_runtimes+="|libicui18n|libicudata"

# beyond_store NAME: the libraries loaded by the run called NAME other than the store's and the
# runtimes (and, in a sanitizer build, SHARED_RUNTIME_LIBRARIES; and whatever is preloaded).
beyond_store() {
    grep -vE "^(${store_and_runtimes}|${SHARED_RUNTIME_LIBRARIES:-libc}|${preloaded:-libc})\.so" \
        "$logs/$1.list" | tr '\n' ' ' || true
}

"$cli" add appointment --start 2026-12-10T10:00 --end 2026-12-10T11:30 --subject 打ち合わせ \
    >/dev/null
printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//JA\r\nEND:VCALENDAR\r\n' \
    >"$logs/empty.ics"

loaded agenda "$cli" agenda 2026-12-07 --tsv >"$logs/agenda.list"
loaded month "$cli" month 2026-12 --tsv >"$logs/month.list"
loaded settings "$cli" settings >"$logs/settings.list"
loaded history "$cli" history subject >"$logs/history.list"
loaded add "$cli" add task --subject 年賀状 >"$logs/add.list"
loaded import "$cli" import "$logs/empty.ics" >"$logs/import.list"
loaded export "$cli" export - >"$logs/export.list"
loaded holidays "$cli" holidays 2026 --dry-run >"$logs/holidays.list"
loaded screenshot "$cli" screenshot --today 2026-12-07 "$TESSARINTH_HOME/shot.png" \
    >"$logs/screenshot.list"

check "the loader's report names the C library" yes \
    "$(grep -q '^libc\.so' "$logs/agenda.list" && echo yes || echo no)"
# Debian's own libraries, so that its security fixes reach the program.
for library in libsqlite3 libical libicuuc; do
    check "agenda loads the shared $library" yes \
        "$(grep -q "^$library\.so" "$logs/agenda.list" && echo yes || echo no)"
done
for command in agenda month settings history add import export holidays; do
    check "$command loads no library beyond the store's and the runtimes" "" \
        "$(beyond_store "$command")"
done
check "screenshot loads Qt's widgets" yes \
    "$(grep -q '^libQt6Widgets\.' "$logs/screenshot.list" && echo yes || echo no)"
check "screenshot still writes its picture" yes \
    "$([ -s "$TESSARINTH_HOME/shot.png" ] && echo yes || echo no)"

status=0
"$cli" screenshot --zoom 0 "$TESSARINTH_HOME/bad.png" >/dev/null 2>"$logs/err" || status=$?
check "wrong screenshot arguments end with status 2" 2 "$status"
check "wrong screenshot arguments are named" yes \
    "$(grep -q 'zoom must be 1 to 8: 0' "$logs/err" && echo yes || echo no)"

status=0
printf 'state\n' | "$cli" drive --today 2026-12-07T09:30 - >"$logs/state" 2>"$logs/err" ||
    status=$?
check "a drive script read from standard input runs" "0 2026-12-07 00:00" \
    "$status $(state_value "$logs/state" 1 selected)"

# Without the screen program beside it, tessarinth-cli says so instead of painting.
mkdir "$logs/alone"
cp "$cli" "$logs/alone/tessarinth-cli"
status=0
"$logs/alone/tessarinth-cli" screenshot "$TESSARINTH_HOME/alone.png" >/dev/null \
    2>"$logs/err" || status=$?
check "a missing screen program ends with status 1" 1 "$status"
check "a missing screen program is named" yes \
    "$(grep -q 'cannot start .*tessarinth-cli-screen' "$logs/err" && echo yes || echo no)"
finish

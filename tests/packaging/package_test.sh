#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it as someone installing it meets
# it: the files it holds and their modes, the Debian packages it depends on, and, unpacked into a
# scratch root, programs that run from there (tessarinth-cli handing its commands to the helper
# programs installed beside it), a valid desktop entry, icons drawn sharp at every size, a user
# unit that starts the installed CLI, and manual pages.
#   package_test.sh BUILD_DIR CPACK VERSION
set -euo pipefail
build=${1:?usage: package_test.sh BUILD_DIR CPACK VERSION}
cpack=${2:?}
version=${3:?}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

# check WHAT EXPECTED ACTUAL
check() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}
yes_if() { if "$@"; then echo yes; else echo no; fi; }

# The package, made in the scratch folder (its staging tree included), not in the build.
if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1
then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack did not make the package"
    exit 1
fi
deb="$scratch/out/tessarinth_${version}_$(dpkg --print-architecture).deb"
check "the package is named as Debian names it" yes "$(yes_if test -f "$deb")"
[ -f "$deb" ] || exit 1

# --- What it holds ---------------------------------------------------------------------------
dpkg-deb -c "$deb" >"$scratch/contents"
awk '$1 ~ /^-/ { print $6 }' "$scratch/contents" | sort >"$scratch/files"
sort >"$scratch/expected" <<'FILES'
./usr/bin/tessarinth
./usr/bin/tessarinth-cli
./usr/bin/tessarinth-cli-reminders
./usr/bin/tessarinth-cli-screen
./usr/bin/tessarinth-cli-sync
./usr/lib/systemd/user/tessarinth-reminders.service
./usr/share/applications/tessarinth.desktop
./usr/share/icons/hicolor/128x128/apps/tessarinth.png
./usr/share/icons/hicolor/16x16/apps/tessarinth.png
./usr/share/icons/hicolor/22x22/apps/tessarinth.png
./usr/share/icons/hicolor/24x24/apps/tessarinth.png
./usr/share/icons/hicolor/256x256/apps/tessarinth.png
./usr/share/icons/hicolor/32x32/apps/tessarinth.png
./usr/share/icons/hicolor/48x48/apps/tessarinth.png
./usr/share/icons/hicolor/64x64/apps/tessarinth.png
./usr/share/man/man1/tessarinth-cli.1.gz
./usr/share/man/man1/tessarinth.1.gz
FILES
# The planner's own handwriting model, where the programs in /usr/bin look for it beside them
# (../share/tessarinth/handwriting), when the build could train it.
if [ -f "$build/resources/handwriting/kana-latin.model" ]; then
    printf '%s\n' ./usr/share/tessarinth/handwriting/kana-latin.model \
        ./usr/share/tessarinth/handwriting/kana-latin.model.strokes >>"$scratch/expected"
    sort -o "$scratch/expected" "$scratch/expected"
fi
check "the package holds the programs, the desktop files and nothing else (no tests)" "" \
    "$(diff "$scratch/expected" "$scratch/files" | grep '^[<>]' | tr '\n' ' ' || true)"
check "everything is root's" "" \
    "$(awk '$2 != "root/root" { print $6 }' "$scratch/contents" | tr '\n' ' ')"
check "the programs are executable and nothing else is" "" "$(awk '$1 ~ /^-/ {
        program = ($6 ~ /^\.\/usr\/bin\//)
        if ((program && $1 != "-rwxr-xr-x") || (!program && $1 != "-rw-r--r--")) print $1, $6
    }' "$scratch/contents" | tr '\n' ' ')"

# --- What it says of itself --------------------------------------------------------------------
check "package name" tessarinth "$(dpkg-deb -f "$deb" Package)"
check "version" "$version" "$(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The names alone, one a line: alternatives split, version bounds dropped.
tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/[[:space:]]//g; /^$/d' | sort -u \
    >"$scratch/depends"
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libsqlite3-0 libical3 libc6 \
    qt6-qpa-plugins fonts-ipafont-gothic fonts-misaki fonts-dejavu-core libcurl4; do
    check "depends on $needed" yes "$(yes_if grep -qx "$needed" "$scratch/depends")"
done
# libcurl and the dozens of libraries it brings are loaded when a sync first talks to a server,
# not by the dynamic loader at every start of the planner.
check "the planner leaves libcurl to its first sync" "" \
    "$(readelf -d "$build/app/tessarinth" | grep -o 'libcurl[^]]*' || true)"
# With the input panel built in, the recogniser's library and the model it loads by its path.
if readelf -d "$build/app/tessarinth" | grep -q 'libzinnia'; then
    for needed in libzinnia0 tegaki-zinnia-japanese; do
        check "depends on $needed" yes "$(yes_if grep -qx "$needed" "$scratch/depends")"
    done
fi
# Every package it names is a Debian package: the ones it runs with are installed here.
unknown=$(while read -r name; do
    dpkg-query -W -f='${Status}\n' "$name" 2>/dev/null | grep -q 'install ok installed' ||
        echo "$name"
done <"$scratch/depends" | tr '\n' ' ')
check "every package depended on is one installed here" "" "$unknown"
# What `apt install ./tessarinth_*.deb` would do, simulated: apt finds every dependency met and
# would install the package alone.
# --reinstall: where this very version is installed already, apt says what installing it again
# would take instead of "already the newest version".
apt-get install -s --reinstall "$deb" >"$scratch/apt.log" 2>&1 || true
check "apt would install it with what Debian has" "Inst tessarinth" \
    "$(grep -o '^Inst tessarinth' "$scratch/apt.log" || cat "$scratch/apt.log")"
check "and nothing else" 1 "$(grep -c '^Inst ' "$scratch/apt.log" || true)"

# --- Unpacked into a scratch root --------------------------------------------------------------
root="$scratch/root"
dpkg -x "$deb" "$root"
bin="$root/usr/bin"
export TESSARINTH_HOME="$scratch/home" TZ=Asia/Tokyo QT_QPA_PLATFORM=offscreen \
    XDG_RUNTIME_DIR="$scratch/run"
mkdir "$TESSARINTH_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

check "no program looks for libraries in the build" "" "$(for program in "$bin"/*; do
    readelf -d "$program" | grep -E '\((RPATH|RUNPATH)\)' | sed "s|^|${program##*/}: |"
done)"

# Debian's shared SQLite, libical and ICU, not copies of them inside the programs, so that a fix
# Debian makes to one of them reaches every installed program; and nothing installed carries
# its symbols or debugging sections.
for program in tessarinth tessarinth-cli; do
    check "$program links Debian's shared SQLite, libical and ICU" \
        "libical.so.3 libicuuc.so libsqlite3.so.0" \
        "$(readelf -d "$bin/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
            grep -E '^(libsqlite3|libical|libicuuc)\.' | sed 's/^\(libicuuc\.so\).*/\1/' |
            sort | tr '\n' ' ' | sed 's/ $//')"
done
check "every installed program is stripped" "" "$(for program in "$bin"/*; do
    readelf -S "$program" | grep -qE ' \.(symtab|debug_[a-z]+) ' && echo "${program##*/}"
done | tr '\n' ' ')"
check "tessarinth-cli holds no copy of ICU's data" no \
    "$(yes_if grep -qa 'icudt[0-9]*l' "$bin/tessarinth-cli")"

status=0
"$bin/tessarinth-cli" --help >"$scratch/help" || status=$?
check "tessarinth-cli --help ends with status 0" 0 "$status"
check "tessarinth-cli --help prints the usage" "usage: tessarinth-cli COMMAND [ARGS]" \
    "$(head -n 1 "$scratch/help")"

# One release everywhere: both programs' --version, the PRODID of what it writes, the package.
check "tessarinth --version" "tessarinth $version" "$("$bin/tessarinth" --version)"
check "tessarinth-cli --version" "tessarinth-cli $version" "$("$bin/tessarinth-cli" --version)"
check "an export names the release in its PRODID" "PRODID:-//Tessarinth//Tessarinth $version//JA" \
    "$("$bin/tessarinth-cli" export - | grep '^PRODID' | tr -d '\r')"

"$bin/tessarinth-cli" add appointment --start 2026-12-07T10:00 --end 2026-12-07T11:30 \
    --subject 打ち合わせ --location 本社 --reminder >/dev/null
check "agenda shows the appointment added by the installed CLI" \
    "0 2026-12-07 appointment 2026-12-07T10:00 2026-12-07T11:30 打ち合わせ 本社" \
    "$("$bin/tessarinth-cli" agenda 2026-12-07 --tsv |
        awk -F'\t' '$1 == 0 { print $1, $2, $3, $5, $6, $13, $14 }')"
check "reminders (handed to its helper) lists its reminder" \
    "2026-12-07T09:45 2026-12-07T10:00 打ち合わせ" \
    "$("$bin/tessarinth-cli" reminders --from 2026-12-07T00:00 | awk -F'\t' '{ print $1, $2, $4 }')"
status=0
"$bin/tessarinth-cli" screenshot --date 2026-12-07 --today 2026-12-07 "$scratch/shot.png" \
    >/dev/null || status=$?
check "screenshot (handed to its helper) ends with status 0" 0 "$status"
check "screenshot paints the device's screen" "PNG 240x320" \
    "$(identify -format '%m %wx%h' "$scratch/shot.png" 2>&1)"
# The helpers are the installed ones beside the CLI: without one there, the CLI says where it
# looked.
mv "$bin/tessarinth-cli-screen" "$scratch/"
status=0
"$bin/tessarinth-cli" screenshot "$scratch/none.png" 2>"$scratch/err" >/dev/null || status=$?
mv "$scratch/tessarinth-cli-screen" "$bin/"
check "without its screen helper installed, screenshot fails" 1 "$status"
check "the CLI looks for its helper in the installed bin/" yes \
    "$(yes_if grep -qF "cannot start $bin/tessarinth-cli-screen" "$scratch/err")"
status=0
"$bin/tessarinth-cli" sync >/dev/null 2>"$scratch/err" || status=$?
check "sync (handed to its helper) asks for a server first" "1 yes" \
    "$status $(yes_if grep -qF 'sync is not set up' "$scratch/err")"

# --- The desktop entry and its icon --------------------------------------------------------------
desktop="$root/usr/share/applications/tessarinth.desktop"
check "the desktop entry is valid" "" "$(desktop-file-validate "$desktop" 2>&1)"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
check "the desktop entry starts an installed program" yes \
    "$(yes_if test -x "$bin/${exec_line%% *}")"
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
icons="$root/usr/share/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
    check "the ${size}px icon is a ${size}x${size} PNG with an alpha channel" \
        "PNG ${size}x${size} True" \
        "$(identify -format '%m %wx%h %A' "$icons/${size}x${size}/apps/$icon_name.png" 2>&1)"
done
# Enlarged without smoothing: each size from 32 up is the 16-pixel icon with every pixel a whole
# square block, and 22 and 24 hold it at its own size in a clear margin.
same_as() {  # same_as A B: the two pictures have no pixel that differs
    compare -metric AE "$1" "$2" null: >/dev/null 2>&1
}
small="$icons/16x16/apps/$icon_name.png"
for size in 32 48 64 128 256; do
    convert "$small" -filter point -scale "${size}x${size}" "$scratch/block$size.png"
    check "the ${size}px icon is the 16px one in whole-pixel blocks" yes \
        "$(yes_if same_as "$scratch/block$size.png" "$icons/${size}x${size}/apps/$icon_name.png")"
done
for size in 22 24; do
    margin=$(((size - 16) / 2))
    icon="$icons/${size}x${size}/apps/$icon_name.png"
    convert "$icon" -crop "16x16+$margin+$margin" +repage "$scratch/middle$size.png"
    check "the ${size}px icon holds the 16px one in its middle" yes \
        "$(yes_if same_as "$scratch/middle$size.png" "$small")"
    convert "$icon" -region "16x16+$margin+$margin" -alpha transparent "$scratch/rim$size.png"
    check "the ${size}px icon's margin is clear" 0 \
        "$(convert "$scratch/rim$size.png" -alpha extract -format '%[max]' info:)"
done
check "the 16px icon has opaque and clear pixels (a drawing, not an empty square)" "0 65535" \
    "$(convert "$small" -alpha extract -format '%[min] %[max]' info:)"

# --- The user unit -----------------------------------------------------------------------------
unit="$root/usr/lib/systemd/user/tessarinth-reminders.service"
check "the user unit starts the installed CLI" \
    "ExecStart=/usr/bin/tessarinth-cli reminders --watch" "$(grep '^ExecStart=' "$unit")"
check "the user unit is left with no placeholder" "" "$(grep -n '@' "$unit" || true)"

# --- The manual pages --------------------------------------------------------------------------
man1="$root/usr/share/man/man1"
zcat "$man1/tessarinth-cli.1.gz" >"$scratch/cli.1"
check "tessarinth-cli's page has a synopsis from its usage" yes \
    "$(yes_if grep -qx '\.B tessarinth-cli' <(sed -n '/^\.SH SYNOPSIS/,/^\.SH/p' "$scratch/cli.1"))"
# Every command of the usage is an item of its own, tagged with its synopsis (a synopsis wrapped
# in the usage must not fall apart into loose paragraphs).
for command in import export agenda month 'add appointment' 'add task' delete undo redo \
    history holidays settings reminders sync 'sync setup' screenshot; do
    synopsis=$(grep -E "^  $command( |$)" "$scratch/help" | head -n 1 | sed 's/^  //; s/  .*//')
    check "the page has '$command' as an item" yes "$(yes_if grep -qF -- \
        "$(sed 's/-/\\-/g' <<<"$synopsis")" <(grep -A1 '^\.TP' "$scratch/cli.1" |
        sed 's/\\f[BRI]//g'))"
done
check "tessarinth-cli's page names the data home's variable" yes \
    "$(yes_if grep -q 'TESSARINTH_HOME' "$scratch/cli.1")"
check "the planner's page is for this version" yes \
    "$(yes_if zgrep -q "^\.TH TESSARINTH 1 .*Tessarinth $version" "$man1/tessarinth.1.gz")"

[ "$failures" -eq 0 ] || exit 1
echo "all checks passed"

#!/usr/bin/env bash
# The appointment editor worked by hand through `tessarinth-cli drive`: 新規 → 予定, a subject, one
# stroke on the dial (outer 9 o'clock to inner 6: 09:30 to 10:30), then OK; a handwritten memo;
# and an end before the start, which is refused.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out

"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
command 40045
tap 100 35
type 会議
stroke 150 126 190 150
command 1
shot $TESSARINTH_HOME/after.png
state
SCRIPT
check "the meeting is stored from 09:30 to 10:30" \
    "$(printf '2026-12-07T09:30\t2026-12-07T10:30')" \
    "$("$cli" agenda 2026-12-07 --tsv | awk -F'\t' '$13 == "会議"' | cut -f 5-6)"
check "the main window is back" TESSARINTH "$(state_value "$out" 1 active)"
check "the subject history starts with it" 会議 "$("$cli" history subject | head -n 1)"
"$cli" screenshot --today 2026-12-07 "$TESSARINTH_HOME/shot.png" >/dev/null
check "the grid shows its mark at once" same \
    "$(cmp -s "$TESSARINTH_HOME/after.png" "$TESSARINTH_HOME/shot.png" && echo same || echo differs)"

# A stroke on the pad's drawing area (below y 202 on the screen) is kept as an ink memo.
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<'SCRIPT'
command 40045
stroke 150 126 150 126
stroke 30 240 60 250 90 240 120 260
command 1
SCRIPT
check "the handwriting is stored in an ink file" 1.dat \
    "$("$cli" agenda 2026-12-07 --tsv | awk -F'\t' '$5 == "2026-12-07T09:00"' | cut -f 15)"
check "which holds its records" yes \
    "$([ -s "$TESSARINTH_HOME/device/My Documents/1.dat" ] && echo yes || echo no)"

# Outer 11 to outer 9 is 11:00 to 09:00: OK warns and writes nothing.
before=$("$cli" export - | grep -v '^DTSTAMP')
"$cli" drive --today 2026-12-07T09:30 - >"$out" <<'SCRIPT'
command 40045
stroke 170 91 150 126
answer ok
command 1
state
SCRIPT
check "the warning is shown" "$(printf 'message\t警告\t終了時間が開始時間より前です')" \
    "$(grep '^message' "$out")"
check "the editor stays open" TimeWindow "$(state_value "$out" 1 active)"
check "nothing is stored" "$before" "$("$cli" export - | grep -v '^DTSTAMP')"
finish

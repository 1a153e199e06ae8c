#!/usr/bin/env bash
# Writing with the pen in the input panel through `tessarinth-cli drive`: 新規 → 予定, a tap on the
# subject brings the panel up; 十 in box 1, 口 in box 2 (its first stroke types 十), a second's
# pause types 口; one more character typed and taken back with ←; OK stores 十口. Then a tap on
# another candidate right after a character was typed puts that candidate in its place.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out

# The panel's parts on the portrait screen: box 1 x 0..79 and box 2 x 80..159 at y 214..293;
# candidates 40 x 16 from (160, 214); ← at x 160..199, y 278..293.
"$cli" drive --today 2026-12-07T09:30 - >"$out" 2>"$TESSARINTH_HOME/err" <<SCRIPT
command 40045
tap 100 35
# 十: across, then down
stroke 12 252 26 252 40 252 54 252 68 252
stroke 40 224 40 239 40 254 40 269 40 284
# 口 in box 2: left side, top and right side in one, bottom
stroke 102 236 102 245 102 254 102 263 102 272
stroke 102 236 111 236 120 236 129 236 138 236 138 245 138 254 138 263 138 272
stroke 102 272 111 272 120 272 129 272 138 272
wait 1000
shot $TESSARINTH_HOME/written.png 1
# 十 once more, typed after a second, and taken back
stroke 12 252 26 252 40 252 54 252 68 252
stroke 40 224 40 239 40 254 40 269 40 284
wait 1000
tap 180 286
command 1
state
SCRIPT
check "the panel is there" "" "$(grep -i handwriting "$TESSARINTH_HOME/err" || true)"
check "the editor closed" TESSARINTH "$(state_value "$out" 1 active)"
check "the subject written with the pen is stored" 十口 \
    "$("$cli" agenda 2026-12-07 --tsv | cut -f 13)"
check "the panel was drawn under the editor" yes \
    "$([ -s "$TESSARINTH_HOME/written.png" ] && echo yes || echo no)"

# 口 typed after a second, as it is read first; then again with a tap on the second candidate
# (x 200..239, y 214..229) right after, which takes its place.
mouth='stroke 22 236 22 245 22 254 22 263 22 272
stroke 22 236 31 236 40 236 49 236 58 236 58 245 58 254 58 263 58 272
stroke 22 272 31 272 40 272 49 272 58 272'
"$cli" drive --today 2026-12-08T09:30 - >"$out" <<SCRIPT
command 40045
tap 100 35
$mouth
wait 1000
command 1
SCRIPT
"$cli" drive --today 2026-12-09T09:30 - >"$out" <<SCRIPT
command 40045
tap 100 35
$mouth
wait 1000
tap 220 222
command 1
SCRIPT
# The subject of the appointment on a day.
subject_on() {
    "$cli" agenda "$1" --tsv | awk -F'\t' -v day="$1" 'index($5, day) == 1' | cut -f 13
}
first=$(subject_on 2026-12-08)
replaced=$(subject_on 2026-12-09)
check "the character read first is 口" 口 "$first"
check "after the tap one character is stored" 1 "$(printf '%s' "$replaced" | LC_ALL=C.UTF-8 wc -m)"
check "and it is another candidate" yes "$([ "$replaced" != "$first" ] && echo yes || echo no)"
finish

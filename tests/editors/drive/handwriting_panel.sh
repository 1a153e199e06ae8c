#!/usr/bin/env bash
# Writing with the pen through `tessarinth-cli drive`. The input panel comes only when asked for
# with the menu bar's input panel button (x 216..239, y 296..319): a subject typed after a tap
# on its field, then a stroke on the pad, makes a handwritten memo. Asked for, the panel reads
# キ and か, and with 英 A and a rounded 2, each first; its ← takes back a character; the choice
# is remembered, so the next editor opens with the panel; a tap on another candidate right after
# a character was typed puts that candidate in its place.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out

# The panel's parts on the portrait screen: box 1 x 0..79 and box 2 x 80..159 at y 214..293;
# candidates 40 x 16 from (160, 214); ← at x 160..199, y 278..293; 英/あ x 200..239 of the same.
"$cli" drive --today 2026-12-07T09:30 - >"$out" 2>"$TESSARINTH_HOME/err" <<SCRIPT
command 40045
tap 100 35
type 打ち合わせ
stroke 30 240 60 250 90 240 120 260
shot $TESSARINTH_HOME/pad.png 1
command 1
state
SCRIPT
check "the panel is there" "" "$(grep -i handwriting "$TESSARINTH_HOME/err" || true)"
check "a tap on the subject and a stroke on the pad make a memo" 1.dat \
    "$("$cli" agenda 2026-12-07 --tsv | awk -F'\t' '$13 == "打ち合わせ"' | cut -f 15)"
check "the editor closed" TESSARINTH "$(state_value "$out" 1 active)"

"$cli" drive --today 2026-12-08T09:30 - >"$out" <<SCRIPT
command 40045
tap 100 35
tap 228 308
# キ in box 1: two strokes across, one down
stroke 16 238 32 236 48 235 62 234
stroke 10 256 30 255 50 253 68 252
stroke 40 220 40 238 40 256 40 272 40 286
# か in box 2 (its first stroke types キ): the hooked stroke, the left sweep, the dot
stroke 96 242 112 240 128 238 128 248 128 258 122 274 116 270
stroke 112 226 110 240 108 254 98 280
stroke 138 236 142 244 146 252
wait 1000
shot $TESSARINTH_HOME/written.png 1
# 英, then A in box 1 and a rounded 2 in box 2
tap 220 286
stroke 12 284 20 265 30 242 40 222 50 242 60 265 68 284
stroke 22 260 40 260 58 260
stroke 102 236 110 226 122 224 134 230 136 242 126 256 114 270 100 282 122 282 142 282
wait 1000
# one more A, typed and taken back with ←
stroke 12 284 20 265 30 242 40 222 50 242 60 265 68 284
stroke 22 260 40 260 58 260
wait 1000
tap 180 286
command 1
state
SCRIPT
check "キ and か, A and 2 are read first" キかA2 \
    "$("$cli" agenda 2026-12-08 --tsv | awk -F'\t' 'index($5, "2026-12-08") == 1' | cut -f 13)"
check "the panel was drawn under the editor" yes \
    "$([ -s "$TESSARINTH_HOME/written.png" ] && echo yes || echo no)"

# ロ (which 口 is written as too) typed after a second, as it is read first; the panel is up at
# once, as the user left it; then again with a tap on the second candidate (x 200..239, y
# 214..229) right after, which takes its place.
mouth='stroke 22 236 22 245 22 254 22 263 22 272
stroke 22 236 31 236 40 236 49 236 58 236 58 245 58 254 58 263 58 272
stroke 22 272 31 272 40 272 49 272 58 272'
"$cli" drive --today 2026-12-09T09:30 - >"$out" <<SCRIPT
command 40045
tap 100 35
$mouth
wait 1000
command 1
SCRIPT
"$cli" drive --today 2026-12-10T09:30 - >"$out" <<SCRIPT
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
first=$(subject_on 2026-12-09)
replaced=$(subject_on 2026-12-10)
check "the next editor opens with the panel, and ロ is read first" ロ "$first"
check "after the tap one character is stored" 1 "$(printf '%s' "$replaced" | LC_ALL=C.UTF-8 wc -m)"
check "and it is another candidate" 口 "$replaced"
finish

#!/usr/bin/env bash
# Draws the README's pictures: a week before the new year (docs/sample-week.ics, plus a
# handwritten route map added as the appointment editor would store it) in a fresh data home,
# painted by `tessarinth-cli screenshot` in both orientations, and the two editors worked by
# `tessarinth-cli drive`.
#   scripts/readme_pictures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli="${1:-$root/build}/cli/tessarinth-cli"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export TESSARINTH_HOME="$home" TZ=Asia/Tokyo

"$cli" import "$root/docs/sample-week.ics" >/dev/null
"$cli" add appointment --start 2026-12-23T14:00 --end 2026-12-23T15:00 --subject "" \
    --ink "$root/docs/sample-memo.ink" >/dev/null

for orientation in portrait landscape; do
    flag=$([ "$orientation" = landscape ] && echo --landscape || true)
    for zoom in 1 2; do
        "$cli" screenshot --date 2026-12-21 --today 2026-12-22 $flag --zoom "$zoom" \
            "$root/docs/screen-$orientation-x$zoom.png" >/dev/null
    done
done
"$cli" screenshot --date 2026-12-21 --today 2026-12-22 --summary --zoom 2 \
    "$root/docs/screen-summary-x2.png" >/dev/null
# The two editors, side by side: a new appointment set on the dial (outer 7 to inner 6 on the
# day face: 19:30 to 20:30) with a few strokes on the pad, and a new task with notes.
"$cli" drive --today 2026-12-22T09:00 --date 2026-12-21 - <<SCRIPT
command 40045
tap 100 35
type 新年会
tap 100 61
type 駅前
stroke 170 161 190 150
stroke 20 235 50 225 80 240 110 230
stroke 130 250 170 250 170 275
shot $home/appointment.png 2
command 40014
command 40073
tap 100 35
type 年賀状
tap 100 150
type 百枚\n喪中の方に注意
shot $home/task.png 2
SCRIPT
convert "$home/appointment.png" "$home/task.png" +append "$root/docs/screen-editors-x2.png"
echo "pictures in $root/docs"

#!/usr/bin/env bash
# Draws the README's pictures: a week before the new year (docs/sample-week.ics, plus a
# handwritten route map added as the appointment editor would store it) in a fresh data home,
# painted by `tessarinth-cli screenshot` in both orientations.
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
echo "pictures in $root/docs"

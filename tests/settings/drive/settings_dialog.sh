#!/usr/bin/env bash
# 設定 worked by hand through `tessarinth-cli drive`: OK with a colour chosen, a new holiday
# category typed and dated tasks switched off changes the settings and at once the month grid;
# キャンセル after the same changes leaves the settings file as it was.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"

# An all-day appointment on Tuesday the 15th in the category 休日, which is not yet the holiday
# category (祝日 is).
"$cli" settings set HoliDay 休日 >/dev/null
"$cli" add appointment --all-day --start 2026-12-15 --end 2026-12-15 --subject 創立記念日 \
    --holiday >/dev/null
"$cli" settings set HoliDay 祝日 >/dev/null
setting() { "$cli" settings | awk -v name="$1" '$1 == name { print $2 }'; }

"$cli" drive --today 2026-12-07T09:30 - >/dev/null <<SCRIPT
shot $TESSARINTH_HOME/before.png
color 0x00FF00
dialog ok press 1005 set 1015 休日 check 1019 0
command 40053
shot $TESSARINTH_HOME/after.png
SCRIPT
check "OK stores the chosen colour for today" 0x00FF00 "$(setting ccToday)"
check "OK stores the typed holiday category" 休日 "$(setting HoliDay)"
check "OK stores dated tasks switched off" 0 "$(setting bTask)"
check "the other colours stay" 0x0000FF "$(setting ccHoliDay)"

# The grid after OK is the grid a fresh start draws with the new settings: the 15th marked as a
# holiday, not the marks the month had before.
"$cli" screenshot --today 2026-12-07 "$TESSARINTH_HOME/fresh.png" >/dev/null
check "the screen after OK is the screen a new start shows" same \
    "$(cmp -s "$TESSARINTH_HOME/after.png" "$TESSARINTH_HOME/fresh.png" && echo same || echo differs)"
check "and not the one before" differs \
    "$(cmp -s "$TESSARINTH_HOME/after.png" "$TESSARINTH_HOME/before.png" && echo same || echo differs)"
check "the 15th is a holiday of the new category" 1 \
    "$("$cli" month 2026-12 --tsv | awk '$1 == "2026-12-15" { print $6 }')"

# キャンセル after a chosen colour, a new category and a switch: the file is byte for byte the same.
cp "$TESSARINTH_HOME/registry.json" "$TESSARINTH_HOME/registry.before"
"$cli" drive --today 2026-12-07T09:30 - >/dev/null <<'SCRIPT'
color 0x123456
dialog cancel press 1009 set 1015 祭日 check 1019 1 check 1021 1
command 40053
SCRIPT
check "キャンセル leaves the settings file as it was" same \
    "$(cmp -s "$TESSARINTH_HOME/registry.json" "$TESSARINTH_HOME/registry.before" && echo same || echo differs)"
check "and the settings" 休日 "$(setting HoliDay)"

# The same from the turned screen, where the dialog scrolls.
"$cli" drive --landscape --today 2026-12-07T09:30 - >/dev/null <<'SCRIPT'
dialog ok check 1021 1
command 40053
SCRIPT
check "OK from the turned screen stores the last switch" 1 "$(setting Small)"
finish

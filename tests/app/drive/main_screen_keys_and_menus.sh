#!/usr/bin/env bash
# The main screen worked from the keyboard and the menu bar as a user would, on a week with a
# meeting: keys and 移動 move the day, the summary pop-up follows the day it is shown over, and
# the About box comes and goes. Driven through `tessarinth-cli drive`.
source "$(dirname "$0")/../../support/drive_support.sh" "$@"
out=$TESSARINTH_HOME/out

"$cli" add appointment --start 2026-12-10T10:00 --end 2026-12-10T11:30 --subject 打ち合わせ \
    >/dev/null

"$cli" drive --today 2026-12-07T09:30 - >"$out" <<SCRIPT
key Down
key Down
key Down
shot $TESSARINTH_HOME/driven.png
state
# 移動 (the second button of the menu bar), then 翌月
popup 40019
tap 60 310
state
key Return
state
command 40076
key Down
shot $TESSARINTH_HOME/summary.png
dialog ok
key Ctrl+A
state
SCRIPT
check "three Downs select the 10th" "2026-12-10 00:00" "$(state_value "$out" 1 selected)"
check "翌月 keeps the day" "2027-01-10 00:00" "$(state_value "$out" 2 selected)"
check "Return goes to today" "2026-12-07 00:00" "$(state_value "$out" 3 selected)"
check "the About box closes to the main window" "TESSARINTH" "$(state_value "$out" 4 active)"

"$cli" screenshot --today 2026-12-07 --date 2026-12-10 "$TESSARINTH_HOME/shot.png" >/dev/null
check "the driven screen is the screenshot of that day" same \
    "$(cmp -s "$TESSARINTH_HOME/driven.png" "$TESSARINTH_HOME/shot.png" && echo same || echo differs)"
"$cli" screenshot --today 2026-12-07 --date 2026-12-08 --summary "$TESSARINTH_HOME/pop.png" \
    >/dev/null
check "the summary shows the day it is over" same \
    "$(cmp -s "$TESSARINTH_HOME/summary.png" "$TESSARINTH_HOME/pop.png" && echo same || echo differs)"

# A question nobody answered ends the run with status 3 and says which.
status=0
printf 'key Ctrl+A\n' | "$cli" drive - >/dev/null 2>"$TESSARINTH_HOME/err" || status=$?
check "an unanswered About box is a script fault" 3 "$status"
check "and it is named" 1 "$(grep -c 'About Tessarinth' "$TESSARINTH_HOME/err")"
finish

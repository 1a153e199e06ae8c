# Sourced by the `tessarinth-cli drive` scenarios: a fresh data home in Tokyo time, the CLI as
# `cli`, and the checks they share. Usage in a scenario: source this file with the CLI's path as
# its first argument.
set -euo pipefail
cli=${1:?usage: SCENARIO.sh PATH-TO-tessarinth-cli}
TESSARINTH_HOME=$(mktemp -d)
export TESSARINTH_HOME TZ=Asia/Tokyo QT_QPA_PLATFORM=offscreen
trap 'rm -rf "$TESSARINTH_HOME"' EXIT
failures=0

# state_value FILE N KEY: KEY's value in the Nth `state` printed into FILE (each starts with
# its active= line).
state_value() {
    awk -v n="$2" -v key="$3" '/^active=/ { block++ }
        block == n && index($0, key "=") == 1 { print substr($0, length(key) + 2) }' "$1"
}

# check WHAT EXPECTED ACTUAL
check() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}

# Ends the scenario with its verdict.
finish() {
    [ "$failures" -eq 0 ] || exit 1
    echo "all checks passed"
}

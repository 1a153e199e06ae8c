#!/usr/bin/env bash
# The long run of the random multi-device sync schedules: three planners and a phone on one
# collection, with faults injected, checked against a model of their changes (see
# tests/sync/random_schedules.cpp). Runs them on a collection in memory and against each server
# asked for, and prints each run's failing schedules and its verdict.
#
#   bench/sync_schedules.sh BUILD [SCHEDULES [SEED [STEPS [SERVER...]]]]
#   bench/sync_schedules.sh build 1000 1 60 memory radicale xandikos
#
# A failing schedule prints its seed and how to replay it (--seed S --schedules 1 --verbose).
set -euo pipefail
build=${1:?usage: sync_schedules.sh BUILD [SCHEDULES [SEED [STEPS [SERVER...]]]]}
schedules=${2:-1000}
seed=${3:-1}
steps=${4:-60}
shift $(($# < 4 ? $# : 4))
servers=("$@")
[ ${#servers[@]} -gt 0 ] || servers=(memory radicale xandikos)
here=$(cd "$(dirname "$0")/.." && pwd)
program="$build/tests/sync/sync_random_schedules"
status=0
for server in "${servers[@]}"; do
    printf '%s: ' "$server"
    if [ "$server" = memory ]; then
        "$program" --schedules "$schedules" --seed "$seed" --steps "$steps" || status=1
    else
        TESSARINTH_SYNC_SERVER=$server bash "$here/tests/sync/random_schedules_e2e.sh" \
            "$build/cli/tessarinth-cli" "$program" "$schedules" "$seed" "$steps" || status=1
    fi
done
exit "$status"

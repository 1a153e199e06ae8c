#!/usr/bin/env bash
# Random schedules of three planners and a phone (sync_random_schedules) against a real server
# started here: Radicale or xandikos, as TESSARINTH_SYNC_SERVER says.
#
#   random_schedules_e2e.sh PATH-TO-tessarinth-cli PATH-TO-sync_random_schedules [SCHEDULES [SEED [STEPS]]]
set -euo pipefail
schedules_program=${2:?usage: random_schedules_e2e.sh CLI SCHEDULES-PROGRAM [SCHEDULES [SEED [STEPS]]]}
schedules=${3:-20}
seed=${4:-1}
steps=${5:-40}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/server_support.sh"
work=$(mktemp -d)
trap 'stop_server; rm -rf "$work"' EXIT
export TZ=Europe/Berlin

start_server "$work/server"
"$schedules_program" --server "$server_url" --user alice --password secret \
    --home "$calendar_home" --schedules "$schedules" --seed "$seed" --steps "$steps"

#!/usr/bin/env bash
# Builds Tessarinth and starts it on the default data home.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TESSARINTH_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target tessarinth tessarinth-cli
exec "$build/app/tessarinth" "$@"

#!/usr/bin/env bash
# Installs every Debian package Tessarinth needs to build, test and run.
# Non-interactive and idempotent: running it twice changes nothing the second time.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins libgl1-mesa-dev
  libsqlite3-dev sqlite3 libcurl4-openssl-dev
  libical-dev libicu-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-ipafont-gothic fonts-misaki fonts-dejavu-core
  xvfb xauth x11-utils xdotool imagemagick
  tzdata
  dbus-daemon dbus-session-bus-common
  radicale xandikos python3-caldav curl qtkeychain-qt6-dev
  vdirsyncer khal todoman
  faketime
  libzinnia-dev tegaki-zinnia-japanese zinnia-utils unicode-data
  help2man desktop-file-utils dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup: installed ${missing[*]}"

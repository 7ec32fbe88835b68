#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run its demo.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  cmake ninja-build g++ pkg-config clang libfuzzer-14-dev \
  qt6-base-dev libgl-dev qt6-translations-l10n \
  libcurl4-openssl-dev openssl ca-certificates \
  libsqlite3-dev sqlite3 \
  7zip \
  libgtest-dev libgmock-dev googletest \
  python3 python3-pyftpdlib \
  xvfb xauth x11-apps imagemagick \
  fontconfig fonts-dejavu-core fonts-liberation2 \
  xdotool xdg-utils

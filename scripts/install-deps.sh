#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run its demo; only what is
# missing, so that a machine that has them all is left alone.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config clang libfuzzer-14-dev
  qt6-base-dev libgl-dev qt6-translations-l10n
  libcurl4-openssl-dev libssl-dev openssl ca-certificates
  libsqlite3-dev sqlite3
  7zip
  libgtest-dev libgmock-dev googletest nlohmann-json3-dev
  python3 python3-pyftpdlib
  xvfb xauth x11-apps imagemagick
  fontconfig fonts-dejavu-core fonts-liberation2
  xdotool xdg-utils desktop-file-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need, only what is missing: the
# mingw-w64 cross compiler for 32-bit Windows, Wine with its 32-bit loader (wine32 needs the
# i386 architecture), GoogleTest's sources, npm (7-Zip for Windows comes from the npm registry),
# Xvfb, and the ru_RU.UTF-8 locale (Wine takes the ANSI code page 1251 from it); NSIS for the
# installer and xdotool for its test.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
packages=(
  g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine64 wine32:i386
  googletest cmake ninja-build python3 python3-pyftpdlib openssl
  xvfb xauth imagemagick locales fonts-liberation2
  nsis xdotool
)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm comes with the machine's Node.js where there is one.
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  $SUDO sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

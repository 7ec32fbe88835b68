#!/usr/bin/env bash
# Installs the program for the current user, without administrator rights: it writes into its
# own directory (downloads, its configuration copy, the self-update), so the directory is the
# user's.
#   bash scripts/install.sh              builds a release build (build-release) and installs
#   bash scripts/install.sh --uninstall  removes the installation, keeping the node folders
#                                        with their EDZ files
# Where: the program directory $XDG_DATA_HOME/VOLNOR_Eplan_DB (~/.local/share by default), the
# launcher ~/.local/bin/volnor-eplan-db, the menu entry under $XDG_DATA_HOME/applications and the
# icons under $XDG_DATA_HOME/icons/hicolor. HOME and XDG_DATA_HOME choose another place (the
# tests install into a throwaway HOME); VOLNOR_BUILD_DIR installs from a build folder that is
# already configured (only the installed programs are built there).
set -euo pipefail
cd "$(dirname "$0")/.."
data="${XDG_DATA_HOME:-$HOME/.local/share}"
prog="$data/VOLNOR_Eplan_DB"
launcher="$HOME/.local/bin/volnor-eplan-db"
entry="$data/applications/volnor-eplan-db.desktop"
icons="$data/icons/hicolor"
sizes="16 22 24 32 48 64 128 256"

# Desktops watch the menu's folder; an icon cache the user's theme already has is kept current.
refresh_icons() {
  if [ -f "$icons/icon-theme.cache" ] && command -v gtk-update-icon-cache > /dev/null; then
    gtk-update-icon-cache -q -t -f "$icons" 2> /dev/null || true
  fi
}

if [ "${1:-}" = "--uninstall" ]; then
  rm -f "$launcher" "$entry"
  for n in $sizes; do rm -f "$icons/${n}x${n}/apps/volnor-eplan-db.png"; done
  if [ -d "$prog" ]; then
    # Everything the install and the program put at the top of the directory (the program, its
    # interpreter, scripts, configuration, state file, update archive), the 7-Zip link and the
    # icons; the node folders the downloads made, and any EDZ file, stay.
    rm -rf "$prog/7z" "$prog/icons"
    find "$prog" -mindepth 1 -maxdepth 1 ! -type d ! -iname '*.edz' -exec rm -f {} +
    rmdir "$prog" 2> /dev/null || echo "Оставлены загруженные изделия: $prog"
  fi
  # The program's stand-in for the Windows drive: the folders it made at its starts go when
  # they are empty; a parts database or macros in them stay.
  [ -d "$data/VOLNOR" ] && find "$data/VOLNOR" -depth -type d -empty -delete
  refresh_icons
  echo "Программа удалена."
  exit 0
fi

build="${VOLNOR_BUILD_DIR:-build-release}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLNOR_BUILD_TESTS=OFF
fi
cmake --build "$build" -j "$(nproc)" --target VOLNOR_Eplan_DB cmd volnor-images \
  volnor-install-state
cmake --install "$build" --prefix "$prog"

mkdir -p "$(dirname "$launcher")"
# The program needs its own directory as current directory.
printf '#!/bin/sh\ncd %q && exec ./VOLNOR_Eplan_DB "$@"\n' "$prog" > "$launcher"
chmod +x "$launcher"

for n in $sizes; do
  install -D -m 644 "$prog/icons/icon-$n.png" "$icons/${n}x${n}/apps/volnor-eplan-db.png"
done
mkdir -p "$(dirname "$entry")"
# A path in Exec is quoted, with the characters the entry's quoting escapes.
exec_path=$(printf '%s' "$launcher" | sed -e 's/[\\"`$]/\\\\&/g')
template=$(< packaging/linux/volnor-eplan-db.desktop.in)
printf '%s\n' "${template//@LAUNCHER@/"\"$exec_path\""}" > "$entry"
refresh_icons
echo "Программа установлена: $prog (запуск: $launcher)"

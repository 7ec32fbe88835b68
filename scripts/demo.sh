#!/usr/bin/env bash
# The program's main job on a fresh machine: installs, builds against the local demo server,
# and starts the program in a throwaway program directory. Without a display it runs under Xvfb,
# double-clicks the first group of the catalogue, waits for the download's message box, saves
# docs/screenshot.png and lists the folder the EDZ files landed in.
set -euo pipefail
shopt -s extglob
cd "$(dirname "$0")/.."
repo="$(pwd)"
https_port=18443
ftp_port=12121
config_date="01.12.2026"  # DATE of the demo's configuration, in the short date format below

bash scripts/install-deps.sh
bash scripts/build.sh build-demo -DVOLNOR_BUILD_TESTS=OFF \
  "-DVOLNOR_CONNECT_TO=vn.test:443:127.0.0.1:${https_port};ftp.vn.test:2121:127.0.0.1:${ftp_port}"

# The program directory: the program, the command interpreter and 7z/7z.exe side by side.
prog="$(mktemp -d /tmp/volnor-demo.XXXXXX)"
cp -a build-demo/bin/. "$prog/"
[ -e "$prog/7z/7z.exe" ] || { mkdir -p "$prog/7z"; ln -s /usr/bin/7zz "$prog/7z/7z.exe"; }
# The last applied update is as new as the published one: no self-update in the demo.
printf '[Eplan]\r\nDATEUPDATE=%s\r\n' "$config_date" > "$prog/eplan-config_local.ini"
# Drive C: of the program lies inside the throwaway folder, with a sample parts database.
export XDG_DATA_HOME="$prog/data"
drive="$XDG_DATA_HOME/VOLNOR/drive_c"
mkdir -p "$drive/Users/Public/EPLAN/Data/Элементы"
"$prog/volnor-sampledb" "$drive/Users/Public/EPLAN/Data/Элементы/ESS_part001.mdb" 2000 \
  --macros "$drive/Users/Public/EPLAN/Data/Макросы/VOLNOR" 40

pids=()
cleanup() {  # the program first, then the X server, then the demo server
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

/usr/bin/python3 tools/demo/demo_server.py --https-port "$https_port" --ftp-port "$ftp_port" \
  --date "$config_date" --lifetime 3600 > "$prog/server.out" 2> "$prog/server.log" &
pids+=($!)
for _ in $(seq 100); do grep -q ready "$prog/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$prog/server.out" || { cat "$prog/server.log"; echo "demo server did not start"; exit 1; }
echo "Demo server on 127.0.0.1: HTTPS $https_port, FTP $ftp_port. Program directory: $prog"

# Dates in the configuration are written in the Russian short date format.
run_program() { LC_TIME=ru_RU.UTF-8 ./VOLNOR_Eplan_DB "$@"; }
# The first window of the program whose name matches the glob $1, waiting up to $2 seconds.
# (xdotool's own name search does not match Cyrillic names.)
await_window() {
  local w
  for _ in $(seq $(($2 * 5))); do
    for w in $(xdotool search --class VOLNOR_Eplan_DB 2>/dev/null); do
      # shellcheck disable=SC2053
      [[ "$(xdotool getwindowname "$w" 2>/dev/null)" == $1 ]] && { echo "$w"; return 0; }
    done
    sleep 0.2
  done
  echo "no window '$1' after $2 s" >&2
  return 1
}

cd "$prog"
if [ -n "${DISPLAY:-}" ]; then
  run_program
  exit 0
fi

display=77
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp > "$prog/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 100); do xdotool getdisplaygeometry > /dev/null 2>&1 && break; sleep 0.1; done

run_program > "$prog/program.log" 2>&1 &
pids+=($!)
window="$(await_window 'ВОЛНОР: установщик*' 60)"
sleep 1
# The first row of the tree (a top-level group): the tree starts at 16, 70 in the window.
xdotool mousemove --window "$window" 70 81 click --repeat 2 --delay 120 1
box="$(await_window '@(Подтверждение|Предупреждение)' 300)"
sleep 1
mkdir -p "$repo/docs"
# The screen cut to the main window, with the message box over it.
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$repo/docs/screenshot.png"
echo "Message box: $(xdotool getwindowname "$box")"
echo "Saved $repo/docs/screenshot.png"
find "$prog" -mindepth 2 -maxdepth 2 -iname '*.edz' -printf '%h\n' | sort -u | while read -r folder; do
  echo "EDZ files in $folder:"
  ls -l "$folder"
done

# ---- The instructions panel (second picture) ----
# The download's box is closed, "инструкция" (the second toolbar button) is clicked, and the
# window is saved with the panel open as docs/screenshot-instructions.png.
xdotool key --window "$box" Return
for _ in $(seq 50); do xdotool getwindowname "$box" > /dev/null 2>&1 || break; sleep 0.2; done
# The toolbar starts at 16, 8 in the window; the second button's middle lies at about 114, 38.
xdotool mousemove --window "$window" 114 38 click 1
# The pointer leaves the toolbar, so that the button shows its pressed state, not its hover.
xdotool mousemove --window "$window" 450 400
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$repo/docs/screenshot-instructions.png"
echo "Saved $repo/docs/screenshot-instructions.png"

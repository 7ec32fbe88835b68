#!/usr/bin/env bash
# The program's main job on a fresh machine: installs, builds against the local demo server,
# and starts the program in a throwaway program directory. Without a display it runs under Xvfb,
# double-clicks the first group of the catalogue, waits for the download's message box, saves
# docs/screenshot.png and lists the folder the EDZ files landed in.
#
# With --update the server publishes a newer DATE and an update archive made from the build,
# signed with the demo's own key: the program downloads it, checks the signature, ends, the
# update scripts replace its files and start it again.
# Under Xvfb the restarted window is saved with its news open as docs/screenshot-update.png.
#
# With --windows it runs the Windows program under Wine instead (scripts/demo-windows.sh) and
# saves docs/screenshot-windows.png.
set -euo pipefail
shopt -s extglob
cd "$(dirname "$0")/.."
[ "${1:-}" = "--windows" ] && exec bash scripts/demo-windows.sh
repo="$(pwd)"
https_port=18443
ftp_port=12121
config_date="01.12.2026"  # DATE of the demo's configuration, in the short date format below
update=0
[ "${1:-}" = "--update" ] && update=1
published_date="$config_date"
[ "$update" = 1 ] && published_date="08.12.2026"  # later than the last applied update

bash scripts/install-deps.sh
# The program trusts the build folder's test CA, which the build makes; the demo server's
# certificate is signed by it.
test_ca="$repo/build-demo/test-ca"
demo_options=(-DVOLNOR_BUILD_TESTS=OFF "-DVOLNOR_CA_FILE=$test_ca/ca.pem"
  "-DVOLNOR_CONNECT_TO=vn.test:443:127.0.0.1:${https_port};ftp.vn.test:2121:127.0.0.1:${ftp_port}")
# The demo's maker key pair, made once per build folder by the signing tool and never
# committed: the program is built with its public half and checks the update archive with it.
key_dir=build-demo/update-key
if [ ! -s "$key_dir/public.txt" ]; then
  cmake -S . -B build-demo -G Ninja "${demo_options[@]}" > /dev/null
  cmake --build build-demo --target volnor-sign
  mkdir -p "$key_dir"
  rm -f "$key_dir/private.pem" "$key_dir/public.txt"
  build-demo/bin/volnor-sign keygen "$key_dir/private.pem" "$key_dir/public.txt"
fi
bash scripts/build.sh build-demo "${demo_options[@]}" \
  "-DVOLNOR_UPDATE_KEY=$(cat "$key_dir/public.txt")"

# The program directory: the program, the command interpreter and 7z/7z.exe side by side.
prog="$(mktemp -d /tmp/volnor-demo.XXXXXX)"
cp -a build-demo/bin/. "$prog/"
[ -e "$prog/7z/7z.exe" ] || { mkdir -p "$prog/7z"; ln -s /usr/bin/7zz "$prog/7z/7z.exe"; }
# The last applied update is as new as the published one: no self-update without --update.
printf '[Eplan]\r\nDATEUPDATE=%s\r\n' "$config_date" > "$prog/eplan-config_local.ini"
update_archive=""
signature=""
if [ "$update" = 1 ]; then
  # The program's own files from the build; never the link to the system's 7-Zip. The maker
  # signs it and publishes the signature in the configuration.
  update_archive="$prog.update.7z"
  (cd build-demo/bin && 7zz a -bd -y '-xr!7z' "$update_archive" . > /dev/null)
  signature="$(build-demo/bin/volnor-sign sign "$key_dir/private.pem" "$update_archive")"
fi
# Drive C: of the program lies inside the throwaway folder, with a sample parts database.
export XDG_DATA_HOME="$prog/data"
drive="$XDG_DATA_HOME/VOLNOR/drive_c"
mkdir -p "$drive/Users/Public/EPLAN/Data/Элементы"
"$prog/volnor-sampledb" "$drive/Users/Public/EPLAN/Data/Элементы/ESS_part001.mdb" 2000 \
  --macros "$drive/Users/Public/EPLAN/Data/Макросы/VOLNOR" 40

pids=()
# Ends a process with SIGTERM, and with SIGKILL if it is still there after 5 s.
stop() {
  kill "$1" 2> /dev/null || return 0
  for _ in $(seq 50); do kill -0 "$1" 2> /dev/null || return 0; sleep 0.1; done
  kill -KILL "$1" 2> /dev/null || true
}
cleanup() {  # the program first, then the X server, then the demo server
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
}
trap cleanup EXIT

# Polls the command "$3..." every 0.2 s until it succeeds, for at most $2 seconds; fails with
# "$1" otherwise.
await() {
  local what="$1" seconds="$2"
  shift 2
  for _ in $(seq $((seconds * 5))); do "$@" && return 0; sleep 0.2; done
  echo "demo: gave up after $seconds s waiting for $what" >&2
  return 1
}

/usr/bin/python3 tools/demo/demo_server.py --https-port "$https_port" --ftp-port "$ftp_port" \
  --ca-cert "$test_ca/ca.pem" --ca-key "$test_ca/ca.key" \
  --date "$published_date" ${update_archive:+--update-archive "$update_archive"} \
  ${signature:+--signature "$signature"} \
  --lifetime 3600 > "$prog/server.out" 2> "$prog/server.log" &
pids+=($!)
server_ready() { grep -q ready "$prog/server.out" 2> /dev/null; }
await "the demo server" 20 server_ready || { cat "$prog/server.log"; exit 1; }
echo "Demo server on 127.0.0.1: HTTPS $https_port, FTP $ftp_port. Program directory: $prog"

# Dates in the configuration are written in the Russian short date format.
run_program() { LC_TIME=ru_RU.UTF-8 ./VOLNOR_Eplan_DB "$@"; }

cd "$prog"
if [ -n "${DISPLAY:-}" ]; then
  run_program
  exit 0
fi

# The X server picks a free display itself and writes its number once it takes connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$prog/display" > "$prog/xvfb.log" 2>&1 &
pids+=($!)
display_ready() { grep -q '^[0-9]' "$prog/display" 2> /dev/null; }
await "the X server" 20 display_ready || { cat "$prog/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n 1 "$prog/display")"

# A shown window of the program whose name matches the glob $1 and whose process is not $3,
# waiting up to $2 seconds; its id goes to standard output.
# (xdotool's own name search does not match Cyrillic names.)
found_window() {
  local w
  for w in $(xdotool search --onlyvisible --class VOLNOR_Eplan_DB 2> /dev/null); do
    # shellcheck disable=SC2053
    [[ "$(xdotool getwindowname "$w" 2> /dev/null)" == $1 ]] || continue
    [ -n "${2:-}" ] && [ "$(xdotool getwindowpid "$w" 2> /dev/null)" = "$2" ] && continue
    echo "$w"
    return 0
  done
  return 1
}
await_window() {
  local w
  for _ in $(seq $(($2 * 5))); do
    w="$(found_window "$1" "${3:-}")" && { echo "$w"; return 0; }
    sleep 0.2
  done
  echo "demo: no window '$1' after $2 s" >&2
  return 1
}
window_gone() { ! xdotool search --onlyvisible --class VOLNOR_Eplan_DB 2> /dev/null | grep -qx "$1"; }

# The screen cut to the rectangle of window $1 (with any box over it) into file $2: "rgb:FILE"
# for raw pixels, a .png name for a picture.
grab() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}
# Whether the picture of window $1 differs from raw file $2 (so a click has been answered).
changed_from() { grab "$1" "rgb:$2.now" && ! cmp -s "$2" "$2.now"; }
# Waits until two pictures of window $1 taken 0.3 s apart are the same, and saves the last as
# PNG file $2: the window and its boxes have finished drawing.
steady_shot() {
  local raw="$prog/shot.rgb"
  grab "$1" "rgb:$raw.before"
  for _ in $(seq 50); do
    sleep 0.3
    grab "$1" "rgb:$raw"
    if cmp -s "$raw" "$raw.before"; then
      mkdir -p "$(dirname "$2")"
      grab "$1" "$2"
      return 0
    fi
    mv "$raw" "$raw.before"
  done
  echo "demo: the window did not settle within 15 s" >&2
  return 1
}
# A left click at $2, $3 in window $1 whose answer changes the window's picture; the pointer
# then leaves for $4, $5, so that no hover is drawn.
click_and_await() {
  local raw="$prog/click.rgb"
  grab "$1" "rgb:$raw"
  xdotool mousemove --window "$1" "$2" "$3" click 1
  xdotool mousemove --window "$1" "$4" "$5"
  await "the window to answer the click at $2, $3" 10 changed_from "$1" "$raw"
}
# Closes a message box with Return, typed into it once it has the keyboard focus. The key goes
# through the X server's test extension, not to the window: the box is gone before the key is
# released.
close_box() {
  has_focus() { [ "$(xdotool getwindowfocus 2> /dev/null)" = "$1" ]; }
  xdotool windowfocus "$1"
  await "the message box to take the keyboard focus" 10 has_focus "$1"
  xdotool key Return
  await "the message box to close" 10 window_gone "$1"
}
# The news panel: "новости обновлений", the sixth toolbar button, lies at about 574, 38 in the
# window (the toolbar starts at 16, 8); the pointer then rests over the tree.
open_news() { click_and_await "$1" 574 38 450 600; }

if [ "$update" = 1 ]; then
  echo "Before: $(grep -a DATEUPDATE "$prog/eplan-config_local.ini" | tr -d '\r'), published DATE=$published_date"
  echo "Update archive signed with the demo's key: SIGNATURE=$signature"
  run_program > "$prog/program.log" 2>&1 &
  old=$!
  pids+=("$old")
  # The old program downloads the update, starts the update script and ends; the script waits
  # for it, unpacks the archive and has the restart script start the program again.
  old_ended() { ! kill -0 "$old" 2> /dev/null; }
  await "the program to end for its update" 120 old_ended || { cat "$prog/program.log"; exit 1; }
  window="$(await_window 'ВОЛНОР: установщик*' 120 "$old")"
  new="$(xdotool getwindowpid "$window")"
  pids+=("$new")
  steady_shot "$window" "$prog/restarted.png"
  open_news "$window"
  steady_shot "$window" "$repo/docs/screenshot-update.png"
  echo "The program ended and was restarted by the update (process $new)."
  echo "After: $(grep -a DATEUPDATE "$prog/eplan-config_local.ini" | tr -d '\r')"
  echo "Program directory after the update:"
  ls -l "$prog"
  echo "Saved $repo/docs/screenshot-update.png"
  exit 0
fi

run_program > "$prog/program.log" 2>&1 &
pids+=($!)
window="$(await_window 'ВОЛНОР: установщик*' 60)"
steady_shot "$window" "$prog/started.png"
# The first row of the tree (a top-level group): the tree starts at 16, 70 in the window.
xdotool mousemove --window "$window" 70 81 click --repeat 2 --delay 120 1
box="$(await_window '@(Подтверждение|Предупреждение)' 300)"
# The screen cut to the main window, with the message box over it.
steady_shot "$window" "$repo/docs/screenshot.png"
echo "Message box: $(xdotool getwindowname "$box")"
echo "Saved $repo/docs/screenshot.png"
find "$prog" -mindepth 2 -maxdepth 2 -iname '*.edz' -printf '%h\n' | sort -u | while read -r folder; do
  echo "EDZ files in $folder:"
  ls -l "$folder"
done

# ---- The news panel (second picture) ----
# The download's box is closed and the window is saved with the news of the configuration open.
close_box "$box"
open_news "$window"
steady_shot "$window" "$repo/docs/screenshot-news.png"
echo "Saved $repo/docs/screenshot-news.png"

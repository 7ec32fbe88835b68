#!/usr/bin/env bash
# The Windows program's main job under Wine (scripts/demo.sh --windows): cross-builds it against
# the local demo server, lays out a throwaway program directory, makes the Wine prefix trust the
# demo's CA, starts the program, double-clicks the first group of the catalogue, waits for the
# download's message box and saves docs/screenshot-windows.png. Runs under Xvfb when there is
# no display (then it also ends the program); with a display it leaves the program open.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
https_port=18443
proxy_port=18080  # WinHTTP reaches the demo server through a CONNECT proxy (a named proxy)
ftp_port=12121
config_date="01.12.2026"
build=build-demo-windows

bash scripts/install-deps.sh
# The maker's web host goes through the proxy, the FTP host to the demo's FTP server; the test CA
# of the build folder signs the demo server's certificate.
bash scripts/build-windows.sh "$build" -DVOLNOR_CA_FILE="$repo/$build/test-ca/ca.pem" \
  "-DVOLNOR_CONNECT_TO=vn.test:443:127.0.0.1:${proxy_port};ftp.vn.test:2121:127.0.0.1:${ftp_port}"

prog="$(mktemp -d /tmp/volnor-demo-windows.XXXXXX)"
cp -a "$build/bin/." "$prog/"
printf '[Eplan]\r\nDATEUPDATE=%s\r\n' "$config_date" > "$prog/eplan-config_local.ini"
export WINEPREFIX="$repo/$build/wineprefix"

pids=()
stop() {
  kill "$1" 2> /dev/null || return 0
  for _ in $(seq 50); do kill -0 "$1" 2> /dev/null || return 0; sleep 0.1; done
  kill -KILL "$1" 2> /dev/null || true
}
cleanup() {
  wineserver -k 2> /dev/null || true
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
}
trap cleanup EXIT
await() {
  local what="$1" seconds="$2"
  shift 2
  for _ in $(seq $((seconds * 5))); do "$@" && return 0; sleep 0.2; done
  echo "demo: gave up after $seconds s waiting for $what" >&2
  return 1
}

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$prog/display" > "$prog/xvfb.log" 2>&1 &
  pids+=($!)
  display_ready() { grep -q '^[0-9]' "$prog/display" 2> /dev/null; }
  await "the X server" 20 display_ready || { cat "$prog/xvfb.log"; exit 1; }
  export DISPLAY=":$(head -n 1 "$prog/display")"
fi

/usr/bin/python3 tools/demo/demo_server.py --https-port "$https_port" --ftp-port "$ftp_port" \
  --ca-cert "$repo/$build/test-ca/ca.pem" --ca-key "$repo/$build/test-ca/ca.key" \
  --date "$config_date" --lifetime 3600 > "$prog/server.out" 2> "$prog/server.log" &
pids+=($!)
/usr/bin/python3 tests/servers/connect_proxy.py --target "$https_port" --port "$proxy_port" \
  --workdir "$prog" --record "$prog/proxy.jsonl" --lifetime 3600 > "$prog/proxy.out" 2>&1 &
pids+=($!)
server_ready() { grep -q ready "$prog/server.out" 2> /dev/null && [ -s "$prog/proxy.out" ]; }
await "the demo server" 20 server_ready || { cat "$prog/server.log" "$prog/proxy.out"; exit 1; }

# The prefix trusts the demo's CA as a Windows user's store trusts the maker's.
bash scripts/wine.sh "$build/tools/volnor-trust-ca.exe" "$build/test-ca/ca.pem"
echo "Demo server on 127.0.0.1: HTTPS $https_port (proxy $proxy_port), FTP $ftp_port. Program directory: $prog"

cd "$prog"
if [ $headless = 0 ]; then
  exec bash "$repo/scripts/wine.sh" ./VOLNOR_Eplan_DB.exe
fi
bash "$repo/scripts/wine.sh" ./VOLNOR_Eplan_DB.exe > "$prog/program.log" 2>&1 &
pids+=($!)

# The program's shown windows by their names (xdotool's own name search does not match
# Cyrillic names).
window_named() {
  local w
  for w in $(xdotool search --onlyvisible --name . 2> /dev/null); do
    [ "$(xdotool getwindowname "$w" 2> /dev/null)" = "$1" ] && { echo "$w"; return 0; }
  done
  return 1
}
main_title="ВОЛНОР: установщик для базы данных Eplan"
await "the window" 90 window_named "$main_title" > /dev/null
window="$(window_named "$main_title")"
# The window has taken the configuration when status panel 1 shows its date: wait until two
# pictures 0.5 s apart are the same.
settled() {
  import -window root "rgb:$prog/a.rgb"; sleep 0.5; import -window root "rgb:$prog/b.rgb"
  cmp -s "$prog/a.rgb" "$prog/b.rgb"
}
await "the window to settle" 30 settled
# The first row of the tree (a top-level group), as in the Linux demo.
xdotool mousemove --window "$window" 70 81 click --repeat 2 --delay 120 1
box_shown() { window_named "Подтверждение" > /dev/null || window_named "Предупреждение" > /dev/null; }
await "the download's message box" 300 box_shown
await "the box to settle" 30 settled
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$repo/docs/screenshot-windows.png"
echo "Saved $repo/docs/screenshot-windows.png"
find "$prog" -mindepth 2 -maxdepth 2 -iname '*.edz' -printf '%h\n' | sort -u | while read -r folder; do
  echo "EDZ files in $folder:"
  ls -l "$folder"
done

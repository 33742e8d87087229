#!/usr/bin/env bash
# Builds the reader and starts it on the simulated 1-Wire port with a sample
# fob and the sample event file: scripts/demo.sh [fob file] [--earlier].
# The program's folder gets a copy of examples/vintok.ini; the run log and
# export file appear beside it. Replace the fob file while the program runs to
# lay another fob on the reader.
set -euo pipefail
fob=""
program="build/dev/vintok32"
for arg in "$@"; do
  if [ "$arg" = "--earlier" ]; then
    program="build/dev/earlier/vintok32"
  else
    # A fob file named on the command line, from where the script was called.
    fob="$(realpath -m "$arg")"
  fi
done
cd "$(dirname "$0")/.."
fob="${fob:-$PWD/examples/fob-worked-example.txt}"
cmake --preset dev >/dev/null
cmake --build --preset dev
cp -n examples/vintok.ini "$(dirname "$program")/vintok.ini" 2>/dev/null || true
echo "Fob on the reader: $fob (ONEWIRE_DEFAULT_PORT=sim:$fob)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  # No desktop on this machine: serve the window over VNC instead.
  export QT_QPA_PLATFORM="vnc:size=700x560:port=5900"
  echo "No display: connect a VNC viewer to port 5900 of this machine to see the window."
fi
ONEWIRE_DEFAULT_PORT="sim:$fob" exec "$program"

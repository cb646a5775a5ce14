#!/usr/bin/env bash
# Starts the player from the folder that holds Data/. Without a display (none announced, or
# the player cannot open its window on it) it renders a short headless preview instead and
# says where the frames are.
# Usage: scripts/run.sh [PATH-TO-particleplayer]
set -uo pipefail
cd "$(dirname "$0")/.."
player="${1:-build/app/particleplayer}"
preview=out/preview

if [[ ! -x "$player" ]]; then
  echo "run: $player is not built yet; 'make run' builds it first" >&2
  exit 1
fi

# The player runs as a child so that its exit status can decide what follows. Signals that
# would end this script are passed on to it, and it closes its window cleanly.
run_player() {
  "$player" &
  local pid=$!
  trap 'kill -TERM "$pid" 2>/dev/null' INT TERM HUP
  local status
  while true; do
    wait "$pid"
    status=$?
    # wait also returns when a trapped signal arrives; only a finished player ends the loop.
    kill -0 "$pid" 2>/dev/null || break
  done
  trap - INT TERM HUP
  return "$status"
}

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  run_player
  status=$?
  # 1 means the player found no usable display and said why in one line.
  [[ $status -ne 1 ]] && exit "$status"
  echo "run: the player cannot open its window here; rendering a preview instead" >&2
else
  echo "run: no display found (DISPLAY and WAYLAND_DISPLAY are unset); rendering a preview instead" >&2
fi

mkdir -p "$preview" || exit 1
"$player" render --frames 120 --frame-ms 16 --seed 1 --out "$preview" || exit $?
echo "run: 2 seconds of the scene are in $(pwd)/$preview/ (frame_00001.png ... frame_00120.png)" >&2

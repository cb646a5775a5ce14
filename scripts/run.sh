#!/usr/bin/env bash
# Starts the player from the folder that holds Data/. Without a display it
# renders a short headless preview instead and says where the frames are.
set -euo pipefail
cd "$(dirname "$0")/.."
player="${1:-build/app/particleplayer}"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$player"
fi
echo "run: no display found (DISPLAY and WAYLAND_DISPLAY are unset); rendering a preview instead" >&2
mkdir -p out/preview
"$player" render --frames 120 --frame-ms 16 --out out/preview
echo "run: preview frames written to $(pwd)/out/preview/" >&2

#!/usr/bin/env bash
# Installs what is needed, builds, and runs the screensaver: full-screen on a
# display when there is one, otherwise a short headless render of the tour.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake --preset default
cmake --build --preset default

if [ -n "${DISPLAY:-}" ] && [ -x build/src/app/Velmora3D ] && xdpyinfo >/dev/null 2>&1; then
  echo "Running the screensaver full-screen on ${DISPLAY}; press a key or a mouse button to end it."
  exec build/src/app/Velmora3D /s
fi

out="${VELMORA_OUT:-out/frames}"
mkdir -p "$out"
build/src/scene/velmora3d-render --out "$out" --frames "${VELMORA_FRAMES:-90}" --size 1280x720 --time 6900
echo "Rendered frames of the tour are in $(cd "$out" && pwd)"

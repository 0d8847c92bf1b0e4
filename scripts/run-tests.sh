#!/usr/bin/env bash
# Installs what is needed, builds the project twice (plain and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh

export VELMORA_WERROR=ON
# Tests never touch the user's own settings.
export KESTROVA3D_REGISTRY="${TMPDIR:-/tmp}/velmora-ci-registry-$$.reg"

run_preset() {
  local preset=$1
  echo "=== preset ${preset}: configure and build"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  echo "=== preset ${preset}: tests"
  # Window tests need an X server; start a private one when none is given.
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x720x24" ctest --preset "$preset" -j2
  else
    ctest --preset "$preset" -j2
  fi
}

start=$(date +%s)
run_preset default
run_preset asan
echo "all tests passed in both presets in $(( $(date +%s) - start )) s"

#!/usr/bin/env bash
# Installs what is needed, builds the project twice for Linux (plain and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and twice for Windows (x64
# and x86, cross-built with mingw-w64), and runs every test of each: the
# Windows ones under Wine, in a fresh prefix per run.
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
for preset in default asan windows-x64 windows-x86; do
  preset_start=$(date +%s)
  run_preset "$preset"
  echo "=== preset ${preset}: passed in $(( $(date +%s) - preset_start )) s"
done
echo "all tests passed in every preset in $(( $(date +%s) - start )) s"

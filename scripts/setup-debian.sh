#!/usr/bin/env bash
# Installs every Debian package the build, the tools and the tests need, the
# Windows builds' included (setup-windows.sh). Non-interactive and idempotent:
# safe to run on every build.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev llvm
  zlib1g-dev libminizip-dev libjpeg62-turbo-dev libpng-dev
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libx11-dev libxcb1-dev libxrandr-dev libxss-dev libxtst-dev
  qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins
  libcurl4-openssl-dev ca-certificates
  googletest libgtest-dev
  xvfb xauth x11-utils
  xscreensaver
  dpkg-dev lintian
  python3 xdg-utils
)

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows builds: cross compilers, Wine and the cross-built libraries.
bash "$(dirname "$0")/setup-windows.sh"

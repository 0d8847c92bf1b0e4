#!/usr/bin/env bash
# Installs what the Windows builds and their tests need: the mingw-w64 cross
# compilers, Wine (64- and 32-bit), the resource and installer tools, and the
# libraries Debian has no mingw package of (libjpeg-turbo, minizip and libpng
# for the tests and the headless renderer), which
# are cross-built here from Debian's own source packages into
# $VELMORA_MINGW_PREFIX/<triplet> (default /opt/velmora-mingw).
# Non-interactive and idempotent: a second run installs and builds nothing.
set -euo pipefail

prefix_root="${VELMORA_MINGW_PREFIX:-/opt/velmora-mingw}"
triplets=(x86_64-w64-mingw32 i686-w64-mingw32)

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive

# [SECTION] Packages

# 32-bit Windows programs run on Wine's i386 half.
need_update=
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi

# The cross-built libraries come from Debian's sources. The security suite may
# serve no sources, so only the main suites get deb-src entries; apt-get source
# then takes the main suite's version.
src_list=/etc/apt/sources.list.d/velmora-deb-src.sources
if [ ! -f "$src_list" ]; then
  $sudo tee "$src_list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  need_update=1
fi

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  libz-mingw-w64-dev
  wine wine64 wine32:i386
  # What Wine only recommends but its windows and WGL need, for both halves
  # (without them 32-bit programs get no pixel format at all).
  libgl1 libgl1-mesa-dri libgl1:i386 libgl1-mesa-dri:i386
  libxcursor1 libxi6 libxrandr2 libxrender1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1
  libxcursor1:i386 libxi6:i386 libxrandr2:i386 libxrender1:i386 libxinerama1:i386 libxcomposite1:i386
  libxfixes3:i386 libxxf86vm1:i386
  libgnutls30 libgnutls30:i386
  nasm icoutils nsis
  # Marlett (the title-bar buttons) and the MS Sans Serif the dialogs name.
  fonts-wine
  dpkg-dev cmake ninja-build googletest
  xvfb xauth xdotool x11-utils imagemagick python3
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ]; then
  $sudo apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# [SECTION] Cross-built libraries

# The source package's version, as apt-get source would fetch it.
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -n 1
}

jpeg_version=$(source_version libjpeg-turbo)
zlib_version=$(source_version zlib)
png_version=$(source_version libpng1.6)
if [ -z "$jpeg_version" ] || [ -z "$zlib_version" ] || [ -z "$png_version" ]; then
  echo "setup-windows: no source packages of libjpeg-turbo, zlib or libpng1.6; check the deb-src entries in $src_list" >&2
  exit 1
fi
stamp_text="libjpeg-turbo ${jpeg_version}; zlib ${zlib_version} (minizip, static zlib); libpng ${png_version}"

all_built=1
for t in "${triplets[@]}"; do
  if [ "$(cat "$prefix_root/$t/.velmora-stamp" 2>/dev/null)" != "$stamp_text" ]; then
    all_built=
  fi
done
if [ -n "$all_built" ]; then
  exit 0
fi

work=$(mktemp -d)
# apt-get source fetches as the _apt user, which must reach the folder.
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  # Only the unpacked sources are needed; no build dependencies are installed.
  apt-get source -q --download-only libjpeg-turbo zlib libpng1.6 >/dev/null
  for dsc in *.dsc; do
    dpkg-source --no-check -x "$dsc" >/dev/null
  done
)
jpeg_src=$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
zlib_src=$(find "$work" -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
png_src=$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)

jobs=$(nproc)
zlib_upstream=${zlib_version#*:}
zlib_upstream=${zlib_upstream%%-*}
for t in "${triplets[@]}"; do
  prefix="$prefix_root/$t"
  if [ "$(cat "$prefix/.velmora-stamp" 2>/dev/null)" = "$stamp_text" ]; then
    continue
  fi
  echo "setup-windows: cross-building libjpeg-turbo, minizip and libpng for $t into $prefix"
  case "$t" in
    x86_64-*) cpu=x86_64 ;;
    *) cpu=i686 ;;
  esac
  $sudo rm -rf "$prefix"
  $sudo mkdir -p "$prefix/lib/pkgconfig" "$prefix/include/minizip"

  # libjpeg-turbo: the static library with the libjpeg 6b interface and SIMD.
  jb="$work/jpeg-$t"
  cmake -S "$jpeg_src" -B "$jb" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$cpu" \
    -DCMAKE_C_COMPILER="$t-gcc-posix" -DCMAKE_RC_COMPILER="$t-windres" \
    -DCMAKE_ASM_NASM_COMPILER=nasm \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
    -DCMAKE_INSTALL_PREFIX="$prefix" -Wno-dev >/dev/null
  cmake --build "$jb" --target jpeg-static -j "$jobs" >/dev/null
  $sudo install -m 644 "$jb/libjpeg.a" "$prefix/lib/libjpeg.a"
  for h in jpeglib.h jmorecfg.h jerror.h; do
    $sudo install -m 644 "$jpeg_src/$h" "$prefix/include/$h"
  done
  $sudo install -m 644 "$jb/jconfig.h" "$prefix/include/jconfig.h"

  # minizip from zlib's contributed code, against Debian's mingw zlib.
  mb="$work/minizip-$t"
  mkdir -p "$mb"
  for c in ioapi unzip zip; do
    "$t-gcc-posix" -O2 -c "$zlib_src/contrib/minizip/$c.c" -o "$mb/$c.o" -I"/usr/$t/include"
  done
  "$t-ar" rcs "$mb/libminizip.a" "$mb"/*.o
  $sudo install -m 644 "$mb/libminizip.a" "$prefix/lib/libminizip.a"
  for h in ioapi.h unzip.h zip.h crypt.h; do
    $sudo install -m 644 "$zlib_src/contrib/minizip/$h" "$prefix/include/minizip/$h"
  done
  $sudo tee "$prefix/lib/pkgconfig/minizip.pc" >/dev/null <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: minizip
Description: zlib's contributed ZIP reader and writer, cross-built for $t
Version: ${zlib_upstream}
Libs: -L\${libdir} -lminizip /usr/$t/lib/libz.a
Cflags: -I\${includedir}/minizip
EOF
  # libpng: the static library, against Debian's mingw zlib.
  pb="$work/png-$t"
  cmake -S "$png_src" -B "$pb" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$cpu" \
    -DCMAKE_C_COMPILER="$t-gcc-posix" -DCMAKE_RC_COMPILER="$t-windres" \
    -DCMAKE_FIND_ROOT_PATH="/usr/$t" -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -Wno-dev >/dev/null
  cmake --build "$pb" --target png_static -j "$jobs" >/dev/null
  $sudo install -m 644 "$pb/libpng16.a" "$prefix/lib/libpng16.a"
  $sudo ln -sf libpng16.a "$prefix/lib/libpng.a"
  for h in png.h pngconf.h; do
    $sudo install -m 644 "$png_src/$h" "$prefix/include/$h"
  done
  $sudo install -m 644 "$pb/pnglibconf.h" "$prefix/include/pnglibconf.h"

  echo "$stamp_text" | $sudo tee "$prefix/.velmora-stamp" >/dev/null
done

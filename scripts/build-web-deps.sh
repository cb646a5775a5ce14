#!/usr/bin/env bash
# Builds zlib and libpng for WebAssembly from their Debian source packages: `apt-get source`
# fetches and unpacks them (Debian's patches applied) into BUILD/deps/src, emscripten compiles
# them, and their static libraries and headers go into BUILD/deps/prefix. Nothing of theirs is
# kept in the repository. Does nothing when the prefix already holds both.
# Usage: scripts/build-web-deps.sh BUILD   (needs a deb-src entry: scripts/install-deps.sh --web)
set -euo pipefail
out=$(realpath -m "${1:?usage: build-web-deps.sh BUILD}")
prefix="$out/deps/prefix"
if [[ -f "$prefix/lib/libpng.a" && -f "$prefix/lib/libz.a" ]]; then exit 0; fi
src="$out/deps/src"
mkdir -p "$src" "$prefix/lib" "$prefix/include"
cd "$src"
# Emscripten's JavaScript tools need acorn, which Debian keeps in its own Node.js module folder.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"

zlib_dir=$(find . -maxdepth 1 -type d -name 'zlib-*' | head -n1)
if [[ -z "$zlib_dir" ]]; then
  apt-get source -qq zlib >/dev/null
  zlib_dir=$(find . -maxdepth 1 -type d -name 'zlib-*' | head -n1)
fi
png_dir=$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)
if [[ -z "$png_dir" ]]; then
  apt-get source -qq libpng1.6 >/dev/null
  png_dir=$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)
fi

echo "build-web-deps: zlib from $zlib_dir" >&2
(cd "$zlib_dir" && CFLAGS="-O2" emconfigure ./configure --static --prefix="$prefix" >/dev/null &&
  emmake make -j2 libz.a >/dev/null)
cp "$zlib_dir/libz.a" "$prefix/lib/"
cp "$zlib_dir/zlib.h" "$zlib_dir/zconf.h" "$prefix/include/"

echo "build-web-deps: libpng from $png_dir" >&2
emcmake cmake -S "$png_dir" -B "$src/libpng-build" -DCMAKE_BUILD_TYPE=Release \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" >/dev/null
cmake --build "$src/libpng-build" -j2 --target png_static >/dev/null
cp "$src/libpng-build/libpng16.a" "$prefix/lib/libpng.a"
cp "$png_dir/png.h" "$png_dir/pngconf.h" "$src/libpng-build/pnglibconf.h" "$prefix/include/"
echo "build-web-deps: zlib and libpng in $prefix" >&2

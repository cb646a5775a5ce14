#!/usr/bin/env bash
# Builds zlib, libpng and Dear ImGui for WebAssembly from their Debian source packages:
# `apt-get source` fetches and unpacks them (Debian's patches applied) into BUILD/deps/src,
# emscripten compiles them, and their static libraries and headers go into BUILD/deps/prefix
# (ImGui's headers under include/imgui/, as Debian's libimgui-dev installs them). Nothing of
# theirs is kept in the repository. Does nothing when the prefix already holds all three.
# Usage: scripts/build-web-deps.sh BUILD   (needs a deb-src entry: scripts/install-deps.sh --web)
set -euo pipefail
out=$(realpath -m "${1:?usage: build-web-deps.sh BUILD}")
prefix="$out/deps/prefix"
if [[ -f "$prefix/lib/libpng.a" && -f "$prefix/lib/libz.a" && -f "$prefix/lib/libimgui.a" ]]; then
  exit 0
fi
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
imgui_dir=$(find . -maxdepth 1 -type d -name 'imgui-*' | head -n1)
if [[ -z "$imgui_dir" ]]; then
  apt-get source -qq imgui >/dev/null
  imgui_dir=$(find . -maxdepth 1 -type d -name 'imgui-*' | head -n1)
fi

if [[ -f "$prefix/lib/libpng.a" && -f "$prefix/lib/libz.a" ]]; then
  echo "build-web-deps: zlib and libpng already in $prefix" >&2
else
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
fi

# The editor's panel: ImGui's core, its std::string helpers and its OpenGL 3 back-end for
# WebGL 2 (OpenGL ES 3). The item hook records every widget's rectangle for the page's debug
# hook; the same definitions go into the page's own compilation (web/CMakeLists.txt).
echo "build-web-deps: Dear ImGui from $imgui_dir" >&2
imgui_build="$src/imgui-build"
mkdir -p "$imgui_build" "$prefix/include/imgui/backends"
imgui_objects=()
for file in imgui.cpp imgui_draw.cpp imgui_tables.cpp imgui_widgets.cpp misc/cpp/imgui_stdlib.cpp \
            backends/imgui_impl_opengl3.cpp; do
  object="$imgui_build/$(basename "$file" .cpp).o"
  em++ -O2 -std=c++17 -DIMGUI_IMPL_OPENGL_ES3 -DIMGUI_ENABLE_TEST_ENGINE -I"$imgui_dir" \
    -c "$imgui_dir/$file" -o "$object"
  imgui_objects+=("$object")
done
rm -f "$imgui_build/libimgui.a"
emar rcs "$imgui_build/libimgui.a" "${imgui_objects[@]}"
cp "$imgui_dir"/imgui.h "$imgui_dir"/imconfig.h "$imgui_dir"/imgui_internal.h \
  "$imgui_dir"/imstb_*.h "$imgui_dir/misc/cpp/imgui_stdlib.h" "$prefix/include/imgui/"
cp "$imgui_dir/backends/imgui_impl_opengl3.h" "$prefix/include/imgui/backends/"
cp "$imgui_build/libimgui.a" "$prefix/lib/"
echo "build-web-deps: zlib, libpng and Dear ImGui in $prefix" >&2

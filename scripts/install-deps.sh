#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the player need,
# but only when one of them is missing, so a ready machine pays nothing.
# Usage: scripts/install-deps.sh [--fuzz|--docs|--web|--web-test|--deb]   (--fuzz adds clang and
# its runtimes, --docs Doxygen for `make docs`, --web emscripten and the tools that fetch and
# unpack Debian source packages for `make web`, --web-test Chromium besides for `make web-test`,
# --deb the package tools and lintian for `make deb`)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make
  libsdl2-dev libepoxy-dev libpng-dev libtiff-dev zlib1g-dev libimgui-dev libstb-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libgtest-dev libgmock-dev libbenchmark-dev python3 libpugixml-dev
  libegl-mesa0 libgl1-mesa-dri libgles2 xvfb xauth libsfml-dev
)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
elif [[ "${1:-}" == "--deb" ]]; then
  packages+=(dpkg-dev lintian)
elif [[ "${1:-}" == "--docs" ]]; then
  packages+=(doxygen)
elif [[ "${1:-}" == "--web" || "${1:-}" == "--web-test" ]]; then
  packages+=(emscripten node-acorn dpkg-dev xz-utils)
  if [[ "${1:-}" == "--web-test" ]]; then
    packages+=(chromium)
    # npm fetches playwright-core; a Node.js from elsewhere may bring its own npm.
    command -v npm >/dev/null || packages+=(npm)
  fi
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# `make web` compiles libpng and zlib from their Debian source packages, which apt fetches
# only with a deb-src entry: one beside the system's own, for the same archive and suites.
if [[ "${1:-}" == --web* ]] && ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list \
     /etc/apt/sources.list.d/; then
  echo "install-deps: adding a deb-src entry for Debian's source packages" >&2
  $sudo tee /etc/apt/sources.list.d/particleplayer-src.sources >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  $sudo apt-get update -qq
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

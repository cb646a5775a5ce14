#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the player need,
# but only when one of them is missing, so a ready machine pays nothing.
# Usage: scripts/install-deps.sh [--fuzz|--docs]   (--fuzz adds clang and its runtimes,
# --docs Doxygen for `make docs`)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make
  libsdl2-dev libepoxy-dev libpng-dev zlib1g-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libgtest-dev libgmock-dev libbenchmark-dev python3
  libegl-mesa0 libgl1-mesa-dri libgles2 xvfb xauth
)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
elif [[ "${1:-}" == "--docs" ]]; then
  packages+=(doxygen)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

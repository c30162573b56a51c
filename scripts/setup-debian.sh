#!/usr/bin/env bash
# Installs every Debian package Quillbox needs to build, run and test. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libstb-dev libcli11-dev nlohmann-json3-dev zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libmgba-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
  emscripten nodejs chromium
  clang-14 libclang-rt-14-dev
  fonts-dejavu-core fonts-dejavu-extra
  xvfb xauth
  hyperfine ccache
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

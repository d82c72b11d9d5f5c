#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine. Safe to run again:
# it only calls apt-get when a package is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi

PACKAGES=(
  wine wine32:i386 wine64 fonts-wine
  g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev
  cmake make ninja-build
  xvfb xauth x11-utils xdotool imagemagick icoutils
  ccache lld
  googletest
  python3 bc
  clang libclang-rt-14-dev llvm
  libtinyxml2-dev curl
  valgrind
)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  NEED_UPDATE=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ] || [ -n "${NEED_UPDATE:-}" ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

echo "setup: ready"

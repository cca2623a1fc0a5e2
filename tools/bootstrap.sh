#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git python3
  clang clang-format clang-tidy cppcheck libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libasio-dev libplist-dev libcairo2-dev libglib2.0-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

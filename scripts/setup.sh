#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the updater needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  # application framework and what its modules link
  juce-modules-source libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
  libfreetype-dev libfontconfig-dev libpng-dev libjpeg-dev zlib1g-dev libcurl4-openssl-dev
  libx11-xcb-dev libxcb1-dev
  # platform layer
  libudev-dev libxml2-dev
  # the system's locale aliases (/usr/share/locale/locale.alias)
  locales
  # fonts for the twelve languages
  fonts-noto-cjk fonts-liberation fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  umockdev libumockdev-dev gir1.2-umockdev-1.0 python3-gi
  xvfb xdotool x11-utils imagemagick openbox gdb
)

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

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
  # the system's locale aliases (/usr/share/locale/locale.alias), and the Chinese, Japanese and
  # Korean locales that the tests draw the window under
  locales
  # fonts for the twelve languages
  fonts-noto-cjk fonts-liberation fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  umockdev libumockdev-dev gir1.2-umockdev-1.0 python3-gi
  xvfb xdotool x11-utils imagemagick openbox gdb
)
locales=(zh_CN.UTF-8 zh_TW.UTF-8 ja_JP.UTF-8 ko_KR.UTF-8)

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

# Generates the locales that are not there yet (locale -a writes "zh_CN.utf8" for zh_CN.UTF-8).
missing=()
for l in "${locales[@]}"; do
  locale -a | grep -qx "${l%.UTF-8}.utf8" || missing+=("$l")
done
if [ ${#missing[@]} -gt 0 ]; then
  for l in "${missing[@]}"; do
    grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen
fi

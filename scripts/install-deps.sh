#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Idempotent and quiet
# when everything is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libpng-dev libjpeg62-turbo-dev libtiff-dev zlib1g-dev libtinyxml-dev
  libcairo2-dev libpango1.0-dev libgtk-3-dev libwebkit2gtk-4.1-dev
  fonts-arphic-uming fonts-liberation fonts-dejavu-core fontconfig
  libgtest-dev libgmock-dev
  clang clang-format libclang-rt-14-dev llvm
  xvfb xdotool x11-utils openbox libx11-dev iproute2 util-linux
  desktop-file-utils appstream lintian dpkg-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

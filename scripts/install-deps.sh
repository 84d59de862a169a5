#!/usr/bin/env bash
# Installs what the build, the tests and the benchmarks need on Debian 12. Does nothing when all of
# it is already there. Needs root (or sudo).
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  nlohmann-json3-dev libsimdjson-dev libgtest-dev libgmock-dev libbenchmark-dev
  libxcb1-dev libxcb-randr0-dev libxcb-screensaver0-dev libxcb-xinput-dev libxcb-shape0-dev libxcb-ewmh-dev
  libcanberra-dev
  xvfb xauth tmux ccache openbox xdotool wmctrl xterm x11-utils trayer sway foot kitty
  dbus-daemon sound-theme-freedesktop openssl nodejs
  clang libclang-rt-14-dev clang-format
  dpkg-dev desktop-file-utils appstream
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

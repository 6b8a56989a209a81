#!/usr/bin/env bash
# Installs the Debian 12 packages the engine needs to build, run and test.
# Installs only what is missing, so a machine that has everything does nothing.
set -euo pipefail
pkgs=(build-essential cmake pkg-config libsdl2-dev libgl-dev libglu1-mesa-dev
      libgl1-mesa-dri libegl-mesa0 libtomlplusplus-dev libgtest-dev libbenchmark-dev
      xvfb xdotool x11-utils valgrind ccache zenity)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi

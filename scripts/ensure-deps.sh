#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/ensure-deps.sh [run|test|bench]
set -euo pipefail
mode=${1:-test}
pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-image-formats-plugins
      qt6-translations-l10n fonts-ipafont-gothic fonts-ipafont-mincho)
case "$mode" in
  test)  pkgs+=(libgtest-dev clang libclang-rt-14-dev libtiff-dev poppler-utils) ;;
  bench) pkgs+=(libbenchmark-dev libtiff-dev libvips-tools python3-skimage python3-pil libopencv-contrib-dev time) ;;
  run)   pkgs+=(libtiff-dev) ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# running apt-get only when something is missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev
  libgtest-dev googletest
  fonts-liberation fonts-ipafont-gothic
  xvfb xauth openbox xdotool
  util-linux imagemagick python3-pil
  locales
)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The windows are tested under a decimal-comma and a Japanese locale; a test
# fails, not skips, when one is missing. locale -a spells "UTF-8" "utf8".
available=$(locale -a)
ungenerated=()
for name in de_DE.UTF-8 ja_JP.UTF-8; do
  grep -qx "${name%.UTF-8}.utf8" <<<"$available" || ungenerated+=("$name")
done
if [ ${#ungenerated[@]} -gt 0 ]; then
  for name in "${ungenerated[@]}"; do
    grep -qx "$name UTF-8" /etc/locale.gen || echo "$name UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen
fi

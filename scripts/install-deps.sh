#!/usr/bin/env bash
# Installs every Debian package Sentrel needs to build, run and test.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  # libraries
  qt6-base-dev qt6-svg-dev libxcb1-dev libcurl4-openssl-dev libssl-dev libcanberra-dev
  nlohmann-json3-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  locales
  # real servers and desktop pieces used by the integration tests
  dovecot-pop3d nginx apache2-utils iproute2 nftables nodejs openssl
  pulseaudio pulseaudio-utils libcanberra-pulse sound-theme-freedesktop
  xvfb xauth trayer imagemagick xdotool dbus-daemon
  # packaging and its check
  dpkg-dev desktop-file-utils man-db
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Locales the date tests run under.
need_locales=(en_US.UTF-8 en_GB.UTF-8 de_DE.UTF-8)
gen=0
for l in "${need_locales[@]}"; do
  if ! locale -a 2>/dev/null | grep -qi "^${l%%.*}\.utf-\?8$"; then
    $SUDO sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${l} UTF-8" /etc/locale.gen || echo "${l} UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    gen=1
  fi
done
if [ "$gen" -eq 1 ]; then $SUDO locale-gen >/dev/null; fi

# npm packages of the test servers (tests/servers/*), at the versions their lock files pin.
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y -qq --no-install-recommends npm
fi
for lock in "$(dirname "$0")"/../tests/servers/*/package-lock.json; do
  [ -f "$lock" ] || continue
  (cd "$(dirname "$lock")" && npm ci --no-audit --no-fund --loglevel=error)
done

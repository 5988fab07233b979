#!/usr/bin/env bash
# Installs every Debian package the player, its tools and its tests need.
# Safe to run again; needs root (or sudo) on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev libgl-dev libqt6svg6
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-plugins-ugly
  libjpeg62-turbo-dev libpng-dev
  fonts-liberation2 fontconfig
  libgtest-dev
  xvfb xauth
  ffmpeg mpv chromium
  poppler-utils
  tinyproxy
  libssl-dev libxml2-utils
  libsqlite3-dev libpq-dev postgresql
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

export DEBIAN_FRONTEND=noninteractive
as_root apt-get update -qq
as_root apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
echo "setup: packages installed"

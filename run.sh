#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Quillon's one entry point for a new machine: install what the build needs from
# Debian's packages, then hand over to the Makefile.
#   ./run.sh test    build and run every test
#   ./run.sh demo    build, start the DVR simulator and the viewer aimed at it
#   ./run.sh TARGET  any other Makefile target (core, bench, asan, tsan, fuzz, format, package)
set -euo pipefail
cd "$(dirname "$0")"

packages=(make cmake ninja-build g++ pkg-config
          qt6-base-dev libcurl4-openssl-dev libjpeg62-turbo-dev libmicrohttpd-dev
          libgtest-dev libgmock-dev libbenchmark-dev libturbojpeg0-dev
          libjpeg-turbo-progs xvfb appstream
          qtkeychain-qt6-dev gnome-keyring dbus weston qt6-wayland imagemagick
          libavformat-dev libavcodec-dev libavutil-dev ffmpeg)
case "${1:-}" in
  fuzz|format) packages+=(clang libclang-rt-14-dev clang-format) ;;
  package) packages+=(dpkg-dev file) ;; # dpkg-shlibdeps declares the dependencies
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    apt=(apt-get)
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    apt=(sudo apt-get)
  else
    echo "run.sh: these packages are missing: ${missing[*]}" >&2
    echo "run.sh: install them as root with:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "run.sh: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # A fresh machine may have no package lists yet; fetch them when a package is unknown.
  if ! "${apt[@]}" install -y --no-install-recommends "${missing[@]}"; then
    "${apt[@]}" update
    "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
  fi
fi

exec make "${@:-test}"

#!/bin/sh
# Installs what the package needs to build and test on Debian 12, as root,
# and the resize tools that the benchmarks measure kvtprint against
# (vipsthumbnail from libvips-tools, convert from imagemagick).
# A second run installs nothing and returns at once.
set -eu

packages="build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  g++-mingw-w64-i686 wine wine32:i386
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libpng-dev libjpeg-dev libexif-dev libcli11-dev nlohmann-json3-dev
  libvips-tools imagemagick"

missing=""
for p in $packages; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages:$missing; run as root to install them" >&2
  exit 1
fi
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing

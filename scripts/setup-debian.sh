#!/usr/bin/env bash
# Installs every Debian package TovraDocs needs to build, run and test.
# Idempotent: prints nothing and returns at once when everything is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6sql6-sqlite libqt6sql6-psql
  qt6-svg-dev qt6-webengine-dev qt6-image-formats-plugins
  qt6-speech-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-tools
  gstreamer1.0-plugins-ugly
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  libsane-dev sane-utils libgphoto2-dev gphoto2 libsdl2-dev
  libgraphicsmagick++1-dev graphicsmagick libdcmtk-dev dcmtk
  libsqlite3-dev sqlite3
  fonts-liberation xvfb xauth poppler-utils icoutils
  postgresql cups printer-driver-cups-pdf binutils-mingw-w64-x86-64
  libjpeg-turbo-progs libvips-tools clang libclang-rt-14-dev
  img2pdf sane-airscan adwaita-icon-theme libheif-examples
  libjpeg-dev libwebp-dev libtiff-dev libheif-dev libpoppler-qt6-dev
  ffmpegthumbnailer heif-thumbnailer
  desktop-file-utils appstream dicom3tools
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi

echo "setup: installing ${#missing[@]} packages"
export DEBIAN_FRONTEND=noninteractive
# Services must not start from postinst scripts; tests start their own throw-away servers.
# Leave an existing policy-rc.d alone; only remove the one we put there.
own_policy=0
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d
  own_policy=1
  trap 'rm -f /usr/sbin/policy-rc.d' EXIT
fi
apt-get update -qq
# --no-install-recommends keeps the install small. libunwind-dev is not requested on
# purpose: it would remove the base image's libc++; cmake/pcstub covers its .pc file.
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/tovradocs-apt.log 2>&1 || {
  tail -n 40 /tmp/tovradocs-apt.log >&2
  exit 1
}
[ "$own_policy" -eq 1 ] && rm -f /usr/sbin/policy-rc.d
echo "setup: done"

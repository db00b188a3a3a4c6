#!/usr/bin/env bash
# Installs the Debian packages Lotvue needs to build, test and run, when some
# are missing. Run as root (apt-get); does nothing when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libqcustomplot-dev
  python3 python3-xlrd python3-openpyxl
  zlib1g-dev
  libxlsxwriter-dev
  xvfb xauth x11-apps imagemagick
  fonts-liberation fonts-wqy-zenhei
  clang libclang-rt-14-dev
  xdg-utils
  desktop-file-utils appstream shared-mime-info libfile-mimeinfo-perl man-db dpkg-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"

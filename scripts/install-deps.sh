#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the demo and the package checks need;
# skips what is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-14 libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools
  libqt6opengl6-dev qt6-translations-l10n libsystemd-dev
  xvfb x11-apps xdotool imagemagick fonts-dejavu-core socat ser2net locales
  dpkg-dev file lintian man-db appstream desktop-file-utils shared-mime-info systemd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=300 update
$sudo apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}"

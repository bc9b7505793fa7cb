#!/usr/bin/env bash
# Installs the Debian packages Keyloft needs, only those missing, and only when something is
# missing (so a second run costs a dpkg query). Used by run.sh and test.sh.
#   tools/install-deps.sh build   what building and running the program needs
#   tools/install-deps.sh test    that, plus the test environment, fuzzing and benchmarks
set -euo pipefail

build_packages=(
  g++ cmake ninja-build pkg-config
  libsqlite3-dev libhidapi-dev libudev-dev zlib1g-dev libminizip-dev libcurl4-openssl-dev
  libx11-dev libxext-dev libxi-dev libxtst-dev libxrandr-dev
  libcairo2-dev libpango1.0-dev libgif-dev libpulse-dev
  fonts-noto-cjk xvfb xauth
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev libtinyxml2-dev
  clang libclang-rt-14-dev
  pulseaudio pulseaudio-utils x11-utils sqlite3 python3
)

packages=("${build_packages[@]}")
[ "${1:-build}" = test ] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

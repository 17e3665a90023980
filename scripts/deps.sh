#!/usr/bin/env bash
# Installs every Debian package the tool-set needs to build, test and run.
# Idempotent: quiet when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang llvm lld libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsimpleini-dev libtinyxml2-dev libhidapi-dev libmodbus-dev libssl-dev nlohmann-json3-dev libcli11-dev
  qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-charts-dev libqt6opengl6-dev python3 fonts-noto-cjk
  lintian iproute2
  python3-pytest python3-venv python3-setuptools python3-wheel
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

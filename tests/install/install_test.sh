#!/usr/bin/env bash
# install_test.sh BUILD_DIR CONSUMER_SRC CMAKE
set -euo pipefail
build=$1 src=$2 cmake=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/vexactl"
test -f "$prefix/include/vexa/VexaSdk.h"
test -f "$prefix/lib/udev/rules.d/60-vexa-usb.rules"

# CMake package.
"$cmake" -S "$src" -B "$work/b1" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
"$cmake" --build "$work/b1" >/dev/null
"$work/b1/consumer"
(unset VEXA_APPDIR; "$work/b1/plugins" >/dev/null)
# Each library names its include folder once.
targets=$(find "$prefix" -name VexaTargets.cmake)
! grep -q 'include/vexa;.*include/vexa' "$targets"
# A component that was never built is reported missing, not taken.
! "$cmake" -S "$src" -B "$work/b2" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DVEXA_EXTRA_COMPONENT=NoSuchLibrary >/dev/null 2>&1

# pkg-config.
pc=$(find "$prefix" -name vexasdk.pc -printf '%h\n' | head -n1)
export PKG_CONFIG_PATH=$pc
cc -o "$work/consumer_pc" "$src/main.c" $(pkg-config --cflags --libs vexasdk) -Wl,-rpath,"$(pkg-config --variable=libdir vexasdk)"
"$work/consumer_pc"

# The installed command-line tool runs from bin/ through its link.
"$prefix/bin/vexactl" --help >/dev/null 2>&1

# The Debian packages: unpacked into a root of their own, a consumer builds against them with
# CMake and with pkg-config, and lintian finds no error in them.
if command -v cpack >/dev/null && command -v dpkg-deb >/dev/null; then
  cpack --config "$build/CPackConfig.cmake" -B "$work/pkgs" >/dev/null
  for deb in libvexa0 libvexa-dev vexa-tools vexadesk; do
    f=$(ls "$work/pkgs/${deb}_"*.deb)
    dpkg-deb -x "$f" "$work/root"
  done
  "$cmake" -S "$src" -B "$work/b3" -G Ninja -DCMAKE_PREFIX_PATH="$work/root/usr" >/dev/null
  "$cmake" --build "$work/b3" >/dev/null
  "$work/b3/consumer"
  pc=$(find "$work/root" -name vexasdk.pc -printf '%h\n' | head -n1)
  PKG_CONFIG_PATH=$pc cc -o "$work/consumer_deb" "$src/main.c" $(PKG_CONFIG_PATH=$pc pkg-config --cflags --libs vexasdk) \
    -Wl,-rpath,"$(PKG_CONFIG_PATH=$pc pkg-config --variable=libdir vexasdk)"
  "$work/consumer_deb"
  if command -v lintian >/dev/null; then
    if lintian "$work/pkgs/"*.deb 2>&1 | grep '^E:'; then
      echo "lintian reports errors" >&2
      exit 1
    fi
  fi
fi
echo "install test passed"

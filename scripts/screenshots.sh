#!/usr/bin/env bash
# Pictures of the workbench for people: main window (every coupler kind in the tree), USB search,
# login, a module being edited, the live trend, a calibration's message, the PDO mapping editor, a
# sub module's upgrade in the upgrade library's dialog and a rack beside its backup, in Chinese
# and in English, taken on the built-in simulated rack under a virtual X server into
# docs/screenshots/.
#   scripts/screenshots.sh            (BUILD_DIR=build by default; JOBS=2)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-2}
OUT=docs/screenshots

for tool in xvfb-run Xvfb xauth; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshots.sh: '$tool' is missing; install it with: apt-get install xvfb xauth" >&2
    exit 1
  fi
done

if [ ! -f "$BUILD_DIR/build.ninja" ] && [ ! -f "$BUILD_DIR/Makefile" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_WERROR=ON >/dev/null
fi
cmake --build "$BUILD_DIR" --target VexaDesk workbench-shots -j"$JOBS"

mkdir -p "$OUT"
for lang in 0 1; do
  # A fresh server per language; the program ends itself (or times out) within 150 s; about 15 s
  # of it is the trend collecting live values, some more the upgrade's transfer.
  QT_QPA_PLATFORM=xcb timeout 200 xvfb-run -a -s "-screen 0 1280x900x24" \
    "$BUILD_DIR/tools/workbench-shots" "$lang" "$OUT"
done
ls -l "$OUT"/*.png

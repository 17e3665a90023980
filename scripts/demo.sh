#!/usr/bin/env bash
# Fresh machine to the main job: install dependencies, build, and open the workbench on the
# built-in simulated rack (it starts the rack itself when no real USB coupler answers).
# Without a display it runs the terminal walk-through of the libraries instead.
#
#   ./scripts/demo.sh              the workbench (or, without a display, the walk-through)
#   ./scripts/demo.sh --terminal   the walk-through in any case; --stay keeps its rack running
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh
BIN="${BUILD_DIR:-build}/bin"
if [ "${1:-}" = "--terminal" ]; then
  shift
  exec "$BIN/vexa-demo" "$@"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "demo.sh: no display (DISPLAY is not set), so the workbench cannot open;" \
       "running the terminal walk-through of the libraries on the simulated rack instead." >&2
  exec "$BIN/vexa-demo" "$@"
fi
exec "$BIN/VexaDesk" "$@"

#!/usr/bin/env bash
# Fresh machine to the main job: install dependencies, build, and run the tool-set on the
# built-in simulated rack.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh
exec "${BUILD_DIR:-build}/bin/vexa-demo" "$@"

#!/usr/bin/env bash
# Fresh machine to green tests: install dependencies, build, run the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" -LE soak --timeout 300

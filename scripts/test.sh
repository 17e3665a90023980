#!/usr/bin/env bash
# Fresh machine to green tests: install dependencies, build, run the whole suite, then the
# sanitizer runs (ASan + UBSan suite in build-asan/, TSan concurrency tests in build-tsan/).
# VEXA_SKIP_SANITIZERS=1 stops after the plain suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" -LE soak --timeout 300
if [ "${VEXA_SKIP_SANITIZERS:-0}" != 1 ]; then
  ./scripts/sanitize.sh asan
  ./scripts/sanitize.sh tsan
fi

#!/usr/bin/env bash
# Fresh machine to green tests: install dependencies, build, run the whole suite and the Python
# package's tests, then the sanitizer runs (ASan + UBSan suite in build-asan/, TSan concurrency tests in build-tsan/).
# VEXA_SKIP_SANITIZERS=1 stops after the plain suite. Ends with what each step cost.
set -euo pipefail
cd "$(dirname "$0")/.."

timings=()
step() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  timings+=("$(printf '  %-30s %5d s' "$name" $((SECONDS - start)))")
}

step "dependencies" ./scripts/deps.sh
step "build" ./scripts/build.sh
step "suite" ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" -LE soak --timeout 300
step "Python package" ./scripts/pytest.sh
if [ "${VEXA_SKIP_SANITIZERS:-0}" != 1 ]; then
  step "ASan + UBSan build and suite" ./scripts/sanitize.sh asan
  step "TSan build and concurrency tests" ./scripts/sanitize.sh tsan
fi
echo "test.sh: every step passed"
printf '%s\n' "${timings[@]}"

#!/usr/bin/env bash
# The Python package's tests against the built tree: the libraries and vexa-sim of
# ${BUILD_DIR:-build}/bin. Extra arguments go to pytest (e.g. -k upgrade).
set -euo pipefail
cd "$(dirname "$0")/.."

bin="$(pwd)/${BUILD_DIR:-build}/bin"
if [ ! -x "$bin/vexa-sim" ]; then
  echo "pytest.sh: $bin/vexa-sim not found: build first (scripts/build.sh)" >&2
  exit 1
fi
export VEXA_LIB_DIR="$bin" VEXA_SIM="$bin/vexa-sim"
# The Debian interpreter, where python3-pytest is installed, before any other on PATH.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
exec timeout 600 "$py" -m pytest -q python/tests "$@"

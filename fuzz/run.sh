#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for a given time.
#
#   fuzz/run.sh TARGET|all SECONDS     e.g. fuzz/run.sh all 600, fuzz/run.sh eth_reply 60
#   fuzz/run.sh list                   the targets this tree builds
#
# Each target starts from its seeds in fuzz/corpus/<target>/ (never written to) and keeps what
# it finds in build-fuzz/corpus/<target>/; a crash leaves its input in build-fuzz/findings/.
# Exit status: 0 when no target found anything. Environment: BUILD_DIR, JOBS (parallel targets,
# default 1), FUZZ_ARGS (more libFuzzer flags).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-1}

usage() { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
[ $# -ge 1 ] || usage

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_WERROR=ON \
  -DVEXA_WITH_FUZZ=ON -DVEXA_WITH_TESTS=OFF -DVEXA_WITH_BENCH=OFF -DVEXA_WITH_TOOLS=OFF >/dev/null
cmake --build "$BUILD_DIR" --target vexa_fuzz -j2 >/dev/null

mapfile -t built < <(cd "$BUILD_DIR/fuzz" && ls fuzz_* 2>/dev/null | sed 's/^fuzz_//')
if [ "$1" = list ]; then printf '%s\n' "${built[@]}"; exit 0; fi
[ $# -eq 2 ] || usage
SECONDS_EACH=$2
if [ "$1" = all ]; then targets=("${built[@]}"); else targets=("$1"); fi

run_one() {
  local t=$1 exe="$BUILD_DIR/fuzz/fuzz_$1" log="$BUILD_DIR/logs/$1.log"
  [ -x "$exe" ] || { echo "fuzz: no target $t (try: fuzz/run.sh list)" >&2; return 2; }
  mkdir -p "$BUILD_DIR/corpus/$t" "$BUILD_DIR/findings/$t" "$BUILD_DIR/logs"
  local seeds=()
  [ -d "$ROOT/fuzz/corpus/$t" ] && seeds=("$ROOT/fuzz/corpus/$t")
  # -rss_limit_mb keeps a runaway allocation a finding rather than the machine's problem.
  set +e
  "$exe" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -print_final_stats=1 -max_len=1100 \
    -artifact_prefix="$BUILD_DIR/findings/$t/" ${FUZZ_ARGS:-} \
    "$BUILD_DIR/corpus/$t" "${seeds[@]}" >"$log" 2>&1
  local rc=$?
  set -e
  local execs cov
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
  printf 'fuzz: %-16s %s  execs %s  cov %s  (%s)\n' "$t" "$([ $rc -eq 0 ] && echo ok || echo FOUND)" \
    "$execs" "$cov" "$log"
  return $rc
}

failed=0
running=0
for t in "${targets[@]}"; do
  if [ "$JOBS" -gt 1 ]; then
    run_one "$t" &
    running=$((running + 1))
    if [ $running -ge "$JOBS" ]; then wait -n || failed=1; running=$((running - 1)); fi
  else
    run_one "$t" || failed=1
  fi
done
while [ $running -gt 0 ]; do wait -n || failed=1; running=$((running - 1)); done
exit $failed

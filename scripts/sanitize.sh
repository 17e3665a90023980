#!/usr/bin/env bash
# Sanitizer runs, each in its own build folder (called by scripts/test.sh; also by hand):
#
#   scripts/sanitize.sh asan   ASan + UBSan build of the libraries, tools and their tests in
#                              build-asan/, whole suite but the soak
#   scripts/sanitize.sh tsan   TSan build of the concurrency tests in build-tsan/, run alone
#
# The workbench is in the ASan run (its tests drive it offscreen); the TSan run takes its search
# tests, where the device thread and the window thread meet. Benchmarks are left out (timing
# under a sanitizer means nothing).
set -euo pipefail
cd "$(dirname "$0")/.."

# The tests that run the libraries from several threads: the library locks of the device access
# and Modbus libraries, and upgrade progress read while an upgrade runs (alone, and through the
# boot plug-ins and the device access library), and the workbench's search and reads (its device
# thread against its window thread). A new one goes here (a ctest name regex), with
# the program that holds it and that program's test folder.
TSAN_TESTS='^SimTest\.ConcurrentCallers|^MbConcurrency\.|^Transfer\.ProgressNeverRunsBackwards|^UpgradeTest\.|^workbench\.(gui|editing)\.threads$'
TSAN_PROGRAMS=(sdk_e2e_tests mbmaster_tests fwloader_transfer_tests bootports_upgrade_tests workbench_gui_tests workbench_editing_tests)
TSAN_TEST_PARTS='sdk;modbus;fwloader;bootports;workbench'


# Sanitizer reports abort the test that caused them; suppressions only in these files, each
# entry with the reason (never for our own code).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:suppressions=$PWD/scripts/sanitizers/asan.supp"
export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/scripts/sanitizers/ubsan.supp"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/sanitizers/tsan.supp"

configure() {
  local dir=$1; shift
  cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_WERROR=ON \
    -DVEXA_WITH_BENCH=OFF "$@" >/dev/null
}

case "${1:-}" in
  asan)
    configure build-asan -DVEXA_SANITIZE=address,undefined
    cmake --build build-asan
    # The install test builds a consumer without the sanitizer runtime against the instrumented
    # libraries, which cannot load that way; the plain suite runs it. A test is run a second
    # time before it counts as failed: the instrumented simulator can be slow enough between
    # the two datagrams of a duplicated reply for the library to take the second for the next
    # request (a result code, never a false success, but not what that test expects). A
    # sanitizer report comes back on the second run.
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -LE soak -E '^install\.' --timeout 600 \
      --repeat until-pass:2
    ;;
  tsan)
    configure build-tsan -DVEXA_SANITIZE=thread -DVEXA_TEST_PARTS="$TSAN_TEST_PARTS"
    cmake --build build-tsan --target "${TSAN_PROGRAMS[@]}"
    ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" -R "$TSAN_TESTS" --timeout 600
    ;;
  *)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac

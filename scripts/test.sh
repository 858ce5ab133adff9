#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite; then one clang build
# with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's coverage
# instrumentation, in which the GUI-free suites run again and each fuzz target
# runs for a short fixed time (scripts/fuzz.sh, 150 s in all); then the suites
# that exercise threads built with ThreadSanitizer. Any failure or sanitizer
# report fails the run. KESTRUNE_SKIP_SANITIZERS=1 stops after the first pass.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
jobs="${KESTRUNE_JOBS:-$( (nproc || sysctl -n hw.ncpu) 2>/dev/null || echo 2)}"
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON

echo "== Building and running the test suite"
"$root/scripts/build.sh" "$root/build" -DKESTRUNE_WERROR=$werror
(cd "$root/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

if [[ "${KESTRUNE_SKIP_SANITIZERS:-}" == "1" ]]; then
    echo "== Sanitizer pass skipped (KESTRUNE_SKIP_SANITIZERS=1)"
    exit 0
fi
echo "== GUI-free suites and fuzz targets under AddressSanitizer and UndefinedBehaviorSanitizer"
# One build serves both: clang instruments every target for libFuzzer as well,
# which costs the suites little and saves building the core once more.
CC=clang CXX=clang++ KESTRUNE_BUILD_TYPE=Debug "$root/scripts/build.sh" "$root/build-sanitizers" \
    -DKESTRUNE_WERROR=$werror -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_BENCH=OFF -DKESTRUNE_FUZZ=ON
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
(cd "$root/build-sanitizers" && ctest --output-on-failure -j "$jobs")
KESTRUNE_FUZZ_BUILD="$root/build-sanitizers" "$root/scripts/fuzz.sh" --no-build

echo "== Suites that exercise threads under ThreadSanitizer"
KESTRUNE_BUILD_TYPE=Debug "$root/scripts/build-target.sh" "$root/build-tsan" kestrune_thread_suites \
    -DKESTRUNE_WERROR=$werror -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_BENCH=OFF \
    -DKESTRUNE_SANITIZE=thread
unset ASAN_OPTIONS LSAN_OPTIONS
# die_after_fork=0: QProcess starts children vfork-style, sharing the
# parent's memory until exec, so ThreadSanitizer's "forked while
# multi-threaded" mark made in the child is seen by the parent, which then
# dies at its next thread start. The child only execs.
# ignore_noninstrumented_modules=1: Qt is not built with ThreadSanitizer, so
# of its memory accesses only those through intercepted calls (memmove,
# memcpy) are seen, while its QMutex (a futex) that orders them is not: the
# thread pool's own queue then looks raced. This leaves Qt's accesses out
# altogether (the default on macOS); its pthread calls still count, and
# every access of Kestrune's code is still checked.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:ignore_noninstrumented_modules=1:suppressions=$root/tests/tsan.supp"
(cd "$root/build-tsan" && ctest -L threads --output-on-failure -j "$jobs")
unset TSAN_OPTIONS UBSAN_OPTIONS

#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite, then the GUI-free
# suites again built with AddressSanitizer and UndefinedBehaviorSanitizer, the
# suites that exercise threads built with ThreadSanitizer, and, with
# KESTRUNE_FUZZ_PASS=1, each fuzz target for a short fixed time
# (scripts/fuzz.sh). Any failure or sanitizer report fails the run. KESTRUNE_SKIP_SANITIZERS=1 stops after the first pass.
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
echo "== GUI-free suites under AddressSanitizer and UndefinedBehaviorSanitizer"
KESTRUNE_BUILD_TYPE=Debug "$root/scripts/build.sh" "$root/build-asan" \
    -DKESTRUNE_WERROR=$werror -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_BENCH=OFF \
    -DKESTRUNE_SANITIZE=address,undefined
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

echo "== Suites that exercise threads under ThreadSanitizer"
KESTRUNE_BUILD_TYPE=Debug "$root/scripts/build-target.sh" "$root/build-tsan" kestrune_thread_suites \
    -DKESTRUNE_WERROR=$werror -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_BENCH=OFF \
    -DKESTRUNE_SANITIZE=thread
unset ASAN_OPTIONS LSAN_OPTIONS
# die_after_fork=0: QProcess starts children vfork-style, sharing the
# parent's memory until exec, so ThreadSanitizer's "forked while
# multi-threaded" mark made in the child is seen by the parent, which then
# dies at its next thread start. The child only execs.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$root/tests/tsan.supp"
(cd "$root/build-tsan" && ctest -L threads --output-on-failure -j "$jobs")
unset TSAN_OPTIONS UBSAN_OPTIONS

# The fuzz pass builds the core a fourth time (clang, libFuzzer); it runs
# with KESTRUNE_FUZZ_PASS=1 and on its own as scripts/fuzz.sh, until the
# whole run fits CI's time budget with it.
if [[ "${KESTRUNE_FUZZ_PASS:-}" == "1" ]]; then
    echo "== Fuzz targets, briefly (scripts/fuzz.sh)"
    "$root/scripts/fuzz.sh"
fi

#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite, then the GUI-free
# suites again built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Any failure or sanitizer report fails the run.
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

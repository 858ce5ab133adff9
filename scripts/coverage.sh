#!/usr/bin/env bash
# Line coverage of the core library (src/core) over the whole suite: a Debug
# build with GCC's --coverage in its own folder, every suite run once, and
# gcovr's summary of src/core. Prints the figure the suite is kept honest by
# when it is trimmed. Usage: scripts/coverage.sh [build folder [cmake options...]]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-coverage}"
[[ $# -gt 0 ]] && shift
jobs="${KESTRUNE_JOBS:-$( (nproc || sysctl -n hw.ncpu) 2>/dev/null || echo 2)}"
gcov=(gcov)
if [[ "$(uname -s)" == "Darwin" ]]; then
    "$root/scripts/setup.sh"
    command -v gcovr >/dev/null 2>&1 || brew install gcovr
    gcov=(xcrun llvm-cov gcov) # Apple's clang writes LLVM's flavour of the notes
else
    KESTRUNE_EXTRA_PACKAGES=gcovr "$root/scripts/setup.sh"
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DKESTRUNE_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_C_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
find "$dir" -name '*.gcda' -delete
# A failing suite still counts what it ran; say so, and give the figure.
(cd "$dir" && QT_QPA_PLATFORM=offscreen ctest -j "$jobs" --output-on-failure) || echo "coverage: some suites failed" >&2
# Counters that several threads bump may come out negative; gcovr is told to
# take them as they are (whether a line ran is all that is counted here).
gcovr --gcov-executable "${gcov[*]}" --gcov-ignore-parse-errors --root "$root" --filter "$root/src/core/" --object-directory "$dir/src/core" --print-summary --txt "$dir/coverage.txt" |
    grep -E '^(lines|functions|branches):'

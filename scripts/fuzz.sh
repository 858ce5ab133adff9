#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang in their own build folder and
# runs each for a fixed time over its seed corpus. Any crash, hang, sanitizer
# report or failed property fails the run; the input that did it is kept in
# <build>/fuzz-artifacts/.
#
# Usage: fuzz.sh [--total SECONDS | --each SECONDS] [--only NAME] [--no-build] [-- libFuzzer options...]
#   --total     budget for all targets together (default 150, the CI budget)
#   --each      budget per target instead (a long campaign: --each 1800)
#   --only      run one target
#   --no-build  run the targets as they are in the build folder
# Environment: KESTRUNE_FUZZ_BUILD (default <root>/build-fuzz).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KESTRUNE_FUZZ_BUILD:-$root/build-fuzz}"
total=150
each=""
only=""
build_first=1
extra=()
while (($#)); do
    case "$1" in
        --total) total="$2"; shift 2 ;;
        --each) each="$2"; shift 2 ;;
        --only) only="$2"; shift 2 ;;
        --no-build) build_first=0; shift ;;
        --) shift; extra=("$@"); break ;;
        *) echo "fuzz.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

for tool in clang clang++; do
    command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

if ((build_first)); then
    echo "== Building the fuzz targets in $build"
    CC=clang CXX=clang++ KESTRUNE_BUILD_TYPE=RelWithDebInfo "$root/scripts/build-target.sh" "$build" kestrune_fuzzers \
        -DKESTRUNE_FUZZ=ON -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF
fi

manifest="$build/fuzz/targets.txt"
mapfile -t lines < <(grep -v '^$' "$manifest")
targets=()
for line in "${lines[@]}"; do
    read -r name _ _ <<<"$line"
    [[ -z "$only" || "$name" == "$only" ]] && targets+=("$line")
done
((${#targets[@]})) || { echo "fuzz.sh: no target named $only" >&2; exit 2; }
if [[ -z "$each" ]]; then
    each=$((total / ${#targets[@]}))
    ((each >= 3)) || each=3
fi

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export QT_LOGGING_RULES="*.debug=false;*.warning=false;io.kestrune.*=false"

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
summary=()
failed=0
for line in "${targets[@]}"; do
    read -r name binary seeds options <<<"$line"
    [[ "$seeds" == "-" ]] && seeds=""
    read -r -a target_options <<<"${options:-}"
    work="$build/fuzz-corpus/$name"
    mkdir -p "$work"
    IFS=: read -r -a seed_dirs <<<"${seeds:-}"
    log="$build/fuzz-$name.log"
    echo "== $name for ${each}s (corpus $work${seeds:+, seeds ${seeds//:/ }})"
    start=$(date +%s)
    if "$binary" -max_total_time="$each" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "${target_options[@]}" "${extra[@]}" "$work" "${seed_dirs[@]}" >"$log" 2>&1; then
        status=ok
    else
        status=FAILED
        failed=1
        tail -n 60 "$log"
    fi
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
    summary+=("$(printf '%-32s %-7s %12s execs %6ss  %s' "$name" "$status" "$execs" "$(($(date +%s) - start))" "$cov")")
done
echo "== Fuzzing summary"
printf '%s\n' "${summary[@]}"
exit $failed

#!/usr/bin/env bash
# The size of the test suite against the product's, in non-blank lines:
# .cpp, .h, .py and .sh under tests/ against .cpp, .h, .mm, .js, .css and
# .html under src/, tools/, bench/ and cmake/.
# Usage: scripts/test-size.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
count() {
    local dir="$1"; shift
    local patterns=()
    for ext in "$@"; do patterns+=(-o -name "*.$ext"); done
    find "$dir" -type f \( "${patterns[@]:1}" \) -print0 | xargs -0 cat | { grep -cv "^[[:space:]]*$" || true; }
}
tests=$(count "$root/tests" cpp h py sh)
product=0
for dir in src tools bench cmake; do
    product=$((product + $(count "$root/$dir" cpp h mm js css html)))
done
echo "tests:   $tests non-blank lines"
echo "product: $product non-blank lines"
awk -v t="$tests" -v p="$product" 'BEGIN { printf "ratio:   %.0f%%\n", 100 * t / p }'

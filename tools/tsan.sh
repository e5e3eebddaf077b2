#!/usr/bin/env bash
# Builds the concurrency stress test with ThreadSanitizer (build-tsan/) and runs it:
#   tools/tsan.sh [gtest filter]      (default: Concurrency.*)
# Outside CI: a TSan build of everything takes as long as the two test builds together.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build-tsan"
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZX_TSAN=ON -DZX_BUILD_BENCH=OFF)
if command -v ccache >/dev/null; then flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j 2 --target collection_test >&2
# halt_on_error: the first race fails the run; second_deadlock_stack: both sides of a lock inversion.
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" "$dir/bin/collection_test" --gtest_filter="${1:-Concurrency.*}"

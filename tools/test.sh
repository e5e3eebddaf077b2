#!/usr/bin/env bash
# Runs the whole test suite twice: in a release build and in an ASan+UBSan build, after the source
# checks that no compiler catches.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/check_noexcept.sh"
for kind in release asan; do
  dir="$("$root/tools/build.sh" "$kind")"
  echo "== $kind tests =="
  ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
done

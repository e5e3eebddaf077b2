#!/usr/bin/env bash
# Configures and builds one tree: tools/build.sh [release|asan]. Prints the build directory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kind="${1:-release}"
case "$kind" in
  release) dir="$root/build"; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) dir="$root/build-asan"; flags=(-DCMAKE_BUILD_TYPE=Debug -DZX_SANITIZE=ON -DZX_BUILD_BENCH=OFF) ;;
  *) echo "usage: tools/build.sh [release|asan]" >&2; exit 2 ;;
esac
# A compiler cache, when the machine has one, makes rebuilds of other checkouts cheap.
if command -v ccache >/dev/null; then flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"

#!/usr/bin/env bash
# Configures and builds one tree: tools/build.sh [release|asan] [target...] (no target: everything).
# Prints the build directory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kind="${1:-release}"
shift || true
case "$kind" in
  release) dir="$root/build"; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) dir="$root/build-asan"; flags=(-DCMAKE_BUILD_TYPE=Debug -DZX_SANITIZE=ON -DZX_BUILD_BENCH=OFF) ;;
  *) echo "usage: tools/build.sh [release|asan] [target...]" >&2; exit 2 ;;
esac
# A compiler cache, when the machine has one, makes rebuilds of other checkouts cheap.
if command -v ccache >/dev/null; then flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$dir" "${flags[@]}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$dir" -j "$(nproc)" "${targets[@]}" >&2
echo "$dir"

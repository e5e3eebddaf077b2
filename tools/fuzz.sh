#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (build-fuzz/) and runs them one after another:
#   tools/fuzz.sh [seconds per target] [target...]      (default: 60 seconds, every target)
# A campaign stops after the seconds given or a million runs, whichever comes first. Inputs that add
# coverage are merged into fuzz/corpus/<target> (commit them); a crash, leak or timeout is
# written to build-fuzz/findings/ and the next target runs. Logs: build-fuzz/logs/<target>.log.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build-fuzz"
seconds="${1:-60}"
shift || true
all=(load_jpeg load_png load_bmp load_gif load_tiff load_icon load_wmf load_emf bmp_reader registry_parser
     variant_change invoke encode)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

flags=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZX_FUZZ=ON
       -DZX_BUILD_TESTS=OFF -DZX_BUILD_BENCH=OFF)
if command -v ccache >/dev/null; then flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$dir" "${flags[@]}" >/dev/null
build=()
for t in "${targets[@]}"; do build+=(--target "$t"); done
cmake --build "$dir" -j 2 "${build[@]}" >&2

# The test corpus seeds the decoders (only files whose licence allows copying are in it).
seeds_of() {
  case "$1" in
    load_icon) echo "$root/tests/corpus/ico" ;;
    load_*) echo "$root/tests/corpus/${1#load_}" ;;
    bmp_reader) echo "$root/tests/corpus/bmp" ;;
  esac
}

mkdir -p "$dir/findings" "$dir/logs"
export ASAN_OPTIONS="handle_segv=1:detect_leaks=1:allocator_may_return_null=1"
for t in "${targets[@]}"; do
  work="$dir/work/$t"
  corpus="$root/fuzz/corpus/$t"
  mkdir -p "$work" "$corpus"
  # shellcheck disable=SC2046
  if "$dir/bin/$t" "$work" "$corpus" $(seeds_of "$t") -max_total_time="$seconds" -runs=1000000 -timeout=10 \
       -rss_limit_mb=2560 -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/findings/$t-" \
       >"$dir/logs/$t.log" 2>&1; then
    echo "$t: $(grep -E '^stat::number_of_executed_units' "$dir/logs/$t.log" | awk '{print $2}') runs, $(grep -oE 'cov: [0-9]+' "$dir/logs/$t.log" | tail -1)"
  else
    echo "$t: FINDING, see $dir/logs/$t.log and $dir/findings/"
  fi
  "$dir/bin/$t" -merge=1 "$corpus" "$work" >/dev/null 2>&1 || true
done

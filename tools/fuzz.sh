#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (build-fuzz/) and runs a campaign for each:
#   tools/fuzz.sh [seconds per target] [target...]      (default: 1800 seconds, every target)
# A campaign stops after the seconds given or a million runs, whichever comes first. Afterwards the
# target's committed corpus (fuzz/corpus/<target>) is rebuilt: what it held plus what the campaign
# found, minimised with -merge=1 into a fresh folder, with every regression-* input kept whatever its
# coverage (commit the result). A crash, leak or timeout is written to build-fuzz/findings/ and the
# next target runs. Logs, with each line's elapsed seconds in front: build-fuzz/logs/<target>.log.
# The summary line gives runs, seconds, runs a second, edges at the end, and where the plateau
# began: the run and second at which the edge count last grew.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build-fuzz"
seconds="${1:-1800}"
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

# The longest input a target is given. Without a cap libFuzzer grows inputs to the largest seed
# (hundreds of kB of photo), and each run costs what decoding that costs. 64 kB holds every header,
# table and chunk structure a decoder parses, with room for pixel data; the drivers' decode limits
# (fuzz/FuzzLimits.h) keep what such an input may declare small. The other targets read their input
# as a short program (values, calls, registry text), for which 4 kB is dozens of steps.
max_len_of() {
  case "$1" in
    load_* | bmp_reader) echo 65536 ;;
    registry_parser) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

# Seconds one run may take before it counts as a hang. A script may legitimately ask invoke for an
# image of millions of pixels, which takes seconds under the sanitizers on a busy machine.
timeout_of() {
  case "$1" in
    invoke) echo 30 ;;
    *) echo 10 ;;
  esac
}

mkdir -p "$dir/findings" "$dir/logs"
export ASAN_OPTIONS="handle_segv=1:detect_leaks=1:allocator_may_return_null=1"
for t in "${targets[@]}"; do
  work="$dir/work/$t"
  corpus="$root/fuzz/corpus/$t"
  log="$dir/logs/$t.log"
  len="$(max_len_of "$t")"
  rm -rf "$work" && mkdir -p "$work" "$corpus"
  start="$(date +%s)"
  # shellcheck disable=SC2046
  set +e
  "$dir/bin/$t" "$work" "$corpus" $(seeds_of "$t") -max_len="$len" -max_total_time="$seconds" -runs=1000000 \
      -timeout="$(timeout_of "$t")" -rss_limit_mb=2560 -malloc_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$dir/findings/$t-" 2>&1 |
    while IFS= read -r line; do printf -v now '%(%s)T' -1; printf '%ss %s\n' "$((now - start))" "$line"; done >"$log"
  status=${PIPESTATUS[0]}
  set -e
  awk -v t="$t" -v status="$status" '
    { sub(/s$/, "", $1) }
    $2 ~ /^#[0-9]+$/ && $3 != "pulse" {
      for (i = 3; i < NF; ++i) if ($i == "cov:" && $(i + 1) + 0 > cov) { cov = $(i + 1) + 0; run = substr($2, 2); at = $1 }
    }
    $2 == "stat::number_of_executed_units:" { runs = $3 }
    $2 == "stat::average_exec_per_sec:" { rate = $3 }
    { last = $1 }
    END {
      printf "%s: %s runs in %s s (%s/s), %d edges, last new edge at run %s (%s s)%s\n", t, runs, last, rate,
             cov, run, at, status == 0 ? "" : status == 72 ? ", interrupted" : ", FINDING: see the log and build-fuzz/findings/"
    }' "$log"

  # Minimise: the old corpus (cut to the length cap) and the campaign's finds, merged into a fresh
  # folder; regression inputs stay whatever they add.
  old="$dir/old/$t" fresh="$dir/fresh/$t"
  rm -rf "$old" "$fresh" && mkdir -p "$old" "$fresh"
  for f in "$corpus"/*; do
    if [ -f "$f" ] && [[ "$(basename "$f")" != regression-* ]]; then head -c "$len" "$f" >"$old/$(basename "$f")"; fi
  done
  if "$dir/bin/$t" -merge=1 -max_len="$len" "$fresh" "$old" "$work" >"$dir/logs/$t.merge.log" 2>&1; then
    find "$corpus" -maxdepth 1 -type f ! -name 'regression-*' -delete
    cp -n "$fresh"/* "$corpus"/ 2>/dev/null || true
    echo "$t: corpus $(find "$corpus" -type f | wc -l) files, $(du -sk --apparent-size "$corpus" | cut -f1) kB"
  else
    echo "$t: merge failed, corpus left as it was: see $dir/logs/$t.merge.log"
  fi
done

#!/usr/bin/env bash
# Times whole processes that load the benchmark photo, apply one effect and save JPEG quality 80,
# side by side and interleaved in one run, and reports Zentarix's peak resident memory:
#   w1  Resize 200 x 150 (default quality)  vs  djpeg (the floor: decoding alone)  and  vips resize
#   w3  FlipAndRotate 90                    vs  djpeg | cjpeg -quality 80            and  vips rot d90
#   w4  FastBlur radius 2                   vs  djpeg | cjpeg -quality 80            and  vips gaussblur
# usage: bench/transform_bench.sh [build dir (default: build)] [runs (default: 7)] [image] [w1|w3|w4|all]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-7}"
photo="${3:-$root/bench/data/Kleiber_by_Lukas_Baubkus.jpg}"
workload="${4:-all}"

for tool in "$dir/bin/transform_file" "$dir/bin/zxregsvr" djpeg cjpeg vips vipsheader; do
  command -v "$tool" >/dev/null || { echo "transform_bench: $tool is missing (build it, or run tools/setup.sh)" >&2; exit 1; }
done

# A registry and an output folder of the benchmark's own, removed on exit.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ZENTARIX_REGISTRY="$work/registry.txt"
"$dir/bin/zxregsvr" "$dir/lib/libzentarix.so" >/dev/null

# vips's resize takes scale factors; its blur is the Gaussian of the tent's spread (sigma 1.15 for
# weights 1 2 3 2 1). Both run with vips's default threads.
width=$(vipsheader -f width "$photo")
height=$(vipsheader -f height "$photo")
hscale=$(awk -v w="$width" 'BEGIN { printf "%.6f", 200 / w }')
vscale=$(awk -v h="$height" 'BEGIN { printf "%.6f", 150 / h }')

case "$workload" in
  all) names=(zx-resize djpeg vips-resize zx-flip90 djpeg-cjpeg80 vips-rot zx-blur2 vips-blur) ;;
  w1) names=(zx-resize djpeg vips-resize) ;;
  w3) names=(zx-flip90 djpeg-cjpeg80 vips-rot) ;;
  w4) names=(zx-blur2 djpeg-cjpeg80 vips-blur) ;;
  *) echo "transform_bench: unknown workload $workload (w1, w3, w4 or all)" >&2; exit 2 ;;
esac
declare -A peak
run() {
  case "$1" in
    zx-resize | zx-flip90 | zx-blur2)
      local out
      out=$("$dir/bin/transform_file" "$photo" "$work/zx.jpg" "${1#zx-}") || return 1
      peak[$1]="$out" ;;
    djpeg) djpeg "$photo" >/dev/null ;;
    djpeg-cjpeg80) djpeg "$photo" | cjpeg -quality 80 >/dev/null ;;
    vips-resize) vips resize "$photo" "$work/vips.jpg[Q=80]" "$hscale" --vscale "$vscale" ;;
    vips-rot) vips rot "$photo" "$work/vips.jpg[Q=80]" d90 ;;
    vips-blur) vips gaussblur "$photo" "$work/vips.jpg[Q=80]" 1.15 ;;
  esac
}

source "$root/bench/bench_lib.sh"
sample_interleaved

echo "image: $photo (${width} x ${height}; $runs runs each, whole processes, wall time)"
print_samples
ratio "w1: Zentarix / djpeg" zx-resize djpeg "<= 2.0"
ratio "w1: Zentarix / vips resize" zx-resize vips-resize "< 1"
ratio "w3: Zentarix / djpeg|cjpeg" zx-flip90 djpeg-cjpeg80 "<= 2.0"
ratio "w3: Zentarix / vips rot" zx-flip90 vips-rot "none"
ratio "w4: Zentarix / djpeg|cjpeg" zx-blur2 djpeg-cjpeg80 "<= 2.5"
ratio "w4: Zentarix / vips gaussblur" zx-blur2 vips-blur "none"
# Peak resident memory of the whole process (measured in the warm-up run) against the 32 bpp image.
for name in zx-resize zx-flip90 zx-blur2; do
  [ -n "${peak[$name]:-}" ] || continue
  awk -v l="$name" -v s="${peak[$name]}" 'BEGIN {
    split(s, f, /[= ]/); kb = f[2]; px = f[4]
    printf "%-34s %.2f (%d MB; target <= 2.5 for resize and flip90)\n", l ": peak / 32 bpp image", kb * 1024 / (px * 4), kb / 1024 }'
done

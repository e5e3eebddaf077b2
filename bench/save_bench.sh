#!/usr/bin/env bash
# Times whole processes that load the same photo and save it, side by side in one run:
#   jpeg80  Zentarix (bench/save_file) vs Pillow open+save quality 80 vs djpeg | cjpeg -quality 80
#   bmp1    Zentarix 1 bpp threshold BMP vs Pillow convert("1", dither=NONE) + save as BMP
#   png8    Zentarix 8 bpp octree PNG (216 colours, no dither) vs ImageMagick -colors 216 +dither
#   gif256  Zentarix 256-colour octree GIF (no dither) vs Zentarix 8 bpp PNG of the same palette options
#   tiffg4  Zentarix 1 bpp threshold TIFF, CCITT group 4 vs ImageMagick -threshold 50% -compress Group4
# usage: bench/save_bench.sh [build dir (default: build)] [runs (default: 7)] [image]
#        [workload: all|jpeg80|bmp1|png8|gif256|tiffg4]
# Prints the median and fastest wall time of each, and Zentarix's ratio to each competitor.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-7}"
photo="${3:-$root/bench/data/Kleiber_by_Lukas_Baubkus.jpg}"
workload="${4:-all}"
# The distribution's tools: python3-pil lives in the system interpreter, and ImageMagick's convert
# is named by its full path so that nothing earlier on PATH can stand in for it.
python=/usr/bin/python3
magick=/usr/bin/convert

for tool in "$dir/bin/save_file" "$dir/bin/zxregsvr" djpeg cjpeg "$python" "$magick"; do
  command -v "$tool" >/dev/null || { echo "save_bench: $tool is missing (build it, or run tools/setup.sh)" >&2; exit 1; }
done
"$python" -c 'import PIL' 2>/dev/null || { echo "save_bench: python3-pil is missing (tools/setup.sh)" >&2; exit 1; }

# A registry and an output folder of the benchmark's own, removed on exit.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ZENTARIX_REGISTRY="$work/registry.txt"
"$dir/bin/zxregsvr" "$dir/lib/libzentarix.so" >/dev/null

case "$workload" in
  all) names=(zx-jpeg80 pillow-jpeg80 djpeg-cjpeg80 zx-bmp1 pillow-bmp1 zx-png8 magick-png8 zx-gif256 zx-png256
              zx-tiffg4 magick-tiffg4) ;;
  jpeg80) names=(zx-jpeg80 pillow-jpeg80 djpeg-cjpeg80) ;;
  bmp1) names=(zx-bmp1 pillow-bmp1) ;;
  png8) names=(zx-png8 magick-png8) ;;
  gif256) names=(zx-gif256 zx-png256) ;;
  tiffg4) names=(zx-tiffg4 magick-tiffg4) ;;
  *) echo "save_bench: unknown workload $workload (all, jpeg80, bmp1, png8, gif256 or tiffg4)" >&2; exit 2 ;;
esac
run() {
  case "$1" in
    zx-jpeg80) "$dir/bin/save_file" "$photo" "$work/zx.jpg" jpeg80 ;;
    pillow-jpeg80)
      "$python" -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2], quality=80)' \
        "$photo" "$work/pillow.jpg" ;;
    djpeg-cjpeg80) djpeg "$photo" | cjpeg -quality 80 >/dev/null ;;
    zx-bmp1) "$dir/bin/save_file" "$photo" "$work/zx.bmp" bmp1 ;;
    pillow-bmp1)
      "$python" -c 'import sys; from PIL import Image
Image.open(sys.argv[1]).convert("1", dither=Image.NONE).save(sys.argv[2])' "$photo" "$work/pillow.bmp" ;;
    zx-png8) "$dir/bin/save_file" "$photo" "$work/zx.png" png8 ;;
    magick-png8) "$magick" "$photo" -colors 216 +dither "$work/magick.png" ;;
    zx-gif256) "$dir/bin/save_file" "$photo" "$work/zx.gif" gif256 ;;
    zx-png256) "$dir/bin/save_file" "$photo" "$work/zx256.png" png256 ;;
    zx-tiffg4) "$dir/bin/save_file" "$photo" "$work/zx.tif" tiffg4 ;;
    magick-tiffg4) "$magick" "$photo" -threshold 50% -type bilevel -compress Group4 "$work/magick.tif" ;;
  esac
}

source "$root/bench/bench_lib.sh"
sample_interleaved

echo "image: $photo ($runs runs each, whole processes, wall time)"
print_samples
ratio "jpeg80: Zentarix / Pillow" zx-jpeg80 pillow-jpeg80 "< 1"
ratio "jpeg80: Zentarix / djpeg|cjpeg" zx-jpeg80 djpeg-cjpeg80 "<= 2.5"
ratio "bmp1:   Zentarix / Pillow" zx-bmp1 pillow-bmp1 "< 1"
ratio "png8:   Zentarix / ImageMagick" zx-png8 magick-png8 "< 1"
ratio "gif256: Zentarix GIF / Zentarix PNG" zx-gif256 zx-png256 "<= 1"
ratio "tiffg4: Zentarix / ImageMagick" zx-tiffg4 magick-tiffg4 "< 1"

#!/usr/bin/env bash
# Times whole processes that draw the same 1920 x 1080 scene (100 rectangles, 100 circles, 100 lines,
# 20 stars, 30 text lines, antialiased) and save it as PNG, side by side and interleaved:
#   Zentarix        drawing/draw_scene (DrawingTool on a raster object, SaveFile PNG)
#   GraphicsMagick  gm convert -size 1920x1080 xc:white -draw @drawing/scene.mvg out.png
# scene.mvg names its font by file path: given a family name, gm can silently draw no text.
# usage: bench/draw_bench.sh [build dir (default: build)] [runs (default: 5)]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-5}"
scene="$root/bench/drawing/scene.mvg"
font=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf

for tool in "$dir/bin/draw_scene" "$dir/bin/zxregsvr" gm; do
  command -v "$tool" >/dev/null || { echo "draw_bench: $tool is missing (build it, or run tools/setup.sh)" >&2; exit 1; }
done
[ -r "$font" ] || { echo "draw_bench: $font is missing (fonts-liberation2, tools/setup.sh)" >&2; exit 1; }

# A registry and an output folder of the benchmark's own, removed on exit.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ZENTARIX_REGISTRY="$work/registry.txt"
"$dir/bin/zxregsvr" "$dir/lib/libzentarix.so" >/dev/null
# Both sides must draw one scene: the committed MVG is what draw_scene describes.
"$dir/bin/draw_scene" --mvg "$font" | cmp -s - "$scene" ||
  { echo "draw_bench: $scene differs from draw_scene --mvg $font; regenerate it" >&2; exit 1; }

names=(zentarix graphicsmagick)
run() {
  case "$1" in
    zentarix) "$dir/bin/draw_scene" "$work/zx.png" ;;
    graphicsmagick) gm convert -size 1920x1080 xc:white -draw "@$scene" "$work/gm.png" ;;
  esac
}

source "$root/bench/bench_lib.sh"
sample_interleaved

echo "scene: $scene ($runs runs each, whole processes, wall time)"
print_samples
ratio "Zentarix / GraphicsMagick" zentarix graphicsmagick "<= 0.5"

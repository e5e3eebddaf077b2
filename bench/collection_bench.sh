#!/usr/bin/env bash
# Times whole processes that read every frame of an animated GIF and write them back as an animated
# GIF, side by side and interleaved in one run:
#   zx-layers         bench/collection_file: LoadMultiframeImage (one layer per frame), then
#                     SaveMultiframeImage as GIF
#   convert-coalesce  /usr/bin/convert in.gif -coalesce out.gif (ImageMagick composes the frames the
#                     same way and writes them whole)
# The animation is built here by bench/collection/make_animation, the same bytes every time: 100
# frames on a 400 x 300 screen, each later frame a 160 x 120 block with a transparent hole.
# usage: bench/collection_bench.sh [build dir (default: build)] [runs (default: 3)] [frames (default: 100)]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-3}"
frames="${3:-100}"
# ImageMagick's convert by its full path, so that nothing earlier on PATH can stand in for it.
magick=/usr/bin/convert

for tool in "$dir/bin/collection_file" "$dir/bin/make_animation" "$dir/bin/zxregsvr" "$magick"; do
  command -v "$tool" >/dev/null || { echo "collection_bench: $tool is missing (build it, or run tools/setup.sh)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ZENTARIX_REGISTRY="$work/registry.txt"
"$dir/bin/zxregsvr" "$dir/lib/libzentarix.so" >/dev/null
"$dir/bin/make_animation" "$work/in.gif" "$frames"

names=(zx-layers convert-coalesce)
declare -A peak
run() {
  case "$1" in
    zx-layers)
      local out
      out=$("$dir/bin/collection_file" "$work/in.gif" "$work/zx.gif") || return 1
      peak[$1]="$out" ;;
    convert-coalesce) "$magick" "$work/in.gif" -coalesce "$work/magick.gif" ;;
  esac
}

source "$root/bench/bench_lib.sh"
sample_interleaved

echo "input: $frames frames, 400 x 300, $(stat -c %s "$work/in.gif") bytes, md5 $(md5sum <"$work/in.gif" | cut -c1-32)"
echo "output bytes: zx $(stat -c %s "$work/zx.gif"), convert $(stat -c %s "$work/magick.gif")"
echo "($runs runs each, whole processes, wall time)"
print_samples
ratio "Zentarix / convert -coalesce" zx-layers convert-coalesce "< 1"
echo "zx-layers: ${peak[zx-layers]}"

#!/usr/bin/env bash
# Times whole processes that decode the same JPEG, side by side in one run: Zentarix's LoadFile
# (bench/load_file), Pillow's Image.open(f).load() and libjpeg-turbo's djpeg to /dev/null.
# usage: bench/load_bench.sh [build dir (default: build)] [runs (default: 9)] [image]
# Prints the median and the fastest wall time of each, LoadFile's ratio to the other two, and what
# one LoadFile adds to the process's peak resident memory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-9}"
photo="${3:-$root/bench/data/Kleiber_by_Lukas_Baubkus.jpg}"
# The distribution's interpreter, which python3-pil installs into (a user's pyenv may shadow it).
python=/usr/bin/python3

for tool in "$dir/bin/load_file" "$dir/bin/zxregsvr" djpeg "$python"; do
  command -v "$tool" >/dev/null || { echo "load_bench: $tool is missing (build it, or run tools/setup.sh)" >&2; exit 1; }
done
"$python" -c 'import PIL' 2>/dev/null || { echo "load_bench: python3-pil is missing (tools/setup.sh)" >&2; exit 1; }

# A registry of the benchmark's own, removed on exit.
registry="$(mktemp)"
trap 'rm -f "$registry"' EXIT
export ZENTARIX_REGISTRY="$registry"
"$dir/bin/zxregsvr" "$dir/lib/libzentarix.so" >/dev/null

names=(LoadFile Pillow djpeg)
run() {
  case "$1" in
    LoadFile) "$dir/bin/load_file" "$photo" ;;
    Pillow) "$python" -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).load()' "$photo" ;;
    djpeg) djpeg "$photo" >/dev/null ;;
  esac
}

# Milliseconds of wall time of one run; a failing run stops the benchmark.
time_ms() {
  local start end
  start=$(date +%s%N)
  run "$1" || { echo "load_bench: $1 failed" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

declare -A samples
for name in "${names[@]}"; do run "$name"; done  # warm the page cache and the loaders
# Interleaved, so that a change in machine load touches all three alike.
for ((i = 0; i < runs; i++)); do
  for name in "${names[@]}"; do samples[$name]+="$(time_ms "$name") "; done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
fastest() { tr ' ' '\n' <<<"$1" | grep . | sort -n | head -1; }

echo "image: $photo ($runs runs each, whole processes, wall time)"
printf '%-10s %10s %10s\n' tool median_ms min_ms
for name in "${names[@]}"; do
  printf '%-10s %10s %10s\n' "$name" "$(median "${samples[$name]}")" "$(fastest "${samples[$name]}")"
done
ours=$(median "${samples[LoadFile]}")
awk -v o="$ours" -v p="$(median "${samples[Pillow]}")" -v d="$(median "${samples[djpeg]}")" \
  'BEGIN { printf "LoadFile / Pillow = %.2f (target < 1)   LoadFile / djpeg = %.2f (target <= 2)\n", o / p, o / d }'
"$dir/bin/load_file" --memory "$photo"

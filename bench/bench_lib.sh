# Zentarix — MIT licence.
# Helpers of the whole-process benchmarks, sourced by a script that defines run <name>, names and runs.

# Milliseconds of wall time of one run; a failing run stops the benchmark.
time_ms() {
  local start end
  start=$(date +%s%N)
  run "$1" || { echo "$(basename "$0"): $1 failed" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# One warm-up run of each (page cache, loaders), then `runs` rounds, interleaved so that a change in
# the machine's load touches every tool alike; the times land in samples[name].
declare -A samples
sample_interleaved() {
  local name i
  for name in "${names[@]}"; do run "$name"; done
  for ((i = 0; i < runs; i++)); do
    for name in "${names[@]}"; do samples[$name]+="$(time_ms "$name") "; done
  done
}

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
fastest() { tr ' ' '\n' <<<"$1" | grep . | sort -n | head -1; }
m() { median "${samples[$1]}"; }

print_samples() {
  local name
  printf '%-14s %10s %10s\n' tool median_ms min_ms
  for name in "${names[@]}"; do printf '%-14s %10s %10s\n' "$name" "$(m "$name")" "$(fastest "${samples[$name]}")"; done
}

# ratio <label> <ours> <theirs> <target text>: the ratio of medians, when both were run.
ratio() {
  [ -n "${samples[$2]:-}" ] && [ -n "${samples[$3]:-}" ] || return 0
  awk -v l="$1" -v o="$(m "$2")" -v t="$(m "$3")" -v g="$4" 'BEGIN { printf "%-34s %.2f (target %s)\n", l, o / t, g }'
}

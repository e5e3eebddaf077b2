#!/usr/bin/env bash
# Refuses `noexcept` in pixel-kernel code: kernels run under the fault guard, and a machine fault
# translated into an exception cannot unwind out of a noexcept frame (the host would terminate).
# Checked: every kernels/ folder and every *kernel* source under the product folders.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
files=()
for folder in raster encoders transforms drawing collection effects; do
  [ -d "$folder" ] || continue
  while IFS= read -r -d '' file; do files+=("$file"); done < <(
    find "$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inl' \) \
      \( -path '*/kernels/*' -o -iname '*kernel*' \) -print0)
done
found=0
for file in "${files[@]}"; do
  # Comments may name the word; code may not.
  if hits="$(sed 's://.*$::' "$file" | grep -nw noexcept)"; then
    sed 's/^/'"${file//\//\\/}"':/' <<<"$hits" >&2
    found=1
  fi
done
if [ "$found" -ne 0 ]; then
  echo "check_noexcept: kernels run under the fault guard and must not be noexcept (see docs/architecture.md)" >&2
  exit 1
fi
echo "check_noexcept: ${#files[@]} kernel files, none noexcept"

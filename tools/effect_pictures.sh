#!/usr/bin/env bash
# Makes the pictures of docs/effects.md: the sample photo, 240 pixels wide, before and after each effect.
# Usage: tools/effect_pictures.sh [output folder, default docs/effects]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/effects}"
dir="$("$root/tools/build.sh" release zentarix zxeffects zxregsvr effect_pictures)"
# A registry of its own, so that the pictures never depend on the user's registrations.
registry="$(mktemp)"
trap 'rm -f "$registry"' EXIT
export ZENTARIX_REGISTRY="$registry"
"$dir/bin/zxregsvr" /s "$dir/lib/libzentarix.so"
"$dir/bin/zxregsvr" /s "$dir/lib/libzxeffects.so"
"$dir/bin/effect_pictures" "$root/examples/sample.jpg" "$out" 240

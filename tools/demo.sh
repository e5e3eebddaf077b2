#!/usr/bin/env bash
# The main job: builds what it runs (the two modules, zxregsvr, zxscript and the examples; no tests
# or benchmarks) in the release tree, registers both modules in a registry inside it, and runs the
# thumbnail script on the bundled photo, then the other examples.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/tools/build.sh" release zentarix zxeffects zxregsvr zxscript guidgen_demo load_demo image_job)"
# A registry of the build's own, so that the demo never touches the user's registrations.
export ZENTARIX_REGISTRY="$dir/registry.txt"
"$dir/bin/zxregsvr" "$dir/lib/libzentarix.so"
# The effects library is a module of its own; the raster object's effect methods find it by class.
"$dir/bin/zxregsvr" "$dir/lib/libzxeffects.so"
# The main job, a script run as users run theirs: a 200-pixel JPEG thumbnail of the sample photo.
"$dir/bin/zxscript" //Nologo "$root/examples/scripts/thumbnails.vbs" "$root/examples/sample.jpg" "$dir/demo-output"
"$dir/bin/guidgen_demo"
# Load the bundled sample photo through late binding and print what the raster object reads.
"$dir/bin/load_demo" "$root/examples/sample.jpg"
# The image job: save the sample as a PNG and as a JPEG of quality 80 (through the options store),
# then read both files back and print their names, sizes and dimensions.
"$dir/bin/image_job" "$root/examples/sample.jpg" "$dir/demo-output"

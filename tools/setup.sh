#!/usr/bin/env bash
# Installs what building, testing and benchmarking Zentarix needs on a fresh Debian 12 machine.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  g++ cmake make pkg-config python3
  libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev liblcms2-dev zlib1g-dev uuid-dev
  libcairo2-dev libpango1.0-dev fonts-liberation2 fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  python3-pil libjpeg-turbo-progs  # bench/load_bench.sh only: the decoders LoadFile is timed against
  imagemagick  # bench/save_bench.sh only: the 216-colour PNG that the octree encoder is timed against
  libvips-tools  # bench/transform_bench.sh only: vips resize, rot and gaussblur, timed side by side
  python3-venv python3-pytest python3-numpy  # the Python client's tests (a venv that sees these)
  dpkg-dev  # tools/package.sh: dpkg-shlibdeps works out the DEB's dependencies
  lighttpd chromium  # the web host's tests, bench and examples/web: a real server and a real browser
                     # (they run their own lighttpd on a free port; the package's service is left alone)
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

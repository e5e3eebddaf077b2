#!/usr/bin/env bash
# Starts the example site on http://127.0.0.1:PORT/ (default 8080) with lighttpd and zxscript's
# FastCGI responder, from a build tree (default: build/ of this checkout). Ctrl-C stops it.
#   examples/web/run.sh [port] [build folder]
# The site is copied to a temporary folder with the sample photo, so uploads stay out of the
# checkout; the module is registered in a registry of that folder's own.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
port="${1:-8080}"
build="$(cd "${2:-$root/build}" && pwd)"
command -v lighttpd >/dev/null || PATH="$PATH:/usr/sbin"
command -v lighttpd >/dev/null || { echo "run.sh: lighttpd is not installed (tools/setup.sh installs it)" >&2; exit 1; }
state="$(mktemp -d "${TMPDIR:-/tmp}/zx-web.XXXXXX")"
trap 'rm -rf "$state"' EXIT
mkdir -p "$state/site/photos"
cp -r "$here"/*.asp "$here"/global.asa "$here"/inc "$state/site/"
cp "$root/examples/sample.jpg" "$state/site/photos/harbour.jpg"
ZENTARIX_REGISTRY="$state/registry.txt" "$build/bin/zxregsvr" /s "$build/lib/libzentarix.so"
sed -e "s|@ROOT@|$state/site|g" -e "s|@PORT@|$port|g" -e "s|@STATE@|$state|g" \
    -e "s|@ZXSCRIPT@|$build/bin/zxscript|g" -e "s|@REGISTRY@|$state/registry.txt|g" \
    "$here/lighttpd.conf.in" > "$state/lighttpd.conf"
echo "Serving http://127.0.0.1:$port/gallery.asp (files in $state; Ctrl-C stops)"
lighttpd -D -f "$state/lighttpd.conf"

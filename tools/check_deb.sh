#!/usr/bin/env bash
# Checks the DEB package for real on this machine (run as root; takes a few minutes):
#   1. build the package and install it with dpkg -i: the modules are registered machine-wide;
#   2. as an unprivileged user with an empty home and nothing in its environment, Python loads a
#      photo and saves a thumbnail, and the example C++ client builds (pkg-config and find_package)
#      and does the same;
#   3. remove and purge the package: no registration, registry file or installed file remains.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ "$(id -u)" -eq 0 ] || { echo "check_deb.sh: run as root (it installs and purges a package)" >&2; exit 2; }

step() { printf '\n== %s ==\n' "$*"; }
fail() { echo "check_deb.sh: FAILED: $*" >&2; exit 1; }

step "package"
deb="$(bash "$root/tools/package.sh")"
registry=/var/lib/zentarix/registry.txt
python_package=/usr/lib/python3/dist-packages/zentarix

user=zxcicheck
created_user=0
work="$(mktemp -d /tmp/zx-ci-XXXXXX)"
cleanup() {
  dpkg -P zentarix >/dev/null 2>&1 || true
  if [ "$created_user" = 1 ]; then userdel "$user" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --no-create-home --shell /usr/sbin/nologin "$user"
  created_user=1
fi
home="$work/home"
mkdir -p "$home" "$work/out"
cp "$root/examples/sample.jpg" "$work/photo.jpg"
cp -r "$root/examples/client" "$work/client"
chown -R "$user:" "$home" "$work/out" "$work/client"
chmod 755 "$work"
chmod 644 "$work/photo.jpg"
# The user's commands run with nothing inherited: env -i, plus what a compiler needs (PATH) where
# one is run, and a HOME that is an empty folder.
as_user() { runuser -u "$user" -- env -i "$@"; }

step "install"
dpkg -P zentarix >/dev/null 2>&1 || true
dpkg -i "$deb"
grep -q "^@=\"/usr/lib/x86_64-linux-gnu/libzentarix.so\"$" "$registry" || fail "the module is not registered in $registry"
[ "$(stat -c %U:%a "$registry")" = "root:644" ] || fail "$registry is not root's and 644"

step "Python, as $user without any environment"
as_user /usr/bin/python3 -c '
import sys, zentarix
photo, thumbnail = sys.argv[1], sys.argv[2]
image = zentarix.Dispatch("Zentarix.RasterObject")
image.LoadFile(photo)
width, height = image.Width, image.Height
image.Resize(320, round(320 * height / width), Quality=zentarix.rqtHighQualityBicubicMode)
image.EncoderOptions["JPEGQuality"] = 80
image.SaveFile(thumbnail)
check = zentarix.Dispatch("Zentarix.RasterObject")
check.LoadFile(thumbnail)
assert (check.Width, check.Height) == (320, round(320 * height / width)), (check.Width, check.Height)
assert check.CurrentFileType == zentarix.oftJPEG
print("%s %dx%d -> %s %dx%d" % (photo, width, height, thumbnail, check.Width, check.Height))
' "$work/photo.jpg" "$work/out/python.jpg"

step "the example C++ client, as $user with an empty HOME"
as_user HOME="$home" PATH=/usr/bin:/bin make -s -C "$work/client"
as_user HOME="$home" PATH=/usr/bin:/bin cmake -S "$work/client" -B "$work/client/build" >/dev/null
as_user HOME="$home" PATH=/usr/bin:/bin cmake --build "$work/client/build" >/dev/null
as_user HOME="$home" "$work/client/thumbnail" "$work/photo.jpg" "$work/out/make.jpg"
as_user HOME="$home" "$work/client/build/thumbnail" "$work/photo.jpg" "$work/out/cmake.jpg"
cmp -s "$work/out/make.jpg" "$work/out/cmake.jpg" || fail "the two builds of the client wrote different files"
[ -z "$(find "$home" -mindepth 1 -print -quit)" ] || fail "something was written into the user's home: $(find "$home" -mindepth 1)"

step "remove and purge"
dpkg -L zentarix | grep -v '/$' > "$work/files"
dpkg -r zentarix
# What unregistration leaves: the empty parent keys and the image encoder category, by design.
! grep -qE '^\[(CLSID|TypeLib|Interface)\\|^\[Zentarix\.' "$registry" || fail "registrations remain: $(cat "$registry")"
dpkg -P zentarix
[ ! -e /var/lib/zentarix ] || fail "/var/lib/zentarix remains after purge"
while read -r file; do
  [ ! -e "$file" ] || [ -d "$file" ] || fail "$file remains after purge"
done < "$work/files"
[ ! -e "$python_package" ] || fail "$python_package remains after purge"
[ ! -e /usr/include/zentarix ] || fail "/usr/include/zentarix remains after purge"
step "the DEB package passed"

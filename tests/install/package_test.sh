#!/usr/bin/env bash
# The installed program: cmake --install into a prefix, and the Debian
# package built with cpack, checked with dpkg-deb, lintian and the desktop
# validators, then installed with apt into a fresh root (an overlay over
# this system in a mount namespace of its own, with the build and source
# trees hidden) where the installed program converts a document exactly as
# the built one does, and is removed again.
#
#   package_test.sh BUILD_DIR SOURCE_DIR
#
# The fresh root needs root and mount namespaces; without them everything
# else still runs and the test ends as skipped (77).
set -euo pipefail

build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d /tmp/quillmark-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" "$work/in/nested" "$work/reference" "$work/from-prefix" "$work/installed"
cp "$source/samples/sunset.psd" "$work/in/"
cp "$source/samples/grey-ramp.psd" "$work/in/nested/"

step "the built program's outputs, to compare the installed ones with"
"$build/quillmark" -q -i "$work/in/" -o "$work/reference/" -c png || fail "the built program failed"
[ -f "$work/reference/sunset.png" ] && [ -f "$work/reference/nested/grey-ramp.png" ] ||
  fail "the built program wrote no outputs"

step "cmake --install into a prefix"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
prefix="$work/prefix"
[ -L "$prefix/bin/quillmark" ] || fail "bin/quillmark is no link"
[ "$(readlink "$prefix/bin/quillmark")" = "../lib/quillmark/quillmark" ] || fail "bin/quillmark leads elsewhere"
[ -x "$prefix/lib/quillmark/quillmark" ] || fail "no program in lib/quillmark"
[ -f "$prefix/lib/quillmark/gfx/handdrawn.zip" ] || fail "no theme beside the program"
[ "$("$prefix/bin/quillmark" --version)" = "2.5" ] || fail "--version through the link"
"$prefix/bin/quillmark" -q -i "$work/in/" -o "$work/from-prefix/" -c png || fail "conversion through the link"
diff -r "$work/reference" "$work/from-prefix" || fail "the prefix's program converts differently"
# Without a display the window face says so, which it can only once its module and the toolkit
# have loaded; a module that does not load says that instead.
window_says=$(env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" "$prefix/bin/quillmark" 2>&1 >/dev/null || true)
[[ $window_says == "Error: no display"* ]] || fail "the prefix's window module: $window_says"
for size in 16 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/quillmark.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "icon $icon is not ${size}x${size}"
done
identify "$prefix/share/icons/hicolor/scalable/apps/quillmark.svg" >/dev/null || fail "the SVG icon does not read"

step "cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  fail "cpack"
}
deb=$(echo "$work"/package/quillmark_*_*.deb)
[ -f "$deb" ] || fail "no package written"

step "dpkg-deb: fields and contents"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# dpkg-shlibdeps found the libraries, those of both modules among them; the fonts are named by hand.
for needed in libfreeimage3 libdevil1c2 libtiff6 libjxr0 liblcms2-2 libpangocairo-1.0-0 libwxgtk3.2 libarchive13 \
  libcairo2 libc6 fonts-liberation; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done
[ "$(dpkg-deb -f "$deb" Package)" = quillmark ] || fail "package name"
dpkg-deb --contents "$deb" >"$work/contents"
for path in ./usr/bin/quillmark ./usr/lib/quillmark/quillmark ./usr/lib/quillmark/gfx/handdrawn.zip \
  ./usr/lib/quillmark/modules/quillmark-core.so ./usr/lib/quillmark/modules/quillmark-window.so \
  ./usr/share/applications/example.ferroval.quillmark.desktop \
  ./usr/share/metainfo/example.ferroval.quillmark.metainfo.xml \
  ./usr/share/icons/hicolor/16x16/apps/quillmark.png ./usr/share/icons/hicolor/256x256/apps/quillmark.png \
  ./usr/share/icons/hicolor/scalable/apps/quillmark.svg ./usr/share/man/man1/quillmark.1.gz \
  ./usr/share/doc/quillmark/copyright; do
  grep -q " $path\( \|$\)" "$work/contents" || fail "the package lacks $path"
done
dpkg-deb -x "$deb" "$work/unpacked"
cmp <(zcat "$work/unpacked/usr/share/man/man1/quillmark.1.gz") "$build/man/quillmark.1" ||
  fail "the packaged manual page is not the one the build wrote"

step "lintian"
lintian --fail-on error,warning "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian"

step "desktop-file-validate and appstreamcli validate"
desktop-file-validate "$work/unpacked/usr/share/applications/example.ferroval.quillmark.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$work/unpacked/usr/share/metainfo/example.ferroval.quillmark.metainfo.xml" ||
  fail "appstreamcli validate"
grep -q '^Exec=quillmark %F$' "$work/unpacked/usr/share/applications/example.ferroval.quillmark.desktop" ||
  fail "the desktop entry does not hand its files to the program"
grep -q '^MimeType=.*image/vnd.adobe.photoshop;' "$work/unpacked/usr/share/applications/example.ferroval.quillmark.desktop" ||
  fail "the desktop entry does not open PSD documents"

step "apt install into a fresh root"
installed_here=$(ls -d /usr/lib/quillmark 2>/dev/null || true)
if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
  echo "SKIP: installing into a fresh root needs root and mount namespaces"
  exit 77
fi
mkdir -p "$work/upper" "$work/overlay-work" "$work/root"
# Inside the namespace: the system as the lower layer, every change in
# upper/; the trees the program was built in are hidden, so only the
# package's files can serve.
unshare --mount --fork bash -s -- "$work" "$deb" "$source" "$build" <<'INSIDE' || fail "the fresh root"
set -euo pipefail
work=$1 deb=$2 source=$3 build=$4
root=$work/root
mount --make-rprivate /
mount -t overlay overlay -o "lowerdir=/,upperdir=$work/upper,workdir=$work/overlay-work" "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/$source"
case "$build/" in "$source"/*) ;; *) mount -t tmpfs tmpfs "$root/$build" ;; esac
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive XDG_RUNTIME_DIR="$work/runtime" bash -s -- "$work" "$deb" "$build" <<'CHROOT'
set -euo pipefail
work=$1 deb=$2 build=$3
# The folder the test started in is hidden here; apt wants a real one.
cd "$work"
fail() { echo "FAIL (fresh root): $*" >&2; exit 1; }
# A Quillmark this machine has installed itself is no part of a fresh root.
if dpkg-query -W quillmark >/dev/null 2>&1; then apt-get remove -y -q --purge quillmark >/dev/null 2>&1; fi
rm -rf /usr/local/bin/quillmark /usr/local/lib/quillmark
[ ! -e /usr/bin/quillmark ] || fail "quillmark is there before the install"
[ ! -e "$build/quillmark" ] || fail "the build tree is visible"
# The manual index is rebuilt by a trigger that takes long and proves nothing here.
echo "man-db man-db/auto-update boolean false" | debconf-set-selections
apt-get install -y -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log"; fail "apt-get install"; }
[ "$(command -v quillmark)" = /usr/bin/quillmark ] || fail "quillmark is not on PATH"
[ "$(quillmark --version)" = "2.5" ] || fail "quillmark --version"
[ "$(readlink -f /usr/bin/quillmark)" = /usr/lib/quillmark/quillmark ] || fail "the link"
[ -f /usr/lib/quillmark/gfx/handdrawn.zip ] || fail "no theme beside the installed program"
quillmark -q -i "$work/in/" -o "$work/installed/" -c png || fail "the installed program's conversion"
diff -r "$work/reference" "$work/installed" || fail "the installed program converts differently"
window_says=$(XDG_CONFIG_HOME="$work/config" quillmark 2>&1 >/dev/null || true)
[[ $window_says == "Error: no display"* ]] || fail "the installed window module: $window_says"
[ "$(man -w quillmark)" = /usr/share/man/man1/quillmark.1.gz ] || fail "man does not find the page"
MANWIDTH=80 man quillmark 2>/dev/null | grep -q -- '--jpg-quality=NUM' || fail "man quillmark"
grep -q '^image/vnd.adobe.photoshop=.*example.ferroval.quillmark.desktop' /usr/share/applications/mimeinfo.cache ||
  fail "the desktop database does not offer Quillmark for PSD documents"
apt-get remove -y -q --purge quillmark >>"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get remove"; }
[ ! -e /usr/bin/quillmark ] && [ ! -e /usr/lib/quillmark ] && [ ! -e /usr/share/man/man1/quillmark.1.gz ] ||
  fail "files left after the removal"
echo "installed, converted, removed"
CHROOT
INSIDE
[ "$(ls -d /usr/lib/quillmark 2>/dev/null || true)" = "$installed_here" ] ||
  fail "the install into the fresh root reached this system"
echo "PASS"

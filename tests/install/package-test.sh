#!/usr/bin/env bash
# The Debian package and the plain install: builds the .deb with cpack,
# checks what it holds, validates the desktop entries, the AppStream file
# and the man pages, installs and purges it in a scratch root without root
# rights, and compares its files with those of cmake --install.
# Usage: package-test.sh BUILD_DIR HAS_VARNHOLTCTL(0|1)
set -euo pipefail
build=$1
has_ctl=$2
id=org.varnholt.Varnholt
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export PATH=$PATH:/usr/sbin:/sbin  # dpkg wants ldconfig and start-stop-daemon on PATH
fail() { echo "FAIL: $*" >&2; exit 1; }

# cpack packs what is built; a no-op when the build is current.
cmake --build "$build" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; fail "build"; }
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
debs=("$scratch"/pkg/varnholt_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one varnholt_*.deb, got: ${debs[*]}"
deb=${debs[0]}

[[ $(dpkg-deb -f "$deb" Package) == varnholt ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Section) == video ]] || fail "section"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no Qt dependency found by shlibdeps"

# The files it holds, as absolute paths.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$scratch/deb.list"
expected=(
  /usr/bin/varnholt
  /usr/share/applications/$id.desktop
  /usr/share/metainfo/$id.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/$id.svg
  /usr/share/man/man1/varnholt.1
  /usr/share/man/man1/varnholtctl.1
  /usr/lib/systemd/user/varnholt-watch.service
  /usr/share/varnholt/autostart/$id.watch.desktop
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("/usr/share/icons/hicolor/${s}x${s}/apps/$id.png"); done
[[ $has_ctl == 1 ]] && expected+=(/usr/bin/varnholtctl)
for f in "${expected[@]}"; do
  grep -qxF "$f" "$scratch/deb.list" || fail "$f missing from the package"
done
# The recording module, in the program's library folder (lib or lib/<triplet>).
grep -qE '^/usr/lib/([^/]+/)?varnholt/modules/varnholt-media\.so$' "$scratch/deb.list" ||
  fail "varnholt-media.so missing from the package"

# The same files as a plain install with DESTDIR.
DESTDIR="$scratch/destdir" cmake --install "$build" --prefix /usr >/dev/null
(cd "$scratch/destdir" && find . -type f -o -type l) | sed 's|^\.||' | sort >"$scratch/destdir.list"
diff -u "$scratch/deb.list" "$scratch/destdir.list" || fail "cmake --install differs from the package"

# Validators, on the files as packaged.
dpkg-deb -x "$deb" "$scratch/x"
x=$scratch/x
desktop-file-validate "$x/usr/share/applications/$id.desktop" "$x/usr/share/varnholt/autostart/$id.watch.desktop"
appstreamcli validate --no-net "$x/usr/share/metainfo/$id.metainfo.xml"
for page in "$x"/usr/share/man/man1/*.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$page" 2>&1)
  [[ -z $warnings ]] || fail "$page: $warnings"
done
for s in "${sizes[@]}"; do
  # A PNG's width and height: big-endian 32-bit words at byte 16 and 20.
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$x/usr/share/icons/hicolor/${s}x${s}/apps/$id.png")
  [[ $w == "$s" && $h == "$s" ]] || fail "${s}x${s} icon is ${w}x${h}"
done
# The packaged programs find every library they load, their own included.
for prog in "$x"/usr/bin/*; do
  missing=$(ldd "$prog" | grep 'not found' || true)
  [[ -z $missing ]] || fail "$prog: $missing"
done
grep -qx 'ExecStart=/usr/bin/varnholtctl watch' "$x/usr/lib/systemd/user/varnholt-watch.service" ||
  fail "unit does not start the installed varnholtctl"

# Install and purge in a scratch root: every file arrives, nothing stays.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/"{info,updates,triggers}
touch "$root/var/lib/dpkg/"{status,available}
dpkg_root() { fakeroot dpkg --root="$root" --force-not-root --log=/dev/null "$@"; }
# The scratch root has none of the libraries the package depends on.
dpkg_root --force-depends -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg -i"; }
dpkg_root -s varnholt | grep -qx 'Status: install ok installed' || fail "not installed"
while read -r f; do [[ -e $root$f ]] || fail "$f not installed"; done <"$scratch/deb.list"
dpkg_root --purge varnholt >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg --purge"; }
left=$(find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/lib" -not -path "$root/var/lib/dpkg*")
[[ -z $left ]] || fail "left after purge: $left"
! dpkg_root -s varnholt >/dev/null 2>&1 || fail "still known to dpkg after purge"
echo "package: $(basename "$deb"), $(wc -l <"$scratch/deb.list") files"
